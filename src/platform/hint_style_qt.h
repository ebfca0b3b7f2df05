// The application's hint timing: a hint (tooltip) shows 10 ms after the
// mouse comes to rest, so a book's introduction appears at once.  How long it
// stays is given where it is shown (20 s for the book lists).
#pragma once

#include <QProxyStyle>

namespace talvenor {

inline constexpr int kHintWakeUpMs = 10;
inline constexpr int kHintShowMs = 20000;

class HintStyle : public QProxyStyle {
    Q_OBJECT
  public:
    // The look of the style named (Fusion when empty or unknown).
    explicit HintStyle(const QString& baseStyle = QString());
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

}  // namespace talvenor

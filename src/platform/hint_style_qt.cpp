#include "platform/hint_style_qt.h"

#include <QStyleFactory>

namespace talvenor {

namespace {

QStyle* BaseStyle(const QString& name) {
    QStyle* style = name.isEmpty() ? nullptr : QStyleFactory::create(name);
    return style ? style : QStyleFactory::create(QStringLiteral("Fusion"));
}

}  // namespace

HintStyle::HintStyle(const QString& baseStyle) : QProxyStyle(BaseStyle(baseStyle)) {}

int HintStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay) return kHintWakeUpMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace talvenor

// The system-wide hot key F7, grabbed on the X11 root window.  Where the
// session has no X11 (Wayland without XWayland, offscreen) or another program
// holds the key, registering fails quietly and F7 does nothing for us.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

namespace talvenor {

class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
  public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;

    // Grabs F7 without modifiers (Caps Lock and Num Lock do not matter);
    // true when it is ours.
    bool Register();
    void Release();
    bool Registered() const { return grabbed_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  signals:
    // F7 was pressed, anywhere; delivered from the event loop, not from
    // inside the filter, so the handler may open a modal box.
    void pressed();

  private:
    void* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint8_t keycode_ = 0;
    bool grabbed_ = false;
};

}  // namespace talvenor

#include "platform/hotkey_qt.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>

namespace talvenor {

namespace {

constexpr xcb_keysym_t kF7 = 0xFFC4;  // XK_F7
// No modifier, Caps Lock, Num Lock, both: F7 is F7 whatever the locks say.
constexpr std::uint16_t kLockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                        XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_keycode_t KeycodeOf(xcb_connection_t* c, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<uint8_t>(count)), nullptr);
    if (!reply) return 0;
    xcb_keycode_t found = 0;
    const int per = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int n = xcb_get_keyboard_mapping_keysyms_length(reply);
    for (int i = 0; per > 0 && i < n; ++i) {
        if (syms[i] != keysym) continue;
        found = static_cast<xcb_keycode_t>(setup->min_keycode + i / per);
        break;
    }
    std::free(reply);
    return found;
}

}  // namespace

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent) {}

GlobalHotKey::~GlobalHotKey() {
    Release();
}

bool GlobalHotKey::Register() {
    if (grabbed_) return true;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return false;
    auto* c = x11->connection();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_keycode_t keycode = screen ? KeycodeOf(c, kF7) : 0;
    if (!keycode) return false;
    for (std::uint16_t mask : kLockMasks) {
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, screen->root, mask, keycode, XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC));
        if (!error) continue;
        std::free(error);
        // Taken by another program: F7 is not ours, with or without locks.
        for (std::uint16_t undo : kLockMasks) {
            if (undo == mask) break;
            xcb_ungrab_key(c, keycode, screen->root, undo);
        }
        xcb_flush(c);
        return false;
    }
    xcb_flush(c);
    connection_ = c;
    root_ = screen->root;
    keycode_ = keycode;
    grabbed_ = true;
    QCoreApplication::instance()->installNativeEventFilter(this);
    return true;
}

void GlobalHotKey::Release() {
    if (!grabbed_) return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    auto* c = static_cast<xcb_connection_t*>(connection_);
    for (std::uint16_t mask : kLockMasks) xcb_ungrab_key(c, keycode_, root_, mask);
    xcb_flush(c);
    grabbed_ = false;
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!grabbed_ || eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->detail != keycode_ || key->event != root_) return false;
    QMetaObject::invokeMethod(this, &GlobalHotKey::pressed, Qt::QueuedConnection);
    return true;
}

}  // namespace talvenor

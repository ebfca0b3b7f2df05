// What a user does and sees on a real X server, through the X tools: keys,
// clicks and the window manager's commands by xdotool, the mapped state of a
// window by xwininfo, its window-manager state by xprop, its pixels from the
// screen.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>
#include <functional>

#include "platform/wait_qt.h"

namespace x11 {

// Runs an X tool; its standard output in out.
inline bool Run(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return false;
    if (out) *out = QString::fromUtf8(tool.readAllStandardOutput());
    return true;
}

inline bool Xdotool(const QStringList& args) {
    return Run(QStringLiteral("xdotool"), args);
}

inline bool ClickAt(const QPoint& global) {
    return Xdotool({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"});
}

inline QString Id(const QWidget& window) {
    return QString::number(window.winId());
}

// The X server maps the window (it is on screen, or would be if nothing
// covered it).
inline bool Mapped(const QWidget& window) {
    QString out;
    return Run(QStringLiteral("xwininfo"), {"-id", Id(window)}, &out) &&
           out.contains(QLatin1String("IsViewable"));
}

// An atom list property of the window, as xprop prints it.
inline QString Property(const QWidget& window, const char* name) {
    QString out;
    Run(QStringLiteral("xprop"), {"-id", Id(window), QString::fromLatin1(name)}, &out);
    return out;
}

inline bool MaximisedByTheWindowManager(const QWidget& window) {
    const QString state = Property(window, "_NET_WM_STATE");
    return state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT")) &&
           state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_HORZ"));
}

inline bool WindowManagerRunning() {
    QString out;
    return Run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}, &out) &&
           out.contains(QLatin1String("window id"));
}

// The window's pixels on the screen hold more than one colour: it has been
// drawn, not left black or blank.
inline bool Painted(const QWidget& window) {
    QScreen* screen = window.screen();
    if (!screen) return false;
    const QRect r = window.frameGeometry().intersected(screen->geometry());
    const QImage shot = screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    if (shot.isNull()) return false;
    const QRgb first = shot.pixel(shot.width() / 2, shot.height() / 2);
    for (int y = 0; y < shot.height(); y += 7)
        for (int x = 0; x < shot.width(); x += 7)
            if (shot.pixel(x, y) != first) return true;
    return false;
}

// The tray host has taken the icon in: it sits in the tray (at the top
// right, no longer at the corner where an icon window starts) and shows it.
inline bool Docked(const QSystemTrayIcon& icon) {
    const QRect r = icon.geometry();
    if (!icon.isVisible() || r.isEmpty() || r.topLeft() == QPoint(0, 0)) return false;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qstrcmp(w->metaObject()->className(), "QSystemTrayIconSys") == 0)
            return w->windowHandle() && w->windowHandle()->isExposed();
    return true;  // drawn by the desktop itself: its geometry is all there is
}

// A left click on the docked icon, as a user gives it: at the icon's place
// once the tray host has stopped moving it.  A tray host busy laying out its
// icons may swallow a click (the icon moved under the pointer): such a click
// never reaches the icon, and a user who sees nothing happen clicks again.
// A click that reached the icon (Qt reported it) must bring the window back
// by itself: the program may not lose it.
inline bool ClickRestores(const QSystemTrayIcon& icon, const std::function<bool()>& restored) {
    int reached = 0;
    QMetaObject::Connection seen =
        QObject::connect(&icon, &QSystemTrayIcon::activated, [&](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) ++reached;
        });
    bool ok = false;
    for (int click = 0; click < 3 && !ok; ++click) {
        QRect settled;
        if (!talvenor::WaitFor(
                [&] {
                    const QRect now = icon.geometry();
                    const bool still = Docked(icon) && now == settled;
                    settled = now;
                    return still;
                },
                30000, 100))
            break;
        if (!ClickAt(settled.center())) break;
        if (talvenor::WaitFor([&] { return restored() || reached > 0; }, 5000)) {
            // The click arrived: the window comes back on it, or never.
            ok = talvenor::WaitFor(restored, 30000);
            if (!ok) ADD_FAILURE() << "the icon was clicked, but the window did not come back";
            break;
        }
    }
    QObject::disconnect(seen);
    return ok;
}

}  // namespace x11

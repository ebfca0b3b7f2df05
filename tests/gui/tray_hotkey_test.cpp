// The tray icon, F7 and the waits for a fetch on a real X server (Xvfb),
// with keys and clicks sent by xdotool as a user's would come.  Run by
// run_xvfb.sh: with a tray host (trayer) for the WithTray tests, without
// one for the NoTray tests.
#include <QProcess>
#include <QSystemTrayIcon>
#include <QWindow>

#include "gui_fixture.h"
#include "platform/hotkey_qt.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

bool Xdotool(const QStringList& args) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), args);
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
}

bool ClickAt(const QPoint& global) {
    return Xdotool({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"});
}

// The tray host has taken the icon in: it sits in the tray (at the top
// right, no longer at the corner where an icon window starts) and shows it.
bool Docked(const QSystemTrayIcon& icon) {
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
bool ClickRestores(const QSystemTrayIcon& icon, const std::function<bool()>& restored) {
    int reached = 0;
    QMetaObject::Connection seen =
        QObject::connect(&icon, &QSystemTrayIcon::activated, [&](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) ++reached;
        });
    bool ok = false;
    for (int click = 0; click < 3 && !ok; ++click) {
        QRect settled;
        if (!WaitFor(
                [&] {
                    const QRect now = icon.geometry();
                    const bool still = Docked(icon) && now == settled;
                    settled = now;
                    return still;
                },
                30000, 100))
            break;
        if (!ClickAt(settled.center())) break;
        if (WaitFor([&] { return restored() || reached > 0; }, 5000)) {
            // The click arrived: the window comes back on it, or never.
            ok = WaitFor(restored, 30000);
            if (!ok) ADD_FAILURE() << "the icon was clicked, but the window did not come back";
            break;
        }
    }
    QObject::disconnect(seen);
    return ok;
}

class WithTray : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(WaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); })) << "no tray host";
        Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&cat()));
    }
};

class NoTray : public GuiTest {};

}  // namespace

TEST_F(WithTray, F7HidesTheCatalogueToTheTrayAndBringsItBack) {
    ASSERT_TRUE(windows->hotKey().Registered());
    QSystemTrayIcon& icon = windows->desktop().TrayIcon();
    EXPECT_EQ(icon.toolTip(), U("Talvenor全本小说阅读器@_@"));
    ASSERT_TRUE(Xdotool({"key", "F7"}));
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible() && icon.isVisible(); }));
    EXPECT_EQ(windows->program().TrayWindow, kTrayCatalogue);
    ASSERT_TRUE(Xdotool({"key", "F7"}));
    ASSERT_TRUE(WaitFor([&] { return cat().isVisible() && !icon.isVisible(); }));

    // Hidden once more, a left click on the docked icon brings it back.
    ASSERT_TRUE(Xdotool({"key", "F7"}));
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible() && Docked(icon); }));
    ASSERT_TRUE(ClickRestores(icon, [&] { return cat().isVisible() && !icon.isVisible(); }));
}

TEST_F(WithTray, MinimisingAWindowHidesItToTheTray) {
    QSystemTrayIcon& icon = windows->desktop().TrayIcon();
    cat().showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible() && icon.isVisible(); }));
    EXPECT_EQ(windows->program().TrayWindow, kTrayCatalogue);
    ASSERT_TRUE(ClickRestores(icon, [&] { return cat().isVisible() && !icon.isVisible(); }));
    EXPECT_FALSE(cat().isMinimized());
}

TEST_F(WithTray, ClicksDuringAFetchWaitUntilItIsDone) {
    cat().N14->trigger();
    // The search page is held at the server until the user has clicked.
    demo::Fault hold;
    hold.host = "xs520.localhost";
    hold.kind = demo::FaultKind::Hold;
    hold.times = 1;
    sites.AddFault(hold);
    const demo::Book book = content().BookAt(demo::Site::S520, 0, 0);
    cat().PanelLeft2->Edit1->selectAll();
    Type(cat().PanelLeft2->Edit1, U(book.title));
    // While the search waits for its page, the user clicks 筛选.
    bool clicked = false;
    QTimer meanwhile;
    QObject::connect(&meanwhile, &QTimer::timeout, [&] {
        if (clicked || sites.Held() == 0) return;
        clicked = ClickAt(cat().PBtnLv->mapToGlobal(cat().PBtnLv->rect().center()));
        sites.ReleaseHeld();
    });
    meanwhile.start(10);
    modal.Cancel();
    QTest::mouseClick(cat().PanelLeft2->Button1, Qt::LeftButton);
    meanwhile.stop();
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(modal.seen.empty()) << "a command started while the search waited";
    EXPECT_FALSE(Rows(cat().PanelLeft2->ListBoxLeft).isEmpty());
    // The click was kept, not lost: its prompt comes now.
    ASSERT_TRUE(modal.WaitSeen(1));
    EXPECT_EQ(modal.seen[0].title, U("筛选    "));
}

TEST_F(NoTray, WithoutATrayF7StillBringsTheWindowBack) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cat()));
    ASSERT_TRUE(windows->hotKey().Registered());
    modal.Ok();
    ASSERT_TRUE(Xdotool({"key", "F7"}));
    ASSERT_TRUE(modal.WaitSeen(1));
    EXPECT_EQ(modal.seen[0].text, U("Add   systray   Failed!"));
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible(); }));
    ASSERT_TRUE(Xdotool({"key", "F7"}));
    ASSERT_TRUE(WaitFor([&] { return cat().isVisible(); }));
}

// The tray icon, F7 and the waits for a fetch on a real X server (Xvfb),
// with keys and clicks sent by xdotool as a user's would come.  Run by
// run_xvfb.sh: with a tray host (trayer) for the WithTray tests, without
// one for the NoTray tests.
#include <QSystemTrayIcon>

#include "gui_fixture.h"
#include "platform/hotkey_qt.h"
#include "x11_tools.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

using x11::ClickAt;
using x11::ClickRestores;
using x11::Docked;
using x11::Xdotool;

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

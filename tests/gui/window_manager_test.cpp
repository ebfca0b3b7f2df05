// The windows under a window manager (openbox on Xvfb, with a tray host), as
// a user sees them: minimising through the window manager sends a window to
// the tray and leaves nothing of it on screen, the tray brings it back drawn
// and in its state; the reader comes up maximised on its first book; an
// export leaves only the progress window on screen.  Run by run_xvfb.sh --wm.
#include <QSystemTrayIcon>
#include <QUrl>

#include "app/reader_window.h"
#include "gui_fixture.h"
#include "platform/page_browser.h"
#include "x11_tools.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

class UnderWindowManager : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(x11::WindowManagerRunning()) << "no window manager";
        ASSERT_TRUE(WaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); })) << "no tray host";
        Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&cat()));
    }
    ReaderWindow& rw() { return windows->reader(); }
    QSystemTrayIcon& icon() { return windows->desktop().TrayIcon(); }
    bool PageShown() {
        PageBrowser* b = windows->readerMade() ? rw().WebBrowser1() : nullptr;
        return b && rw().isVisible() && b->ReadyState() == 4 && !f2().PageTurnBusy;
    }
    // The first book of a 多玩 category, opened from the catalogue.
    void OpenBook() {
        cat().N2->trigger();
        UpdateCategory(1);
        DoubleClickRow(cat().Panel5->ListBox2, 0);
        ASSERT_TRUE(WaitFor([&] { return PageShown(); }));
    }
    // None of the program's windows is mapped: nothing of them is on screen.
    bool NothingMapped() {
        for (QWidget* w : {static_cast<QWidget*>(&cat()), static_cast<QWidget*>(&progress())})
            if (x11::Mapped(*w)) return false;
        return !(windows->readerMade() && x11::Mapped(rw()));
    }
};

}  // namespace

TEST_F(UnderWindowManager, MinimisingGoesToTheTrayAndLeavesNothingOnScreen) {
    // The catalogue, minimised by the window manager's command.
    ASSERT_TRUE(x11::Xdotool({"windowminimize", x11::Id(cat())}));
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible() && x11::Docked(icon()); }));
    EXPECT_EQ(windows->program().TrayWindow, kTrayCatalogue);
    EXPECT_TRUE(WaitFor([&] { return NothingMapped(); })) << "a window was left on screen";
    ASSERT_TRUE(x11::ClickRestores(icon(), [&] { return cat().isVisible() && !icon().isVisible(); }));
    EXPECT_FALSE(cat().isMinimized());
    EXPECT_TRUE(WaitFor([&] { return x11::Mapped(cat()) && x11::Painted(cat()); })) << "not drawn again";

    // The reader opens maximised on the first book of the session.
    OpenBook();
    EXPECT_TRUE(rw().isMaximized());
    EXPECT_TRUE(WaitFor([&] { return x11::MaximisedByTheWindowManager(rw()); }))
        << x11::Property(rw(), "_NET_WM_STATE").toStdString();
    // Its keys work at once, with no click into it first: Enter turns the page.
    ASSERT_TRUE(x11::Xdotool({"key", "Return"}));
    EXPECT_TRUE(WaitFor([&] { return f2().ListBox1.itemIndex == 1 && PageShown(); }));
    // Minimised, it goes the same way, and comes back maximised and drawn.
    ASSERT_TRUE(x11::Xdotool({"windowminimize", x11::Id(rw())}));
    ASSERT_TRUE(WaitFor([&] { return !rw().isVisible() && x11::Docked(icon()); }));
    EXPECT_EQ(windows->program().TrayWindow, kTrayReader);
    EXPECT_TRUE(WaitFor([&] { return NothingMapped(); })) << "a window was left on screen";
    ASSERT_TRUE(x11::ClickRestores(icon(), [&] { return rw().isVisible() && !icon().isVisible(); }));
    EXPECT_TRUE(WaitFor([&] { return x11::MaximisedByTheWindowManager(rw()) && x11::Painted(rw()); }));
    EXPECT_FALSE(cat().isVisible());
}

TEST_F(UnderWindowManager, AnExportLeavesOnlyTheProgressWindowAndTakesNoClickAlong) {
    OpenBook();
    const QPoint next = rw().BtnNext->mapToGlobal(rw().BtnNext->rect().center());
    // The fourth chapter's page does not come until the test lets it.
    demo::Fault hold;
    hold.host = "duowan.localhost";
    hold.match = QUrl(U(f2().PageUrlList.items.at(3))).path().toStdString();
    hold.kind = demo::FaultKind::Hold;
    hold.times = 1;
    sites.AddFault(hold);
    modal.Yes();
    ASSERT_TRUE(x11::Xdotool({"key", "F11"}));
    ASSERT_TRUE(WaitFor([&] { return sites.Held() > 0 && progress().isVisible(); }));
    EXPECT_TRUE(WaitFor([&] { return !x11::Mapped(rw()) && x11::Mapped(progress()); }));
    EXPECT_FALSE(x11::Mapped(cat()));
    EXPECT_TRUE(WaitFor([&] { return x11::Painted(progress()); }));
    // A window of a fixed size: the window manager offers no maximise.
    const QString actions = x11::Property(progress(), "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_TRUE(actions.contains(QLatin1String("_NET_WM_ACTION_MINIMIZE"))) << actions.toStdString();
    EXPECT_FALSE(actions.contains(QLatin1String("MAXIMIZE"))) << actions.toStdString();

    // A click where 下一页 was, while the reader is away, and 取消.
    ASSERT_TRUE(x11::ClickAt(next));
    // On a busy machine the window manager may still be settling the window
    // when the pointer comes: a click that did not reach 取消 is given again,
    // at the button's place as it is then, as a user would.
    int pressed = 0;
    const QMetaObject::Connection seen =
        QObject::connect(progress().Button1, &QPushButton::clicked, [&] { ++pressed; });
    for (int tries = 0; tries < 5 && pressed == 0; ++tries) {
        ASSERT_TRUE(x11::ClickAt(progress().Button1->mapToGlobal(progress().Button1->rect().center())));
        WaitFor([&] { return pressed > 0; }, 3000);
    }
    QObject::disconnect(seen);
    ASSERT_EQ(pressed, 1);
    ASSERT_TRUE(WaitFor([&] { return rw().isVisible() && !progress().isVisible(); }));
    sites.ReleaseHeld();
    EXPECT_TRUE(WaitFor([&] { return x11::Mapped(rw()) && x11::Painted(rw()); }));
    ASSERT_TRUE(WaitFor([&] { return PageShown(); }));
    // The click went to nothing of the program's: the first chapter is still read.
    EXPECT_EQ(f2().ListBox1.itemIndex, 0);
    EXPECT_EQ(f2().ChapterIndex, "0");
}

// The reader window as a user sees it, with the real browser engine
// (offscreen) against the demo sites: a book opened from the catalogue and
// read with the buttons and keys, the pop-up menu's preferences, the
// page-turn effect and its snapshot, marks and position files across a
// restart, and auto-scroll.
#include "app/reader_window.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QUrl>

#include "app/book_export_qt.h"
#include "gui_fixture.h"
#include "platform/page_browser.h"
#include "platform/pic_show.h"
#include "platform/sound.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

// Whether a widget has taken the keyboard focus since this was made.
struct FocusSeen : QObject {
    explicit FocusSeen(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FocusIn) seen = true;
        return false;
    }
    bool seen = false;
};

QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isChecked() ? "*" : ""));
    return out;
}

class ReaderWindowTest : public GuiTest {
  protected:
    std::optional<demo::Book> book;

    ReaderWindow& rw() { return windows->reader(); }
    PageBrowser& browser() { return *rw().WebBrowser1(); }

    // Opens the first book of a 多玩 category from the catalogue, as a user does.
    void OpenBook() {
        QListView* books = cat().Panel5->ListBox2;
        if (Rows(books).isEmpty()) {
            cat().N2->trigger();
            UpdateCategory(1);
        }
        DoubleClickRow(books, 0);
        ASSERT_TRUE(WaitFor([&] { return windows->readerMade() && rw().isVisible(); }));
        ASSERT_TRUE(WaitPage());
        book = content().BookByKey(demo::Site::Duowan, f2().BookUrl);
        ASSERT_TRUE(book);
    }
    // The page has been loaded and no page turn is under way.
    bool WaitPage() {
        return WaitFor([&] {
            PageBrowser* b = rw().WebBrowser1();
            return b && b->ReadyState() == 4 && !f2().PageTurnBusy;
        });
    }
    QString Js(const QString& script) { return browser().Evaluate(script).toString(); }
    // Whether the page shows chapter index i (0-based) of the book, as composed.
    bool Shows(int index) {
        const demo::Chapter ch = content().ChapterOf(*book, index + 1);
        const QString text = Js("document.body.innerText");
        const QString para = U(ch.paragraphs.at(0)).trimmed();
        return browser().url() == QUrl::fromLocalFile(rw().PagePath()) && text.contains(U(ch.title)) &&
               text.contains(para.mid(0, 12));
    }
    int Row() { return CurrentRow(rw().ListBox1); }
    void Key(Qt::Key key, QWidget* to = nullptr) {
        QTest::keyClick(to ? to : rw().ListBox1, key);
        ASSERT_TRUE(WaitPage());
    }
    void Click(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(WaitPage());
    }
    // Right click on the button bar: PopupMenu1.
    QMenu* Popup() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                rw().Panel2->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(rw().Panel2, &event);
        QMenu* menu = rw().OpenPopupMenu();
        EXPECT_TRUE(menu && menu->objectName() == "PopupMenu1");
        return menu;
    }
    // A command of PopupMenu1, by its item's name; the page is shown again.
    void Command(const char* name) {
        QMenu* menu = Popup();
        ASSERT_TRUE(menu);
        QAction* item = menu->findChild<QAction*>(name);
        ASSERT_TRUE(item) << name;
        menu->close();
        item->trigger();
        ASSERT_TRUE(WaitPage());
    }
    void HoldChapter(int index) {
        demo::Fault fault;
        fault.host = "duowan.localhost";
        fault.match = QUrl(U(f2().PageUrlList.items.at(index))).path().toStdString();
        fault.kind = demo::FaultKind::Hold;
        fault.times = 1;
        sites.AddFault(fault);
    }
};

}  // namespace

TEST_F(ReaderWindowTest, ReadABookWithTheButtonsAndTheKeys) {
    Start();
    // No reader window and no browser engine before the first book.
    EXPECT_FALSE(windows->readerMade());
    OpenBook();
    EXPECT_FALSE(cat().isVisible());
    EXPECT_EQ(rw().windowTitle(), U("看小说") + QString(6, ' ') + "@_@" + QString(11, ' ') +
                                      U("(Talvenor全本小说阅读器 当前版本V1.4.3.2)") + QString(11, ' '));
    EXPECT_TRUE(rw().isMaximized());
    const std::pair<QPushButton*, std::pair<const char*, int>> buttons[] = {
        {rw().btnHide, {"隐藏目录", 0}}, {rw().BtnSave, {"保存", 0}},   {rw().BtnReNew, {"刷新", 0}},
        {rw().BtnBack, {"上一页", -1}},  {rw().BtnNext, {"下一页", 1}}, {rw().btn_set, {"set", 0}}};
    for (const auto& [button, want] : buttons) {
        EXPECT_EQ(button->text(), U(want.first));
        EXPECT_EQ(button->property("Tag").toInt(), want.second);
    }
    QStringList titles;
    for (int i = 0; i < book->chapterCount; ++i) titles << U(content().ChapterOf(*book, i + 1, false).title);
    EXPECT_EQ(Rows(rw().ListBox1), titles);
    EXPECT_FALSE(rw().ListBoxMark->isVisible());
    EXPECT_EQ(rw().ProgressBar1->value(), 100);

    // The first chapter, composed with the initial preferences: a centred
    // column 800 pixels wide.
    EXPECT_EQ(Row(), 0);
    EXPECT_TRUE(Shows(0));
    EXPECT_EQ(Js("document.querySelector('center table td').getAttribute('width')"), "800");
    // The page has the window's focus (what gets the keys once the window
    // is active, whether or not the test's display activates it).
    auto pageHasFocus = [&] {
        QWidget* focused = rw().focusWidget();
        EXPECT_TRUE(focused && (focused == &browser() || browser().isAncestorOf(focused)))
            << (focused ? focused->metaObject()->className() : "nothing") << " "
            << (focused ? focused->objectName().toStdString() : "");
    };
    pageHasFocus();

    Click(rw().BtnNext);
    EXPECT_EQ(Row(), 1);
    EXPECT_TRUE(Shows(1));
    Key(Qt::Key_Return);
    EXPECT_EQ(Row(), 2);
    EXPECT_TRUE(Shows(2));
    // Keys work whichever control has the focus, the page included.
    Key(Qt::Key_Control, browser().focusProxy() ? browser().focusProxy() : &browser());
    EXPECT_EQ(Row(), 1);
    EXPECT_TRUE(Shows(1));
    EXPECT_EQ(f2().PicShow1Style, 14);
    Key(Qt::Key_F12);
    EXPECT_EQ(Row(), book->chapterCount - 1);
    EXPECT_TRUE(Shows(book->chapterCount - 1));
    Key(Qt::Key_F1);
    EXPECT_EQ(Row(), 0);
    EXPECT_TRUE(Shows(0));

    // A click in the list shows the chapter; the list never takes the
    // keyboard focus from the page.
    FocusSeen listFocused(rw().ListBox1);
    ClickRow(rw().ListBox1, 4);
    ASSERT_TRUE(WaitPage());
    EXPECT_TRUE(Shows(4));
    EXPECT_FALSE(listFocused.seen);
    pageHasFocus();

    // 下一页 pressed again, and Enter, while the next chapter is still
    // being fetched: taken once.
    HoldChapter(5);
    bool pressedAgain = false;
    QTimer meanwhile;
    QObject::connect(&meanwhile, &QTimer::timeout, [&] {
        if (pressedAgain || sites.Held() == 0) return;
        pressedAgain = true;
        QTest::mouseClick(rw().BtnNext, Qt::LeftButton);
        QTest::keyClick(rw().ListBox1, Qt::Key_Return);
        sites.ReleaseHeld();
    });
    meanwhile.start(2);
    f2().PicShow1Style = 14;
    Click(rw().BtnNext);
    meanwhile.stop();
    EXPECT_TRUE(pressedAgain);
    EXPECT_EQ(Row(), 5);
    EXPECT_TRUE(Shows(5));
    EXPECT_EQ(f2().PicShow1Style, 15);
    // Refused page turns leave none pending: the next one is taken.
    Click(rw().BtnNext);
    EXPECT_EQ(Row(), 6);

    // Each chapter shown asks for the chime, unless 静音 is ticked.
    const Sound* chime = rw().findChild<Sound*>();
    ASSERT_TRUE(chime);
    int asked = chime->Requests();
    Click(rw().BtnBack);
    EXPECT_EQ(chime->Requests(), asked + 1);
    Command("N20");
    ASSERT_TRUE(f2().prefs.N20.checked);
    asked = chime->Requests();
    Click(rw().BtnNext);
    EXPECT_EQ(Row(), 6);
    EXPECT_EQ(chime->Requests(), asked);
    Command("N20");
    Click(rw().BtnReNew);
    EXPECT_EQ(chime->Requests(), asked + 1);

    // 隐藏目录 hides the chapter list; the splitter keeps at least 100 pixels.
    QTest::mouseClick(rw().btnHide, Qt::LeftButton);
    EXPECT_FALSE(rw().Panel1->isVisible());
    EXPECT_EQ(rw().btnHide->text(), U("显示目录"));
    EXPECT_EQ(rw().btnHide->property("Tag").toInt(), 1);
    QTest::keyClick(rw().ListBox1, Qt::Key_F8);
    EXPECT_TRUE(rw().Panel1->isVisible());
    rw().Splitter1->setSizes({10, 2000});
    EXPECT_GE(rw().Panel1->width(), 100);

    // Esc closes the reader; the catalogue comes back.
    QTest::keyClick(rw().ListBox1, Qt::Key_Escape);
    EXPECT_FALSE(rw().isVisible());
    EXPECT_TRUE(cat().isVisible());
    EXPECT_EQ(LoadList(paths.setDir + "default.3"), StringList({"6", G("多玩")}));
}

TEST_F(ReaderWindowTest, PreferencesEffectsMarksAndPositionFilesAcrossARestart) {
    Start();
    OpenBook();
    QMenu* menu = Popup();
    ASSERT_TRUE(menu);
    EXPECT_EQ(MenuTexts(menu), QStringList({U("工具栏翻转"),
                                            U("显示/隐藏自动标签"),
                                            "-",
                                            U("增大段落间距"),
                                            U("段落对齐"),
                                            U("页面宽度"),
                                            U("文字大小"),
                                            U("文字颜色"),
                                            U("字体"),
                                            U("字体大小"),
                                            U("背景颜色"),
                                            "-",
                                            U("滚屏间距。。"),
                                            U("滚屏速度。。"),
                                            U("滚屏"),
                                            "-",
                                            U("静音"),
                                            U("无翻页效果*"),
                                            U("普通翻页效果"),
                                            U("页面百变效果"),
                                            U("页面词语过滤。。"),
                                            "-",
                                            U("退出时不修改自动标签"),
                                            "-",
                                            U("离线阅读"),
                                            U("导出格式"),
                                            "-",
                                            U("朗读"),
                                            U("朗读设置")}));
    EXPECT_EQ(MenuTexts(menu->findChild<QMenu*>("NExportFormat")),
              QStringList({U("网页 (HTML)*"), U("电子书 (EPUB)"), U("文本 (TXT)")}));
    EXPECT_EQ(MenuTexts(menu->findChild<QMenu*>("N1")),
              QStringList({U("最小"), U("较小"), U("中*"), U("较大"), U("最大")}));
    menu->close();

    // Page width 1000, left aligned, a background colour: the next page has them.
    modal.Type("1000");
    Command("N29");
    EXPECT_EQ(modal.seen.back().title, U("页面宽度设置       "));
    EXPECT_EQ(Js("document.querySelector('table td').getAttribute('width')"), "1000");
    Command("NLeftDui");
    EXPECT_EQ(Js("String(document.querySelector('center'))"), "null");
    modal.Do([](QWidget* w) {
        if (auto* d = qobject_cast<QColorDialog*>(w)) {
            d->setCurrentColor(QColor(0x33, 0x66, 0xCC));
            d->accept();
        }
    });
    Command("N2");
    EXPECT_EQ(Js("getComputedStyle(document.body).backgroundColor"), "rgb(51, 102, 204)");
    EXPECT_TRUE(Shows(0));

    // Without effect no snapshot is taken; with the normal effect each page
    // turn photographs the new page at the view's size first.
    const std::string jpg = paths.tmpDir + "tmp.jpg";
    Click(rw().BtnNext);
    EXPECT_FALSE(FileExists(jpg));
    Command("N26");
    Click(rw().BtnNext);
    Click(rw().BtnNext);
    EXPECT_EQ(Row(), 3);
    EXPECT_TRUE(Shows(3));
    EXPECT_EQ(f2().PicShow1Style, 15);
    EXPECT_FALSE(rw().PicShow1->Busy());
    EXPECT_TRUE(rw().Panel7->isVisible());
    ASSERT_TRUE(FileExists(jpg));
    EXPECT_EQ(ReadFileBytes(jpg).substr(0, 3), std::string("\xFF\xD8\xFF"));
    const QImage shot(QString::fromStdString(jpg), "JPEG");
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), browser().size());
    const QColor corner = shot.pixelColor(shot.width() - 4, shot.height() - 4);
    EXPECT_NEAR(corner.red(), 0x33, 8);
    EXPECT_NEAR(corner.green(), 0x66, 8);
    EXPECT_NEAR(corner.blue(), 0xCC, 8);
    // The picture control ends on exactly that picture.
    EXPECT_EQ(rw().PicShow1->Picture().size(), shot.size());

    // 保存 writes a position file set at chapter 3.
    const QString place = U(paths.setDir) + "place.Mark";
    modal.ChooseFile(place);
    QTest::mouseClick(rw().BtnSave, Qt::LeftButton);
    ASSERT_TRUE(FileExists(place.toStdString() + ".set"));
    EXPECT_EQ(LoadList(place.toStdString() + ".set"), StringList({"3", G("多玩")}));

    // Back to chapter 2 with the previous-page turn, then close.
    Key(Qt::Key_Control);
    EXPECT_EQ(f2().PicShow1Style, 14);
    EXPECT_TRUE(Shows(2));
    rw().close();
    EXPECT_TRUE(cat().isVisible());
    const StringList prefs = LoadList(paths.setDir + "FontAndColor.web");
    ASSERT_EQ(prefs.size(), 15u);
    EXPECT_EQ(prefs[0], " bgcolor=#3366CC");
    EXPECT_EQ(prefs[6], "<table><td width=1000>");
    EXPECT_EQ(prefs[12], G("普通翻页效果"));

    // A new run: 上次阅读 resumes chapter 2 as it was left, preferences and all.
    windows.reset();
    Start();
    EXPECT_FALSE(windows->readerMade());
    cat().N17->trigger();
    ASSERT_TRUE(WaitFor([&] { return windows->readerMade() && rw().isVisible(); }));
    ASSERT_TRUE(WaitPage());
    EXPECT_FALSE(cat().isVisible());
    EXPECT_EQ(Row(), 2);
    EXPECT_TRUE(Shows(2));
    EXPECT_EQ(Js("document.querySelector('table td').getAttribute('width')"), "1000");
    EXPECT_EQ(Js("getComputedStyle(document.body).backgroundColor"), "rgb(51, 102, 204)");
    Key(Qt::Key_Escape);

    // The book opened from the catalogue again resumes at its mark.
    OpenBook();
    EXPECT_EQ(Row(), 2);
    EXPECT_TRUE(Shows(2));
    Key(Qt::Key_Escape);

    // 打开。。。 reopens the saved position.
    modal.ChooseFile(place);
    cat().N12->trigger();
    ASSERT_TRUE(WaitFor([&] { return rw().isVisible(); }));
    ASSERT_TRUE(WaitPage());
    EXPECT_EQ(Row(), 3);
    EXPECT_TRUE(Shows(3));
}

TEST_F(ReaderWindowTest, AutoScrollMovesThePageByItsStepUntilTheEnd) {
    Start();
    OpenBook();
    // A long page: three-fold spacing and the largest text.  The text zoom
    // applies from the next page on, and only to the text.
    Command("Nb3");
    int h = 0, t = 0, H = 0;
    ASSERT_TRUE(browser().ReadMetrics(h, t, H));
    const int normal = H;
    Command("N41");
    Click(rw().BtnReNew);
    ASSERT_TRUE(browser().ReadMetrics(h, t, H));
    EXPECT_GT(H, normal * 5 / 4);
    EXPECT_EQ(Js("document.querySelector('table td').getAttribute('width')"), "800");
    ASSERT_GT(H - h, 5 * 37) << "the page is too short to scroll";
    EXPECT_EQ(t, 0);

    modal.Type("37");
    Command("N17");
    EXPECT_EQ(modal.seen.back().title, U("间距设置       "));
    EXPECT_EQ(modal.seen.back().value, "3");
    modal.Type("20");
    Command("N18");
    modal.Type("many");
    Command("N18");  // not a number: nothing changes
    EXPECT_EQ(f2().prefs.ScrollInterval, 20);

    QTest::keyClick(rw().ListBox1, Qt::Key_F2);
    EXPECT_EQ(Q(f2().prefs.N16.caption), U("停止滚屏"));
    ASSERT_TRUE(rw().Timer1.isActive());
    EXPECT_EQ(rw().Timer1.interval(), 20);
    // Every offset seen on the way down is a whole number of steps, until
    // the end of the page is in view.
    std::set<int> offsets;
    bool stepsOnly = true;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (!browser().ReadMetrics(h, t, H)) return false;
            offsets.insert(t);
            if (t + h < H && t % 37 != 0) stepsOnly = false;
            return t + h >= H;
        },
        60000));
    EXPECT_TRUE(stepsOnly);
    EXPECT_GT(offsets.size(), 3u);
    EXPECT_EQ(t, H - h);
    // At the end it holds still while the timer goes on.
    QSignalSpy ticks(&rw().Timer1, &QTimer::timeout);
    ASSERT_TRUE(WaitFor([&] { return ticks.count() >= 3; }));
    int t2 = -1;
    ASSERT_TRUE(browser().ReadMetrics(h, t2, H));
    EXPECT_EQ(t2, t);
    EXPECT_TRUE(rw().Timer1.isActive());

    QTest::keyClick(rw().ListBox1, Qt::Key_F2);
    EXPECT_EQ(Q(f2().prefs.N16.caption), U("滚屏"));
    EXPECT_FALSE(rw().Timer1.isActive());
}

TEST_F(ReaderWindowTest, EveryChapterShownStartsAtItsTop) {
    Start();
    OpenBook();
    // A page longer than the window: three-fold spacing, the largest text.
    Command("Nb3");
    Command("N41");
    Click(rw().BtnReNew);
    int h = 0, t = 0, H = 0;
    ASSERT_TRUE(browser().ReadMetrics(h, t, H));
    ASSERT_GT(H - h, 100) << "the page is too short to scroll";
    auto scrollDown = [&] {
        browser().ScrollBy(0, H);
        return WaitFor([&] { return browser().ReadMetrics(h, t, H) && t > 0; });
    };
    // Read once the new page has been drawn: a position kept from the last
    // page would be in place by then.
    auto atTop = [&] { return browser().WaitPainted() && browser().ReadMetrics(h, t, H) && t == 0; };

    ASSERT_TRUE(scrollDown());
    ClickRow(rw().ListBox1, Row());
    ASSERT_TRUE(WaitPage());
    EXPECT_TRUE(atTop()) << "the chapter opened again kept the offset " << t;
    ASSERT_TRUE(scrollDown());
    Click(rw().BtnNext);
    EXPECT_TRUE(Shows(1));
    EXPECT_TRUE(atTop()) << "the next chapter opened at " << t;
    ASSERT_TRUE(scrollDown());
    Click(rw().BtnBack);
    EXPECT_TRUE(Shows(0));
    EXPECT_TRUE(atTop()) << "the chapter before opened at " << t;
}

TEST_F(ReaderWindowTest, AnExportHidesTheReaderShowsItsProgressAndStopsOnCancel) {
    Start();
    OpenBook();
    const std::string folder = paths.downloadDir + "多玩/" + SafeFileName(f2().TheMark.BookTitle) + "/";
    // Answered No: the reader stays as it is and nothing is written.
    modal.No();
    QTest::keyClick(rw().ListBox1, Qt::Key_F11);
    ASSERT_TRUE(WaitFor([&] { return !windows->bookExport().Running(); }));
    EXPECT_TRUE(rw().isVisible());
    EXPECT_FALSE(progress().isVisible());
    EXPECT_FALSE(DirExists(folder));
    // The fourth chapter's page does not come until the test lets it.
    HoldChapter(3);
    const size_t asked = modal.seen.size();
    modal.Yes();
    QTest::keyClick(rw().ListBox1, Qt::Key_F11);
    ASSERT_TRUE(modal.WaitSeen(asked + 1));
    EXPECT_EQ(modal.seen.back().text, U("下载小说可能需要很长时间。下载期间程序会隐藏。确定？"));
    // While the export waits for that page the windows go on: the reader is
    // hidden, the progress window counts the chapters written.
    ASSERT_TRUE(WaitFor([&] { return sites.Held() > 0 && progress().ProgressBar1->value() == 3; }));
    EXPECT_FALSE(rw().isVisible());
    EXPECT_FALSE(cat().isVisible());
    EXPECT_TRUE(progress().isVisible());
    EXPECT_EQ(progress().ProgressBar1->maximum(), Rows(rw().ListBox1).size());
    EXPECT_TRUE(FileExists(folder + "2.htm"));

    // 取消 ends it at once; the chapter under way is not written.
    QTest::mouseClick(progress().Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return rw().isVisible() && !progress().isVisible(); }));
    sites.ReleaseHeld();
    EXPECT_FALSE(FileExists(folder + "3.htm"));
    EXPECT_TRUE(f2().window.visible);
    EXPECT_FALSE(windows->bookExport().Running());
    // The list shows the chapter on the page, which the reader still reads.
    EXPECT_EQ(Row(), 0);
    EXPECT_TRUE(Shows(0));
    Key(Qt::Key_Return);
    EXPECT_EQ(Row(), 1);
    EXPECT_TRUE(Shows(1));
    EXPECT_EQ(modal.seen.size(), asked + 1);
}

TEST_F(ReaderWindowTest, OfflineFromTheMenuShowsCachedChaptersAndRefreshDownloadsNothing) {
    Start();
    OpenBook();
    ASSERT_TRUE(Shows(0));
    Click(rw().BtnNext);
    ASSERT_TRUE(Shows(1));
    QMenu* menu = Popup();
    ASSERT_TRUE(menu);
    QAction* offline = menu->findChild<QAction*>("NOffline");
    ASSERT_TRUE(offline);
    EXPECT_FALSE(offline->isChecked());
    menu->close();
    offline->trigger();
    sites.ClearRequestLog();
    Click(rw().BtnBack);
    EXPECT_TRUE(Shows(0));
    // 刷新 while offline shows the cached page again.
    Click(rw().BtnReNew);
    EXPECT_TRUE(Shows(0));
    // Nothing reached the sites: no chapter, and not the page's counter
    // picture either (the page loads nothing from the web while offline).
    for (const std::string& r : sites.RequestLog()) ADD_FAILURE() << "downloaded offline: " << r;
    menu = Popup();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->findChild<QAction*>("NOffline")->isChecked());
    menu->close();
}

TEST_F(ReaderWindowTest, AChapterOfAnAddedSiteShowsBothItsPages) {
    // 青灯书屋, added by its rule file, splits every chapter over two pages.
    MakeDirs(paths.appDir + "sites/");
    CopyFileOver(TALVENOR_DOCS_SITES "qingdeng.toml", paths.appDir + "sites/qingdeng.toml");
    hostProblems = PrepareAppDirs(paths);
    SiteHosts hosts = sites.hosts();
    hosts.added["qingdeng"] = content().qingdeng();
    SetHosts(hosts);
    Start();
    ASSERT_EQ(cat().addedSiteItems.size(), 1u);
    cat().addedSiteItems[0]->trigger();
    UpdateCategory(0);
    DoubleClickRow(cat().Panel5->ListBox2, 0);
    ASSERT_TRUE(WaitFor([&] { return windows->readerMade() && rw().isVisible(); }));
    ASSERT_TRUE(WaitPage());
    book = content().BookByKey(demo::Site::Qingdeng, f2().BookUrl);
    ASSERT_TRUE(book);
    EXPECT_EQ(Rows(rw().ListBox1).size(), book->chapterCount);
    const demo::Chapter ch = content().ChapterOf(*book, 1);
    ASSERT_GE(ch.paragraphs.size(), 2u);
    const QString text = Js("document.body.innerText");
    EXPECT_TRUE(text.contains(U(ch.title)));
    // The first paragraph is on the chapter's first page, the last on its second.
    EXPECT_TRUE(text.contains(U(ch.paragraphs.front()).trimmed().left(12)));
    EXPECT_TRUE(text.contains(U(ch.paragraphs.back()).trimmed().left(12)));
    EXPECT_FALSE(text.contains(U("下一页")));
}

// The catalogue and progress windows as a user sees them: start, the stored
// catalogue, the sites, an update with its progress and cancel, the filter,
// 定位, opening a book, resuming reading (F5, 打开。。。), Esc.
#include <cstdlib>

#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QToolTip>
#include <filesystem>

#include "app/reader_window.h"
#include "gui_fixture.h"
#include "reader/marks.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QStringList Categories(demo::DemoContent& content, demo::Site site, const char* prefixAll = nullptr) {
    QStringList out;
    if (prefixAll) out << U(prefixAll);
    for (int i = 0; i < content.CategoryCount(site); ++i) {
        const demo::Category c = content.CategoryAt(site, i);
        out << U(c.group.empty() ? c.name : c.group + "-" + c.name);
    }
    return out;
}

}  // namespace

TEST_F(GuiTest, FirstStartShowsTheEmptyCatalogue) {
    std::filesystem::remove_all(paths.setDir);
    std::filesystem::remove_all(paths.seeDir);
    Start();
    EXPECT_TRUE(DirExists(paths.setDir));
    EXPECT_TRUE(DirExists(paths.seeDir));
    ASSERT_TRUE(cat().isVisible());
    EXPECT_EQ(cat().windowTitle(),
              U("Talvenor 全本小说阅读器 V1.4.3.2") + QString(27, ' ') + "@_@" + QString(22, ' '));
    EXPECT_EQ(cat().size(), QSize(669, 733));
    EXPECT_FALSE(progress().isVisible());

    const QList<QAction*> menus = cat().menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), U("网站"));
    EXPECT_EQ(MenuTexts(menus[0]->menu()),
              QStringList({U("多玩文学博客"), U("*飞库手机电子书"), U("小说阅读网"), U("言情小说吧"), "-",
                           U("搜书。。。"), U("检查网站")}));
    EXPECT_EQ(MenuTexts(menus[1]->menu()),
              QStringList({U("上次阅读"), U("打开。。。"), U("到论坛看看有没有更新"), U("查看小说推荐")}));
    EXPECT_EQ(MenuTexts(menus[2]->menu()), QStringList({U("换个皮肤看看"), U("设为默认皮肤")}));
    EXPECT_EQ(MenuTexts(menus[3]->menu()),
              QStringList({U("(卓越)搜索书名"), U("(卓越)搜索作者"), U("当当搜索")}));
    EXPECT_EQ(cat().pBtn3->text(), U("更新所选分类的小说列表"));
    EXPECT_EQ(cat().PBtnLv->text(), U("筛选"));
    EXPECT_EQ(cat().PanelLeft1->width(), 215);
    EXPECT_TRUE(Rows(cat().ListBox1).isEmpty());
    EXPECT_TRUE(Rows(cat().Panel5->ListBox2).isEmpty());

    // Nothing chosen yet: the commands say so.
    modal.Ok();
    QTest::mouseClick(cat().pBtn3, Qt::LeftButton);
    ASSERT_TRUE(modal.WaitSeen(1));
    EXPECT_EQ(modal.seen[0].text, U("请选择网站"));
    EXPECT_EQ(modal.seen[0].title, ApplicationTitle());
}

TEST_F(GuiTest, StateFileRestoresTheSiteAndBrokenOnesAreQuiet) {
    Store("飞库", "fenlei.ml", {"网络原创-玄幻", "网络原创-武侠"});
    Store("飞库", "fenlei.ml.list", {"11", "12"});
    Store("飞库", "网络原创-玄幻.ml", {"状态:【连载中】书名：『天书』作者：【甲】", "书名：『地书』"});
    Store("飞库", "网络原创-玄幻.ml.list", {"files/1/1", "files/1/2"});
    SaveList(paths.setDir + "default.0", {G("飞库"), "x.ml", "x.ml.list", "4"});
    Start();
    EXPECT_EQ(Rows(cat().ListBox1), QStringList({U("网络原创-玄幻"), U("网络原创-武侠")}));
    EXPECT_EQ(CurrentRow(cat().ListBox1), 0);
    EXPECT_EQ(Rows(cat().Panel5->ListBox2).size(), 2);
    EXPECT_EQ(CurrentRow(cat().Panel5->ListBox2), 0);
    EXPECT_EQ(cat().PanelStatus->text(), U("total: 2 本"));
    windows.reset();

    // Short, non-numeric, unreadable: the lists stay empty and nothing is said.
    const std::string state = paths.setDir + "default.0";
    for (int broken = 0; broken < 3; ++broken) {
        std::filesystem::remove_all(state);
        if (broken == 0) SaveList(state, {G("飞库"), "x", "x"});
        if (broken == 1) SaveList(state, {G("飞库"), "x", "x", "abc"});
        if (broken == 2) MakeDirs(state);
        Start();
        EXPECT_TRUE(Rows(cat().ListBox1).isEmpty()) << broken;
        EXPECT_TRUE(Rows(cat().Panel5->ListBox2).isEmpty()) << broken;
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << broken;
        windows.reset();
    }
}

TEST_F(GuiTest, BadLinesOfTheHostsFileAreToldAtStart) {
    WriteFileAtomic(paths.setDir + kSiteHostsFile, "duowan = ftp://x\nnonsense\nfeiku = http://feiku.test\n");
    hostProblems = PrepareAppDirs(paths);
    SetHosts(sites.hosts());
    modal.Ok();
    Start();
    ASSERT_TRUE(modal.WaitSeen(1));
    EXPECT_TRUE(modal.seen[0].text.startsWith(U("设置文件 sites.hosts 里有无法使用的行，已略过：")));
    EXPECT_TRUE(modal.seen[0].text.contains("line 1: not an http:// base URL"));
    EXPECT_TRUE(modal.seen[0].text.contains("line 2"));
    EXPECT_FALSE(modal.seen[0].text.contains("line 3"));
}

TEST_F(GuiTest, EachSiteShowsItsCategories) {
    Start();
    cat().N29->trigger();
    EXPECT_EQ(Rows(cat().ListBox1), Categories(content(), demo::Site::Feiku));
    EXPECT_EQ(cat().PanelStatus->text(), U("total: 0 本"));
    cat().N8->trigger();
    EXPECT_EQ(Rows(cat().ListBox1).size(), 11);
    EXPECT_EQ(Rows(cat().ListBox1), Categories(content(), demo::Site::Readnovel));
    cat().N2->trigger();
    EXPECT_EQ(Rows(cat().ListBox1), Categories(content(), demo::Site::Duowan, "所有分类"));
    EXPECT_EQ(CurrentRow(cat().ListBox1), 0);

    // 言情小说吧 declined: 多玩 again.  Accepted: its whole list comes in.
    modal.No();
    cat().N21->trigger();
    ASSERT_EQ(modal.seen.size(), 1u);
    EXPECT_EQ(modal.seen[0].title, U("提醒"));
    EXPECT_EQ(modal.seen[0].text,
              U("下载“言情小说吧”的数据需要较长的时间，下载期间程序会隐藏。点击“否”取消"));
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    modal.Yes();
    cat().N21->trigger();
    ASSERT_TRUE(WaitFor([&] { return !f4().window.visible && cat().isVisible(); }));
    EXPECT_EQ(Rows(cat().ListBox1), QStringList({"5000"}));
    EXPECT_EQ(Rows(cat().Panel5->ListBox2).size(), content().BookCount(demo::Site::Xs8, 0));
    EXPECT_EQ(cat().PanelStatus->text(), U("total: %1 本").arg(content().BookCount(demo::Site::Xs8, 0)));

    // Sites are reached again from the store: no page is fetched twice.
    const size_t requests = sites.RequestLog().size();
    cat().N29->trigger();
    EXPECT_EQ(Rows(cat().ListBox1), Categories(content(), demo::Site::Feiku));
    EXPECT_EQ(sites.RequestLog().size(), requests);
}

TEST_F(GuiTest, UpdateShowsProgressAndCancelGoesBackToTheSite) {
    Start();
    cat().N2->trigger();
    const demo::Category category = content().CategoryAt(demo::Site::Duowan, 1);
    // The second list page is slow to come: the cancel meets a running download.
    demo::Fault slow;
    slow.host = "duowan.localhost";
    slow.match = "_2.html";
    slow.kind = demo::FaultKind::Delay;
    slow.value = 3000;
    const int slowId = sites.AddFault(slow);
    ClickRow(cat().ListBox1, 2);
    // The question's buttons speak Chinese like its text, whatever the locale.
    QStringList buttons;
    modal.Do([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) return;
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        box->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(cat().pBtn3, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().text, U("更新数据可能需要很长时间。下载期间程序会隐藏。确定？"));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({U("否(&N)"), U("是(&Y)")}));
    ASSERT_TRUE(progress().isVisible());
    EXPECT_FALSE(cat().isVisible());
    EXPECT_EQ(progress().windowTitle(), U("数据下载中。。。。请勿打扰@_@"));
    EXPECT_TRUE(progress().windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(progress().size(), QSize(529, 54));
    EXPECT_EQ(progress().Button1->size(), QSize(75, 25));
    EXPECT_EQ(progress().ProgressBar1->size(), QSize(443, 25));
    // A bar without a percentage; a fixed size, so nothing to maximise.
    EXPECT_FALSE(progress().ProgressBar1->isTextVisible());
    EXPECT_FALSE(progress().windowFlags() & Qt::WindowMaximizeButtonHint);
    // The bar follows the worker while the window shows.
    ASSERT_TRUE(WaitFor([&] { return progress().ProgressBar1->value() > 0; }));

    modal.Ok();
    QTest::mouseClick(progress().Button1, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().text, U("更新已取消，需要重新装载数据！"));
    EXPECT_FALSE(progress().isVisible());
    ASSERT_TRUE(cat().isVisible());
    // The site is shown again from the store, its first category chosen.
    EXPECT_EQ(Rows(cat().ListBox1), Categories(content(), demo::Site::Duowan, "所有分类"));
    EXPECT_EQ(CurrentRow(cat().ListBox1), 0);
    EXPECT_TRUE(Rows(cat().Panel5->ListBox2).isEmpty());
    sites.RemoveFault(slowId);

    UpdateCategory(2);
    QStringList expected;
    for (int i = 0; i < content().BookCount(demo::Site::Duowan, 1); ++i)
        expected << U(content().BookAt(demo::Site::Duowan, 1, i).title);
    const QStringList shown = Rows(cat().Panel5->ListBox2);
    ASSERT_EQ(shown.size(), expected.size());
    for (int i = 0; i < shown.size(); ++i) EXPECT_TRUE(shown[i].contains(expected[i])) << i;
    EXPECT_EQ(CurrentRow(cat().Panel5->ListBox2), 0);
    EXPECT_EQ(cat().PanelStatus->text(), U("total: %1 本").arg(expected.size()));
    EXPECT_EQ(U(category.name), Rows(cat().ListBox1)[2]);
}

// A category too long to read in place is read on a thread: the window
// keeps taking clicks meanwhile, and the commands they give run on the list
// once it is there, so the user ends up seeing what a blocking read showed.
TEST_F(GuiTest, LongCategoryIsReadAsideAndClicksMeanwhileFollowIt) {
    std::vector<std::string> shortBooks = {"《甲书》", "《乙书》"};
    std::vector<std::string> titles, keys;
    QStringList longBooks, expected;
    for (int i = 0; i < 80000; ++i) {
        titles.push_back(std::string(i % 2 ? "《穿越" : "《重生") + "之第" + std::to_string(i) +
                         "号书》作者某 连载中");
        keys.push_back("book/" + std::to_string(i) + "/");
        longBooks << U(titles.back());
        if (longBooks.back().contains(U("重生")) && longBooks.back().contains(U("99")))
            expected << longBooks.back();
    }
    Store("多玩", "fenlei.ml", {"短类", "长类"});
    Store("多玩", "fenlei.ml.list", {"http://a/s_1.html", "http://a/l_1.html"});
    Store("多玩", "短类.ml", shortBooks);
    Store("多玩", "短类.ml.list", {"book/a/", "book/b/"});
    Store("多玩", "长类.ml", titles);
    Store("多玩", "长类.ml.list", keys);
    ASSERT_GE(std::filesystem::file_size(BookListFile(paths.appDir, G("多玩"), G("长类"))),
              static_cast<std::uintmax_t>(TForm1::kBooksReadAside));
    SaveList(paths.setDir + "default.0", {G("多玩"), G("短类.ml"), G("短类.ml.list"), "1"});
    Start();
    QListView* books = cat().Panel5->ListBox2;
    ASSERT_EQ(Rows(books), QStringList({U("《甲书》"), U("《乙书》")}));

    // The click returns before the books are read; 筛选 clicked meanwhile
    // filters the long list.
    ClickRow(cat().ListBox1, 1);
    EXPECT_TRUE(f1().BooksLoading());
    EXPECT_EQ(CurrentRow(cat().ListBox1), 1);
    modal.Type(U("重生 99"));
    QTest::mouseClick(cat().PBtnLv, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !windows->desktop().Aside() && modal.Idle(); }));
    EXPECT_FALSE(f1().BooksLoading());
    EXPECT_EQ(Rows(books), longBooks);
    EXPECT_EQ(CurrentRow(books), 0);
    EXPECT_EQ(cat().PanelStatus->text(), U("total: 80000 本"));
    EXPECT_TRUE(cat().Panel5->ListBox3->isVisible());
    EXPECT_EQ(Rows(cat().Panel5->ListBox3), expected);
    EXPECT_EQ(cat().PBtnLv->text(), U("取消筛选"));
    QTest::mouseClick(cat().PBtnLv, Qt::LeftButton);

    // The long category and at once the short one: the selection moves at
    // the second click, and the short one's books are what stays shown.
    ClickRow(cat().ListBox1, 0);
    ClickRow(cat().ListBox1, 1);
    ASSERT_TRUE(f1().BooksLoading());
    ClickRow(cat().ListBox1, 0);
    EXPECT_EQ(CurrentRow(cat().ListBox1), 0);
    ASSERT_TRUE(WaitFor([&] { return !windows->desktop().Aside(); }));
    EXPECT_EQ(Rows(books), QStringList({U("《甲书》"), U("《乙书》")}));
    EXPECT_EQ(cat().PanelStatus->text(), U("total: 2 本"));
    EXPECT_TRUE(books->isVisible());
}

TEST_F(GuiTest, FilterLocateAndOpenABook) {
    Start();
    cat().N2->trigger();
    UpdateCategory(1);
    QListView* books = cat().Panel5->ListBox2;
    const QStringList all = Rows(books);
    ASSERT_GT(all.size(), 10);

    // Two keywords: only titles holding both.
    QStringList expected;
    for (const QString& t : all)
        if (t.contains(U("重生")) && t.contains(U("之"))) expected << t;
    ASSERT_FALSE(expected.isEmpty());
    modal.Type(U("重生 之"));
    QTest::mouseClick(cat().PBtnLv, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().title, U("筛选    "));
    EXPECT_EQ(modal.seen.back().text, U("筛选出包含指定关键词的书。例如：       重生       "));
    QListView* filtered = cat().Panel5->ListBox3;
    EXPECT_TRUE(filtered->isVisible());
    EXPECT_FALSE(books->isVisible());
    EXPECT_EQ(Rows(filtered), expected);
    EXPECT_EQ(cat().PBtnLv->text(), U("取消筛选"));
    EXPECT_EQ(cat().PanelStatus->text(), U("total: %1 本").arg(all.size()));

    // Off again: the full list, unchanged; the next prompt starts with the last text.
    QTest::mouseClick(cat().PBtnLv, Qt::LeftButton);
    EXPECT_TRUE(books->isVisible());
    EXPECT_EQ(Rows(books), all);
    EXPECT_EQ(cat().PBtnLv->text(), U("筛选"));

    // 定位 selects the first title holding the text.
    const QString wanted = all[7].mid(1, 3);
    modal.Type(wanted);
    QTest::mouseClick(cat().PBtn4, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().title, U("定位    "));
    EXPECT_EQ(modal.seen.back().value, U("重生 之"));
    int first = 0;
    while (!all[first].contains(wanted)) ++first;
    EXPECT_EQ(CurrentRow(books), first);

    // Opening a filtered book fetches its chapter list behind the progress window.
    modal.Type(U("重生 之"));
    QTest::mouseClick(cat().PBtnLv, Qt::LeftButton);
    DoubleClickRow(filtered, 0);
    EXPECT_FALSE(cat().isVisible());
    ASSERT_TRUE(WaitFor([&] { return !f4().window.visible; }));
    EXPECT_FALSE(progress().isVisible());
    EXPECT_EQ(windows->program().TrayWindow, kTrayReader);
    EXPECT_TRUE(f2().window.visible);
    const QString title = expected[0].mid(1, expected[0].indexOf(U("》")) - 1);
    EXPECT_EQ(U(GbkToUtf8(f2().TheMark.BookTitle)), title);
    EXPECT_EQ(f2().ListBox1.Count(), content().BookByKey(demo::Site::Duowan, f2().BookUrl)->chapterCount);
}

TEST_F(GuiTest, EscSavesTheStateAndEndsTheProgram) {
    Start();
    cat().N2->trigger();
    ClickRow(cat().ListBox1, 3);
    QSignalSpy finished(windows.get(), &ProgramWindows::finished);
    cat().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&cat()));
    QTest::keyClick(&cat(), Qt::Key_Escape);
    ASSERT_EQ(finished.count(), 1);
    const std::string name = f1().ListBox1.items[3];
    EXPECT_EQ(LoadList(paths.setDir + "default.0"),
              StringList({G("多玩"), name + ".ml", name + ".ml.list", "1"}));
    EXPECT_FALSE(cat().isVisible());
}

// The chapter titles and addresses of a demo book, as the reader saves them.
static void SaveChapters(demo::DemoContent& content, const demo::Book& book, int count,
                         const std::string& titles, const std::string& urls) {
    StringList t, u;
    for (int n = 1; n <= count; ++n) {
        const demo::Chapter c = content.ChapterOf(book, n, false);
        t.push_back(G(c.title.c_str()));
        u.push_back(c.url);
    }
    SaveList(titles, t);
    SaveList(urls, u);
}

TEST_F(GuiTest, F5AndOpenResumeReadingInTheReader) {
    Start();
    cat().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&cat()));
    // Nothing read yet: F5 changes nothing.
    QTest::keyClick(&cat(), Qt::Key_F5);
    EXPECT_TRUE(cat().isVisible());
    EXPECT_FALSE(f2().window.visible);

    // The files the reader left: the sixth chapter of a 多玩 book, which
    // the reader fetches and composes into its page.
    const demo::Book duowan = content().BookAt(demo::Site::Duowan, 0, 0);
    SaveChapters(content(), duowan, 7, paths.setDir + "default.1", paths.setDir + "default.2");
    SaveList(paths.setDir + "default.3", {"5", G("多玩")});
    // A site that does not answer: the catalogue stays on screen while the
    // chapter is awaited, and the reader takes its place when it comes.
    demo::Fault silent;
    silent.host = "duowan.localhost";
    silent.match = QUrl(U(LoadList(paths.setDir + "default.2").at(5))).path().toStdString();
    silent.kind = demo::FaultKind::Hold;
    silent.times = 1;
    sites.AddFault(silent);
    bool held = false, catalogueShown = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (held || sites.Held() == 0) return;
        held = true;
        catalogueShown = cat().isVisible() && !(windows->readerMade() && windows->reader().isVisible());
        sites.ReleaseHeld();
    });
    look.start(5);
    QTest::keyClick(&cat(), Qt::Key_F5);  // returns when the chapter has come
    look.stop();
    EXPECT_TRUE(held);
    EXPECT_TRUE(catalogueShown) << "no window on screen while the chapter was awaited";
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible(); }));
    EXPECT_TRUE(f2().window.visible);
    EXPECT_EQ(f2().ListBox1.Count(), 7);
    EXPECT_EQ(f2().ListBox1.itemIndex, 5);
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_EQ(f2().TheMark.BookTitle, LastReadingTitle());
    const demo::Chapter sixth = content().ChapterOf(duowan, 6);
    EXPECT_NE(ReadFileBytes(paths.tmpDir + "tmp.htm").find(G(sixth.paragraphs[0].c_str())),
              std::string::npos);

    // Back in the catalogue, 打开。。。 takes a position file set of 飞库.
    f2().window.visible = false;
    f1().window.visible = true;
    windows->Sync();
    ASSERT_TRUE(WaitFor([&] { return cat().isVisible(); }));
    const std::string mark = paths.setDir + "book.Mark";
    SaveChapters(content(), content().BookAt(demo::Site::Feiku, 0, 0), 3, mark, mark + ".list");
    SaveList(mark + ".set", {"2", G("飞库")});
    modal.ChooseFile(U(mark));
    cat().N12->trigger();
    ASSERT_TRUE(WaitFor([&] { return !cat().isVisible(); }));
    EXPECT_TRUE(f2().window.visible);
    EXPECT_EQ(f2().ListBox1.Count(), 3);
    EXPECT_EQ(f2().ListBox1.itemIndex, 2);
    EXPECT_EQ(f1().CurrentSite, G("飞库"));
    EXPECT_EQ(f2().TheMark.BookTitle, PositionFileTitle());
    // Only the file dialog was shown: no failure on the way.
    EXPECT_EQ(modal.seen.size(), 1u);
}

TEST_F(GuiTest, AFeikuEntryCutOffByTheListShowsWholeAsItsTooltip) {
    Start();
    cat().N29->trigger();
    UpdateCategory(1);
    QListView* books = cat().Panel5->ListBox2;
    ASSERT_FALSE(Rows(books).isEmpty());
    const QString entry = Rows(books)[0];
    // State and date come first: in a narrow window the title runs past the
    // list's edge.
    auto tipOverFirstRow = [&] {
        QApplication::processEvents();
        const QPoint at = books->visualRect(books->model()->index(0, 0)).center();
        QHelpEvent help(QEvent::ToolTip, at, books->viewport()->mapToGlobal(at));
        QApplication::sendEvent(books->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    cat().resize(480, cat().height());
    ASSERT_LT(books->viewport()->width(), books->fontMetrics().horizontalAdvance(entry));
    EXPECT_TRUE(tipOverFirstRow().contains(entry.toHtmlEscaped())) << tipOverFirstRow().toStdString();
    // Shown whole, the entry needs no tooltip (no introduction is known).
    QToolTip::hideText();
    ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }));
    cat().resize(1600, cat().height());
    ASSERT_GT(books->viewport()->width(), books->fontMetrics().horizontalAdvance(entry) + 20);
    EXPECT_EQ(tipOverFirstRow(), QString());
}

// Messages carry names and addresses that come from sites: markup in them is
// shown as it stands, never drawn (a picture from a local file, say).
TEST_F(GuiTest, MessagesShowMarkupAsText) {
    Start();
    const QString markup = QStringLiteral("<img src=\"file:///etc/passwd\"><b>x</b>");
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    modal.Do([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            format = box->textFormat();
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    windows->desktop().Message(markup.toStdString());
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, markup);
}

TEST_F(GuiTest, CheckSiteReportsEachWalkAndNamesTheMissingMarker) {
    Start();
    // Without a site shown there is nothing to check.
    modal.Ok();
    cat().N30->trigger();
    ASSERT_TRUE(modal.WaitSeen(1));
    EXPECT_EQ(modal.seen[0].text, U("请选择网站"));

    cat().N29->trigger();
    modal.Ok();
    cat().N30->trigger();
    ASSERT_TRUE(modal.WaitSeen(2));
    EXPECT_TRUE(modal.seen[1].text.startsWith(U("检查网站 飞库：全部正常"))) << modal.seen[1].text.toStdString();
    EXPECT_TRUE(modal.seen[1].text.contains(QRegularExpression(QStringLiteral("\\nbooklist: ok: [1-9][0-9]* items\\n"))))
        << modal.seen[1].text.toStdString();

    // The site drops its book list's marker: the report names it.
    demo::Fault fault;
    ASSERT_TRUE(demo::ParseFault("feiku.localhost:/Book/ShowBookList.aspx=nomarker", &fault));
    sites.AddFault(fault);
    QImage shot;
    modal.Do([&](QWidget* w) {
        shot = w->grab().toImage();
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
    });
    cat().N30->trigger();
    ASSERT_TRUE(modal.WaitSeen(3));
    EXPECT_TRUE(modal.seen[2].text.startsWith(U("检查网站 飞库：有问题"))) << modal.seen[2].text.toStdString();
    EXPECT_TRUE(modal.seen[2].text.contains(U("booklist: marker missing: step ")));
    EXPECT_TRUE(modal.seen[2].text.contains(U("find '<div id=\"CrListText\">' not found")));
    if (const char* dir = std::getenv("TALVENOR_SHOT_DIR")) shot.save(QString::fromUtf8(dir) + "/check-site.png");
}

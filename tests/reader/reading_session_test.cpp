// Reading as a user does it, against the demo sites: a book opened from the
// catalogue, read on, a preference changed, the reader closed, the program
// started again in the same home and the reading resumed.
#include <gtest/gtest.h>

#include "catalogue/worker_harness.h"
#include "reader/reader_form.h"
#include "reader_hooks.h"
#include "support/small_disk.h"

using namespace talvenor;

namespace {

class ReadingSession : public ::testing::Test, public WorkerHarness {
  protected:
    ReaderHooks hooks;
    demo::Book book;
    std::string title, site = G("多玩");

    ReadingSession() : WorkerHarness(Options()) {
        hooks.Attach(f2());
        book = content().BookAt(demo::Site::Duowan, 0, 0);
        title = ::Gbk(book.title);
    }
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.chaptersPerBook = 12;
        return o;
    }
    void Restart() {
        program->StopAllWorkers();
        program.reset();
        hooks = ReaderHooks();
        Start();
        hooks.Attach(f2());
    }
    // A double click on the book in the catalogue's list.
    void OpenFromCatalogue(const demo::Book& b) {
        f1().CurrentSite = Label(Site::Duowan);
        f1().ListBox2.Assign({G("《") + ::Gbk(b.title) + G("》")});
        f1().BookURLList.Assign({b.key});
        f1().ListBox2.Select(0);
        f1().PanelOpenClick();
        ASSERT_TRUE(WaitForDownload());
    }
    void ReadAndClose(int chapterIndex) {
        OpenFromCatalogue(book);
        for (int i = 0; i < chapterIndex; ++i) f2().goOnClick(f2().BtnNext);
        f2().FormClose();
    }
    // Whether the browser shows chapter n (1-based) of the book.
    bool Shows(int n) {
        const demo::Chapter ch = content().ChapterOf(book, n);
        return hooks.shown.find(::Gbk(ch.paragraphs.at(0))) != std::string::npos &&
               hooks.shown.find("<h1>" + ::Gbk(ch.title) + "</h1>") != std::string::npos;
    }
    StringList Lines(const char* file) { return LoadList(paths.setDir + file); }
    std::string Mark(const std::string& chapter) { return MarkEntry(title, site, book.key, chapter); }
    std::string Auto(const std::string& chapter) {
        return MarkEntry(LastReadingTitle(), site, book.key, chapter);
    }
};

}  // namespace

TEST_F(ReadingSession, ReadCloseStartAgainAndResumeFromTheAutomaticMark) {
    OpenFromCatalogue(book);
    EXPECT_TRUE(f2().window.visible);
    EXPECT_FALSE(f1().window.visible);
    EXPECT_TRUE(Shows(1));
    EXPECT_EQ(desktop.sounds, 1);
    EXPECT_EQ(hooks.zooms, std::vector<int>{2});
    EXPECT_EQ(f2().ListBoxMark.items, StringList{Mark("0")});

    for (int i = 0; i < 5; ++i) f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(f2().ListBox1.itemIndex, 5);
    EXPECT_TRUE(Shows(6));
    EXPECT_FALSE(f2().PageTurnBusy);
    EXPECT_EQ(f2().ListBoxMark.items, StringList{Mark("5")});

    // A new background colour shows the same chapter again in it.
    desktop.colorAnswers = {0xFF0000};
    f2().N2Click(f2().prefs.N2);
    EXPECT_EQ(hooks.shown.rfind("<htm><base target=_Blank><body bgcolor=#FF0000>", 0), 0u);
    EXPECT_TRUE(Shows(6));
    f2().SetFont(f2().prefs.N41);
    f2().pHideClick();
    f2().N8Click();

    f2().FormClose();
    EXPECT_TRUE(f1().window.visible);
    EXPECT_FALSE(f2().window.visible);
    EXPECT_EQ(Lines("AutoMark"), (StringList{Mark("5"), "0" + Auto("5")}));
    EXPECT_EQ(Lines("default.2"), f2().PageUrlList.items);
    EXPECT_EQ(Lines("default.3"), (StringList{"5", site}));

    Restart();
    EXPECT_EQ(f2().prefs.BackgroundAttr, " bgcolor=#FF0000");
    EXPECT_TRUE(f2().Panel2AtBottom);
    EXPECT_FALSE(f2().Panel1.visible);
    EXPECT_EQ(f2().btnHide.caption, G("显示目录"));
    EXPECT_EQ(f2().ListBoxMark.Count(), 2);

    program->N17Click();
    EXPECT_FALSE(f1().window.visible);
    EXPECT_TRUE(f2().window.visible);
    EXPECT_EQ(f1().CurrentSite, site);
    EXPECT_EQ(f2().ListBox1.itemIndex, 5);
    EXPECT_TRUE(Shows(6));
    EXPECT_EQ(f2().BookUrl, book.key);  // the last-reading files do not carry it; the mark does
    EXPECT_EQ(f2().TheMark.AutoLink, "0");
    EXPECT_EQ(f2().TheMark.PairIndex, 0);
    // The stored zoom level is applied with the first page.
    EXPECT_EQ(hooks.zooms, std::vector<int>{4});
    EXPECT_TRUE(f2().prefs.N41.checked);

    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(f2().ListBoxMark.items, (StringList{Mark("6"), Auto("6")}));
    f2().FormClose();
    EXPECT_EQ(Lines("AutoMark"), (StringList{Mark("6"), "0" + Auto("6")}));
}

TEST_F(ReadingSession, DeletedMarksAndTheLockedList) {
    ReadAndClose(5);
    Restart();
    program->N17Click();
    f2().ListBoxMark.Select(0);
    desktop.answers = {false};
    f2().PopMark_DelClick();
    EXPECT_EQ(f2().ListBoxMark.Count(), 2);
    desktop.answers = {true};
    f2().PopMark_DelClick();
    EXPECT_EQ(desktop.asked.back(), G("提醒") + "|" + G("删除后不可恢复。确定？点击“否”取消"));
    EXPECT_EQ(f2().TheMark.AutoLink, "-2");
    EXPECT_EQ(f2().TheMark.PairIndex, -1);
    EXPECT_EQ(f2().TheMark.AutoIndex, 0);
    EXPECT_EQ(f2().TheMark.CurIndex, 0);
    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(f2().ListBoxMark.items, StringList{Auto("6")});
    f2().FormClose();
    EXPECT_EQ(Lines("AutoMark"), StringList{"0" + Auto("6")});  // links to itself

    // The deleted link is not read again in this run: no pair, link -2.
    program->N17Click();
    EXPECT_EQ(f2().TheMark.PairIndex, -2);
    f2().goOnClick(f2().BtnNext);
    f2().FormClose();
    EXPECT_EQ(Lines("AutoMark"), StringList{"-2" + Auto("7")});

    // A locked list follows no book and refuses open and delete.
    program->N17Click();
    f2().PopMark_LockClick();
    EXPECT_EQ(f2().PopMark_Lock.caption, G("解锁自动标签列表"));
    EXPECT_TRUE(f2().ListBoxMarkMenuColor);
    const StringList before = f2().ListBoxMark.items;
    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(f2().ListBox1.itemIndex, 8);
    EXPECT_EQ(f2().ListBoxMark.items, before);
    f2().ListBoxMark.Select(0);
    desktop.messages.clear();
    f2().PopMark_openClick();
    f2().PopMark_DelClick();
    EXPECT_EQ(desktop.messages, (StringList{G("列表已锁定！"), G("列表已锁定！")}));
    EXPECT_EQ(f2().ListBoxMark.items, before);
    f2().PopMark_LockClick();
    EXPECT_EQ(f2().PopMark_Lock.caption, G("锁定自动标签列表"));
    EXPECT_EQ(f2().PopMark_Lock.tag, 0);
}

TEST_F(ReadingSession, OpeningAMarkFetchesTheBookAgainAtItsChapter) {
    ReadAndClose(3);
    Restart();
    f2().FormKeyDown(ReaderKey::M);  // the mark list in place of the chapter list
    EXPECT_TRUE(f2().ListBoxMark.visible);
    f2().ListBoxMark.Add("damaged entry");
    f2().ListBoxMark.Select(2);
    f2().PopMark_openClick();
    EXPECT_FALSE(f4().window.visible);  // nothing was opened
    EXPECT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(f2().PopMark_open.tag, 0);

    f2().ListBoxMark.Select(0);
    f2().PopMark_openClick();
    ASSERT_TRUE(WaitForDownload());
    EXPECT_TRUE(f2().ListBox1.visible);
    EXPECT_FALSE(f2().ListBoxMark.visible);
    EXPECT_EQ(f2().ListBox1.itemIndex, 3);
    EXPECT_TRUE(Shows(4));
    EXPECT_EQ(f2().TheMark.CurIndex, 0);
    EXPECT_EQ(f2().TheMark.OpenMode, -4);
    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(f2().ListBoxMark.items[0], Mark("4"));
}

TEST_F(ReadingSession, PositionFilesWrittenByTheSaveButtonReopenTheChapter) {
    OpenFromCatalogue(book);
    f2().goOnClick(f2().BtnNext);
    f2().goOnClick(f2().BtnNext);
    const std::string file = home.dir() + "elsewhere/mine.Mark";
    MakeDirs(home.dir() + "elsewhere");
    desktop.fileAnswers = {file};
    f2().pSaveClick();
    EXPECT_EQ(desktop.fileDialogs.at(0),
              "save|" + G("小说定位文件（*.Mark）|*.Mark") + "|" + paths.setDir + "|.Mark");
    EXPECT_EQ(LoadList(file + ".list"), f2().PageUrlList.items);
    EXPECT_EQ(LoadList(file + ".set"), (StringList{"2", site}));
    f2().FormClose();
    const StringList marks = f2().ListBoxMark.items;

    Restart();
    desktop.fileAnswers = {file};
    program->N12Click();
    EXPECT_FALSE(f1().window.visible);
    EXPECT_TRUE(f2().window.visible);
    EXPECT_EQ(f2().TheMark.BookTitle, PositionFileTitle());
    EXPECT_TRUE(Shows(3));
    f2().goOnClick(f2().BtnNext);
    EXPECT_TRUE(Shows(4));
    EXPECT_EQ(f2().ListBoxMark.items, marks);  // a position file follows no mark
}

TEST_F(ReadingSession, ASecondPageTurnDuringADisplayIsRefusedButSetsItsStyle) {
    OpenFromCatalogue(book);
    f2().N26Click();  // normal page-turn effect
    f2().ListBox1.Select(3);
    f2().ListBox1Click();
    int inner = 0;
    hooks.duringDisplay = [&] {
        if (inner++ == 0) f2().goOnClick(f2().BtnNext);
    };
    hooks.effects.clear();
    f2().goOnClick(f2().BtnBack);
    EXPECT_EQ(hooks.effects, std::vector<int>{14});
    EXPECT_EQ(f2().ListBox1.itemIndex, 2);
    EXPECT_EQ(f2().PicShow1Style, 15);
    EXPECT_FALSE(f2().PageTurnBusy);
    hooks.duringDisplay = nullptr;
    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(hooks.effects, (std::vector<int>{14, 15}));
    EXPECT_EQ(f2().ListBox1.itemIndex, 3);
}

TEST_F(ReadingSession, FailuresWhileShowingAChapter) {
    OpenFromCatalogue(book);
    const int sounds = desktop.sounds;
    // The site fails: its message, the page stays, the sound still plays.
    int fault = Fault("duowan.localhost", content().ChapterOf(book, 2).url.substr(Hosts().duowan.size()),
                      demo::FaultKind::Status, 500);
    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(desktop.messages, StringList{G("网络连接失败")});
    EXPECT_TRUE(Shows(1));
    EXPECT_EQ(desktop.sounds, sounds + 1);
    sites.RemoveFault(fault);

    // A failure the scraper does not catch: an empty page, no sound, the
    // selection kept, and the buttons usable again.
    f2().PageUrlList.Set(4, "no such address");
    f1().CurrentSite = Label(Site::Xs8);
    f2().ListBox1.Select(3);
    f2().goOnClick(f2().BtnNext);
    EXPECT_EQ(hooks.shown, "about:blank");
    EXPECT_EQ(f2().ListBox1.itemIndex, 4);
    EXPECT_EQ(desktop.sounds, sounds + 1);
    EXPECT_FALSE(f2().PageTurnBusy);
    f1().CurrentSite = site;
    f2().goOnClick(f2().BtnNext);
    EXPECT_TRUE(Shows(6));
}

// The disk fills up while the reader closes.  The last reading and the mark
// list are replaced as one set, so 上次阅读 then shows the book read before
// or the one just closed, never one book's text under the other's chapter
// titles; a set whose lists differ in length is refused as damaged.
TEST(LastReading, AFullDiskNeverMixesTwoBooks) {
    demo::DemoOptions options;
    options.chaptersPerBook = 600;
    WorkerHarness h(options);
    ReaderHooks hooks;
    hooks.Attach(h.f2());
    SmallDisk disk(h.paths.setDir, 1 << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    const std::string set = h.paths.setDir, site = Label(Site::Duowan);
    const demo::Book a = h.content().BookAt(demo::Site::Duowan, 0, 0),
                     b = h.content().BookAt(demo::Site::Duowan, 0, 1);
    auto chapter = [&](const demo::Book& book, int n) { return h.content().ChapterOf(book, n); };
    auto read = [&](const demo::Book& book, int index) {
        h.f1().CurrentSite = site;
        h.f1().ListBox2.Assign({G("《") + ::Gbk(book.title) + G("》")});
        h.f1().BookURLList.Assign({book.key});
        h.f1().ListBox2.Select(0);
        h.f1().PanelOpenClick();
        ASSERT_TRUE(h.WaitForDownload());
        h.f2().ListBox1.Select(index);
        h.f2().ListBox1Click();
    };
    auto restart = [&] {
        h.program->StopAllWorkers();
        h.program.reset();
        hooks = ReaderHooks();
        h.Start();
        hooks.Attach(h.f2());
    };
    auto shows = [&](const demo::Chapter& ch) {
        return hooks.shown.find(::Gbk(ch.paragraphs.at(0))) != std::string::npos &&
               hooks.shown.find("<h1>" + ::Gbk(ch.title) + "</h1>") != std::string::npos;
    };
    // Book A read at its second chapter, its last reading kept short (as a
    // book of two chapters would leave it): B's lists need more room.
    read(a, 1);
    h.f2().FormClose();
    const StringList aTitles = {::Gbk(chapter(a, 1).title), ::Gbk(chapter(a, 2).title)},
                     aUrls = {chapter(a, 1).url, chapter(a, 2).url};
    const std::string aMarks = ReadFileBytes(set + "AutoMark"), aPlace = ReadFileBytes(set + "default.3");

    int failed = 0;
    for (size_t free = 0;; free += 4096) {
        SCOPED_TRACE(free);
        ASSERT_LT(free, size_t{1} << 20) << "the reader's close never got through";
        disk.Unfill();
        WriteFileAtomic(set + "AutoMark", aMarks);
        WriteFileAtomic(set + "default.3", aPlace);
        SaveList(set + "default.1", aTitles);
        SaveList(set + "default.2", aUrls);
        restart();
        // Book B read at its fourth chapter, then closed on the full disk.
        read(b, 3);
        disk.LeaveFree(free);
        h.desktop.messages.clear();
        h.f2().FormClose();
        disk.Unfill();
        EXPECT_TRUE(h.f1().window.visible);
        const bool written = h.desktop.messages.empty();

        // The next start resumes from what is on disk.
        const StringList titles = LoadList(set + "default.1"), urls = LoadList(set + "default.2");
        ASSERT_EQ(titles.size(), urls.size());
        restart();
        h.program->N17Click();
        ASSERT_TRUE(h.f2().window.visible);
        if (!written) {
            EXPECT_EQ(titles, aTitles);
            EXPECT_EQ(urls, aUrls);
            EXPECT_EQ(ReadFileBytes(set + "default.3"), aPlace);
            EXPECT_EQ(ReadFileBytes(set + "AutoMark"), aMarks);
            EXPECT_TRUE(shows(chapter(a, 2)));
            ++failed;
        } else {
            EXPECT_EQ(titles.size(), 600u);
            EXPECT_EQ(urls.at(3), chapter(b, 4).url);
            EXPECT_EQ(LoadList(set + "default.3"), (StringList{"3", site}));
            EXPECT_TRUE(shows(chapter(b, 4)));
            break;
        }
    }
    EXPECT_GT(failed, 3);

    // Lists of unequal length, as a set mixed by an older version left them.
    h.f2().FormClose();
    SaveList(set + "default.1", {::Gbk(chapter(b, 1).title), ::Gbk(chapter(b, 2).title)});
    SaveList(set + "default.2", {chapter(a, 1).url});
    restart();
    h.desktop.messages.clear();
    h.program->N17Click();
    EXPECT_FALSE(h.f2().window.visible);
    EXPECT_EQ(h.desktop.messages, StringList{G("列表索引越界 (1)")});
}

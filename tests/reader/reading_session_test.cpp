// Reading as a user does it, against the demo sites: a book opened from the
// catalogue, read on, a preference changed, the reader closed, the program
// started again in the same home and the reading resumed.
#include <gtest/gtest.h>

#include "catalogue/worker_harness.h"
#include "reader/reader_form.h"
#include "reader_hooks.h"

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

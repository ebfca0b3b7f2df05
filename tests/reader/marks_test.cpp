// The mark list without the network: entries cut on characters, tracking in
// every opening mode, deleting, damaged files, and the catalogue's commands
// that resume from the files the reader writes.
#include <gtest/gtest.h>

#include "reader_hooks.h"
#include "support/program_fixture.h"

using namespace talvenor;

namespace {

class Marks : public ::testing::Test, public ProgramFixture {
  protected:
    ReaderHooks hooks;
    // A site the reader has no scraper for: chapters are tracked, not fetched.
    const std::string site = G("本地");
    Marks() { StartReader(); }
    void StartReader() {
        hooks = ReaderHooks();
        Start();
        hooks.Attach(f2());
    }
    void Book(int chapters) {
        StringList titles, urls;
        for (int i = 0; i < chapters; ++i) {
            titles.push_back("c" + std::to_string(i));
            urls.push_back("u" + std::to_string(i));
        }
        f2().ListBox1.Assign(titles);
        f2().PageUrlList.Assign(urls);
    }
    // Opens the book as the catalogue does, once its chapter list is there.
    void Open(const std::string& title, const std::string& url) {
        f1().CurrentSite = site;
        f2().TheMark.OpenMode = -2;
        f2().TheMark.BookTitle = title;
        f2().BookUrl = url;
        f2().ListBox1.Select(0);
        f2().ListBox1Click();
    }
    void Show(int chapter) {
        f2().ListBox1.Select(chapter);
        f2().ListBox1Click();
    }
    const StringList& List() { return f2().ListBoxMark.items; }
    void LastReadingFiles(const StringList& set) {
        SaveList(paths.setDir + "default.1", {"c0", "c1", "c2", "c3", "c4", "c5", "c6"});
        SaveList(paths.setDir + "default.2", {"u0", "u1", "u2", "u3", "u4", "u5", "u6"});
        SaveList(paths.setDir + "default.3", set);
    }
};

}  // namespace

TEST_F(Marks, EntriesAreCutOnCharactersNotBytes) {
    // 啊 ends in the byte A1; 好 and 化 begin with BA and BB: together they
    // hold the bytes of 『 and 』 across two characters.
    const std::string tricky = G("啊好啊化");
    ASSERT_NE(tricky.find(G("『")), std::string::npos);
    f2().ParseMarkEntry("12" + MarkEntry(tricky, G("多玩"), "book/1/", "3"));
    EXPECT_EQ(f2().TheMark.BookTitle, tricky);
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_EQ(f2().BookUrl, "book/1/");
    EXPECT_EQ(f2().ChapterIndex, "3");
    EXPECT_EQ(f2().TheMark.AutoLink, "12");
    EXPECT_FALSE(EntryContains(tricky, G("『")));

    // A deleted link stays deleted; a short entry fills what it has and fails.
    f2().TheMark.AutoLink = "-2";
    EXPECT_THROW(f2().ParseMarkEntry("7" + G("『书』『站")), MarkEntryError);
    EXPECT_EQ(f2().TheMark.AutoLink, "-2");
    EXPECT_EQ(f2().TheMark.BookTitle, G("书"));
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_THROW(f2().ParseMarkEntry("no brackets"), MarkEntryError);
    f2().TheMark.AutoLink = "abc";
    EXPECT_EQ(f2().TheMark.LinkNumber(), -1);
}

TEST_F(Marks, TrackingFindsTheBooksMark) {
    Book(10);
    // A book whose mark the automatic mark links to: both follow it.
    f2().ListBoxMark.Assign({MarkEntry(G("甲"), site, "a/", "4"), MarkEntry(G("乙"), site, "b/", "7"),
                             "1" + MarkEntry(LastReadingTitle(), site, "b/", "7")});
    f2().TheMark.AutoLink = "1";
    f2().TheMark.AutoIndex = 2;
    Open(G("乙"), "b/");
    EXPECT_EQ(f2().ListBox1.itemIndex, 7);
    EXPECT_EQ(f2().TheMark.CurIndex, 1);
    EXPECT_EQ(f2().TheMark.PairIndex, 2);
    Show(8);
    EXPECT_EQ(List()[1], MarkEntry(G("乙"), site, "b/", "8"));
    EXPECT_EQ(List()[2], MarkEntry(LastReadingTitle(), site, "b/", "8"));

    // A mark whose chapter is no number, or no chapter of the list: chapter 0.
    for (const char* chapter : {"x", "99"}) {
        f2().ListBoxMark.Assign({MarkEntry(G("丙"), site, "c/", chapter)});
        Open(G("丙"), "c/");
        EXPECT_EQ(f2().ListBox1.itemIndex, 0) << chapter;
        EXPECT_EQ(f2().ChapterIndex, "0");
        EXPECT_EQ(f2().TheMark.OpenMode, -4);
    }
}

TEST_F(Marks, DamagedAutoMarkFiles) {
    // An automatic mark cut short, a link that is no number, lines without
    // brackets: the last reading resumes at chapter 0 and tracks on.
    SaveList(paths.setDir + "AutoMark",
             {"garbage", "x" + G("『上次阅读。。』『") + site, G("『』『』『』『』『』")});
    LastReadingFiles({"5", site});
    StartReader();
    desktop.messages.clear();
    program->N17Click();
    EXPECT_EQ(f2().ListBox1.itemIndex, 0);
    EXPECT_EQ(f2().TheMark.OpenMode, -4);
    EXPECT_EQ(f2().TheMark.AutoIndex, 1);
    EXPECT_EQ(f2().TheMark.PairIndex, -1);
    Show(2);
    EXPECT_EQ(List()[1], MarkEntry(LastReadingTitle(), site, "", "2"));
    f2().FormClose();
    EXPECT_EQ(LoadList(paths.setDir + "AutoMark")[1], "1" + MarkEntry(LastReadingTitle(), site, "", "2"));
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(Marks, LastReadingAndPositionFilesFromTheCatalogue) {
    // Missing files: nothing at all.
    program->N17Click();
    EXPECT_TRUE(f1().window.visible);
    EXPECT_FALSE(f2().window.visible);

    // A first line that is no number: the message after the lists were
    // loaded, and no window hidden or shown.
    LastReadingFiles({"five", G("多玩")});
    program->N17Click();
    EXPECT_EQ(desktop.messages, StringList{"'five' " + G("不是有效的整数值")});
    EXPECT_EQ(f2().ListBox1.Count(), 7);
    EXPECT_TRUE(f1().window.visible);
    EXPECT_FALSE(f2().window.visible);
    LastReadingFiles({"1"});
    program->N17Click();
    EXPECT_EQ(desktop.messages.back(), G("列表索引越界 (1)"));
    EXPECT_TRUE(f1().window.visible);

    // A position file set without its ".set" file.
    const std::string file = paths.setDir + "p.Mark";
    SaveList(file, {"t0", "t1", "t2"});
    SaveList(file + ".list", {"v0", "v1", "v2"});
    desktop.fileAnswers = {file};
    program->N12Click();
    EXPECT_EQ(desktop.messages.size(), 3u);
    EXPECT_TRUE(f1().window.visible);
    SaveList(file + ".set", {"2", site});

    // A failure in showing the chapter: 上次阅读 leaves the catalogue hidden,
    // 打开。。。 shows it again; the reader is shown either way.
    f2().setTextZoom = [](int) { throw std::runtime_error("no browser"); };
    f2().prefs.ZoomLevel = -1;
    LastReadingFiles({"1", site});
    program->N17Click();
    EXPECT_FALSE(f1().window.visible);
    EXPECT_TRUE(f2().window.visible);
    f2().FormClose();
    desktop.fileAnswers = {file};
    f2().prefs.ZoomLevel = -1;
    program->N12Click();
    EXPECT_TRUE(f1().window.visible);
    EXPECT_TRUE(f2().window.visible);
}

// Following the watch list against the demo sites: what a check reports as
// books grow, shrink or cannot be had, and what the windows' models show.
#include <gtest/gtest.h>

#include "catalogue/search_fixture.h"
#include "catalogue/watch_check.h"
#include "net/host_gate.h"
#include "text/encoding.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

class WatchCheck : public DemoProgramTest {
  protected:
    void SetUp() override {
        DemoProgramTest::SetUp();
        PoliteSettings quick;
        quick.backoffMs = 10;
        SetPoliteSettings(quick);
        // One book of every site, as the search panel keeps them.
        for (demo::Site site : {demo::Site::Duowan, demo::Site::Feiku, demo::Site::S520, demo::Site::Readnovel,
                                demo::Site::Xs8}) {
            const demo::Book b = content().BookAt(site, 0, 3);
            books.push_back(b);
            const std::string key = site == demo::Site::Duowan ? b.key : content().SearchKey(b);
            entries.push_back({G(("《" + b.title + "》").c_str()), key});
        }
    }
    void TearDown() override { SetPoliteSettings(PoliteSettings()); }
    std::vector<WatchResult> Check(int only = -1) {
        return CheckWatchList(entries, only, paths.setDir, sites().hosts(), nullptr);
    }
    void SaveWatchListFiles() {
        StringList names, keys;
        for (const auto& e : entries) {
            names.push_back(e.name);
            keys.push_back(e.key);
        }
        SaveList(paths.setDir + "lianzai.sname", names);
        SaveList(paths.setDir + "lianzai.surl", keys);
    }
    std::vector<demo::Book> books;
    std::vector<WatchEntry> entries;
};

}  // namespace

TEST_F(WatchCheck, FirstRecordsThenReportsAddedChaptersOnce) {
    for (const WatchResult& r : Check()) {
        SCOPED_TRACE(r.key);
        EXPECT_EQ(r.outcome, WatchOutcome::Recorded) << r.error;
        EXPECT_EQ(r.after, books[0].chapterCount);
        EXPECT_TRUE(r.added.empty());
    }
    const int n = books[0].chapterCount;
    // 多玩's book and 小说阅读网's (whose list starts with the book itself) grow.
    content().SetChapterCount(demo::Site::Duowan, books[0].key, n + 3);
    content().SetChapterCount(demo::Site::Readnovel, books[3].key, n + 1);
    std::vector<WatchResult> second = Check();
    ASSERT_EQ(second.size(), 5u);
    EXPECT_EQ(second[0].outcome, WatchOutcome::New);
    ASSERT_EQ(second[0].added.size(), 3u);
    const demo::Book grown = *content().BookByKey(demo::Site::Duowan, books[0].key);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(second[0].added[static_cast<size_t>(i)].first, n + 1 + i);
        EXPECT_EQ(second[0].added[static_cast<size_t>(i)].second,
                  G(content().ChapterOf(grown, n + 1 + i, false).title.c_str()));
    }
    EXPECT_EQ(second[0].unseen, 3);
    EXPECT_EQ(second[3].outcome, WatchOutcome::New);
    ASSERT_EQ(second[3].added.size(), 1u);
    EXPECT_EQ(second[3].added[0].first, n + 1);
    for (int i : {1, 2, 4}) EXPECT_EQ(second[static_cast<size_t>(i)].outcome, WatchOutcome::Unchanged);
    // Reported once: the next check has nothing new, the reader still has them to read.
    const std::vector<WatchResult> third = Check();
    EXPECT_EQ(third[0].outcome, WatchOutcome::Unchanged);
    EXPECT_EQ(third[0].unseen, 3);
}

TEST_F(WatchCheck, AShortenedListIsReportedAsSuchNotAsNew) {
    Check();
    const int n = books[1].chapterCount;
    content().SetChapterCount(demo::Site::Feiku, books[1].key, n - 2);
    const std::vector<WatchResult> r = Check(1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].entry, 1);
    EXPECT_EQ(r[0].outcome, WatchOutcome::Shortened);
    EXPECT_EQ(r[0].before, n);
    EXPECT_EQ(r[0].after, n - 2);
    EXPECT_TRUE(r[0].added.empty());
    // Grown back: those chapters are new again, once.
    content().SetChapterCount(demo::Site::Feiku, books[1].key, n);
    const std::vector<WatchResult> back = Check(1);
    EXPECT_EQ(back[0].outcome, WatchOutcome::New);
    EXPECT_EQ(back[0].added.size(), 2u);
}

TEST_F(WatchCheck, ARenamedLastChapterIsReportedAsRenamed) {
    ChapterList list;
    for (int i = 1; i <= 5; ++i) {
        list.titles.push_back("c" + std::to_string(i));
        list.urls.push_back("http://x/" + std::to_string(i));
    }
    WatchBookState state;
    EXPECT_EQ(CompareChapterList(list, state, false).outcome, WatchOutcome::Recorded);
    list.titles[4] = "c5 (revised)";
    list.titles.push_back("c6");
    list.urls.push_back("http://x/6");
    WatchResult r = CompareChapterList(list, state, true);
    EXPECT_EQ(r.outcome, WatchOutcome::Renamed);
    EXPECT_EQ(r.oldTitle, "c5");
    EXPECT_EQ(r.newTitle, "c5 (revised)");
    ASSERT_EQ(r.added.size(), 1u);
    EXPECT_EQ(r.added[0].first, 6);
    // A list whose addresses all changed: renamed, nothing taken for new.
    for (auto& u : list.urls) u += "?moved";
    list.titles.push_back("c7");
    list.urls.push_back("http://x/7?moved");
    r = CompareChapterList(list, state, true);
    EXPECT_EQ(r.outcome, WatchOutcome::Renamed);
    EXPECT_TRUE(r.added.empty());
    EXPECT_EQ(state.count, 7);
}

TEST_F(WatchCheck, ASiteDownFailsItsBookOnlyAndKeepsItsRecord) {
    Check();
    const std::string before = ReadFileBytes(paths.setDir + kWatchStateFile);
    Fail("read.xs520", demo::FaultKind::Status, 500);
    content().SetChapterCount(demo::Site::Xs8, books[4].key, books[4].chapterCount + 1);
    const std::vector<WatchResult> r = Check();
    EXPECT_EQ(r[2].outcome, WatchOutcome::Failed);
    EXPECT_NE(r[2].error.find("500"), std::string::npos) << r[2].error;
    EXPECT_EQ(r[4].outcome, WatchOutcome::New);
    for (int i : {0, 1, 3}) EXPECT_EQ(r[static_cast<size_t>(i)].outcome, WatchOutcome::Unchanged);
    // 小说520's line of the state is as it was.
    const WatchState state = LoadWatchState(paths.setDir + kWatchStateFile);
    EXPECT_EQ(state.at(entries[2].key).count, books[2].chapterCount);
    EXPECT_NE(before, ReadFileBytes(paths.setDir + kWatchStateFile));
}

TEST_F(WatchCheck, TheWindowsShowTheNewsAndOpenAtTheFirstNewChapter) {
    SaveWatchListFiles();
    Start();
    f1().StartWatchCheck();
    ASSERT_TRUE(desktop.PumpUntil([&] { return f1().WatchChecksDone == 1; }));
    EXPECT_TRUE(f1().WatchNews.empty());
    const int n = books[0].chapterCount;
    content().SetChapterCount(demo::Site::Duowan, books[0].key, n + 3);
    f1().StartWatchCheck();
    ASSERT_TRUE(desktop.PumpUntil([&] { return f1().WatchChecksDone == 2; }));
    ASSERT_EQ(f1().WatchNews.size(), 1u);
    EXPECT_EQ(GbkToUtf8(f1().WatchNews[0]), "《" + books[0].title + "》更新了 3 章");

    // The watch list shows the count beside the entry, and only there.
    f1().N14Click();
    ASSERT_TRUE(f1().ListBox2.decoration);
    EXPECT_EQ(GbkToUtf8(f1().ListBox2.decoration(0)), "  （新 3 章）");
    EXPECT_EQ(f1().ListBox2.decoration(1), "");
    EXPECT_EQ(f1().ListBox2.items[0], entries[0].name);

    // Opened, the book starts at its first new chapter; the count is gone.
    f1().ListBox2.Select(0);
    f1().PanelOpenClick();
    ASSERT_TRUE(WaitForDownload());
    ASSERT_TRUE(desktop.PumpUntil([&] { return f2().ListBox1.Count() == n + 3; }));
    EXPECT_EQ(f2().ListBox1.itemIndex, n);
    EXPECT_EQ(f2().ChapterIndex, std::to_string(n));
    EXPECT_EQ(f1().ListBox2.decoration(0), "");
    EXPECT_EQ(LoadWatchState(paths.setDir + kWatchStateFile).at(entries[0].key).seen, n + 3);
}

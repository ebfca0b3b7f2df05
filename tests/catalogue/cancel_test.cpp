// Cancel at many moments of a running download: from that moment nothing
// more changes, and the lists, files and windows end as the cancel says.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "catalogue/worker_harness.h"

using namespace talvenor;
using talvenor::demo::FaultKind;

namespace {

struct Snapshot {
    StringList books, keys, chapters, urls;
    int position;
    bool progressVisible, catalogueVisible, readerVisible;
    bool operator==(const Snapshot& o) const {
        return books == o.books && keys == o.keys && chapters == o.chapters && urls == o.urls &&
               position == o.position && progressVisible == o.progressVisible &&
               catalogueVisible == o.catalogueVisible && readerVisible == o.readerVisible;
    }
};

class Cancel : public ::testing::Test, private LongReadTimeOuts, public WorkerHarness {
  protected:
    Cancel() : WorkerHarness(Options()) {}
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.booksPerCategory = 200;  // ten list pages a category
        o.chaptersPerBook = 3000;
        return o;
    }
    Snapshot Take() {
        return {f1().ListBox2.items,    f1().BookURLList.items,     f2().ListBox1.items,
                f2().PageUrlList.items, f4().ProgressBar1.position, f4().window.visible,
                f1().window.visible,    f2().window.visible};
    }
    // The worker ends, and neither its end nor anything it handed over
    // before it ended changes what the cancel left.
    void ExpectQuietAfterCancel(const std::shared_ptr<TDownloadBar>& worker) {
        Snapshot after = Take();
        EXPECT_TRUE(desktop.PumpUntil([&] { return worker->Finished(); }, std::chrono::seconds(60)));
        desktop.PumpPending();
        EXPECT_TRUE(Take() == after);
    }
    std::string CategoryFile() {
        return SiteFilePath(paths.appDir, G("多玩"), f1().ListBox1.items[1] + ".ml");
    }
};

}  // namespace

TEST_F(Cancel, BookListAtManyMoments) {
    f1().N2Click(f1().N2);  // categories of 多玩, stored
    // Page 6 is not answered until the test lets it go, so that one cancel
    // lands in the middle of a fetch that only the cancel can end.
    Fault("duowan.localhost", "c1_6.html", FaultKind::Hold);
    for (int pages : {0, 1, 2, 4, 6}) {
        SCOPED_TRACE("cancel after " + std::to_string(pages) + " pages");
        sites.ClearRequestLog();
        desktop.messages.clear();
        f1().ListBox1.Select(1);
        f1().ListBox1Click();
        desktop.answers = {true};
        f1().Panel3Click();
        auto worker = program->CurrentWorker;
        ASSERT_TRUE(worker);
        ASSERT_TRUE(desktop.PumpUntil([&] { return Requests("c1_") >= pages; }, std::chrono::seconds(60)));
        if (pages == 6) {
            ASSERT_TRUE(desktop.PumpUntil([&] { return sites.Held() > 0; }, std::chrono::seconds(60)));
        }
        {
            // A cancel that waited for the held page would wait until the
            // bound lets it go.
            HoldBound bound(sites);
            f4().Button1Click();
            EXPECT_FALSE(bound.Expired()) << "the cancel waited for the page under way";
        }
        EXPECT_EQ(desktop.messages, StringList{G("更新已取消，需要重新装载数据！")});
        EXPECT_FALSE(f4().window.visible);
        EXPECT_TRUE(f1().window.visible);
        EXPECT_EQ(program->TrayWindow.load(), kTrayCatalogue);
        // The site was reloaded from the store: its first category, whose
        // book file does not exist, shows an empty list.
        EXPECT_EQ(f1().ListBox1.itemIndex, 0);
        EXPECT_TRUE(f1().ListBox2.Empty());
        EXPECT_FALSE(FileExists(CategoryFile()));
        ExpectQuietAfterCancel(worker);
        EXPECT_FALSE(FileExists(CategoryFile()));
        sites.ReleaseHeld();
    }
}

TEST_F(Cancel, ChapterListMidFetch) {
    demo::Book book = content().BookAt(demo::Site::Feiku, 0, 0);
    Fault("feiku.localhost", "/List.shtm", FaultKind::Trickle, 100);
    f1().CurrentSite = G("飞库");
    f2().LoadBook(book.key, ::Gbk(book.title));
    auto worker = program->CurrentWorker;
    // Part of the page has arrived (two of its 64-byte pieces).
    ASSERT_TRUE(desktop.PumpUntil([&] { return sites.TrickledBytes() >= 128; }, std::chrono::seconds(60)));
    ASSERT_FALSE(worker->Finished());
    f2().ListBox1.Add("stale");
    f4().Button1Click();
    EXPECT_TRUE(f2().ListBox1.Empty());
    EXPECT_TRUE(f2().PageUrlList.Empty());
    EXPECT_FALSE(f2().window.visible);
    EXPECT_TRUE(f1().window.visible);
    EXPECT_FALSE(f4().window.visible);
    EXPECT_TRUE(desktop.messages.empty());
    ExpectQuietAfterCancel(worker);
}

TEST_F(Cancel, CompletionStopsTheWorkerAndA520BookListCancelReloadsNothing) {
    // A worker whose site has no book list completes at once.
    f1().CurrentSite = G("小说520");
    f1().ListBox1.Assign({"x"});
    f1().fenleiURLList.Assign({"u"});
    f1().ListBox1.Select(0);
    desktop.answers = {true};
    f1().Panel3Click();
    auto worker = program->CurrentWorker;
    ASSERT_TRUE(WaitForDownload());
    EXPECT_TRUE(worker->Stopped());
    EXPECT_TRUE(f1().window.visible);

    // Cancelled before it could finish: nothing reloaded for 小说520.
    f1().ListBox2.Assign({"a"});
    desktop.answers = {true};
    f1().Panel3Click();
    f4().Button1Click();
    EXPECT_TRUE(f1().ListBox2.Empty());
    EXPECT_EQ(f1().ListBox1.items, StringList{"x"});
    EXPECT_EQ(desktop.messages.back(), G("更新已取消，需要重新装载数据！"));
    ExpectQuietAfterCancel(program->CurrentWorker);
}

TEST_F(Cancel, ClosedToTheTrayTheDownloadGoesOn) {
    f1().N2Click(f1().N2);
    f1().ListBox1.Select(1);
    desktop.answers = {true};
    f1().Panel3Click();
    program->TrayWindow = kTrayProgress;  // the close box is a system command
    f4().Close();
    EXPECT_TRUE(program->trayIconShown);
    EXPECT_FALSE(f1().window.visible);
    // The download finishes: the catalogue comes back, the icon (owned by
    // the catalogue window) stays until it is clicked.
    ASSERT_TRUE(
        desktop.PumpUntil([&] { return program->CurrentWorker->Stopped(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(f1().window.visible);
    EXPECT_TRUE(program->trayIconShown);
    EXPECT_EQ(f1().ListBox2.Count(), 200);
    EXPECT_TRUE(FileExists(CategoryFile()));
}

TEST_F(Cancel, ChapterListFailureHidesTheProgramInTheTray) {
    Fault("feiku.localhost", "/List.shtm", FaultKind::Status, 500);
    demo::Book book = content().BookAt(demo::Site::Feiku, 0, 0);
    f1().CurrentSite = G("飞库");
    f2().LoadBook(book.key, ::Gbk(book.title));
    ASSERT_TRUE(
        desktop.PumpUntil([&] { return program->CurrentWorker->Stopped(); }, std::chrono::seconds(60)));
    EXPECT_FALSE(f1().window.visible);
    EXPECT_FALSE(f2().window.visible);
    EXPECT_FALSE(f4().window.visible);
    EXPECT_TRUE(program->trayIconShown);
    EXPECT_EQ(program->TrayWindow.load(), kTrayProgress);
}

TEST_F(Cancel, ReadnovelStopsStoringIntroductionsAtOnce) {
    f1().N8Click(f1().N8);
    const std::string introDir = paths.seeDir + SafeFileName(G("小说阅读网"));
    auto introCount = [&] {
        if (!DirExists(introDir)) return 0;
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(introDir)) n += e.is_regular_file();
        return n;
    };
    // Page 6 is held, so that one cancel lands in the middle of its fetch.
    Fault("readnovel.localhost", "/6.html", FaultKind::Hold);
    for (int pages : {1, 3, 6}) {
        SCOPED_TRACE("cancel after " + std::to_string(pages) + " pages");
        std::filesystem::remove_all(introDir);
        sites.ClearRequestLog();
        f1().ListBox1.Select(2);
        f1().ListBox1Click();
        desktop.answers = {true};
        f1().Panel3Click();
        auto worker = program->CurrentWorker;
        ASSERT_TRUE(
            desktop.PumpUntil([&] { return Requests("/ch/all/") >= pages; }, std::chrono::seconds(60)));
        if (pages == 6) {
            ASSERT_TRUE(desktop.PumpUntil([&] { return sites.Held() > 0; }, std::chrono::seconds(60)));
        }
        f4().Button1Click();
        const int atCancel = introCount();
        ExpectQuietAfterCancel(worker);
        EXPECT_EQ(introCount(), atCancel);
        sites.ReleaseHeld();
        EXPECT_FALSE(FileExists(SiteFilePath(paths.appDir, G("小说阅读网"), f1().ListBox1.items[2] + ".ml")));
    }
}

TEST_F(Cancel, ACompletionThatStopsItsWorkerEndsBeforeTheWorkerDoes) {
    // The reader's completion stops the worker that runs it.  The worker must
    // not go on (and free what the completion runs in) before it returns.
    demo::Book book = content().BookAt(demo::Site::Feiku, 0, 0);
    f1().CurrentSite = G("飞库");
    MakeDirs(paths.tmpDir);
    f4().Show();
    std::shared_ptr<TDownloadBar> worker;
    bool ran = false, finishedInside = false;
    worker = program->StartWorker(
        std::make_shared<HttpClient>(HttpSettings::RunTime()), &f2().ListBox1, &f2().PageUrlList,
        ChapterListModeOf(G("飞库")), &f4().ProgressBar1, book.key, "x", paths.appDir, &f2().Memo1, [&] {
            ran = true;
            program->StopCurrentWorker();
            // The worker's thread must still be waiting for this completion:
            // the stop may not let it run to its end meanwhile.  (Where it
            // does, the yield gives it the processor to get there.)
            for (int i = 0; i < 1000 && !worker->Finished(); ++i) std::this_thread::yield();
            finishedInside = worker->Finished();
            f2().ListBox1.Add("after the stop");  // the completion goes on with its own work
        });
    ASSERT_TRUE(desktop.PumpUntil([&] { return worker->Finished(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(finishedInside);
    EXPECT_EQ(f2().ListBox1.items.back(), "after the stop");
}

// A download keeps the site hosts it started with, whatever the main thread
// sets meanwhile.
#include <gtest/gtest.h>

#include "catalogue/worker_harness.h"
#include "support/hosts_guard.h"

using namespace talvenor;
using talvenor::demo::FaultKind;

namespace {

class WorkerHosts : public ::testing::Test, public WorkerHarness {};

}  // namespace

TEST_F(WorkerHosts, AChapterListKeepsTheHostsItStartedWith) {
    const demo::Book book = content().BookAt(demo::Site::Feiku, 0, 0);
    const SiteHosts started = Hosts();
    // The list page is held until the hosts have changed.
    Fault("feiku.localhost", "/List.shtm", FaultKind::Hold);
    f1().CurrentSite = Label(Site::Feiku);
    program->TrayWindow = kTrayProgress;
    f4().Show();
    auto worker = program->StartWorker(std::make_shared<HttpClient>(HttpSettings::RunTime()), &f2().ListBox1,
                                       &f2().PageUrlList, ChapterListModeOf(Label(Site::Feiku)),
                                       &f4().ProgressBar1, book.key, ::Gbk(book.title), paths.appDir,
                                       &f2().Memo1, [this] { f2().ChapterListReady(); });
    // The worker hands its first steps to this thread.
    ASSERT_TRUE(desktop.PumpUntil([&] { return sites.Held() == 1; }, std::chrono::seconds(60)));

    HostsGuard restore;
    SiteHosts moved = started;
    moved.feiku = "http://moved.invalid";
    SetHosts(moved);
    sites.ReleaseHeld();
    ASSERT_TRUE(desktop.PumpUntil([&] { return worker->Stopped(); }, std::chrono::seconds(60)));

    ASSERT_EQ(program->TrayWindow, kTrayReader);
    ASSERT_FALSE(f2().PageUrlList.Empty());
    for (const auto& url : f2().PageUrlList.items) EXPECT_EQ(url.rfind(started.feiku + "/", 0), 0u) << url;
}

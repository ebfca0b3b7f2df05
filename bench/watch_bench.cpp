// watch check of 50 books spread over the five demo sites whose answers come
// 50 ms late, against the slowest site's share of them checked alone: the
// sites are checked in parallel, so the whole should take little longer
// than its slowest part.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "program_heap.h"
#include "catalogue/watch_check.h"
#include "demo_sites.h"
#include "net/site_hosts.h"
#include "test_home.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

constexpr int kBooksPerSite = 10;
constexpr int kLateMs = 50;

struct Setup {
    demo::DemoSites sites;
    TestHome home;
    std::vector<WatchEntry> all;
    std::map<demo::Site, std::vector<WatchEntry>> bySite;

    Setup() : sites(Options()) {
        if (!sites.Start()) throw std::runtime_error("demo sites");
        SetHosts(sites.hosts());
        demo::Fault late;
        late.kind = demo::FaultKind::Delay;
        late.value = kLateMs;
        sites.AddFault(late);
        for (demo::Site site : {demo::Site::Duowan, demo::Site::Readnovel, demo::Site::Xs8, demo::Site::Feiku,
                                demo::Site::S520})
            for (int i = 0; i < kBooksPerSite; ++i) {
                const demo::Book b = sites.content().BookAt(site, 0, i);
                WatchEntry e{"book", site == demo::Site::Duowan ? b.key : sites.content().SearchKey(b)};
                all.push_back(e);
                bySite[site].push_back(e);
            }
    }
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.port = 0;
        o.categories = 2;
        o.booksPerCategory = 20;
        o.chaptersPerBook = 200;
        return o;
    }
    std::string SetDir(const std::string& name) {
        const std::string dir = home.dir() + name + "/";
        std::filesystem::create_directories(dir);
        return dir;
    }
};

Setup& TheSetup() {
    static Setup* s = new Setup();
    return *s;
}

double Seconds(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WatchCheck50(benchmark::State& state) {
    Setup& s = TheSetup();
    const std::string dir = s.SetDir("all");
    for (auto _ : state) {
        std::vector<WatchResult> r;
        state.SetIterationTime(
            Seconds([&] { r = CheckWatchList(s.all, -1, dir, s.sites.hosts(), nullptr); }));
        for (const auto& x : r)
            if (x.outcome == WatchOutcome::Failed) state.SkipWithError(("failed: " + x.error).c_str());
    }
}

// Each site's ten books alone; the time of the slowest.
void BM_WatchCheckSlowestSiteAlone(benchmark::State& state) {
    Setup& s = TheSetup();
    for (auto _ : state) {
        double slowest = 0;
        for (auto& [site, entries] : s.bySite) {
            const std::string dir = s.SetDir("site" + std::to_string(static_cast<int>(site)));
            slowest = std::max(slowest, Seconds([&] { CheckWatchList(entries, -1, dir, s.sites.hosts(), nullptr); }));
        }
        state.SetIterationTime(slowest);
    }
}

}  // namespace

BENCHMARK(BM_WatchCheck50)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WatchCheckSlowestSiteAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

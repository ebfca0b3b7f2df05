// An incremental book-list update of a long category against a fresh
// download of the whole category, in one run against the demo sites on
// loopback: 50 000 books stored and 50 000 new ones on top of them, against
// all 100 000 fetched into an empty list.  The update fetches half the pages
// of the fresh download; what it does with the stored list must not make it
// the slower of the two.
#include <benchmark/benchmark.h>

#include "program_heap.h"
#include "catalogue/worker_harness.h"

using namespace talvenor;

namespace {

constexpr int kStored = 50000;
constexpr int kNew = 50000;

struct Setup {
    WorkerHarness harness{Options()};
    std::string url;
    StringList titles, keys;  // the stored list: the category before the new books came

    Setup() {
        url = harness.content().CategoryAt(demo::Site::Duowan, 0).url;
        harness.RunBookList(Site::Duowan, url, "bench");
        titles = harness.f1().ListBox2.items;
        keys = harness.f1().BookURLList.items;
        harness.sites.AddBooks(demo::Site::Duowan, 0, kNew);
    }
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.port = 0;
        o.categories = 1;
        o.booksPerCategory = kStored;
        o.pageSize = 20;
        return o;
    }
};

Setup& Bench() {
    static Setup* s = new Setup;
    return *s;
}

void Check(benchmark::State& state, WorkerHarness& h) {
    if (h.f1().ListBox2.Count() != kStored + kNew || h.f1().LastBookListEnd != BookListEnd::Complete)
        state.SkipWithError("the update did not bring every book");
}

void BM_BookListIncremental50kOn50k(benchmark::State& state) {
    Setup& s = Bench();
    WorkerHarness& h = s.harness;
    for (auto _ : state) {
        state.PauseTiming();
        h.f1().ListBox2.Assign(s.titles);
        h.f1().BookURLList.Assign(s.keys);
        state.ResumeTiming();
        h.RunBookList(Site::Duowan, s.url, "bench");
        Check(state, h);
    }
}

void BM_BookListFresh100k(benchmark::State& state) {
    Setup& s = Bench();
    WorkerHarness& h = s.harness;
    for (auto _ : state) {
        state.PauseTiming();
        h.ClearBooks();
        state.ResumeTiming();
        h.RunBookList(Site::Duowan, s.url, "bench");
        Check(state, h);
    }
}

}  // namespace

BENCHMARK(BM_BookListFresh100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_BookListIncremental50kOn50k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

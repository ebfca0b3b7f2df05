// The download worker and the export against a plain sequential download of
// the same pages with the same client, all in one run against the demo
// sites on loopback.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "program_heap.h"
#include "catalogue/worker_harness.h"
#include "reader/reader_form.h"

using namespace talvenor;

namespace {

constexpr int kListPages = 200;
constexpr int kPageSize = 20;

demo::DemoOptions Options() {
    demo::DemoOptions o;
    o.port = 0;
    o.categories = 2;
    o.booksPerCategory = kListPages * kPageSize;
    o.pageSize = kPageSize;
    o.chaptersPerBook = 10000;
    return o;
}

WorkerHarness& Harness() {
    static WorkerHarness* h = new WorkerHarness(Options());
    return *h;
}

// 多玩 category 1 ("c1_1.html"), fetched from scratch: 200 list pages.
void BM_BookListUpdate(benchmark::State& state) {
    WorkerHarness& h = Harness();
    const std::string url = h.content().CategoryAt(demo::Site::Duowan, 0).url;
    for (auto _ : state) {
        h.f1().ListBox2.Clear();
        h.f1().BookURLList.Clear();
        if (!h.RunBookList(Site::Duowan, url, "bench")) state.SkipWithError("the update did not finish");
        if (h.f1().ListBox2.Count() != kListPages * kPageSize) state.SkipWithError("wrong number of books");
    }
}

void BM_BookListPlainDownload(benchmark::State& state) {
    WorkerHarness& h = Harness();
    const std::string url = h.content().CategoryAt(demo::Site::Duowan, 0).url;
    const std::string prefix = url.substr(0, url.find("1."));
    ClientPtr client = h.program->IdHTTP1.Get();
    for (auto _ : state) {
        size_t bytes = 0;
        for (int n = 1; n <= kListPages; ++n)
            bytes += client->Get(prefix + std::to_string(n) + ".html").size();
        benchmark::DoNotOptimize(bytes);
    }
}

// A 10 000-chapter list of 飞库.
void BM_ChapterList10000(benchmark::State& state) {
    WorkerHarness& h = Harness();
    demo::Book book = h.content().BookAt(demo::Site::Feiku, 0, 0);
    for (auto _ : state) {
        if (h.RunChapterList(Site::Feiku, book.key, "bench") != WorkerHarness::End::Ready)
            state.SkipWithError("the chapter list did not arrive");
        if (h.f2().ListBox1.Count() != 10000) state.SkipWithError("wrong number of chapters");
    }
}

// The list alone: the round ends when the 10 000 chapters are in the
// reader's lists, without opening the first chapter.
void BM_ChapterList10000Only(benchmark::State& state) {
    WorkerHarness& h = Harness();
    demo::Book book = h.content().BookAt(demo::Site::Feiku, 0, 0);
    for (auto _ : state) {
        if (h.RunChapterList(Site::Feiku, book.key, "bench", false) != WorkerHarness::End::Ready)
            state.SkipWithError("the chapter list did not arrive");
        if (h.f2().ListBox1.Count() != 10000) state.SkipWithError("wrong number of chapters");
    }
}

// The same page with a client of its own each time, as each list has.
void BM_ChapterListPlainDownloadNewClient(benchmark::State& state) {
    WorkerHarness& h = Harness();
    demo::Book book = h.content().BookAt(demo::Site::Feiku, 0, 0);
    const std::string url = Hosts().feiku + "/" + book.key + "/List.shtm";
    for (auto _ : state) {
        auto client = std::make_shared<HttpClient>(HttpSettings::RunTime());
        benchmark::DoNotOptimize(client->Get(url).size());
    }
}

void BM_ChapterListPlainDownload(benchmark::State& state) {
    WorkerHarness& h = Harness();
    demo::Book book = h.content().BookAt(demo::Site::Feiku, 0, 0);
    const std::string url = Hosts().feiku + "/" + book.key + "/List.shtm";
    auto client = std::make_shared<HttpClient>(HttpSettings::RunTime());
    for (auto _ : state) benchmark::DoNotOptimize(client->Get(url).size());
}

// Export of a 1000-chapter 飞库 book against fetching its chapter pages.
constexpr int kExportChapters = 1000;

void PrepareExportBook(WorkerHarness& h) {
    demo::Book book = h.content().BookAt(demo::Site::Feiku, 0, 1);
    if (h.f2().PageUrlList.Count() != kExportChapters + 1 &&
        h.RunChapterList(Site::Feiku, book.key, "bench") != WorkerHarness::End::Ready)
        return;
    h.f2().ListBox1.items.resize(kExportChapters + 1);
    h.f2().PageUrlList.items.resize(kExportChapters + 1);
    h.f1().CurrentSite = G("飞库");
    h.f2().TheMark.BookTitle = "bench";
}

// Each round exports into a folder of its own, and the folders go only
// after the last round: files deleted just before make the next files'
// creation slower on some file systems (ext4 without a journal looks past
// every inode freed in the last half minute), and that would be the
// benchmark's own doing, not the export's.
class ExportFolders {
  public:
    explicit ExportFolders(WorkerHarness& h) : h_(h) {}
    ~ExportFolders() {
        for (const std::string& f : made_) std::filesystem::remove_all(f);
    }
    // The next round's folder, named by the book's title.
    std::string Next() {
        h_.f2().TheMark.BookTitle = "bench" + std::to_string(made_.size());
        made_.push_back(h_.paths.downloadDir + "飞库/" + h_.f2().TheMark.BookTitle);
        std::filesystem::remove_all(made_.back());
        return made_.back();
    }

  private:
    WorkerHarness& h_;
    std::vector<std::string> made_;
};

void BM_ExportBook1000(benchmark::State& state) {
    WorkerHarness& h = Harness();
    PrepareExportBook(h);
    ExportFolders folders(h);
    for (auto _ : state) {
        // Nothing cached, as a first export.
        state.PauseTiming();
        const std::string folder = folders.Next();
        h.program->chapterCache.ClearAll();
        state.ResumeTiming();
        h.desktop.answers = {true};
        h.f2().ExportBook("F11");
        if (!FileExists(folder + "/" + std::to_string(kExportChapters) + ".htm"))
            state.SkipWithError("the export did not finish");
    }
}

// The same export again with every chapter page in the chapter cache.
void BM_ExportBook1000Cached(benchmark::State& state) {
    WorkerHarness& h = Harness();
    PrepareExportBook(h);
    ExportFolders folders(h);
    folders.Next();
    h.desktop.answers = {true};
    h.f2().ExportBook("F11");
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = folders.Next();
        h.sites.ClearRequestLog();
        state.ResumeTiming();
        h.desktop.answers = {true};
        h.f2().ExportBook("F11");
        if (!FileExists(folder + "/" + std::to_string(kExportChapters) + ".htm"))
            state.SkipWithError("the export did not finish");
        if (!h.sites.RequestLog().empty()) state.SkipWithError("the cached export downloaded pages");
    }
}

void BM_ExportPlainDownload(benchmark::State& state) {
    WorkerHarness& h = Harness();
    PrepareExportBook(h);
    ClientPtr client = h.program->IdHTTP1.Get();
    for (auto _ : state) {
        size_t bytes = 0;
        for (int i = 1; i <= kExportChapters; ++i) bytes += client->Get(h.f2().PageUrlList.items[i]).size();
        benchmark::DoNotOptimize(bytes);
    }
}

// A fault on every demo host for as long as it lives.
class AllHosts {
  public:
    AllHosts(WorkerHarness& h, demo::FaultKind kind, int value) : h_(h) {
        demo::Fault f;
        f.host = "*";
        f.kind = kind;
        f.value = value;
        id_ = h.sites.AddFault(f);
    }
    ~AllHosts() { h_.sites.RemoveFault(id_); }

  private:
    WorkerHarness& h_;
    int id_;
};

// The same pairs with every answer 2 ms late, as from a server nearby: what
// the worker adds to a download then shows in proportion.
class Latency : public AllHosts {
  public:
    explicit Latency(WorkerHarness& h) : AllHosts(h, demo::FaultKind::Delay, 2) {}
};

void BM_BookListUpdate_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_BookListUpdate(state);
}
void BM_BookListPlainDownload_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_BookListPlainDownload(state);
}
void BM_ChapterList10000_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ChapterList10000(state);
}
void BM_ChapterList10000Only_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ChapterList10000Only(state);
}
void BM_ChapterListPlainDownloadNewClient_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ChapterListPlainDownloadNewClient(state);
}
void BM_ChapterListPlainDownload_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ChapterListPlainDownload(state);
}
// The same list over a link of 10 MB/s (its 550 KB take some 55 ms): the
// chapters are cut while the page arrives, so the list should come about
// when the page has.
class Link : public AllHosts {
  public:
    explicit Link(WorkerHarness& h) : AllHosts(h, demo::FaultKind::Rate, 10) {}
};

void BM_ChapterList10000Only_10MBps(benchmark::State& state) {
    Link l(Harness());
    BM_ChapterList10000Only(state);
}
void BM_ChapterListPlainDownloadNewClient_10MBps(benchmark::State& state) {
    Link l(Harness());
    BM_ChapterListPlainDownloadNewClient(state);
}

void BM_ExportBook1000_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ExportBook1000(state);
}
void BM_ExportBook1000Cached_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ExportBook1000Cached(state);
}
void BM_ExportPlainDownload_2msLatency(benchmark::State& state) {
    Latency l(Harness());
    BM_ExportPlainDownload(state);
}

}  // namespace

BENCHMARK(BM_BookListPlainDownload_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BookListUpdate_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ChapterListPlainDownload_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterList10000_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterListPlainDownloadNewClient_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterList10000Only_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterListPlainDownloadNewClient_10MBps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterList10000Only_10MBps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportPlainDownload_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ExportBook1000_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ExportBook1000Cached_2msLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_BookListPlainDownload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BookListUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterListPlainDownload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterList10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterListPlainDownloadNewClient)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChapterList10000Only)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportPlainDownload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportBook1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// FindMarker and CutBetween walks over a 1 MB GBK page, against memmem
// walking the same page for the same markers.
#include <benchmark/benchmark.h>

#include <cstring>

#include "catalogue/sites.h"
#include "text/markers.h"

using namespace talvenor;

namespace {

// A list page of about 1 MB: a head, then entries like those of a book list.
const std::string& Page() {
    static const std::string page = [] {
        std::string p = "<html><head><title>" + G("全本小说列表") + "</title></head><body>" + std::string(200, ' ');
        int i = 0;
        while (p.size() < (1u << 20)) {
            p += "<li><a href=\"/book/" + std::to_string(i) + "/\" target=_blank>" + G("重生之都市修仙第") +
                 std::to_string(i) + G("部") + "</a><span>" + G("作者：某某 状态：连载中") + "</span></li>\n";
            ++i;
        }
        p += "</ul>" + G("下一页") + "</body></html>";
        return p;
    }();
    return page;
}

void BM_FindMarkerWalk(benchmark::State& state) {
    const std::string& page = Page();
    const std::string marker = "<li>";
    for (auto _ : state) {
        int count = 0;
        for (int p = FindMarker(marker, page, 100); p >= 0; p = FindMarker(marker, page, p + 1)) ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_MemmemWalk(benchmark::State& state) {
    const std::string& page = Page();
    const std::string marker = "<li>";
    for (auto _ : state) {
        int count = 0;
        const char* base = page.data();
        const char* end = base + page.size();
        for (const char* p = static_cast<const char*>(memmem(base + 100, end - base - 100, marker.data(), marker.size()));
             p; p = static_cast<const char*>(memmem(p + 1, end - p - 1, marker.data(), marker.size())))
            ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

// A rare Chinese marker near the end: one long search per walk.
void BM_FindMarkerRare(benchmark::State& state) {
    const std::string& page = Page();
    const std::string marker = G("下一页");
    for (auto _ : state) benchmark::DoNotOptimize(FindMarker(marker, page, 100));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_MemmemRare(benchmark::State& state) {
    const std::string& page = Page();
    const std::string marker = G("下一页");
    for (auto _ : state)
        benchmark::DoNotOptimize(memmem(page.data() + 100, page.size() - 100, marker.data(), marker.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

// The scrapers' usual walk: cut the link and the title of every entry.
void BM_CutBetweenWalk(benchmark::State& state) {
    const std::string& page = Page();
    for (auto _ : state) {
        int pos = 100, count = 0, last = -1;
        while (pos > last) {
            last = pos;
            std::string href = CutBetween(page, "<a href=\"", "\"", pos);
            std::string title = CutBetween(page, "_blank>", "</a>", pos);
            if (pos < 0) break;
            benchmark::DoNotOptimize(href);
            benchmark::DoNotOptimize(title);
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_MemmemCutWalk(benchmark::State& state) {
    const std::string& page = Page();
    auto find = [&](const char* m, size_t from) -> long {
        size_t len = strlen(m);
        if (from >= page.size()) return -1;
        const void* p = memmem(page.data() + from, page.size() - from, m, len);
        return p ? static_cast<const char*>(p) - page.data() : -1;
    };
    for (auto _ : state) {
        long pos = 100;
        int count = 0;
        for (;;) {
            long s = find("<a href=\"", pos);
            if (s < 0) break;
            long e = find("\"", s + 9);
            std::string href = page.substr(s + 9, e - s - 9);
            long s2 = find("_blank>", e);
            long e2 = find("</a>", s2 + 7);
            if (s2 < 0 || e2 < 0) break;
            std::string title = page.substr(s2 + 7, e2 - s2 - 7);
            benchmark::DoNotOptimize(href);
            benchmark::DoNotOptimize(title);
            pos = e2;
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

}  // namespace

BENCHMARK(BM_FindMarkerWalk);
BENCHMARK(BM_MemmemWalk);
BENCHMARK(BM_FindMarkerRare);
BENCHMARK(BM_MemmemRare);
BENCHMARK(BM_CutBetweenWalk);
BENCHMARK(BM_MemmemCutWalk);

// The rule engine against the hand-written walks it replaced (fuzz/oracle/),
// on the same pages in one run: a 1 MB book-list page, a 10 000-chapter list
// (GBK and UTF-8), a long chapter; and loading every built-in rule file.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "program_heap.h"
#include "catalogue/book_list_pages.h"
#include "catalogue/chapter_list_pages.h"
#include "catalogue/site_rules.h"
#include "catalogue/sites.h"
#include "oracle/walks_oracle.h"
#include "reader/chapter_pages.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

const std::string kHead = "<html><head><title>page</title></head><body>" + std::string(120, ' ');

// 飞库's book list in its layout, about 1 MB.
const std::string& BookListPage() {
    static const std::string page = [] {
        std::string p = kHead + "<div id=\"CrListText\">";
        for (int i = 0; p.size() < (1u << 20); ++i) {
            const std::string n = std::to_string(i);
            p += "<ul><li class=\"li1\">" + n + "</li><li class=\"li2\"><a target=_blank href=\"/files/1/" + n +
                 "/List.shtm\">[" + G("目录") + "]</a><a target=_blank href=\"/book/" + n + "/Index.html\">" +
                 G("重生之都市修仙") + n + "</a></li><li class=\"li3\"><a target=_blank href=\"/files/1/" + n +
                 "/9.shtm\">" + G("第九章 归来") + "</a></li><li class=\"li4\">2009-09-11</li><li class=\"li5\">"
                 "<a href=\"/Author/x\">" + G("某某") + "</a></li><li class=\"li6\">" + G("连载") +
                 "&nbsp;</li></ul>\r\n";
        }
        p += "</div>" + G("共 99999 条 , 当前") + " <font>1</font> <b>500</b></body></html>";
        return p;
    }();
    return page;
}

// 飞库's chapter list with 10 000 chapters.
const std::string& ChapterListPage() {
    static const std::string page = [] {
        std::string p = kHead + "<div id=\"feiku_chaplist\">";
        for (int i = 1; i <= 10000; ++i)
            p += "<li><a href=\"" + std::to_string(i) + ".shtm\">" + G("第") + std::to_string(i) + G("章 归来") +
                 "</a></li>\r\n";
        p += "<div id=\"feiku_e_n_d\"></div></body></html>";
        return p;
    }();
    return page;
}

// 多玩's chapter list with 10 000 chapters, as served (UTF-8).
const std::string& DuowanChapterListPage() {
    static const std::string page = [] {
        std::string p = kHead + "<div id=\"textlist\"><ul>";
        for (int i = 1; i <= 10000; ++i)
            p += "<li><a href=\"" + std::to_string(i) + ".html\">第" + std::to_string(i) + "章&nbsp;归来</a></li>\r\n";
        p += "</ul><!-- end textlist --></body></html>";
        return p;
    }();
    return page;
}

// 小说520's chapter page with a long text (some 300 KB).
const std::string& ChapterPage() {
    static const std::string page = [] {
        std::string p = kHead + "<div id=\"BookText\">";
        for (int i = 0; i < 4000; ++i) p += G("　　他抬头望去，城门外的雪下了一整夜，路上已经没有行人。<br><br>\r\n");
        p += "<SPAN></SPAN></div></body></html>";
        return p;
    }();
    return page;
}

void Bytes(benchmark::State& state, const std::string& page) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_WalkBookListEngine(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CutFeikuListPage(BookListPage(), 1));
    Bytes(state, BookListPage());
}
void BM_WalkBookListHand(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(oracle::CutFeikuListPage(BookListPage(), 1));
    Bytes(state, BookListPage());
}
void BM_WalkChapterListEngine(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FeikuChapterPage(ChapterListPage(), "http://f/1/"));
    Bytes(state, ChapterListPage());
}
void BM_WalkChapterListHand(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(oracle::FeikuChapterPage(ChapterListPage(), "http://f/1/"));
    Bytes(state, ChapterListPage());
}
// The same list walked while it arrives, in the 16 KB pieces a download
// hands over: what cutting on a growing page costs over the whole page.
void BM_WalkChapterListStreamed(benchmark::State& state) {
    const std::string& page = ChapterListPage();
    for (auto _ : state) {
        std::unique_ptr<ChapterListWalk> walk = FeikuChapterWalk("http://f/1/");
        walk->Reserve(page.size());
        for (size_t at = 0; at < page.size(); at += 16384)
            walk->Feed(page.data() + at, std::min<size_t>(16384, page.size() - at));
        benchmark::DoNotOptimize(walk->Finish(page));
    }
    Bytes(state, page);
}
// As the walk behind a fast download takes it: the first piece while the
// rest is on its way, then the rest at once, known to be the end.
void BM_WalkChapterListFirstPieceThenRest(benchmark::State& state) {
    const std::string& page = ChapterListPage();
    for (auto _ : state) {
        std::unique_ptr<ChapterListWalk> walk = FeikuChapterWalk("http://f/1/");
        walk->Reserve(page.size());
        walk->Feed(page.data(), 16384);
        walk->Feed(page.data() + 16384, page.size() - 16384, true);
        benchmark::DoNotOptimize(walk->Finish(page));
    }
    Bytes(state, page);
}
void BM_WalkDuowanChapterListEngine(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(DuowanChapterPage(DuowanChapterListPage()));
    Bytes(state, DuowanChapterListPage());
}
void BM_WalkDuowanChapterListHand(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(oracle::DuowanChapterPage(DuowanChapterListPage()));
    Bytes(state, DuowanChapterListPage());
}
void BM_WalkChapterTextEngine(benchmark::State& state) {
    ReaderPrefs prefs;
    for (auto _ : state) benchmark::DoNotOptimize(S520ChapterPage(ChapterPage(), prefs));
    Bytes(state, ChapterPage());
}
void BM_WalkChapterTextHand(benchmark::State& state) {
    ReaderPrefs prefs;
    for (auto _ : state) benchmark::DoNotOptimize(oracle::S520ChapterPage(ChapterPage(), prefs));
    Bytes(state, ChapterPage());
}

// Reading every built-in rule file, as a start does.
void BM_LoadRuleFiles(benchmark::State& state) {
    for (auto _ : state)
        for (const auto& [name, text] : rules::BuiltinRuleFiles()) benchmark::DoNotOptimize(rules::LoadRules(text, name));
}

}  // namespace

BENCHMARK(BM_WalkBookListEngine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkBookListHand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkChapterListEngine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkChapterListHand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkChapterListStreamed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkChapterListFirstPieceThenRest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkDuowanChapterListEngine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkDuowanChapterListHand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkChapterTextEngine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkChapterTextHand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadRuleFiles)->Unit(benchmark::kMicrosecond);

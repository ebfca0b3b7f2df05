// The rule engine against the hand-written walks it replaced (oracle/):
// every walk of the five sites' rule files must give the oracle's output
// byte for byte on any page.  Input: a walk letter ("A" ... "W", wrapping
// around), a byte of the walk's parameters, then the page as served.
#include <cstdlib>
#include <optional>
#include <string>

#include "catalogue/book_list_pages.h"
#include "catalogue/category_pages.h"
#include "catalogue/chapter_list_pages.h"
#include "catalogue/intro_pages.h"
#include "catalogue/search_pages.h"
#include "fuzz_support.h"
#include "oracle/walks_oracle.h"
#include "reader/chapter_pages.h"
#include "text/numbers.h"

using namespace talvenor;

namespace {

const std::string kBase = "http://www.readnovel.localhost:18630";

void Same(const CategoryPage& a, const CategoryPage& b) {
    FUZZ_CHECK(a.names == b.names);
    FUZZ_CHECK(a.urls == b.urls);
}
void Same(const std::vector<ListedBook>& a, const std::vector<ListedBook>& b) {
    FUZZ_CHECK(a.size() == b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        FUZZ_CHECK(a[i].title == b[i].title);
        FUZZ_CHECK(a[i].key == b[i].key);
        FUZZ_CHECK(a[i].intro == b[i].intro);
    }
}
void Same(const SearchPage& a, const SearchPage& b) {
    FUZZ_CHECK(a.titles == b.titles);
    FUZZ_CHECK(a.keys == b.keys);
    FUZZ_CHECK(a.end == b.end);
}
void Same(const ChapterBatch& a, const ChapterBatch& b) {
    FUZZ_CHECK(a.titles == b.titles);
    FUZZ_CHECK(a.urls == b.urls);
    FUZZ_CHECK(a.steps == b.steps);
    FUZZ_CHECK(a.setMax == b.setMax);
    FUZZ_CHECK(a.max == b.max);
    FUZZ_CHECK(a.selectFirst == b.selectFirst);
}

// Both throw, or neither does and the results agree.
template <typename A, typename B, typename Check>
void Both(A engine, B oracle, Check check) {
    bool e1 = false, e2 = false;
    decltype(engine()) r1{};
    decltype(oracle()) r2{};
    try {
        r1 = engine();
    } catch (const ConversionError&) {
        e1 = true;
    }
    try {
        r2 = oracle();
    } catch (const ConversionError&) {
        e2 = true;
    }
    FUZZ_CHECK(e1 == e2);
    if (!e1) check(r1, r2);
}

// Chapter text: the same content and the same count of pages without text.
template <typename A, typename B>
void SameText(A engine, B oracle) {
    const unsigned long before1 = ChaptersWithoutText(), before2 = oracle::ChaptersWithoutText();
    const auto r1 = engine();
    const auto r2 = oracle();
    FUZZ_CHECK(ChaptersWithoutText() - before1 == oracle::ChaptersWithoutText() - before2);
    if constexpr (std::is_same_v<decltype(r1), const ReadnovelChapter>) {
        FUZZ_CHECK(r1.content == r2.content);
        FUZZ_CHECK(r1.cut == r2.cut);
    } else {
        FUZZ_CHECK(r1 == r2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    // TALVENOR_DIFF_WALK=K holds every input to walk K (the long runs that
    // give each walk its own count of inputs).
    static const int fixed = [] {
        const char* k = std::getenv("TALVENOR_DIFF_WALK");
        return k ? std::atoi(k) % 23 : -1;
    }();
    const int chosen = static_cast<uint8_t>(in.Byte() - 'A') % 23;
    const int walk = fixed >= 0 ? fixed : chosen;
    const uint8_t param = in.Byte();
    const std::string page = in.Rest();
    const int n = 1 + (param & 7);
    const std::string known = (param & 8) ? std::string("<b>x</b>") : std::string();
    ReaderPrefs prefs;
    prefs.N25.checked = (param & 16) != 0;
    prefs.FilterWord = (param & 32) ? std::string("a") : std::string("</");
    const bool first = (param & 64) != 0;
    switch (walk) {
    case 0: Same(DuowanCategoryPage(page, kBase), oracle::DuowanCategoryPage(page, kBase)); break;
    case 1: Same(ReadnovelCategoryPage(page, kBase), oracle::ReadnovelCategoryPage(page, kBase)); break;
    case 2: Same(FeikuCategoryPage(page), oracle::FeikuCategoryPage(page)); break;
    case 3:
        Both([&] { return CutDuowanListPage(page, known, n, param >> 4); },
             [&] { return oracle::CutDuowanListPage(page, known, n, param >> 4); },
             [](const DuowanListPage& a, const DuowanListPage& b) {
                 Same(a.books, b.books);
                 FUZZ_CHECK(a.metKnown == b.metKnown);
                 FUZZ_CHECK(a.step == b.step);
             });
        break;
    case 4: {
        const int total = (param & 16) ? 0 : (param >> 5);
        const auto a = CutReadnovelListPage(page, known, n, total);
        const auto b = oracle::CutReadnovelListPage(page, known, n, total);
        Same(a.books, b.books);
        FUZZ_CHECK(a.metKnown == b.metKnown);
        FUZZ_CHECK(a.total == b.total);
        FUZZ_CHECK(a.step == b.step);
        break;
    }
    case 5: {
        const auto a = CutXs8ListPage(page, n), b = oracle::CutXs8ListPage(page, n);
        Same(a.books, b.books);
        FUZZ_CHECK(a.step == b.step);
        break;
    }
    case 6: {
        const auto a = CutFeikuListPage(page, n), b = oracle::CutFeikuListPage(page, n);
        Same(a.books, b.books);
        FUZZ_CHECK(a.count == b.count);
        FUZZ_CHECK(a.step == b.step);
        break;
    }
    case 7: Same(S520SearchPage(page), oracle::S520SearchPage(page)); break;
    case 8: Same(DuowanSearchPage(page, kBase), oracle::DuowanSearchPage(page, kBase)); break;
    case 9: Same(FeikuSearchPage(page), oracle::FeikuSearchPage(page)); break;
    case 10: Same(ReadnovelSearchPage(page, kBase), oracle::ReadnovelSearchPage(page, kBase)); break;
    case 11: Same(Xs8SearchPage(page), oracle::Xs8SearchPage(page)); break;
    case 12: FUZZ_CHECK(S520IntroPage(page) == oracle::S520IntroPage(page)); break;
    case 13: FUZZ_CHECK(DuowanIntroPage(page) == oracle::DuowanIntroPage(page)); break;
    case 14: FUZZ_CHECK(ReadnovelIntroPage(page) == oracle::ReadnovelIntroPage(page)); break;
    case 15: FUZZ_CHECK(Xs8IntroPage(page) == oracle::Xs8IntroPage(page)); break;
    case 16: FUZZ_CHECK(FeikuIntroPage(page) == oracle::FeikuIntroPage(page)); break;
    case 17: Same(DuowanChapterPage(page), oracle::DuowanChapterPage(page)); break;
    case 18: Same(ReadnovelChapterPage(page), oracle::ReadnovelChapterPage(page)); break;
    case 19:
        Same(Xs8ChapterPage(page, kBase), oracle::Xs8ChapterPage(page, kBase));
        Same(FeikuChapterPage(page, kBase + "/"), oracle::FeikuChapterPage(page, kBase + "/"));
        Same(S520ChapterPage(page, kBase + "/"), oracle::S520ChapterPage(page, kBase + "/"));
        break;
    case 20:
        SameText([&] { return ReadnovelChapterPage(page, first, prefs); },
                 [&] { return oracle::ReadnovelChapterPage(page, first, prefs); });
        SameText([&] { return DuowanChapterPage(page, prefs); },
                 [&] { return oracle::DuowanChapterPage(page, prefs); });
        break;
    case 21:
        SameText([&] { return Xs8ChapterPage(page, first, kBase, prefs); },
                 [&] { return oracle::Xs8ChapterPage(page, first, kBase, prefs); });
        break;
    default:
        SameText([&] { return FeikuChapterPage(page, kBase, prefs); },
                 [&] { return oracle::FeikuChapterPage(page, kBase, prefs); });
        SameText([&] { return S520ChapterPage(page, prefs); }, [&] { return oracle::S520ChapterPage(page, prefs); });
        break;
    }
    return 0;
}

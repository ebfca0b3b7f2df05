// One page of a category's book list.  Input: a site digit ("0" 多玩, "1"
// 小说阅读网, "2" 言情小说吧, "3" 飞库; any other byte wraps around), the
// page's number (byte % 8 + 1), the page count known so far (小说阅读网:
// byte % 8, 0 before page 1 was read), the length of the first stored title
// (byte % 32) and that title, then the page as served.
#include <string>
#include <vector>

#include "catalogue/book_list_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/numbers.h"

using namespace talvenor;

namespace {

bool NoTitle(const std::vector<ListedBook>& books, const std::string& known) {
    if (known.empty()) return true;
    for (const auto& b : books)
        if (b.title == known) return false;
    return true;
}

// A site that serves this page for every number: the second time round the
// walk must stop, whatever the page held.
void SamePageTwice(const std::vector<ListedBook>& books) {
    RepeatedPageStop stop;
    FUZZ_CHECK(!stop.Repeats(books));
    FUZZ_CHECK(stop.Repeats(books) == !books.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const int site = in.Choice(4);
    const int n = in.Byte() % 8 + 1;
    const int total = in.Byte() % 8;
    const std::string known = in.Take(in.Byte() % 32);
    const std::string page = in.Rest();

    switch (site) {
        case 0: {
            // As the walk does it: decoded, and with the demo's address in
            // front of every key.
            const std::string gbk = DecodeUtf8Page(page);
            DuowanListPage cut;
            try {
                cut = CutDuowanListPage(gbk, known, n + 1, SiteHosts::Demo().duowan.size() + 1);
            } catch (const ConversionError&) {
                return 0;  // the walk ends on this page, with what came before
            }
            FUZZ_CHECK(cut.books.size() <= fuzz::Count(gbk, "<li>"));
            FUZZ_CHECK(NoTitle(cut.books, known));
            if (cut.metKnown) FUZZ_CHECK(cut.step == PageStep::End);
            // Every title stood between its markers, never cut from the top.
            for (const auto& b : cut.books)
                FUZZ_CHECK(gbk.find("_blank>" + b.title + "</a>") != std::string::npos);
            SamePageTwice(cut.books);
            break;
        }
        case 1: {
            const ReadnovelListPage cut = CutReadnovelListPage(page, known, n, total);
            FUZZ_CHECK(cut.books.size() <= fuzz::Count(page, "novel/"));
            FUZZ_CHECK(NoTitle(cut.books, known));
            if (cut.metKnown) FUZZ_CHECK(cut.step == PageStep::End);
            // A count once read is kept for every later page.
            if (total > 0) FUZZ_CHECK(cut.total == total);
            if (cut.step == PageStep::Next) FUZZ_CHECK(n < cut.total);
            for (const auto& b : cut.books)
                FUZZ_CHECK(page.find("novel/" + b.key + ".html\" target") != std::string::npos);
            static const std::string open = G("《"), close = G("》");
            for (const auto& b : cut.books)
                FUZZ_CHECK(b.title.compare(0, open.size(), open) == 0 &&
                           b.title.size() >= open.size() + close.size() &&
                           b.title.compare(b.title.size() - close.size(), close.size(), close) == 0);
            SamePageTwice(cut.books);
            break;
        }
        case 2: {
            const Xs8ListPage cut = CutXs8ListPage(page, n);
            FUZZ_CHECK(cut.books.size() <= fuzz::Count(page, "<tr bgcolor"));
            // Rows found: go on; none: the end or a broken page, never
            // another fetch.
            FUZZ_CHECK((cut.step == PageStep::Next) == !cut.books.empty());
            if (n == 1) FUZZ_CHECK(cut.step != PageStep::End);
            for (const auto& b : cut.books)
                FUZZ_CHECK(page.find("<a href=\"/love/" + b.key + "/index") != std::string::npos);
            SamePageTwice(cut.books);
            break;
        }
        default: {
            const FeikuListPage cut = CutFeikuListPage(page, n);
            FUZZ_CHECK(cut.books.size() <= fuzz::Count(page, "<ul>"));
            // An unreadable count ends the walk; a count is never walked past.
            if (cut.count < 0) FUZZ_CHECK(cut.step == PageStep::Broken);
            if (cut.step == PageStep::Next) FUZZ_CHECK(n < cut.count);
            for (const auto& b : cut.books)
                FUZZ_CHECK(page.find("<a target=_blank href=\"/" + b.key + "/List.shtm") !=
                           std::string::npos);
            SamePageTwice(cut.books);
            break;
        }
    }
    return 0;
}

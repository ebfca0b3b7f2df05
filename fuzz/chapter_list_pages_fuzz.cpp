// Chapter-list pages.  Input: a mode digit ("0" 多玩, "1" 小说阅读网,
// "2" 言情小说吧, "3" 飞库, "4" 小说520; any other byte wraps around), then
// the page as served; or a mode letter ("a" ... "e") and the bytes a
// chapter list is made from.
//
// Every page is also walked as it would arrive from a download, in pieces
// cut at arbitrary places, and the batch must be that of the plain one-loop
// walk of the whole page (the hand-written walk of oracle/walks_oracle.cpp).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/chapter_list_pages.h"
#include "catalogue/list_model.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "made_pages.h"
#include "net/site_hosts.h"
#include "oracle/walks_oracle.h"

using namespace talvenor;

namespace {

const SiteHosts& Demo() {
    static const SiteHosts hosts = SiteHosts::Demo();
    return hosts;
}
const std::string& FeikuPrefix() {
    static const std::string prefix = Demo().feiku + "/files/2/7/";
    return prefix;
}
const std::string& S520Prefix() {
    static const std::string prefix = Demo().s520Chapters + "/html/2/7/";
    return prefix;
}

ChapterBatch Walk(int mode, const std::string& page) {
    switch (mode) {
        case 1:
            return DuowanChapterPage(page);
        case 2:
            return ReadnovelChapterPage(page);
        case 3:
            return Xs8ChapterPage(page, Demo().xs8);
        case 4:
            return FeikuChapterPage(page, FeikuPrefix());
        default:
            return S520ChapterPage(page, S520Prefix());
    }
}

ChapterBatch ReferenceWalk(int mode, const std::string& page) {
    switch (mode) {
        case 1:
            return oracle::DuowanChapterPage(page);
        case 2:
            return oracle::ReadnovelChapterPage(page);
        case 3:
            return oracle::Xs8ChapterPage(page, Demo().xs8);
        case 4:
            return oracle::FeikuChapterPage(page, FeikuPrefix());
        default:
            return oracle::S520ChapterPage(page, S520Prefix());
    }
}

std::unique_ptr<ChapterListWalk> PieceWalkOf(int mode) {
    switch (mode) {
        case 1:
            return DuowanChapterWalk();
        case 2:
            return ReadnovelChapterWalk();
        case 3:
            return Xs8ChapterWalk(Demo().xs8);
        case 4:
            return FeikuChapterWalk(FeikuPrefix());
        default:
            return S520ChapterWalk(S520Prefix());
    }
}

bool SameBatch(const ChapterBatch& a, const ChapterBatch& b) {
    return a.titles == b.titles && a.urls == b.urls && a.steps == b.steps && a.setMax == b.setMax &&
           a.max == b.max && a.selectFirst == b.selectFirst;
}

// The page in pieces of 1 to 64 bytes, now and then a long one, cut where a
// generator seeded by the page says: inside markers and characters alike.
// Half of the time the last piece is marked as the last.
ChapterBatch WalkInPieces(int mode, const std::string& page) {
    uint32_t x = 2166136261u;
    for (unsigned char c : page) x = (x ^ c) * 16777619u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    std::unique_ptr<ChapterListWalk> walk = PieceWalkOf(mode);
    for (size_t at = 0; at < page.size();) {
        const uint32_t r = next();
        const size_t n = std::min(page.size() - at, static_cast<size_t>(r % 8 == 0 ? r % 4096 + 1 : r % 64 + 1));
        // Now and then the last piece is fed as the last, as a download
        // that has ended hands it over.
        walk->Feed(page.data() + at, n, at + n == page.size() && r % 2 == 0);
        at += n;
    }
    return walk->Finish(page);
}

// The walk of the whole page and of its pieces are the plain walk's.
void CheckAgainstReference(int mode, const std::string& page, const ChapterBatch& whole) {
    const ChapterBatch expected = ReferenceWalk(mode, page);
    FUZZ_CHECK(SameBatch(whole, expected));
    FUZZ_CHECK(SameBatch(WalkInPieces(mode, page), expected));
}

// A chapter list in the site's layout, the chapters it holds, and more
// chapter links of the same layout that follow the list's end marker
// (none for 小说阅读网, whose list has no end but its last link).
struct Made {
    std::string page, after;
    std::vector<std::string> titles, urls;
};

Made Make(int mode, fuzz::Input& in) {
    Made m;
    auto links = [&](int most, std::vector<std::string>* titles, std::vector<std::string>* urls) {
        std::string out;
        for (int n = fuzz::TakeCount(in, most); n > 0; --n) {
            const fuzz::Word id = fuzz::TakeWord(in), title = fuzz::TakeWord(in);
            std::string url;
            switch (mode) {
                case 1:
                    url = "/book/1/" + id.gbk + ".html";  // as decoded
                    out += "<li><a href=\"/book/1/" + id.utf8 + ".html\" title=\"t\">" + title.utf8 +
                           "</a></li>";
                    break;
                case 2:
                    url = "/novel/1/" + id.gbk + ".html";
                    out += "<li><a href=\"" + url + "\">" + title.gbk + "</a></li>";
                    break;
                case 3:
                    url = Demo().xs8 + "/love/7/" + id.gbk + ".html";
                    out += G("<td>·") + "<a href=\"/love/7/" + id.gbk + ".html\">" + title.gbk + "</a></td>";
                    break;
                case 4:
                    url = FeikuPrefix() + id.gbk + ".shtm";
                    out += "<li><a href=\"" + id.gbk + ".shtm\">" + title.gbk + "</a></li>";
                    break;
                default:
                    url = S520Prefix() + id.gbk + ".shtml";
                    out += "<li><a href=\"" + id.gbk + ".shtml\">" + title.gbk + "</a></li>";
                    break;
            }
            if (titles) titles->push_back(title.gbk);
            if (urls) urls->push_back(url);
        }
        return out;
    };
    const std::string list = links(40, &m.titles, &m.urls);
    switch (mode) {
        case 1:
            m.page =
                fuzz::PageHead() + "<div id=\"textlist\"><ul>" + list + "</ul></div><!-- end textlist -->";
            m.after = "<ul>" + links(10, nullptr, nullptr) + "</ul>";
            break;
        case 2:
            m.page =
                fuzz::PageHead() + "<div id=\"mulu\"><ul>" + list + "</ul></div>" + G(" <!--书目录结束-->");
            break;
        case 3:
            m.page =
                fuzz::PageHead() + G("<p>[书籍简介]</p><table><tr>") + list + "</tr></table><!-- end -->";
            m.after = "<table><tr>" + links(10, nullptr, nullptr) + "</tr></table>";
            break;
        case 4:
            m.page = fuzz::PageHead() + "<div id=\"feiku_chaplist\"><ul>" + list +
                     "</ul><div id=\"feiku_e_n_d\"></div></div>";
            m.after = "<ul>" + links(10, nullptr, nullptr) + "</ul>";
            break;
        default:
            m.page = fuzz::PageHead() + "<ul>" + list + "</ul><div id=\"End\"></div>";
            m.after = "<ul>" + links(10, nullptr, nullptr) + "</ul>";
            break;
    }
    m.page += "</body>";
    return m;
}

// The progress bar takes the steps as they come and stays on its scale.
void CheckSteps(const ChapterBatch& batch) {
    ProgressModel bar;
    bar.position = 0;
    if (batch.setMax) bar.SetMax(batch.max);
    for (int d : batch.steps) {
        bar.StepBy(d);
        FUZZ_CHECK(bar.position >= bar.min && bar.position <= bar.max);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    bool made = false;
    const int mode = in.Site(5, &made) + 1;

    if (made) {
        const Made m = Make(mode, in);
        // Every chapter the list holds, in order, each title with its own URL.
        const ChapterBatch batch = Walk(mode, m.page);
        CheckAgainstReference(mode, m.page, batch);
        FUZZ_CHECK(batch.titles == m.titles);
        FUZZ_CHECK(batch.urls == m.urls);
        CheckSteps(batch);
        // Links behind the list's end marker belong to another part of the page.
        if (!m.after.empty()) {
            const ChapterBatch longer = Walk(mode, m.page + m.after);
            FUZZ_CHECK(longer.titles == batch.titles && longer.urls == batch.urls);
        }
        return 0;
    }

    const std::string page = in.Rest();
    const SiteHosts& hosts = Demo();
    ChapterBatch batch;
    std::string urlStart;
    std::string linkMarker;  // what every chapter link begins with
    switch (mode) {
        case 1:
            batch = DuowanChapterPage(page);
            linkMarker = "<li>";
            break;
        case 2:
            batch = ReadnovelChapterPage(page);
            linkMarker = "<li><a href=\"";
            break;
        case 3:
            batch = Xs8ChapterPage(page, hosts.xs8);
            urlStart = hosts.xs8 + "/love";
            linkMarker = G("·");
            break;
        case 4:
            batch = FeikuChapterPage(page, FeikuPrefix());
            urlStart = FeikuPrefix();
            linkMarker = "<li><a";
            break;
        default:
            batch = S520ChapterPage(page, S520Prefix());
            urlStart = S520Prefix();
            linkMarker = "<li>";
            break;
    }
    // Titles and URLs go to the reader's two lists, matched by index; only
    // 飞库 leaves a last URL without its title.
    if (mode == 4)
        FUZZ_CHECK(batch.urls.size() == batch.titles.size() || batch.urls.size() == batch.titles.size() + 1);
    else
        FUZZ_CHECK(batch.urls.size() == batch.titles.size());
    // No link is listed twice: a walk never goes back over the page.
    if (batch.setMax || mode != 2) FUZZ_CHECK(batch.urls.size() <= fuzz::Count(page, linkMarker));
    for (const std::string& url : batch.urls) FUZZ_CHECK(url.rfind(urlStart, 0) == 0);
    if (mode == 2 && batch.setMax == false) {
        FUZZ_CHECK(batch.titles.size() == 1 && batch.urls.size() == 1 && batch.urls[0] == "about:blank");
    }
    FUZZ_CHECK(batch.selectFirst);

    CheckSteps(batch);
    CheckAgainstReference(mode, page, batch);
    return 0;
}

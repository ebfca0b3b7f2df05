// Search-result pages.  Input: a site digit ("0" 多玩, "1" 小说阅读网,
// "2" 言情小说吧, "3" 飞库, "4" 小说520; any other byte wraps around), then
// the page as served; or a site letter ("a" ... "e") and the bytes a result
// page is made from.
#include <string>

#include "catalogue/search_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "made_pages.h"
#include "net/site_hosts.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

const SiteHosts& Demo() {
    static const SiteHosts hosts = SiteHosts::Demo();
    return hosts;
}

SearchPage Walk(int site, const std::string& page) {
    switch (site) {
        case 0:
            return DuowanSearchPage(page, Demo().duowan);
        case 1:
            return ReadnovelSearchPage(page, Demo().readnovel);
        case 2:
            return Xs8SearchPage(page);
        case 3:
            return FeikuSearchPage(page);
        default:
            return S520SearchPage(page);
    }
}

// A result page in the site's layout and the results it lists, with the
// end the walk must report.
struct Made {
    std::string page;
    SearchPage want;
};

Made Make(int site, fuzz::Input& in) {
    Made m;
    std::string results;
    const int n = fuzz::TakeCount(in, 20);
    for (int i = 0; i < n; ++i) {
        const fuzz::Word title = fuzz::TakeWord(in), a = fuzz::TakeWord(in), b = fuzz::TakeWord(in);
        switch (site) {
            case 0:
                results += "<li><a href=\"" + Demo().duowan + "/book/" + a.utf8 + "/" + b.utf8 +
                           "/index.html\" target=\"_blank\"><font color=red>" + title.utf8 +
                           "</font></a></li>";
                m.want.keys.push_back("book/" + a.gbk + "/" + b.gbk + "/");
                m.want.titles.push_back(title.gbk);
                break;
            case 1:
                results += "<a href=\"" + Demo().readnovel + "/novel/" + a.gbk + "/\">" + G("书-《") +
                           title.gbk + G("》") + "</a> " + b.gbk + "<br>";
                m.want.keys.push_back("[rdn]" + a.gbk);
                m.want.titles.push_back(title.gbk);
                break;
            case 2:
                results += G("<tr><td>·") + "<a href=\"/love/" + a.gbk + "/index.html\">" + title.gbk +
                           "</a></td></tr>";
                m.want.keys.push_back("[xs8]" + a.gbk);
                m.want.titles.push_back(title.gbk);
                break;
            case 3:
                results += "<div id=\"CListTitle\"><b>" + title.gbk + "</b></div> >>> <a href=\"/files/" +
                           a.gbk + "/" + b.gbk + "/List.shtm\">" + G("读") + "</a>";
                m.want.keys.push_back("[feiku]files/" + a.gbk + "/" + b.gbk);
                m.want.titles.push_back(title.gbk);
                break;
            default:
                results += "<div id=\"CListTitle\"><b>" + title.gbk + "</b></div> >>> <a href=\"/html/" +
                           a.gbk + "/" + b.gbk + "/List.shtml\">" + G("读") + "</a>";
                m.want.keys.push_back("[520]html/" + a.gbk + "/" + b.gbk);
                m.want.titles.push_back(G("《") + title.gbk + G("》"));
                break;
        }
    }
    switch (site) {
        case 0:
            m.page = fuzz::PageHead() + "<p>关键字是：" + "x</p><ul>" + results + "</ul></body>";
            m.want.end = n ? SearchEnd::Found : SearchEnd::NotFound;
            break;
        case 2:
            // 言情小说吧's walk never reports an end of its own.
            m.page = fuzz::PageHead() + G("<table><tr><th>点击数</th></tr>") + results + "</table>";
            m.want.end = SearchEnd::Silent;
            break;
        case 4:
            m.page = fuzz::PageHead() + results;
            m.want.end = n ? SearchEnd::Found : SearchEnd::Silent;
            break;
        default:
            m.page = fuzz::PageHead() + results;
            m.want.end = n ? SearchEnd::Found : SearchEnd::NotFound;
            break;
    }
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    bool made = false;
    const int site = in.Site(5, &made);

    if (made) {
        const Made m = Make(site, in);
        // Every result the page holds, in order, each title with its own key.
        const SearchPage found = Walk(site, m.page);
        FUZZ_CHECK(found.titles == m.want.titles);
        FUZZ_CHECK(found.keys == m.want.keys);
        FUZZ_CHECK(found.end == m.want.end);
        return 0;
    }

    const std::string page = in.Rest();
    const SearchPage found = Walk(site, page);
    std::string tag;
    size_t results = 0;  // result blocks on the page: the most the walk may list
    switch (site) {
        case 0:
            results = fuzz::Count(DecodeUtf8Page(page), "<li>");
            break;
        case 1:
            tag = "[rdn]";
            results = fuzz::Count(page, "<a href=\"http://readnovel");
            break;
        case 2:
            tag = "[xs8]";
            results = fuzz::Count(page, G("·"));
            break;
        case 3:
            tag = "[feiku]";
            results = fuzz::Count(page, "<div id=\"CListTitle\">");
            break;
        default:
            tag = "[520]";
            results = fuzz::Count(page, "<div id=\"CListTitle\">");
            break;
    }
    // Titles and keys are shown and added to the watch list as pairs.
    FUZZ_CHECK(found.titles.size() == found.keys.size());
    // A result is listed once: the walk never goes back over the page.
    FUZZ_CHECK(found.titles.size() <= results);
    // Keys carry their site's tag, which later picks the site of a watch-list book.
    for (const std::string& key : found.keys) FUZZ_CHECK(key.rfind(tag, 0) == 0);
    // "没找到" only when nothing was listed; found only when something was.
    if (found.end == SearchEnd::NotFound) FUZZ_CHECK(found.titles.empty());
    if (found.end == SearchEnd::Found) FUZZ_CHECK(!found.titles.empty());
    return 0;
}

// Search-result pages.  Input: a site digit ("0" 多玩, "1" 小说阅读网,
// "2" 言情小说吧, "3" 飞库, "4" 小说520; any other byte wraps around), then
// the page as served.
#include <string>

#include "catalogue/search_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "net/site_hosts.h"
#include "text/encoding.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SiteHosts hosts = SiteHosts::Demo();
    fuzz::Input in(data, size);
    const int site = in.Choice(5);
    const std::string page = in.Rest();

    SearchPage found;
    std::string tag;
    size_t results = 0;  // result blocks on the page: the most the walk may list
    switch (site) {
        case 0:
            found = DuowanSearchPage(page, hosts.duowan);
            results = fuzz::Count(DecodeUtf8Page(page), "<li>");
            break;
        case 1:
            found = ReadnovelSearchPage(page, hosts.readnovel);
            tag = "[rdn]";
            results = fuzz::Count(page, "<a href=\"http://readnovel");
            break;
        case 2:
            found = Xs8SearchPage(page);
            tag = "[xs8]";
            results = fuzz::Count(page, G("·"));
            break;
        case 3:
            found = FeikuSearchPage(page);
            tag = "[feiku]";
            results = fuzz::Count(page, "<div id=\"CListTitle\">");
            break;
        default:
            found = S520SearchPage(page);
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

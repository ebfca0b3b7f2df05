// Category pages.  Input: a site digit ("0" 多玩, "1" 小说阅读网, "2" 飞库;
// any other byte wraps around to one of them), then the page as served.
#include <string>

#include "catalogue/category_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "net/site_hosts.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SiteHosts hosts = SiteHosts::Demo();
    static const std::string feikuGroups[] = {G("网络原创-"), G("经典文学-"), G("生活科教-")};
    fuzz::Input in(data, size);
    const int site = in.Choice(3);
    const std::string page = in.Rest();

    CategoryPage cut;
    switch (site) {
        case 0:
            cut = DuowanCategoryPage(page, hosts.duowan);
            for (const std::string& url : cut.urls)
                FUZZ_CHECK(url.rfind(hosts.duowan + "/include/finish/", 0) == 0);
            break;
        case 1:
            cut = ReadnovelCategoryPage(page, hosts.readnovel);
            FUZZ_CHECK(cut.names.size() == 11);  // found or not
            break;
        default:
            cut = FeikuCategoryPage(page);
            for (const std::string& name : cut.names) {
                bool grouped = false;
                for (const std::string& g : feikuGroups) grouped = grouped || name.rfind(g, 0) == 0;
                FUZZ_CHECK(grouped);
            }
            break;
    }
    // Names and URLs are stored as a pair of line files: they must match.
    FUZZ_CHECK(cut.names.size() == cut.urls.size());
    // No list item is walked twice (飞库's items hold two links each).
    if (site == 0) FUZZ_CHECK(cut.names.size() <= fuzz::Count(page, "<li>"));
    if (site == 2) FUZZ_CHECK(cut.names.size() <= 2 * fuzz::Count(page, "<li>"));
    return 0;
}

// Chapter-list pages.  Input: a mode digit ("0" 多玩, "1" 小说阅读网,
// "2" 言情小说吧, "3" 飞库, "4" 小说520; any other byte wraps around), then
// the page as served.
#include <string>

#include "catalogue/chapter_list_pages.h"
#include "catalogue/list_model.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "net/site_hosts.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SiteHosts hosts = SiteHosts::Demo();
    static const std::string feikuPrefix = hosts.feiku + "/files/2/7/";
    static const std::string s520Prefix = hosts.s520Chapters + "/html/2/7/";
    fuzz::Input in(data, size);
    const int mode = in.Choice(5) + 1;
    const std::string page = in.Rest();

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
            batch = FeikuChapterPage(page, feikuPrefix);
            urlStart = feikuPrefix;
            linkMarker = "<li><a";
            break;
        default:
            batch = S520ChapterPage(page, s520Prefix);
            urlStart = s520Prefix;
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

    // The progress bar takes the steps as they come and stays on its scale.
    ProgressModel bar;
    bar.position = 0;
    if (batch.setMax) bar.SetMax(batch.max);
    for (int d : batch.steps) {
        bar.StepBy(d);
        FUZZ_CHECK(bar.position >= bar.min && bar.position <= bar.max);
    }
    return 0;
}

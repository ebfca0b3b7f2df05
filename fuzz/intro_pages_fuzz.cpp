// Book pages cut to their introduction.  Input: a site digit ("0" 多玩,
// "1" 小说阅读网, "2" 言情小说吧, "3" 飞库, "4" 小说520; any other byte wraps
// around), then the page as served.
#include <optional>
#include <string>

#include "catalogue/intro_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "text/encoding.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const int site = in.Choice(5);
    const std::string page = in.Rest();

    std::optional<std::string> cut;
    switch (site) {
        case 0:
            cut = DuowanIntroPage(page);
            // A piece of the decoded page, or the fixed text.
            if (cut)
                FUZZ_CHECK(*cut == G("没有简介") || DecodeUtf8Page(page).find(*cut) != std::string::npos);
            break;
        case 1:
            cut = ReadnovelIntroPage(page);
            if (cut) FUZZ_CHECK(page.find(*cut) != std::string::npos);
            break;
        case 2:
            cut = Xs8IntroPage(page);
            break;
        case 3:
            cut = FeikuIntroPage(page);
            break;
        default:
            cut = S520IntroPage(page);
            break;
    }
    // Not the book's page: the stored introduction stays, so nothing may
    // come out of it.
    if (!cut) return 0;
    const std::string& text = *cut;
    // Cut and cleaned, an introduction never outgrows its page, and no
    // "&nbsp;" is left to show where the cleaning removes them.
    FUZZ_CHECK(text.size() <= page.size() || text == G("没有简介"));
    if (site == 3 || site == 4) FUZZ_CHECK(text.find("&nbsp;") == std::string::npos);
    return 0;
}

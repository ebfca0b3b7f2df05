// Book pages cut to their introduction.  Input: a site digit ("0" 多玩,
// "1" 小说阅读网, "2" 言情小说吧, "3" 飞库, "4" 小说520; any other byte wraps
// around), then the page as served; or a site letter ("a" ... "e") and the
// bytes a book page is made from.
#include <optional>
#include <string>

#include "catalogue/intro_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "made_pages.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

std::optional<std::string> Walk(int site, const std::string& page) {
    switch (site) {
        case 0:
            return DuowanIntroPage(page);
        case 1:
            return ReadnovelIntroPage(page);
        case 2:
            return Xs8IntroPage(page);
        case 3:
            return FeikuIntroPage(page);
        default:
            return S520IntroPage(page);
    }
}

// A book page in the site's layout and the introduction it shows.  The
// sites whose walks clean the text get the tags and "&nbsp;" the cleaning
// removes between the words; the others get the words alone.
struct Made {
    std::string page, want;
};

Made Make(int site, fuzz::Input& in) {
    Made m;
    std::string text;  // as the page holds it
    for (int n = fuzz::TakeCount(in, 8); n > 0; --n) {
        const fuzz::Word w = fuzz::TakeWord(in);
        text += site == 0 ? w.utf8 : w.gbk;
        m.want += w.gbk;
        const uint8_t between = in.Byte();
        if (site < 2) continue;
        if (between % 3 == 1) text += "<p class=\"t\">";
        if (site >= 3 && between % 3 == 2) text += "&nbsp;";
    }
    switch (site) {
        case 0:
            m.page = fuzz::PageHead() + "<div><h3>文章简介</h3><br>" + text +
                     "<br>更多<br></div><!-- end wzjj -->";
            break;
        case 1:
            m.page = fuzz::PageHead() + G("<strong>书籍简介：</strong>") + text + "<br /><br />" +
                     G("<!--结束书的参数-->");
            break;
        case 2:
            m.page = fuzz::PageHead() + G("<td>[书籍简介]") + text + "</td></tr></table>";
            break;
        case 3:
            m.page = fuzz::PageHead() + "<div id=\"CrbsSum\">" + text + "</div>";
            break;
        default:
            m.page = fuzz::PageHead() + "<table><tr><td height=\"150\" valign=\"top\">" + text + "</td></tr>";
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
        const std::optional<std::string> cut = Walk(site, m.page);
        // The book's page: its introduction, cleaned ("没有简介" on 多玩 when
        // there is none to show).
        FUZZ_CHECK(cut.has_value());
        FUZZ_CHECK(*cut == m.want || (site == 0 && m.want.empty() && *cut == G("没有简介")));
        // A second book block further down is not this book's introduction.
        const Made other = Make(site, in);
        FUZZ_CHECK(Walk(site, m.page + other.page.substr(fuzz::PageHead().size())) == cut);
        return 0;
    }

    const std::string page = in.Rest();
    const std::optional<std::string> cut = Walk(site, page);
    // Not the book's page: the stored introduction stays, so nothing may
    // come out of it.
    if (!cut) return 0;
    const std::string& text = *cut;
    // A piece of the page (of the decoded page on 多玩), or the fixed text.
    if (site == 0) FUZZ_CHECK(text == G("没有简介") || DecodeUtf8Page(page).find(text) != std::string::npos);
    if (site == 1) FUZZ_CHECK(page.find(text) != std::string::npos);
    // Cut and cleaned, an introduction never outgrows its page, and no
    // "&nbsp;" is left to show where the cleaning removes them.
    FUZZ_CHECK(text.size() <= page.size() || text == G("没有简介"));
    if (site == 3 || site == 4) FUZZ_CHECK(text.find("&nbsp;") == std::string::npos);
    return 0;
}

#include "catalogue/intro_pages.h"

#include "catalogue/sites.h"
#include "text/encoding.h"
#include "text/markers.h"

namespace talvenor {

namespace {

// The text between start and end, looked for at or after pos; empty when
// the page lacks start.  (CutBetween would cut from near the top of the
// page then, and the page's head would pass for an introduction.)
std::string CutFound(const std::string& page, const std::string& start, const std::string& end, int& pos) {
    if (FindMarker(start, page, pos) < 0) {
        pos = -1;
        return std::string();
    }
    return CutBetween(page, start, end, pos);
}

}  // namespace

std::optional<std::string> S520IntroPage(const std::string& page) {
    int p = 100;
    std::string text = CutFound(page, "<td height=\"150\" valign=\"top\">", "</td>", p);
    if (p < 0) return std::nullopt;
    StripTags(text);
    RemoveAll(text, "&nbsp;");
    return text;
}

std::optional<std::string> DuowanIntroPage(const std::string& utf8Page) {
    const std::string page = DecodeUtf8Page(utf8Page);
    int s = FindMarker(G("文章简介"), page, 100);
    if (s < 0) return std::nullopt;
    int e = FindMarker("<!-- end wzjj -->", page, s);
    int r = FindMarker("<br>", page, s);
    if (r >= e) return G("没有简介");
    int p = s;
    return CutBetween(page, "<br>", "<br>", p);
}

std::optional<std::string> ReadnovelIntroPage(const std::string& page) {
    int p = FindMarker(G("书籍简介"), page, 100);
    if (p < 0) return std::nullopt;
    int e = FindMarker(G("<!--结束书的参数-->"), page, p);
    std::string text = CutFound(page, "</strong>", "<br />", p);
    // The cut ran past the book's parameter block: that is not its
    // introduction.
    if (e > 0 && e < p) text.clear();
    return text;
}

std::optional<std::string> Xs8IntroPage(const std::string& page) {
    int p = 100;
    std::string text = CutFound(page, G("[书籍简介]"), "</table>", p);
    if (p < 0) return std::nullopt;
    StripTags(text);
    return text;
}

std::optional<std::string> FeikuIntroPage(const std::string& page) {
    int p = 100;
    std::string text = CutFound(page, "<div id=\"CrbsSum\">", "</div>", p);
    if (p < 0) return std::nullopt;
    StripTags(text);
    RemoveAll(text, "&nbsp;");
    return text;
}

}  // namespace talvenor

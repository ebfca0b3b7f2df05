#include "catalogue/category_pages.h"

#include "catalogue/sites.h"
#include "text/encoding.h"
#include "text/markers.h"

namespace talvenor {

CategoryPage DuowanCategoryPage(const std::string& utf8Page, const std::string& base) {
    CategoryPage out;
    const std::string page = DecodeUtf8Page(utf8Page);
    static const std::string kDirectory = G("分类目录");
    int s = FindMarker(kDirectory, page, 100);
    int end = FindMarker("</ul>", page, s);
    int pos = FindMarker("<li>", page, s);
    while (pos >= 0 && pos < end) {
        const int start = pos;
        std::string href = CutBetween(page, "href=\"", "\"", pos);
        out.urls.push_back(base + "/include/finish/" + href);
        out.names.push_back(CutBetween(page, ">", "<span>", pos));
        pos = FindMarker("<li>", page, pos);
        if (pos <= start) break;  // a broken item sent the walk back: the list is over
    }
    return out;
}

CategoryPage ReadnovelCategoryPage(const std::string& page, const std::string& base) {
    CategoryPage out;
    static const std::string kMarker = G("分类阅读");
    int pos = FindMarker(kMarker, page, 100);
    // The site always has eleven categories; the last name is in bold.
    for (int i = 0; i < 11; ++i) {
        std::string href = CutBetween(page, "<a href=\"", "\"", pos);
        out.urls.push_back(base + href);
        out.names.push_back(i < 10 ? CutBetween(page, ">", "<", pos)
                                   : CutBetween(page, "<strong>", "</strong>", pos));
    }
    return out;
}

CategoryPage FeikuCategoryPage(const std::string& page) {
    CategoryPage out;
    static const std::string kGroups[] = {G("网络原创-"), G("经典文学-"), G("生活科教-")};
    int pos = FindMarker("id=\"sub2\"", page, 100);
    for (const std::string& prefix : kGroups) {
        const int end = FindMarker("</ul>", page, pos);
        // A group without its end: the page is cut off, and going on would
        // send the next group back to the top of the page.
        if (end < 0) break;
        pos = FindMarker("<li>", page, pos);
        while (pos >= 0 && pos < end) {
            const int item = pos;
            // A list item holds two category links.
            for (int link = 0; link < 2; ++link) {
                std::string key = CutBetween(page, "/Book/LN/", ".html", pos);
                if (!key.empty() && key[0] == '/') key.erase(0, 1);
                if (pos > end) break;  // the link belongs to a later group
                out.urls.push_back(key);
                out.names.push_back(prefix + CutBetween(page, ">", "</a>", pos));
            }
            pos = FindMarker("<li>", page, pos);
            if (pos <= item) break;  // no progress: a broken item ends the group
        }
        pos = end + 4;
    }
    return out;
}

}  // namespace talvenor

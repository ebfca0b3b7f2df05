// Category pages.  Input: a site digit ("0" 多玩, "1" 小说阅读网, "2" 飞库;
// any other byte wraps around to one of them), then the page as served; or
// a site letter ("a", "b", "c") and the bytes a page is made from.
#include <string>

#include "catalogue/category_pages.h"
#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "made_pages.h"
#include "net/site_hosts.h"

using namespace talvenor;

namespace {

const SiteHosts& Demo() {
    static const SiteHosts hosts = SiteHosts::Demo();
    return hosts;
}

const std::string* FeikuGroups() {
    static const std::string groups[] = {G("网络原创-"), G("经典文学-"), G("生活科教-")};
    return groups;
}

CategoryPage Walk(int site, const std::string& page) {
    switch (site) {
        case 0:
            return DuowanCategoryPage(page, Demo().duowan);
        case 1:
            return ReadnovelCategoryPage(page, Demo().readnovel);
        default:
            return FeikuCategoryPage(page);
    }
}

bool Same(const CategoryPage& a, const CategoryPage& b) {
    return a.names == b.names && a.urls == b.urls;
}

// A page in the site's layout, the categories it holds, and a second list
// of the same layout that follows the first one's end.
struct Made {
    std::string page, after;
    CategoryPage want;
};

Made MakeDuowan(fuzz::Input& in) {
    Made m;
    auto items = [&in](CategoryPage* want) {
        std::string out;
        for (int n = fuzz::TakeCount(in, 30); n > 0; --n) {
            const fuzz::Word key = fuzz::TakeWord(in), name = fuzz::TakeWord(in);
            out += "<li><a href=\"" + key.utf8 + ".html\">" + name.utf8 + "<span>(12)</span></a></li>";
            if (want) {
                want->urls.push_back(Demo().duowan + "/include/finish/" + key.gbk + ".html");  // as decoded
                want->names.push_back(name.gbk);
            }
        }
        return out;
    };
    m.page = fuzz::PageHead() + "<div>分类目录</div><ul>" + items(&m.want) + "</ul>";
    m.after = "<ul>" + items(nullptr) + "</ul>";
    return m;
}

Made MakeReadnovel(fuzz::Input& in) {
    Made m;
    m.page = fuzz::PageHead() + G("<h2>分类阅读</h2>");
    for (int i = 0; i < 11; ++i) {
        const fuzz::Word key = fuzz::TakeWord(in), name = fuzz::TakeWord(in);
        m.page += "<a href=\"/ch/" + key.gbk + "/\">" +
                  (i < 10 ? name.gbk : "<strong>" + name.gbk + "</strong>") + "</a> | ";
        m.want.urls.push_back(Demo().readnovel + "/ch/" + key.gbk + "/");
        m.want.names.push_back(name.gbk);
    }
    m.after = "<a href=\"/ch/" + fuzz::TakeWord(in).gbk + "/\">" + fuzz::TakeWord(in).gbk + "</a>";
    return m;
}

Made MakeFeiku(fuzz::Input& in) {
    Made m;
    auto group = [&in](const std::string& prefix, CategoryPage* want) {
        std::string out = "<ul>";
        for (int n = fuzz::TakeCount(in, 12); n > 0; --n) {
            out += "<li>";
            for (int link = 0; link < 2; ++link) {
                const fuzz::Word key = fuzz::TakeWord(in), name = fuzz::TakeWord(in);
                out += "<a href=\"/Book/LN/" + key.gbk + ".html\">" + name.gbk + "</a> ";
                if (want) {
                    want->urls.push_back(key.gbk);
                    want->names.push_back(prefix + name.gbk);
                }
            }
            out += "</li>";
        }
        return out + "</ul>";
    };
    m.page = fuzz::PageHead() + "<div id=\"sub2\">";
    for (int g = 0; g < 3; ++g) m.page += group(FeikuGroups()[g], &m.want);
    m.after = group("", nullptr);
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    bool made = false;
    const int site = in.Site(3, &made);

    if (made) {
        const Made m = site == 0 ? MakeDuowan(in) : site == 1 ? MakeReadnovel(in) : MakeFeiku(in);
        // Every category the page holds, in order, each name with its own URL.
        const CategoryPage cut = Walk(site, m.page);
        FUZZ_CHECK(cut.names == m.want.names);
        FUZZ_CHECK(cut.urls == m.want.urls);
        // What follows the list's end is not part of it.
        FUZZ_CHECK(Same(Walk(site, m.page + m.after), cut));
        return 0;
    }

    const std::string page = in.Rest();
    const CategoryPage cut = Walk(site, page);
    switch (site) {
        case 0:
            for (const std::string& url : cut.urls)
                FUZZ_CHECK(url.rfind(Demo().duowan + "/include/finish/", 0) == 0);
            break;
        case 1:
            FUZZ_CHECK(cut.names.size() == 11);  // found or not
            break;
        default:
            for (const std::string& name : cut.names) {
                bool grouped = false;
                for (int g = 0; g < 3; ++g) grouped = grouped || name.rfind(FeikuGroups()[g], 0) == 0;
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

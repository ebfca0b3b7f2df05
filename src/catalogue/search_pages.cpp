#include "catalogue/search_pages.h"

#include <utility>

#include "catalogue/sites.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/markers.h"

namespace talvenor {

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

namespace {

const char* const kListTitle = "<div id=\"CListTitle\">";

// Ends the walk with how it ended, keeping what it found.
struct Walk {
    SearchPage result;
    void Add(std::string title, std::string key) {
        result.titles.push_back(std::move(title));
        result.keys.push_back(std::move(key));
    }
    SearchPage End(SearchEnd end) {
        result.end = end;
        return std::move(result);
    }
};

}  // namespace

SearchPage S520SearchPage(const std::string& page) {
    Walk w;
    int p = FindMarker(kListTitle, page, 100);
    if (p < 0) return w.End(SearchEnd::Silent);
    int accepted = p;
    // Each cut must land past the one before it.
    auto advanced = [&](int pos) {
        if (pos < accepted) return false;
        accepted = pos;
        return true;
    };
    while (p > 0) {
        std::string name = CutBetween(page, "<b>", "</b>", p);
        if (!advanced(p)) return w.End(SearchEnd::Silent);
        p = FindMarker(">>>", page, p);
        if (!advanced(p)) return w.End(SearchEnd::Silent);
        std::string link = CutBetween(page, "<a href=\"", ".shtml", p);
        if (!advanced(p)) return w.End(SearchEnd::Silent);
        // "/html/4/4000017/List" -> "html/4/4000017": the leading
        // character and everything from the last "/" on are dropped.
        std::string path = link;
        size_t last = link.rfind('/');
        if (last != std::string::npos) path = last > 1 ? link.substr(1, last - 1) : std::string();
        w.Add(G("《") + name + G("》"), "[520]" + path);
        p = FindMarker(kListTitle, page, p);
    }
    return w.End(SearchEnd::Found);
}

SearchPage DuowanSearchPage(const std::string& utf8Page, const std::string& duowanBase) {
    const std::string page = DecodeUtf8Page(utf8Page);
    const std::string keyStart = "<a href=\"" + duowanBase + "/";
    static const std::string keyword = G("关键字是：");
    Walk w;
    int p = FindMarker(keyword, page, 100);
    if (p <= 0) return w.End(SearchEnd::Silent);
    int accepted = p;
    bool listed = false;
    for (;;) {
        p = FindMarker("<li>", page, p);
        if (p < 0) return w.End(listed ? SearchEnd::Found : SearchEnd::NotFound);
        accepted = p;
        std::string key = CutBetween(page, keyStart, "index.html\"", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string title = CutBetween(page, "\"_blank\">", "</a>", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        StripTags(title);
        w.Add(title, key);
        listed = true;
    }
}

SearchPage FeikuSearchPage(const std::string& page) {
    Walk w;
    int p = 100, accepted = 100;
    bool listed = false;
    for (;;) {
        p = FindMarker(kListTitle, page, p);
        if (p < accepted) return w.End(listed ? SearchEnd::Found : SearchEnd::NotFound);
        std::string title = CutBetween(page, "<b>", "</b>", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string link = CutBetween(page, ">>> <a href=\"/", ".shtm", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        size_t last = link.rfind('/');
        w.Add(title, "[feiku]" + (last == std::string::npos ? std::string() : link.substr(0, last)));
        listed = true;
        if (p <= 0) return w.End(SearchEnd::Silent);
    }
}

SearchPage ReadnovelSearchPage(const std::string& page, const std::string& readnovelBase) {
    // The result links: the site's address up to the dot before its
    // top-level domain ("http://www.readnovel" of "http://www.readnovel.com").
    const std::string site = SiteHosts::HostName(readnovelBase);
    std::string linkStart = readnovelBase;
    size_t hostAt = linkStart.find(site);
    size_t dot = site.rfind('.');
    if (hostAt != std::string::npos && dot != std::string::npos)
        linkStart = linkStart.substr(0, hostAt + dot);
    linkStart = "<a href=\"" + linkStart;
    Walk w;
    int p = 100, accepted = 100;
    bool listed = false;
    for (;;) {
        p = FindMarker(linkStart, page, p);
        if (p < accepted) return w.End(listed ? SearchEnd::Found : SearchEnd::NotFound);
        std::string number = CutBetween(page, "novel/", "/", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string title = CutBetween(page, G("-《"), G("》"), p);
        StripTags(title);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        w.Add(title, "[rdn]" + number);
        listed = true;
        if (p <= 0) return w.End(SearchEnd::Silent);
    }
}

SearchPage Xs8SearchPage(const std::string& page) {
    static const std::string dot = G("·");
    Walk w;
    int b = FindMarker(G("点击数"), page, 100);
    int p = FindMarker(dot, page, b);
    int accepted = p;
    if (p <= 0) return w.End(SearchEnd::Silent);
    for (;;) {
        std::string number = CutBetween(page, "\"/love/", "/index.html", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string title = CutBetween(page, "\">", "</a>", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        w.Add(Trimmed(title), "[xs8]" + number);
        p = FindMarker(dot, page, p);
        if (p <= 0) return w.End(SearchEnd::Silent);
    }
}

}  // namespace talvenor

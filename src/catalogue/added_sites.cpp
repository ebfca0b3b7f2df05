#include "catalogue/added_sites.h"

#include <set>

#include "catalogue/book_list_pages.h"
#include "catalogue/sites.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "text/encoding.h"

namespace talvenor {

using rules::WalkKind;

std::vector<RuleSite> AddedSites() {
    std::vector<RuleSite> sites;
    for (const auto& site : rules::ActiveSites())
        if (!rules::IsBuiltinKey(site->key) && !rules::NewSiteProblem(*site)) sites.push_back(site);
    return sites;
}

RuleSite AddedSiteOfLabel(const std::string& gbkLabel) {
    if (gbkLabel.empty()) return nullptr;
    for (const auto& site : AddedSites())
        if (AddedLabel(*site) == gbkLabel) return site;
    return nullptr;
}

RuleSite AddedSiteOfKey(const std::string& key) {
    for (const auto& site : AddedSites())
        if (site->key == key) return site;
    return nullptr;
}

std::string AddedLabel(const rules::SiteRules& site) {
    return Utf8ToGbk(site.name);
}

std::string AddedTag(const rules::SiteRules& site) {
    return "[" + site.key + "]";
}

std::string AddedBase(const rules::SiteRules& site) {
    const SiteHosts hosts = Hosts();
    auto it = hosts.added.find(site.key);
    return it != hosts.added.end() ? it->second : site.base;
}

std::string AddedBase2(const rules::SiteRules& site) {
    const SiteHosts hosts = Hosts();
    auto it = hosts.added.find(site.key + ".base2");
    return it != hosts.added.end() ? it->second : site.base2;
}

namespace {

bool HasScheme(const std::string& s, size_t* colon) {
    const size_t c = s.find(':');
    if (c == std::string::npos || c == 0) return false;
    for (size_t i = 0; i < c; ++i) {
        const char ch = s[i];
        const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                        (i > 0 && ((ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.'));
        if (!ok) return false;
    }
    *colon = c;
    return true;
}

// RFC 3986 5.2.4: "." and ".." segments taken out of a path.
std::string RemoveDotSegments(const std::string& path) {
    std::vector<std::string> out;
    size_t b = 0;
    const bool absolute = !path.empty() && path[0] == '/';
    if (absolute) b = 1;
    bool trailing = false;
    while (b <= path.size()) {
        size_t e = path.find('/', b);
        if (e == std::string::npos) e = path.size();
        const std::string seg = path.substr(b, e - b);
        const bool last = e == path.size();
        if (seg == ".") {
            trailing = true;
        } else if (seg == "..") {
            if (!out.empty()) out.pop_back();
            trailing = true;
        } else {
            out.push_back(seg);
            trailing = false;
        }
        if (last) break;
        b = e + 1;
    }
    std::string r = absolute ? "/" : "";
    for (size_t i = 0; i < out.size(); ++i) r += (i ? "/" : "") + out[i];
    if (trailing && (r.empty() || r.back() != '/')) r += '/';
    return r;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

std::string ResolveUrl(const std::string& pageUrl, const std::string& hrefIn) {
    // Blanks around a link and its fragment are no part of the address.
    size_t b = 0, e = hrefIn.size();
    while (b < e && static_cast<unsigned char>(hrefIn[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(hrefIn[e - 1]) <= ' ') --e;
    std::string href = hrefIn.substr(b, e - b);
    href = href.substr(0, href.find('#'));
    size_t colon = 0;
    if (HasScheme(href, &colon)) {
        const std::string scheme = Lower(href.substr(0, colon));
        if (scheme != "http" && scheme != "https") return std::string();
        const size_t auth = colon + 3;
        if (href.compare(colon, 3, "://") != 0) return std::string();
        const size_t pathAt = href.find_first_of("/?", auth);
        if (pathAt == std::string::npos) return href;
        if (href[pathAt] == '?') return href.substr(0, pathAt) + "/" + href.substr(pathAt);
        const size_t q = href.find('?', pathAt);
        const std::string path = href.substr(pathAt, q == std::string::npos ? std::string::npos : q - pathAt);
        return href.substr(0, pathAt) + RemoveDotSegments(path) +
               (q == std::string::npos ? std::string() : href.substr(q));
    }
    // The page's parts: scheme://authority, path, query.
    std::string base = pageUrl.substr(0, pageUrl.find('#'));
    size_t pc = 0;
    if (!HasScheme(base, &pc) || base.compare(pc, 3, "://") != 0) return std::string();
    const size_t auth = pc + 3;
    size_t pathAt = base.find_first_of("/?", auth);
    if (pathAt == std::string::npos) pathAt = base.size();
    const std::string origin = base.substr(0, pathAt);
    const size_t q = base.find('?', pathAt);
    std::string path = base.substr(pathAt, q == std::string::npos ? std::string::npos : q - pathAt);
    const std::string query = q == std::string::npos ? std::string() : base.substr(q);
    if (path.empty()) path = "/";
    if (href.rfind("//", 0) == 0) return ResolveUrl(pageUrl, base.substr(0, pc) + ":" + href);
    if (href.empty()) return origin + path + query;
    if (href[0] == '?') return origin + path + href;
    const size_t hq = href.find('?');
    const std::string hpath = href.substr(0, hq);
    const std::string hquery = hq == std::string::npos ? std::string() : href.substr(hq);
    if (hpath.empty()) return origin + path + hquery;
    if (hpath[0] == '/') return origin + RemoveDotSegments(hpath) + hquery;
    return origin + RemoveDotSegments(path.substr(0, path.rfind('/') + 1) + hpath) + hquery;
}

namespace {

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
    return s;
}

rules::Inputs InputsOf(const rules::SiteRules& site) {
    rules::Inputs in;
    in.base = AddedBase(site);
    in.base2 = AddedBase2(site);
    in.n = 1;
    in.next = 2;
    return in;
}

}  // namespace

std::string WalkAddress(const rules::SiteRules& site, WalkKind kind, const std::string& value) {
    const rules::Walk& w = site.Of(kind);
    std::string filled = value;
    if (kind == WalkKind::Search) filled = PercentEncode(w.utf8Query ? EncodeUtf8(value) : value);
    // The value goes in last, so that braces it holds are never read as a
    // placeholder.
    std::string url = Replace(Replace(w.url, "{base2}", AddedBase2(site)), "{base}", AddedBase(site));
    const char* own = kind == WalkKind::BookList ? "{category}" : kind == WalkKind::Search ? "{query}" : "{book}";
    return Replace(url, own, filled);
}

PagedWalk WalkPages(const rules::SiteRules& site, WalkKind kind, const std::string& firstUrl,
                    const PageFetch& fetch, const rules::Inputs& inputs, int maxPages) {
    PagedWalk walk;
    std::set<std::string> fetched;
    rules::Inputs in = inputs;
    const int urlSlot = rules::FieldSlot(kind, "url");
    std::string url = firstUrl;
    while (!url.empty()) {
        if (walk.pages >= maxPages) {
            walk.complete = false;
            walk.capped = true;
            walk.why = "more than " + std::to_string(maxPages) + " pages: the walk stops at " + url;
            break;
        }
        fetched.insert(url);
        std::string page;
        try {
            page = fetch(url);
        } catch (const FetchError& e) {
            if (e.cancelled()) throw;
            walk.complete = false;
            walk.why = std::string(e.what());
            break;
        }
        ++walk.pages;
        in.n = walk.pages;
        in.next = walk.pages + 1;
        rules::Output out = rules::Run(site, kind, page, in);
        if (urlSlot >= 0)
            for (auto& u : out.lists[static_cast<size_t>(urlSlot)]) u = ResolveUrl(url, u);
        if (walk.out.lists.empty()) {
            walk.out.lists.resize(out.lists.size());
            walk.out.outs = out.outs;
        }
        for (size_t i = 0; i < out.lists.size(); ++i) {
            auto& to = walk.out.lists[i];
            to.insert(to.end(), std::make_move_iterator(out.lists[i].begin()),
                      std::make_move_iterator(out.lists[i].end()));
        }
        std::string next = out.next.empty() ? std::string() : ResolveUrl(url, out.next);
        // A next page fetched before (the page itself, a page back) would
        // list the same items again: the walk is over.
        if (!next.empty() && fetched.count(next)) next.clear();
        url = std::move(next);
    }
    return walk;
}

CategoryPage AddedCategories(const rules::SiteRules& site, const PageFetch& fetch) {
    const std::string url = WalkAddress(site, WalkKind::Categories, std::string());
    const std::string page = fetch(url);
    rules::Output out = rules::Run(site, WalkKind::Categories, page, InputsOf(site));
    CategoryPage cut;
    cut.names = std::move(out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Categories, "name"))]);
    cut.urls = std::move(out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Categories, "url"))]);
    for (auto& u : cut.urls) u = ResolveUrl(url, u);
    return cut;
}

AddedBookList FetchAddedBookList(const rules::SiteRules& site, const std::string& categoryUrl,
                                 const PageFetch& fetch, int maxPages) {
    PagedWalk walk = WalkPages(site, WalkKind::BookList, WalkAddress(site, WalkKind::BookList, categoryUrl), fetch,
                               InputsOf(site), maxPages);
    AddedBookList list;
    list.complete = walk.complete;
    list.capped = walk.capped;
    list.why = walk.why;
    if (!walk.out.lists.empty()) {
        list.titles = std::move(walk.out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::BookList, "title"))]);
        list.keys = std::move(walk.out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::BookList, "key"))]);
    }
    if (list.titles.size() > rules::kMaxItems) {
        list.titles.resize(rules::kMaxItems);
        list.keys.resize(rules::kMaxItems);
        list.complete = false;
        list.capped = true;
    }
    KeepFirstOfEachKey(list.titles, list.keys);
    return list;
}

AddedChapters FetchAddedChapters(const rules::SiteRules& site, const std::string& bookKey, const PageFetch& fetch) {
    PagedWalk walk = WalkPages(site, WalkKind::Chapters, WalkAddress(site, WalkKind::Chapters, bookKey), fetch,
                               InputsOf(site), kMaxChapterListPages);
    AddedChapters list;
    list.complete = walk.complete;
    list.why = walk.why;
    if (!walk.out.lists.empty()) {
        list.titles = std::move(walk.out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Chapters, "title"))]);
        list.urls = std::move(walk.out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Chapters, "url"))]);
    }
    return list;
}

AddedText FetchAddedText(const rules::SiteRules& site, const std::string& chapterUrl, const PageFetch& fetch,
                         const std::string& filter) {
    rules::Inputs in = InputsOf(site);
    in.filter = filter;
    in.first = 0;
    PagedWalk walk = WalkPages(site, WalkKind::Text, chapterUrl, fetch, in, kMaxTextPages);
    AddedText text;
    text.pages = walk.pages;
    text.complete = walk.complete;
    text.why = walk.why;
    if (walk.out.lists.empty()) return text;
    const auto& pieces = walk.out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Text, "content"))];
    for (const auto& p : pieces) text.content += p;
    const auto& found = walk.out.outs[static_cast<size_t>(rules::OutSlot(WalkKind::Text, "found"))];
    text.found = found ? *found != 0 : !text.content.empty();
    return text;
}

SearchPage FetchAddedSearch(const rules::SiteRules& site, const std::string& gbkText, const PageFetch& fetch) {
    SearchPage found;
    if (!site.Of(WalkKind::Search).defined) return found;
    const std::string page = fetch(WalkAddress(site, WalkKind::Search, gbkText));
    rules::Output out = rules::Run(site, WalkKind::Search, page, InputsOf(site));
    found.titles = std::move(out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Search, "title"))]);
    found.keys = std::move(out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Search, "key"))]);
    for (auto& k : found.keys) k = AddedTag(site) + k;
    const auto& end = out.outs[static_cast<size_t>(rules::OutSlot(WalkKind::Search, "end"))];
    const long long e = end ? *end : static_cast<long long>(found.titles.empty() ? rules::kNotFound : rules::kFound);
    found.end = e == rules::kFound ? SearchEnd::Found : e == rules::kNotFound ? SearchEnd::NotFound : SearchEnd::Silent;
    return found;
}

std::optional<std::string> FetchAddedIntro(const rules::SiteRules& site, const std::string& bookKey,
                                           const PageFetch& fetch) {
    if (!site.Of(WalkKind::Intro).defined) return std::nullopt;
    const std::string page = fetch(WalkAddress(site, WalkKind::Intro, bookKey));
    rules::Output out = rules::Run(site, WalkKind::Intro, page, InputsOf(site));
    auto& texts = out.lists[static_cast<size_t>(rules::FieldSlot(WalkKind::Intro, "text"))];
    if (texts.empty()) return std::nullopt;
    return std::move(texts.front());
}

}  // namespace talvenor

// Sites added by a user's rule file (a key the program does not know by
// itself): every address comes from the file, and every page walk runs
// from it, following the pages a walk's `next` step names.
//
// Such a site lives in the store like the five (its `name` is its folder, its
// lists the same GBK files); its search results carry the tag "[KEY]".
// Nothing here knows a window: the callers hand in how a page is fetched.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/category_pages.h"
#include "catalogue/search_pages.h"
#include "catalogue/site_rules.h"

namespace talvenor {

using RuleSite = std::shared_ptr<const rules::SiteRules>;
// Fetches one page as served; throws FetchError when it cannot be had.
using PageFetch = std::function<std::string(const std::string& url)>;

// The added sites of the site table that the catalogue can use (their file
// names every address: rules::NewSiteProblem says nothing), in key order.
std::vector<RuleSite> AddedSites();
// The added site of a label (GBK, the store's folder name), or of a key.
RuleSite AddedSiteOfLabel(const std::string& gbkLabel);
RuleSite AddedSiteOfKey(const std::string& key);
// The GBK label (its `name`) and the search tag "[KEY]" of an added site.
std::string AddedLabel(const rules::SiteRules& site);
std::string AddedTag(const rules::SiteRules& site);
// The site's host: the entry of its key in set/sites.hosts, else its
// file's `base`.
std::string AddedBase(const rules::SiteRules& site);
// Its second host: the entry "KEY.base2" in set/sites.hosts, else `base2`.
std::string AddedBase2(const rules::SiteRules& site);

// An address as a page links it (relative to the page, to its host's root,
// or whole) made whole, as RFC 3986 resolves references; a fragment is
// dropped.  Empty for a link to anything but http and https.
std::string ResolveUrl(const std::string& pageUrl, const std::string& href);

// The walk's page address with its placeholder ({category}, {book},
// {query}) filled in; a {query} value is the search text, percent-encoded
// as the walk's `query` says (GBK text in, UTF-8 or GBK bytes out).
std::string WalkAddress(const rules::SiteRules& site, rules::WalkKind kind, const std::string& value);

// Where a walk over several pages ended.
struct PagedWalk {
    rules::Output out;    // every page's items, in page order
    int pages = 0;        // pages walked
    bool complete = true; // false: a page failed, or a cap ended the walk
    bool capped = false;  // maxPages ended it
    std::string why;      // UTF-8, when not complete
};
// Runs a walk from its first page on, fetching each next page its `next`
// step names (resolved against the page).  The walk ends at a page without
// a next one, at a next page fetched before (so no page is fetched twice),
// at maxPages pages, or at a page that cannot be fetched (what came before
// is kept, complete is false).  Item fields named `url` are resolved.
PagedWalk WalkPages(const rules::SiteRules& site, rules::WalkKind kind, const std::string& firstUrl,
                    const PageFetch& fetch, const rules::Inputs& in, int maxPages);

// Caps of a walk over pages: a chapter list, a chapter's text, a book list.
inline constexpr int kMaxChapterListPages = 1000;
inline constexpr int kMaxTextPages = 20;
inline constexpr int kMaxBookListPages = 10000;

// The categories (names, and whole URLs).
CategoryPage AddedCategories(const rules::SiteRules& site, const PageFetch& fetch);

struct AddedBookList {
    std::vector<std::string> titles, keys;
    bool complete = true;
    bool capped = false;  // more pages or books than any site lists
    std::string why;
};
// A category's books over all its pages; a book listed twice keeps its
// first place.
AddedBookList FetchAddedBookList(const rules::SiteRules& site, const std::string& categoryUrl,
                                 const PageFetch& fetch, int maxPages = kMaxBookListPages);

// A book's chapter list over all its pages (titles, whole URLs).
struct AddedChapters {
    std::vector<std::string> titles, urls;
    bool complete = true;
    std::string why;
};
AddedChapters FetchAddedChapters(const rules::SiteRules& site, const std::string& bookKey, const PageFetch& fetch);

// A chapter's text over its pages, joined; found is false when the first
// page held no text (the walk's `found` result, else no content at all).
struct AddedText {
    std::string content;  // GBK
    bool found = false;
    int pages = 0;
    bool complete = true;
    std::string why;
};
AddedText FetchAddedText(const rules::SiteRules& site, const std::string& chapterUrl, const PageFetch& fetch,
                         const std::string& filter);

// A search: keys carry the site's tag.
SearchPage FetchAddedSearch(const rules::SiteRules& site, const std::string& gbkText, const PageFetch& fetch);

// A book's introduction; nothing when the site has no [intro] or its page
// does not yield one.
std::optional<std::string> FetchAddedIntro(const rules::SiteRules& site, const std::string& bookKey,
                                           const PageFetch& fetch);

}  // namespace talvenor

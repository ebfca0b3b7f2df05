// Fetching from the demo sites with libcurl, and the marker scanning rules
// the program's scrapers follow, so that the tests can walk the pages the
// way the program does.
#pragma once

#include <string>
#include <vector>

#include "demo_sites.h"
#include "demo_text.h"

namespace talvenor::demo::test {

struct Response {
    int curlCode = 0;  // CURLE_OK = 0
    long status = 0;
    std::string body;
    std::string headers;
    std::string contentType;
    double seconds = 0;
};

struct FetchOptions {
    long timeoutMs = 5000;
    bool follow = false;
    std::string cookieFile;  // non-empty: cookie engine on, shared through this file
};

Response Fetch(const std::string& url, const FetchOptions& options = {});

// UTF-8 literal -> GBK bytes, and back.
inline std::string G(const std::string& utf8) {
    return Utf8ToGbk(utf8);
}
inline std::string U(const std::string& gbk) {
    return GbkToUtf8(gbk);
}

// The scanning rules of the scrapers: positions are byte indices, -1 is
// "not found", and a missing start marker sends the end search back near
// the start of the page.
int FindMarker(const std::string& marker, const std::string& text, int from);
std::string CutBetween(const std::string& text, const std::string& start, const std::string& end, int& pos);
void StripTags(std::string& s);
void Trim(std::string& s);
void EraseAll(std::string& s, const std::string& word);

struct Entry {
    std::string title;  // UTF-8
    std::string key;
};

// One page of each kind, walked as the program walks it.  Pages are given
// as served; 多玩's are converted to GBK first, as the program does.
std::vector<Entry> WalkCategories(Site site, const std::string& page, const SiteHosts& hosts);
std::vector<Entry> WalkChapterList(Site site, const std::string& page, const SiteHosts& hosts,
                                   const std::string& key);
std::string CutChapterText(Site site, const std::string& page, const SiteHosts& hosts);  // UTF-8
std::string CutIntroduction(Site site, const std::string& page);                         // UTF-8, cleaned
// Search walks; found tells whether the walk ended with success.
std::vector<Entry> WalkSearch(Site site, const std::string& page, const SiteHosts& hosts,
                              bool* found = nullptr);

}  // namespace talvenor::demo::test

// The search-result pages of the five sites cut into book titles and keys,
// without any fetching: the search panel fetches the page and shows what
// comes out.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

// How a walk ended: books found, "没找到" to be shown, or nothing to say.
enum class SearchEnd { Found, NotFound, Silent };

struct SearchPage {
    std::vector<std::string> titles;
    std::vector<std::string> keys;  // index for index with titles
    SearchEnd end = SearchEnd::Silent;
};

// Every walk ends when a cut sends its position back (a result lacking a
// marker, so the cut found something earlier in the page): a malformed page
// can never list the same books again and again.
// Trims bytes <= 32 at both ends (a title, or the typed search text).
std::string Trimmed(const std::string& s);

SearchPage S520SearchPage(const std::string& page);
// The page as served (UTF-8); keys are the book paths below duowanBase.
SearchPage DuowanSearchPage(const std::string& utf8Page, const std::string& duowanBase);
SearchPage FeikuSearchPage(const std::string& page);
// A web search engine's page; the links of interest point to readnovelBase.
SearchPage ReadnovelSearchPage(const std::string& page, const std::string& readnovelBase);
SearchPage Xs8SearchPage(const std::string& page);

}  // namespace talvenor

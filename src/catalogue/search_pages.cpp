#include "catalogue/search_pages.h"

#include <utility>

#include "catalogue/site_rules.h"

namespace talvenor {

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

namespace {

SearchPage Search(const char* site, const std::string& page, const std::string& base) {
    rules::Inputs in;
    in.base = base;
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::Search, page, in);
    SearchPage result;
    result.titles = std::move(out.lists[0]);
    result.keys = std::move(out.lists[1]);
    const auto& end = out.outs[0];
    result.end = !end || *end == rules::kSilent ? SearchEnd::Silent
                 : *end == rules::kFound        ? SearchEnd::Found
                                                : SearchEnd::NotFound;
    return result;
}

}  // namespace

SearchPage S520SearchPage(const std::string& page) {
    return Search("520", page, std::string());
}

SearchPage DuowanSearchPage(const std::string& utf8Page, const std::string& duowanBase) {
    return Search("duowan", utf8Page, duowanBase);
}

SearchPage FeikuSearchPage(const std::string& page) {
    return Search("feiku", page, std::string());
}

SearchPage ReadnovelSearchPage(const std::string& page, const std::string& readnovelBase) {
    return Search("readnovel", page, readnovelBase);
}

SearchPage Xs8SearchPage(const std::string& page) {
    return Search("xs8", page, std::string());
}

}  // namespace talvenor

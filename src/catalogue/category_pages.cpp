#include "catalogue/category_pages.h"

#include "catalogue/site_rules.h"

namespace talvenor {

namespace {

CategoryPage Categories(const char* site, const std::string& page, const std::string& base) {
    rules::Inputs in;
    in.base = base;
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::Categories, page, in);
    CategoryPage result;
    result.names = std::move(out.lists[0]);
    result.urls = std::move(out.lists[1]);
    return result;
}

}  // namespace

CategoryPage DuowanCategoryPage(const std::string& utf8Page, const std::string& base) {
    return Categories("duowan", utf8Page, base);
}

CategoryPage ReadnovelCategoryPage(const std::string& page, const std::string& base) {
    return Categories("readnovel", page, base);
}

CategoryPage FeikuCategoryPage(const std::string& page) {
    return Categories("feiku", page, std::string());
}

}  // namespace talvenor

// The category pages of the sites cut into category names and their URLs or
// keys, without any fetching: the site menu actions fetch the page and hand
// it over here.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

struct CategoryPage {
    std::vector<std::string> names;
    std::vector<std::string> urls;  // URLs or keys, index for index with names
};

// 多玩, the page as served (UTF-8): the categories after "所有分类", which the
// caller adds before fetching.
CategoryPage DuowanCategoryPage(const std::string& utf8Page, const std::string& base);
// 小说阅读网: always eleven entries, found or not.
CategoryPage ReadnovelCategoryPage(const std::string& page, const std::string& base);
// 飞库: keys, and names with their group's prefix.
CategoryPage FeikuCategoryPage(const std::string& page);

}  // namespace talvenor

// The filter and 定位 over long lists: searched in parts side by side, they
// must find what a search title by title finds, in list order.
#include "catalogue/title_search.h"

#include <gtest/gtest.h>

#include "catalogue/sites.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

// 300 000 titles: enough for the search to run in several parts.  Every
// 1000th holds "重生", every 7th "之"; every 10th holds 丂 (GBK 81 40),
// whose second byte is "@" although no "@" is in the title.
std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (int i = 0; i < 300000; ++i) {
        std::string t = G("《");
        if (i % 1000 == 0) t += G("重生");
        if (i % 7 == 0) t += G("之");
        if (i % 10 == 0) t += G("丂");
        t += "Book" + std::to_string(i) + G("》");
        titles.push_back(t);
    }
    return titles;
}

// The search the windows made before, one title after another.
std::vector<int> OneByOne(const std::vector<std::string>& titles,
                          const std::vector<std::u16string>& keywords) {
    std::vector<int> out;
    for (size_t i = 0; i < titles.size(); ++i) {
        const std::u16string title = GbkToUtf16(titles[i]);
        bool all = true;
        for (const auto& k : keywords) all = all && !k.empty() && title.find(k) != std::u16string::npos;
        if (all) out.push_back(static_cast<int>(i));
    }
    return out;
}

}  // namespace

TEST(TitleSearch, FilterFindsWhatATitleByTitleSearchFinds) {
    const std::vector<std::string> titles = Titles();
    const std::vector<std::vector<std::u16string>> cases = {
        {u"重生", u"之"},  // every 7000th, across every part
        {u"Book29999"},    // in one part only, with its neighbours 299990-299999
        {u"@"},            // a second byte of 丂, not a character of any title
        {u"重生", u""},    // an empty keyword is found nowhere
        {},                // no keyword: every title
    };
    for (const auto& keywords : cases) {
        const std::vector<int> expected = OneByOne(titles, keywords);
        EXPECT_EQ(TitlesWithAll(titles, keywords), expected);
    }
    EXPECT_EQ(TitlesWithAll(titles, {u"重生", u"之"}).size(), 43u);
    EXPECT_TRUE(TitlesWithAll(titles, {u"@"}).empty());
    EXPECT_TRUE(TitlesWithAll({}, {u"之"}).empty());
}

TEST(TitleSearch, LocateFindsTheFirstTitleWhicheverPartFindsOne) {
    std::vector<std::string> titles = Titles();
    EXPECT_EQ(FirstTitleWith(titles, u"Book299999"), 299999);  // the very last
    EXPECT_EQ(FirstTitleWith(titles, u"Book15"), 15);          // before Book150, Book1500 ...
    EXPECT_EQ(FirstTitleWith(titles, u"重生之"), 0);
    EXPECT_EQ(FirstTitleWith(titles, u"@"), -1);
    EXPECT_EQ(FirstTitleWith(titles, u""), -1);
    // A later part that finds its match first does not win over an earlier one.
    titles[250000] += G("定位");
    EXPECT_EQ(FirstTitleWith(titles, u"定位"), 250000);
    titles[149999] += G("定位");
    EXPECT_EQ(FirstTitleWith(titles, u"定位"), 149999);
    titles[1] += G("定位");
    EXPECT_EQ(FirstTitleWith(titles, u"定位"), 1);
}

// Page walks on crafted pages: broken pages that once made a walk go back
// over the page and list what it had listed already.
#include <gtest/gtest.h>

#include "catalogue/category_pages.h"
#include "catalogue/chapter_list_pages.h"
#include "catalogue/sites.h"

using namespace talvenor;

namespace {

// Scrapers search from index 100: a page head without any marker.
const std::string kHead = std::string(120, ' ');

std::string FeikuLink(int n, const char* name) {
    return "<a href=\"/Book/LN/" + std::to_string(n) + ".html\">" + name + "</a>";
}

}  // namespace

TEST(FeikuCategoryPage, AGroupWithoutItsEndEndsTheWalk) {
    // The second group's list is cut off before its "</ul>": the third group
    // must not start over at the top of the page and list the first group's
    // categories again under its own prefix.
    const std::string page = kHead + "<div id=\"sub2\"><ul><li>" + FeikuLink(1, "A") + FeikuLink(2, "B") +
                             "</li></ul><ul><li>" + FeikuLink(3, "C") + FeikuLink(4, "D") + "</li>";
    CategoryPage cut = FeikuCategoryPage(page);
    EXPECT_EQ(cut.names, (std::vector<std::string>{G("网络原创-A"), G("网络原创-B")}));
    EXPECT_EQ(cut.urls, (std::vector<std::string>{"1", "2"}));

    // With every group closed, all three are listed in page order.
    const std::string whole = kHead + "<div id=\"sub2\"><ul><li>" + FeikuLink(1, "A") + FeikuLink(2, "B") +
                              "</li></ul><ul><li>" + FeikuLink(3, "C") + FeikuLink(4, "D") +
                              "</li></ul><ul><li>" + FeikuLink(5, "E") + FeikuLink(6, "F") + "</li></ul>";
    cut = FeikuCategoryPage(whole);
    EXPECT_EQ(cut.urls, (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(cut.names.back(), G("生活科教-F"));
}

TEST(ReadnovelChapterListPage, NoLinkMarkerLeftEndsTheList) {
    // A quote follows "mulu" but no chapter link does: the cut finds no
    // "<li><a href=" and takes that quote as a link's end; the text from the
    // top of the page must not become a chapter.
    const std::string page = kHead + "<div id=mulu\">" + G("第1章") + "</div>";
    ChapterBatch batch = ReadnovelChapterPage(page);
    EXPECT_TRUE(batch.urls.empty());
    EXPECT_TRUE(batch.titles.empty());

    const std::string listed = kHead + "<div id=mulu\"><ul><li><a href=\"http://r/1.html\">" + G("第1章") +
                               "</a></li><li><a href=\"http://r/2.html\">" + G("第2章") + "</a></li></ul>";
    batch = ReadnovelChapterPage(listed);
    EXPECT_EQ(batch.urls, (std::vector<std::string>{"http://r/1.html", "http://r/2.html"}));
    EXPECT_EQ(batch.titles, (std::vector<std::string>{G("第1章"), G("第2章")}));
}

TEST(ReadnovelChapterListPage, APageCutOffInsideALinkEndsTheList) {
    // No ">" after the last link: its title was cut from the top of the
    // page, the walk went back to the first link and listed the chapters
    // again and again until memory ran out.
    const std::string page = kHead + "<div id=mulu\"><ul><li><a href=\"http://r/1.html\">" + G("第1章") +
                             "</a></li><li><a href=\"http://r/2.html\"";
    ChapterBatch batch = ReadnovelChapterPage(page);
    EXPECT_EQ(batch.urls, (std::vector<std::string>{"http://r/1.html", "http://r/2.html"}));
    EXPECT_EQ(batch.titles, (std::vector<std::string>{G("第1章"), ""}));
}

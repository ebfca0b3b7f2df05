// Chapter pages of 飞库 made of pictures, on crafted pages.
#include "reader/chapter_pages.h"

#include <gtest/gtest.h>

#include "catalogue/sites.h"

using namespace talvenor;

namespace {

const std::string kBase = "http://feiku.example";
// Scrapers search from index 100: a page head without any marker.
const std::string kHead = std::string(120, ' ');

std::string Block(const std::string& inner) {
    return "<div id=\"frontdiv\"><div align=\"center\">" + inner + "</div></div>";
}

}  // namespace

TEST(FeikuChapterPage, PictureBlocksInPageOrder) {
    ReaderPrefs prefs;
    const std::string page =
        kHead + Block("<img src=\"/p/1.gif\">") + Block("<img src=\"http://feiku.example/p/2.gif\">");
    EXPECT_EQ(FeikuChapterPage(page, kBase, prefs),
              "<img src=\"http://feiku.example/p/1.gif\"><img src=\"http://feiku.example/p/2.gif\">");
}

TEST(FeikuChapterPage, ABlockWithoutItsPictureFrameEndsInTheFailureText) {
    // The second marker has no "<div align=\"center\">" after it: the cut
    // falls back to the first "</div>" of the page, which is where the walk
    // already stood.  It must end there rather than add that piece again
    // and again without end.
    ReaderPrefs prefs;
    const std::string page =
        kHead + Block("<img src=\"/p/1.gif\">") + "<div id=\"frontdiv\"><img src=\"/p/2.gif\">";
    EXPECT_EQ(FeikuChapterPage(page, kBase, prefs), G("解码失败，请与软件作者联系"));
}

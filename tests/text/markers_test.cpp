#include "text/markers.h"

#include <gtest/gtest.h>

#include "catalogue/sites.h"

using namespace talvenor;

namespace {

// The plain left-to-right scan FindMarker must agree with.
int PlainFind(const std::string& m, const std::string& t, int from) {
    int n = static_cast<int>(t.size()), len = static_cast<int>(m.size());
    if (from < 0) from = 0;
    if (from > n - 1 || len == 0) return -1;
    for (int p = from; p < n; ++p)
        if (p + len <= n && t.compare(p, len, m) == 0) return p;
    return -1;
}

}  // namespace

TEST(FindMarker, PositionsAndBounds) {
    EXPECT_EQ(FindMarker("b", "abcabc", 0), 1);
    EXPECT_EQ(FindMarker("b", "abcabc", 2), 4);
    EXPECT_EQ(FindMarker("b", "abcabc", 5), -1);
    EXPECT_EQ(FindMarker("b", "abcabc", 6), -1);
    EXPECT_EQ(FindMarker("b", "abcabc", 100), -1);
    EXPECT_EQ(FindMarker("a", "abcabc", -1), 0);
    EXPECT_EQ(FindMarker("a", "", 0), -1);
    EXPECT_EQ(FindMarker("", "abc", 0), -1);
    EXPECT_EQ(FindMarker("cd", "abc", 2), -1);  // would run past the end
    // An occurrence that begins before From is never found, even if it reaches past it.
    EXPECT_EQ(FindMarker("abc", "xabcx", 2), -1);
}

TEST(FindMarker, AgreesWithPlainScanOnGbkText) {
    // Markers made of GBK bytes, searched from every start, including ones
    // whose bytes also occur as halves of other characters.
    std::string text = G("分类目录<li>小说阅读网</li>《书》<a href=\"x\">第1章</a>分类");
    for (const std::string& m : {G("分类"), std::string("<li>"), G("》"), std::string("\xC0\xE0"), std::string("a"),
                                 std::string("</a>分"), std::string("zz")})
        for (int from = -2; from <= static_cast<int>(text.size()) + 1; ++from)
            ASSERT_EQ(FindMarker(m, text, from), PlainFind(m, text, from)) << "from " << from;
}

TEST(FindMarker, AgreesWithPlainScanAcrossLongTexts) {
    // Occurrences near and across the point where the short look-ahead hands
    // over to the long scan, from every start.
    std::string text(900, 'x');
    for (int at : {3, 250, 254, 255, 256, 257, 300, 511, 512, 897}) text.replace(static_cast<size_t>(at), 3, "<a>");
    text.replace(600, 2, "<a");  // a partial marker
    for (const std::string& m : {std::string("<a>"), std::string("x<a"), std::string("xxxx"), std::string("<b>")})
        for (int from = 0; from <= 900; ++from) ASSERT_EQ(FindMarker(m, text, from), PlainFind(m, text, from)) << from;
}

TEST(CutBetween, FoundMissingAndRepeated) {
    const std::string t = "x<a>T</a>y";
    int pos = 0, cs = -5;
    EXPECT_EQ(CutBetween(t, "<a>", "</a>", pos, &cs), "T");
    EXPECT_EQ(cs, 4);
    EXPECT_EQ(pos, 5);
    // Again from the end marker: the start marker is missing, the search for
    // the end starts at length(start) - 1 and finds the same end marker.
    EXPECT_EQ(CutBetween(t, "<a>", "</a>", pos, &cs), "a>T");
    EXPECT_EQ(cs, 2);
    EXPECT_EQ(pos, 5);

    pos = 0;
    EXPECT_EQ(CutBetween("x<a>T", "<a>", "</a>", pos, &cs), "");
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(cs, 4);

    // Equal markers: the end marker is searched only after the start marker.
    pos = 0;
    EXPECT_EQ(CutBetween("a\"b\"c", "\"", "\"", pos), "b");
    EXPECT_EQ(pos, 3);
}

TEST(CutBetween, NeverReadsPastTheText) {
    int pos = 0;
    // Start marker missing and the end marker right where the search starts: nothing between.
    EXPECT_EQ(CutBetween("x]]abc", "[[", "]]", pos), "");
    EXPECT_EQ(pos, 1);
    pos = 50;
    EXPECT_EQ(CutBetween("short", "s", "t", pos), "shor");  // start not found: content starts at 0
    EXPECT_EQ(pos, 4);
    pos = 0;
    EXPECT_EQ(CutBetween("", "a", "b", pos), "");
    EXPECT_EQ(pos, -1);
}

TEST(CutBetween, EmptyMarkersNeverThrow) {
    // An empty start marker is never found: content starts at -1, the end
    // is searched from the start of the text, and the run is clipped to the
    // text, so the piece is everything before the end marker.
    int pos = 7, cs = 0;
    EXPECT_EQ(CutBetween("ab</a>cd</a>", "", "</a>", pos, &cs), "ab");
    EXPECT_EQ(cs, -1);
    EXPECT_EQ(pos, 2);
    pos = 0;
    EXPECT_EQ(CutBetween("</a>x", "", "</a>", pos, &cs), "");  // end marker at the very start
    EXPECT_EQ(pos, 0);
    pos = 0;
    EXPECT_EQ(CutBetween("abc", "", "zz", pos, &cs), "");  // no end marker
    EXPECT_EQ(pos, -1);
    pos = 0;
    EXPECT_EQ(CutBetween("", "", "", pos, &cs), "");
    EXPECT_EQ(pos, -1);
    // An empty end marker is never found either.
    pos = 0;
    EXPECT_EQ(CutBetween("a<b>c", "<b>", "", pos, &cs), "");
    EXPECT_EQ(cs, 4);
    EXPECT_EQ(pos, -1);
}

TEST(StripTags, Cases) {
    auto strip = [](std::string s) {
        StripTags(s);
        return s;
    };
    EXPECT_EQ(strip("a<b>c"), "ac");
    EXPECT_EQ(strip("<<b>x"), "<x");
    EXPECT_EQ(strip("a>b"), "a>b");
    EXPECT_EQ(strip("x<br"), "x<br");
    EXPECT_EQ(strip("1 < 2 > 0"), "1  0");
    EXPECT_EQ(strip("<p><b>"), "");
    EXPECT_EQ(strip(""), "");
    EXPECT_EQ(strip(G("<font color=red>第一章</font> 开始<br>")), G("第一章 开始"));
}

TEST(Cleaners, NbspBlanksAndLinkText) {
    std::string s = "  " + G("第一章") + "&nbsp;&nbsp;" + G("开始") + " ";
    RemoveNbsp(s);
    EXPECT_EQ(s, G("第一章开始"));
    s = "&NBSP;x";
    RemoveNbsp(s);
    EXPECT_EQ(s, "&NBSP;x");
    s = "\r\n\t&nb&nbsp;sp;y\r\n";
    RemoveNbsp(s);
    EXPECT_EQ(s, "y");  // the deletion forms a new "&nbsp;", which goes too

    s = G(" 重 生 之 路 ");
    RemoveBlanks(s);
    EXPECT_EQ(s, G("重生之路"));

    s = " class=\"l14\">" + G("第1章");
    CleanLinkText(s);
    EXPECT_EQ(s, G("第1章"));
    s = "cl ass" + G("章");  // blanks go first, so the letters join into "class"
    CleanLinkText(s);
    EXPECT_EQ(s, G("章"));
}

TEST(Cleaners, CharacterWiseNeverSplitsDoubleByteCharacters) {
    // 乐 is 0xC0 0xD6 in GBK and 乡 is 0xCF 0xE7; a byte-wise search for "l"
    // (0x6C) could never hit them, but a search for their trail bytes could:
    // a word whose bytes straddle two characters must not match.
    std::string text = G("快乐乡");  // bytes: BF EC C0 D6 CF E7
    std::string straddle = text.substr(3, 2);  // D6 CF: end of 乐, start of 乡
    RemoveAll(text, straddle);
    EXPECT_EQ(text, G("快乐乡"));

    std::string t = "aabb";
    RemoveAll(t, "ab");
    EXPECT_EQ(t, "");
    t = "abc";
    RemoveAll(t, "");
    EXPECT_EQ(t, "abc");
    t = G("正文www.xs.com发布正文www.xs.com发布");
    RemoveAll(t, G("www.xs.com发布"));
    EXPECT_EQ(t, G("正文正文"));
}

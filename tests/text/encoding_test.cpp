#include "text/encoding.h"

#include <gtest/gtest.h>

#include "catalogue/sites.h"
#include "text/numbers.h"

using namespace talvenor;

TEST(DecodeUtf8Page, ValidPagesBecomeGbk) {
    EXPECT_EQ(DecodeUtf8Page("<p>\xE5\xB0\x8F\xE8\xAF\xB4</p>"), "<p>" + G("小说") + "</p>");
    EXPECT_EQ(DecodeUtf8Page(""), "");
    EXPECT_EQ(DecodeUtf8Page("\xC5\x91"), "?");  // o with double acute has no GBK form
    // A character outside GBK becomes "?" but the rest of the page survives.
    EXPECT_EQ(DecodeUtf8Page("a\xE0\xB8\x81" "b"), "a?b");  // Thai ko kai
}

TEST(DecodeUtf8Page, AllOrNothing) {
    EXPECT_EQ(DecodeUtf8Page("a\xB0" "b"), "");                 // stray continuation byte
    EXPECT_EQ(DecodeUtf8Page("abc\xE5\xB0"), "");              // cut off inside a three-byte sequence
    EXPECT_EQ(DecodeUtf8Page("abc\xE5"), "");
    EXPECT_EQ(DecodeUtf8Page("a\xF0\x9F\x98\x80" "b"), "");    // four-byte sequence
    EXPECT_EQ(DecodeUtf8Page("a\xE5" "bc"), "");               // continuation not of the form 10xxxxxx
    EXPECT_EQ(DecodeUtf8Page("\xFF"), "");
}

TEST(EncodeUtf8, GbkToUtf8) {
    EXPECT_EQ(EncodeUtf8(G("小说")), "\xE5\xB0\x8F\xE8\xAF\xB4");
    EXPECT_EQ(EncodeUtf8("abc"), "abc");
    EXPECT_EQ(EncodeUtf8(""), "");
    // Round trip through the page decoder.
    std::string gbk = G("重生之都市修仙：第一章 开始《书》");
    EXPECT_EQ(DecodeUtf8Page(EncodeUtf8(gbk)), gbk);
}

TEST(Conversions, LenientAtTheEdges) {
    EXPECT_EQ(Utf8ToGbk("\xE5\xB0\x8F"), "\xD0\xA1");
    EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "a?b");
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
    EXPECT_EQ(GbkToUtf8("\xD0\xA1\xCB"), "\xE5\xB0\x8F?");  // lead byte cut off at the end
    EXPECT_EQ(Utf16ToGbk(GbkToUtf16(G("飞库『书名』"))), G("飞库『书名』"));
}

TEST(PercentEncode, EveryByteAsUpperCaseHex) {
    EXPECT_EQ(PercentEncode("abc"), "%61%62%63");
    EXPECT_EQ(PercentEncode(EncodeUtf8(G("重生"))), "%E9%87%8D%E7%94%9F");
    EXPECT_EQ(PercentEncode(G("重生")), "%D6%D8%C9%FA");
    EXPECT_EQ(PercentEncode(std::string("\x0A", 1)), "%A");  // no leading zero
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(ParseDecimal, OnlyPlainDecimalNumbers) {
    EXPECT_EQ(ParseDecimal("12"), 12);
    EXPECT_EQ(ParseDecimal("  -7"), -7);
    EXPECT_EQ(ParseDecimal("+3"), 3);
    EXPECT_EQ(ParseDecimal("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "abc", "12 ", "1e3", "0x10", "2147483648", "99999999999999999999", "-"})
        EXPECT_THROW(ParseDecimal(bad), ConversionError) << bad;
}

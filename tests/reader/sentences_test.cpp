#include "reader/sentences.h"

#include <gtest/gtest.h>

#include "catalogue/sites.h"
#include "reader/chapter_pages.h"
#include "reader/page_text.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

std::vector<std::string> Spoken(const std::string& utf8) {
    std::vector<std::string> out;
    for (const Sentence& s : SplitSentences(Utf8ToCodePoints(utf8))) out.push_back(s.text);
    return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(SplitSentences, ChineseEndsKeepTheirClosingQuotes) {
    EXPECT_EQ(Spoken("他说：“走吧。”她没有回答！真的吗？是的；好……"),
              (V{"他说：“走吧。”", "她没有回答！", "真的吗？", "是的；", "好……"}));
    EXPECT_EQ(Spoken("「你來了嗎？！」『來了。』"), (V{"「你來了嗎？！」", "『來了。』"}));
    EXPECT_EQ(Spoken("他想‘算了吧。’然后走了"), (V{"他想‘算了吧。’", "然后走了"}));
}

TEST(SplitSentences, WesternEndsAndNumbersStandAsTheyAre) {
    // A point inside a number or an address ends nothing; Latin words and
    // digits go to the engine unchanged.
    EXPECT_EQ(Spoken("He said \"go.\" Then 3.14 and www.xs8.cn stayed. OK!"),
              (V{"He said \"go.\"", "Then 3.14 and www.xs8.cn stayed.", "OK!"}));
    EXPECT_EQ(Spoken("第100章 QQ群123456。"), (V{"第100章 QQ群123456。"}));
}

TEST(SplitSentences, LineBreaksEndSentencesAndSilentPiecesAreDropped) {
    EXPECT_EQ(Spoken("第一章 开始\n\n　　天亮了\n……\n“”\n  。。\n最后"),
              (V{"第一章 开始", "天亮了", "最后"}));
    EXPECT_TRUE(Spoken("").empty());
    EXPECT_TRUE(Spoken(" \n\t　").empty());
}

TEST(SplitSentences, PositionsPointAtTheSentenceInTheText) {
    const std::u32string text = Utf8ToCodePoints("　　甲乙。  丙丁！\n戊");
    const std::vector<Sentence> s = SplitSentences(text);
    ASSERT_EQ(s.size(), 3u);
    for (const Sentence& x : s) EXPECT_EQ(CodePointsToUtf8(text.substr(x.begin, x.end - x.begin)), x.text);
    EXPECT_EQ(s[0].begin, 2u);
    EXPECT_EQ(s[1].begin, 7u);
}

TEST(SplitSentences, LongSentencesAreCutAtCommasWithinTheLimit) {
    // 200 characters with commas every 30: every piece ends on a comma and
    // none passes the limit; put together they are the sentence again.
    std::string clause;
    for (int i = 0; i < 29; ++i) clause += "字";
    clause += "，";
    std::string text;
    for (int i = 0; i < 6; ++i) text += clause;
    text += "完。";
    const std::vector<Sentence> s = SplitSentences(Utf8ToCodePoints(text));
    ASSERT_GE(s.size(), 2u);
    std::string joined;
    for (const Sentence& x : s) {
        EXPECT_LE(Utf8ToCodePoints(x.text).size(), kMaxSentenceChars);
        joined += x.text;
    }
    EXPECT_EQ(joined, text);
    for (size_t i = 0; i + 1 < s.size(); ++i) EXPECT_EQ(s[i].text.substr(s[i].text.size() - 3), "，");
    EXPECT_EQ(Utf8ToCodePoints(s[0].text).size(), 120u);

    // Without a comma the cut falls at the limit; nothing is lost.
    const std::string run(300, 'a');
    const std::vector<Sentence> r = SplitSentences(Utf8ToCodePoints(run));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].text.size(), 120u);
    EXPECT_EQ(r[2].text.size(), 60u);
}

TEST(PageSpeechText, MarkupReferencesAndTheFooterAreNotRead) {
    const std::string page = Utf8ToGbk(
        "<htm><base target=_Blank><body bgcolor=#fff><br><font color=#000><h1>第一章 &amp; 序</h1>"
        "&nbsp;&nbsp;他说&#65306;&ldquo;好<b>的</b>。&rdquo;<br>\r\n第二<!-- 注释。 -->行。<hr>中间<HR />"
        "<a href=http://forum.localhost/>到论坛看看。</a><img src=x></font><body></htm>");
    const std::vector<Sentence> s = SplitSentences(PageSpeechText(page));
    std::vector<std::string> texts;
    for (const Sentence& x : s) texts.push_back(x.text);
    // The last rule starts the footer; an earlier one is part of the chapter.
    EXPECT_EQ(texts, (V{"第一章 & 序", "他说：“好的。”", "第二行。", "中间"}));
}

TEST(PageSpeechText, TheFilterWordsRemovalsAreNotRead) {
    // A chapter as 多玩 serves it, cut by the reader with 过滤 on.
    ReaderPrefs prefs;
    prefs.N25.checked = true;
    prefs.FilterWord = Utf8ToGbk("广告");
    const std::string served = "<html><head><title>" + std::string(120, 'x') +
                               "</title></head><body><div id=\"text\" class=\"typetxt\"><h1>T</h1>"
                               "广告他来了。广告<br>走吧。</div></body></html>";
    const std::string content = DuowanChapterPage(served, prefs);
    ASSERT_NE(content.find(Utf8ToGbk("他来了")), std::string::npos);
    const std::string page = ComposePage(Frame::A, content, prefs, "<a href=x>页脚</a>");
    const std::vector<Sentence> said = SplitSentences(PageSpeechText(page));
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[0].text, "他来了。");
    for (const Sentence& x : said) {
        EXPECT_EQ(x.text.find("广告"), std::string::npos) << x.text;
        EXPECT_EQ(x.text.find("页脚"), std::string::npos) << x.text;
    }
}

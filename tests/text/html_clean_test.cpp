#include "text/html_clean.h"

#include <gtest/gtest.h>

#include "catalogue/sites.h"

using namespace talvenor;

namespace {

// The reader page's frame around a chapter, as composed with the initial
// preferences.
const std::string kBefore = "<htm><base target=_Blank><body><center><table><td width=800><br><h1>T</h1>";
const std::string kAfter = "</td></table><hr><img src=http://counter/cf.aspx></font><body></htm>";

std::string Clean(const std::string& content) {
    return CleanChapterHtml(kBefore, content, kAfter);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

TEST(CleanChapterHtml, ChaptersWithoutActiveMarkupStayByteForByte) {
    const std::string gbk = G("第一章 风起<br>&nbsp;&nbsp;&nbsp;&nbsp;他说：“走吧。”<br><br>");
    const std::vector<std::string> pages = {
        "",
        "plain text, no markup at all & an ampersand",
        gbk,
        // Markup the sites really use: breaks, paragraphs, fonts, pictures,
        // links, tables, comments, entities, upper case, odd spacing.
        "<p>one</p><P>two<BR><br/><br /></br><font color=red size=3>x</font>",
        "<div align=\"center\"><img src=\"http://feiku.localhost/pic/1.gif\" border=0></div>",
        "<a href='http://forum.localhost/'>forum</a><a href=/relative>r</a><!-- ad "
        "--><table><tr><td>c</td></tr></table>",
        "<img src=x alt='a > b'><span style=\"color:#333\">s</span>&lt;script&gt;",
        // A page built for a browser from another age: unclosed tags, stray ends.
        "<b><i>bold italic</b></i></td></table><center>x",
        // GBK whose second bytes are letters ("on" inside a character).
        G("中文字符<br>") + std::string("\x81o\x81n") + "error",
    };
    for (const std::string& page : pages) EXPECT_EQ(Clean(page), page) << page;
}

TEST(CleanChapterHtml, ActiveMarkupGoesAndTheTextStays) {
    struct Case {
        const char* content;
        const char* kept;  // what must still be there
    } cases[] = {
        {"before<script>document.title='x'</script>after", "beforeafter"},
        {"<SCRIPT src=http://evil/x.js></SCRIPT>text", "text"},
        {"a<img src=x onerror=\"document.title='x'\">b", "a<img src=x >b"},
        {"<svg onload=alert(1)><circle r=2 /></svg>text", "<svg ><circle r=2 /></svg>text"},
        {"<iframe src=\"file:///etc/passwd\"></iframe>text", "text"},
        {"<iframe src=file:///etc/passwd>unterminated", ""},
        {"<frameset><frame src=file:///etc/passwd></frameset>text", "</frameset>text"},
        {"<object data=file:///etc/passwd>fallback</object>", "fallback"},
        {"<embed src=http://evil/x.swf>text", "text"},
        {"<applet code=X>old</applet>", "old"},
        {"<meta http-equiv=refresh content=\"0;url=http://evil/\">text", "text"},
        {"<link rel=stylesheet href=file:///etc/passwd>text", "text"},
        {"<base href=http://evil/>text", "text"},
        {"<form action=http://evil/><input name=q></form>text", "<input name=q></form>text"},
        {"<a href=\"javascript:alert(1)\">link</a>", "<a >link</a>"},
        {"<a href=\" JaVa&#x09;ScRiPt:alert(1)\">link</a>", "<a >link</a>"},
        {"<a href=vbscript:msgbox>link</a>", "<a >link</a>"},
        {"<img src=\"data:image/svg+xml,<svg onload=alert(1)>\">text", "<img >text"},
        {"<body onload=alert(1)>text", "text"},
        {"<noscript><img src=x onerror=alert(1)></noscript>text", "<img src=x >text"},
        {"<details open ontoggle=alert(1)>d</details>", "<details open >d</details>"},
        {"<svg><a xlink:href=\"javascript:alert(1)\">x</a><animate attributeName=href to=javascript:alert(1) "
         "/></svg>",
         "<svg><a >x</a></svg>"},
        {"<select><img src=x onerror=alert(1)></select>text", "<select></select>text"},
        {"<img title=\">\" onerror=alert(1)>text", "<img title=\">\" >text"},
    };
    for (const Case& c : cases) {
        const std::string out = Clean(c.content);
        EXPECT_EQ(out, c.kept) << c.content;
        const std::string low = Lower(out);
        for (const char* word :
             {"<script", "onerror", "onload", "ontoggle", "javascript:", "<iframe", "<meta"})
            EXPECT_EQ(low.find(word), std::string::npos) << c.content << " -> " << out;
    }
}

TEST(CleanChapterHtml, MarkupBuiltToReassembleWhenCutIsReadAgain) {
    // "<scr<script>" is one tag of that odd name, to the browser as here.
    EXPECT_EQ(Clean("<scr<script>ipt>x"), "<scr<script>ipt>x");
    EXPECT_EQ(Clean("<<script></script>script>alert(1)<<script></script>/script>x"), "x");
    EXPECT_EQ(Clean("<<script></script>img src=x onerror=alert(1)>"), "<img src=x >");
    EXPECT_EQ(Clean("<img onerror=a onerror=b src=x>"), "<img   src=x>");
    // Nested far deeper than a few rounds: nothing is left to run either way.
    std::string deep = "alert(1)";
    for (int i = 0; i < 12; ++i) deep = "<<script></script>script>" + deep + "<<script></script>/script>";
    const std::string out = Lower(Clean(deep));
    EXPECT_EQ(out.find("<script"), std::string::npos) << out;
}

TEST(CleanChapterHtml, ContentIsReadInThePageAroundIt) {
    // A tag left open at the end of the content closes in the page's frame,
    // as the tag stripping of a book's introduction can leave it.
    EXPECT_EQ(Clean("intro<img src=x onerror=alert(1) x="), "intro<img src=x  x=");
    // The frame itself is the program's: its base and body stay untouched.
    EXPECT_EQ(CleanChapterHtml("<base target=_Blank><body onload=x>", "t", "</font>"), "t");
}

// Text with only line breaks is passed without the parser's reading when
// the frame before it is plain; it must get exactly the parser's answer in
// every frame, and the frames where the parser reads the breaks otherwise
// must still go to the parser.
TEST(CleanChapterHtml, PlainChaptersGetTheParsersAnswerInEveryFrame) {
    const std::vector<std::pair<std::string, std::string>> frames = {
        {kBefore, kAfter},
        // The export's pages, the reader's with a colour and a font, none.
        {"<body bgcolor=#FFFFFF text=#000000><h1>T &amp; \"q\" </h1>",
         "<hr><table><tr><td>f</td></tr></table></font>"},
        {"<htm><body bgcolor=#EEEEEE>", "<hr></font><body></htm>"},
        {"<base target=_Blank><body><center><table><td width=800><br><font color=#112233 Size=4 "
         "face=\"a>b\">",
         "</td></table><hr></font>"},
        {"", ""},
        // Frames after which the parser takes the breaks for text, drops
        // them, or reads them inside a tag.
        {"<body><select>", "</select>"},
        {"<body><textarea>", "</textarea>"},
        {"<body><!-- ", " -->"},
        {"<body><svg>", "</svg>"},
        {"<frameset>", ""},
        {"<body></body>", ""},
        {"<body><font face=\"", "\">"},
        {"<body><div title=x", ">"},
        {"<body><script>", "</script>"},
        {"<body><title>", "</title>"},
    };
    const std::vector<std::string> contents = {
        G("　　第一章 风起<br>\r\n　　他说：“走吧。”<br />\r\n<br/>"),
        "<P>one</P><BR>two &amp; \"three\" > four = five<Br /></p>",
        std::string("a<br>\0b<p>c", 11),
        // Near misses: no plain break, so the parser reads them.
        "x<br\x0f>y<br/ >z",
        "<br onmouseover=alert(1)>t",
        "<p class=x>t</p><br",
    };
    int differs = 0;
    for (const auto& [before, after] : frames) {
        for (const std::string& content : contents) {
            const std::string parsed = CleanChapterHtmlParsed(before, content, after);
            EXPECT_EQ(CleanChapterHtml(before, content, after), parsed) << before << " | " << content;
            if (parsed != content) ++differs;
        }
    }
    // A select drops the breaks, which then go; the near misses are cleaned.
    EXPECT_EQ(CleanChapterHtml("<body><select>", "a<br>b", "</select>"), "ab");
    EXPECT_EQ(CleanChapterHtml(kBefore, "<br onmouseover=alert(1)>t", kAfter), "<br >t");
    EXPECT_GT(differs, 0);
}

TEST(CleanChapterHtml, HugeOrDeeplyNestedPagesEndAsText) {
    std::string deep;
    for (int i = 0; i < 60000; ++i) deep += "<div>";
    deep += "text<script>alert(1)</script>";
    const std::string out = Clean(deep);
    EXPECT_EQ(Lower(out).find("<script"), std::string::npos);
    EXPECT_NE(out.find("text"), std::string::npos);
    std::string many, expected;
    for (int i = 0; i < 120000; ++i) {
        many += "<b>";
        expected += "&lt;b>";
    }
    EXPECT_EQ(Clean(many + "<script>"), expected + "&lt;script>");
}

TEST(EscapePageText, TitlesOpenNoElement) {
    EXPECT_EQ(EscapePageText(G("第1章 <img src=x onerror=alert(1)>")),
              G("第1章 &lt;img src=x onerror=alert(1)&gt;"));
    EXPECT_EQ(EscapePageText("A&amp;B &nbsp;"), "A&amp;B &nbsp;");
}

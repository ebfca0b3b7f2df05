#include "reader/page_text.h"

#include <gtest/gtest.h>

#include "reader/reader_form.h"

using namespace talvenor;

namespace {

ReaderPrefs WithSpacing(int ticked) {
    ReaderPrefs p;
    p.NB0.checked = ticked == 0;
    p.Nb1.checked = ticked == 1;
    p.Nb2.checked = ticked == 2;
    p.Nb3.checked = ticked == 3;
    return p;
}

std::string Spaced(std::string text, int ticked) {
    AddParagraphSpacing(text, WithSpacing(ticked));
    return text;
}

}  // namespace

TEST(AddParagraphSpacing, EachSpacingItem) {
    EXPECT_EQ(Spaced("a<br>b<BR>c<br/>d", 2), "a<br><br><br>b<BR>c<br/><br><br>d");
    EXPECT_EQ(Spaced("a<br>b", 0), "a<br>b");
    EXPECT_EQ(Spaced("a<br>b", 1), "a<br><br>b");
    EXPECT_EQ(Spaced("a<br>b", 3), "a<br><br><br><br>b");
    EXPECT_EQ(Spaced("a<br>b", -1), "a<br><br>b");  // nothing ticked keeps one
}

TEST(AddParagraphSpacing, WhichTagsCount) {
    EXPECT_EQ(Spaced("<br />x", 1), "<br /><br>x");
    EXPECT_EQ(Spaced("</br>x", 1), "</br><br>x");
    EXPECT_EQ(Spaced("< b r >x", 1), "< b r ><br>x");
    EXPECT_EQ(Spaced("<br class=x>y<b>z<body>", 1), "<br class=x>y<b>z<body>");
    EXPECT_EQ(Spaced("x<br>", 1), "x<br><br>");  // a break at the very end
    EXPECT_EQ(Spaced("<", 1), "<");
    EXPECT_EQ(Spaced("", 1), "");
    // The inserted breaks are not scanned again.
    EXPECT_EQ(Spaced("<br><br>", 1), "<br><br><br><br>");
}

TEST(ComposePage, FramesWithInitialPreferences) {
    ReaderPrefs p;
    EXPECT_EQ(ComposePage(Frame::B, "abc", p, "<img src=x>"),
              "<base target=_Blank><body><center><table><td width=800><br>abc</td></table><hr><img src=x></font>");
    EXPECT_EQ(ComposePage(Frame::A, "abc", p, ""),
              "<htm><base target=_Blank><body><center><table><td width=800><br>abc</td></table><hr></font><body></htm>");
}

TEST(ComposePage, ColourAndSizeOpenFontElements) {
    ReaderPrefs p;
    p.TextColorAttr = "><font color=#000000";
    p.FontSizeAttr = " Size=5";
    p.BackgroundAttr = " bgcolor=#FF0000";
    std::string page = ComposePage(Frame::B, "x", p, "");
    EXPECT_EQ(page,
              "<base target=_Blank><body bgcolor=#FF0000><font color=#000000 Size=5><center><table><td width=800>"
              "<br><font color=#000000 Size=5>x</td></table><hr></font>");
}

TEST(ImageBaseName, Cases) {
    EXPECT_EQ(ImageBaseName("http://h/pics/abc.jpg"), "abc");
    EXPECT_EQ(ImageBaseName("y.jpg"), "y");
    EXPECT_EQ(ImageBaseName("http://h/a.b/c"), "a");  // the last "." decides
    EXPECT_EQ(ImageBaseName("noextension"), "");
    EXPECT_EQ(ImageBaseName("a/b/.gif"), "");
}

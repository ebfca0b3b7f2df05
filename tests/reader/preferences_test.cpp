// The reader's preference menu and "FontAndColor.web": what the commands do to
// the page, and what a short or damaged file leaves.
#include <gtest/gtest.h>

#include <map>

#include "reader_hooks.h"

using namespace talvenor;

namespace {

class Preferences : public ::testing::Test, public LocalReader {
  protected:
    ReaderPrefs& p() { return f2().prefs; }
    std::string File() { return paths.setDir + "FontAndColor.web"; }
    // The file as the program writes it, with some lines (1-based) replaced
    // and cut to `size` lines.
    StringList Written(const std::map<int, std::string>& lines = {}, size_t size = 15) {
        StringList l = {
            " bgcolor=#112233",      "><font color=#445566", " Size=5",    " face=Kai", "3",   "1",
            "<table><td width=900>", "</td></table>",        G("3倍间距"), "7",         "250", G("静音"),
            G("页面百变效果"),       G("显示目录"),          G("显示标签")};
        for (const auto& [n, text] : lines) l[static_cast<size_t>(n - 1)] = text;
        l.resize(size);
        return l;
    }
    void StartWith(const StringList& file) {
        SaveList(File(), file);
        StartReader();
    }
    void Width(const std::string& text) {
        desktop.promptAnswers = {{true, text}};
        f2().N29Click();
    }
};

}  // namespace

TEST_F(Preferences, CommandsChangeThePageShownAgain) {
    f2().ListBox1.Select(1);
    desktop.colorAnswers = {0xFF0000, 0x0000FF};
    f2().N2Click(p().N2);
    EXPECT_EQ(hooks.shown.rfind("<base target=_Blank><body bgcolor=#FF0000><center>", 0), 0u);
    f2().N2Click(p().N3);
    EXPECT_EQ(p().TextColorAttr, "><font color=#0000FF");
    f2().N71Click(p().N71);
    EXPECT_NE(hooks.shown.find("<br><font color=#0000FF Size=7>"), std::string::npos);
    EXPECT_TRUE(p().N71.checked && !p().N6.checked);
    f2().N71Click(p().N6);
    EXPECT_EQ(p().FontSizeAttr, "");
    EXPECT_TRUE(p().N6.checked && !p().N71.checked);

    // Through the menu, as the window runs it: spacing shown at once; a
    // command that fails is shown as the general handler shows it.
    std::vector<MenuNode> menu = f2().PopupMenu1();
    ASSERT_EQ(menu[3].name, "N28");
    menu[3].children[2].click();  // 2倍间距
    EXPECT_NE(hooks.shown.find("text1<br><br><br>more"), std::string::npos);
    EXPECT_TRUE(p().Nb2.checked && !p().Nb1.checked);
    f2().setTextZoom = [](int) { throw std::runtime_error("zoom refused"); };
    ASSERT_EQ(menu[6].name, "N1");
    menu[6].children[0].click();
    EXPECT_EQ(desktop.messages, StringList{"zoom refused"});
    // A failing page-turn effect ends in ShowChapter's guard: an empty page.
    f2().showEffect = [](int) { throw std::runtime_error("no picture"); };
    f2().N26Click();
    f2().pReNewClick();
    EXPECT_EQ(hooks.shown, "about:blank");
    EXPECT_EQ(hooks.stops, 6);

    // The filter prompt: a cancel unticks it and keeps the word; no re-show.
    desktop.promptAnswers = {{true, G("广告")}, {false, G("别的")}};
    f2().N25Click();
    EXPECT_TRUE(p().N25.checked);
    f2().N25Click();
    EXPECT_FALSE(p().N25.checked);
    EXPECT_EQ(p().FilterWord, G("广告"));
    EXPECT_EQ(hooks.stops, 6);
}

TEST_F(Preferences, AlignmentAndPageWidth) {
    f2().N_duiqi(p().NLeftDui);
    Width("1000");
    EXPECT_EQ(p().PagePrefix, "<table><td width=1000>");
    f2().N_duiqi(p().NCenterDui);
    EXPECT_EQ(p().PagePrefix, "<center><table><td width=1000>");
    f2().N30Click();
    EXPECT_EQ(p().PagePrefix, "<center><table><td>");

    // Below 500 the 800-pixel question: "No" keeps the column, "Yes" takes it.
    Width("1000");
    desktop.answers = {false, true};
    Width("300");
    EXPECT_EQ(desktop.asked.back(), G("提醒") + "|" + G("你设置的数值小于800像素。确定？点击“否”取消"));
    EXPECT_EQ(p().PagePrefix, "<center><table><td width=1000>");
    Width("300");
    EXPECT_EQ(p().PagePrefix, "<center><table><td width=300>");
    Width("600");
    EXPECT_EQ(desktop.asked.size(), 2u);
    Width("-5");
    EXPECT_EQ(p().PagePrefix, "<center><table><td width=500>");
    Width("abc");
    EXPECT_EQ(p().PagePrefix, "<center>");
    EXPECT_EQ(p().PageSuffix, "</td></table>");
}

TEST_F(Preferences, TheFileComesBackInTheNextRun) {
    desktop.colorAnswers = {0x123456};
    f2().N2Click(p().N2);
    f2().DuanJuClick(p().NB0);
    f2().N26Click();
    f2().N20Click();
    f2().ToggleMarkList();
    desktop.promptAnswers = {{true, "9"}, {true, "120"}};
    f2().N17Click();
    f2().N18Click();
    f2().FormClose();
    EXPECT_EQ(LoadList(File()),
              (StringList{" bgcolor=#123456", "", "", "", "2", "0", "<center><table><td width=800>",
                          "</td></table>", G("0倍间距"), "9", "120", G("静音"), G("普通翻页效果"),
                          G("隐藏目录"), G("显示标签")}));

    StartWith(Written());
    EXPECT_EQ(p().Attributes(), " bgcolor=#112233><font color=#445566 Size=5 face=Kai");
    EXPECT_TRUE(f2().Panel2AtBottom);
    EXPECT_EQ(p().PagePrefix, "<table><td width=900>");
    EXPECT_TRUE(p().Nb3.checked && p().N20.checked && p().N24.checked);
    EXPECT_EQ(p().ScrollInterval, 250);
    EXPECT_FALSE(f2().Panel1.visible);
    EXPECT_TRUE(f2().ListBoxMark.visible && !f2().ListBox1.visible);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(Preferences, ShortEmptyAndDamagedFiles) {
    StartWith(Written({}, 4));
    EXPECT_EQ(p().BackgroundAttr, "");
    // Five lines: no bar position to read; fourteen: the first six only.
    StartWith(Written({}, 5));
    EXPECT_EQ(p().FontFaceAttr, " face=Kai");
    EXPECT_FALSE(f2().Panel2AtBottom);
    StartWith(Written({}, 14));
    EXPECT_TRUE(f2().Panel2AtBottom);
    EXPECT_EQ(p().PagePrefix, "<center><table><td width=800>");
    EXPECT_TRUE(desktop.messages.empty());

    // A number line that holds none: the conversion error, what came before kept.
    StartWith(Written({{5, "abc"}}));
    EXPECT_EQ(desktop.messages, StringList{"'abc' " + G("不是有效的整数值")});
    EXPECT_EQ(p().FontFaceAttr, " face=Kai");
    EXPECT_EQ(f2().Panel2.Tag, 0);
    EXPECT_TRUE(f2().Memo1.Empty());
    StartWith(Written({{11, "fast"}}));
    EXPECT_EQ(desktop.messages.size(), 2u);
    EXPECT_TRUE(p().Nb3.checked);
    EXPECT_EQ(p().ScrollStep, 7);
    EXPECT_EQ(p().ScrollInterval, 800);
    EXPECT_FALSE(p().N20.checked);

    // A bar position other than 0 and 1 freezes the bar at the top; no
    // effect ticked turns pages as the normal effect does.
    StartWith(Written({{6, "2"}, {13, ""}}));
    f2().N8Click();
    EXPECT_EQ(f2().Panel2.Tag, 2);
    EXPECT_FALSE(f2().Panel2AtBottom);
    f2().ListBox1Click();
    EXPECT_EQ(hooks.effects, std::vector<int>{15});
}

TEST_F(Preferences, WhatClosingWrites) {
    StartWith(Written());
    SaveList(paths.setDir + "AutoMark", {"x"});
    f2().N14Click();  // 退出时不修改自动标签
    f2().N8Click();
    f2().FormClose();
    EXPECT_EQ(LoadList(File()), Written());
    EXPECT_EQ(LoadList(paths.setDir + "AutoMark"), StringList{"x"});
    EXPECT_FALSE(FileExists(paths.setDir + "default.1"));
    EXPECT_TRUE(f1().window.visible);

    // A file that cannot be written is reported; the catalogue still comes back.
    StartReader();
    RemoveFile(File());
    MakeDirs(File());
    f2().FormClose();
    EXPECT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(FileExists(paths.setDir + "default.3"));
    EXPECT_TRUE(f1().window.visible);
    EXPECT_FALSE(f2().window.visible);
}

// The reader's keys, buttons, auto-scroll and page-turn effects, driven as the
// window drives them.
#include <gtest/gtest.h>

#include "net/site_hosts.h"
#include "reader_hooks.h"

using namespace talvenor;

namespace {

class ReaderControls : public ::testing::Test, public LocalReader {
  protected:
    void Key(ReaderKey key) { EXPECT_TRUE(f2().FormKeyDown(key)); }
};

}  // namespace

TEST_F(ReaderControls, KeysRunTheirActions) {
    EXPECT_FALSE(f2().FormKeyDown(static_cast<ReaderKey>('A')));
    Key(ReaderKey::F12);
    EXPECT_TRUE(Shows(chapters - 1));
    Key(ReaderKey::F1);
    EXPECT_TRUE(Shows(0));
    // The mark list in place of the chapter list, and back with the left
    // panel shown again although F8 had hidden it.
    Key(ReaderKey::M);
    EXPECT_TRUE(f2().ListBoxMark.visible && !f2().ListBox1.visible);
    Key(ReaderKey::F8);
    Key(ReaderKey::M);
    EXPECT_TRUE(f2().ListBox1.visible && f2().Panel1.visible);
    Key(ReaderKey::F3);
    EXPECT_EQ(desktop.openedUrls, StringList{Hosts().forum});
    Key(ReaderKey::F2);
    Key(ReaderKey::Esc);
    EXPECT_FALSE(f2().window.visible);
    EXPECT_TRUE(f1().window.visible);
    EXPECT_TRUE(f2().ScrollStopped);  // closing stopped the scroll
    EXPECT_EQ(f2().prefs.N16.caption, G("滚屏"));
}

TEST_F(ReaderControls, ButtonsFooterSplitterAndTheFailureGuard) {
    // An empty list: nothing shown, no sound, and the buttons stay refused
    // until a chapter is shown (the style is set all the same).
    const StringList titles = f2().ListBox1.items, urls = f2().PageUrlList.items;
    f2().ListBox1.Clear();
    f2().goOnClick(f2().BtnNext);
    f2().pReNewClick();
    EXPECT_EQ(hooks.displays + hooks.stops + desktop.sounds, 0);
    f2().goOnClick(f2().BtnBack);
    EXPECT_EQ(f2().PicShow1Style, 14);
    f2().ListBox1.Assign(titles);
    f2().PageUrlList.Assign(urls);
    f2().GoToEnd(true);
    EXPECT_FALSE(f2().PageTurnBusy);
    f2().goOnClick(f2().BtnNext);  // past the end: the first chapter
    EXPECT_TRUE(Shows(0));
    EXPECT_EQ(desktop.sounds, 2);

    // The counter footer comes back on every sixth display.
    const std::string footer = f1().PageFooter;
    ASSERT_FALSE(footer.empty());
    f1().PageFooter = "changed";
    while (f2().ChapterViews != 5) f2().ListBox1Click();
    EXPECT_NE(hooks.shown.find("changed"), std::string::npos);
    f2().ListBox1Click();
    EXPECT_NE(hooks.shown.find(footer), std::string::npos);

    f2().Splitter1Moved(40);
    EXPECT_EQ(f2().Panel1Width, 100);

    // An open request whose chapter is no number: an empty page, the list
    // keeps its selection, and the request does not block the next change.
    f2().ListBox1.Select(3);
    f2().PopMark_open.tag = 1;
    f2().ChapterIndex = "x";
    const int sounds = desktop.sounds;
    f2().ListBox1Click();
    EXPECT_EQ(hooks.shown, "about:blank");
    EXPECT_EQ(f2().ListBox1.itemIndex, 3);
    EXPECT_EQ(desktop.sounds, sounds);
    f2().ListBox1Click();
    EXPECT_TRUE(Shows(3));
}

TEST_F(ReaderControls, AutoScroll) {
    // Created running; the first tick finds the scroll off and stops it.
    EXPECT_TRUE(f2().Timer1.enabled);
    f2().Timer1Timer();
    EXPECT_FALSE(f2().Timer1.enabled);

    f2().N16Click();
    EXPECT_EQ(f2().prefs.N16.caption, G("停止滚屏"));
    EXPECT_EQ(f2().Timer1.interval, 800);
    f2().Timer1Timer();  // no page yet: nothing
    hooks.metrics = {{500, 0, 2000}};
    f2().Timer1Timer();
    hooks.metrics = {{500, 1500, 2000}};  // the end is visible: hold still
    f2().Timer1Timer();
    EXPECT_EQ(hooks.scrolls, (std::vector<std::pair<int, int>>{{0, 3}}));

    // The speed takes effect at the next start; text that is no number changes nothing.
    desktop.promptAnswers = {{true, "200"}, {true, "abc"}, {true, "-4"}};
    f2().N18Click();
    EXPECT_EQ(f2().Timer1.interval, 800);
    f2().N17Click();
    EXPECT_EQ(f2().prefs.ScrollStep, 3);
    f2().N17Click();
    f2().N16Click();
    EXPECT_FALSE(f2().Timer1.enabled);
    f2().N16Click();
    EXPECT_EQ(f2().Timer1.interval, 200);

    // Closing stops it and keeps the step and speed.
    f2().GoToEnd(false);
    f2().FormClose();
    EXPECT_EQ(f2().prefs.N16.caption, G("滚屏"));
    EXPECT_FALSE(f2().Timer1.enabled);
    const StringList saved = LoadList(paths.setDir + "FontAndColor.web");
    EXPECT_EQ(saved.at(9), "-4");
    EXPECT_EQ(saved.at(10), "200");
}

TEST_F(ReaderControls, PageTurnEffects) {
    f2().GoToEnd(false);
    EXPECT_EQ(hooks.displays, 1);
    EXPECT_TRUE(hooks.effects.empty());  // no effect: the page is loaded directly

    // The varied effect counts through the styles; other modes keep the count.
    f2().N24Click();
    for (int i = 0; i < 3; ++i) f2().pReNewClick();
    f2().N26Click();
    f2().pReNewClick();
    f2().N24Click();
    f2().goOnClick(f2().BtnNext);
    f2().N26Click();
    f2().goOnClick(f2().BtnNext);
    f2().goOnClick(f2().BtnBack);
    EXPECT_EQ(hooks.effects, (std::vector<int>{0, 1, 2, 2, 3, 15, 14}));

    // The 173rd page of the varied effect starts again at style 0.
    f2().N24Click();
    hooks.effects.clear();
    for (int page = 5; page <= 173; ++page) f2().DisplayPage();
    EXPECT_EQ(hooks.effects[hooks.effects.size() - 2], 171);
    EXPECT_EQ(hooks.effects.back(), 0);
}

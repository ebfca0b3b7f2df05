#include "catalogue/sites.h"

#include <gtest/gtest.h>

using namespace talvenor;

TEST(Sites, TableOfLabelsNumbersTagsAndModes) {
    EXPECT_EQ(SiteOfLabel(G("多玩")), Site::Duowan);
    EXPECT_EQ(SiteOfLabel(G("小说520")), Site::S520);
    EXPECT_EQ(SiteOfLabel(""), Site::None);
    EXPECT_EQ(SiteOfLabel(G("多玩 ")), Site::None);  // compared for equality
    EXPECT_EQ(ChapterListModeOf(G("多玩")), 1);
    EXPECT_EQ(ChapterListModeOf(G("小说阅读网")), 2);
    EXPECT_EQ(ChapterListModeOf(G("言情小说吧")), 3);
    EXPECT_EQ(ChapterListModeOf(G("飞库")), 4);
    EXPECT_EQ(ChapterListModeOf(G("小说520")), 5);
    EXPECT_EQ(ChapterListModeOf("other"), 0);
    EXPECT_EQ(LabelOfSiteNumber(1), G("多玩"));
    EXPECT_EQ(LabelOfSiteNumber(2), G("小说阅读网"));
    EXPECT_EQ(LabelOfSiteNumber(3), G("言情小说吧"));
    EXPECT_EQ(LabelOfSiteNumber(4), G("飞库"));
    EXPECT_EQ(LabelOfSiteNumber(0), "");
    EXPECT_EQ(LabelOfSiteNumber(5), "");
    EXPECT_STREQ(InfoOf(Site::Feiku).tag, "[feiku]");
    EXPECT_STREQ(InfoOf(Site::Feiku).menuCaption, "*飞库手机电子书");
}

TEST(Sites, TitleOfEntry) {
    EXPECT_EQ(TitleOfEntry(G("飞库"), G("状态:【连载】更新时间：【2010】书名：『某书』作者：【某人】")), G("某书"));
    EXPECT_EQ(TitleOfEntry(G("小说阅读网"), G("《某书》")), G("某书"));
    EXPECT_EQ(TitleOfEntry(G("多玩"), G("某书 作者")), G("某书 作者"));        // no 《》: whole line
    EXPECT_EQ(TitleOfEntry(G("多玩"), G("《某书 作者")), G("《某书 作者"));   // only one bracket
    EXPECT_EQ(TitleOfEntry(G("飞库"), G("『甲』乙『丙』")), G("甲"));
    EXPECT_EQ(TitleOfEntry(G("飞库"), G("没有书名号")), G("没有书名号"));
}

TEST(Sites, StatusText) {
    EXPECT_EQ(StatusText(0), G("total: 0 本"));
    EXPECT_EQ(StatusText(12345), G("total: 12345 本"));
}

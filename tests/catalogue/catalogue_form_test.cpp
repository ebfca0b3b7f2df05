#include "catalogue/catalogue_form.h"

#include <gtest/gtest.h>

#include "net/site_hosts.h"
#include "support/closed_port.h"
#include "support/hosts_guard.h"
#include "support/program_fixture.h"

using namespace talvenor;

namespace {

class CatalogueForm : public ::testing::Test, public ProgramFixture {
  protected:
    // 多玩 with two categories, the first holding three books.
    void StoreDuowan() {
        Store("多玩", "fenlei.ml", {"所有分类", "玄幻"});
        Store("多玩", "fenlei.ml.list", {"http://a/all_1.html", "http://a/xh_1.html"});
        Store("多玩", "所有分类.ml", {"《重生之都市》", "《穿越重生记》", "《穿越时空》"});
        Store("多玩", "所有分类.ml.list", {"b/1/", "b/2/", "b/3/"});
    }
    void WriteState(const std::vector<std::string>& lines) {
        SaveList(paths.setDir + "default.0", Gbk(lines));
    }
};

}  // namespace

TEST_F(CatalogueForm, FirstStartCreatesFoldersAndShowsNothing) {
    std::filesystem::remove_all(paths.setDir);
    std::filesystem::remove_all(paths.seeDir);
    Start();
    EXPECT_TRUE(DirExists(paths.setDir));
    EXPECT_TRUE(DirExists(paths.seeDir));
    EXPECT_EQ(f1().CurrentSite, "");
    EXPECT_TRUE(f1().ListBox1.Empty());
    EXPECT_TRUE(f1().ListBox2.Empty());
}

TEST_F(CatalogueForm, StateFileRestoresTheLastSiteAndItsFirstCategory) {
    StoreDuowan();
    WriteState({"多玩", "玄幻.ml", "玄幻.ml.list", "1"});
    Start();
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_EQ(f1().Tag, 1);
    EXPECT_EQ(f1().ListBox1.Count(), 2);
    EXPECT_EQ(f1().ListBox1.itemIndex, 0);  // lines 2 and 3 are never read back
    EXPECT_EQ(f1().fenleiURLList.itemIndex, 0);
    EXPECT_EQ(f1().ListBox2.Count(), 3);
    EXPECT_EQ(f1().ListBox2.itemIndex, 0);
    EXPECT_EQ(f1().BookURLList.items[2], "b/3/");
    EXPECT_EQ(f1().PanelStatus, G("total: 3 本"));
}

TEST_F(CatalogueForm, BrokenStateFilesEmptyTheListsSilently) {
    StoreDuowan();
    for (auto lines : std::vector<std::vector<std::string>>{{"多玩", "a.ml", "a.ml.list"},
                                                            {"多玩", "a.ml", "a.ml.list", "abc"}}) {
        WriteState(lines);
        Start();
        EXPECT_EQ(f1().CurrentSite, G("多玩"));  // line 1 was taken before the failure
        EXPECT_TRUE(f1().ListBox1.Empty());
        EXPECT_TRUE(f1().ListBox2.Empty());
        EXPECT_TRUE(desktop.messages.empty());
        program.reset();
    }
    WriteState({});
    Start();
    EXPECT_EQ(f1().CurrentSite, "");
}

TEST_F(CatalogueForm, SavingTheStateWritesBackWhatIsShown) {
    StoreDuowan();
    WriteState({"多玩", "x", "x", "1"});
    Start();
    f1().ListBox1.Select(1);
    f1().ListBox1Click();  // 玄幻 has no book file yet: empty list
    EXPECT_EQ(f1().PanelStatus, G("total: 0 本"));
    f1().ListBox2.Add(G("《新书》"));
    f1().BookURLList.Add("b/9/");
    f1().FormClose();
    EXPECT_EQ(LoadList(paths.setDir + "default.0"), Gbk({"多玩", "玄幻.ml", "玄幻.ml.list", "1"}));
    EXPECT_EQ(Stored("多玩", "fenlei.ml"), Gbk({"所有分类", "玄幻"}));
    EXPECT_EQ(Stored("多玩", "玄幻.ml"), Gbk({"《新书》"}));
    EXPECT_EQ(Stored("多玩", "玄幻.ml.list"), StringList{"b/9/"});

    // An existing book file is never overwritten by the state save.
    f1().ListBox2.Add(G("《又一本》"));
    f1().BookURLList.Add("b/10/");
    f1().SaveWindowState();
    EXPECT_EQ(Stored("多玩", "玄幻.ml").size(), 1u);
}

TEST_F(CatalogueForm, NothingIsSavedFor520OrWhileSearching) {
    Start();
    f1().CurrentSite = G("小说520");
    f1().ListBox1.Add("x");
    f1().SaveWindowState();
    EXPECT_FALSE(FileExists(paths.setDir + "default.0"));
    f1().CurrentSite = G("多玩");
    f1().PanelLeft2Visible = true;
    f1().SaveWindowState();
    EXPECT_FALSE(FileExists(paths.setDir + "default.0"));
    f1().PanelLeft2Visible = false;
    f1().ListBox1.Clear();
    f1().SaveWindowState();  // no category: nothing written
    EXPECT_FALSE(FileExists(paths.setDir + "default.0"));
}

TEST_F(CatalogueForm, Xs8KeepsNoCategoryUrlFile) {
    Store("言情小说吧", "fenlei.ml", {"5000"});
    Store("言情小说吧", "5000.ml", {"书\t\t\t【x】"});
    Store("言情小说吧", "5000.ml.list", {"123"});
    WriteState({"言情小说吧", "5000.ml", "5000.ml.list", "3"});
    Start();
    EXPECT_EQ(f1().ListBox2.Count(), 1);
    f1().FormClose();
    EXPECT_FALSE(FileExists(SiteFilePath(paths.appDir, G("言情小说吧"), "fenlei.ml.list")));
}

TEST_F(CatalogueForm, EmptyCategoryFileCountsAsNotLoaded) {
    Store("多玩", "fenlei.ml", {});
    Store("多玩", "fenlei.ml.list", {});
    Start();
    f1().CurrentSite = G("多玩");
    f1().ListBox2.Assign({"a", "b"});
    f1().ListBox2.Select(1);
    EXPECT_FALSE(f1().LoadCategories());
    EXPECT_EQ(f1().ListBox2.itemIndex, 1);  // the book selection is left as it was
}

TEST_F(CatalogueForm, FilterByKeywords) {
    StoreDuowan();
    Store("多玩", "所有分类.ml", {"《重生之都市》", "《穿越重生记》", "《穿越时空》", "《重生穿越》"});
    Store("多玩", "所有分类.ml.list", {"b/1/", "b/2/", "b/3/", "b/4/"});
    WriteState({"多玩", "x", "x", "1"});
    Start();
    auto filter = [&](const char* text) {
        desktop.promptAnswers.push_back({true, G(text)});
        f1().Panel5Click();
    };
    filter("穿越 重生");
    EXPECT_EQ(f1().PBtnLvTag, 1);
    EXPECT_EQ(f1().PBtnLvCaption, G("取消筛选"));
    EXPECT_EQ(f1().ListBox3.items, Gbk({"《穿越重生记》", "《重生穿越》"}));
    EXPECT_EQ(f1().shxList.items, (StringList{"b/2/", "b/4/"}));
    EXPECT_TRUE(f1().ListBox3.visible);
    EXPECT_FALSE(f1().ListBox2.visible);
    EXPECT_EQ(f1().PanelStatus, G("total: 4 本"));  // still counts the full list
    EXPECT_EQ(program->LastKeyword, G("穿越 重生"));

    f1().Panel5Click();  // off again
    EXPECT_EQ(f1().PBtnLvTag, 0);
    EXPECT_TRUE(f1().ListBox3.Empty());
    EXPECT_EQ(f1().ListBox2.Count(), 4);
    EXPECT_TRUE(f1().ListBox2.visible);

    filter("重生");
    EXPECT_EQ(f1().ListBox3.Count(), 3);
    f1().Panel5Click();
    filter("重生  穿越");  // two blanks: an empty keyword matches nothing
    EXPECT_EQ(f1().PBtnLvTag, 1);
    EXPECT_TRUE(f1().ListBox3.Empty());
    f1().Panel5Click();

    desktop.promptAnswers.push_back({false, ""});
    f1().Panel5Click();  // cancelled: stays off, and the prompt started with the last keyword
    EXPECT_EQ(f1().PBtnLvTag, 0);
    EXPECT_NE(desktop.prompts.back().find(G("重生  穿越")), std::string::npos);
    filter("");
    EXPECT_EQ(f1().PBtnLvTag, 0);
}

TEST_F(CatalogueForm, OpeningABookHandsKeyAndTitleToTheReader) {
    StoreDuowan();
    WriteState({"多玩", "x", "x", "1"});
    Start();
    desktop.promptAnswers.push_back({true, G("穿越")});
    f1().Panel5Click();
    f1().ListBox3.Select(1);
    f1().PanelOpenClick();
    program->StopAllWorkers();
    EXPECT_EQ(f2().BookUrl, "b/3/");  // the key of the filtered entry
    EXPECT_EQ(f2().TheMark.BookTitle, G("穿越时空"));
    EXPECT_EQ(f2().TheMark.OpenMode, -2);
    EXPECT_FALSE(f1().window.visible);
    EXPECT_TRUE(f4().window.visible);
    EXPECT_EQ(f4().Tag, 0);
    EXPECT_EQ(program->TrayWindow.load(), kTrayProgress);
    EXPECT_EQ(program->CurrentWorker->Mode, 1);
}

TEST_F(CatalogueForm, SiteTagsSelectTheSite) {
    Start();
    f1().CurrentSite = G("多玩");
    f1().ListBox2.Assign({G("『某书』作者"), G("《书二》"), G("没有书名号")});
    f1().BookURLList.Assign({"[feiku]12345", "x[520]a/b/[rdn]77", "[xs8]9"});
    f1().OpenBook(0);
    program->StopAllWorkers();
    EXPECT_EQ(f1().CurrentSite, G("飞库"));
    EXPECT_EQ(f2().BookUrl, "12345");
    EXPECT_EQ(f2().TheMark.BookTitle, G("某书"));
    EXPECT_EQ(program->CurrentWorker->Mode, 4);

    f1().OpenBook(1);  // the later tag wins, working on the shortened key
    program->StopAllWorkers();
    EXPECT_EQ(f1().CurrentSite, G("小说阅读网"));
    EXPECT_EQ(f2().BookUrl, "77");
    EXPECT_EQ(f2().TheMark.BookTitle, G("书二"));

    f1().OpenBook(2);
    program->StopAllWorkers();
    EXPECT_EQ(f1().CurrentSite, G("言情小说吧"));
    EXPECT_EQ(f2().TheMark.BookTitle, G("没有书名号"));

    f1().OpenBook(-1);  // nothing selected: nothing happens
    f1().OpenBook(7);   // past the end (lists out of step): nothing happens
    EXPECT_EQ(f2().BookUrl, "9");
}

TEST_F(CatalogueForm, UpdateButtonChecksSiteAndCategoryFirst) {
    Start();
    f1().Panel3Click();
    EXPECT_EQ(desktop.messages.back(), G("请选择网站"));
    f1().CurrentSite = G("多玩");
    f1().Panel3Click();
    EXPECT_EQ(desktop.messages.back(), G("请选择分类"));
    EXPECT_TRUE(desktop.asked.empty());

    desktop.answers = {false};
    f1().ListBox1.Assign({"x"});
    f1().fenleiURLList.Assign({"u"});
    f1().ListBox1.Select(0);
    f1().Panel3Click();
    EXPECT_EQ(desktop.asked.back(), G("提醒|更新数据可能需要很长时间。下载期间程序会隐藏。确定？"));
    EXPECT_FALSE(program->CurrentWorker);

    f1().PanelLeft2Visible = true;  // the search panel: the button does nothing
    f1().Panel3Click();
    EXPECT_EQ(desktop.asked.size(), 1u);
}

TEST_F(CatalogueForm, Xs8UpdateNeedsNoCategory) {
    Start();
    f1().CurrentSite = G("言情小说吧");
    desktop.answers = {true};
    HostsGuard restore;
    ClosedPort closed;  // nothing listens there: the fetch fails at once
    SetHosts(SiteHosts::Demo(closed.port()));
    f1().Panel3Click();
    auto worker = program->CurrentWorker;
    ASSERT_TRUE(worker);
    EXPECT_EQ(worker->TargetName, "main");
    EXPECT_EQ(worker->TargetUrl, "");
    EXPECT_EQ(worker->Mode, 9);
    EXPECT_EQ(f4().Tag, 1);
    EXPECT_TRUE(WaitForDownload());
    EXPECT_TRUE(f1().window.visible);
}

TEST_F(CatalogueForm, UnknownSiteWorkerWaitsForCancel) {
    Start();
    f1().ListBox2.Assign({"a"});
    f1().BookURLList.Assign({"k"});
    f1().ListBox2.Select(0);
    f1().PanelOpenClick();  // no current site: mode 0
    EXPECT_EQ(program->CurrentWorker->Mode, 0);
    desktop.PumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(f4().window.visible);  // nothing fetched, nothing completed
    f2().ListBox1.Assign({"stale"});
    f4().Button1Click();
    EXPECT_FALSE(f4().window.visible);
    EXPECT_TRUE(f1().window.visible);
    EXPECT_FALSE(f2().window.visible);
    EXPECT_TRUE(f2().ListBox1.Empty());
    EXPECT_EQ(program->TrayWindow.load(), kTrayCatalogue);
}

TEST_F(CatalogueForm, CloseBoxDuringADownloadHidesTheProgramInTheTray) {
    Start();
    f1().ListBox2.Assign({"a"});
    f1().BookURLList.Assign({"k"});
    f1().ListBox2.Select(0);
    f1().PanelOpenClick();
    program->TrayWindow = kTrayProgress;  // every system command sets it first
    f4().Close();
    EXPECT_FALSE(f4().window.visible);
    EXPECT_TRUE(program->trayIconShown);
    EXPECT_EQ(program->trayIconOwner, kTrayCatalogue);
    EXPECT_EQ(desktop.trayIcons, 1);
    // A refused icon says so; the window stays hidden.
    desktop.trayRefused = true;
    program->HideToTray(kTrayCatalogue);
    EXPECT_EQ(desktop.messages.back(), "Add   systray   Failed!");
}

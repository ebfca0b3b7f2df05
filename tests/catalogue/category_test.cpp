// Choosing a site: categories from the store, or fetched once from the demo
// site's category page.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/worker_harness.h"

using namespace talvenor;
using talvenor::demo::FaultKind;

namespace {

class Categories : public ::testing::Test, public WorkerHarness {
  protected:
    StringList Expected(demo::Site site, const char* prefixFor = nullptr) {
        StringList names;
        (void)prefixFor;
        for (int c = 0; c < content().CategoryCount(site); ++c) {
            demo::Category cat = content().CategoryAt(site, c);
            names.push_back(::Gbk(site == demo::Site::Feiku ? cat.group + "-" + cat.name : cat.name));
        }
        return names;
    }
    StringList ExpectedUrls(demo::Site site) {
        StringList urls;
        for (int c = 0; c < content().CategoryCount(site); ++c)
            urls.push_back(content().CategoryAt(site, c).url);
        return urls;
    }
};

}  // namespace

TEST_F(Categories, DuowanFirstFetchThenFromTheStore) {
    f1().N2Click(f1().N2);
    EXPECT_EQ(desktop.blockingRuns, 1);  // the fetch ran off the window thread
    StringList names = Expected(demo::Site::Duowan);
    names.insert(names.begin(), G("所有分类"));
    EXPECT_EQ(f1().ListBox1.items, names);
    ASSERT_EQ(f1().fenleiURLList.Count(), f1().ListBox1.Count());
    EXPECT_EQ(f1().fenleiURLList.items[0], Hosts().duowan + "/include/finish/all_1.html");
    StringList urls = ExpectedUrls(demo::Site::Duowan);
    EXPECT_EQ(StringList(f1().fenleiURLList.items.begin() + 1, f1().fenleiURLList.items.end()), urls);
    EXPECT_EQ(f1().ListBox1.itemIndex, 0);
    EXPECT_TRUE(f1().ListBox2.Empty());
    EXPECT_EQ(f1().PanelStatus, G("total: 0 本"));
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_EQ(f1().Tag, 1);
    EXPECT_EQ(Stored("多玩", "fenlei.ml"), names);

    // Chosen again: the stored lists, no request.
    sites.ClearRequestLog();
    f1().ListBox1.Clear();
    f1().N2Click(f1().N2);
    EXPECT_EQ(f1().ListBox1.items, names);
    EXPECT_TRUE(sites.RequestLog().empty());
    EXPECT_EQ(desktop.blockingRuns, 1);

    // An empty stored category file counts as missing.
    Store("多玩", "fenlei.ml", {});
    f1().N2Click(f1().N2);
    EXPECT_EQ(f1().ListBox1.items, names);
    EXPECT_EQ(Requests("/include/finish/all_1.html"), 1);
}

TEST_F(Categories, ReadnovelElevenAndFeikuThreeGroups) {
    f1().N8Click(f1().N8);
    EXPECT_EQ(f1().ListBox1.Count(), 11);
    EXPECT_EQ(f1().ListBox1.items, Expected(demo::Site::Readnovel));
    EXPECT_EQ(f1().fenleiURLList.items, ExpectedUrls(demo::Site::Readnovel));
    EXPECT_EQ(f1().Tag, 2);
    EXPECT_EQ(Stored("小说阅读网", "fenlei.ml.list"), ExpectedUrls(demo::Site::Readnovel));

    f1().N29Click(f1().N29);
    EXPECT_EQ(f1().ListBox1.items, Expected(demo::Site::Feiku));
    EXPECT_EQ(f1().fenleiURLList.items, ExpectedUrls(demo::Site::Feiku));
    EXPECT_EQ(f1().Tag, 4);
    EXPECT_EQ(f1().CurrentSite, G("飞库"));
}

TEST_F(Categories, FailedFetchSavesNothingAndFetchesAgainNextTime) {
    int fault = Fault("duowan.localhost", "all_1.html", FaultKind::Status, 500);
    f1().N2Click(f1().N2);
    EXPECT_EQ(f1().ListBox1.items, StringList{G("所有分类")});
    EXPECT_FALSE(FileExists(SiteFilePath(paths.appDir, G("多玩"), "fenlei.ml")));
    EXPECT_TRUE(desktop.messages.empty());
    sites.RemoveFault(fault);
    f1().N2Click(f1().N2);
    EXPECT_GT(f1().ListBox1.Count(), 1);

    Fault("feiku.localhost", "ShowBookOver", FaultKind::Delay, 50);
    Fault("readnovel.localhost", "all.html", FaultKind::Status, 404);
    f1().N8Click(f1().N8);
    EXPECT_TRUE(f1().ListBox1.Empty());
    EXPECT_FALSE(FileExists(SiteFilePath(paths.appDir, G("小说阅读网"), "fenlei.ml")));
}

TEST_F(Categories, CategoriesOfAFailedFetchAreNeverStored) {
    // 多玩 down: "所有分类" is shown; closing the program stores no category
    // file, so choosing the site later fetches the real categories.
    int down = Fault("duowan.localhost", "all_1.html", FaultKind::Status, 503);
    f1().N2Click(f1().N2);
    EXPECT_EQ(f1().ListBox1.items, StringList{G("所有分类")});
    EXPECT_TRUE(f1().CategoriesFetchFailed());
    f1().FormClose();
    EXPECT_FALSE(FileExists(SiteFilePath(paths.appDir, G("多玩"), "fenlei.ml")));
    EXPECT_FALSE(FileExists(SiteFilePath(paths.appDir, G("多玩"), G("所有分类.ml"))));
    sites.RemoveFault(down);
    Start();  // the next run of the program
    f1().N2Click(f1().N2);
    EXPECT_EQ(f1().ListBox1.Count(), content().CategoryCount(demo::Site::Duowan) + 1);
    EXPECT_FALSE(f1().CategoriesFetchFailed());
    f1().FormClose();
    EXPECT_EQ(Stored("多玩", "fenlei.ml"), f1().ListBox1.items);

    // 言情小说吧 down when chosen for the first time: no chunk and no
    // category file; choosing it again asks and downloads again.
    down = Fault("xs8.localhost", "/list.php", FaultKind::Status, 500);
    desktop.answers = {true};
    f1().N21Click(f1().N21);
    ASSERT_TRUE(WaitForDownload());
    EXPECT_EQ(f1().LastBookListEnd, BookListEnd::KeptStored);
    EXPECT_TRUE(f1().ListBox1.Empty());
    f1().FormClose();
    EXPECT_TRUE(std::filesystem::is_empty(SiteFolder(paths.appDir, G("言情小说吧"))));
    sites.RemoveFault(down);
    desktop.asked.clear();
    desktop.answers = {true};
    f1().N21Click(f1().N21);
    EXPECT_EQ(desktop.asked.size(), 1u);
    ASSERT_TRUE(WaitForDownload());
    EXPECT_EQ(f1().LastBookListEnd, BookListEnd::Complete);
    EXPECT_EQ(Stored("言情小说吧", "fenlei.ml"), StringList{"5000"});
    EXPECT_EQ(Stored("言情小说吧", "5000.ml").size(),
              static_cast<size_t>(content().BookCount(demo::Site::Xs8, 0)));
}

TEST_F(Categories, MalformedPagesEndTheWalk) {
    for (FaultKind kind :
         {FaultKind::NoMarker, FaultKind::CutOff, FaultKind::EmptyBody, FaultKind::BadUtf8}) {
        sites.ClearFaults();
        Fault("*", "", kind);
        for (const char* site : {"多玩", "飞库", "小说阅读网"})
            std::filesystem::remove_all(SiteFolder(paths.appDir, G(site)));
        f1().N2Click(f1().N2);
        EXPECT_GE(f1().ListBox1.Count(), 1);
        EXPECT_EQ(f1().ListBox1.items[0], G("所有分类"));
        EXPECT_EQ(f1().ListBox1.Count(), f1().fenleiURLList.Count());
        f1().N29Click(f1().N29);
        EXPECT_EQ(f1().ListBox1.Count(), f1().fenleiURLList.Count());
        f1().N8Click(f1().N8);
        // A cut-off page is a failed fetch: nothing; any page that arrives gives eleven pieces.
        EXPECT_EQ(f1().fenleiURLList.Count(), kind == FaultKind::CutOff ? 0 : 11) << static_cast<int>(kind);
    }
}

TEST_F(Categories, Xs8AsksFirstAndDeclinedShowsDuowan) {
    desktop.answers = {false};
    f1().N21Click(f1().N21);
    EXPECT_EQ(desktop.asked.back(),
              G("提醒|下载“言情小说吧”的数据需要较长的时间，下载期间程序会隐藏。点击“否”取消"));
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_EQ(f1().Tag, 1);
    EXPECT_GT(f1().ListBox1.Count(), 1);

    desktop.answers = {true};
    f1().N21Click(f1().N21);
    EXPECT_FALSE(f1().window.visible);
    EXPECT_EQ(f4().Tag, 1);
    ASSERT_TRUE(program->CurrentWorker);
    EXPECT_EQ(program->CurrentWorker->TargetUrl, "main");
    EXPECT_EQ(program->CurrentWorker->TargetName, G("言情小说吧"));
    ASSERT_TRUE(WaitForDownload());
    EXPECT_TRUE(f1().window.visible);
    EXPECT_EQ(f1().ListBox1.items, StringList{"5000"});
    EXPECT_EQ(f1().ListBox2.Count(), content().BookCount(demo::Site::Xs8, 0));
    EXPECT_EQ(Stored("言情小说吧", "5000.ml").size(), f1().ListBox2.items.size());
}

TEST_F(Categories, ChoosingASiteLeavesTheSearchPanel) {
    f1().PanelLeft2Visible = true;
    f1().PanelLeft1Visible = false;
    f1().N29Click(f1().N29);
    EXPECT_FALSE(f1().PanelLeft2Visible);
    EXPECT_TRUE(f1().PanelLeft1Visible);
}

// A site decides its category names, "fenlei" among them: that category's
// books must not take the place of the category list (nor the other way
// round when the program closes), and every other name keeps its file.
TEST_F(Categories, ACategoryNamedFenleiKeepsItsBooksApartFromTheCategoryList) {
    PageServer site;
    SiteHosts hosts = sites.hosts();
    hosts.duowan = site.base();
    SetHosts(hosts);
    site.Put("/include/finish/all_1.html",
             "<div class=\"sort\"><h3>分类目录</h3>\r\n<ul>\r\n"
             "<li><a href=\"c1_1.html\">fenlei<span>(2)</span></a></li>\r\n"
             "<li><a href=\"c2_1.html\">fenlei.ml<span>(1)</span></a></li>\r\n</ul></div>");
    auto listPage = [](const std::vector<std::string>& ids) {
        std::string b = "<div class=\"booklist\"><ul>\r\n";
        for (const auto& id : ids)
            b += "<li><a href=\"@/book/1/" + id + "/index.html\" target=_blank>《书" + id + "》</a></li>\r\n";
        return b +
               "</ul></div><table><tr><td align=\"left\"><a href=\"c1_1.html\">下一页</a></td></tr></table>";
    };
    site.Put("/include/finish/c1_1.html", listPage({"1", "2"}));
    site.Put("/include/finish/c2_1.html", listPage({"3"}));

    f1().N2Click(f1().N2);
    const StringList categories = Gbk({"所有分类", "fenlei", "fenlei.ml"});
    ASSERT_EQ(f1().ListBox1.items, categories);
    const StringList urls = f1().fenleiURLList.items;
    for (int i : {1, 2}) {
        f1().ListBox1.Select(i);
        f1().ListBox1Click();
        EXPECT_TRUE(f1().ListBox2.Empty()) << i;
        f1().Panel3Click();
        ASSERT_TRUE(WaitForDownload());
        EXPECT_EQ(f1().LastBookListEnd, BookListEnd::Complete);
    }
    f1().ListBox1.Select(1);
    f1().ListBox1Click();
    f1().FormClose();
    EXPECT_EQ(Stored("多玩", "fenlei.ml"), categories);
    EXPECT_EQ(Stored("多玩", "fenlei.ml.list"), urls);
    EXPECT_EQ(Stored("多玩", "fenlei.books"), Gbk({"《书1》", "《书2》"}));
    EXPECT_EQ(Stored("多玩", "fenlei.books.list"), (StringList{"book/1/1/", "book/1/2/"}));
    EXPECT_EQ(Stored("多玩", "fenlei.ml.ml"), Gbk({"《书3》"}));
    EXPECT_EQ(Stored("多玩", "fenlei.ml.ml.list"), StringList{"book/1/3/"});

    // The next start shows both from the store.
    Start();
    f1().N2Click(f1().N2);
    EXPECT_EQ(f1().ListBox1.items, categories);
    f1().ListBox1.Select(1);
    f1().ListBox1Click();
    EXPECT_EQ(f1().ListBox2.items, Gbk({"《书1》", "《书2》"}));
    EXPECT_EQ(f1().BookURLList.items, (StringList{"book/1/1/", "book/1/2/"}));
}

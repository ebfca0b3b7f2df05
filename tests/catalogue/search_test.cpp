#include <gtest/gtest.h>

#include "catalogue/search_fixture.h"
#include "support/closed_port.h"
#include "text/encoding.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

// The search panel's sites in ComboBox1 order.
const demo::Site kOrder[] = {demo::Site::S520, demo::Site::Duowan, demo::Site::Feiku, demo::Site::Readnovel,
                             demo::Site::Xs8};
const char* const kMissing = "查无此书";

class Search : public DemoProgramTest {
  protected:
    void SetUp() override {
        DemoProgramTest::SetUp();
        desktop.defaultAnswer = false;
        Start();
        f1().N14Click();
    }
    void Run(int site, const std::string& keywordUtf8) {
        f1().ComboBox1ItemIndex = site;
        f1().Edit1Text = G(keywordUtf8.c_str());
        f1().Button1Click();
    }
    // A title fragment that several books of the site share.
    std::string SharedFragment(demo::Site site) {
        for (int pos = 0; pos < 40; ++pos) {
            std::string title = content().BookAt(site, 0, pos).title;
            std::string fragment = title.substr(0, 6);  // two characters
            if (content().Search(site, fragment).size() >= 2) return fragment;
        }
        return content().BookAt(site, 0, 0).title;
    }
    // What the result lists must hold for a keyword: titles and keys, GBK.
    std::pair<StringList, StringList> Expected(demo::Site site, const std::string& keyword) {
        StringList titles, keys;
        for (const auto& book : content().Search(site, keyword)) {
            std::string t = site == demo::Site::S520 ? "《" + book.title + "》" : book.title;
            titles.push_back(G(t.c_str()));
            keys.push_back(content().SearchKey(book));
        }
        return {titles, keys};
    }
    std::string LastRequest() {
        auto log = sites().RequestLog();
        return log.empty() ? std::string() : log.back();
    }
    StringList WatchFile(const char* name) { return LoadList(paths.setDir + name); }
};

TEST_F(Search, EachSiteListsWhatItFindsFromTheAddressItBuilds) {
    EXPECT_EQ(f1().ComboBox1Items, Gbk({"小说520", "多玩", "飞库", "小说阅读网", "言情小说吧"}));
    for (int site = 0; site < 5; ++site) {
        SCOPED_TRACE(site);
        std::string keyword = SharedFragment(kOrder[site]);
        auto [titles, keys] = Expected(kOrder[site], keyword);
        ASSERT_GE(titles.size(), 2u);
        Run(site, keyword);
        EXPECT_EQ(f1().ListBoxLeft.items, titles);
        EXPECT_EQ(f1().ListBoxLeftURL.items, keys);
        // 言情小说吧's walk always ends silently; as the last site it asks nothing.
        EXPECT_EQ(f1().Found, kOrder[site] != demo::Site::Xs8);
        EXPECT_EQ(f1().ComboBox1ItemIndex, site);
    }
    EXPECT_TRUE(desktop.asked.empty());
    EXPECT_TRUE(desktop.messages.empty());

    // The addresses: GBK as typed for 小说520 and 飞库, UTF-8 percent-encoded
    // for 多玩 and the search engine, GBK percent-encoded for 言情小说吧.
    const std::string gbk = G("重生"), hostPort = ".localhost:" + std::to_string(sites().port());
    Run(0, "重生");
    EXPECT_EQ(LastRequest(), "xs520.localhost /Book/Search.aspx?searchclass=1&SearchKey=" + gbk);
    Run(1, "重生");
    EXPECT_EQ(LastRequest(), "so.duowan.localhost /search.jsp?searchstr=%E9%87%8D%E7%94%9F");
    Run(2, "重生");
    EXPECT_EQ(LastRequest(), "so.feiku.localhost /book/search.aspx?SearchClass=1&SearchKey=" + gbk);
    Run(3, "重生");
    EXPECT_EQ(LastRequest(), "search.localhost /search?q=site%3Areadnovel.localhost+%E9%87%8D%E7%94%9F");
    Run(4, "重生");
    EXPECT_EQ(LastRequest(), "xs8.localhost /search.php?t=title&k=%D6%D8%C9%FA");
}

TEST_F(Search, SearchTextCannotReshapeTheAddress) {
    // Sent as typed, a blank or "&" would end or split the query.
    Run(2, "a b&SearchKey=x#y");
    EXPECT_EQ(LastRequest(),
              "so.feiku.localhost /book/search.aspx?SearchClass=1&SearchKey=a%20b%26SearchKey=x%23y");
    EXPECT_FALSE(f1().Found);
    EXPECT_EQ(desktop.messages, Gbk({"没找到"}));  // the site answered; nothing matched
}

TEST_F(Search, NothingFoundEndsAsEachSiteDoes) {
    for (auto site : kOrder) ASSERT_TRUE(content().Search(site, kMissing).empty());
    // Results of an earlier search go once a page has been fetched.
    Run(2, SharedFragment(demo::Site::Feiku));
    ASSERT_FALSE(f1().ListBoxLeft.Empty());

    struct Case {
        int site;
        bool saysNotFound;
        bool asksNext;
    } cases[] = {{0, false, true}, {1, true, true}, {2, true, true}, {3, true, true}, {4, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.site);
        desktop.asked.clear();
        desktop.messages.clear();
        desktop.answers = {false};
        Run(c.site, kMissing);
        EXPECT_FALSE(f1().Found);
        EXPECT_TRUE(f1().ListBoxLeft.Empty());
        EXPECT_TRUE(f1().ListBoxLeftURL.Empty());
        EXPECT_EQ(desktop.messages, c.saysNotFound ? Gbk({"没找到"}) : StringList{});
        EXPECT_EQ(desktop.asked,
                  c.asksNext ? Gbk({"信息|没有找到，要不要在下一个网站中继续搜索"}) : StringList{});
        EXPECT_EQ(f1().ComboBox1ItemIndex, c.site);  // No: the chosen site stays
        desktop.answers.clear();
    }
}

TEST_F(Search, AnsweringYesWalksTheSitesInOrderUntilOneFinds) {
    desktop.defaultAnswer = true;
    Run(0, kMissing);
    std::vector<std::string> hosts;
    for (const auto& line : sites().RequestLog()) hosts.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(hosts, (std::vector<std::string>{"xs520.localhost", "so.duowan.localhost", "so.feiku.localhost",
                                               "search.localhost", "xs8.localhost"}));
    EXPECT_EQ(desktop.asked.size(), 4u);  // none after 言情小说吧
    EXPECT_EQ(desktop.messages, Gbk({"没找到", "没找到", "没找到"}));
    EXPECT_EQ(f1().ComboBox1ItemIndex, 4);

    // A title that 多玩 has and 小说520 has not: the walk stops at 多玩.
    std::string title;
    for (int pos = 0; pos < 40 && title.empty(); ++pos) {
        std::string t = content().BookAt(demo::Site::Duowan, 0, pos).title;
        if (content().Search(demo::Site::S520, t).empty()) title = t;
    }
    ASSERT_FALSE(title.empty());
    desktop.asked.clear();
    Run(0, title);
    EXPECT_TRUE(f1().Found);
    EXPECT_EQ(f1().ComboBox1ItemIndex, 1);
    EXPECT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(f1().ListBoxLeft.items, Expected(demo::Site::Duowan, title).first);
}

TEST_F(Search, FetchFailureKeepsThePreviousResults) {
    const char* hosts[] = {"xs520", "so.duowan", "so.feiku", "search", "xs8"};
    for (int site = 0; site < 5; ++site) {
        SCOPED_TRACE(site);
        std::string keyword = SharedFragment(kOrder[site]);
        Run(site, keyword);
        StringList titles = f1().ListBoxLeft.items, keys = f1().ListBoxLeftURL.items;
        ASSERT_FALSE(titles.empty());
        Fail(hosts[site], demo::FaultKind::Status, 500);
        desktop.messages.clear();
        desktop.asked.clear();
        desktop.answers = {false};
        const int blocking = desktop.blockingRuns;
        Run(site, keyword);
        // The failure crossed back from the thread the fetch ran on.
        EXPECT_EQ(desktop.blockingRuns, blocking + 1);
        EXPECT_EQ(desktop.messages, Gbk({site == 4 ? "网络连接失败" : "网站连接失败"}));
        EXPECT_FALSE(f1().Found);
        EXPECT_EQ(f1().ListBoxLeft.items, titles);
        EXPECT_EQ(f1().ListBoxLeftURL.items, keys);
        EXPECT_EQ(desktop.asked.size(), site == 4 ? 0u : 1u);
        sites().ClearFaults();
        desktop.answers.clear();
    }
    // Nothing listening at all.
    ClosedPort closed;
    SiteHosts dead = sites().hosts();
    dead.s520 = "http://127.0.0.1:" + std::to_string(closed.port());
    SetHosts(dead);
    desktop.messages.clear();
    desktop.answers = {false};
    Run(0, "x");
    EXPECT_EQ(desktop.messages, Gbk({"网站连接失败"}));
}

TEST_F(Search, PagesWithoutTheirMarkersEndQuietly) {
    // 多玩's page loses "关键字是：": the walk ends silently, the lists emptied.
    Run(1, SharedFragment(demo::Site::Duowan));
    ASSERT_FALSE(f1().ListBoxLeft.Empty());
    Fail("so.duowan", demo::FaultKind::NoMarker);
    desktop.answers = {false};
    Run(1, SharedFragment(demo::Site::Duowan));
    EXPECT_TRUE(f1().ListBoxLeft.Empty());
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(desktop.asked.size(), 1u);
    sites().ClearFaults();

    // 飞库 without "<div id=\"CListTitle\">": "没找到" and the question about 小说阅读网.
    Fail("so.feiku", demo::FaultKind::NoMarker);
    desktop.asked.clear();
    Run(2, SharedFragment(demo::Site::Feiku));
    EXPECT_EQ(desktop.messages, Gbk({"没找到"}));
    EXPECT_EQ(desktop.asked, Gbk({"信息|没有找到，要不要在下一个网站中继续搜索"}));
}

TEST_F(Search, AResultLackingAMarkerEndsTheWalk) {
    CraftedSite crafted;
    SiteHosts hosts = sites().hosts();
    hosts.s520 = crafted.base();
    hosts.duowanSearch = crafted.base();
    SetHosts(hosts);
    // The second result of 小说520 has no ">>>" link: cutting on would go back
    // to the first result and list it for ever.
    crafted.Put("/Book/Search.aspx",
                G("<div id=\"CListTitle\"><b>甲</b></div> >>> <a href=\"/html/1/1001/List.shtml\">读</a>"
                  "<div id=\"CListTitle\"><b>乙</b></div> 没有链接"));
    desktop.answers = {false};
    WithinSeconds(60, [&] { Run(0, "x"); });
    EXPECT_EQ(f1().ListBoxLeft.items, Gbk({"《甲》"}));
    EXPECT_EQ(f1().ListBoxLeftURL.items, StringList{"[520]html/1/1001"});
    EXPECT_FALSE(f1().Found);

    // 多玩: a result without its book link.
    const std::string link = "<li><a href=\"" + hosts.duowan + "/book/1/7/index.html\" target=\"_blank\">";
    crafted.Put("/search.jsp", "关键字是：x " + link + "<font>丙</font></a></li><li>坏的一条</li><li>x</li>");
    desktop.answers = {false};
    WithinSeconds(60, [&] { Run(1, "x"); });
    EXPECT_EQ(f1().ListBoxLeft.items, Gbk({"丙"}));
    EXPECT_EQ(f1().ListBoxLeftURL.items, StringList{"book/1/7/"});

    // A link of 小说520 with a single "/": no path before it.
    crafted.Put("/Book/Search.aspx",
                G("<div id=\"CListTitle\"><b>丁</b> >>> <a href=\"/List.shtml\">读</a>"));
    WithinSeconds(60, [&] { Run(0, "x"); });
    EXPECT_EQ(f1().ListBoxLeftURL.items, StringList{"[520]"});
    EXPECT_TRUE(f1().Found);
}

TEST_F(Search, WatchListKeepsWhatIsAddedAndRemoved) {
    EXPECT_EQ(f1().CurrentSite, G("多玩"));
    EXPECT_EQ(f1().Tag, 1);
    EXPECT_EQ(f1().Edit1Text, G("书名"));
    Run(2, SharedFragment(demo::Site::Feiku));
    ASSERT_GE(f1().ListBoxLeft.Count(), 2);

    // Nothing chosen: nothing added, nothing written.
    f1().Button2Click();
    EXPECT_TRUE(f1().ListBox2.Empty());
    EXPECT_FALSE(FileExists(paths.setDir + "lianzai.sname"));
    EXPECT_TRUE(desktop.messages.empty());

    f1().ListBoxLeft.Select(1);
    f1().Button2Click();
    f1().Button2Click();
    const std::string title = f1().ListBoxLeft.items[1], key = f1().ListBoxLeftURL.items[1];
    EXPECT_EQ(f1().ListBox2.items, (StringList{title, title}));
    EXPECT_EQ(f1().BookURLList.items, (StringList{key, key}));
    EXPECT_EQ(WatchFile("lianzai.sname"), (StringList{title, title}));
    EXPECT_EQ(WatchFile("lianzai.surl"), (StringList{key, key}));
    EXPECT_EQ(desktop.messages, Gbk({"OK！", "OK！"}));

    f1().ListBoxLeft.Select(0);
    f1().Button2Click();
    const std::string first = f1().ListBoxLeft.items[0], firstKey = f1().ListBoxLeftURL.items[0];

    // <<<删除 removes the chosen pair from both lists and both files.
    f1().ListBox2.Select(1);
    f1().Button3Click();
    EXPECT_EQ(WatchFile("lianzai.sname"), (StringList{title, first}));
    EXPECT_EQ(WatchFile("lianzai.surl"), (StringList{key, firstKey}));
    // Nothing chosen: nothing removed, the files written again all the same.
    RemoveFile(paths.setDir + "lianzai.surl");
    f1().Button3Click();
    EXPECT_EQ(WatchFile("lianzai.surl"), (StringList{key, firstKey}));
    EXPECT_EQ(desktop.messages.size(), 5u);

    // Reopening the panel after a restart shows the saved list, first entry chosen.
    program.reset();
    Start();
    f1().N14Click();
    EXPECT_EQ(f1().ListBox2.items, (StringList{title, first}));
    EXPECT_EQ(f1().BookURLList.items, (StringList{key, firstKey}));
    EXPECT_EQ(f1().ListBox2.itemIndex, 0);
}

TEST_F(Search, WatchListFilesOutOfStepAreReadInStep) {
    SaveList(paths.setDir + "lianzai.sname", Gbk({"《甲》", "《乙》", "《丙》"}));
    SaveList(paths.setDir + "lianzai.surl", {"[520]html/1/1"});
    f1().N14Click();
    EXPECT_EQ(f1().ListBox2.items, Gbk({"《甲》"}));
    EXPECT_EQ(f1().BookURLList.items, StringList{"[520]html/1/1"});
    // A key file alone is no watch list.
    RemoveFile(paths.setDir + "lianzai.sname");
    f1().N14Click();
    EXPECT_TRUE(f1().ListBox2.Empty());
    EXPECT_TRUE(f1().BookURLList.Empty());
}

}  // namespace

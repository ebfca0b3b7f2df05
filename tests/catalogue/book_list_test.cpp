// Book-list updates of the download worker against the demo sites.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/worker_harness.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

struct Lists {
    StringList titles, keys;
};

// A category of 多玩 or 小说阅读网 as its update must leave it: "《title》" and
// the key, newest first.
Lists Books(demo::DemoContent& c, demo::Site site, int category) {
    Lists out;
    for (int i = 0; i < c.BookCount(site, category); ++i) {
        demo::Book b = c.BookAt(site, category, i);
        out.titles.push_back(Gbk("《" + b.title + "》"));
        out.keys.push_back(b.key);
    }
    return out;
}

StringList StoredList(WorkerHarness& h, Site site, const std::string& gbkName) {
    return LoadList(SiteFilePath(h.paths.appDir, Label(site), gbkName));
}

// Half-width columns of a GBK line.
int Columns(const std::string& line) {
    int n = 0;
    for (size_t i = 0; i < line.size(); ++i, ++n)
        if (static_cast<unsigned char>(line[i]) >= 0x81 && i + 1 < line.size()) ++i, ++n;
    return n;
}

// The first position at or after `from` whose book has an introduction.
int WithIntro(demo::DemoContent& c, int category, int from) {
    while (c.BookAt(demo::Site::Readnovel, category, from).intro.empty()) ++from;
    return from;
}

}  // namespace

TEST(BookLists, DuowanFetchesEveryPageThenOnlyWhatIsNew) {
    WorkerHarness h;
    auto& c = h.content();
    const demo::Category cat = c.CategoryAt(demo::Site::Duowan, 1);
    const std::string name = Gbk(cat.name);
    auto& titles = h.f1().ListBox2.items;
    auto& keys = h.f1().BookURLList.items;

    // First fetch: three pages in page order.  The keys lose the configured
    // host, whose length is not that of the site's own.
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    EXPECT_TRUE(h.f1().window.visible);
    Lists want = Books(c, demo::Site::Duowan, 1);
    EXPECT_EQ(titles, want.titles);
    EXPECT_EQ(keys, want.keys);
    EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml"), want.titles);
    EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml.list"), want.keys);
    EXPECT_EQ(h.f4().ProgressBar1.position, 100);

    // Nothing new: the first book is known at once; the files are written again.
    h.sites.ClearRequestLog();
    RemoveFile(SiteFilePath(h.paths.appDir, Label(Site::Duowan), name + ".ml"));
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    EXPECT_EQ(h.Requests("/include/finish/"), 1);
    EXPECT_EQ(titles, want.titles);
    EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml"), want.titles);

    // 25 new books fill page 1 and start page 2: they go on top in the
    // site's order, so the stored first book is the site's first.
    h.sites.AddBooks(demo::Site::Duowan, 1, 25);
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    Lists site = Books(c, demo::Site::Duowan, 1);
    ASSERT_EQ(site.titles.size(), 85u);
    EXPECT_EQ(titles, site.titles);
    EXPECT_EQ(keys, site.keys);
    EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml.list"), site.keys);
}

// A category that grows between updates, by several pages at a time, is
// stored as the site lists it after every update, each book once; an update
// of an unchanged site changes nothing, and a list that an earlier version
// stored out of order is put right.
TEST(BookLists, DuowanStaysInTheSiteOrderAsTheSiteGrows) {
    WorkerHarness h;
    auto& c = h.content();
    const demo::Category cat = c.CategoryAt(demo::Site::Duowan, 2);
    const std::string name = Gbk(cat.name);
    const std::string file = SiteFilePath(h.paths.appDir, Label(Site::Duowan), name + ".ml");
    auto& titles = h.f1().ListBox2.items;
    auto& keys = h.f1().BookURLList.items;
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    for (int added : {20, 41, 3, 0, 0, 67}) {
        SCOPED_TRACE(added);
        h.sites.AddBooks(demo::Site::Duowan, 2, added);
        const std::string before = ReadFileBytes(file), beforeKeys = ReadFileBytes(file + ".list");
        h.sites.ClearRequestLog();
        ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
        const Lists site = Books(c, demo::Site::Duowan, 2);
        EXPECT_EQ(titles, site.titles);
        EXPECT_EQ(keys, site.keys);
        EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml"), site.titles);
        EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml.list"), site.keys);
        // Only the pages with new books and the one where the known book
        // stands are fetched.
        EXPECT_EQ(h.Requests("/include/finish/"), added / 20 + 1);
        if (added == 0) {
            EXPECT_EQ(ReadFileBytes(file), before);
            EXPECT_EQ(ReadFileBytes(file + ".list"), beforeKeys);
        }
    }

    // Stored as the old update left it: a later page's new books above an
    // earlier page's, and some books twice.
    const Lists site = Books(c, demo::Site::Duowan, 2);
    StringList oldTitles(site.titles.begin() + 20, site.titles.begin() + 25),
        oldKeys(site.keys.begin() + 20, site.keys.begin() + 25);
    oldTitles.insert(oldTitles.end(), site.titles.begin(), site.titles.end());
    oldKeys.insert(oldKeys.end(), site.keys.begin(), site.keys.end());
    h.f1().ListBox2.Assign(oldTitles);
    h.f1().BookURLList.Assign(oldKeys);
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    EXPECT_EQ(titles, site.titles);
    EXPECT_EQ(keys, site.keys);
    EXPECT_EQ(StoredList(h, Site::Duowan, name + ".ml.list"), site.keys);
}

TEST(BookLists, ReadnovelUpdatesIncrementallyAndStoresNewIntroductionsOnly) {
    WorkerHarness h;
    auto& c = h.content();
    const demo::Category cat = c.CategoryAt(demo::Site::Readnovel, 2);
    const std::string name = Gbk(cat.name);
    const std::string introDir = h.paths.seeDir + SafeFileName(Label(Site::Readnovel)) + "/";
    const demo::Book kept = c.BookAt(demo::Site::Readnovel, 2, WithIntro(c, 2, 0));
    MakeDirs(introDir);
    WriteFileAtomic(introDir + kept.key + ".txt", "kept");

    // Three pages, counted by the links of page 1's pager.
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, cat.url, name));
    EXPECT_EQ(h.Requests("/ch/all/"), 3);
    Lists want = Books(c, demo::Site::Readnovel, 2);
    EXPECT_EQ(h.f1().ListBox2.items, want.titles);
    EXPECT_EQ(h.f1().BookURLList.items, want.keys);
    EXPECT_EQ(StoredList(h, Site::Readnovel, name + ".ml"), want.titles);

    EXPECT_EQ(ReadFileBytes(introDir + kept.key + ".txt"), "kept");
    for (int i = 0; i < c.BookCount(demo::Site::Readnovel, 2); ++i) {
        demo::Book b = c.BookAt(demo::Site::Readnovel, 2, i);
        if (b.key == kept.key) continue;
        const std::string file = introDir + b.key + ".txt";
        if (b.intro.empty()) {
            EXPECT_FALSE(FileExists(file)) << b.key;
            continue;
        }
        // As the text box holds them: each line with a CR added.
        std::string bytes = ReadFileBytes(file), text, joined;
        ASSERT_GE(bytes.size(), 3u);
        EXPECT_EQ(bytes.substr(bytes.size() - 3), "\r\r\n");
        for (size_t at = 0, end; (end = bytes.find("\r\r\n", at)) != std::string::npos; at = end + 3)
            text += bytes.substr(at, end - at);
        for (const auto& line : b.intro) joined += Gbk(line);
        EXPECT_EQ(text, joined) << b.key;
    }

    // New books over two pages go on top, and only they get introductions:
    // the walk ends at the first known book, before the old ones of page 2.
    const demo::Book old = c.BookAt(demo::Site::Readnovel, 2, WithIntro(c, 2, 4));
    RemoveFile(introDir + old.key + ".txt");
    h.sites.AddBooks(demo::Site::Readnovel, 2, 23);
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, cat.url, name));
    want = Books(c, demo::Site::Readnovel, 2);
    EXPECT_EQ(h.f1().ListBox2.items, want.titles);
    EXPECT_EQ(h.f1().BookURLList.items, want.keys);
    const demo::Book added = c.BookAt(demo::Site::Readnovel, 2, 21);
    EXPECT_EQ(FileExists(introDir + added.key + ".txt"), !added.intro.empty());
    EXPECT_FALSE(FileExists(introDir + old.key + ".txt"));
}

TEST(BookLists, ReadnovelPagerWithEllipsisGivesThePageCount) {
    demo::DemoOptions options;
    options.pageSize = 5;  // twelve pages: the pager shows "..." and the last page
    WorkerHarness h(options);
    const demo::Category cat = h.content().CategoryAt(demo::Site::Readnovel, 0);
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, cat.url, Gbk(cat.name)));
    EXPECT_EQ(h.Requests("/ch/all/"), 12);
    EXPECT_EQ(h.f1().ListBox2.items, Books(h.content(), demo::Site::Readnovel, 0).titles);
}

TEST(BookLists, Xs8StoresTheSiteListInChunksOf5000) {
    demo::DemoOptions options;
    options.xs8Books = 5003;
    options.pageSize = 700;  // the 5000th book stands inside page 8
    WorkerHarness h(options);
    auto& c = h.content();
    h.f1().ListBox2.Add("stale");
    h.f1().BookURLList.Add("stale");
    ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", Label(Site::Xs8)));
    EXPECT_EQ(h.Requests("/list.php"), 9);  // eight pages and one without rows

    const StringList chunks = {"5000", "10000"};
    EXPECT_EQ(h.f1().ListBox1.items, chunks);
    EXPECT_EQ(h.f1().ListBox1.Selected(), "10000");
    EXPECT_EQ(StoredList(h, Site::Xs8, "fenlei.ml"), chunks);
    StringList first = StoredList(h, Site::Xs8, "5000.ml"),
               firstKeys = StoredList(h, Site::Xs8, "5000.ml.list");
    ASSERT_EQ(first.size(), 5000u);
    ASSERT_EQ(firstKeys.size(), 5000u);
    EXPECT_EQ(StoredList(h, Site::Xs8, "10000.ml"), h.f1().ListBox2.items);
    ASSERT_EQ(h.f1().ListBox2.Count(), 3);

    auto line = [](const demo::Book& b) {
        return Gbk("《" + b.title + "》\t\t\t【" + b.genre + "】\t\t\t『" + b.author + "』\t\t\t" +
                   b.updated + "\t\t\t\t♂" + std::to_string(b.clicks) + "\t\t\t♀" +
                   std::to_string(b.favourites));
    };
    for (int i : {0, 699, 700, 4999}) {
        EXPECT_EQ(first[i], line(c.BookAt(demo::Site::Xs8, 0, i))) << i;
        EXPECT_EQ(firstKeys[i], c.BookAt(demo::Site::Xs8, 0, i).key) << i;
    }
    EXPECT_EQ(h.f1().ListBox2.items[0], line(c.BookAt(demo::Site::Xs8, 0, 5000)));
    EXPECT_EQ(h.f1().BookURLList.items[2], c.BookAt(demo::Site::Xs8, 0, 5002).key);
}

TEST(BookLists, FeikuRebuildsTheListAndStopsAtTheShownPageCount) {
    WorkerHarness h;
    auto& c = h.content();
    const demo::Category cat = c.CategoryAt(demo::Site::Feiku, 3);
    h.f1().ListBox2.Add("stale");
    h.f1().BookURLList.Add("stale");
    ASSERT_TRUE(h.RunBookList(Site::Feiku, cat.url, Gbk(cat.group + "-" + cat.name)));
    EXPECT_EQ(h.Requests("ShowBookList.aspx"), 3);  // page 3 of 3 is the last one fetched
    EXPECT_EQ(h.f4().ProgressBar1.max, 3);
    EXPECT_EQ(h.f4().ProgressBar1.position, 3);

    ASSERT_EQ(h.f1().ListBox2.Count(), 60);
    for (int i = 0; i < 60; ++i) {
        demo::Book b = c.BookAt(demo::Site::Feiku, 3, i);
        EXPECT_EQ(h.f1().ListBox2.items[i],
                  Gbk("状态:【" + b.state + "】更新时间：【" + b.updated + "】书名：『" + b.title +
                      "』作者：【" + b.author + "】最新：【" + b.latestChapter + "】"));
        EXPECT_EQ(h.f1().BookURLList.items[i], b.key);
    }
}

TEST(BookLists, AFailedFetchEndsThePagingAndSavesWhatCameBefore) {
    WorkerHarness h;
    auto& c = h.content();
    using demo::FaultKind;

    const demo::Category duowan = c.CategoryAt(demo::Site::Duowan, 1);
    h.Fault("duowan.localhost", "c2_2.html", FaultKind::Status, 500);
    ASSERT_TRUE(h.RunBookList(Site::Duowan, duowan.url, "d"));
    EXPECT_EQ(StoredList(h, Site::Duowan, "d.ml").size(), 20u);

    const demo::Category readnovel = c.CategoryAt(demo::Site::Readnovel, 1);
    h.ClearBooks();
    h.Fault("readnovel.localhost", "/ch/all/2/3.html", FaultKind::CutOff);
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, readnovel.url, "r"));
    EXPECT_EQ(StoredList(h, Site::Readnovel, "r.ml").size(), 40u);

    h.ClearBooks();
    h.Fault("feiku.localhost", "nclassid=1&page=2", FaultKind::CutOff);
    ASSERT_TRUE(h.RunBookList(Site::Feiku, "1", "f"));
    EXPECT_EQ(StoredList(h, Site::Feiku, "f.ml").size(), 20u);

    h.ClearBooks();
    h.Fault("xs8.localhost", "page=4", FaultKind::Status, 404);
    ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", ""));
    EXPECT_EQ(StoredList(h, Site::Xs8, "5000.ml").size(), 60u);
    EXPECT_EQ(StoredList(h, Site::Xs8, "5000.ml.list").size(), 60u);
}

TEST(BookLists, ADuowanPageWithoutAReadablePagerSavesNothing) {
    WorkerHarness h;
    const demo::Category cat = h.content().CategoryAt(demo::Site::Duowan, 0);
    const std::string file = SiteFilePath(h.paths.appDir, Label(Site::Duowan), "x.ml");
    // Empty, and wrongly encoded (decoded to nothing): both end through the
    // failure path, with the progress window closed and no file written.
    for (auto kind : {demo::FaultKind::EmptyBody, demo::FaultKind::BadUtf8}) {
        int fault = h.Fault("duowan.localhost", "c1_1.html", kind);
        ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, "x"));
        EXPECT_FALSE(h.f4().window.visible);
        EXPECT_FALSE(FileExists(file));
        h.sites.RemoveFault(fault);
    }
}

TEST(BookLists, PagesWithoutTheirMarkersEndTheWalk) {
    WorkerHarness h;
    auto& c = h.content();
    h.Fault("*", "", demo::FaultKind::NoMarker);
    // Without "<ul>" the 小说阅读网 walk starts at the top and still finds the books.
    const demo::Category readnovel = c.CategoryAt(demo::Site::Readnovel, 0);
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, readnovel.url, "r"));
    EXPECT_EQ(h.f1().ListBox2.items, Books(c, demo::Site::Readnovel, 0).titles);
    h.ClearBooks();
    // Without "booklist" 多玩's walk starts in the category menu; it ends all the same.
    ASSERT_TRUE(h.RunBookList(Site::Duowan, c.CategoryAt(demo::Site::Duowan, 0).url, "d"));
    ASSERT_TRUE(h.RunBookList(Site::Feiku, "1", "f"));
    EXPECT_TRUE(h.f1().ListBox2.Empty());
    ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", ""));
    // A first page without rows is no site list: nothing is stored.
    EXPECT_FALSE(FileExists(SiteFilePath(h.paths.appDir, Label(Site::Xs8), "5000.ml")));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::KeptStored);
}

TEST(BookLists, ALinkCutShortDoesNotSendTheWalkBack) {
    WorkerHarness h;
    PageServer pages;
    // The second link has lost its closing quote and its title marker: read
    // as written, the walk would go back to the first book again and again.
    pages.Serve("/include/finish/c1_1.html",
                "<html><head><title>" + std::string(120, '-') +
                    "</title></head><body><div class=\"booklist\"><ul>\r\n"
                    "<li><a href=\"@/book/1/1/index.html\" target=_blank>《一》</a></li>\r\n"
                    "<li><a href=\"@/book/1/2/ind</li></ul></div>\r\n"
                    "<table><tr><td align=\"left\"><a href=\"c1_1.html\">下一页</a></td></tr></table>");
    SiteHosts hosts = h.sites.hosts();
    hosts.duowan = pages.base();
    SetHosts(hosts);
    ASSERT_TRUE(h.RunBookList(Site::Duowan, pages.base() + "/include/finish/c1_1.html", "d"));
    EXPECT_EQ(h.f1().ListBox2.items, StringList{G("《一》")});
    EXPECT_EQ(h.f1().BookURLList.items, StringList{"book/1/1/"});
}

TEST(BookLists, ABookWithoutItsLinkIsNeverCutFromTheTopOfThePage) {
    // A list entry that lost the marker in front of its link or title (a
    // changed layout, a damaged page): the walk ends there, and no key or
    // title is cut from the page's head.
    WorkerHarness h;
    PageServer pages;
    const std::string head = "<html><head><title>" + std::string(120, '-') + "</title></head><body>";
    // 小说阅读网: a list of other links only.
    pages.Serve("/ch/all/1.html", head + "<ul>\r\n<li><h2><a href=\"/ch/all/2.html\" target=\"_blank\"><b>" +
                                      G("都市言情") + "</b></a></h2></li>\r\n</ul></body></html>");
    // 多玩 (UTF-8): a link without its "target=_blank>".
    pages.Serve(
        "/include/finish/c1_1.html",
        head +
            "<div class=\"booklist\"><ul>\r\n<li><a href=\"@/book/1/1/index.html\">《一》</a></li>\r\n"
            "</ul></div><table><tr><td align=\"left\"><a href=\"c1_1.html\">下一页</a></td></tr></table>");
    // 飞库: a book whose link lost its "target=_blank".
    pages.Serve("/Book/ShowBookList.aspx",
                head +
                    "<div id=\"CrListText\"><ul><li class=\"li1\">1</li><li class=\"li2\"><a "
                    "href=\"/1000003/List.shtm\">[" +
                    G("目录") + "]</a>" + G("书一") + "</a></li><li class=\"li3\">" + G("第8章") +
                    "</li><li class=\"li4\">2008-02-11</li><li class=\"li5\">" + G("韩歌") +
                    "</li><li class=\"li6\">&nbsp;" + G("连载中") + "</li></ul></div>" + G("共1条 , 当前") +
                    "</font><b>1</b></body></html>");
    // 言情小说吧: a row of the table that holds no book link.
    pages.Serve("/list.php", head + "<table><tr><td>" + G("点击数") +
                                 "</td></tr>\r\n<tr bgcolor=#FFFFFF><td>" + G("广告") +
                                 "</td></tr>\r\n</table><div>" + G("[首页]") + "</div></body></html>");
    SiteHosts hosts = h.sites.hosts();
    hosts.readnovel = hosts.duowan = hosts.feiku = hosts.xs8 = pages.base();
    SetHosts(hosts);
    const struct {
        Site site;
        std::string url;
    } walks[] = {{Site::Readnovel, pages.base() + "/ch/all/1.html"},
                 {Site::Duowan, pages.base() + "/include/finish/c1_1.html"},
                 {Site::Feiku, "1"},
                 {Site::Xs8, "main"}};
    for (const auto& w : walks) {
        SCOPED_TRACE(Label(w.site));
        h.ClearBooks();
        ASSERT_TRUE(h.RunBookList(w.site, w.url, "c"));
        EXPECT_TRUE(h.f1().ListBox2.Empty()) << h.f1().ListBox2.items.front();
        EXPECT_TRUE(h.f1().BookURLList.Empty());
    }
}

TEST(BookLists, ReadnovelIntroductionsWrapLikeTheirTextBox) {
    WorkerHarness h;
    PageServer pages;
    const std::string intro =
        "这是一段很长的简介，" + std::string(40, 'x') + " 中文 " + "alpha beta gamma delta epsilon " +
        "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十\r\n第二段。";
    pages.Serve(
        "/ch/all/1.html",
        Gbk("<html><head><title>" + std::string(120, '-') +
            "</title></head><body><ul><li><h2><a href=\"@/novel/77.html\" target=\"_blank\"><b>书</b></a>"
            "</h2>" +
            intro + "<div class=\"bothall\"></div></li></ul>"));
    SiteHosts hosts = h.sites.hosts();
    hosts.readnovel = pages.base();
    SetHosts(hosts);
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, pages.base() + "/ch/all/1.html", "r"));
    EXPECT_EQ(h.f1().BookURLList.items, StringList{"77"});

    const std::string bytes =
        ReadFileBytes(h.paths.seeDir + SafeFileName(Label(Site::Readnovel)) + "/77.txt");
    StringList lines;
    for (size_t at = 0, end; (end = bytes.find("\r\r\n", at)) != std::string::npos; at = end + 3)
        lines.push_back(bytes.substr(at, end - at));
    ASSERT_GE(lines.size(), 4u);
    std::string text;
    for (const auto& line : lines) {
        EXPECT_LE(Columns(line), 64) << line;
        text += line;
    }
    EXPECT_EQ(bytes.size(), text.size() + 3 * lines.size());  // nothing but CR CR LF between lines
    // Latin words move to the next line whole; the text loses nothing but
    // the blanks the lines were broken at.
    for (const std::string& word :
         StringList{"alpha", "beta", "gamma", "delta", "epsilon", std::string(40, 'x')})
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(word) != std::string::npos;
        })) << word;
    std::string want = Gbk(intro);
    want.erase(want.find("\r\n"), 2);
    auto squeeze = [](std::string s) {
        s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
        return s;
    };
    EXPECT_EQ(squeeze(text), squeeze(want));
    EXPECT_EQ(lines.back(), Gbk("第二段。"));
}

TEST(BookLists, Xs8SiteAnsweringEveryPageAlikeStillEnds) {
    WorkerHarness h;
    PageServer pages;  // the same list page whatever page number is asked for
    auto row = [](const std::string& key) {
        return "<tr bgcolor=#FFFFFF><td><a href=\"/love/" + key + "/index.html\">《书" + key +
               "》</a></td><td><a "
               "href=\"/sort/1.html\">言情</a></td><td>某人</td><td>2020-01-01</td><td>1</td>"
               "<td>2</td></tr>\r\n";
    };
    pages.Serve("/list.php", Gbk("<html><head><title>" + std::string(120, '-') +
                                 "</title></head><body><table><tr><td>点击数</td></tr>\r\n" + row("1") +
                                 row("2") + "</table><div>[首页]</div></body></html>"));
    SiteHosts hosts = h.sites.hosts();
    hosts.xs8 = pages.base();
    SetHosts(hosts);
    ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", ""));
    EXPECT_EQ(h.f1().BookURLList.items, (StringList{"1", "2"}));
    EXPECT_EQ(StoredList(h, Site::Xs8, "5000.ml.list"), (StringList{"1", "2"}));
}

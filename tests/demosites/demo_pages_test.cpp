// The demo pages walked the way the program's scrapers walk them: every list
// must yield exactly the content's books and end where the stop rules say,
// every cut must give the chapter, introduction or results it stands for.
#include <gtest/gtest.h>

#include <map>

#include "demo_test_support.h"

namespace talvenor::demo::test {
namespace {

DemoOptions SmallOptions() {
    DemoOptions o;
    o.port = 0;
    o.categories = 4;
    o.booksPerCategory = 45;  // three pages of 20, the last one short
    o.chaptersPerBook = 130;  // two 飞库 volumes
    o.xs8Books = 45;
    o.pageSize = 20;
    return o;
}

std::string Get(const std::string& url) {
    Response r = Fetch(url);
    EXPECT_EQ(r.curlCode, 0) << url;
    EXPECT_EQ(r.status, 200) << url;
    return r.body;
}

// The 多玩 and 小说阅读网 updates: new books go on top, up to the known first one.
struct ListWalk {
    std::vector<Entry> books;
    int pages = 0;
    std::map<std::string, std::string> intros;  // 小说阅读网: key -> introduction
};

void Take(ListWalk& walk, const std::string& known, int& insertAt, Entry entry, bool* stop) {
    if (known.empty()) {
        walk.books.push_back(entry);
    } else if (entry.title == known) {
        *stop = true;
    } else {
        walk.books.insert(walk.books.begin() + insertAt++, entry);
    }
}

ListWalk WalkDuowanList(const SiteHosts& hosts, const std::string& categoryUrl,
                        std::vector<Entry> stored = {}) {
    ListWalk walk{stored, 0, {}};
    std::string known = stored.empty() ? "" : stored[0].title;
    std::string prefix = categoryUrl.substr(0, categoryUrl.find("1."));
    for (int n = 1; n < 1000; ++n) {
        std::string page = G(Get(prefix + std::to_string(n) + ".html"));
        ++walk.pages;
        int insertAt = 0;
        bool stop = false;
        int pos = FindMarker("<li>", page, static_cast<int>(page.find("booklist") + 1));
        while (pos > 0 && !stop) {
            std::string href = CutBetween(page, "<a href=\"", "\"", pos);
            std::string key =
                href.substr(hosts.duowan.size() + 1, href.size() - hosts.duowan.size() - 1 - 10);
            std::string title = CutBetween(page, "_blank>", "</a>", pos);
            Take(walk, known, insertAt, {U(title), key}, &stop);
            pos = FindMarker("<li>", page, pos);
        }
        if (stop) return walk;
        std::string piece = CutBetween(page, "<td align=\"left\">", G("\">下一页"), pos);
        size_t us = piece.find('_'), dot = piece.find('.');
        EXPECT_TRUE(us != std::string::npos && dot != std::string::npos && us < dot) << "pager of page " << n;
        if (us == std::string::npos || dot == std::string::npos || dot < us) return walk;
        if (std::stoi(piece.substr(us + 1, dot - us - 1)) < n + 1) return walk;
    }
    ADD_FAILURE() << "the 多玩 pager never stops";
    return walk;
}

ListWalk WalkReadnovelList(const SiteHosts& hosts, const std::string& categoryUrl,
                           std::vector<Entry> stored = {}) {
    ListWalk walk{stored, 0, {}};
    std::string known = stored.empty() ? "" : stored[0].title;
    int insertAt = 0, total = 0;
    size_t a = categoryUrl.find("all/") + 4;
    std::string id = categoryUrl.substr(a, categoryUrl.find(".html") - a);
    std::string url = categoryUrl;
    for (int n = 1; n < 1000;) {
        std::string page = Get(url);
        ++walk.pages;
        int pos = FindMarker("<ul>", page, 100);
        int bound = static_cast<int>(page.find("</ul>") + 1);
        bool stop = false;
        while (pos < bound && !stop) {
            std::string key = CutBetween(page, "novel/", ".html\" target", pos);
            if (pos > bound) break;
            std::string title = G("《") + CutBetween(page, "<b>", "</b>", pos) + G("》");
            Take(walk, known, insertAt, {U(title), key}, &stop);
            std::string intro = CutBetween(page, "</h2>", "<div class=\"bothall\">", pos);
            if (!intro.empty()) walk.intros[key] = U(intro);
        }
        if (stop) return walk;
        if (total == 0) {
            int p = FindMarker("...", page, bound);
            if (p > 0) {
                total = std::stoi(CutBetween(page, "\">", "</a>", p));
            } else {
                size_t from = page.find("</ul>");
                std::string piece = page.substr(from, page.find(G("下1页</a>")) - from);
                for (size_t at = piece.find("<a href=", 8); at != std::string::npos;
                     at = piece.find("<a href=", at + 8))
                    ++total;
            }
        }
        if (++n > total) return walk;
        url = hosts.readnovel + "/ch/all/" + id + "/" + std::to_string(n) + ".html";
    }
    ADD_FAILURE() << "the 小说阅读网 paging never stops";
    return walk;
}

std::vector<Entry> WalkXs8List(const SiteHosts& hosts, int* pages) {
    std::vector<Entry> books;
    for (int n = 1; n < 1000; ++n) {
        std::string page = Get(hosts.xs8 + "/list.php?page=" + std::to_string(n));
        *pages = n;
        int pager = static_cast<int>(page.find(G("[首页]")) + 1);
        int pos = FindMarker(G("点击数"), page, 100);
        bool rows = false;
        while (true) {
            pos = FindMarker("<tr bgcolor", page, pos);
            if (pos < 0 || FindMarker("</tr>", page, pos) > pager) break;
            std::string key = CutBetween(page, "<a href=\"/love/", "/index", pos);
            std::string title = CutBetween(page, "\">", "</a>", pos);
            std::string second = CutBetween(page, "\">", "</a>", pos);
            std::string cells;
            for (int c = 0; c < 4; ++c) cells += "|" + CutBetween(page, "<td>", "</td>", pos);
            books.push_back({U(title + "|" + second + cells), key});
            rows = true;
            if (pos < 0) break;
        }
        if (!rows) return books;
    }
    ADD_FAILURE() << "the 言情小说吧 list never ends";
    return books;
}

std::vector<Entry> WalkFeikuList(const SiteHosts& hosts, const std::string& number, int* pages) {
    std::vector<Entry> books;
    for (int n = 1; n < 1000; ++n) {
        std::string page =
            Get(hosts.feiku + "/Book/ShowBookList.aspx?nclassid=" + number + "&page=" + std::to_string(n));
        *pages = n;
        int pos = FindMarker("<div id=\"CrListText\">", page, 100);
        int end = FindMarker("</div>", page, pos);
        if (pos < 0 || end < 0) return books;
        pos = FindMarker("<ul>", page, pos);
        while (pos < end && pos > 0) {
            pos = FindMarker("li2", page, pos);
            std::string key = CutBetween(page, "<a target=_blank href=\"/", "/List.shtm", pos);
            std::string title = CutBetween(page, "</a>", "</a>", pos);
            StripTags(title);
            std::string latest = CutBetween(page, "li3\">", "</li>", pos);
            StripTags(latest);
            std::string updated = CutBetween(page, "li4\">", "</li>", pos);
            std::string author = CutBetween(page, "li5\">", "</li>", pos);
            StripTags(author);
            std::string state = CutBetween(page, "li6\">", "</li>", pos);
            EraseAll(state, "&nbsp;");
            books.push_back({U(title + "|" + latest + "|" + updated + "|" + author + "|" + state), key});
            pos = FindMarker("<ul>", page, pos);
        }
        int p = FindMarker(G("条 , 当前"), page, 100);
        p = FindMarker("</font>", page, p);
        if (std::stoi(CutBetween(page, "<b>", "</b>", p)) == n) return books;
    }
    ADD_FAILURE() << "the 飞库 list never ends";
    return books;
}

class DemoPagesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sites_ = new DemoSites(SmallOptions());
        ASSERT_TRUE(sites_->Start());
    }
    static void TearDownTestSuite() {
        delete sites_;
        sites_ = nullptr;
    }
    const DemoContent& content() { return sites_->content(); }
    SiteHosts hosts() { return sites_->hosts(); }

    static DemoSites* sites_;
};

DemoSites* DemoPagesTest::sites_ = nullptr;

TEST_F(DemoPagesTest, CategoryPagesYieldTheContentsCategories) {
    auto duowan = WalkCategories(Site::Duowan, Get(content().CategoryPageUrl(Site::Duowan)), hosts());
    ASSERT_EQ(duowan.size(), 5u);
    EXPECT_EQ(duowan[0].key, hosts().duowan + "/include/finish/all_1.html");
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(duowan[c + 1].title, content().CategoryAt(Site::Duowan, c).name);
        EXPECT_EQ(duowan[c + 1].key, content().CategoryAt(Site::Duowan, c).url);
        EXPECT_EQ(duowan[c + 1].key.substr(duowan[c + 1].key.size() - 6), "1.html");
    }
    auto readnovel =
        WalkCategories(Site::Readnovel, Get(content().CategoryPageUrl(Site::Readnovel)), hosts());
    ASSERT_EQ(readnovel.size(), 11u);
    for (int c = 0; c < 11; ++c) {
        EXPECT_EQ(readnovel[c].title, content().CategoryAt(Site::Readnovel, c).name);
        EXPECT_EQ(readnovel[c].key, content().CategoryAt(Site::Readnovel, c).url);
    }
    auto feiku = WalkCategories(Site::Feiku, Get(content().CategoryPageUrl(Site::Feiku)), hosts());
    ASSERT_EQ(feiku.size(), 4u);
    for (int c = 0; c < 4; ++c) {
        Category cat = content().CategoryAt(Site::Feiku, c);
        EXPECT_EQ(feiku[c].title, cat.group + "-" + cat.name);
        EXPECT_EQ(feiku[c].key, cat.url);
    }
}

TEST_F(DemoPagesTest, FeikuGroupsWithASingleLinkItemStillParse) {
    for (int categories : {5, 7}) {
        DemoOptions o = SmallOptions();
        o.categories = categories;
        DemoSites odd(o);
        ASSERT_TRUE(odd.Start());
        auto feiku =
            WalkCategories(Site::Feiku, Get(odd.content().CategoryPageUrl(Site::Feiku)), odd.hosts());
        ASSERT_EQ(feiku.size(), static_cast<size_t>(categories));
        for (int c = 0; c < categories; ++c) EXPECT_EQ(feiku[c].key, std::to_string(c + 1));
    }
}

TEST_F(DemoPagesTest, DuowanListsEndOnTheLastPage) {
    for (int category : {0, kAllCategories}) {
        std::string url = category == kAllCategories ? hosts().duowan + "/include/finish/all_1.html"
                                                     : content().CategoryAt(Site::Duowan, category).url;
        ListWalk walk = WalkDuowanList(hosts(), url);
        int count = content().BookCount(Site::Duowan, category);
        EXPECT_EQ(walk.pages, content().ListPageCount(Site::Duowan, category));
        ASSERT_EQ(static_cast<int>(walk.books.size()), count);
        for (int p = 0; p < count; ++p) {
            Book b = content().BookAt(Site::Duowan, category, p);
            EXPECT_EQ(walk.books[p].title, "《" + b.title + "》");
            EXPECT_EQ(walk.books[p].key, b.key);
        }
    }
}

TEST_F(DemoPagesTest, ReadnovelListsCountTheirPagesOnPageOne) {
    ListWalk walk = WalkReadnovelList(hosts(), content().CategoryAt(Site::Readnovel, 2).url);
    EXPECT_EQ(walk.pages, 3);
    ASSERT_EQ(walk.books.size(), 45u);
    for (int p = 0; p < 45; ++p) {
        Book b = content().BookAt(Site::Readnovel, 2, p);
        EXPECT_EQ(walk.books[p].title, "《" + b.title + "》");
        EXPECT_EQ(walk.books[p].key, b.key);
        std::string intro;
        for (size_t i = 0; i < b.intro.size(); ++i) intro += (i ? "\r\n" : "") + b.intro[i];
        EXPECT_EQ(walk.intros[b.key], intro);
    }
    // More than ten pages: the count comes from the link after "...".
    DemoOptions o = SmallOptions();
    o.pageSize = 4;
    DemoSites many(o);
    ASSERT_TRUE(many.Start());
    ListWalk longWalk = WalkReadnovelList(many.hosts(), many.content().CategoryAt(Site::Readnovel, 0).url);
    EXPECT_EQ(longWalk.pages, 12);
    EXPECT_EQ(longWalk.books.size(), 45u);
}

TEST_F(DemoPagesTest, Xs8ListEndsAtThePageWithoutRows) {
    int pages = 0;
    auto books = WalkXs8List(hosts(), &pages);
    EXPECT_EQ(pages, 4);  // three pages of books, then one without a row
    ASSERT_EQ(books.size(), 45u);
    for (int p = 0; p < 45; ++p) {
        Book b = content().BookAt(Site::Xs8, 0, p);
        EXPECT_EQ(books[p].key, b.key);
        EXPECT_EQ(books[p].title, "《" + b.title + "》|" + b.genre + "|" + b.author + "|" + b.updated + "|" +
                                      std::to_string(b.clicks) + "|" + std::to_string(b.favourites));
    }
}

TEST_F(DemoPagesTest, FeikuListStopsAtThePageCount) {
    int pages = 0;
    auto books = WalkFeikuList(hosts(), "3", &pages);
    EXPECT_EQ(pages, 3);
    ASSERT_EQ(books.size(), 45u);
    for (int p = 0; p < 45; ++p) {
        Book b = content().BookAt(Site::Feiku, 2, p);
        EXPECT_EQ(books[p].key, b.key);
        EXPECT_EQ(books[p].title,
                  b.title + "|" + b.latestChapter + "|" + b.updated + "|" + b.author + "|" + b.state);
    }
    // A page past the count has no list at all.
    std::string past = Get(hosts().feiku + "/Book/ShowBookList.aspx?nclassid=3&page=4");
    EXPECT_EQ(past.find("CrListText"), std::string::npos);
}

TEST_F(DemoPagesTest, ChapterListsLinkEveryChapter) {
    for (Site site : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520}) {
        SCOPED_TRACE(SiteLabel(site));
        Book book = content().BookAt(site, 0, 7);
        auto chapters = WalkChapterList(site, Get(content().ChapterListUrl(book)), hosts(), book.key);
        ASSERT_EQ(static_cast<int>(chapters.size()), book.chapterCount);
        for (int n = 1; n <= book.chapterCount; ++n) {
            Chapter ch = content().ChapterOf(book, n, false);
            std::string title = ch.title;
            if (site == Site::Xs8) EraseAll(title, " ");
            EXPECT_EQ(chapters[n - 1].title, title);
            EXPECT_EQ(chapters[n - 1].key, ch.url);
        }
        EXPECT_EQ(book.latestChapter, content().ChapterOf(book, book.chapterCount).title);
    }
}

TEST_F(DemoPagesTest, ChapterPagesHoldTheParagraphsAndPictures) {
    int pictureChapters = 0;
    for (Site site : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520}) {
        SCOPED_TRACE(SiteLabel(site));
        Book book = content().BookAt(site, site == Site::Xs8 ? 0 : 1, 3);
        for (int n = 1; n <= 12; ++n) {
            Chapter ch = content().ChapterOf(book, n);
            std::string text = CutChapterText(site, Get(ch.url), hosts());
            size_t at = 0;
            for (const auto& p : ch.paragraphs) {
                at = text.find(p, at);
                ASSERT_NE(at, std::string::npos) << "chapter " << n;
            }
            for (const auto& pic : ch.pictures) {
                ++pictureChapters;
                EXPECT_NE(text.find(site == Site::Duowan ? "<img src='" + pic + "'>" : "src=\"" + pic + "\""),
                          std::string::npos);
                Response image = Fetch(pic);
                EXPECT_EQ(image.contentType, "image/gif");
                EXPECT_EQ(image.body.substr(0, 6), "GIF89a");
            }
            if (site == Site::Feiku && !ch.pictures.empty()) {
                EXPECT_TRUE(ch.paragraphs.empty());
            }
        }
    }
    EXPECT_GT(pictureChapters, 0);
}

TEST_F(DemoPagesTest, IntroductionsAreCutWholeOrNotAtAll) {
    for (Site site : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520}) {
        SCOPED_TRACE(SiteLabel(site));
        int withIntro = 0, without = 0;
        for (int p = 0; p < 45; ++p) {
            Book book = content().BookAt(site, 0, p);
            std::string text = CutIntroduction(site, Get(content().IntroductionUrl(book)));
            if (book.intro.empty()) {
                ++without;
                Trim(text);
                EXPECT_EQ(text, "") << book.key;
                continue;
            }
            ++withIntro;
            size_t at = 0;
            for (const auto& line : book.intro) {
                at = text.find(line, at);
                EXPECT_NE(at, std::string::npos) << book.key << ": " << line;
            }
        }
        EXPECT_GT(withIntro, 0);
        EXPECT_GT(without, 0);
    }
}

TEST_F(DemoPagesTest, SearchesListTheMatchingBooks) {
    for (Site site : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520}) {
        SCOPED_TRACE(SiteLabel(site));
        for (std::string keyword : {"重生", "穿越"}) {
            std::vector<Book> expected = content().Search(site, keyword);
            ASSERT_GE(expected.size(), 3u);
            bool found = false;
            auto results = WalkSearch(site, Get(content().SearchUrl(site, keyword)), hosts(), &found);
            ASSERT_EQ(results.size(), expected.size());
            for (size_t i = 0; i < results.size(); ++i) {
                EXPECT_EQ(results[i].title, expected[i].title);
                EXPECT_NE(results[i].title.find(keyword), std::string::npos);
                EXPECT_EQ(results[i].key, content().SearchKey(expected[i]));
            }
            // 言情小说吧's walk never reports success; the others do.
            EXPECT_EQ(found, site != Site::Xs8);
        }
        bool found = true;
        auto none = WalkSearch(site, Get(content().SearchUrl(site, "没有这本书")), hosts(), &found);
        EXPECT_TRUE(none.empty());
        EXPECT_FALSE(found);
    }
}

TEST_F(DemoPagesTest, GbkKeywordsArriveRawOrPercentEncoded) {
    std::string raw = hosts().feikuSearch + "/book/search.aspx?SearchClass=1&SearchKey=" + G("穿越");
    std::string encoded =
        hosts().feikuSearch + "/book/search.aspx?SearchClass=1&SearchKey=" + PercentEncodeAll(G("穿越"));
    auto a = WalkSearch(Site::Feiku, Get(raw), hosts());
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a.size(), WalkSearch(Site::Feiku, Get(encoded), hosts()).size());
}

TEST_F(DemoPagesTest, PagesCarryTheirSitesEncoding) {
    Book duowan = content().BookAt(Site::Duowan, 0, 0);
    Response r = Fetch(content().ChapterListUrl(duowan));
    EXPECT_EQ(r.contentType, "text/html; charset=utf-8");
    EXPECT_TRUE(IsValidUtf8(r.body));
    EXPECT_NE(r.body.find(duowan.title), std::string::npos);
    for (Site site : {Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520}) {
        SCOPED_TRACE(SiteLabel(site));
        Book book = content().BookAt(site, 0, 0);
        Response g = Fetch(content().ChapterListUrl(book));
        EXPECT_EQ(g.contentType, "text/html; charset=gbk");
        EXPECT_FALSE(IsValidUtf8(g.body));  // Chinese text in GBK is no UTF-8
        EXPECT_NE(g.body.find(G(book.title)), std::string::npos);
        EXPECT_EQ(G(U(g.body)), g.body);  // decodes as GBK without loss
    }
}

TEST_F(DemoPagesTest, PagesAreTheSameOnEveryRequestAndEveryServer) {
    DemoSites twin(SmallOptions());
    ASSERT_TRUE(twin.Start());
    Book book = content().BookAt(Site::Feiku, 1, 5);
    std::vector<std::string> urls = {
        content().CategoryPageUrl(Site::Duowan), content().ListPageUrl(Site::Readnovel, 3, 2),
        content().ChapterListUrl(book),          content().ChapterOf(book, 4).url,
        content().SearchUrl(Site::Xs8, "重生"),  content().IntroductionUrl(book)};
    std::string here = ":" + std::to_string(sites_->port()), there = ":" + std::to_string(twin.port());
    for (const auto& url : urls) {
        std::string first = Get(url);
        EXPECT_EQ(first, Get(url)) << url;
        std::string other = url;
        ReplaceAll(other, here, there);
        std::string elsewhere = Get(other);
        ReplaceAll(elsewhere, there, here);
        EXPECT_EQ(first, elsewhere) << url;
    }
}

}  // namespace
}  // namespace talvenor::demo::test

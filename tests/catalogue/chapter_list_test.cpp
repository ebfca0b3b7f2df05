// Chapter-list downloads of the worker against the demo sites.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalogue/worker_harness.h"
#include "text/markers.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

using End = WorkerHarness::End;

struct Case {
    Site site;
    demo::Site demoSite;
    const char* host;
    bool bookFirst;  // entry 0 is the book itself
};

const Case kCases[] = {
    {Site::Duowan, demo::Site::Duowan, "duowan.localhost", false},
    {Site::Readnovel, demo::Site::Readnovel, "readnovel.localhost", true},
    {Site::Xs8, demo::Site::Xs8, "xs8.localhost", true},
    {Site::Feiku, demo::Site::Feiku, "feiku.localhost", false},
    {Site::S520, demo::Site::S520, "read.xs520.localhost", false},
};

// The lists a chapter-list download must leave, from the demo content.
void Expect(WorkerHarness& h, const Case& k, const demo::Book& book, StringList titles, StringList urls) {
    for (int n = 1; n <= book.chapterCount; ++n) {
        demo::Chapter ch = h.content().ChapterOf(book, n, false);
        std::string title = Gbk(ch.title);
        if (k.site == Site::Xs8) CleanLinkText(title);
        titles.push_back(title);
        urls.push_back(ch.url);
    }
    EXPECT_EQ(h.f2().ListBox1.items, titles) << Label(k.site);
    EXPECT_EQ(h.f2().PageUrlList.items, urls) << Label(k.site);
}

std::string BookName(const demo::Book& b) {
    return Gbk(b.title);
}

}  // namespace

TEST(ChapterLists, EverySiteListsItsChaptersInPageOrder) {
    demo::DemoOptions options;
    options.chaptersPerBook = 230;  // 飞库 closes each volume of 100 with its end marker
    WorkerHarness h(options);
    for (const Case& k : kCases) {
        demo::Book book = h.content().BookAt(k.demoSite, 0, 3);
        // What an earlier book left behind is replaced.
        h.f2().ListBox1.Add("old");
        ASSERT_EQ(h.RunChapterList(k.site, book.key, BookName(book)), End::Ready) << Label(k.site);
        StringList titles, urls;
        if (k.bookFirst) {
            titles.push_back(BookName(book));
            urls.push_back(h.content().ChapterListUrl(book));
        }
        Expect(h, k, book, titles, urls);
        EXPECT_EQ(h.f2().ListBox1.itemIndex, 0);
        EXPECT_TRUE(h.f2().window.visible);
        // 言情小说吧's page went through a file of the worker's own, gone again
        // before the reader showed the chapter.
        EXPECT_EQ(h.atReady.tmpFiles, 0) << Label(k.site);
        if (k.site == Site::Xs8 || k.site == Site::Feiku || k.site == Site::S520) {
            EXPECT_EQ(h.f4().ProgressBar1.position, h.f4().ProgressBar1.max) << Label(k.site);
        }
    }
}

TEST(ChapterLists, PagesWithoutTheirMarkers) {
    WorkerHarness h;
    h.Fault("*", "", demo::FaultKind::NoMarker);
    for (const Case& k : kCases) {
        demo::Book book = h.content().BookAt(k.demoSite, 0, 0);
        ASSERT_EQ(h.RunChapterList(k.site, book.key, BookName(book)), End::Ready) << Label(k.site);
        const StringList& titles = h.f2().ListBox1.items;
        switch (k.site) {
            case Site::Readnovel:
                EXPECT_EQ(titles, (StringList{BookName(book), G("没有章节")}));
                EXPECT_EQ(h.f2().PageUrlList.items,
                          (StringList{h.content().ChapterListUrl(book), "about:blank"}));
                break;
            case Site::Xs8:
                // Searched from the top of the page instead, the links still
                // end at the comment after them.
                Expect(h, k, book, StringList{BookName(book)}, StringList{h.content().ChapterListUrl(book)});
                break;
            default:
                EXPECT_TRUE(titles.empty()) << Label(k.site);
                EXPECT_TRUE(h.f2().PageUrlList.items.empty()) << Label(k.site);
        }
    }
}

// A list page that cannot be had is a failed download on every site: the
// reader is not opened on an empty list, and the user is told why.
TEST(ChapterLists, AFailedFetchOpensNoReaderAndSaysSo) {
    WorkerHarness h;
    for (int status : {500, 404}) {
        const int fault = h.Fault("*", "", demo::FaultKind::Status, status);
        for (const Case& k : kCases) {
            SCOPED_TRACE(Label(k.site));
            demo::Book book = h.content().BookAt(k.demoSite, 0, 0);
            h.f2().ListBox1.Add("old");
            h.f2().PageUrlList.Add("old");
            h.desktop.messages.clear();
            EXPECT_EQ(h.RunChapterList(k.site, book.key, BookName(book)), End::Failed);
            EXPECT_FALSE(h.f2().window.visible);
            EXPECT_FALSE(h.f4().window.visible);
            EXPECT_EQ(h.desktop.messages, StringList{G("网络连接失败")});
            const StringList& titles = h.f2().ListBox1.items;
            // 小说阅读网 and 言情小说吧 put the book's own entry first.
            if (k.bookFirst)
                EXPECT_EQ(titles, StringList{BookName(book)});
            else
                EXPECT_TRUE(titles.empty());
            EXPECT_EQ(titles.size(), h.f2().PageUrlList.items.size());
        }
        h.sites.RemoveFault(fault);
    }
    EXPECT_TRUE(std::filesystem::is_empty(h.paths.tmpDir));
}

TEST(ChapterLists, EmptyCutOffAndMisencodedPagesListOnlyRealChapters) {
    WorkerHarness h;
    for (auto kind : {demo::FaultKind::EmptyBody, demo::FaultKind::CutOff, demo::FaultKind::BadUtf8}) {
        int fault = h.Fault("*", "", kind);
        for (const Case& k : kCases) {
            SCOPED_TRACE(std::string(Label(k.site)) + " fault " + std::to_string(static_cast<int>(kind)));
            demo::Book book = h.content().BookAt(k.demoSite, 0, 1);
            // The harness fails a download that never ends.  A cut-off page is
            // a failed download, which each site ends in its own way (see
            // AFailedFetchEndsAsEachSiteSays); the others are pages that came.
            const End end = h.RunChapterList(k.site, book.key, BookName(book));
            if (kind != demo::FaultKind::CutOff) {
                EXPECT_EQ(end, End::Ready);
            }
            // The whole list as the page would give it.
            StringList titles, urls;
            if (k.bookFirst) {
                titles.push_back(BookName(book));
                urls.push_back(h.content().ChapterListUrl(book));
            }
            const size_t own = titles.size();
            for (int n = 1; n <= book.chapterCount; ++n) {
                demo::Chapter ch = h.content().ChapterOf(book, n, false);
                std::string title = Gbk(ch.title);
                if (k.site == Site::Xs8) CleanLinkText(title);
                titles.push_back(title);
                urls.push_back(ch.url);
            }
            const StringList& gotTitles = h.f2().ListBox1.items;
            const StringList& gotUrls = h.f2().PageUrlList.items;
            if (kind == demo::FaultKind::CutOff) {
                // Half a page: at most the chapters of its first half, and
                // nothing made up from the rest.
                EXPECT_LT(gotUrls.size(), urls.size());
                EXPECT_EQ(gotUrls,
                          StringList(urls.begin(), urls.begin() + std::min(gotUrls.size(), urls.size())));
                EXPECT_EQ(gotTitles, StringList(titles.begin(),
                                                titles.begin() + std::min(gotTitles.size(), titles.size())));
            } else if (kind == demo::FaultKind::BadUtf8 && k.site != Site::Duowan) {
                // A stray byte in a GBK page: every chapter still there.
                EXPECT_EQ(gotUrls, urls);
                EXPECT_EQ(gotTitles.size(), titles.size());
            } else if (k.site == Site::Readnovel) {
                // No list on the page (empty, or 多玩's page that does not decode).
                EXPECT_EQ(gotTitles, (StringList{BookName(book), G("没有章节")}));
                EXPECT_EQ(gotUrls, (StringList{h.content().ChapterListUrl(book), "about:blank"}));
            } else {
                EXPECT_EQ(gotTitles, StringList(titles.begin(), titles.begin() + own));
                EXPECT_EQ(gotUrls, StringList(urls.begin(), urls.begin() + own));
            }
        }
        h.sites.RemoveFault(fault);
    }
}

TEST(ChapterLists, MalformedListsEndWhereTheirLinksDo) {
    WorkerHarness h;
    PageServer pages;
    SiteHosts hosts = h.sites.hosts();
    hosts.duowan = hosts.readnovel = hosts.feiku = hosts.s520Chapters = pages.base();
    SetHosts(hosts);
    const std::string head = "<html><head><title>" + std::string(120, '-') + "</title></head><body>";

    // 小说阅读网: a link with no text is the last one taken.
    pages.Serve("/partlist/7/",
                Gbk(head + "<div id=\"mulu\"><ul><li><a href=\"@/a.html\">甲</a></li>"
                           "<li><a href=\"@/b.html\"></a></li><li><a href=\"@/c.html\">丙</a></li>"
                           "</ul></div> <!--书目录结束--></body>"));
    ASSERT_EQ(h.RunChapterList(Site::Readnovel, "7", "book"), End::Ready);
    EXPECT_EQ(h.f2().ListBox1.items, (StringList{"book", G("甲"), ""}));
    EXPECT_EQ(h.f2().PageUrlList.items, (StringList{pages.base() + "/partlist/7/", pages.base() + "/a.html",
                                                    pages.base() + "/b.html"}));

    // 飞库 without its end marker: no chapter.  With one, a last link
    // without "</a>" leaves its URL alone at the end.
    pages.Serve("/f/1/List.shtm",
                Gbk(head + "<div id=\"feiku_chaplist\"><li><a href=\"1.shtm\">一</a></li></div>"));
    ASSERT_EQ(h.RunChapterList(Site::Feiku, "f/1", "book"), End::Ready);
    EXPECT_TRUE(h.f2().ListBox1.Empty());
    EXPECT_TRUE(h.f2().PageUrlList.Empty());
    pages.Serve("/f/2/List.shtm", Gbk(head + "<div id=\"feiku_chaplist\"><li><a href=\"1.shtm\">一</a></li>"
                                             "<li><a href=\"2.shtm\">二<div id=\"feiku_e_n_d\"></div>"));
    ASSERT_EQ(h.RunChapterList(Site::Feiku, "f/2", "book"), End::Ready);
    EXPECT_EQ(h.f2().ListBox1.items, StringList{G("一")});
    EXPECT_EQ(h.f2().PageUrlList.items,
              (StringList{pages.base() + "/f/2/1.shtm", pages.base() + "/f/2/2.shtm"}));

    // Read as written, these would send the walk back to the first link for ever.
    pages.Serve("/d/index.html", head +
                                     "<div id=\"textlist\"><ul><li><a href=\"@/d/1.html\">一</a></li>"
                                     "<li><a href=\"@/d/2.ht</ul></div><!-- end textlist -->");
    ASSERT_EQ(h.RunChapterList(Site::Duowan, "d/", "book"), End::Ready);
    EXPECT_EQ(h.f2().ListBox1.items, StringList{G("一")});
    EXPECT_EQ(h.f2().PageUrlList.items, StringList{pages.base() + "/d/1.html"});

    pages.Serve("/s/List.shtml", Gbk(head + "<ul><li><a href=\"1.shtml\">一</a></li><li>缺</li></ul>"
                                            "<div id=\"End\"></div>"));
    ASSERT_EQ(h.RunChapterList(Site::S520, "s", "book"), End::Ready);
    ASSERT_FALSE(h.f2().ListBox1.Empty());
    EXPECT_EQ(h.f2().ListBox1.items[0], G("一"));
}

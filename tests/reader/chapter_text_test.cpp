// The chapter scrapers against the demo sites: what lands in the reader page.
#include <gtest/gtest.h>

#include "catalogue/worker_harness.h"
#include "reader/reader_form.h"

using namespace talvenor;
using talvenor::demo::FaultKind;

namespace {

class ChapterText : public ::testing::Test, public WorkerHarness {
protected:
    demo::Book BookOf(demo::Site site) { return content().BookAt(site, 0, 0); }
    static Site CoreSite(demo::Site s) {
        switch (s) {
            case demo::Site::Duowan: return Site::Duowan;
            case demo::Site::Readnovel: return Site::Readnovel;
            case demo::Site::Xs8: return Site::Xs8;
            case demo::Site::Feiku: return Site::Feiku;
            default: return Site::S520;
        }
    }
    // Entry 0 of 小说阅读网 and 言情小说吧 is the book itself.
    static int IndexOf(demo::Site s, int chapter) {
        return s == demo::Site::Readnovel || s == demo::Site::Xs8 ? chapter : chapter - 1;
    }
    void Open(demo::Site site, const demo::Book& book) {
        ASSERT_EQ(RunChapterList(CoreSite(site), book.key, ::Gbk(book.title)), End::Ready);
        f1().CurrentSite = Label(CoreSite(site));
    }
    // What ShowChapter does around the scraper.
    std::string Show(int index) {
        f2().ListBox1.Select(index);
        f2().ProgressBar1.SetMax(100);
        f2().ProgressBar1.position = 30;
        RemoveFile(f2().PagePath());
        f2().ScrapeChapter();
        return FileExists(f2().PagePath()) ? ReadFileBytes(f2().PagePath()) : std::string();
    }
    int ChapterWith(const demo::Book& book, const std::function<bool(const demo::Chapter&)>& pred) {
        for (int n = 1; n <= book.chapterCount; ++n)
            if (pred(content().ChapterOf(book, n))) return n;
        return -1;
    }
    void ExpectParagraphs(const std::string& page, const demo::Chapter& ch) {
        for (const auto& p : ch.paragraphs) EXPECT_NE(page.find(::Gbk(p)), std::string::npos) << p;
    }
};

}  // namespace

TEST_F(ChapterText, EverySiteFirstEntryAndALaterChapter) {
    for (demo::Site site : {demo::Site::Duowan, demo::Site::Readnovel, demo::Site::Xs8, demo::Site::Feiku,
                            demo::Site::S520}) {
        SCOPED_TRACE(demo::SiteLabel(site));
        demo::Book book = BookOf(site);
        Open(site, book);
        const bool frameA = site == demo::Site::Duowan || site == demo::Site::Readnovel;
        const bool heading = site != demo::Site::Readnovel && site != demo::Site::Xs8;

        std::string first = Show(0);
        EXPECT_EQ(first.rfind(frameA ? "<htm><base target=_Blank><body>" : "<base target=_Blank><body>", 0), 0u);
        EXPECT_EQ(f2().ProgressBar1.position, 100);
        if (site == demo::Site::Readnovel) {
            EXPECT_NE(first.find(::Gbk(demo::DemoContent::Announcement())), std::string::npos);
        } else if (site == demo::Site::Xs8) {
            EXPECT_NE(first.find(::Gbk(book.intro.at(0))), std::string::npos);
            EXPECT_EQ(first.find("<a "), std::string::npos);  // tags stripped
        } else {
            ExpectParagraphs(first, content().ChapterOf(book, 1));
        }

        demo::Chapter ch = content().ChapterOf(book, 3);
        if (!ch.pictures.empty() && ch.paragraphs.empty()) ch = content().ChapterOf(book, 4);
        std::string later = Show(IndexOf(site, ch.number));
        ExpectParagraphs(later, ch);
        EXPECT_EQ(later.find("<h1>" + ::Gbk(ch.title) + "</h1>") != std::string::npos, heading);
        EXPECT_EQ(f2().ProgressBar1.position, 100);
        EXPECT_TRUE(desktop.messages.empty());
    }
}

TEST_F(ChapterText, WordFilterAndParagraphSpacing) {
    const std::string mark = ::Gbk(demo::DemoContent::Watermark());
    f2().prefs.FilterWord = mark;
    for (demo::Site site : {demo::Site::Duowan, demo::Site::Feiku, demo::Site::S520, demo::Site::Readnovel}) {
        SCOPED_TRACE(demo::SiteLabel(site));
        demo::Book book = BookOf(site);
        int n = ChapterWith(book, [](const demo::Chapter& c) {
            return c.paragraphs.size() > 1 && c.paragraphs[1].find(demo::DemoContent::Watermark()) != std::string::npos;
        });
        ASSERT_GT(n, 0);
        Open(site, book);
        f2().prefs.N25.checked = false;
        EXPECT_NE(Show(IndexOf(site, n)).find(mark), std::string::npos);
        f2().prefs.N25.checked = true;
        std::string page = Show(IndexOf(site, n));
        EXPECT_EQ(page.find(mark), std::string::npos);
        EXPECT_NE(page.find(::Gbk(content().ChapterOf(book, n).paragraphs[0])), std::string::npos);
    }
    // Each paragraph ends in <br>: 3倍间距 puts three more behind it, 0倍间距 none.
    demo::Book book = BookOf(demo::Site::S520);
    Open(demo::Site::S520, book);
    f2().prefs.Nb1.checked = false;
    f2().prefs.Nb3.checked = true;
    std::string wide = Show(0);
    EXPECT_NE(wide.find("<br><br><br><br>"), std::string::npos);
    EXPECT_EQ(wide.find("<br><br><br><br><br>"), std::string::npos);
    f2().prefs.Nb3.checked = false;
    f2().prefs.NB0.checked = true;
    EXPECT_EQ(Show(0).find("<br>\r\n" "<br>"), std::string::npos);
    EXPECT_EQ(Show(0).find("<br><br>"), std::string::npos);
}

TEST_F(ChapterText, FeikuPictureChapterShowsTheBlocksWithAbsoluteAddresses) {
    demo::Book book = BookOf(demo::Site::Feiku);
    int n = ChapterWith(book, [](const demo::Chapter& c) { return !c.pictures.empty(); });
    ASSERT_GT(n, 0);
    Open(demo::Site::Feiku, book);
    std::string page = Show(n - 1);
    demo::Chapter ch = content().ChapterOf(book, n);
    size_t last = 0;
    for (const auto& pic : ch.pictures) {
        size_t at = page.find("<img src=\"" + pic + "\"");
        ASSERT_NE(at, std::string::npos) << pic;  // relative ones made absolute, absolute ones unchanged
        EXPECT_GT(at, last);                      // in page order
        last = at;
    }
    EXPECT_EQ(page.find(Hosts().feiku + Hosts().feiku), std::string::npos);
    EXPECT_NE(page.find("<h1>" + ::Gbk(ch.title) + "</h1>"), std::string::npos);
}

TEST_F(ChapterText, FailureRows) {
    demo::Book duowan = BookOf(demo::Site::Duowan);
    Open(demo::Site::Duowan, duowan);
    WriteFileAtomic(f2().PagePath(), "previous page");
    auto showKeeping = [&](int index) {
        WriteFileAtomic(f2().PagePath(), "previous page");
        f2().ListBox1.Select(index);
        f2().ProgressBar1.position = 30;
        f2().ScrapeChapter();
        return ReadFileBytes(f2().PagePath());
    };
    int fault = Fault("duowan.localhost", "/2.html", FaultKind::Status, 500);
    EXPECT_EQ(showKeeping(1), "previous page");
    EXPECT_EQ(desktop.messages.back(), G("网络连接失败"));
    EXPECT_EQ(f2().ProgressBar1.position, 100);
    sites.RemoveFault(fault);
    // The client was renewed: no more redirects are followed with it.
    EXPECT_FALSE(program->IdHTTP1.Get()->settings().followRedirects);
    EXPECT_THROW(program->IdHTTP1.Get()->Get(Hosts().duowan + "/test/redirect/1"), FetchError);

    fault = Fault("duowan.localhost", "/3.html", FaultKind::NoMarker);
    EXPECT_NE(Show(2).find(G("连接失败，请尝试刷新或重新运行程序")), std::string::npos);
    sites.RemoveFault(fault);

    for (demo::Site site : {demo::Site::Feiku, demo::Site::S520}) {
        demo::Book book = BookOf(site);
        Open(site, book);
        Fault("*", "/2.sh", FaultKind::Status, 404);
        desktop.messages.clear();
        EXPECT_EQ(showKeeping(1), "previous page");
        EXPECT_EQ(desktop.messages, StringList{G("网络连接失败！")});
    }

    demo::Book rn = BookOf(demo::Site::Readnovel);
    Open(demo::Site::Readnovel, rn);
    f2().PageUrlList.items[1] = "about:blank";  // as the entry "没有章节" has
    std::string page = Show(1);
    EXPECT_NE(page.find(G("连接超时。。。请稍后访问")), std::string::npos);
    EXPECT_EQ(f2().ProgressBar1.position, 80);

    demo::Book xs8 = BookOf(demo::Site::Xs8);
    Open(demo::Site::Xs8, xs8);
    desktop.messages.clear();
    fault = Fault("xs8.localhost", "/2.html", FaultKind::EmptyBody);
    Show(2);
    EXPECT_EQ(desktop.messages, StringList{G("网络连接失败")});
    sites.RemoveFault(fault);
    Fault("xs8.localhost", "/2.html", FaultKind::Status, 500);
    f2().ListBox1.Select(2);
    EXPECT_THROW(f2().ScrapeChapter(), FileError);  // no file: the display's guard shows an empty page
}

TEST_F(ChapterText, FeikuPictureBlocksThatCannotBeCut) {
    const std::string head(120, ' ');
    PageServer crafted;
    crafted.Serve("/early.shtm", "<div id=\"frontdiv\"><div align=\"center\"><img src=\"/a.gif\"></div>" + head);
    crafted.Serve("/back.shtm", head + "<div id=\"frontdiv\">x<div align=\"center\"><img src=\"/a.gif\">");
    crafted.Serve("/nosrc.shtm", head + "<div id=\"frontdiv\"><div align=\"center\">text only</div></div>");
    f1().CurrentSite = G("飞库");
    f2().ListBox1.Assign({"c1", "c2", "c3"});
    f2().PageUrlList.Assign({crafted.base() + "/early.shtm", crafted.base() + "/back.shtm",
                             crafted.base() + "/nosrc.shtm"});
    EXPECT_NE(Show(0).find(G("解码失败，请与软件作者联系")), std::string::npos);
    EXPECT_NE(Show(1).find(G("解码失败，请与软件作者联系")), std::string::npos);
    std::string page = Show(2);
    EXPECT_NE(page.find("text only"), std::string::npos);  // no picture address: left as it is
    EXPECT_EQ(page.find(Hosts().feiku), std::string::npos);
}

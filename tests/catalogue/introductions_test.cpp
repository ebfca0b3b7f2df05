#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/hint_worker.h"
#include "catalogue/search_fixture.h"
#include "support/hold_bound.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

const char* const kNoFile = "没有简介，可以右击选择更新。";

struct SiteCase {
    demo::Site site;
    const char* current;  // CurrentSite while the book is shown
    const char* folder;
    const char* host;  // the demo host of the introduction page
};
const SiteCase kSites[] = {
    {demo::Site::Duowan, "多玩", "多玩", "duowan"},
    {demo::Site::Readnovel, "小说阅读网", "小说阅读网", "readnovel"},
    {demo::Site::Xs8, "言情小说吧", "言情小说吧", "xs8"},
    {demo::Site::Feiku, "飞库", "飞库", "feiku"},
    {demo::Site::S520, "多玩", "小说520", "xs520"},  // from the watch list
};

class Introductions : public DemoProgramTest {
  protected:
    void SetUp() override {
        DemoProgramTest::SetUp();
        Start();
    }
    // The first books of the site with (or without) an introduction.
    demo::Book Book(demo::Site site, bool withIntro, int skip = 0) {
        for (int pos = 0; pos < content().BookCount(site, 0); ++pos) {
            demo::Book b = content().BookAt(site, 0, pos);
            if ((b.intro.size() >= 2) == withIntro && !b.intro.empty() == withIntro && skip-- == 0) return b;
        }
        ADD_FAILURE() << "no such book";
        return {};
    }
    // The key the book list holds: search-tagged for 小说520, which has no catalogue.
    static std::string KeyOf(const demo::Book& b) {
        return b.site == demo::Site::S520 ? "[520]" + b.key : b.key;
    }
    void Show(const SiteCase& c, const std::vector<demo::Book>& books) {
        f1().CurrentSite = G(c.current);
        f1().ListBox2.Clear();
        f1().BookURLList.Clear();
        for (const auto& b : books) {
            f1().ListBox2.Add(G(b.title.c_str()));
            f1().BookURLList.Add(KeyOf(b));
        }
        f1().ListBox2.Select(0);
    }
    // The file of a book as the folder shows it (UTF-8 names on disk).
    std::string FileOf(const SiteCase& c, const demo::Book& b) {
        std::string name = KeyOf(b);
        if (c.site != demo::Site::Readnovel && c.site != demo::Site::Xs8)
            for (char& ch : name)
                if (ch == '/') ch = '_';
        return paths.seeDir + c.folder + "/" + name + ".txt";
    }
    // The introduction as stored: every line followed by an empty one,
    // except 言情小说吧's, which begins with the break after its marker.
    static std::string Stored(demo::Site site, const std::vector<std::string>& lines) {
        std::string out = site == demo::Site::Xs8 ? "\r\n" : "";
        for (const auto& l : lines) out += G(l.c_str()) + (site == demo::Site::Xs8 ? "\r\n" : "\r\n\r\n");
        return out;
    }
    bool WaitForHint() {
        return desktop.PumpUntil([&] { return f1().ListBox2.tag == 0 && f1().ListBox3.tag == 0; },
                                 std::chrono::seconds(30));
    }
    std::string Read(const std::string& path) { return FileExists(path) ? ReadFileBytes(path) : "<none>"; }
};

TEST_F(Introductions, EachSiteIsFetchedStoredAndShownFromTheFile) {
    for (const auto& c : kSites) {
        SCOPED_TRACE(c.folder);
        demo::Book book = Book(c.site, true);
        Show(c, {book});
        f1().ListBox2Click();
        EXPECT_EQ(f1().ListBox2.hint, G(kNoFile));
        f1().N23Click();
        EXPECT_EQ(f1().ListBox2.tag, -1);
        ASSERT_TRUE(WaitForHint());
        const std::string expected = Stored(c.site, book.intro);
        EXPECT_EQ(f1().ListBox2.hint, expected);
        EXPECT_EQ(Read(FileOf(c, book)), expected);
        f1().ListBox2.hint.clear();
        f1().ListBox2Click();
        EXPECT_EQ(f1().ListBox2.hint, expected);
    }
    EXPECT_TRUE(desktop.messages.empty());
    // 言情小说吧's page went through a file of the worker's own, removed again.
    EXPECT_TRUE(!DirExists(paths.tmpDir) || std::filesystem::is_empty(paths.tmpDir));
}

TEST_F(Introductions, TheFilteredListAsksAndReceivesForItself) {
    const SiteCase& c = kSites[3];
    demo::Book book = Book(c.site, true, 1);
    Show(c, {Book(c.site, true), book});
    f1().ListBox3.Add(G(book.title.c_str()));
    f1().shxList.Add(book.key);
    f1().ListBox3.Select(0);
    f1().PBtnLvTag = 1;
    f1().ListBox2.visible = false;
    f1().ListBox3.visible = true;
    f1().N23Click();
    EXPECT_EQ(f1().ListBox3.tag, -1);
    ASSERT_TRUE(WaitForHint());
    EXPECT_EQ(f1().ListBox3.hint, Stored(c.site, book.intro));
    EXPECT_EQ(f1().ListBox2.hint, "");
    EXPECT_EQ(Read(FileOf(c, book)), Stored(c.site, book.intro));
}

TEST_F(Introductions, PagesWithoutAnIntroductionStoreThatFact) {
    for (const auto& c : kSites) {
        if (c.site == demo::Site::Xs8) continue;
        SCOPED_TRACE(c.folder);
        demo::Book book = Book(c.site, false);
        Show(c, {book});
        f1().N23Click();
        ASSERT_TRUE(WaitForHint());
        EXPECT_EQ(Read(FileOf(c, book)), G("没有简介\r\n\r\n"));
    }
    // A page that lost its marker is read the same way.
    for (int i : {2, 3, 4}) {
        const SiteCase& c = kSites[i];
        SCOPED_TRACE(c.folder);
        Fail(c.host, demo::FaultKind::NoMarker);
        demo::Book book = Book(c.site, true, 2);
        Show(c, {book});
        f1().N23Click();
        ASSERT_TRUE(WaitForHint());
        EXPECT_EQ(Read(FileOf(c, book)), G(c.site == demo::Site::Xs8 ? "没有简介\r\n" : "没有简介\r\n\r\n"));
    }
}

// A page that cannot be had says nothing about the book: the user is told,
// and no fixed text ("没有简介", "下载失败") is stored to stand for the
// book's introduction from then on.
TEST_F(Introductions, AFailedFetchStoresNothingAndSaysSo) {
    bool messageOnMain = false;
    desktop.onMessage = [&](const std::string&) { messageOnMain = desktop.OnMainThread(); };
    for (const auto& c : kSites) {
        for (int status : {500, 404}) {
            SCOPED_TRACE(std::string(c.folder) + " " + std::to_string(status));
            Fail(c.host, demo::FaultKind::Status, status);
            demo::Book book = Book(c.site, true, 3);
            Show(c, {book});
            f1().ListBox2Click();
            desktop.messages.clear();
            f1().N23Click();
            ASSERT_TRUE(WaitForHint());
            EXPECT_EQ(Read(FileOf(c, book)), "<none>");
            EXPECT_EQ(f1().ListBox2.hint, G(kNoFile));
            EXPECT_EQ(desktop.messages, Gbk({"网络连接失败"}));
            sites().ClearFaults();

            // Once the site answers, the introduction comes as usual.
            f1().N23Click();
            ASSERT_TRUE(WaitForHint());
            EXPECT_EQ(Read(FileOf(c, book)), Stored(c.site, book.intro));
            RemoveFile(FileOf(c, book));
        }
    }
    EXPECT_TRUE(messageOnMain);
}

TEST_F(Introductions, AFailedDownloadKeepsTheStoredIntroduction) {
    const std::string stored = G("早先存下的简介\r\n\r\n");
    const struct {
        demo::FaultKind kind;
        int value;
        bool fetchFails;
    } failures[] = {{demo::FaultKind::RedirectLoop, 0, false},  // the last redirect is the answer
                    {demo::FaultKind::Status, 500, true},
                    {demo::FaultKind::EmptyBody, 0, false},
                    {demo::FaultKind::NoMarker, 0, false}};
    for (const auto& c : kSites) {
        demo::Book book = Book(c.site, true, 4);
        Show(c, {book});
        MakeDirs(paths.seeDir + c.folder);
        WriteFileAtomic(FileOf(c, book), stored);
        for (const auto& f : failures) {
            SCOPED_TRACE(std::string(c.folder) + " fault " + std::to_string(static_cast<int>(f.kind)));
            Fail(c.host, f.kind, f.value);
            f1().ListBox2.hint = "before";
            f1().N23Click();
            ASSERT_TRUE(WaitForHint());
            EXPECT_EQ(Read(FileOf(c, book)), stored);
            // The hint shows what is stored; a failed fetch also says so.
            EXPECT_EQ(f1().ListBox2.hint, stored);
            EXPECT_EQ(desktop.messages.size(), f.fetchFails ? 1u : 0u);
            desktop.messages.clear();
            sites().ClearFaults();
        }
    }
}

TEST_F(Introductions, OneDownloadAtATime) {
    const SiteCase& c = kSites[3];
    demo::Book first = Book(c.site, true), second = Book(c.site, true, 1);
    Show(c, {first, second});
    // The first download is held at the server until both clicks are done.
    Fail(c.host, demo::FaultKind::Hold);
    f1().N23Click();
    f1().ListBox2.Select(1);
    f1().ListBox2Click();
    f1().N23Click();
    EXPECT_EQ(desktop.messages,
              Gbk({"别点那么快，上一个简介还没下载完", "别点那么快，上一个简介还没下载完"}));
    EXPECT_EQ(f1().ListBox2.hint, "");
    EXPECT_EQ(f1().hintWorkers.size(), 1u);
    ASSERT_TRUE(desktop.PumpUntil([&] { return sites().Held() == 1; }, std::chrono::seconds(60)));
    sites().ClearFaults();
    sites().ReleaseHeld();
    ASSERT_TRUE(WaitForHint());
    EXPECT_EQ(f1().ListBox2.hint, Stored(c.site, first.intro));
    EXPECT_FALSE(FileExists(FileOf(c, second)));
    f1().ListBox2Click();  // free again: the second book has no file yet
    EXPECT_EQ(f1().ListBox2.hint, G(kNoFile));
}

TEST_F(Introductions, ClosingTheProgramStopsADownloadAtOnce) {
    const SiteCase& c = kSites[0];
    demo::Book book = Book(c.site, true);
    Show(c, {book});
    // The page is held at the server: only the close can end its download.
    Fail(c.host, demo::FaultKind::Hold);
    f1().N23Click();
    ASSERT_TRUE(desktop.PumpUntil([&] { return sites().Held() == 1; }, std::chrono::seconds(60)));
    {
        // A close that waited for the page would wait until the bound lets
        // it go (the bound is below the client's own time-out of 20 s).
        HoldBound bound(sites(), std::chrono::seconds(15));
        program.reset();
        EXPECT_FALSE(bound.Expired()) << "closing the program waited for the download";
    }
    sites().ReleaseHeld();
    desktop.PumpPending();  // whatever the worker posted touches nothing now
    EXPECT_FALSE(FileExists(FileOf(c, book)));
}

TEST_F(Introductions, FileNamesStayInTheirSiteFolder) {
    f1().CurrentSite = G("多玩");
    EXPECT_EQ(f1().IntroductionFile("a/b/"), paths.seeDir + "多玩/a_b_.txt");
    EXPECT_TRUE(DirExists(paths.seeDir + "多玩"));
    f1().CurrentSite = G("小说阅读网");
    EXPECT_EQ(f1().IntroductionFile("123"), paths.seeDir + "小说阅读网/123.txt");
    EXPECT_EQ(f1().IntroductionFile("[520]html/1/5"), paths.seeDir + "小说520/[520]html_1_5.txt");
    EXPECT_EQ(f1().IntroductionFile("../../x"), paths.seeDir + "小说阅读网/.._.._x.txt");

    // A hostile key fetched for real (飞库 asks for the book after its last
    // "/"): what comes back lands inside SeeDir.
    const SiteCase& c = kSites[3];
    const demo::Book book = Book(c.site, true);
    f1().CurrentSite = G(c.current);
    f1().ListBox2.Assign({"x"});
    f1().BookURLList.Assign({"../../../../evil/" + book.key});
    f1().ListBox2.Select(0);
    f1().N23Click();
    ASSERT_TRUE(WaitForHint());
    std::string flat = book.key;
    for (char& ch : flat)
        if (ch == '/') ch = '_';
    EXPECT_EQ(Read(paths.seeDir + "飞库/.._.._.._.._evil_" + flat + ".txt"), Stored(c.site, book.intro));
    int found = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(home.dir())) {
        if (e.path().filename().string().find("evil") != std::string::npos) {
            EXPECT_EQ(e.path().parent_path().string() + "/", paths.seeDir + "飞库/");
            ++found;
        }
    }
    EXPECT_EQ(found, 1);
}

TEST_F(Introductions, WatchListBooksAskTheirOwnSite) {
    // A tagged key names its site; the shown site (多玩 in the search panel)
    // would ask for a page that does not exist.
    f1().N14Click();
    demo::Book book = Book(demo::Site::Feiku, true);
    f1().ListBox2.Assign({G(book.title.c_str())});
    f1().BookURLList.Assign({"[feiku]" + book.key});
    f1().ListBox2.Select(0);
    f1().N23Click();
    ASSERT_TRUE(WaitForHint());
    std::string name = "[feiku]" + book.key;
    for (char& ch : name)
        if (ch == '/') ch = '_';
    EXPECT_EQ(Read(paths.seeDir + "飞库/" + name + ".txt"), Stored(demo::Site::Feiku, book.intro));
}

}  // namespace

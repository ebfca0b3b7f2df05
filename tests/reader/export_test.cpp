// Whole-book export against the demo sites, checked file by file.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "catalogue/worker_harness.h"
#include "reader/reader_form.h"

using namespace talvenor;
using talvenor::demo::FaultKind;

namespace {

class Export : public ::testing::Test, public WorkerHarness {
  protected:
    Export() : WorkerHarness(Options()) {}
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.chaptersPerBook = 5;
        return o;
    }
    void Open(Site site, demo::Site ds, const demo::Book& book) {
        ASSERT_EQ(RunChapterList(site, book.key, ::Gbk(book.title)), End::Ready);
        f1().CurrentSite = Label(site);
        f2().BookUrl = book.key;
        f2().TheMark.BookTitle = ::Gbk(book.title);
        (void)ds;
    }
    std::string Folder(const char* site, const std::string& bookUtf8) {
        return paths.downloadDir + site + "/" + bookUtf8 + "/";
    }
    // A 多玩 book whose chapters include pictures.
    demo::Book DuowanBookWithPictures(int* pictureChapter) {
        for (int i = 0; i < 40; ++i) {
            demo::Book b = content().BookAt(demo::Site::Duowan, 0, i);
            for (int n = 1; n <= b.chapterCount; ++n)
                if (!content().ChapterOf(b, n).pictures.empty()) {
                    *pictureChapter = n;
                    return b;
                }
        }
        ADD_FAILURE() << "no 多玩 chapter with pictures";
        return content().BookAt(demo::Site::Duowan, 0, 0);
    }
};

}  // namespace

TEST_F(Export, DuowanWithAndWithoutPictures) {
    int n = 0;
    demo::Book book = DuowanBookWithPictures(&n);
    Open(Site::Duowan, demo::Site::Duowan, book);
    std::string key = book.key;
    for (char& c : key)
        if (c == '/') c = '_';
    MakeDirs(paths.seeDir + "多玩");
    WriteFileAtomic(paths.seeDir + "多玩/" + key + ".txt", G("简介一行"));
    f1().PageFooter = "<img src=counter>";

    desktop.answers = {true};
    f2().ExportBook("F11");
    const std::string folder = Folder("多玩", book.title);
    EXPECT_EQ(f1().PageFooter, "<img src=counter>");  // put back
    EXPECT_TRUE(f2().window.visible);
    EXPECT_EQ(ReadFileBytes(folder + "简介.txt"), G("简介一行"));
    StringList index = LoadList(folder + "index.htm");
    ASSERT_EQ(index.size(), 2u + 5u);
    EXPECT_EQ(index[0], "<htm><body><table align=center>");
    EXPECT_EQ(index[1], "<tr><td align=Center><a href=\"0.htm\">" + f2().ListBox1.items[0] + "</a></td>");
    EXPECT_EQ(index[3],
              "<td align=Center><a href=\"2.htm\">" + f2().ListBox1.items[2] + "</a></td></tr><tr></tr>");
    EXPECT_EQ(index[6].rfind("</table><hr>" + f2().ExportFooter, 0), 0u);
    for (int i = 0; i < 5; ++i) {
        std::string page = ReadFileBytes(folder + std::to_string(i) + ".htm");
        EXPECT_FALSE(page.empty()) << i;
        EXPECT_NE(page.find(::Gbk(content().ChapterOf(book, i + 1).paragraphs.at(0))), std::string::npos);
        EXPECT_NE(page.find("<a href=" + std::to_string(i + 1) + ".htm>"), std::string::npos);
    }
    EXPECT_NE(ReadFileBytes(folder + "0.htm").find("<a href=index.htm>" + G("上一页")), std::string::npos);
    EXPECT_FALSE(FileExists(folder + "5.htm"));
    // F11 keeps the pictures' remote addresses.
    demo::Chapter pc = content().ChapterOf(book, n);
    std::string pictured = ReadFileBytes(folder + std::to_string(n - 1) + ".htm");
    EXPECT_NE(pictured.find(pc.pictures[0]), std::string::npos);
    EXPECT_EQ(f2().ListBox1.itemIndex, 4);  // the export ends on the last chapter
    EXPECT_TRUE(f2().Memo1.Empty());

    desktop.answers = {true};
    f2().ExportBook("F10");
    pictured = ReadFileBytes(folder + std::to_string(n - 1) + ".htm");
    for (const auto& pic : pc.pictures) {
        std::string local = ImageBaseName(pic) + ".gif";
        EXPECT_TRUE(FileExists(folder + local)) << local;
        EXPECT_EQ(pictured.find(pic), std::string::npos);
        EXPECT_NE(pictured.find("'" + local + "'"), std::string::npos);
    }
}

TEST_F(Export, FeikuSkipsEntryZeroAndKeepsGoingPastFailures) {
    demo::Book book = content().BookAt(demo::Site::Feiku, 0, 1);
    Open(Site::Feiku, demo::Site::Feiku, book);
    Fault("feiku.localhost", "/3.shtm", FaultKind::Status, 500);
    desktop.answers = {true};
    const ExportResult r = f2().ExportBook("F11");
    const std::string folder = Folder("飞库", book.title);
    EXPECT_EQ(r.folder, folder);
    EXPECT_FALSE(FileExists(folder + "0.htm"));
    for (int i = 1; i < 5; ++i) EXPECT_TRUE(FileExists(folder + std::to_string(i) + ".htm")) << i;
    // The failed chapter is reported, and its page says so.
    EXPECT_EQ(r.chapters, 4);
    EXPECT_EQ(r.written, 4);
    EXPECT_FALSE(r.stopped);
    ASSERT_EQ(r.failed.size(), 1u);
    EXPECT_EQ(r.failed[0].index, 2);
    EXPECT_EQ(r.failed[0].title, f2().ListBox1.items[2]);
    EXPECT_NE(r.failed[0].why.find("500"), std::string::npos) << r.failed[0].why;
    const std::string failedPage = ReadFileBytes(folder + "2.htm");
    EXPECT_NE(failedPage.find(G("本章下载失败：") + f2().ListBox1.items[2]), std::string::npos);
    EXPECT_NE(failedPage.find("<a href=3.htm>"), std::string::npos);  // the book still reads through
    EXPECT_NE(ReadFileBytes(folder + "1.htm").find("<a href=index.htm>" + G("上一页")), std::string::npos);
    StringList index = LoadList(folder + "index.htm");
    ASSERT_EQ(index.size(), 2u + 4u);
    EXPECT_EQ(index[4].rfind("<tr><td align=Center><a href=\"4.htm\">", 0),
              0u);  // the second row holds one cell
    EXPECT_FALSE(FileExists(folder + "简介.txt"));
}

TEST_F(Export, BookNamesNeverLeaveTheExportFolder) {
    demo::Book book = content().BookAt(demo::Site::Duowan, 0, 0);
    Open(Site::Duowan, demo::Site::Duowan, book);
    f2().TheMark.BookTitle = G("上次阅读。。");
    desktop.answers = {true};
    desktop.promptAnswers.push_back({false, ""});
    f2().ExportBook("F11");
    EXPECT_EQ(desktop.prompts.back(), G("信息|指定书名|"));
    EXPECT_FALSE(DirExists(paths.downloadDir));

    desktop.answers = {true};
    desktop.promptAnswers.push_back({true, "../../escaped"});
    f2().ExportBook("F11");
    EXPECT_TRUE(FileExists(paths.downloadDir + "多玩/.._.._escaped/index.htm"));
    EXPECT_FALSE(DirExists(paths.appDir + "escaped"));

    desktop.answers = {false};
    f2().TheMark.BookTitle = "x";
    f2().ExportBook("F11");
    EXPECT_FALSE(DirExists(paths.downloadDir + "多玩/x"));

    // An empty chapter list: an index with an empty table and no pages.
    f2().ListBox1.Clear();
    f2().PageUrlList.Clear();
    desktop.answers = {true};
    f2().ExportBook("F11");
    StringList index = LoadList(paths.downloadDir + "多玩/x/index.htm");
    EXPECT_EQ(index.size(), 2u);
}

TEST_F(Export, AMissingPictureFailsItsChapterAndAStopWritesNoHalfChapter) {
    int n = 0;
    demo::Book book = DuowanBookWithPictures(&n);
    Open(Site::Duowan, demo::Site::Duowan, book);
    const std::string picture = content().ChapterOf(book, n).pictures.at(0);
    const auto path = [](const std::string& url) { return url.substr(url.find('/', 8)); };
    Fault(SiteHosts::HostName(picture), path(picture), FaultKind::Status, 404);
    desktop.answers = {true};
    ExportResult r = f2().ExportBook("F10");
    const std::string folder = Folder("多玩", book.title);
    ASSERT_EQ(r.failed.size(), 1u);
    EXPECT_EQ(r.failed[0].index, n - 1);
    EXPECT_NE(ReadFileBytes(folder + std::to_string(n - 1) + ".htm").find(G("本章下载失败")),
              std::string::npos);
    EXPECT_EQ(r.written, 5);

    // Stopped while chapter 3 is under way: chapters 1 and 2 are written,
    // nothing of chapter 3 or later.  (Emptied, the cache cannot serve it.)
    program->chapterCache.ClearAll();
    f2().TheMark.BookTitle = "stopped";
    Fault("duowan.localhost", path(f2().PageUrlList.items[2]), FaultKind::Hold);
    std::atomic<bool> stop{false};
    f2().exportStop = &stop;
    std::thread stopper([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sites.Held() == 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stop = true;
    });
    desktop.answers = {true};
    r = f2().ExportBook("F11");
    stopper.join();
    f2().exportStop = nullptr;
    sites.ReleaseHeld();
    const std::string stopped = paths.downloadDir + "多玩/stopped/";
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.failed.empty());
    EXPECT_EQ(r.written, 2);
    EXPECT_TRUE(FileExists(stopped + "1.htm"));
    for (int i = 2; i < 5; ++i) EXPECT_FALSE(FileExists(stopped + std::to_string(i) + ".htm")) << i;
    EXPECT_TRUE(f2().window.visible);
}

namespace {

// The first element or attribute in page that would run or load something
// when the page is opened in a web browser: tags are read from "<" to ">",
// which is enough here, as escaped titles hold no "<".
std::string ActiveMarkupIn(const std::string& page) {
    static const std::regex tag("<([A-Za-z][A-Za-z0-9]*)([^>]*)>");
    static const std::regex handler("[\\s/\"']on[a-z]+\\s*=", std::regex::icase);
    static const std::regex address("(href|src|action|data)\\s*=\\s*[\"']?\\s*(javascript|vbscript|data):",
                                    std::regex::icase);
    static const char* refused[] = {"script", "iframe", "frame", "object", "embed",   "applet",
                                    "meta",   "link",   "base",  "form",   "noscript"};
    for (std::sregex_iterator it(page.begin(), page.end(), tag), end; it != end; ++it) {
        std::string name = (*it)[1];
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const char* r : refused)
            if (name == r) return it->str();
        const std::string attributes = (*it)[2];
        if (std::regex_search(attributes, handler) || std::regex_search(attributes, address))
            return it->str();
    }
    return "";
}

}  // namespace

TEST_F(Export, PagesOfAHostileBookHoldNoActiveMarkup) {
    const struct {
        Site site;
        demo::Site demoSite;
        const char* host;
        const char* folder;
    } books[] = {{Site::Duowan, demo::Site::Duowan, "duowan.localhost", "多玩"},
                 {Site::Readnovel, demo::Site::Readnovel, "readnovel.localhost", "小说阅读网"},
                 {Site::Xs8, demo::Site::Xs8, "xs8.localhost", "言情小说吧"},
                 {Site::Feiku, demo::Site::Feiku, "feiku.localhost", "飞库"},
                 {Site::S520, demo::Site::S520, "read.xs520.localhost", "小说520"}};
    for (const auto& b : books) {
        SCOPED_TRACE(b.folder);
        sites.ClearFaults();
        const demo::Book book = content().BookAt(b.demoSite, 0, 2);
        Fault(b.host, "", FaultKind::Hostile, 0);
        Open(b.site, b.demoSite, book);
        desktop.answers = {true};
        const ExportResult r = f2().ExportBook("F11");
        EXPECT_TRUE(r.failed.empty());
        ASSERT_GT(r.written, 0);
        std::vector<std::string> files = {"index.htm"};
        for (int i = 0; i < f2().ListBox1.Count(); ++i) files.push_back(std::to_string(i) + ".htm");
        int pages = 0;
        for (const std::string& file : files) {
            const std::string path = Folder(b.folder, book.title) + file;
            if (!FileExists(path)) continue;
            ++pages;
            const std::string page = ReadFileBytes(path);
            EXPECT_EQ(ActiveMarkupIn(page), "") << file;
        }
        EXPECT_EQ(pages, r.written + 1);
        // The markup was there to be cleaned: 多玩's first title holds it,
        // and the index shows it as text.
        if (b.site == Site::Duowan) {
            EXPECT_NE(f2().ListBox1.items[0].find("<script>"), std::string::npos);
            EXPECT_NE(ReadFileBytes(Folder(b.folder, book.title) + "index.htm").find("&lt;script&gt;"),
                      std::string::npos);
        }
    }
}

// Whole books as one file (EPUB 3, plain text) exported from the demo sites,
// read back as a reading program would, and the chapter cache that lets an
// export run again fetch only what it lacks.
#include <gtest/gtest.h>
#include <zip.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <thread>

#include "catalogue/worker_harness.h"
#include "reader/book_formats.h"
#include "reader/reader_form.h"

using namespace talvenor;
using talvenor::demo::FaultKind;

namespace {

// The entries of a zip archive by name, and the order and method they have.
struct Archive {
    std::vector<std::string> names;
    std::map<std::string, std::string> files;
    std::map<std::string, int> method;
};

Archive ReadZip(const std::string& path) {
    Archive a;
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
    if (!z) {
        ADD_FAILURE() << "not a zip archive: " << path;
        return a;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
        std::string data(st.size, '\0');
        zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
        if (f) {
            zip_fread(f, data.data(), st.size);
            zip_fclose(f);
        }
        a.names.push_back(st.name);
        a.files[st.name] = data;
        a.method[st.name] = st.comp_method;
    }
    zip_close(z);
    return a;
}

// epubcheck's verdict: its whole output, and whether it found nothing at all.
bool Epubcheck(const std::string& path, std::string* output) {
    // A small heap: the test process's address space is limited, and the
    // checker inherits the limit.
    const std::string cmd =
        "java -Xmx512m -Xss1m -XX:+UseSerialGC -XX:ReservedCodeCacheSize=64m "
        "-XX:CompressedClassSpaceSize=64m "
        "-XX:MaxMetaspaceSize=128m -XX:-CreateCoredumpOnCrash -jar /usr/share/java/epubcheck.jar '" +
        path + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
    const int rc = pclose(p);
    return rc == 0 && output->find("No errors or warnings detected") != std::string::npos &&
           output->find("0 fatals / 0 errors / 0 warnings") != std::string::npos;
}

class BookFiles : public ::testing::Test, public WorkerHarness {
  protected:
    BookFiles() : WorkerHarness(Options()) {}
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.chaptersPerBook = 5;
        return o;
    }
    void Open(Site site, const demo::Book& book, const std::string& title) {
        ASSERT_EQ(RunChapterList(site, book.key, ::Gbk(book.title)), End::Ready);
        f1().CurrentSite = Label(site);
        f2().BookUrl = book.key;
        f2().TheMark.BookTitle = ::Gbk(title);
    }
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
    static std::string Path(const std::string& url) { return url.substr(url.find('/', 8)); }
    // Requests for the book's chapter pages in the demo sites' log.
    int ChapterRequests() {
        int n = 0;
        for (const std::string& r : sites.RequestLog())
            for (const std::string& url : f2().PageUrlList.items)
                if (r.size() >= Path(url).size() &&
                    r.compare(r.size() - Path(url).size(), Path(url).size(), Path(url)) == 0)
                    ++n;
        return n;
    }
};

}  // namespace

TEST_F(BookFiles, DuowanEpubHoldsItsPicturesSaysWhichChapterFailedAndPassesEpubcheck) {
    int n = 0;
    const demo::Book book = DuowanBookWithPictures(&n);
    Open(Site::Duowan, book, "仙书");
    // 多玩 exports from entry 0; one chapter without pictures fails.
    const int broken = n == 1 ? 2 : 0;
    Fault(SiteHosts::HostName(f2().PageUrlList.items[static_cast<size_t>(broken)]),
          Path(f2().PageUrlList.items[static_cast<size_t>(broken)]), FaultKind::Status, 500);
    f2().exportFormat = ExportFormat::Epub;
    desktop.answers = {true};
    const ExportResult r = f2().ExportBook("F11");
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.folder, paths.downloadDir + "多玩/仙书.epub");
    ASSERT_EQ(r.failed.size(), 1u);
    EXPECT_EQ(r.failed[0].index, broken);

    const Archive a = ReadZip(r.folder);
    ASSERT_FALSE(a.names.empty());
    EXPECT_EQ(a.names[0], "mimetype");
    EXPECT_EQ(a.method.at("mimetype"), ZIP_CM_STORE);
    EXPECT_EQ(a.files.at("mimetype"), "application/epub+zip");
    const std::string opf = a.files.at("OEBPS/content.opf");
    EXPECT_NE(opf.find("<dc:title>仙书</dc:title>"), std::string::npos);
    EXPECT_NE(opf.find("<dc:language>zh</dc:language>"), std::string::npos);
    EXPECT_TRUE(a.files.count("OEBPS/toc.ncx"));
    EXPECT_NE(a.files.at("OEBPS/nav.xhtml").find(content().ChapterOf(book, n).title), std::string::npos);
    // The failed chapter's place says so; the pictured one shows pictures
    // that are in the book, the demo's GIFs byte for byte.
    const std::string failedPage = a.files.at("OEBPS/c000" + std::to_string(broken + 1) + ".xhtml");
    EXPECT_NE(failedPage.find("本章下载失败：" + GbkToUtf8(f2().ListBox1.items[static_cast<size_t>(broken)])),
              std::string::npos);
    const std::string pictured = a.files.at("OEBPS/c000" + std::to_string(n) + ".xhtml");
    EXPECT_NE(pictured.find(content().ChapterOf(book, n).paragraphs.at(0)), std::string::npos);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(pictured, m, std::regex("<img src=\"(images/[^\"]+)\"")));
    ASSERT_TRUE(a.files.count("OEBPS/" + m[1].str()));
    EXPECT_EQ(a.files.at("OEBPS/" + m[1].str()).compare(0, 6, "GIF89a"), 0);
    EXPECT_NE(opf.find("href=\"" + m[1].str() + "\" media-type=\"image/gif\""), std::string::npos);

    std::string report;
    EXPECT_TRUE(Epubcheck(r.folder, &report)) << report;

    // Exported again, the book keeps its identifier, and the chapters come
    // from the cache: only the one that failed is asked for.
    std::smatch id;
    ASSERT_TRUE(
        std::regex_search(opf, id, std::regex("<dc:identifier id=\"bookid\">(urn:uuid:[-0-9a-f]{36})<")));
    sites.ClearFaults();
    sites.ClearRequestLog();
    desktop.answers = {true};
    const ExportResult again = f2().ExportBook("F11");
    EXPECT_TRUE(again.failed.empty());
    EXPECT_EQ(ChapterRequests(), 1);
    EXPECT_NE(ReadZip(again.folder).files.at("OEBPS/content.opf").find(id[1].str()), std::string::npos);
}

TEST_F(BookFiles, HostileChapterMarkupBecomesValidXhtmlAndPlainParagraphs) {
    const std::string hostile =
        "<b><p>粗体段落</p></b><script>alert('x')</script><font color=red>红字</font>"
        "<table><tr><td>格子</td></tr></table><p onclick=\"x()\">外<div>内</div></p>"
        "<img src=\"javascript:alert(1)\"><iframe src=\"http://evil/\"></iframe>&#1;&lt;标签&gt; &amp;"
        "<li>条目</li><h1 style=\"x\">标题</h1><a href=\"http://evil/\">链接</a><br>"
        "&nbsp;&nbsp;　　缩进的一段<br><br><svg><script>1</script></svg><hr><span><hr></span>";
    const std::string x = ChapterXhtml(hostile, [](const std::string&) { return std::string(); });
    for (const char* gone : {"script", "alert", "onclick", "iframe", "evil", "style", "<font", "<table",
                             "<li", "<img", "<svg", "\x01"})
        EXPECT_EQ(x.find(gone), std::string::npos) << gone << " in " << x;
    for (const char* kept :
         {"粗体段落", "红字", "格子", "外", "内", "&lt;标签&gt;", "&amp;", "条目", "标题", "链接"})
        EXPECT_NE(x.find(kept), std::string::npos) << kept << " lost from " << x;

    const std::vector<std::string> paragraphs = ChapterParagraphs(hostile);
    EXPECT_NE(std::find(paragraphs.begin(), paragraphs.end(), "缩进的一段"), paragraphs.end());
    EXPECT_NE(std::find(paragraphs.begin(), paragraphs.end(), "粗体段落"), paragraphs.end());
    for (const std::string& p : paragraphs) {
        EXPECT_EQ(p.find("alert"), std::string::npos);
        EXPECT_FALSE(p.empty());
    }

    BookContent book;
    book.title = "<书&名>";
    book.author = "某\"人\"";
    book.identifier = BookIdentifier("test\nhostile");
    book.chapters.push_back({"第一章 <危险>", hostile, false});
    book.chapters.push_back({"", "", true});
    const std::string path = paths.downloadDir + "hostile.epub";
    MakeDirs(paths.downloadDir);
    WriteEpub(book, path, "2026-01-02T03:04:05Z");
    std::string report;
    EXPECT_TRUE(Epubcheck(path, &report)) << report;
}

TEST_F(BookFiles, GbkTextHasHeadingsParagraphsAndTheFailedChapter) {
    // A book of text chapters only (no picture chapters).
    demo::Book book;
    for (int i = 0; i < 40; ++i) {
        book = content().BookAt(demo::Site::Feiku, 0, i);
        bool text = true;
        for (int c = 1; c <= book.chapterCount; ++c)
            text = text && !content().ChapterOf(book, c).paragraphs.empty();
        if (text) break;
    }
    Open(Site::Feiku, book, "飞书");
    // Entry 0 is the notice page; chapter 2 fails.
    Fault(SiteHosts::HostName(f2().PageUrlList.items[2]), Path(f2().PageUrlList.items[2]), FaultKind::Status,
          404);
    f2().exportFormat = ExportFormat::Txt;
    f2().exportGbk = true;
    desktop.answers = {true};
    const ExportResult r = f2().ExportBook("F11");
    EXPECT_EQ(r.folder, paths.downloadDir + "飞库/飞书.txt");
    ASSERT_EQ(r.failed.size(), 1u);
    const std::string bytes = ReadFileBytes(r.folder);
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
    const std::string text = GbkToUtf8(bytes);
    std::vector<std::string> lines;
    for (size_t pos = 0, nl; (nl = text.find("\r\n", pos)) != std::string::npos; pos = nl + 2)
        lines.push_back(text.substr(pos, nl - pos));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "飞书");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], GbkToUtf8(f2().ListBox1.items[1]));
    EXPECT_EQ(lines[3], "");
    // Every line of text is followed by an empty one.
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        EXPECT_FALSE(lines[i].empty()) << i;
        EXPECT_EQ(lines[i + 1], "") << i;
    }
    // Each chapter's text under its title, as the site's list names it.
    const auto chapterTitled = [&](const std::string& title) {
        for (int c = 1; c <= book.chapterCount; ++c)
            if (content().ChapterOf(book, c).title == title) return content().ChapterOf(book, c);
        ADD_FAILURE() << "no chapter " << title;
        return demo::Chapter();
    };
    EXPECT_EQ(lines[4], chapterTitled(lines[2]).paragraphs.at(0));
    EXPECT_NE(text.find("本章下载失败：" + GbkToUtf8(f2().ListBox1.items[2])), std::string::npos);
    const demo::Chapter third = chapterTitled(GbkToUtf8(f2().ListBox1.items[3]));
    for (const std::string& p : third.paragraphs)
        EXPECT_NE(text.find("\r\n\r\n" + p + "\r\n\r\n"), std::string::npos);
}

TEST_F(BookFiles, AStoppedExportLeavesNoFileAndTheNextRunFetchesOnlyWhatItLacks) {
    const demo::Book book = content().BookAt(demo::Site::S520, 0, 2);
    Open(Site::S520, book, "停书");
    Fault(SiteHosts::HostName(f2().PageUrlList.items[3]), Path(f2().PageUrlList.items[3]), FaultKind::Hold);
    std::atomic<bool> stop{false};
    f2().exportStop = &stop;
    std::thread stopper([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sites.Held() == 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stop = true;
    });
    f2().exportFormat = ExportFormat::Epub;
    desktop.answers = {true};
    ExportResult r = f2().ExportBook("F11");
    stopper.join();
    sites.ReleaseHeld();
    sites.ClearFaults();
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(FileExists(paths.downloadDir + "小说520/停书.epub"));

    f2().exportStop = nullptr;
    sites.ClearRequestLog();
    desktop.answers = {true};
    r = f2().ExportBook("F11");
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(r.failed.empty());
    // Chapters 1 and 2 were cached before the stop.
    EXPECT_EQ(ChapterRequests(), f2().ListBox1.Count() - 1 - 2);
    char last[32];
    std::snprintf(last, sizeof last, "OEBPS/c%04d.xhtml", f2().ListBox1.Count() - 1);
    EXPECT_EQ(ReadZip(r.folder).files.count(last), 1u);
}

// The chapter cache as a reader meets it, against the demo sites: a chapter
// shown again without a download, 刷新 fetching anew, a damaged page never
// shown, reading offline, the size limit, and folder names from sites.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "catalogue/worker_harness.h"
#include "reader/reader_form.h"
#include "reader_hooks.h"

using namespace talvenor;

namespace {

class CachedReading : public ::testing::Test, public WorkerHarness {
  protected:
    ReaderHooks hooks;
    demo::Book book;

    CachedReading() : WorkerHarness(Options()) {
        hooks.Attach(f2());
        book = content().BookAt(demo::Site::Duowan, 0, 0);
    }
    static demo::DemoOptions Options() {
        demo::DemoOptions o;
        o.chaptersPerBook = 6;
        return o;
    }
    void Open(const demo::Book& b) {
        f1().CurrentSite = Label(Site::Duowan);
        f1().ListBox2.Assign({G("《") + ::Gbk(b.title) + G("》")});
        f1().BookURLList.Assign({b.key});
        f1().ListBox2.Select(0);
        f1().PanelOpenClick();
        ASSERT_TRUE(WaitForDownload());
    }
    bool Shows(const demo::Book& b, int n) {
        const demo::Chapter ch = content().ChapterOf(b, n);
        return hooks.shown.find(::Gbk(ch.paragraphs.at(0))) != std::string::npos;
    }
    // Requests that reached the sites since the log was cleared.
    size_t Requests() { return sites.RequestLog().size(); }
};

}  // namespace

TEST_F(CachedReading, ShownAgainGoingBackAndAfterARestartWithoutADownloadRefreshFetchesAgain) {
    Open(book);
    ASSERT_TRUE(Shows(book, 1));
    f2().goOnClick(f2().BtnNext);
    ASSERT_TRUE(Shows(book, 2));

    sites.ClearRequestLog();
    f2().goOnClick(f2().BtnBack);
    EXPECT_TRUE(Shows(book, 1));
    f2().goOnClick(f2().BtnNext);
    EXPECT_TRUE(Shows(book, 2));
    EXPECT_EQ(Requests(), 0u);

    // 刷新 asks the site again, and what it sends replaces the cached page.
    f2().BtnReNewClick();
    EXPECT_TRUE(Shows(book, 2));
    EXPECT_EQ(Requests(), 1u);
    // A change of preferences shows the page again from the cache.
    f2().pReNewClick();
    EXPECT_EQ(Requests(), 1u);

    // A damaged page (a byte changed on disk) is fetched again, never shown.
    const std::string folder = program->chapterCache.BookFolder(f1().CurrentSite, f2().BookUrl);
    int damaged = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (e.path().extension() != ".page") continue;
        std::string bytes = ReadFileBytes(e.path().string());
        const size_t at = bytes.find(content().ChapterOf(book, 1).paragraphs.at(0).substr(0, 6));
        if (at == std::string::npos) continue;
        bytes[at] = 'X';
        bytes[at + 1] = 'X';
        WriteFileAtomic(e.path().string(), bytes);
        ++damaged;
    }
    ASSERT_EQ(damaged, 1);
    sites.ClearRequestLog();
    f2().goOnClick(f2().BtnBack);
    EXPECT_TRUE(Shows(book, 1));
    EXPECT_EQ(hooks.shown.find("XX"), std::string::npos);
    EXPECT_EQ(Requests(), 1u);
}

TEST_F(CachedReading, OfflineShowsWhatIsCachedAndSaysSoOfWhatIsNot) {
    Open(book);
    f2().goOnClick(f2().BtnNext);
    f2().FormClose();

    f2().NOfflineClick();
    EXPECT_TRUE(f2().NOffline.checked);
    sites.ClearRequestLog();
    Open(book);  // the chapter list comes from the cache too; the mark: chapter 2
    EXPECT_TRUE(Shows(book, 2));
    f2().goOnClick(f2().BtnBack);
    EXPECT_TRUE(Shows(book, 1));
    f2().goOnClick(f2().BtnNext);
    desktop.messages.clear();
    f2().goOnClick(f2().BtnNext);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], G("离线阅读：本章不在缓存中"));
    // 刷新 offline downloads nothing either.
    f2().BtnReNewClick();
    f2().FormClose();

    // A book never opened cannot be opened offline.
    desktop.messages.clear();
    Open(content().BookAt(demo::Site::Duowan, 0, 1));
    EXPECT_FALSE(f2().window.visible);
    EXPECT_TRUE(f1().window.visible);
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back(), G("离线阅读：这本书的目录不在缓存中"));
    EXPECT_EQ(Requests(), 0u);

    // A stored list cut short (the program ended while writing it) is not
    // read: the book says its list is not cached rather than open short.
    int lists = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(paths.appDir + "cache/"))
        if (e.path().filename() == "chapters.list") {
            std::filesystem::resize_file(e.path(), std::filesystem::file_size(e.path()) / 2);
            ++lists;
        }
    ASSERT_EQ(lists, 1);
    desktop.messages.clear();
    Open(book);
    EXPECT_FALSE(f2().window.visible);
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back(), G("离线阅读：这本书的目录不在缓存中"));
    EXPECT_EQ(Requests(), 0u);
}

TEST_F(CachedReading, TheLeastRecentlyReadBooksGoFirstWhenTheLimitIsReached) {
    ChapterCache& cache = program->chapterCache;
    const std::string site = Label(Site::Duowan);
    const std::string page(40 * 1024, 'a');
    cache.SetLimit(100 * 1024);
    cache.Store(site, "old", "", "http://x/1", page);
    cache.Store(site, "read", "", "http://x/1", page);
    // "old" was last read long ago, "read" just now.
    const std::string info = cache.BookFolder(site, "old") + "book.info";
    std::string text = ReadFileBytes(info);
    text.replace(text.rfind('\n', text.size() - 2) + 1, std::string::npos, "1\n");
    WriteFileAtomic(info, text);
    cache.Store(site, "new", "", "http://x/1", page);
    EXPECT_FALSE(cache.Find(site, "old", "http://x/1", nullptr));
    EXPECT_TRUE(cache.Find(site, "read", "http://x/1", nullptr));
    EXPECT_TRUE(cache.Find(site, "new", "http://x/1", nullptr));
    EXPECT_LE(cache.TotalBytes(), 100u * 1024);

    // A book larger than the limit is kept whole while it is stored.
    cache.Store(site, "big", "", "http://x/1", std::string(150 * 1024, 'b'));
    EXPECT_TRUE(cache.Find(site, "big", "http://x/1", nullptr));

    cache.Clear(site, "big");
    EXPECT_FALSE(cache.Find(site, "big", "http://x/1", nullptr));
    cache.ClearAll();
    EXPECT_TRUE(cache.Books().empty());
}

TEST_F(CachedReading, KeysFromSitesNeverNameAFolderOutsideTheCache) {
    ChapterCache& cache = program->chapterCache;
    const std::string site = Label(Site::Duowan);
    std::set<std::string> names;
    for (const std::string& key :
         std::vector<std::string>{"..", ".", "/", "../../../etc", "a/../../b", "", std::string(600, '.'),
                                  std::string(600, 'k') + "1", std::string(600, 'k') + "2", "book/2/4/",
                                  "book_2_4_", "\\..\\x", G("中文书")}) {
        ASSERT_TRUE(cache.Store(site, key, "t", "http://x/" + key, "page"));
        const std::string folder = cache.BookFolder(site, key);
        const std::string component = folder.substr(cache.Dir().size());
        EXPECT_EQ(std::count(component.begin(), component.end(), '/'), 2) << folder;
        EXPECT_EQ(std::filesystem::weakly_canonical(folder).string().rfind(
                      std::filesystem::weakly_canonical(cache.Dir()).string(), 0),
                  0u)
            << folder;
        EXPECT_LE(ChapterCache::FolderName(key).size(), 255u);
        names.insert(folder);
        std::string back;
        EXPECT_TRUE(cache.Find(site, key, "http://x/" + key, &back));
        EXPECT_EQ(back, "page");
    }
    EXPECT_EQ(names.size(), 13u);  // no two keys share a folder
    EXPECT_EQ(cache.Books().size(), 13u);
}

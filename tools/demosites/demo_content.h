// What the demo sites hold: categories, books, chapters and search results,
// generated lazily and deterministically from indices, so that a site of a
// hundred thousand books costs nothing until a page of it is asked for.
//
// Tests use this API to know what a scraper must produce from the pages.
// All text here is UTF-8; the GBK sites convert their pages when serving.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/site_hosts.h"

namespace talvenor::demo {

// Qingdeng (青灯书屋) is no site the program knows by itself: it is read
// through the rule file docs/sites/qingdeng.toml, a user's site.
enum class Site { Duowan, Readnovel, Xs8, Feiku, S520, Qingdeng };

// The site's label as the program shows it (多玩, 小说阅读网, ...).
const char* SiteLabel(Site site);
bool SiteFromLabel(const std::string& label, Site* site);
// True for the sites whose pages are GBK (all but 多玩).
bool IsGbkSite(Site site);

struct DemoOptions {
    int port = SiteHosts::kDemoPort;  // 0: any free port
    int categories = 6;               // of 多玩 and 飞库; 小说520's books are grouped the same way
    int booksPerCategory = 60;        // 小说阅读网 always has 11 categories of this many books
    int chaptersPerBook = 30;
    int xs8Books = 150;    // 言情小说吧's site-wide list
    int pageSize = 20;     // books per list page, every site
    int searchLimit = 50;  // most results on one search page
};

// 多玩's "所有分类" list, which is no category of its own.
inline constexpr int kAllCategories = -1;

struct Category {
    std::string name;   // as the category page shows it (飞库 without its group prefix)
    std::string url;    // what the catalogue keeps: 多玩 and 小说阅读网 a full URL, 飞库 the number
    std::string group;  // 飞库 only: 网络原创, 经典文学 or 生活科教
};

struct Book {
    Site site = Site::Duowan;
    int category = 0;  // 0 for 言情小说吧
    int id = 0;        // stable; new books get the next ids
    std::string title;
    std::string author;
    std::string state;    // 连载中 or 已完成
    std::string updated;  // YYYY-MM-DD
    std::string genre;    // 言情小说吧's second link of a row
    int clicks = 0;
    int favourites = 0;
    std::string latestChapter;  // title of the last chapter
    // The key the catalogue keeps (without a search tag): 多玩 "book/3/17/",
    // 小说阅读网 and 言情小说吧 a number, 飞库 "files/4/4000017",
    // 小说520 "html/4/4000017".
    std::string key;
    std::vector<std::string> intro;  // lines; empty when the book has no introduction
    int chapterCount = 0;
};

struct Chapter {
    int number = 0;  // 1-based
    std::string title;
    std::string url;  // absolute, as the chapter list links it
    std::vector<std::string> paragraphs;
    // Absolute picture URLs.  A 飞库 picture chapter has pictures and no
    // paragraphs; a 多玩 chapter shows its pictures after the first paragraph.
    std::vector<std::string> pictures;
};

class DemoContent {
  public:
    explicit DemoContent(DemoOptions options);

    const DemoOptions& options() const { return options_; }
    // Base URLs of the served port; set by the server once it is bound.
    const SiteHosts& hosts() const { return hosts_; }
    void SetPort(int port);
    int port() const { return port_; }
    // 青灯书屋's host ("http://qingdeng.localhost:PORT"); no key of sites.hosts.
    const std::string& qingdeng() const { return qingdeng_; }
    // Chapters on one page of 青灯书屋's chapter list.
    static constexpr int kQingdengListPage = 12;

    // Categories.  小说520 and 言情小说吧 have no category page; 言情小说吧
    // has the single category 0 (its site-wide list).
    int CategoryCount(Site site) const;
    Category CategoryAt(Site site, int category) const;

    // Books of a category in list order (newest first); for 多玩 the category
    // may be kAllCategories.
    int BookCount(Site site, int category) const;
    Book BookAt(Site site, int category, int position) const;
    Book BookById(Site site, int category, int id) const;
    std::optional<Book> BookByKey(Site site, const std::string& key) const;

    // Without text: number, title and URL only (for long chapter lists).
    Chapter ChapterOf(const Book& book, int number, bool withText = true) const;

    // Books whose title contains the keyword (UTF-8), in list order, at most
    // searchLimit.  An empty keyword finds nothing.
    std::vector<Book> Search(Site site, const std::string& keyword) const;

    // Puts count new books at the top of a category's list (言情小说吧:
    // category 0, the top of the site-wide list).  They also head 多玩's
    // "所有分类" list, newest first.
    void AddBooks(Site site, int category, int count);

    // A book that has been written on, or cut short: count chapters from
    // now on (at least 1) instead of chaptersPerBook.
    void SetChapterCount(Site site, const std::string& key, int count);

    // List paging (1-based pages; every list has at least one page).
    int ListPageCount(Site site, int category) const;
    std::string ListPageUrl(Site site, int category, int page) const;
    std::string CategoryPageUrl(Site site) const;  // empty for 言情小说吧 and 小说520

    std::string ChapterListUrl(const Book& book) const;
    std::string IntroductionUrl(const Book& book) const;
    // The search address the program builds for a keyword (UTF-8).
    std::string SearchUrl(Site site, const std::string& keyword) const;
    // The key a search result carries, with its site tag ("[520]", ...).
    std::string SearchKey(const Book& book) const;

    // Watermark that some chapter texts carry, for the reader's word filter.
    static std::string Watermark();
    // The fixed announcement of 小说阅读网's chapter-list pages.
    static std::string Announcement();

    // Pieces the page builders share.
    std::string TitleOf(Site site, int category, int id) const;
    int BaseBooks(Site site) const;
    // 飞库's categories in page order fall into its three groups.
    void FeikuGroupOf(int category, int* group, int* within) const;
    int AddedBooks(Site site, int category) const;

  private:
    int IdAt(Site site, int category, int position) const;
    std::pair<int, int> AllAt(int position) const;  // 多玩 "所有分类": (category, id)

    DemoOptions options_;
    int port_ = 0;
    SiteHosts hosts_;
    std::string qingdeng_;
    mutable std::mutex mutex_;
    std::map<std::pair<int, int>, int> added_;      // (site, category) -> books added
    std::vector<std::pair<int, int>> duowanAdded_;  // (category, id) in order of adding
    std::map<std::pair<int, std::string>, int> chapters_;  // (site, key) -> chapters
};

// Deterministic integer hash of a few values.
uint64_t Mix(uint64_t a, uint64_t b = 0, uint64_t c = 0, uint64_t d = 0);

}  // namespace talvenor::demo

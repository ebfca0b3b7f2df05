// The offline chapter cache under AppDir "cache/": every chapter page the
// reader or the export fetched, kept per site and book with the time it was
// fetched and a check sum, so that a chapter shown again, an export run
// again or a book read without a connection needs no download.
//
// Layout: cache/SITE/BOOK/ holds "book.info" (site, key and title in UTF-8,
// and when the book was last read), "chapters.list" (the book's chapter
// titles and addresses, for reading offline) and one "HASH.page" per page
// (a header of five lines: format tag, address, fetch time, size, check sum;
// then the page's bytes as fetched).  SITE and BOOK are the site label and
// the book's key written so that they are always one folder name inside
// the cache: nothing a site sends can name a file outside it.
//
// The cache holds at most a size limit; when a page stored takes it over,
// whole books go, the least recently read first (never the book being
// stored).  A page whose size or check sum does not match is removed and
// reported as not cached, so it is fetched again and never shown.
// All of it is safe to use from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/settings.h"

namespace talvenor {

struct CachedBook {
    std::string site;   // label, UTF-8
    std::string key;    // the book's key, UTF-8
    std::string title;  // UTF-8
    int pages = 0;
    std::uint64_t bytes = 0;
    long long lastRead = 0;  // seconds since the epoch
    std::string folder;      // its folder, with a trailing "/"
};

class ChapterCache {
  public:
    static constexpr std::uint64_t kDefaultLimit = 1024ull * 1024 * 1024;

    // dir: AppDir + "cache/"; it is created with the first page stored.
    explicit ChapterCache(std::string dir);

    const std::string& Dir() const { return dir_; }
    void SetLimit(std::uint64_t bytes);
    std::uint64_t Limit() const;

    // No download at all: the reader and the export take what is cached and
    // say so of what is not.
    std::atomic<bool> offline{false};

    // The folder of a book (site label and key as the core holds them, GBK).
    std::string BookFolder(const std::string& site, const std::string& key) const;

    // The page fetched from url for this book; false when none is cached or
    // the one cached is damaged (it is removed then).  fetched: its fetch time.
    bool Find(const std::string& site, const std::string& key, const std::string& url, std::string* bytes,
              long long* fetched = nullptr);
    // Keeps the page (replacing one cached before), then keeps the cache
    // within its limit.  A page that cannot be written is not cached; the
    // reader does not stop for it.  Returns whether it was kept.
    bool Store(const std::string& site, const std::string& key, const std::string& title,
               const std::string& url, const std::string& bytes);
    // The book was read now (it goes last when room is made).
    void Touch(const std::string& site, const std::string& key, const std::string& title);

    // The book's chapter list as last fetched, for opening it offline.
    void StoreChapterList(const std::string& site, const std::string& key, const std::string& title,
                          const std::vector<std::string>& titles, const std::vector<std::string>& urls);
    bool FindChapterList(const std::string& site, const std::string& key, std::vector<std::string>* titles,
                         std::vector<std::string>* urls);

    // Every cached book, the most recently read first.
    std::vector<CachedBook> Books();
    // Removes one book (false when it was not cached) or everything.
    bool Clear(const std::string& site, const std::string& key);
    void ClearAll();
    // Bytes held, pages and book files included.
    std::uint64_t TotalBytes();

    // The one path component a name becomes in the cache: ASCII letters,
    // digits, "-" and "_" stay, every other byte is "%XX"; a very long name
    // is shortened and ends in a hash of the whole.
    static std::string FolderName(const std::string& name);

  private:
    std::string PagePath(const std::string& folder, const std::string& url) const;
    void WriteInfo(const std::string& folder, const std::string& site, const std::string& key,
                   const std::string& title, long long lastRead);
    void EnsureTotal();
    void MakeRoom(const std::string& keepFolder);

    const std::string dir_;
    std::mutex mutex_;
    std::uint64_t limit_ = kDefaultLimit;
    bool totalKnown_ = false;
    std::uint64_t total_ = 0;
};

// The cache's limit from set/talvenor.ini ([cache] limit_mib, default 1024);
// a bad value adds its problem to problems and gives the default.
std::uint64_t CacheLimitSetting(const Settings& settings);

}  // namespace talvenor

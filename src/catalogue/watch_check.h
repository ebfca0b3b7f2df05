// Following the books of the watch list: each entry's chapter list is
// fetched and compared with what the last check saw, kept in
// set/lianzai.state beside the watch list (whose two files keep their
// format).  Books are checked in parallel across sites and one after the
// other on one site, each site on a thread of its own, so a site that does
// not answer holds up no other.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalogue/sites.h"
#include "net/site_hosts.h"

namespace talvenor {

// The state file's name in the set/ folder.  GBK lines ending in CR LF, one
// a book: key TAB chapters TAB chapters-seen TAB last title TAB last URL.
inline constexpr const char* kWatchStateFile = "lianzai.state";

// What the last check saw of a book, and how far its reader has come.
struct WatchBookState {
    int count = 0;  // chapters in the list
    int seen = 0;   // chapters the reader had when the book was last opened
    std::string lastTitle, lastUrl;
};

// Books by their watch-list key (tag included); what the file holds.
using WatchState = std::map<std::string, WatchBookState>;
// A missing file is an empty state; damaged lines are skipped.
WatchState LoadWatchState(const std::string& path);
// Throws FileError.
void SaveWatchState(const std::string& path, const WatchState& state);

// The site of a watch-list key and the key without its tag ("[feiku]files/2/7"
// -> 飞库, "files/2/7"); an untagged key is 多玩's, as the search panel keeps it.
Site SiteOfWatchKey(const std::string& key, std::string* bare);

// A book's chapter list as the reader's list holds it, without the entry
// some sites put before the chapters.
struct ChapterList {
    std::vector<std::string> titles, urls;
};
// Fetches and cuts a book's chapter list; throws FetchError (also for a list
// without a single chapter: a book that is not there).
ChapterList FetchChapterList(Site site, const std::string& bareKey, const SiteHosts& hosts,
                             const std::atomic<bool>* stop);
// The reader's list index of chapter i (0-based) of a ChapterList: 小说阅读网
// and 言情小说吧 list the book itself first.
int ReaderIndexOfChapter(Site site, int chapter);

enum class WatchOutcome {
    Recorded,   // first check: where the book stands was recorded
    Unchanged,  // nothing new
    New,        // chapters added
    Shortened,  // the site removed chapters; added may still hold some after the last known one
    Renamed,    // the last known chapter has another title, or is no longer in the list
    Failed,     // the list could not be fetched
};

struct WatchResult {
    int entry = 0;  // index in the watch list
    std::string name, key;
    WatchOutcome outcome = WatchOutcome::Failed;
    int before = 0, after = 0;  // chapter counts
    // The chapters added since the last check: 1-based numbers and titles.
    std::vector<std::pair<int, std::string>> added;
    std::string oldTitle, newTitle;  // Renamed: the last known chapter then and now
    std::string error;               // Failed
    int unseen = 0;                  // chapters new to the reader after this check
};

struct WatchEntry {
    std::string name, key;  // as lianzai.sname and lianzai.surl hold them
};

// Compares a fetched list with what was recorded and updates the record.
WatchResult CompareChapterList(const ChapterList& list, WatchBookState& state, bool known);

// Checks entries (every one, or only `only` when >= 0) against the state
// file in setDir and saves it.  Each finished result is handed to progress
// (on the checking thread, under a lock) as it comes.  A key listed twice
// is fetched once.  Results come back in watch-list order.  Throws
// FileError when the state cannot be saved (the results are then in
// *results).
std::vector<WatchResult> CheckWatchList(const std::vector<WatchEntry>& entries, int only,
                                        const std::string& setDir, const SiteHosts& hosts,
                                        const std::atomic<bool>* stop,
                                        const std::function<void(const WatchResult&)>& progress = {});

// Marks a book as read up to its current list (opening it): the new-chapter
// count goes back to 0.  Returns the reader index of the first chapter that
// was new, or -1 when none was.  Throws FileError.
int TakeFirstUnseen(const std::string& setDir, const std::string& key);

}  // namespace talvenor

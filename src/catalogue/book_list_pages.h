// One page of a category's book list, cut: the page's bytes and what the
// walk knows so far go in, the books found and how the walk goes on come
// out.  Nothing here fetches, touches a list or a file, or keeps state
// between calls, so any bytes at all may be fed to these functions.
//
// Pages are GBK (多玩's after decoding); positions count bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvenor {

struct ListedBook {
    std::string title;  // the entry line of the book list
    std::string key;    // its partner in the hidden list
    std::string intro;  // 小说阅读网 only: the introduction shown beside the book (may be empty)
};

// How the walk goes on after a page.
enum class PageStep {
    Next,    // fetch the next page
    End,     // the list ends here, as the site says (or at the known first book)
    Broken,  // the page is not the list page it should be: the walk ends unfinished
};

// 多玩 (page decoded to GBK).  known: the first stored title ("" when the
// list is empty); next: the number of the page after this one; keyHead: the
// bytes before a book's key in its link (the site's address and "/").
// Books stop before the known one.  Throws ConversionError when the pager's
// page number cannot be read.
struct DuowanListPage {
    std::vector<ListedBook> books;
    bool metKnown = false;
    PageStep step = PageStep::Broken;
};
DuowanListPage CutDuowanListPage(const std::string& page, const std::string& known, int next, size_t keyHead);

// 小说阅读网.  n: this page's number; total: the page count found so far (0
// before page 1 has been read).  The count is read from the page while
// total is 0; a count that cannot be read ends the walk after this page.
struct ReadnovelListPage {
    std::vector<ListedBook> books;
    bool metKnown = false;
    int total = 0;  // the page count, as read or as given
    PageStep step = PageStep::Broken;
};
ReadnovelListPage CutReadnovelListPage(const std::string& page, const std::string& known, int n, int total);

// 言情小说吧's site-wide list.  A page without book rows ends the walk; that
// is the list's end only when the page has its pager and is not the first.
struct Xs8ListPage {
    std::vector<ListedBook> books;
    PageStep step = PageStep::Broken;
};
Xs8ListPage CutXs8ListPage(const std::string& page, int n);

// 飞库.  count: the page count shown on the page, -1 when it cannot be read
// (the page keeps its books and the walk ends there).
struct FeikuListPage {
    std::vector<ListedBook> books;
    int count = -1;
    PageStep step = PageStep::Broken;
};
FeikuListPage CutFeikuListPage(const std::string& page, int n);

// A site that keeps announcing further pages of new books would be walked
// until memory runs out: a walk ends, as a failed one, past more pages or
// books than any real site lists (a category of 200 000 books fills 10 000
// pages of 20).
struct WalkLimits {
    int pages = 10000;
    size_t books = 1000000;
};
class WalkCap {
  public:
    explicit WalkCap(WalkLimits limits) : limits_(limits) {}
    // Counts a page of `books` books; true when the walk is to end there:
    // it holds more books than allowed, or asks for a page past the last
    // one allowed (wantsNext).
    bool Reached(size_t books, bool wantsNext);

  private:
    WalkLimits limits_;
    int pages_ = 0;
    size_t books_ = 0;
};

// An incremental update puts the new books (in the site's order) above the
// stored ones.  True when they can simply go on top: no key stands twice
// among the new and the stored books together.  Books without a key never
// count as the same book.
bool KeysDiffer(const std::vector<std::string>& newKeys, const std::vector<std::string>& storedKeys);
// Otherwise the list keeps the first entry of each key (titles and keys
// index for index, newest first): a stored book the walk met again leaves
// its old place, and a book a shifting site listed twice is kept once.
void KeepFirstOfEachKey(std::vector<std::string>& titles, std::vector<std::string>& keys);

// A site that answers every page number with the same page would be walked
// for ever: a page whose books are those of the page before ends the walk.
class RepeatedPageStop {
  public:
    // True when books (not empty) are the books of the page seen last.
    bool Repeats(const std::vector<ListedBook>& books);

  private:
    std::vector<std::string> lastKeys_;
};

}  // namespace talvenor

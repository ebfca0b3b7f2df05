// The chapter-list pages of the five sites cut into chapter titles and URLs,
// without any fetching: the download worker fetches the page and hands the
// result to the reader's lists on the main thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace talvenor {

// What a chapter-list walk produced, waiting to be handed to the main thread.
// titles and urls match index for index; only 飞库 can leave one URL more
// (a last link without its end).
struct ChapterBatch {
    std::vector<std::string> titles, urls;
    std::vector<int> steps;  // progress steps, in the order they were made
    bool setMax = false;
    int max = 0;
    bool selectFirst = false;

    void Step(int by) { steps.push_back(by); }
    // Room for the entries a page of this size can hold (a chapter link
    // takes some fifty bytes), so long lists grow without copying; a huge
    // page reserves no more than a long book needs.
    void Reserve(size_t pageBytes);
    void SetMax(int m) {
        setMax = true;
        max = m;
    }
};

// A chapter-list walk fed with the page while it arrives, so that cutting
// the list overlaps the download.  Pieces may be cut anywhere; the batch is
// always the walk of the whole page.
class ChapterListWalk {
public:
    virtual ~ChapterListWalk() = default;
    // The next piece of the page's body; last: the body ends with it (the
    // walk need not hold back for bytes that will not come).
    virtual void Feed(const char* data, size_t n, bool last = false) = 0;
    // Room for a page of this many bytes (its announced length).
    virtual void Reserve(size_t pageBytes) = 0;
    // The download ended and `page` is its whole body.  Normally the pieces
    // fed were that body; when they were not (a body that was not handed
    // over in pieces), the walk starts again on `page`.
    virtual ChapterBatch Finish(const std::string& page) = 0;
    // Chapters cut so far (some may be taken back when the end of the list
    // turns out to lie before them).
    virtual size_t Taken() const = 0;
};

std::unique_ptr<ChapterListWalk> DuowanChapterWalk();
std::unique_ptr<ChapterListWalk> ReadnovelChapterWalk();
std::unique_ptr<ChapterListWalk> Xs8ChapterWalk(const std::string& base);
std::unique_ptr<ChapterListWalk> FeikuChapterWalk(const std::string& prefix);
std::unique_ptr<ChapterListWalk> S520ChapterWalk(const std::string& prefix);

// The walks of whole pages.
// 多玩 (mode 1): the page as served (UTF-8; empty after a failed fetch).
ChapterBatch DuowanChapterPage(const std::string& utf8Page);
// 小说阅读网 (mode 2): the entries after the book's own entry.
ChapterBatch ReadnovelChapterPage(const std::string& page);
// 言情小说吧 (mode 3): the downloaded file's bytes, taken as a text box holds
// them (lines joined by CR LF); URLs built on the site's base.
ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base);
// 飞库 (mode 4) and 小说520 (mode 5): URLs are prefix + piece + the page
// suffix, prefix being the list's folder ending in "/".
ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix);
ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix);

}  // namespace talvenor

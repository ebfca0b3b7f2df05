#include "catalogue/book_list_pages.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "catalogue/sites.h"
#include "text/markers.h"
#include "text/numbers.h"

namespace talvenor {

namespace {

// s without its first `head` and its last `tail` bytes (empty when too short).
std::string DropEnds(const std::string& s, size_t head, size_t tail) {
    if (s.size() <= head + tail) return std::string();
    return s.substr(head, s.size() - head - tail);
}

std::vector<std::string> KeysOf(const std::vector<ListedBook>& books) {
    std::vector<std::string> keys;
    keys.reserve(books.size());
    for (const auto& b : books) keys.push_back(b.key);
    return keys;
}

}  // namespace

bool WalkCap::Reached(size_t books, bool wantsNext) {
    ++pages_;
    books_ += books;
    return books_ > limits_.books || (wantsNext && pages_ >= limits_.pages);
}

bool KeysDiffer(const std::vector<std::string>& newKeys, const std::vector<std::string>& storedKeys) {
    // An open-addressed table of indices, at most half full: a category of a
    // million books is checked without a memory allocation per key.
    const size_t total = newKeys.size() + storedKeys.size();
    size_t size = 16;
    while (size < 2 * total) size *= 2;
    const size_t mask = size - 1;
    std::vector<uint32_t> slots(size, 0);  // 1 + index of a key; 0: free
    auto keyAt = [&](uint32_t slot) -> const std::string& {
        const size_t i = slot - 1;
        return i < newKeys.size() ? newKeys[i] : storedKeys[i - newKeys.size()];
    };
    for (size_t i = 0; i < total; ++i) {
        const std::string& key = i < newKeys.size() ? newKeys[i] : storedKeys[i - newKeys.size()];
        if (key.empty()) continue;
        size_t at = std::hash<std::string_view>()(key) & mask;
        for (; slots[at] != 0; at = (at + 1) & mask)
            if (keyAt(slots[at]) == key) return false;
        slots[at] = static_cast<uint32_t>(i + 1);
    }
    return true;
}

void KeepFirstOfEachKey(std::vector<std::string>& titles, std::vector<std::string>& keys) {
    std::unordered_set<std::string> seen;
    seen.reserve(keys.size());
    size_t kept = 0;
    for (size_t i = 0; i < keys.size() && i < titles.size(); ++i) {
        if (!keys[i].empty() && !seen.insert(keys[i]).second) continue;
        if (kept != i) {
            titles[kept] = std::move(titles[i]);
            keys[kept] = std::move(keys[i]);
        }
        ++kept;
    }
    titles.resize(kept);
    keys.resize(kept);
}

bool RepeatedPageStop::Repeats(const std::vector<ListedBook>& books) {
    std::vector<std::string> keys = KeysOf(books);
    const bool same = !keys.empty() && keys == lastKeys_;
    lastKeys_ = std::move(keys);
    return same;
}

DuowanListPage CutDuowanListPage(const std::string& page, const std::string& known, int next,
                                 size_t keyHead) {
    DuowanListPage out;
    int pos = FindMarker("<li>", page, FindMarker("booklist", page, 0) + 1);
    while (pos > 0) {
        // A cut whose start marker is missing takes its piece from the top
        // of the page: without a link and a title ahead the list ends.
        if (FindMarker("<a href=\"", page, pos) < 0) break;
        const int start = pos;
        const std::string href = CutBetween(page, "<a href=\"", "\"", pos);
        if (pos <= start) break;  // no further link: the walk would start over
        const int afterHref = pos;
        if (FindMarker("_blank>", page, pos) < 0) break;
        std::string title = CutBetween(page, "_blank>", "</a>", pos);
        if (pos <= afterHref) break;
        if (!known.empty() && title == known) {
            out.metKnown = true;
            out.step = PageStep::End;
            return out;
        }
        // The key is the link without the site's address and "/" in front
        // and without "index.html" behind.
        out.books.push_back({std::move(title), DropEnds(href, keyHead, 10), std::string()});
        pos = FindMarker("<li>", page, pos);
    }

    // The pager: the next-page link names the page it leads to ("..._3.html").
    static const std::string kNextPage = "\">" + G("下一页");
    int pagerPos = -1;
    const std::string piece = CutBetween(page, "<td align=\"left\">", kNextPage, pagerPos);
    const size_t underscore = piece.find('_');
    const size_t dot = piece.find('.');
    const size_t from = underscore == std::string::npos ? 0 : underscore + 1;
    const std::string number =
        dot == std::string::npos || dot < from ? std::string() : piece.substr(from, dot - from);
    out.step = ParseDecimal(number) >= next ? PageStep::Next : PageStep::End;
    return out;
}

ReadnovelListPage CutReadnovelListPage(const std::string& page, const std::string& known, int n, int total) {
    static const std::string kOpen = G("《"), kClose = G("》"), kNextLink = G("下1页</a>");
    ReadnovelListPage out;
    out.total = total;
    int pos = FindMarker("<ul>", page, 100);
    const int bound = FindMarker("</ul>", page, 0) + 1;
    while (pos < bound) {
        // Without a book link ahead the cut would take its key from the top
        // of the page.
        if (FindMarker("novel/", page, pos) < 0) break;
        const int start = pos;
        ListedBook book;
        book.key = CutBetween(page, "novel/", ".html\" target", pos);
        if (pos > bound || pos <= start) break;
        const int afterKey = pos;
        book.title = kOpen + CutBetween(page, "<b>", "</b>", pos) + kClose;
        if (pos <= afterKey) break;
        if (!known.empty() && book.title == known) {
            out.metKnown = true;
            out.step = PageStep::End;
            return out;
        }
        const int afterTitle = pos;
        book.intro = CutBetween(page, "</h2>", "<div class=\"bothall\">", pos);
        out.books.push_back(std::move(book));
        if (pos <= afterTitle) break;  // the rest of the page cannot be walked
    }

    if (out.total == 0) {  // the first page tells how many there are
        const int dots = FindMarker("...", page, bound);
        if (dots > 0) {
            int p = dots;
            try {
                out.total = ParseDecimal(CutBetween(page, "\">", "</a>", p));
            } catch (const ConversionError&) {
                out.total = 0;
                out.step = PageStep::Broken;  // this page's books stay; the walk ends
                return out;
            }
        } else {
            const int first = FindMarker("</ul>", page, 0);
            const int nextLink = FindMarker(kNextLink, page, 0);
            const int from = first < 0 ? 0 : first;
            const std::string piece = nextLink > from ? page.substr(from, nextLink - from) : std::string();
            static const std::string kLink = "<a href=";
            for (int p = FindMarker(kLink, piece, 8); p >= 0;
                 p = FindMarker(kLink, piece, p + int(kLink.size())))
                ++out.total;
        }
    }
    out.step = n >= out.total ? PageStep::End : PageStep::Next;
    return out;
}

Xs8ListPage CutXs8ListPage(const std::string& page, int n) {
    static const std::string kPager = G("[首页]"), kHead = G("点击数"), kGenreOpen = G("【"),
                             kGenreClose = G("】"), kAuthorOpen = G("『"), kAuthorClose = G("』"),
                             kClicks = G("♂"), kFavourites = G("♀");
    static const std::string tab3 = "\t\t\t";
    Xs8ListPage out;
    const int pagerAt = FindMarker(kPager, page, 0);
    const int pager = pagerAt + 1;
    int pos = FindMarker(kHead, page, 100);
    for (;;) {
        pos = FindMarker("<tr bgcolor", page, pos);
        if (pos < 0) break;
        if (FindMarker("</tr>", page, pos) > pager) break;  // past the pager: no more books
        const int rowStart = pos;
        // A row without a book link ahead (a row of another kind, a page cut
        // off) would be cut from the top of the page.
        if (FindMarker("<a href=\"/love/", page, pos) < 0) break;
        ListedBook book;
        book.key = CutBetween(page, "<a href=\"/love/", "/index", pos);
        if (pos <= rowStart) break;  // the link is cut off
        const std::string title = CutBetween(page, "\">", "</a>", pos);
        const std::string second = CutBetween(page, "\">", "</a>", pos);
        std::string cells[4];
        for (std::string& cell : cells) cell = CutBetween(page, "<td>", "</td>", pos);
        book.title = title + tab3 + kGenreOpen + second + kGenreClose + tab3 + kAuthorOpen + cells[0] +
                     kAuthorClose + tab3 + cells[1] + "\t" + tab3 + kClicks + cells[2] + tab3 + kFavourites +
                     cells[3];
        out.books.push_back(std::move(book));
        // A row that did not move the walk on would be found again and again.
        if (pos <= rowStart) break;
    }
    if (!out.books.empty())
        out.step = PageStep::Next;
    else
        // The list's end is a page past the last one: it has the pager and
        // no row.  A first page without rows, or a page without its pager,
        // is no list page at all (an error page, an empty answer).
        out.step = pagerAt >= 0 && n > 1 ? PageStep::End : PageStep::Broken;
    return out;
}

FeikuListPage CutFeikuListPage(const std::string& page, int n) {
    static const std::string kCount = G("条 , 当前"), kState = G("状态:【"), kUpdated = G("】更新时间：【"),
                             kClose = G("】"), kTitle = G("书名：『"), kAuthor = G("』作者：【"),
                             kLatest = G("】最新：【");
    FeikuListPage out;
    int pos = FindMarker("<div id=\"CrListText\">", page, 100);
    if (pos < 0) return out;
    const int end = FindMarker("</div>", page, pos);
    if (end < 0) return out;

    pos = FindMarker("<ul>", page, pos);
    while (pos < end && pos > 0) {  // one book per "<ul>"
        const int start = pos;
        pos = FindMarker("li2", page, pos);
        bool advanced = pos > start;
        auto cut = [&](const char* from, const char* to) {
            // A missing marker would cut from the top of the page.
            if (FindMarker(from, page, pos) < 0) {
                advanced = false;
                return std::string();
            }
            const int before = pos;
            std::string piece = CutBetween(page, from, to, pos);
            if (pos <= before) advanced = false;
            return piece;
        };
        const std::string key = cut("<a target=_blank href=\"/", "/List.shtm");
        std::string title = cut("</a>", "</a>");
        RemoveBlanks(title);
        StripTags(title);
        std::string latest = cut("li3\">", "</li>");
        StripTags(latest);
        const std::string updated = cut("li4\">", "</li>");
        std::string author = cut("li5\">", "</li>");
        StripTags(author);
        std::string state = cut("li6\">", "</li>");
        RemoveNbsp(state);
        // A book cut short would send the walk back to the start of the page.
        if (!advanced) break;
        out.books.push_back({kState + state + kUpdated + updated + kClose + kTitle + title + kAuthor +
                                 author + kLatest + latest + kClose,
                             key, std::string()});
        pos = FindMarker("<ul>", page, pos);
    }

    // The page count shown on the page.  Past it there is nothing more to
    // fetch, even if the site keeps answering.
    int p = FindMarker(kCount, page, 100);
    p = FindMarker("</font>", page, p);
    try {
        out.count = ParseDecimal(CutBetween(page, "<b>", "</b>", p));
        out.step = out.count > n ? PageStep::Next : PageStep::End;
    } catch (const ConversionError&) {
        out.count = -1;
        out.step = PageStep::Broken;
    }
    return out;
}

}  // namespace talvenor

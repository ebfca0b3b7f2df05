// The page walks as they were written by hand before the sites became rule
// files, kept as the oracle the rule engine is compared with (the
// differential fuzz target and the speed benchmark).  Not part of the
// program.
#include "oracle/walks_oracle.h"

#include "catalogue/sites.h"
#include "net/site_hosts.h"
#include "catalogue/store.h"
#include "text/encoding.h"
#include "text/markers.h"
#include "text/numbers.h"

namespace talvenor::oracle {

unsigned long gWithoutText = 0;

unsigned long ChaptersWithoutText() {
    return gWithoutText;
}

namespace {

void Count(bool found) {
    if (!found) ++gWithoutText;
}

void Filter(std::string& content, const ReaderPrefs& prefs) {
    if (prefs.N25.checked) RemoveAll(content, prefs.FilterWord);
}

const char* const kListTitle = "<div id=\"CListTitle\">";

struct Walk {
    SearchPage result;
    void Add(std::string title, std::string key) {
        result.titles.push_back(std::move(title));
        result.keys.push_back(std::move(key));
    }
    SearchPage End(SearchEnd end) {
        result.end = end;
        return std::move(result);
    }
};

std::string DropEnds(const std::string& s, size_t head, size_t tail) {
    if (s.size() <= head + tail) return std::string();
    return s.substr(head, s.size() - head - tail);
}

std::string CutFound(const std::string& page, const std::string& start, const std::string& end, int& pos) {
    if (FindMarker(start, page, pos) < 0) {
        pos = -1;
        return std::string();
    }
    return CutBetween(page, start, end, pos);
}

}  // namespace

CategoryPage DuowanCategoryPage(const std::string& utf8Page, const std::string& base) {
    CategoryPage out;
    const std::string page = DecodeUtf8Page(utf8Page);
    static const std::string kDirectory = G("分类目录");
    int s = FindMarker(kDirectory, page, 100);
    int end = FindMarker("</ul>", page, s);
    int pos = FindMarker("<li>", page, s);
    while (pos >= 0 && pos < end) {
        const int start = pos;
        std::string href = CutBetween(page, "href=\"", "\"", pos);
        out.urls.push_back(base + "/include/finish/" + href);
        out.names.push_back(CutBetween(page, ">", "<span>", pos));
        pos = FindMarker("<li>", page, pos);
        if (pos <= start) break;  // a broken item sent the walk back: the list is over
    }
    return out;
}

CategoryPage ReadnovelCategoryPage(const std::string& page, const std::string& base) {
    CategoryPage out;
    static const std::string kMarker = G("分类阅读");
    int pos = FindMarker(kMarker, page, 100);
    // The site always has eleven categories; the last name is in bold.
    for (int i = 0; i < 11; ++i) {
        std::string href = CutBetween(page, "<a href=\"", "\"", pos);
        out.urls.push_back(base + href);
        out.names.push_back(i < 10 ? CutBetween(page, ">", "<", pos)
                                   : CutBetween(page, "<strong>", "</strong>", pos));
    }
    return out;
}

CategoryPage FeikuCategoryPage(const std::string& page) {
    CategoryPage out;
    static const std::string kGroups[] = {G("网络原创-"), G("经典文学-"), G("生活科教-")};
    int pos = FindMarker("id=\"sub2\"", page, 100);
    for (const std::string& prefix : kGroups) {
        const int end = FindMarker("</ul>", page, pos);
        // A group without its end: the page is cut off, and going on would
        // send the next group back to the top of the page.
        if (end < 0) break;
        pos = FindMarker("<li>", page, pos);
        while (pos >= 0 && pos < end) {
            const int item = pos;
            // A list item holds two category links.
            for (int link = 0; link < 2; ++link) {
                std::string key = CutBetween(page, "/Book/LN/", ".html", pos);
                if (!key.empty() && key[0] == '/') key.erase(0, 1);
                if (pos > end) break;  // the link belongs to a later group
                out.urls.push_back(key);
                out.names.push_back(prefix + CutBetween(page, ">", "</a>", pos));
            }
            pos = FindMarker("<li>", page, pos);
            if (pos <= item) break;  // no progress: a broken item ends the group
        }
        pos = end + 4;
    }
    return out;
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

SearchPage S520SearchPage(const std::string& page) {
    Walk w;
    int p = FindMarker(kListTitle, page, 100);
    if (p < 0) return w.End(SearchEnd::Silent);
    int accepted = p;
    // Each cut must land past the one before it.
    auto advanced = [&](int pos) {
        if (pos < accepted) return false;
        accepted = pos;
        return true;
    };
    while (p > 0) {
        std::string name = CutBetween(page, "<b>", "</b>", p);
        if (!advanced(p)) return w.End(SearchEnd::Silent);
        p = FindMarker(">>>", page, p);
        if (!advanced(p)) return w.End(SearchEnd::Silent);
        std::string link = CutBetween(page, "<a href=\"", ".shtml", p);
        if (!advanced(p)) return w.End(SearchEnd::Silent);
        // "/html/4/4000017/List" -> "html/4/4000017": the leading
        // character and everything from the last "/" on are dropped.
        std::string path = link;
        size_t last = link.rfind('/');
        if (last != std::string::npos) path = last > 1 ? link.substr(1, last - 1) : std::string();
        w.Add(G("《") + name + G("》"), "[520]" + path);
        p = FindMarker(kListTitle, page, p);
    }
    return w.End(SearchEnd::Found);
}

SearchPage DuowanSearchPage(const std::string& utf8Page, const std::string& duowanBase) {
    const std::string page = DecodeUtf8Page(utf8Page);
    const std::string keyStart = "<a href=\"" + duowanBase + "/";
    static const std::string keyword = G("关键字是：");
    Walk w;
    int p = FindMarker(keyword, page, 100);
    if (p <= 0) return w.End(SearchEnd::Silent);
    int accepted = p;
    bool listed = false;
    for (;;) {
        p = FindMarker("<li>", page, p);
        if (p < 0) return w.End(listed ? SearchEnd::Found : SearchEnd::NotFound);
        accepted = p;
        std::string key = CutBetween(page, keyStart, "index.html\"", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string title = CutBetween(page, "\"_blank\">", "</a>", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        StripTags(title);
        w.Add(title, key);
        listed = true;
    }
}

SearchPage FeikuSearchPage(const std::string& page) {
    Walk w;
    int p = 100, accepted = 100;
    bool listed = false;
    for (;;) {
        p = FindMarker(kListTitle, page, p);
        if (p < accepted) return w.End(listed ? SearchEnd::Found : SearchEnd::NotFound);
        std::string title = CutBetween(page, "<b>", "</b>", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string link = CutBetween(page, ">>> <a href=\"/", ".shtm", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        size_t last = link.rfind('/');
        w.Add(title, "[feiku]" + (last == std::string::npos ? std::string() : link.substr(0, last)));
        listed = true;
        if (p <= 0) return w.End(SearchEnd::Silent);
    }
}

SearchPage ReadnovelSearchPage(const std::string& page, const std::string& readnovelBase) {
    // The result links: the site's address up to the dot before its
    // top-level domain ("http://www.readnovel" of "http://www.readnovel.com").
    const std::string site = SiteHosts::HostName(readnovelBase);
    std::string linkStart = readnovelBase;
    size_t hostAt = linkStart.find(site);
    size_t dot = site.rfind('.');
    if (hostAt != std::string::npos && dot != std::string::npos)
        linkStart = linkStart.substr(0, hostAt + dot);
    linkStart = "<a href=\"" + linkStart;
    Walk w;
    int p = 100, accepted = 100;
    bool listed = false;
    for (;;) {
        p = FindMarker(linkStart, page, p);
        if (p < accepted) return w.End(listed ? SearchEnd::Found : SearchEnd::NotFound);
        std::string number = CutBetween(page, "novel/", "/", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string title = CutBetween(page, G("-《"), G("》"), p);
        StripTags(title);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        w.Add(title, "[rdn]" + number);
        listed = true;
        if (p <= 0) return w.End(SearchEnd::Silent);
    }
}

SearchPage Xs8SearchPage(const std::string& page) {
    static const std::string dot = G("·");
    Walk w;
    int b = FindMarker(G("点击数"), page, 100);
    int p = FindMarker(dot, page, b);
    int accepted = p;
    if (p <= 0) return w.End(SearchEnd::Silent);
    for (;;) {
        std::string number = CutBetween(page, "\"/love/", "/index.html", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        std::string title = CutBetween(page, "\">", "</a>", p);
        if (p < accepted) return w.End(SearchEnd::Silent);
        accepted = p;
        w.Add(Trimmed(title), "[xs8]" + number);
        p = FindMarker(dot, page, p);
        if (p <= 0) return w.End(SearchEnd::Silent);
    }
}

std::optional<std::string> S520IntroPage(const std::string& page) {
    int p = 100;
    std::string text = CutFound(page, "<td height=\"150\" valign=\"top\">", "</td>", p);
    if (p < 0) return std::nullopt;
    StripTags(text);
    RemoveAll(text, "&nbsp;");
    return text;
}

std::optional<std::string> DuowanIntroPage(const std::string& utf8Page) {
    const std::string page = DecodeUtf8Page(utf8Page);
    int s = FindMarker(G("文章简介"), page, 100);
    if (s < 0) return std::nullopt;
    int e = FindMarker("<!-- end wzjj -->", page, s);
    int r = FindMarker("<br>", page, s);
    if (r >= e) return G("没有简介");
    int p = s;
    return CutBetween(page, "<br>", "<br>", p);
}

std::optional<std::string> ReadnovelIntroPage(const std::string& page) {
    int p = FindMarker(G("书籍简介"), page, 100);
    if (p < 0) return std::nullopt;
    int e = FindMarker(G("<!--结束书的参数-->"), page, p);
    std::string text = CutFound(page, "</strong>", "<br />", p);
    // The cut ran past the book's parameter block: that is not its
    // introduction.
    if (e > 0 && e < p) text.clear();
    return text;
}

std::optional<std::string> Xs8IntroPage(const std::string& page) {
    int p = 100;
    std::string text = CutFound(page, G("[书籍简介]"), "</table>", p);
    if (p < 0) return std::nullopt;
    StripTags(text);
    return text;
}

std::optional<std::string> FeikuIntroPage(const std::string& page) {
    int p = 100;
    std::string text = CutFound(page, "<div id=\"CrbsSum\">", "</div>", p);
    if (p < 0) return std::nullopt;
    StripTags(text);
    RemoveAll(text, "&nbsp;");
    return text;
}

ChapterBatch DuowanChapterPage(const std::string& utf8Page) {
    const std::string page = DecodeUtf8Page(utf8Page);
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker("<div id=\"textlist\"", page, 100);
    const int end = FindMarker("<!-- end textlist -->", page, s);
    int pos = FindMarker("<li>", page, s);
    batch.SetMax(end);
    int prev = 0;
    if (pos >= 0 && pos < end) {
        for (;;) {
            batch.Step(pos - prev);
            prev = pos;
            const int start = pos;
            std::string url = CutBetween(page, "<a href=\"", "\"", pos);
            if (pos <= start) break;  // cut short: the walk would start over
            const int afterUrl = pos;
            std::string title = CutBetween(page, ">", "</a>", pos);
            if (pos <= afterUrl) break;
            RemoveNbsp(title);
            batch.urls.push_back(std::move(url));
            batch.titles.push_back(std::move(title));
            pos = FindMarker("<li>", page, pos);
            if (pos < 0 || pos >= end) break;
        }
    }
    batch.selectFirst = true;
    return batch;
}

ChapterBatch ReadnovelChapterPage(const std::string& page) {
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker("mulu", page, 100);
    if (s < 0) {
        batch.titles.push_back(G("没有章节"));
        batch.urls.push_back("about:blank");
    } else {
        batch.SetMax(FindMarker(G(" <!--书目录结束-->"), page, 0) + 1 - s);
        int pos = s;
        int prev = s;
        for (;;) {
            const int start = pos;
            int linkStart = 0;
            std::string url = CutBetween(page, "<li><a href=\"", "\"", pos, &linkStart);
            batch.Step(pos - prev);
            prev = pos;
            // No further link: the position went back, or no link marker was
            // left and the cut took a quote from elsewhere as the link's end.
            if (pos < s || pos <= start || linkStart <= start) break;
            batch.urls.push_back(std::move(url));
            // Without a ">" ahead the cut would take the title from the top
            // of the page and send the walk back there, round and round: the
            // list ends with this link, as at an empty title.
            std::string title =
                FindMarker(">", page, pos) < 0 ? std::string() : CutBetween(page, ">", "<", pos);
            const bool last = title.empty();
            batch.titles.push_back(std::move(title));
            if (last) break;
        }
    }
    batch.selectFirst = true;
    return batch;
}

ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base) {
    std::string page;
    for (const std::string& line : ParseLines(fileBytes)) page += line + "\r\n";
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker(G("[书籍简介]"), page, 100);
    const int end = FindMarker("</body>", page, s);
    batch.SetMax(end);
    batch.Step(s);
    int prev = s;
    // The chapters are the "·" links up to the first comment after the
    // introduction; links inside or after it belong to other parts of the page.
    int c1 = FindMarker("<!--", page, s);
    int c2 = FindMarker("-->", page, s);
    const std::string dot = G("·");
    int pos = FindMarker(dot, page, s);
    while (pos > 0) {
        const int start = pos;
        const std::string piece = CutBetween(page, "/love", ".html", pos);
        if (pos < s || pos <= start) break;
        const std::string url = base + "/love" + piece + ".html";
        if (pos <= c1) {
            batch.urls.push_back(url);
            const int afterUrl = pos;
            std::string title = CutBetween(page, ">", "</a>", pos);
            CleanLinkText(title);
            batch.titles.push_back(std::move(title));
            if (pos <= afterUrl) break;  // no end to this link: nothing further can be read
            pos = FindMarker(dot, page, pos);
            batch.Step(pos - prev);
            prev = pos;
        } else if (pos < c2) {
            c1 = FindMarker("<!--", page, pos);
            c2 = FindMarker("-->", page, pos);
        }
    }
    batch.selectFirst = true;
    batch.Step(end - prev);
    return batch;
}

ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix) {
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker("<div id=\"feiku_chaplist\">", page, 100);
    // The list runs to just past the last end marker; the site repeats it.
    static const std::string kEnd = "<div id=\"feiku_e_n_d\">";
    int b = s;
    for (int e = FindMarker(kEnd, page, s); e >= 0; e = FindMarker(kEnd, page, e + int(kEnd.size())))
        b = e + int(kEnd.size());
    batch.SetMax(b - s);
    int prev = s;
    int pos = FindMarker("<li><a", page, s);
    while (pos < b && pos > 0) {
        const int start = pos;
        const std::string piece = CutBetween(page, "href=\"", ".shtm", pos);
        if (pos <= start) break;  // cut short: the walk would start over
        batch.urls.push_back(prefix + piece + ".shtm");
        const int afterUrl = pos;
        std::string title = CutBetween(page, "\">", "</a>", pos);
        if (pos <= afterUrl) break;  // a link without its end: its URL stays, alone
        batch.Step(pos - prev);
        prev = pos;
        batch.titles.push_back(std::move(title));
        pos = FindMarker("<li><a", page, pos);
    }
    batch.selectFirst = true;
    batch.Step(b - prev);
    return batch;
}

ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix) {
    ChapterBatch batch;
    batch.Reserve(page.size());
    int pos = FindMarker("<li>", page, 100);
    int last = pos;
    const int end = FindMarker("<div id=\"End\">", page, pos);
    batch.SetMax(end);
    batch.Step(pos);
    int prev = pos;
    while (pos > 0 && pos < end) {
        const std::string piece = CutBetween(page, "<a href=\"", ".shtml", pos);
        batch.urls.push_back(prefix + piece + ".shtml");
        std::string title = CutBetween(page, "\">", "</a>", pos);
        batch.Step(pos - prev);
        prev = pos;
        batch.titles.push_back(std::move(title));
        pos = FindMarker("<li>", page, pos);
        // No further "<li>", or one the walk has seen already.
        if (pos <= last) break;
        last = pos;
    }
    batch.selectFirst = true;
    batch.Step(end - prev);
    return batch;
}

ReadnovelChapter ReadnovelChapterPage(const std::string& page, bool first, const ReaderPrefs& prefs) {
    ReadnovelChapter out;
    static const std::string kTimeout = G("超时");
    if (FindMarker(kTimeout, page, 0) >= 0) {
        out.content = page;  // the failure text, or a page that happens to hold the word
        out.cut = false;
        return out;
    }
    static const std::string kNoticeStart = G("<!--站内公告开始-->"), kNoticeEnd = G("<!--站内公告结束-->");
    int pos = 100;
    if (first) {
        Count(HasPiece(page, kNoticeStart, kNoticeEnd, pos));
        out.content = CutBetween(page, kNoticeStart, kNoticeEnd, pos);
    } else {
        Count(HasPiece(page, "</iframe>", "</div>", pos));
        out.content = CutBetween(page, "</iframe>", "</div>", pos);
        Filter(out.content, prefs);
    }
    return out;
}

std::string DuowanChapterPage(const std::string& utf8Page, const ReaderPrefs& prefs) {
    const std::string page = DecodeUtf8Page(utf8Page);
    int p = FindMarker("<div id=\"text\" class=\"typetxt\">", page, 100);
    std::string content;
    Count(p >= 0 && HasPiece(page, "</h1>", "</div>", p));
    if (p < 0) {
        content = G("连接失败，请尝试刷新或重新运行程序");
    } else {
        content = CutBetween(page, "</h1>", "</div>", p);
    }
    Filter(content, prefs);
    return content;
}

std::string Xs8ChapterPage(const std::string& page, bool first, const std::string& forumBase,
                           const ReaderPrefs& prefs) {
    std::string content;
    int pos = 100;
    if (first) {
        Count(HasPiece(page, G("[书籍简介]"), "</table>", pos));
        content = CutBetween(page, G("[书籍简介]"), "</table>", pos);
        StripTags(content);
    } else {
        const std::string end = "<a href=\"" + forumBase;
        Count(HasPiece(page, "<td height=70 align=center>", end, pos));
        content = CutBetween(page, "<td height=70 align=center>", end, pos);
        Filter(content, prefs);
    }
    return content;
}

std::string FeikuChapterPage(const std::string& page, const std::string& feikuBase,
                             const ReaderPrefs& prefs) {
    static const std::string kFront = "<div id=\"frontdiv\"";
    static const std::string kDecodeFailed = G("解码失败，请与软件作者联系");
    std::string content;
    int ref = 100;
    if (FindMarker(kFront, page, 0) < 0) {
        // A text chapter.
        int pos = 100;
        Count(HasPiece(page, "<div id=\"BookText\">", "</div>", pos));
        content = CutBetween(page, "<div id=\"BookText\">", "</div>", pos);
    } else {
        // A picture chapter: the picture blocks after each marker, in page order.
        int pos = FindMarker(kFront, page, 100);
        if (pos <= ref) {
            content = kDecodeFailed;
        } else {
            const std::string host = SiteHosts::HostName(feikuBase);
            while (pos > 0) {
                std::string block = CutBetween(page, "<div align=\"center\">", "</div>", pos);
                if (block.find(host) == std::string::npos) {
                    // A site-relative picture address becomes absolute.  A block
                    // without any picture address is left as it is.
                    size_t src = block.find("src=\"");
                    if (src != std::string::npos) block.insert(src + 5, feikuBase);
                }
                content += block;
                // Not past the block before: the cut found no picture frame
                // and fell back to an earlier one, again and again.
                if (pos <= ref) {
                    content = kDecodeFailed;
                    break;
                }
                ref = pos;
                pos = FindMarker(kFront, page, pos);
            }
        }
        Count(content != kDecodeFailed);
    }
    Filter(content, prefs);
    return content;
}

std::string S520ChapterPage(const std::string& page, const ReaderPrefs& prefs) {
    int pos = 100;
    Count(HasPiece(page, "<div id=\"BookText\">", "<SPAN", pos));
    std::string content = CutBetween(page, "<div id=\"BookText\">", "<SPAN", pos);
    Filter(content, prefs);
    return content;
}

}  // namespace talvenor::oracle

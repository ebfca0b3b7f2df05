// The book-list download of the worker (mode 9): the list pages of the chosen
// category are walked one after another and the books cut out of them.
//
// Each page is fetched and cut on the worker thread; everything it changes in
// the window lists, the progress bar or the store is then handed to the main
// thread in one batch, so a page costs one round trip however many books it
// holds.
#include <climits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/program_state.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"
#include "text/numbers.h"

namespace talvenor {

namespace {

// s without its first `head` and its last `tail` bytes (empty when too short).
std::string DropEnds(const std::string& s, size_t head, size_t tail) {
    if (s.size() <= head + tail) return std::string();
    return s.substr(head, s.size() - head - tail);
}

// Where the path of an absolute URL begins ("http://host:port/path" -> the
// index of "/path"); 0 when it has no scheme.
size_t PathStart(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return 0;
    const size_t slash = url.find('/', scheme + 3);
    return slash == std::string::npos ? url.size() : slash;
}

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Lays a GBK text out as the reader's hidden text box would: every line break
// of the text starts a line, and longer lines wrap at `columns` half-width
// columns, a double-byte character taking two.  Latin words move to the next
// line whole unless they are longer than a line; Chinese text breaks between
// any two characters.
std::vector<std::string> WrapLines(const std::string& text, int columns) {
    std::vector<std::string> lines;
    std::string line;
    int width = 0;
    auto breakLine = [&] {
        lines.push_back(line);
        line.clear();
        width = 0;
    };
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            breakLine();
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (IsLeadByte(c) && i + 1 < text.size()) {
            if (width + 2 > columns && width > 0) breakLine();
            line.append(text, i, 2);
            width += 2;
            i += 2;
        } else if (c == ' ') {
            // A blank that no longer fits ends the line and is dropped.
            if (width + 1 > columns) {
                breakLine();
            } else {
                line.push_back(' ');
                ++width;
            }
            ++i;
        } else {
            size_t end = i;
            while (end < text.size()) {
                const unsigned char w = static_cast<unsigned char>(text[end]);
                if (w == ' ' || w == '\r' || w == '\n' || IsLeadByte(w)) break;
                ++end;
            }
            const int len = static_cast<int>(end - i);
            if (width + len > columns && width > 0 && len <= columns) breakLine();
            for (size_t k = i; k < end; ++k) {
                if (width + 1 > columns) breakLine();
                line.push_back(text[k]);
                ++width;
            }
            i = end;
        }
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

// The width of the introduction text box, in half-width columns.
constexpr int kIntroColumns = 64;

}  // namespace

void TDownloadBar::UpdateBookList() {
    const Site site = SiteOfLabel(currentSite_);
    // The site folder normally exists since its categories were loaded; a
    // long download must not be lost because it went missing meanwhile.
    if (site == Site::Duowan || site == Site::Readnovel || site == Site::Xs8 || site == Site::Feiku)
        OnMain([&] { MakeDirs(SiteFolder(BaseDir, currentSite_)); });
    switch (site) {
        case Site::Duowan:
            DuowanBookList();
            break;
        case Site::Readnovel:
            ReadnovelBookList();
            break;
        case Site::Xs8:
            Xs8BookList();
            break;
        case Site::Feiku:
            FeikuBookList();
            break;
        default:
            break;
    }
    if (site != Site::Xs8) {  // 言情小说吧 saves its chunks as it goes
        SaveListOnMain(TitleList, SiteFilePath(BaseDir, currentSite_, TargetName + ".ml"));
        SaveListOnMain(UrlList, SiteFilePath(BaseDir, currentSite_, TargetName + ".ml.list"));
    }
    OnMain([&] {
        program_.TrayWindow = kTrayCatalogue;
        program_.form1->OnBookListDone();
    });
}

// ---- 多玩 -------------------------------------------------------------------

void TDownloadBar::DuowanBookList() {
    const std::string known =
        Read<std::string>([&] { return TitleList->Empty() ? std::string() : TitleList->items.front(); });
    OnMain([&] { Progress->SetMax(100); });
    // Every category URL ends in "1.html"; the pages differ only in that number.
    // The configured host may itself hold a "1.", so the suffix is cut off
    // from the end when it is there.
    std::string prefix;
    static const std::string kFirstPage = "1.html";
    if (TargetUrl.size() >= kFirstPage.size() &&
        TargetUrl.compare(TargetUrl.size() - kFirstPage.size(), kFirstPage.size(), kFirstPage) == 0) {
        prefix = TargetUrl.substr(0, TargetUrl.size() - kFirstPage.size());
    } else {
        const size_t one = TargetUrl.find("1.");
        prefix = one == std::string::npos ? std::string() : TargetUrl.substr(0, one);
    }
    // Every page inserts from the top again: when new books span several
    // pages, those of a later page stand above those of an earlier one.
    for (int n = 1;; ++n) {
        int insertAt = 0;
        if (!DuowanPageStep(prefix + std::to_string(n) + ".html", known, n + 1, insertAt)) break;
    }
    OnMain([&] { Progress->StepBy(100 - Progress->position); });
}

bool TDownloadBar::DuowanPageStep(const std::string& url, const std::string& known, int next, int& insertAt) {
    std::string page;
    try {
        page = Fetch(url);
    } catch (const FetchError&) {
        return false;
    }
    page = DecodeUtf8Page(page);

    // The key is the link without the site's address and "/" in front and
    // without "index.html" behind.
    const size_t head = Hosts().duowan.size() + 1;
    std::vector<std::pair<std::string, std::string>> books;  // title, key
    bool metKnown = false;
    int pos = FindMarker("<li>", page, FindMarker("booklist", page, 0) + 1);
    while (pos > 0) {
        const int start = pos;
        const std::string href = CutBetween(page, "<a href=\"", "\"", pos);
        if (pos <= start) break;  // no further link: the walk would start over
        const int afterHref = pos;
        const std::string title = CutBetween(page, "_blank>", "</a>", pos);
        if (pos <= afterHref) break;
        if (!known.empty() && title == known) {
            metKnown = true;
            break;
        }
        books.emplace_back(title, DropEnds(href, head, 10));
        pos = FindMarker("<li>", page, pos);
    }

    const bool append = known.empty();
    const int added = static_cast<int>(books.size());
    OnMainAsync([this, books = std::move(books), append, at = insertAt]() mutable {
        Progress->StepIt();
        for (auto& book : books) {
            if (append) {
                TitleList->Add(std::move(book.first));
                UrlList->Add(std::move(book.second));
            } else {
                TitleList->Insert(at, std::move(book.first));
                UrlList->Insert(at, std::move(book.second));
                ++at;
            }
        }
    });
    if (!append) insertAt += added;
    if (metKnown) return false;

    // The pager: the next-page link names the page it leads to ("..._3.html").
    int pagerPos = -1;
    const std::string piece = CutBetween(page, "<td align=\"left\">", "\">" + G("下一页"), pagerPos);
    const size_t underscore = piece.find('_');
    const size_t dot = piece.find('.');
    const size_t from = underscore == std::string::npos ? 0 : underscore + 1;
    const std::string number =
        dot == std::string::npos || dot < from ? std::string() : piece.substr(from, dot - from);
    return ParseDecimal(number) >= next;
}

// ---- 小说阅读网 -------------------------------------------------------------

void TDownloadBar::ReadnovelBookList() {
    const std::string known =
        Read<std::string>([&] { return TitleList->Empty() ? std::string() : TitleList->items.front(); });
    OnMain([&] { Progress->SetMax(100); });
    int insertAt = 0;
    // The category's id: between "all/" and ".html" of its address (searched
    // behind the host, which is configurable).
    std::string id;
    const size_t all = TargetUrl.find("all/", PathStart(TargetUrl));
    if (all != std::string::npos) {
        const size_t html = TargetUrl.find(".html", all + 4);
        if (html != std::string::npos) id = TargetUrl.substr(all + 4, html - all - 4);
    }
    int total = 0;
    std::string url = TargetUrl;
    for (int n = 1;;) {
        if (!ReadnovelPageStep(url, known, total, insertAt)) break;
        if (++n > total) break;
        url = Hosts().readnovel + "/ch/all/" + id + "/" + std::to_string(n) + ".html";
    }
    OnMain([&] { Progress->StepBy(100 - Progress->position); });
}

bool TDownloadBar::ReadnovelPageStep(const std::string& url, const std::string& known, int& total,
                                     int& insertAt) {
    std::string page;
    try {
        page = Fetch(url);
    } catch (const FetchError&) {
        OnMain([&] { Progress->StepIt(); });
        return false;
    }

    struct Book {
        std::string title, key, intro;
    };
    std::vector<Book> books;
    bool metKnown = false;
    int pos = FindMarker("<ul>", page, 100);
    const int bound = FindMarker("</ul>", page, 0) + 1;
    while (pos < bound) {
        const int start = pos;
        Book book;
        book.key = CutBetween(page, "novel/", ".html\" target", pos);
        if (pos > bound || pos <= start) break;
        const int afterKey = pos;
        book.title = G("《") + CutBetween(page, "<b>", "</b>", pos) + G("》");
        if (pos <= afterKey) break;
        if (!known.empty() && book.title == known) {
            metKnown = true;
            break;
        }
        const int afterTitle = pos;
        book.intro = CutBetween(page, "</h2>", "<div class=\"bothall\">", pos);
        books.push_back(std::move(book));
        if (pos <= afterTitle) break;  // the rest of the page cannot be walked
    }

    OnMain([&] {
        Progress->StepIt();
        for (auto& book : books) {
            if (known.empty()) {
                TitleList->Add(book.title);
                UrlList->Add(book.key);
            } else {
                TitleList->Insert(insertAt, book.title);
                UrlList->Insert(insertAt, book.key);
                ++insertAt;
            }
            if (!book.intro.empty()) StoreReadnovelIntro(book.key, book.intro);
        }
    });
    if (metKnown) return false;

    if (total == 0) {  // the first page tells how many there are
        const int dots = FindMarker("...", page, bound);
        if (dots > 0) {
            int p = dots;
            try {
                total = ParseDecimal(CutBetween(page, "\">", "</a>", p));
            } catch (const std::runtime_error&) {
                return false;
            }
        } else {
            const int first = FindMarker("</ul>", page, 0);
            const int nextLink = FindMarker(G("下1页</a>"), page, 0);
            const int from = first < 0 ? 0 : first;
            const std::string piece = nextLink > from ? page.substr(from, nextLink - from) : std::string();
            static const std::string kLink = "<a href=";
            for (int p = FindMarker(kLink, piece, 8); p >= 0;
                 p = FindMarker(kLink, piece, p + int(kLink.size())))
                ++total;
        }
    }
    return true;
}

// Runs on the main thread, inside the batch of its page.
void TDownloadBar::StoreReadnovelIntro(const std::string& key, const std::string& intro) {
    const std::string dir = seeDir_ + SafeFileName(currentSite_);
    MakeDirs(dir);
    const std::string file = dir + "/" + SafeFileName(key) + ".txt";
    if (FileExists(file)) return;  // an introduction once stored is kept
    std::string bytes;
    for (const std::string& line : WrapLines(intro, kIntroColumns)) bytes += line + "\r\r\n";
    WriteFileAtomic(file, bytes);
}

// ---- 言情小说吧 -------------------------------------------------------------

void TDownloadBar::Xs8BookList() {
    static constexpr int kChunk = 5000;
    ListModel* chunks = &program_.form1->ListBox1;
    OnMain([&] {
        Progress->SetMax(100);
        chunks->Clear();
        TitleList->Clear();
        UrlList->Clear();
        chunks->Add(std::to_string(kChunk));
        chunks->Select(0);
    });
    auto chunkPath = [&](const std::string& name) { return SiteFilePath(BaseDir, currentSite_, name); };

    const std::string tab3 = "\t\t\t";
    StringList lastKeys;
    for (int n = 1;; ++n) {
        std::string page;
        try {
            page = Fetch(Hosts().xs8 + "/list.php?page=" + std::to_string(n));
        } catch (const FetchError&) {
            break;
        }
        std::vector<std::pair<std::string, std::string>> rows;  // entry, key
        const int pager = FindMarker(G("[首页]"), page, 0) + 1;
        int pos = FindMarker(G("点击数"), page, 100);
        for (;;) {
            pos = FindMarker("<tr bgcolor", page, pos);
            if (pos < 0) break;
            if (FindMarker("</tr>", page, pos) > pager) break;  // past the pager: no more books
            const int rowStart = pos;
            const std::string key = CutBetween(page, "<a href=\"/love/", "/index", pos);
            const std::string title = CutBetween(page, "\">", "</a>", pos);
            const std::string second = CutBetween(page, "\">", "</a>", pos);
            std::string cells[4];
            for (std::string& cell : cells) cell = CutBetween(page, "<td>", "</td>", pos);
            rows.emplace_back(title + tab3 + G("【") + second + G("】") + tab3 + G("『") + cells[0] +
                                  G("』") + tab3 + cells[1] + "\t" + tab3 + G("♂") + cells[2] + tab3 +
                                  G("♀") + cells[3],
                              key);
            // A row that did not move the walk on would be found again and again.
            if (pos <= rowStart) break;
        }

        // A site that answers every page number with the same page would
        // keep this walk going for ever.
        StringList keys;
        for (const auto& row : rows) keys.push_back(row.second);
        if (!keys.empty() && keys == lastKeys) break;
        lastKeys = std::move(keys);

        OnMain([&] {
            Progress->StepIt();
            for (auto& row : rows) {
                TitleList->Add(std::move(row.first));
                UrlList->Add(std::move(row.second));
                if (TitleList->Count() == kChunk) {
                    const std::string chunk = chunks->Selected();
                    SaveList(chunkPath(chunk + ".ml"), TitleList->items);
                    SaveList(chunkPath(chunk + ".ml.list"), UrlList->items);
                    chunks->Add(std::to_string((chunks->Count() + 1) * kChunk));
                    chunks->Select(chunks->Count() - 1);
                    SaveList(chunkPath("fenlei.ml"), chunks->items);
                    TitleList->Clear();
                    UrlList->Clear();
                }
            }
        });
        if (rows.empty()) break;
    }

    OnMain([&] {
        Progress->StepBy(100 - Progress->position);
        const std::string chunk = chunks->Selected();
        SaveList(chunkPath(chunk + ".ml"), TitleList->items);
        SaveList(chunkPath(chunk + ".ml.list"), UrlList->items);
    });
}

// ---- 飞库 -------------------------------------------------------------------

void TDownloadBar::FeikuBookList() {
    OnMain([&] {
        Progress->SetMax(100);
        TitleList->Clear();
        UrlList->Clear();
    });
    for (int n = 1;; ++n) {
        const std::string url =
            Hosts().feiku + "/Book/ShowBookList.aspx?nclassid=" + TargetUrl + "&page=" + std::to_string(n);
        if (!FeikuPageStep(url, n)) break;
    }
}

bool TDownloadBar::FeikuPageStep(const std::string& url, int n) {
    std::string page;
    try {
        page = Fetch(url);
    } catch (const FetchError&) {
        return false;
    }
    int pos = FindMarker("<div id=\"CrListText\">", page, 100);
    if (pos < 0) return false;
    const int end = FindMarker("</div>", page, pos);
    if (end < 0) return false;

    std::vector<std::pair<std::string, std::string>> books;  // entry, key
    pos = FindMarker("<ul>", page, pos);
    while (pos < end && pos > 0) {  // one book per "<ul>"
        const int start = pos;
        pos = FindMarker("li2", page, pos);
        bool advanced = pos > start;
        auto cut = [&](const char* from, const char* to) {
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
        books.emplace_back(G("状态:【") + state + G("】更新时间：【") + updated + G("】") + G("书名：『") +
                               title + G("』作者：【") + author + G("】最新：【") + latest + G("】"),
                           key);
        pos = FindMarker("<ul>", page, pos);
    }

    // The page count shown on the page; unreadable, it ends the walk here.
    bool more = false;
    int count = -1;
    int p = FindMarker(G("条 , 当前"), page, 100);
    p = FindMarker("</font>", page, p);
    try {
        count = ParseDecimal(CutBetween(page, "<b>", "</b>", p));
        // Past the shown count there is nothing more to fetch, even if the
        // site keeps answering.
        more = count > n;
    } catch (const std::runtime_error&) {
        count = -1;
    }

    OnMainAsync([this, books = std::move(books), count, n]() mutable {
        for (auto& book : books) {
            TitleList->Add(std::move(book.first));
            UrlList->Add(std::move(book.second));
        }
        if (count >= 0) {
            if (n == 1) Progress->SetMax(count);
            Progress->StepIt();
        }
    });
    return more;
}

}  // namespace talvenor

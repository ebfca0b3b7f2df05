// The book-list download of the worker (mode 9): the list pages of the chosen
// category are walked one after another and the books cut out of them.
//
// Each page is fetched and cut on the worker thread (book_list_pages.h); the
// books are gathered there and handed to the main thread in one run when the
// walk ends, so that an update costs time in proportion to the books it
// brings however long the stored list is.  What a page changes on the way
// (the progress bar, 小说阅读网's introductions) goes over without waiting.
#include <utility>
#include <vector>

#include "catalogue/added_sites.h"
#include "catalogue/book_list_pages.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/program_state.h"
#include "catalogue/sites.h"
#include "catalogue/staged_files.h"
#include "catalogue/store.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

namespace {

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

// Lines of a stored list file; 0 when there is none.
size_t StoredCount(const std::string& path) {
    return FileExists(path) ? LoadList(path).size() : 0;
}

// A rebuilt list replaces the stored one unless its walk ended on a page
// that could not be had or read and it holds fewer books (or none): a site
// that is down must not wipe a catalogue of thousands.
bool KeepStored(bool complete, size_t rebuilt, size_t stored) {
    return !complete && (rebuilt == 0 || rebuilt < stored);
}

BookListEnd EndOf(bool complete) {
    return complete ? BookListEnd::Complete : BookListEnd::Unfinished;
}

// Shows a stored book list (file and its ".list" partner); none stored, or
// a damaged pair, shows an empty list.
void ShowStored(ListModel* titles, ListModel* keys, const std::string& file) {
    std::pair<StringList, StringList> lists;
    try {
        if (FileExists(file) && FileExists(file + ".list")) lists = LoadListPair(file, file + ".list");
    } catch (const std::exception&) {
        lists = {};
    }
    titles->Assign(std::move(lists.first));
    keys->Assign(std::move(lists.second));
}

}  // namespace

void TDownloadBar::UpdateBookList() {
    const Site site = SiteOfLabel(currentSite_);
    OnMain([&] {
        program_.form1->LastBookListEnd = BookListEnd::None;
        // The site folder normally exists since its categories were loaded;
        // a long download must not be lost because it went missing meanwhile.
        if (site == Site::Duowan || site == Site::Readnovel || site == Site::Xs8 || site == Site::Feiku ||
            AddedSiteOfLabel(currentSite_))
            MakeDirs(SiteFolder(BaseDir, currentSite_));
    });
    BookListEnd end = BookListEnd::Complete;
    switch (site) {
        case Site::Duowan:
            end = DuowanBookList();
            break;
        case Site::Readnovel:
            end = ReadnovelBookList();
            break;
        case Site::Xs8:
            end = Xs8BookList();
            break;
        case Site::Feiku:
            end = FeikuBookList();
            break;
        default:
            if (AddedSiteOfLabel(currentSite_)) {
                end = AddedSiteBookList();
                break;
            }
            // Nothing to fetch: the lists are saved as they are.
            OnMain([&] { SaveListPair(BookFile(), TitleList->items, UrlList->items); });
            break;
    }
    OnMain([&] {
        program_.form1->LastBookListEnd = end;
        program_.TrayWindow = kTrayCatalogue;
        program_.form1->OnBookListDone();
    });
}

std::string TDownloadBar::BookFile() const {
    return BookListFile(BaseDir, currentSite_, TargetName);
}

void TDownloadBar::SaveIncremental(std::vector<std::string> titles, std::vector<std::string> keys) {
    const std::string file = BookFile();
    OnMain([&] {
        Progress->StepBy(100 - Progress->position);
        if (KeysDiffer(keys, UrlList->items)) {
            TitleList->InsertMany(0, std::move(titles));
            UrlList->InsertMany(0, std::move(keys));
        } else {
            // A book met again (or twice) keeps its newest place only.
            titles.insert(titles.end(), TitleList->items.begin(), TitleList->items.end());
            keys.insert(keys.end(), UrlList->items.begin(), UrlList->items.end());
            KeepFirstOfEachKey(titles, keys);
            TitleList->Assign(std::move(titles));
            UrlList->Assign(std::move(keys));
        }
        SaveListPair(file, TitleList->items, UrlList->items);
    });
}

BookListEnd TDownloadBar::SaveRebuilt(std::vector<std::string> titles, std::vector<std::string> keys,
                                      bool complete) {
    const std::string file = BookFile();
    BookListEnd end = EndOf(complete);
    OnMain([&] {
        if (KeepStored(complete, titles.size(), StoredCount(file))) {
            end = BookListEnd::KeptStored;
            ShowStored(TitleList, UrlList, file);
            return;
        }
        TitleList->Assign(std::move(titles));
        UrlList->Assign(std::move(keys));
        SaveListPair(file, TitleList->items, UrlList->items);
    });
    return end;
}

BookListEnd TDownloadBar::Capped() {
    // The lists still show the stored books: the walk kept what it found
    // to itself.
    OnMain([&] { Progress->StepBy(100 - Progress->position); });
    return BookListEnd::Capped;
}

// ---- 多玩 -------------------------------------------------------------------

BookListEnd TDownloadBar::DuowanBookList() {
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
    const size_t keyHead = Hosts().duowan.size() + 1;
    std::vector<std::string> titles, keys;  // the new books, in the site's order
    RepeatedPageStop repeated;
    WalkCap cap(limits_);
    bool complete = false;
    for (int n = 1;; ++n) {
        OnMainAsync([this] { Progress->StepIt(); });
        std::string page;
        try {
            page = Fetch(prefix + std::to_string(n) + ".html");
        } catch (const FetchError&) {
            break;
        }
        // A pager that cannot be read escapes: nothing is saved.
        DuowanListPage cut = CutDuowanListPage(DecodeUtf8Page(page), known, n + 1, keyHead);
        if (repeated.Repeats(cut.books)) break;
        if (cap.Reached(cut.books.size(), cut.step == PageStep::Next)) return Capped();
        // The new books of all pages go on top as one run in page order, so
        // that the stored first book is the site's first and the next update
        // stops at it.
        for (auto& book : cut.books) {
            titles.push_back(std::move(book.title));
            keys.push_back(std::move(book.key));
        }
        if (cut.step != PageStep::Next) {
            complete = cut.step == PageStep::End;
            break;
        }
    }
    SaveIncremental(std::move(titles), std::move(keys));
    return EndOf(complete);
}

// ---- 小说阅读网 -------------------------------------------------------------

BookListEnd TDownloadBar::ReadnovelBookList() {
    const std::string known =
        Read<std::string>([&] { return TitleList->Empty() ? std::string() : TitleList->items.front(); });
    OnMain([&] { Progress->SetMax(100); });
    // The category's id: between "all/" and ".html" of its address (searched
    // behind the host, which is configurable).
    std::string id;
    const size_t all = TargetUrl.find("all/", PathStart(TargetUrl));
    if (all != std::string::npos) {
        const size_t html = TargetUrl.find(".html", all + 4);
        if (html != std::string::npos) id = TargetUrl.substr(all + 4, html - all - 4);
    }
    // The insertion point carries over from page to page: the new books
    // keep their page order.
    std::vector<std::string> titles, keys;
    RepeatedPageStop repeated;
    WalkCap cap(limits_);
    bool complete = false;
    int total = 0;
    std::string url = TargetUrl;
    for (int n = 1;; ++n) {
        OnMainAsync([this] { Progress->StepIt(); });
        std::string page;
        try {
            page = Fetch(url);
        } catch (const FetchError&) {
            break;
        }
        ReadnovelListPage cut = CutReadnovelListPage(page, known, n, total);
        if (repeated.Repeats(cut.books)) break;
        if (cap.Reached(cut.books.size(), cut.step == PageStep::Next)) return Capped();
        total = cut.total;
        std::vector<std::pair<std::string, std::string>> intros;  // key, introduction
        for (auto& book : cut.books) {
            if (!book.intro.empty()) intros.emplace_back(book.key, std::move(book.intro));
            titles.push_back(std::move(book.title));
            keys.push_back(std::move(book.key));
        }
        if (!intros.empty())
            OnMainAsync([this, intros = std::move(intros)] {
                for (const auto& [key, intro] : intros) StoreReadnovelIntro(key, intro);
            });
        if (cut.step != PageStep::Next) {
            complete = cut.step == PageStep::End;
            break;
        }
        url = Hosts().readnovel + "/ch/all/" + id + "/" + std::to_string(n + 1) + ".html";
    }
    SaveIncremental(std::move(titles), std::move(keys));
    return EndOf(complete);
}

// Runs on the main thread, in the batch of its page.
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

BookListEnd TDownloadBar::Xs8BookList() {
    static constexpr size_t kChunk = 5000;
    const std::string folder = SiteFolder(BaseDir, currentSite_);
    ListModel* chunks = &program_.form1->ListBox1;
    int shownChunk = 0;
    OnMain([&] {
        Progress->SetMax(100);
        shownChunk = chunks->itemIndex;
    });

    // The new chunks are written beside the stored ones and take their
    // place only at the end; until then the window lists keep showing the
    // stored catalogue.  The staging folder goes again unless switched to.
    StagedFiles staging(folder);
    std::vector<std::string> names;         // the chunks written so far
    std::vector<std::string> titles, keys;  // the chunk being filled
    auto chunkName = [&] { return std::to_string((names.size() + 1) * kChunk); };
    auto writeChunk = [&] {
        ThrowIfStopped();
        const std::string name = chunkName();
        SaveList(staging.PathOf(SafeFileName(name + ".ml")), titles);
        SaveList(staging.PathOf(SafeFileName(name + ".ml.list")), keys);
        return name;
    };

    RepeatedPageStop repeated;
    WalkCap cap(limits_);
    bool complete = false;
    for (int n = 1;; ++n) {
        std::string page;
        try {
            page = Fetch(Hosts().xs8 + "/list.php?page=" + std::to_string(n));
        } catch (const FetchError&) {
            break;
        }
        Xs8ListPage cut = CutXs8ListPage(page, n);
        if (repeated.Repeats(cut.books)) break;
        // The staged chunks go again: the stored set stays.
        if (cap.Reached(cut.books.size(), cut.step == PageStep::Next)) return Capped();
        OnMainAsync([this] { Progress->StepIt(); });
        for (auto& book : cut.books) {
            titles.push_back(std::move(book.title));
            keys.push_back(std::move(book.key));
            if (titles.size() == kChunk) {
                names.push_back(writeChunk());
                titles.clear();
                keys.clear();
            }
        }
        if (cut.step != PageStep::Next) {
            complete = cut.step == PageStep::End;
            break;
        }
    }
    const size_t gathered = names.size() * kChunk + titles.size();
    names.push_back(writeChunk());

    BookListEnd end = EndOf(complete);
    OnMain([&] {
        Progress->StepBy(100 - Progress->position);
        const std::string categories = SiteFilePath(BaseDir, currentSite_, "fenlei.ml");
        const StringList storedChunks = FileExists(categories) ? LoadList(categories) : StringList();
        size_t stored = 0;
        for (const std::string& chunk : storedChunks)
            stored += StoredCount(SiteFilePath(BaseDir, currentSite_, chunk + ".ml"));
        if (KeepStored(complete, gathered, stored)) {
            end = BookListEnd::KeptStored;
            chunks->Assign(storedChunks);
            chunks->Select(shownChunk >= 0 && shownChunk < chunks->Count() ? shownChunk : 0);
            if (chunks->itemIndex >= 0)
                ShowStored(TitleList, UrlList,
                           SiteFilePath(BaseDir, currentSite_, chunks->Selected() + ".ml"));
            else
                ShowStored(TitleList, UrlList, std::string());  // nothing stored: empty lists
            return;
        }
        SaveList(staging.PathOf("fenlei.ml"), names);
        staging.Commit(StagedFiles::Chunks::Prune);
        chunks->Assign(names);
        chunks->Select(chunks->Count() - 1);
        TitleList->Assign(std::move(titles));
        UrlList->Assign(std::move(keys));
    });
    return end;
}

// ---- 飞库 -------------------------------------------------------------------

BookListEnd TDownloadBar::AddedSiteBookList() {
    const RuleSite site = AddedSiteOfLabel(currentSite_);
    OnMain([&] { Progress->SetMax(100); });
    // Each page moves the bar on; a long list comes back round to the start.
    AddedBookList list = FetchAddedBookList(
        *site, TargetUrl,
        [&](const std::string& url) {
            std::string page = Fetch(url);
            OnMainAsync([this] {
                if (Progress->position >= Progress->max) Progress->position = 0;
                Progress->StepIt();
            });
            return page;
        },
        limits_.pages);
    if (list.capped || list.titles.size() > limits_.books) return Capped();
    return SaveRebuilt(std::move(list.titles), std::move(list.keys), list.complete);
}

BookListEnd TDownloadBar::FeikuBookList() {
    OnMain([&] { Progress->SetMax(100); });
    std::vector<std::string> titles, keys;
    RepeatedPageStop repeated;
    WalkCap cap(limits_);
    bool complete = false;
    for (int n = 1;; ++n) {
        std::string page;
        try {
            page = Fetch(Hosts().feiku + "/Book/ShowBookList.aspx?nclassid=" + TargetUrl +
                         "&page=" + std::to_string(n));
        } catch (const FetchError&) {
            break;
        }
        FeikuListPage cut = CutFeikuListPage(page, n);
        if (repeated.Repeats(cut.books)) break;
        if (cap.Reached(cut.books.size(), cut.step == PageStep::Next)) return Capped();
        for (auto& book : cut.books) {
            titles.push_back(std::move(book.title));
            keys.push_back(std::move(book.key));
        }
        if (cut.count >= 0)
            OnMainAsync([this, count = cut.count, n] {
                if (n == 1) Progress->SetMax(count);
                Progress->StepIt();
            });
        if (cut.step != PageStep::Next) {
            complete = cut.step == PageStep::End;
            break;
        }
    }
    return SaveRebuilt(std::move(titles), std::move(keys), complete);
}

}  // namespace talvenor

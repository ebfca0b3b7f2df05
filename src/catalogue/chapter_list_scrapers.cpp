// The chapter-list downloads of the worker (modes 1-5): the book's chapter
// list page is fetched and the chapter titles and URLs cut out of it.
//
// A list can hold thousands of chapters, so it is built on the worker thread
// and handed to the reader's lists in one batch, together with the progress
// steps it made (replayed in order, so the bar ends where it would have).
#include <algorithm>
#include <utility>
#include <vector>

#include "catalogue/download_worker.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "net/downloads.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"

namespace talvenor {

namespace {

// What a chapter-list walk produced, waiting to be handed to the main thread.
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
    void Reserve(size_t pageBytes) {
        size_t n = std::min<size_t>(pageBytes / 48 + 1, 100000);
        titles.reserve(n);
        urls.reserve(n);
        steps.reserve(n + 2);
    }
    void SetMax(int m) {
        setMax = true;
        max = m;
    }
};

}  // namespace

// Hands a walk's result over: appended to the lists as they stand.
static void Apply(ChapterBatch& batch, ListModel* titles, ListModel* urls, ProgressModel* progress) {
    if (batch.setMax) progress->SetMax(batch.max);
    titles->items.reserve(titles->items.size() + batch.titles.size());
    urls->items.reserve(urls->items.size() + batch.urls.size());
    for (auto& t : batch.titles) titles->Add(std::move(t));
    for (auto& u : batch.urls) urls->Add(std::move(u));
    for (int d : batch.steps) progress->StepBy(d);
    if (batch.selectFirst) titles->Select(0);
}

// ---- 多玩 (mode 1) ---------------------------------------------------------

void TDownloadBar::DuowanChapterList() {
    OnMain([&] {
        TitleList->Clear();
        UrlList->Clear();
    });
    std::string page;
    try {
        page = Fetch(Hosts().duowan + "/" + TargetUrl + "index.html");
    } catch (const FetchError&) {
        page.clear();  // an unreachable list is an empty one
    }
    page = DecodeUtf8Page(page);

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
    OnMain([&] { Apply(batch, TitleList, UrlList, Progress); });
    FinishChapterList();
}

// ---- 小说阅读网 (mode 2) ---------------------------------------------------

void TDownloadBar::ReadnovelChapterList() {
    const std::string listUrl = Hosts().readnovel + "/partlist/" + TargetUrl + "/";
    // Entry 0 is the book itself.
    OnMain([&] {
        TitleList->Clear();
        UrlList->Clear();
        TitleList->Add(TargetName);
        UrlList->Add(listUrl);
    });
    const std::string page = Fetch(listUrl);

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
            std::string url = CutBetween(page, "<li><a href=\"", "\"", pos);
            batch.Step(pos - prev);
            prev = pos;
            if (pos < s || pos <= start) break;  // no further link
            batch.urls.push_back(std::move(url));
            std::string title = CutBetween(page, ">", "<", pos);
            const bool last = title.empty();
            batch.titles.push_back(std::move(title));
            if (last) break;
        }
    }
    batch.selectFirst = true;
    OnMain([&] { Apply(batch, TitleList, UrlList, Progress); });
    FinishChapterList();
}

// ---- 言情小说吧 (mode 3) ---------------------------------------------------

void TDownloadBar::Xs8ChapterList() {
    const std::string listUrl = Hosts().xs8 + "/love/" + TargetUrl + "/index.html";
    OnMain([&] {
        TitleList->Clear();
        UrlList->Clear();
        TitleList->Add(TargetName);
        UrlList->Add(listUrl);
    });
    // This site's pages go through a file; the file is this worker's own, so
    // the reader writing its page meanwhile cannot swap it under us.
    const std::string file = OwnTempFile();
    RemoveFile(file);
    try {
        MakeDirs(BaseDir + "tmp/");
    } catch (const FileError&) {
        // the download below fails and leaves only the book itself
    }
    DownloadToFile(listUrl, file, &stop_);
    if (Stopped()) {
        RemoveFile(file);
        throw WorkerStopped();
    }
    if (!FileExists(file)) {
        FinishChapterList();
        return;
    }
    std::string page;
    try {
        // As a text box holds it: lines joined by CR LF.
        for (const std::string& line : ParseLines(ReadFileBytes(file))) page += line + "\r\n";
    } catch (const FileError&) {
        page.clear();
    }
    RemoveFile(file);

    ChapterBatch batch;
    batch.Reserve(page.size());
    const std::string base = Hosts().xs8;
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
    OnMain([&] { Apply(batch, TitleList, UrlList, Progress); });
    FinishChapterList();
}

// ---- 飞库 (mode 4) ---------------------------------------------------------

void TDownloadBar::FeikuChapterList() {
    OnMain([&] {
        TitleList->Clear();
        UrlList->Clear();
    });
    const std::string page = Fetch(Hosts().feiku + "/" + TargetUrl + "/List.shtm");

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
    const std::string prefix = Hosts().feiku + "/" + TargetUrl + "/";
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
    OnMain([&] { Apply(batch, TitleList, UrlList, Progress); });
    FinishChapterList();
}

// ---- 小说520 (mode 5) ------------------------------------------------------

void TDownloadBar::S520ChapterList() {
    OnMain([&] {
        TitleList->Clear();
        UrlList->Clear();
    });
    const std::string prefix = Hosts().s520Chapters + "/" + TargetUrl + "/";
    const std::string page = Fetch(prefix + "List.shtml");

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
    OnMain([&] { Apply(batch, TitleList, UrlList, Progress); });
    FinishChapterList();
}

}  // namespace talvenor

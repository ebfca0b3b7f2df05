// The chapter-list downloads of the worker (modes 1-5): the book's chapter
// list page is fetched and the chapter titles and URLs cut out of it.
//
// A list can hold thousands of chapters, so it is built on the worker thread
// and handed to the reader's lists in one batch, together with the progress
// steps it made (replayed in order, so the bar ends where it would have).
// The list is cut while its page arrives, on a thread of its own: the
// download never waits for the walk, and a walk that falls behind takes
// everything that has arrived at once (once the list's end is among it, the
// rest is cut as fast as from a whole page).  The batch is handed over once
// the page is complete.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "catalogue/added_sites.h"
#include "catalogue/chapter_list_pages.h"
#include "catalogue/download_worker.h"
#include "net/downloads.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "text/files.h"

namespace talvenor {

namespace {

// Feeds a walk on its own thread with the pieces added.
class WalkBehind {
  public:
    explicit WalkBehind(ChapterListWalk& walk) : walk_(walk), thread_([this] { Run(); }) {}
    // Without Finish (the download failed or was stopped) the bytes not
    // walked yet are dropped.
    ~WalkBehind() { End(true); }
    void Add(const char* data, size_t n, size_t expected) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (expected_ == 0) expected_ = expected;
            arrived_.append(data, n);
        }
        wake_.notify_one();
    }
    // Returns once every byte added has been walked.
    void Finish() { End(false); }

  private:
    void End(bool drop) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
            dropped_ = dropped_ || drop;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
    }
    void Run() {
        std::string taking;
        bool first = true, failed = false;
        for (;;) {
            size_t expected = 0;
            bool last = false;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return !arrived_.empty() || ended_; });
                if (dropped_ || arrived_.empty()) return;
                taking.swap(arrived_);
                expected = expected_;
                last = ended_;
            }
            // A walk that failed takes no more: the bytes fed fall short of
            // the page, and its walk as a whole says what went wrong.
            if (!failed) {
                try {
                    if (first && expected > 0) walk_.Reserve(expected);
                    first = false;
                    // Once the download has ended, the walk knows where the page ends.
                    walk_.Feed(taking.data(), taking.size(), last);
                } catch (...) {
                    failed = true;
                }
            }
            taking.clear();
        }
    }

    ChapterListWalk& walk_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string arrived_;
    size_t expected_ = 0;
    bool ended_ = false, dropped_ = false;
    std::thread thread_;
};

}  // namespace

ChapterBatch TDownloadBar::FetchChapterList(const std::string& url, ChapterListWalk& walk) {
    std::string page;
    {
        WalkBehind behind(walk);
        page = Fetch(url, [&](const char* data, size_t n, size_t expected) { behind.Add(data, n, expected); });
        behind.Finish();
    }
    return walk.Finish(page);
}

void TDownloadBar::ClearLists() {
    OnMainAsync([this] {
        TitleList->Clear();
        UrlList->Clear();
    });
}

// The list goes to the reader's lists and the reader is told, in one
// call on the main thread: a list is never taken without its completion.
void TDownloadBar::FinishChapterList(const std::function<void()>& handOver) {
    OnMain([&] {
        handOver();
        if (chapterListReady_) chapterListReady_();
    });
}

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
    ClearLists();
    // A list that cannot be fetched is a failed download, not a book
    // without chapters: the reader is not opened on an empty list.
    ChapterBatch batch = FetchChapterList(Hosts().duowan + "/" + TargetUrl + "index.html", *DuowanChapterWalk());
    FinishChapterList([&] { Apply(batch, TitleList, UrlList, Progress); });
}

// ---- 小说阅读网 (mode 2) ---------------------------------------------------

void TDownloadBar::ReadnovelChapterList() {
    const std::string listUrl = Hosts().readnovel + "/partlist/" + TargetUrl + "/";
    // Entry 0 is the book itself.
    OnMainAsync([this, listUrl] {
        TitleList->Clear();
        UrlList->Clear();
        TitleList->Add(TargetName);
        UrlList->Add(listUrl);
    });
    ChapterBatch batch = FetchChapterList(listUrl, *ReadnovelChapterWalk());
    FinishChapterList([&] { Apply(batch, TitleList, UrlList, Progress); });
}

// ---- 言情小说吧 (mode 3) ---------------------------------------------------

void TDownloadBar::Xs8ChapterList() {
    const std::string listUrl = Hosts().xs8 + "/love/" + TargetUrl + "/index.html";
    OnMainAsync([this, listUrl] {
        TitleList->Clear();
        UrlList->Clear();
        TitleList->Add(TargetName);
        UrlList->Add(listUrl);
    });
    // This site's pages go through a file; the file is this worker's own, so
    // the reader writing its page meanwhile cannot swap it under us.
    const std::string file = OwnTempFile();
    RemoveFile(file);
    MakeDirs(BaseDir + "tmp/");
    const bool downloaded = DownloadToFile(listUrl, file, &stop_);
    if (Stopped()) {
        RemoveFile(file);
        throw WorkerStopped();
    }
    // As for the other sites: a failed download ends in the failure path.
    if (!downloaded || !FileExists(file)) throw FetchError("cannot download " + listUrl, std::string());
    std::string bytes;
    try {
        bytes = ReadFileBytes(file);
    } catch (const FileError&) {
        bytes.clear();
    }
    RemoveFile(file);
    ChapterBatch batch = Xs8ChapterPage(bytes, Hosts().xs8);
    FinishChapterList([&] { Apply(batch, TitleList, UrlList, Progress); });
}

// ---- 飞库 (mode 4) ---------------------------------------------------------

void TDownloadBar::FeikuChapterList() {
    ClearLists();
    const std::string prefix = Hosts().feiku + "/" + TargetUrl + "/";
    ChapterBatch batch = FetchChapterList(prefix + "List.shtm", *FeikuChapterWalk(prefix));
    FinishChapterList([&] { Apply(batch, TitleList, UrlList, Progress); });
}

// ---- 小说520 (mode 5) ------------------------------------------------------

void TDownloadBar::S520ChapterList() {
    ClearLists();
    const std::string prefix = Hosts().s520Chapters + "/" + TargetUrl + "/";
    ChapterBatch batch = FetchChapterList(prefix + "List.shtml", *S520ChapterWalk(prefix));
    FinishChapterList([&] { Apply(batch, TitleList, UrlList, Progress); });
}

// ---- a site added by a rule file (mode 6) ---------------------------------

void TDownloadBar::AddedSiteChapterList() {
    const RuleSite site = AddedSiteOfLabel(currentSite_);
    OnMainAsync([this] {
        TitleList->Clear();
        UrlList->Clear();
        Progress->SetMax(100);
    });
    if (!site) throw FetchError("no site for this book", std::string());
    AddedChapters list = FetchAddedChapters(*site, TargetUrl, [&](const std::string& url) {
        std::string page = Fetch(url);
        OnMainAsync([this] { Progress->StepBy(10); });
        return page;
    });
    // A list whose page could not be had is no book's list: the failure
    // path says so, as for the other sites.
    if (!list.complete) throw FetchError(list.why, std::string());
    FinishChapterList([&] {
        TitleList->items.reserve(list.titles.size());
        UrlList->items.reserve(list.urls.size());
        for (auto& t : list.titles) TitleList->Add(std::move(t));
        for (auto& u : list.urls) UrlList->Add(std::move(u));
        Progress->position = Progress->max;
        if (!TitleList->Empty()) TitleList->Select(0);
    });
}

}  // namespace talvenor

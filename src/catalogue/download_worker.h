// The download worker: fetches a category's book list (mode 9) or a book's
// chapter list (modes 1-5) on a thread of its own, while the progress window
// is shown.
//
// Every change it makes to window lists, the progress bar or the store is
// handed to the main thread and waited for.  Stop() - from cancel or from a
// completion operation - ends it for good at once: no list, no progress
// value and no file changes afterwards, even when a fetch was under way.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/book_list_pages.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/chapter_list_pages.h"
#include "catalogue/list_model.h"
#include "net/http_client.h"
#include "net/site_hosts.h"

namespace talvenor {

struct ProgramState;

// Thrown inside the worker once it has been stopped; ends it quietly.
struct WorkerStopped {};

class TDownloadBar : public std::enable_shared_from_this<TDownloadBar> {
  public:
    // The constructor's fields in their order; the thread starts at once.
    // chapterListReady: the completion a chapter-list download ends with,
    // run on the main thread (the reader's ChapterListReady).
    static std::shared_ptr<TDownloadBar> Start(ProgramState& program, ClientPtr Client, ListModel* TitleList,
                                               ListModel* UrlList, int Mode, ProgressModel* Progress,
                                               std::string TargetUrl, std::string TargetName,
                                               std::string BaseDir, ListModel* Scratch,
                                               std::function<void()> chapterListReady = {});
    ~TDownloadBar();

    // Main thread: stop for good, at once.
    void Stop();
    bool Stopped() const { return stop_.load(); }
    // Waits for the thread to end (program end and tests).
    void Join();
    bool Finished() const { return finished_.load(); }

    const int Mode;
    const std::string TargetUrl;
    const std::string TargetName;
    const std::string BaseDir;

  private:
    TDownloadBar(ProgramState& program, ClientPtr client, ListModel* titleList, ListModel* urlList, int mode,
                 ProgressModel* progress, std::string targetUrl, std::string targetName, std::string baseDir,
                 ListModel* scratch, std::function<void()> chapterListReady);

    void Execute();

    // Runs ops on the main thread and waits for it.  Throws WorkerStopped
    // when the worker is stopped before or while waiting; rethrows what ops
    // threw.  ops run only while the worker has not been stopped.
    void OnMain(const std::function<void()>& ops);
    // Hands list and progress operations that cannot fail to the main thread
    // without waiting: the worker goes on with its next download while they
    // are applied.  They run in order with everything else handed over, and
    // not at all once the worker has been stopped.
    void OnMainAsync(std::function<void()> ops);
    // Reads a value on the main thread.
    template <typename T>
    T Read(const std::function<T()>& get) {
        T value{};
        OnMain([&] { value = get(); });
        return value;
    }
    // GET with the worker's client; abandoned at once when stopped.
    // onPiece, when given, sees the body's pieces as they arrive.
    std::string Fetch(const std::string& url, const HttpClient::PieceHandler& onPiece = {});
    // A chapter list cut while its page arrives.
    ChapterBatch FetchChapterList(const std::string& url, ChapterListWalk& walk);
    void ThrowIfStopped() const {
        if (stop_.load()) throw WorkerStopped();
    }
    // A file of this worker's own in the temporary folder, for downloads
    // that go through a file.
    std::string OwnTempFile() const;

    // Book lists (mode 9).  Each walk saves what it gathered and tells how
    // it ended.
    void UpdateBookList();
    BookListEnd DuowanBookList();
    BookListEnd ReadnovelBookList();
    BookListEnd Xs8BookList();
    BookListEnd FeikuBookList();
    // A site added by a rule file: its book list over the pages its
    // `next` steps name.
    BookListEnd AddedSiteBookList();
    // The end of the incremental walks: the new books go on top of the
    // stored ones in the site's order, each book once, and the list is
    // saved.
    void SaveIncremental(std::vector<std::string> titles, std::vector<std::string> keys);
    // The end of 飞库's walk: the rebuilt list replaces the stored one,
    // unless the walk failed and the stored list is longer.
    BookListEnd SaveRebuilt(std::vector<std::string> titles, std::vector<std::string> keys, bool complete);
    // The end of a walk past its WalkLimits: nothing is saved.
    BookListEnd Capped();
    // The chosen category's book file.
    std::string BookFile() const;
    // Main thread, in the batch of a 小说阅读网 page.
    void StoreReadnovelIntro(const std::string& key, const std::string& intro);

    // Chapter lists (modes 1-5).
    void DuowanChapterList();
    void ReadnovelChapterList();
    void Xs8ChapterList();
    void FeikuChapterList();
    void S520ChapterList();
    // Mode 6: a site added by a rule file, over every page of its list.
    void AddedSiteChapterList();
    // Empties the lists before a chapter list (posted: the download does not
    // wait for the main thread).
    void ClearLists();
    // Every chapter-list scraper ends here: on the main thread, handOver
    // fills the lists and the completion it was given runs (the reader's
    // ChapterListReady).
    void FinishChapterList(const std::function<void()>& handOver);
    // The message of a chapter list that failed: a fetch that failed is a
    // failed connection; any other failure says what it is.
    static std::string ChapterListFailure(const std::exception_ptr& failure);

    ProgramState& program_;
    ClientPtr Client;
    ListModel* TitleList;
    ListModel* UrlList;
    ProgressModel* Progress;
    ListModel* Scratch;
    std::function<void()> chapterListReady_;
    // Read once on the main thread when the worker is created: the site and
    // folders do not change while a download runs.
    std::string currentSite_;
    std::string seeDir_;
    // The host table too: the thread's Hosts() answers with it.
    SiteHosts hosts_;
    WalkLimits limits_;

    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    unsigned id_;
};

}  // namespace talvenor

#include "catalogue/download_worker.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/failures.h"
#include "catalogue/program_state.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "text/files.h"

namespace talvenor {

std::shared_ptr<TDownloadBar> TDownloadBar::Start(ProgramState& program, ClientPtr Client,
                                                  ListModel* TitleList, ListModel* UrlList, int Mode,
                                                  ProgressModel* Progress, std::string TargetUrl,
                                                  std::string TargetName, std::string BaseDir,
                                                  ListModel* Scratch,
                                                  std::function<void()> chapterListReady) {
    std::shared_ptr<TDownloadBar> worker(
        new TDownloadBar(program, std::move(Client), TitleList, UrlList, Mode, Progress, std::move(TargetUrl),
                         std::move(TargetName), std::move(BaseDir), Scratch, std::move(chapterListReady)));
    // The thread keeps its worker alive until it ends.
    worker->thread_ = std::thread([self = worker] {
        ThreadHosts hosts(self->hosts_);
        self->Execute();
        self->finished_ = true;
    });
    return worker;
}

TDownloadBar::TDownloadBar(ProgramState& program, ClientPtr client, ListModel* titleList, ListModel* urlList,
                           int mode, ProgressModel* progress, std::string targetUrl, std::string targetName,
                           std::string baseDir, ListModel* scratch, std::function<void()> chapterListReady)
    : Mode(mode),
      TargetUrl(std::move(targetUrl)),
      TargetName(std::move(targetName)),
      BaseDir(std::move(baseDir)),
      program_(program),
      Client(std::move(client)),
      TitleList(titleList),
      UrlList(urlList),
      Progress(progress),
      Scratch(scratch),
      chapterListReady_(std::move(chapterListReady)),
      currentSite_(program.form1->CurrentSite),
      seeDir_(program.paths.seeDir),
      hosts_(Hosts()),
      limits_(program.bookListLimits) {
    static std::atomic<unsigned> counter{0};
    id_ = ++counter;
}

TDownloadBar::~TDownloadBar() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void TDownloadBar::Stop() {
    stop_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    wake_.notify_all();
}

void TDownloadBar::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TDownloadBar::OnMain(const std::function<void()>& ops) {
    ThrowIfStopped();
    struct Call {
        bool started = false;
        bool done = false;
        std::exception_ptr failure;
    };
    auto call = std::make_shared<Call>();
    auto self = shared_from_this();
    program_.desktop.Post([self, call, &ops] {
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            // Stopped before its turn: ops is not run, and the worker may
            // already have left OnMain (ops went with it).
            call->started = !self->stop_.load();
        }
        if (call->started) {
            try {
                ops();
            } catch (...) {
                call->failure = std::current_exception();
            }
        }
        std::lock_guard<std::mutex> lock(self->mutex_);
        call->done = true;
        self->wake_.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex_);
    // Once ops has started, the worker waits for its end even when ops
    // itself stops the worker (a completion does): ops, and what it refers
    // to on the worker's stack, must outlive the call.
    wake_.wait(lock, [&] { return call->done || (stop_.load() && !call->started); });
    if (!call->done) throw WorkerStopped();  // the posted call will see the stop and do nothing
    lock.unlock();
    if (call->failure) std::rethrow_exception(call->failure);
    ThrowIfStopped();
}

void TDownloadBar::OnMainAsync(std::function<void()> ops) {
    ThrowIfStopped();
    auto self = shared_from_this();
    program_.desktop.Post([self, ops = std::move(ops)] {
        if (!self->stop_.load()) ops();
    });
}

std::string TDownloadBar::Fetch(const std::string& url, const HttpClient::PieceHandler& onPiece) {
    ThrowIfStopped();
    try {
        return Client->Get(url, &stop_, onPiece);
    } catch (const FetchError& e) {
        if (e.cancelled() || stop_.load()) throw WorkerStopped();
        throw;
    }
}

std::string TDownloadBar::OwnTempFile() const {
    return BaseDir + "tmp/worker-" + std::to_string(id_) + ".htm";
}

void TDownloadBar::Execute() {
    try {
        OnMainAsync([this] { Progress->position = 0; });
        switch (Mode) {
            case 1:
                DuowanChapterList();
                break;
            case 2:
                ReadnovelChapterList();
                break;
            case 3:
                Xs8ChapterList();
                break;
            case 4:
                FeikuChapterList();
                break;
            case 5:
                S520ChapterList();
                break;
            case kAddedSiteMode:
                AddedSiteChapterList();
                break;
            case 9:
                UpdateBookList();
                break;
            default:
                return;  // an unknown mode does nothing and runs no completion
        }
    } catch (const WorkerStopped&) {
        return;
    } catch (...) {
        // A failure that escaped a scraper: hand back to the catalogue window.
        // A chapter list leaves TrayWindow at 4, so the program goes to the
        // tray, after saying why no book opened.  A book list shows the
        // catalogue window as at its normal end: with TrayWindow still 0
        // after start, closing the progress window would otherwise leave no
        // window and no icon to come back with.
        const std::string why = ChapterListFailure(std::current_exception());
        try {
            OnMain([&] {
                if (Mode == 9) {
                    program_.TrayWindow = kTrayCatalogue;
                    program_.form1->LastBookListEnd = BookListEnd::Failed;
                } else {
                    program_.desktop.Message(why);
                }
                program_.form1->OnBookListDone();
            });
        } catch (...) {
        }
    }
}

std::string TDownloadBar::ChapterListFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const FetchError&) {
        return G("网络连接失败");
    } catch (...) {
        return FailureText(failure);
    }
}

}  // namespace talvenor

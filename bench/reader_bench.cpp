// The reader window against the demo sites, offscreen, with the real browser
// engine: from a click on a chapter to the new page painted (no page-turn
// effect), and from the end of a 10 000-chapter list download to the list
// painted in the reader.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "app/application_qt.h"
#include "app/program.h"
#include "app/program_windows_qt.h"
#include "app/progress_window.h"
#include "app/reader_window.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "demo_sites.h"
#include "net/site_hosts.h"
#include "platform/page_browser.h"
#include "platform/wait_qt.h"
#include "reader/reader_form.h"
#include "test_home.h"

using namespace talvenor;

namespace {

// The program on the demo sites, with one 多玩 book open in the reader.
struct Reading {
    TestHome home;
    demo::DemoSites sites;
    AppPaths paths = AppPaths::ForAppDir(home.dir());
    std::unique_ptr<ProgramWindows> windows;
    demo::Book book;

    explicit Reading(int chapters) : sites(Options(chapters)) {
        sites.Start();
        PrepareAppDirs(paths);
        SetHosts(sites.hosts());
        windows = std::make_unique<ProgramWindows>(paths, std::vector<std::string>{});
        windows->Show();
        book = sites.content().BookAt(demo::Site::Duowan, 0, 0);
    }
    ~Reading() {
        windows.reset();
        SetHosts(SiteHosts::Demo());
    }
    TForm2& f2() { return *windows->program().form2; }
    ReaderWindow& reader() { return windows->reader(); }
    void Open() {
        windows->program().form1->CurrentSite = G("多玩");
        windows->program().OpenBookInReader(book.key, "book");
    }
    bool PageDone() {
        PageBrowser* b = windows->readerMade() ? reader().WebBrowser1() : nullptr;
        return b && b->ReadyState() == 4 && !f2().PageTurnBusy && reader().isVisible();
    }
    static demo::DemoOptions Options(int chapters) {
        demo::DemoOptions o;
        o.port = 0;
        o.chaptersPerBook = chapters;
        return o;
    }
};

// Calls back at the first event of a type that an object receives.
class Watch : public QObject {
  public:
    Watch(QObject* target, QEvent::Type type, std::function<void()> seen)
        : target_(target), type_(type), seen_(std::move(seen)) {
        target_->installEventFilter(this);
    }
    ~Watch() override { target_->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_ && event->type() == type_ && seen_) {
            auto seen = std::move(seen_);
            seen_ = nullptr;
            seen();
        }
        return false;
    }

  private:
    QObject* target_;
    QEvent::Type type_;
    std::function<void()> seen_;
};

void BM_ChapterClickToPaint(benchmark::State& state) {
    Reading r(state.range(0));
    r.Open();
    if (!WaitFor([&] { return r.PageDone(); })) return state.SkipWithError("the book did not open");
    QListView* list = r.reader().ListBox1;
    int row = 0;
    for (auto _ : state) {
        row = (row + 1) % r.f2().ListBox1.Count();
        list->scrollTo(list->model()->index(row, 0));
        const QRect at = list->visualRect(list->model()->index(row, 0));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at.center());
        if (!r.reader().WebBrowser1()->WaitPainted()) return state.SkipWithError("the page was not painted");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        if (r.f2().ListBox1.itemIndex != row) return state.SkipWithError("wrong chapter");
    }
}

// The same click on chapters kept in the chapter cache, offline so that
// nothing can be downloaded.  The browser engine draws a frame every
// 16.7 ms and a page counts as painted two frames after its load, so the
// time depends on when in a frame the click comes.  Arg 1 (0/1): right after
// the last page's painted frame, as a script clicking on would; or at a
// moment drawn at random over a frame (fixed seed), as a person clicks.
// Counters: the medians of the load's start and end after the click.
void BM_CachedChapterClickToPaint(benchmark::State& state) {
    Reading r(state.range(0));
    const bool anyMoment = state.range(1) != 0;
    r.Open();
    if (!WaitFor([&] { return r.PageDone(); })) return state.SkipWithError("the book did not open");
    QListView* list = r.reader().ListBox1;
    PageBrowser* browser = r.reader().WebBrowser1();
    const int chapters = r.f2().ListBox1.Count();
    // The list is scrolled to the chapter before the click, as a reader
    // scrolls and then clicks (BM_ChapterClickToPaint does the same).
    auto scrollTo = [&](int row) {
        list->scrollTo(list->model()->index(row, 0));
        return list->visualRect(list->model()->index(row, 0)).center();
    };
    auto click = [&](QPoint at) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        return browser->WaitPainted();
    };
    // Every chapter read once fills the cache.
    for (int row = 1; row < chapters; ++row)
        if (!click(scrollTo(row))) return state.SkipWithError("the page was not painted");
    r.windows->program().chapterCache.offline = true;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> moment(0, 16666);
    std::vector<double> started, finished;
    QElapsedTimer clock;
    QMetaObject::Connection loads =
        QObject::connect(browser->page(), &QWebEnginePage::loadingChanged, [&](const QWebEngineLoadingInfo& info) {
            auto& stage = info.status() == QWebEngineLoadingInfo::LoadStartedStatus ? started : finished;
            stage.push_back(clock.nsecsElapsed() / 1e6);
        });
    int row = 0;
    for (auto _ : state) {
        row = (row + 1) % chapters;
        const QPoint at = scrollTo(row);
        // The scroll is painted before the clock starts.
        QCoreApplication::processEvents();
        if (anyMoment) {
            QElapsedTimer pause;
            pause.start();
            const qint64 until = moment(random) * 1000LL;
            while (pause.nsecsElapsed() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        clock.start();
        if (!click(at)) return state.SkipWithError("the page was not painted");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        if (r.f2().ListBox1.itemIndex != row) return state.SkipWithError("wrong chapter");
    }
    QObject::disconnect(loads);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? -1.0 : v[v.size() / 2];
    };
    state.counters["load_started_ms"] = median(started);
    state.counters["load_finished_ms"] = median(finished);
}

void BM_ChapterList10000Shown(benchmark::State& state) {
    Reading r(10000);
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 end = -1, shown = -1;
        r.Open();
        // The worker's end closes the progress window; the reader paints its
        // list after that.
        ReaderWindow& w = r.reader();
        Watch closed(&r.windows->progress(), QEvent::Hide, [&] { clock.start(), end = 0; });
        Watch painted(w.ListBox1->viewport(), QEvent::Paint, [&] {
            if (end == 0) shown = clock.nsecsElapsed();
        });
        if (!WaitFor([&] { return shown >= 0; })) return state.SkipWithError("the list was not shown");
        if (!WaitFor([&] { return r.PageDone(); })) return state.SkipWithError("the chapter was not shown");
        state.SetIterationTime(shown / 1e9);
        if (r.f2().ListBox1.Count() != 10000) return state.SkipWithError("wrong number of chapters");
    }
}

}  // namespace

BENCHMARK(BM_ChapterClickToPaint)
    ->Arg(200)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);
BENCHMARK(BM_CachedChapterClickToPaint)
    ->Args({200, 0})
    ->Args({200, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);
BENCHMARK(BM_ChapterList10000Shown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TalvenorApplication app(argc, argv);
    SetUpApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

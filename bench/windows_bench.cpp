// The catalogue window over stored categories of many books, offscreen:
// from the click on a category to the painted list, the filter over it, 定位
// of its last book, a page of scrolling, and the start of the program to its
// painted window.
//
//   talvenor_bench_windows --books 100000,1000000   (default: 100000)
//
// Every size gets a category of its own, and each benchmark runs once per
// size, so that the growth with the list is one run away.  Besides the time,
// each reports `held_ms`: the longest stretch in which the window's thread
// took no event (a 5 ms timer that could not run), i.e. how long a click or
// a key would have waited.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application_qt.h"
#include "app/book_panel_widget.h"
#include "app/catalogue_window.h"
#include "app/program.h"
#include "app/program_windows_qt.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "test_home.h"
#include "text/files.h"

using namespace talvenor;

namespace {

std::vector<int> g_sizes;

// The book of number i: a title of three words, its number and the
// brackets, as the sites' lists have them.
std::string TitleOf(int i) {
    static const char* const words[] = {"重生", "穿越", "都市", "仙侠", "江湖", "之", "传", "记", "录", "王"};
    return G("《") + G(words[i % 10]) + G(words[(i / 10) % 10]) + G(words[(i / 100) % 10]) +
           std::to_string(i) + G("》");
}

// A home with 多玩 chosen last: a small first category (row 0) and one
// category per size (row 1 + its place in g_sizes).
struct Home {
    TestHome dir;
    AppPaths paths = AppPaths::ForAppDir(dir.dir());
    Home() {
        PrepareAppDirs(paths);
        const std::string site = G("多玩");
        MakeDirs(SiteFolder(paths.appDir, site));
        auto file = [&](const std::string& name) { return SiteFilePath(paths.appDir, site, name); };
        StringList categories{G("小类")}, urls{"http://a/s_1.html"};
        for (int n : g_sizes) {
            categories.push_back(G("大类") + std::to_string(n));
            urls.push_back("http://a/b" + std::to_string(n) + "_1.html");
        }
        SaveListPair(file(G("fenlei.ml")), categories, urls);
        for (size_t c = 0; c < categories.size(); ++c) {
            const int n = c == 0 ? 200 : g_sizes[c - 1];
            StringList titles, keys;
            titles.reserve(static_cast<size_t>(n));
            keys.reserve(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                titles.push_back(TitleOf(i));
                keys.push_back("book/" + std::to_string(i) + "/");
            }
            SaveListPair(file(categories[c] + ".ml"), titles, keys);
        }
        SaveList(paths.setDir + "default.0", {site, G("小类.ml"), G("小类.ml.list"), "1"});
    }
};

Home& TheHome() {
    static Home* home = new Home;
    return *home;
}

int RowOf(int books) {
    return 1 + static_cast<int>(std::find(g_sizes.begin(), g_sizes.end(), books) - g_sizes.begin());
}

// Drawn for certain: grab() paints the widget into a picture.
void Paint(QWidget* widget) {
    benchmark::DoNotOptimize(widget->grab());
}

void ClickRow(QListView* view, int row) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
}

// Runs events until done() holds; work handed over from other threads wakes
// the loop, so nothing waits for a clock.
void WaitUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

// The longest time the window's thread went without running a 5 ms timer.
class HeldInput {
  public:
    HeldInput() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(5);
        clock_.start();
    }
    void Restart() {
        QCoreApplication::processEvents();
        last_ = clock_.nsecsElapsed();
    }
    // Ends a stretch: the time since the last tick counts too.
    void Stop() {
        Tick();
        total_ = std::max(total_, worst_);
        worst_ = 0;
    }
    double WorstMs() const { return total_ / 1e6; }

  private:
    void Tick() {
        const qint64 now = clock_.nsecsElapsed();
        worst_ = std::max(worst_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, worst_ = 0, total_ = 0;
};

// Answers the next input dialog with text and notes when it was confirmed.
struct PromptAnswer {
    QElapsedTimer confirmed;
    QTimer timer;
    explicit PromptAnswer(const QString& text) {
        QObject::connect(&timer, &QTimer::timeout, [this, text] {
            if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                d->setTextValue(text);
                confirmed.start();
                d->accept();
            }
        });
        timer.start(1);
    }
};

void BM_StartToPaintedWindow(benchmark::State& state) {
    Home& home = TheHome();
    for (auto _ : state) {
        auto windows = std::make_unique<ProgramWindows>(home.paths, std::vector<std::string>{});
        windows->Show();
        Paint(&windows->catalogue());
        state.PauseTiming();
        if (windows->catalogue().Panel5->ListBox2->model()->rowCount() != 200)
            state.SkipWithError("not shown");
        windows.reset();
        state.ResumeTiming();
    }
}

// From the click on the category to its painted list.
void BM_ShowCategory(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    QListView* categories = windows.catalogue().ListBox1;
    QListView* view = windows.catalogue().Panel5->ListBox2;
    const ListModel& shown = (*windows.program().form1).ListBox2;
    HeldInput held;
    for (auto _ : state) {
        state.PauseTiming();
        ClickRow(categories, 0);
        WaitUntil(
            [&] { return view->model()->rowCount() == 200 && !(*windows.program().form1).BooksLoading(); });
        Paint(view->viewport());
        held.Restart();
        state.ResumeTiming();
        ClickRow(categories, RowOf(books));
        WaitUntil(
            [&] { return view->model()->rowCount() == books && !(*windows.program().form1).BooksLoading(); });
        Paint(view->viewport());
        state.PauseTiming();
        held.Stop();
        state.ResumeTiming();
    }
    if (shown.Count() != books || shown.itemIndex != 0) state.SkipWithError("not shown");
    state.counters["held_ms"] = held.WorstMs();
    // TALVENOR_BENCH_SHOT=DIR: the window as shown, for a look at it.
    if (const char* dir = std::getenv("TALVENOR_BENCH_SHOT"))
        windows.catalogue().grab().save(QString::fromUtf8(dir) + QStringLiteral("/catalogue-%1.png").arg(books));
}

// From the confirmed prompt to the painted filtered list.
void BM_Filter(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    CatalogueWindow& cat = windows.catalogue();
    ClickRow(cat.ListBox1, RowOf(books));
    WaitUntil([&] { return !(*windows.program().form1).BooksLoading(); });
    PromptAnswer answer(QString::fromUtf8("重生 之"));
    HeldInput held;
    // The books with a 重生 (word 0) and a 之 (word 5) among their three words.
    int expected = 0;
    for (int i = 0; i < books; ++i) {
        const int w[] = {i % 10, (i / 10) % 10, (i / 100) % 10};
        if (std::count(w, w + 3, 0) > 0 && std::count(w, w + 3, 5) > 0) ++expected;
    }
    for (auto _ : state) {
        held.Restart();
        QTest::mouseClick(cat.PBtnLv, Qt::LeftButton);
        WaitUntil([&] { return !(*windows.program().form1).BooksLoading(); });
        Paint(cat.Panel5->ListBox3->viewport());
        state.SetIterationTime(answer.confirmed.nsecsElapsed() / 1e9);
        held.Stop();
        if ((*windows.program().form1).ListBox3.Count() != expected || !cat.Panel5->ListBox3->isVisible())
            state.SkipWithError("not filtered");
        QTest::mouseClick(cat.PBtnLv, Qt::LeftButton);  // off again
    }
    if (cat.Panel5->ListBox2->model()->rowCount() != books) state.SkipWithError("not shown");
    state.counters["held_ms"] = held.WorstMs();
}

// 定位 of the category's last book (the whole list searched), from the
// confirmed prompt to the painted list with the book chosen.
void BM_Locate(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    CatalogueWindow& cat = windows.catalogue();
    ClickRow(cat.ListBox1, RowOf(books));
    WaitUntil([&] { return !(*windows.program().form1).BooksLoading(); });
    PromptAnswer answer(QString::number(books - 1) + QString::fromUtf8("》"));
    HeldInput held;
    QListView* view = cat.Panel5->ListBox2;
    for (auto _ : state) {
        state.PauseTiming();
        (*windows.program().form1).ListBox2.Select(0);
        Paint(view->viewport());
        held.Restart();
        state.ResumeTiming();
        QTest::mouseClick(cat.PBtn4, Qt::LeftButton);
        WaitUntil([&] { return !(*windows.program().form1).BooksLoading(); });
        Paint(view->viewport());
        state.SetIterationTime(answer.confirmed.nsecsElapsed() / 1e9);
        held.Stop();
        if (view->currentIndex().row() != books - 1) state.SkipWithError("not found");
    }
    state.counters["held_ms"] = held.WorstMs();
}

// One page down through the list, painted.
void BM_ScrollPage(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    ClickRow(windows.catalogue().ListBox1, RowOf(books));
    WaitUntil([&] { return !(*windows.program().form1).BooksLoading(); });
    QListView* view = windows.catalogue().Panel5->ListBox2;
    QScrollBar* bar = view->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        Paint(view->viewport());
    }
}

// Takes "--books LIST" or "--books=LIST" (comma-separated counts) out of argv.
std::vector<int> TakeSizes(int& argc, char** argv) {
    std::string list = "100000";
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--books") == 0 && i + 1 < argc) {
            list = argv[++i];
        } else if (std::strncmp(a, "--books=", 8) == 0) {
            list = a + 8;
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    std::vector<int> sizes;
    for (size_t p = 0; p <= list.size();) {
        size_t comma = list.find(',', p);
        if (comma == std::string::npos) comma = list.size();
        const long n = std::strtol(list.substr(p, comma - p).c_str(), nullptr, 10);
        if (n > 0 && n <= 10000000) sizes.push_back(static_cast<int>(n));
        p = comma + 1;
    }
    if (sizes.empty()) sizes.push_back(100000);
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_sizes = TakeSizes(argc, argv);
    TalvenorApplication app(argc, argv);
    SetUpApplication(app);
    benchmark::RegisterBenchmark("BM_StartToPaintedWindow", BM_StartToPaintedWindow)
        ->Unit(benchmark::kMillisecond);
    for (int n : g_sizes) {
        benchmark::RegisterBenchmark("BM_ShowCategory", BM_ShowCategory)
            ->Arg(n)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_Filter", BM_Filter)
            ->Arg(n)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_Locate", BM_Locate)
            ->Arg(n)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_ScrollPage", BM_ScrollPage)->Arg(n)->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

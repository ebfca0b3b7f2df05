// The catalogue window with a stored category of 100 000 books, offscreen:
// from the click on the category to the painted list, the filter over it,
// a page of scrolling, and the start of the program to its painted window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>

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

constexpr int kBooks = 100000;

// A home with 多玩 chosen last: a small first category and one of 100 000 books.
struct Home {
    TestHome dir;
    AppPaths paths = AppPaths::ForAppDir(dir.dir());
    Home() {
        PrepareAppDirs(paths);
        const std::string site = G("多玩");
        MakeDirs(SiteFolder(paths.appDir, site));
        auto file = [&](const char* name) { return SiteFilePath(paths.appDir, site, G(name)); };
        SaveList(file("fenlei.ml"), {G("小类"), G("大类")});
        SaveList(file("fenlei.ml.list"), {"http://a/s_1.html", "http://a/b_1.html"});
        StringList titles, keys, few, fewKeys;
        const char* const words[] = {"重生", "穿越", "都市", "仙侠", "江湖", "之", "传", "记", "录", "王"};
        for (int i = 0; i < kBooks; ++i) {
            titles.push_back(G("《") + G(words[i % 10]) + G(words[(i / 10) % 10]) + G(words[(i / 100) % 10]) +
                             std::to_string(i) + G("》"));
            keys.push_back("book/" + std::to_string(i) + "/");
            if (i < 200) {
                few.push_back(titles.back());
                fewKeys.push_back(keys.back());
            }
        }
        SaveList(file("大类.ml"), titles);
        SaveList(file("大类.ml.list"), keys);
        SaveList(file("小类.ml"), few);
        SaveList(file("小类.ml.list"), fewKeys);
        SaveList(paths.setDir + "default.0", {site, G("小类.ml"), G("小类.ml.list"), "1"});
    }
};

Home& TheHome() {
    static Home* home = new Home;
    return *home;
}

// Drawn for certain: grab() paints the widget into a picture.
void Paint(QWidget* widget) {
    benchmark::DoNotOptimize(widget->grab());
}

void ClickRow(QListView* view, int row) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
}

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

void BM_ShowCategory100k(benchmark::State& state) {
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    QListView* categories = windows.catalogue().ListBox1;
    QListView* books = windows.catalogue().Panel5->ListBox2;
    for (auto _ : state) {
        state.PauseTiming();
        ClickRow(categories, 0);
        Paint(books->viewport());
        state.ResumeTiming();
        ClickRow(categories, 1);
        Paint(books->viewport());
    }
    if (books->model()->rowCount() != kBooks) state.SkipWithError("not shown");
}

// From the confirmed prompt to the painted filtered list.
void BM_Filter100k(benchmark::State& state) {
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    CatalogueWindow& cat = windows.catalogue();
    ClickRow(cat.ListBox1, 1);
    QElapsedTimer confirmed;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            d->setTextValue(QString::fromUtf8("重生 之"));
            confirmed.start();
            d->accept();
        }
    });
    answer.start(1);
    for (auto _ : state) {
        QTest::mouseClick(cat.PBtnLv, Qt::LeftButton);
        Paint(cat.Panel5->ListBox3->viewport());
        state.SetIterationTime(confirmed.nsecsElapsed() / 1e9);
        QTest::mouseClick(cat.PBtnLv, Qt::LeftButton);  // off again
    }
    if (cat.Panel5->ListBox2->model()->rowCount() != kBooks) state.SkipWithError("not shown");
}

// One page down through the 100 000 books, painted.
void BM_ScrollPage100k(benchmark::State& state) {
    ProgramWindows windows(TheHome().paths, {});
    windows.Show();
    ClickRow(windows.catalogue().ListBox1, 1);
    QListView* books = windows.catalogue().Panel5->ListBox2;
    QScrollBar* bar = books->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        Paint(books->viewport());
    }
}

}  // namespace

BENCHMARK(BM_StartToPaintedWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowCategory100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filter100k)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollPage100k)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TalvenorApplication app(argc, argv);
    SetUpApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// A screenshot of the reader window with a chapter of a demo book, rendered
// offscreen with the real browser engine.
//
//   talvenor-reader-screenshot --home DIR --out DIR     (writes DIR/reader.png)
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/application_qt.h"
#include "app/program.h"
#include "app/program_windows_qt.h"
#include "app/reader_window.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "demo_sites.h"
#include "net/site_hosts.h"
#include "platform/desktop_qt.h"
#include "platform/page_browser.h"
#include "reader/reader_form.h"

using namespace talvenor;

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 30000) {
    if (done()) return true;
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    tick.start(10);
    loop.exec();
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TalvenorApplication app(argc, argv);
    SetUpApplication(app);
    QString home, out;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--home")) home = args[i + 1];
        if (args[i] == QLatin1String("--out")) out = args[i + 1];
    }
    if (home.isEmpty() || out.isEmpty()) {
        std::fprintf(stderr, "usage: talvenor-reader-screenshot --home DIR --out DIR\n");
        return 2;
    }
    QDir().mkpath(out);
    demo::DemoOptions options;
    options.port = 0;
    demo::DemoSites sites(options);
    if (!sites.Start()) return 1;
    const AppPaths paths = AppPaths::ForAppDir(home.toStdString());
    PrepareAppDirs(paths);
    SetHosts(sites.hosts());

    ProgramWindows windows(paths, {});
    windows.Show();
    Program& program = windows.program();
    TForm2& f2 = *program.form2;
    // Reading colours a reader might choose: warm paper, dark text, spacing.
    f2.prefs.BackgroundAttr = " bgcolor=#F6F0E1";
    f2.prefs.TextColorAttr = "><font color=#2B2B2B";
    f2.prefs.FontFaceAttr = " face=WenQuanYi Micro Hei";
    f2.prefs.PagePrefix = "<center><table><td width=700>";
    const demo::Book book = sites.content().BookAt(demo::Site::Duowan, 1, 2);
    program.form1->CurrentSite = G("多玩");
    program.OpenBookInReader(book.key, book.title);
    ReaderWindow& reader = windows.reader();
    auto pageShown = [&] {
        PageBrowser* b = reader.WebBrowser1();
        return reader.isVisible() && b && b->ReadyState() == 4 && !f2.PageTurnBusy;
    };
    if (!WaitFor(pageShown)) return 1;
    reader.setWindowState(Qt::WindowNoState);
    reader.resize(1180, 760);
    f2.ListBox1.Select(3);
    RunHandler(windows.desktop(), [&] { f2.ListBox1Click(); });
    if (!WaitFor(pageShown) || !reader.WebBrowser1()->WaitPainted()) return 1;
    const QString file = out + "/reader.png";
    if (!reader.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}

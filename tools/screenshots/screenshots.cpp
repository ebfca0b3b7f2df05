// Screenshots of the windows on the bundled demo sites, rendered offscreen:
// the catalogue window with a site chosen (in the default look and in each
// bundled skin), the search panel with results and a watch list, and the
// progress window during an update, and the reader window with a chapter
// (rendered by the real browser engine).
//
//   talvenor-screenshots --home DIR --out DIR
//
// The demo sites run inside this program on a free port.  Questions are
// answered Yes and messages closed, as a user in a hurry would.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "app/application_qt.h"
#include "app/catalogue_window.h"
#include "app/program.h"
#include "app/program_windows_qt.h"
#include "app/progress_window.h"
#include "app/reader_window.h"
#include "app/search_panel_widget.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "catalogue/skins.h"
#include "demo_sites.h"
#include "net/site_hosts.h"
#include "platform/desktop_qt.h"
#include "platform/page_browser.h"
#include "platform/wait_qt.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"

using namespace talvenor;

namespace {

void Save(QWidget& window, const QString& file) {
    QApplication::processEvents();
    if (!window.grab().save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    std::printf("%s\n", qPrintable(file));
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
        std::fprintf(stderr, "usage: talvenor-screenshots --home DIR --out DIR\n");
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
    SeedSkinFolder(paths, {ExecutableDir() + "../../src/app/skn/", ExecutableDir() + "skn/"});

    // Every question is answered Yes, every message closed.
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (box->button(QMessageBox::Yes))
                box->button(QMessageBox::Yes)->click();
            else
                box->accept();
        }
    });
    answerer.start(20);

    ProgramWindows windows(paths, {});
    windows.Show();
    CatalogueWindow& catalogue = windows.catalogue();
    TForm1& f1 = *windows.program().form1;
    catalogue.N2->trigger();
    f1.ListBox1.Select(2);
    RunHandler(windows.desktop(), [&] { f1.ListBox1Click(); });
    // The second list page comes slowly, so that the progress window is seen.
    demo::Fault slow;
    slow.host = "duowan.localhost";
    slow.match = "_2.html";
    slow.kind = demo::FaultKind::Delay;
    slow.value = 1500;
    const int slowId = sites.AddFault(slow);
    catalogue.pBtn3->click();
    ProgressWindow& progress = windows.progress();
    if (WaitFor([&] { return progress.isVisible() && progress.ProgressBar1->value() > 0; }, 5000))
        Save(progress, out + "/progress.png");
    WaitFor([&] { return !windows.program().form4->window.visible; });
    sites.RemoveFault(slowId);
    f1.ListBox2.Select(3);
    Save(catalogue, out + "/catalogue.png");

    catalogue.N14->trigger();
    const demo::Book book = sites.content().BookAt(demo::Site::S520, 0, 1);
    catalogue.PanelLeft2->Edit1->setText(QString::fromStdString(book.title.substr(0, 6)));
    catalogue.PanelLeft2->Button1->click();
    f1.ListBoxLeft.Select(0);
    catalogue.PanelLeft2->Button2->click();
    f1.ListBoxLeft.Select(1);
    Save(catalogue, out + "/search.png");

    // The same catalogue in each skin.
    catalogue.N2->trigger();
    f1.ListBox1.Select(2);
    RunHandler(windows.desktop(), [&] { f1.ListBox1Click(); });
    f1.ListBox2.Select(3);
    for (const char* skin : {"paper", "night", "sky"}) {
        RunHandler(windows.desktop(), [&] { f1.ActivateSkin(SkinFolder(paths) + skin + ".skn"); });
        Save(catalogue, out + "/catalogue-" + skin + ".png");
    }

    // The reader with a chapter of a 多玩 book, in the default look, with
    // reading colours a reader might choose: warm paper, dark text.
    windows.desktop().ApplySkin("");
    Program& program = windows.program();
    TForm2& f2 = *program.form2;
    f2.prefs.BackgroundAttr = " bgcolor=#F6F0E1";
    f2.prefs.TextColorAttr = "><font color=#2B2B2B";
    f2.prefs.FontFaceAttr = " face=WenQuanYi Micro Hei";
    f2.prefs.PagePrefix = "<center><table><td width=700>";
    const demo::Book reading = sites.content().BookAt(demo::Site::Duowan, 1, 2);
    f1.CurrentSite = G("多玩");
    program.OpenBookInReader(reading.key, reading.title);
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
    Save(reader, out + "/reader.png");
    return 0;
}

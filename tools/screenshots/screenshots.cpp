// Screenshots of the windows on the bundled demo sites, rendered offscreen:
// the question before an update (Qt's Chinese buttons), the progress window
// during the update, the catalogue window with a site chosen (in the default
// look and in each bundled skin), the search panel with results and a watch
// list, and the reader window with a chapter (rendered by the real browser
// engine).  Each picture waits for what it shows; the program ends with 1,
// naming the picture, when one could not be made.
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

bool Save(QWidget& window, const QString& file) {
    QApplication::processEvents();
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "talvenor-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

int Fail(const char* what) {
    std::fprintf(stderr, "talvenor-screenshots: %s\n", what);
    return 1;
}

// Generous: the browser engine's first start on a busy machine is slow.
constexpr int kWaitMs = 120000;

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

    // Every question is answered Yes, every message closed; the first
    // question is kept as a picture first.
    QTimer answerer;
    bool questionSaved = false;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (box->button(QMessageBox::Yes)) {
            if (!questionSaved) questionSaved = Save(*box, out + "/question.png");
            box->button(QMessageBox::Yes)->click();
        } else {
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
    // The second list page is held back until the progress window, with the
    // first page counted, has been taken.
    demo::Fault hold;
    hold.host = "duowan.localhost";
    hold.match = "_2.html";
    hold.kind = demo::FaultKind::Hold;
    const int holdId = sites.AddFault(hold);
    catalogue.pBtn3->click();
    if (!questionSaved) return Fail("no question before the update");
    ProgressWindow& progress = windows.progress();
    const bool progressShown = WaitFor(
        [&] { return sites.Held() > 0 && progress.isVisible() && progress.ProgressBar1->value() > 0; },
        kWaitMs);
    const bool progressSaved = progressShown && Save(progress, out + "/progress.png");
    sites.RemoveFault(holdId);
    sites.ReleaseHeld();
    if (!progressSaved) return Fail("the progress window did not show the update");
    if (!WaitFor([&] { return !windows.program().form4->window.visible; }, kWaitMs))
        return Fail("the update did not end");
    f1.ListBox2.Select(3);
    if (!Save(catalogue, out + "/catalogue.png")) return 1;

    catalogue.N14->trigger();
    const demo::Book book = sites.content().BookAt(demo::Site::S520, 0, 1);
    catalogue.PanelLeft2->Edit1->setText(QString::fromStdString(book.title.substr(0, 6)));
    catalogue.PanelLeft2->Button1->click();
    f1.ListBoxLeft.Select(0);
    catalogue.PanelLeft2->Button2->click();
    f1.ListBoxLeft.Select(1);
    if (!Save(catalogue, out + "/search.png")) return 1;

    // The same catalogue in each skin.
    catalogue.N2->trigger();
    f1.ListBox1.Select(2);
    RunHandler(windows.desktop(), [&] { f1.ListBox1Click(); });
    f1.ListBox2.Select(3);
    for (const char* skin : {"paper", "night", "sky"}) {
        RunHandler(windows.desktop(), [&] { f1.ActivateSkin(SkinFolder(paths) + skin + ".skn"); });
        if (!Save(catalogue, out + "/catalogue-" + skin + ".png")) return 1;
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
    if (!WaitFor(pageShown, kWaitMs)) return Fail("the reader did not show the book");
    reader.setWindowState(Qt::WindowNoState);
    reader.resize(1180, 760);
    f2.ListBox1.Select(3);
    RunHandler(windows.desktop(), [&] { f2.ListBox1Click(); });
    // Not only drawn by the page but arrived in the view: a picture of the
    // window taken sooner may still show the first chapter.
    if (!WaitFor(pageShown, kWaitMs) || reader.WebBrowser1()->GrabPainted(kWaitMs).isNull())
        return Fail("the reader's page was not painted");
    return Save(reader, out + "/reader.png") ? 0 : 1;
}

// talvenor: the program with its windows.
//
//   talvenor [--home DIR] [TITLE] | --version | --help
//
// TITLE, when given, is searched for at start.
#include <QEvent>
#include <QListView>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/application_qt.h"
#include "app/book_panel_widget.h"
#include "app/catalogue_window.h"
#include "app/program.h"
#include "app/program_windows_qt.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/skins.h"
#include "platform/desktop_qt.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

class PaintWatcher : public QObject {
  public:
    // ready: true once what is to be painted is there (the category's books
    // read, when they are read aside).
    PaintWatcher(QObject* parent, std::function<bool()> ready) : QObject(parent), ready_(std::move(ready)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_ && ready_()) {
            done_ = true;
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<bool()> ready_;
    bool done_ = false;
};

// --help and --version answer before the application starts, so that
// they work without a display.  Returns -1 when neither was asked.
int AnswerWithoutWindows(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--home") {
            ++i;
        } else if (a == "-h" || a == "--help") {
            std::cout << "usage: talvenor [--home DIR] [TITLE]\n\n"
                         "  --home DIR   the folder of the store (default: ~/.local/share/talvenor, or\n"
                         "               beside the program when a file \"portable\" is there)\n"
                         "  TITLE        a book title to search for at start\n"
                         "  --version    print the version\n";
            return 0;
        } else if (a == "--version") {
            std::cout << "talvenor " TALVENOR_VERSION "\n";
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (int rc = AnswerWithoutWindows(argc, argv); rc >= 0) return rc;
    TalvenorApplication app(argc, argv);
    SetUpApplication(app);
    std::string home;
    std::vector<std::string> args;
    const QStringList arguments = app.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--home") && i + 1 < arguments.size()) {
            home = arguments[++i].toStdString();
        } else if (a.startsWith(QLatin1String("--home="))) {
            home = a.mid(7).toStdString();
        } else {
            args.push_back(Utf8ToGbk(a.toStdString()));
        }
    }
    const AppPaths paths = AppPaths::ForAppDir(ResolveAppDir(home, ""));
    std::string problems;
    try {
        problems = PrepareAppDirs(paths);
        SeedSkinFolder(paths, BundledDataPaths("skn/"));
    } catch (const std::exception& e) {
        std::cerr << "talvenor: " << e.what() << "\n";
        QMessageBox::critical(nullptr, ApplicationTitle(), QString::fromUtf8(e.what()));
        return 1;
    }
    app.setApplicationName(QStringLiteral("talvenor"));
    // The application title is "Talvenor 全本小说" and 60 blanks; it is the
    // caption of the program's messages.
    ProgramWindows windows(paths, args);
    QObject::connect(&windows, &ProgramWindows::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    if (!problems.empty()) std::cerr << problems;
    // For the start-up benchmark: end as soon as the catalogue window has
    // been painted once.
    if (qEnvironmentVariableIsSet("TALVENOR_EXIT_AFTER_PAINT")) {
        TForm1& form = *windows.program().form1;
        auto* painted = new PaintWatcher(&app, [&form] { return !form.BooksLoading(); });
        windows.catalogue().installEventFilter(painted);
        windows.catalogue().Panel5->ListBox2->viewport()->installEventFilter(painted);
    }
    windows.Show(problems);
    return app.exec();
}

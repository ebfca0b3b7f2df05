// The program with its windows: the desktop, the models (created in their
// order by Program), the catalogue and progress windows over them, the tray
// icon and the hot key.  main() makes one; the window tests make one per test.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"

namespace talvenor {

class BookExport;
class CatalogueWindow;
class GlobalHotKey;
class Program;
class ProgressWindow;
class QtDesktop;
class ReaderWindow;

class ProgramWindows : public QObject {
    Q_OBJECT
  public:
    // args: the command line after the program name.  Runs the catalogue
    // window's FormCreate (and the search named on the command line) before
    // any window is shown.
    ProgramWindows(const AppPaths& paths, std::vector<std::string> args, QObject* parent = nullptr);
    ~ProgramWindows() override;

    // Shows the windows as the models say (the catalogue window at start),
    // then the problems found in the hosts file, if any (UTF-8, a line each).
    void Show(const std::string& hostProblems = std::string());
    // Redraws every window from its model.
    void Sync();

    QtDesktop& desktop() { return *desktop_; }
    Program& program() { return *program_; }
    CatalogueWindow& catalogue() { return *catalogue_; }
    ProgressWindow& progress() { return *progress_; }
    // The reader window, made when it is first needed.
    ReaderWindow& reader();
    bool readerMade() const { return reader_ != nullptr; }
    GlobalHotKey& hotKey() { return *hotKey_; }
    // The reader's F10 / F11 export.
    BookExport& bookExport() { return *export_; }

  signals:
    // The catalogue window closed: the state is saved and the program ends.
    void finished();

  private:
    void FormClose();

    std::unique_ptr<QtDesktop> desktop_;
    std::unique_ptr<GlobalHotKey> hotKey_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<CatalogueWindow> catalogue_;
    std::unique_ptr<ProgressWindow> progress_;
    std::unique_ptr<ReaderWindow> reader_;
    std::unique_ptr<BookExport> export_;
    // The watch list's checks while the program runs.
    QTimer watchTimer_;
};

}  // namespace talvenor

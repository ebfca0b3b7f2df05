// What the program shares between its windows below the reader: its folders,
// the shared HTTP client, the catalogue and progress windows' models, the
// current download worker and the tray state.  The program (src/app) adds
// the reader and wires it in through ReaderLink.  One instance lives for the
// whole run; the windows (or the CLI, or a test) drive it on the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"
#include "catalogue/book_list_pages.h"
#include "catalogue/chapter_cache.h"
#include "catalogue/desktop.h"
#include "catalogue/list_model.h"
#include "catalogue/reader_link.h"
#include "catalogue/settings.h"
#include "catalogue/window_model.h"
#include "net/http_client.h"

namespace talvenor {

class TDownloadBar;
class TForm1;
class TForm4;

struct ProgramState {
    // args: the command line after the program name.  The windows are
    // created by the program, in their order.
    ProgramState(Desktop& desktop, AppPaths paths, std::vector<std::string> args = {});
    virtual ~ProgramState();
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    Desktop& desktop;
    const AppPaths paths;
    const std::vector<std::string> args;

    SharedClient IdHTTP1;
    std::shared_ptr<TDownloadBar> CurrentWorker;
    std::atomic<int> TrayWindow{kTrayNone};
    bool trayIconShown = false;
    int trayIconOwner = kTrayNone;
    std::string LastKeyword;
    // How far a book-list walk may go before it ends as a failed one.
    WalkLimits bookListLimits;
    // set/talvenor.ini as read at start; the download limits in it apply to
    // every fetch of the process from then on.
    Settings settings;
    // [watch] check_interval_min: minutes between checks of the watch list
    // while the windows run; 0: none.
    int watchIntervalMin = 30;
    // The skin in use: a full path, empty for the default look.
    std::string SkinFileName;
    // Chapter pages kept for reading again and offline (AppDir "cache/").
    ChapterCache chapterCache;

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm4> form4;
    // The reader window, as far as the catalogue needs it.
    ReaderLink* reader = nullptr;

    // Starts a download worker and makes it CurrentWorker.  A chapter-list
    // worker ends by running chapterListReady on the main thread.
    std::shared_ptr<TDownloadBar> StartWorker(ClientPtr client, ListModel* titleList, ListModel* urlList,
                                              int mode, ProgressModel* progress, std::string targetUrl,
                                              std::string targetName, std::string baseDir, ListModel* scratch,
                                              std::function<void()> chapterListReady = {});
    // Stops CurrentWorker for good (cancel and the completion operations).
    void StopCurrentWorker();
    // Stops every worker and waits for their threads (program end, tests).
    void StopAllWorkers();

    WindowState& WindowOf(int code);
    // Hide the window named by TrayWindow and add the tray icon (owner: the
    // code of the window that owns the icon).
    void HideToTray(int owner);
    // Show the window named by TrayWindow and remove the icon.
    void RestoreFromTray(int owner);
    // F7, anywhere in the system: the first visible window of catalogue,
    // reader, progress goes to the tray; with none visible, the one in the
    // tray comes back.
    void HotKeyPressed();
    // A system command (minimise, close, move...) reached the window with
    // this tray code: it becomes TrayWindow, and minimising hides the window
    // to the tray instead.
    void SystemCommand(int code, bool minimize);
    // A left click on the tray icon, received by the window that owns it.
    void TrayIconClicked();

  private:
    std::mutex workersMutex_;
    std::vector<std::shared_ptr<TDownloadBar>> workers_;
};

}  // namespace talvenor

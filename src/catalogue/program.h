// The program: its folders, the shared HTTP client, the three windows'
// models, the current download worker and the tray state.  One instance
// lives for the whole run; the windows (or the CLI, or a test) drive it on
// the main thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"
#include "catalogue/desktop.h"
#include "catalogue/list_model.h"
#include "net/http_client.h"

namespace talvenor {

class TDownloadBar;
class TForm1;
class TForm2;
class TForm4;

struct MenuItem {
    std::string caption;
    int tag = 0;
    bool checked = false;
};

struct WindowState {
    bool visible = false;
    bool minimized = false;
};

// Window codes of the tray: which window the icon stands for.
enum TrayCode { kTrayNone = 0, kTrayCatalogue = 1, kTrayReader = 2, kTrayProgress = 4 };

struct Program {
    // Creates the catalogue window (its FormCreate runs), then the reader
    // window, then the progress window.  args: the command line after the
    // program name.
    Program(Desktop& desktop, AppPaths paths, std::vector<std::string> args = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Desktop& desktop;
    const AppPaths paths;
    const std::vector<std::string> args;

    SharedClient IdHTTP1;
    std::shared_ptr<TDownloadBar> CurrentWorker;
    std::atomic<int> TrayWindow{kTrayNone};
    bool trayIconShown = false;
    int trayIconOwner = kTrayNone;
    std::string LastKeyword;

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm4> form4;

    // Starts a download worker and makes it CurrentWorker.
    std::shared_ptr<TDownloadBar> StartWorker(ClientPtr client, ListModel* titleList, ListModel* urlList, int mode,
                                              ProgressModel* progress, std::string targetUrl, std::string targetName,
                                              std::string baseDir, ListModel* scratch);
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

private:
    std::mutex workersMutex_;
    std::vector<std::shared_ptr<TDownloadBar>> workers_;
};

}  // namespace talvenor

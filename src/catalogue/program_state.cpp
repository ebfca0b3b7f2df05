#include "catalogue/program_state.h"

#include <algorithm>

#include "catalogue/catalogue_form.h"
#include "catalogue/download_settings.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"

namespace talvenor {

ProgramState::ProgramState(Desktop& d, AppPaths p, std::vector<std::string> a)
    : desktop(d), paths(std::move(p)), args(std::move(a)), chapterCache(paths.appDir + "cache/") {
    settings = Settings::Load(paths.setDir + Settings::kFileName);
    SetPoliteSettings(ReadPoliteSettings(settings, Hosts()));
    watchIntervalMin = ReadWatchIntervalMin(settings);
    chapterCache.SetLimit(CacheLimitSetting(settings));
}

ProgramState::~ProgramState() {
    StopAllWorkers();
}

std::shared_ptr<TDownloadBar> ProgramState::StartWorker(ClientPtr client, ListModel* titleList,
                                                        ListModel* urlList, int mode, ProgressModel* progress,
                                                        std::string targetUrl, std::string targetName,
                                                        std::string baseDir, ListModel* scratch,
                                                        std::function<void()> chapterListReady) {
    auto worker = TDownloadBar::Start(*this, std::move(client), titleList, urlList, mode, progress,
                                      std::move(targetUrl), std::move(targetName), std::move(baseDir),
                                      scratch, std::move(chapterListReady));
    std::lock_guard<std::mutex> lock(workersMutex_);
    // Finished workers are released here; a running one stays until it ends.
    workers_.erase(std::remove_if(workers_.begin(), workers_.end(),
                                  [](const std::shared_ptr<TDownloadBar>& w) { return w->Finished(); }),
                   workers_.end());
    workers_.push_back(worker);
    CurrentWorker = worker;
    return worker;
}

void ProgramState::StopCurrentWorker() {
    if (CurrentWorker) CurrentWorker->Stop();
}

void ProgramState::StopAllWorkers() {
    std::vector<std::shared_ptr<TDownloadBar>> all;
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        all.swap(workers_);
    }
    for (auto& w : all) w->Stop();
    for (auto& w : all) w->Join();
}

WindowState& ProgramState::WindowOf(int code) {
    static WindowState none;
    switch (code) {
        case kTrayCatalogue:
            return form1->window;
        case kTrayReader:
            if (reader) return reader->ReaderWindow();
            break;
        case kTrayProgress:
            return form4->window;
        default:
            break;
    }
    none = WindowState();
    return none;
}

void ProgramState::HideToTray(int owner) {
    WindowOf(TrayWindow).visible = false;
    if (!desktop.AddTrayIcon()) {
        desktop.Message("Add   systray   Failed!");
        return;
    }
    trayIconShown = true;
    trayIconOwner = owner;
    desktop.Changed();
}

void ProgramState::RestoreFromTray(int owner) {
    WindowOf(TrayWindow).visible = true;
    // The icon goes only when asked for by the window that owns it.
    if (trayIconShown && trayIconOwner == owner) {
        desktop.RemoveTrayIcon();
        trayIconShown = false;
        trayIconOwner = kTrayNone;
    }
    desktop.Changed();
}

}  // namespace talvenor

#include "catalogue/program.h"

#include <algorithm>

#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "reader/reader_form.h"

namespace talvenor {

Program::Program(Desktop& d, AppPaths p, std::vector<std::string> a) : desktop(d), paths(std::move(p)), args(std::move(a)) {
    form1 = std::make_unique<TForm1>(*this);
    form1->FormCreate();
    form2 = std::make_unique<TForm2>(*this);
    form4 = std::make_unique<TForm4>(*this);
}

Program::~Program() {
    StopAllWorkers();
}

std::shared_ptr<TDownloadBar> Program::StartWorker(ClientPtr client, ListModel* titleList, ListModel* urlList,
                                                   int mode, ProgressModel* progress, std::string targetUrl,
                                                   std::string targetName, std::string baseDir, ListModel* scratch) {
    auto worker = TDownloadBar::Start(*this, std::move(client), titleList, urlList, mode, progress,
                                      std::move(targetUrl), std::move(targetName), std::move(baseDir), scratch);
    std::lock_guard<std::mutex> lock(workersMutex_);
    // Finished workers are released here; a running one stays until it ends.
    workers_.erase(std::remove_if(workers_.begin(), workers_.end(),
                                  [](const std::shared_ptr<TDownloadBar>& w) { return w->Finished(); }),
                   workers_.end());
    workers_.push_back(worker);
    CurrentWorker = worker;
    return worker;
}

void Program::StopCurrentWorker() {
    if (CurrentWorker) CurrentWorker->Stop();
}

void Program::StopAllWorkers() {
    std::vector<std::shared_ptr<TDownloadBar>> all;
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        all.swap(workers_);
    }
    for (auto& w : all) w->Stop();
    for (auto& w : all) w->Join();
}

WindowState& Program::WindowOf(int code) {
    static WindowState none;
    switch (code) {
        case kTrayCatalogue:
            return form1->window;
        case kTrayReader:
            return form2->window;
        case kTrayProgress:
            return form4->window;
        default:
            none = WindowState();
            return none;
    }
}

void Program::HideToTray(int owner) {
    WindowOf(TrayWindow).visible = false;
    if (!desktop.AddTrayIcon()) {
        desktop.Message("Add   systray   Failed!");
        return;
    }
    trayIconShown = true;
    trayIconOwner = owner;
    desktop.Changed();
}

void Program::RestoreFromTray(int owner) {
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

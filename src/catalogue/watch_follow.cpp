// The windows' side of following the watch list: checks on a thread of
// their own, the count of new chapters beside each entry, the tray message.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "catalogue/catalogue_form.h"
#include "catalogue/program_state.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "catalogue/watch_check.h"
#include "net/site_hosts.h"
#include "text/files.h"

namespace talvenor {

// One check of the whole watch list.  Its result is posted to the main
// thread; once stopped, nothing of it arrives there any more.
class WatchFollower {
  public:
    WatchFollower(ProgramState& program, std::vector<WatchEntry> entries)
        : alive_(std::make_shared<std::atomic<bool>>(true)) {
        const std::string setDir = program.paths.setDir;
        const SiteHosts hosts = Hosts();
        auto alive = alive_;
        Desktop* desktop = &program.desktop;
        TForm1* form = program.form1.get();
        thread_ = std::thread([this, entries = std::move(entries), setDir, hosts, alive, desktop, form] {
            std::vector<WatchResult> results;
            try {
                results = CheckWatchList(entries, -1, setDir, hosts, &stop_);
            } catch (const std::exception&) {
                // A state that could not be saved: the counts shown still hold.
            }
            finished_ = true;
            if (!alive->load()) return;
            desktop->Post([alive, form, results = std::move(results)] {
                if (alive->load()) form->WatchChecked(results);
            });
        });
    }
    ~WatchFollower() { Stop(); }
    void Stop() {
        alive_->store(false);
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Finished() const { return finished_.load(); }

  private:
    std::shared_ptr<std::atomic<bool>> alive_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

void TForm1::StartWatchCheck() {
    if (WatchCheckRunning()) return;
    std::vector<WatchEntry> entries;
    try {
        const std::string names = program_.paths.setDir + "lianzai.sname";
        const std::string keys = program_.paths.setDir + "lianzai.surl";
        if (FileExists(names) && FileExists(keys)) {
            const StringList n = LoadList(names), k = LoadList(keys);
            for (size_t i = 0; i < n.size() && i < k.size(); ++i) entries.push_back({n[i], k[i]});
        }
    } catch (const FileError&) {
        return;
    }
    if (entries.empty()) return;
    if (watchFollower_) watchFollower_->Stop();
    watchFollower_ = std::make_shared<WatchFollower>(program_, std::move(entries));
}

bool TForm1::WatchCheckRunning() const {
    return watchFollower_ && !watchFollower_->Finished();
}

void TForm1::StopWatchCheck() {
    if (watchFollower_) watchFollower_->Stop();
    watchFollower_.reset();
}

std::string TForm1::WatchBadge(int row) const {
    if (!PanelLeft2Visible || row < 0 || row >= BookURLList.Count()) return {};
    auto it = WatchUnseen.find(BookURLList.items[static_cast<size_t>(row)]);
    if (it == WatchUnseen.end() || it->second <= 0) return {};
    return G("  （新 ") + std::to_string(it->second) + G(" 章）");
}

void TForm1::WatchChecked(const std::vector<WatchResult>& results) {
    WatchNews.clear();
    for (const WatchResult& r : results) {
        WatchUnseen[r.key] = r.unseen;
        if (r.added.empty()) continue;
        // The book's own title, without the marks a search result carries.
        std::string title = TitleOfEntry(Label(SiteOfWatchKey(r.key, nullptr)), r.name);
        for (const char* mark : {"《", "》"}) {
            const std::string m = G(mark);
            for (size_t p; (p = title.find(m)) != std::string::npos;) title.erase(p, m.size());
        }
        WatchNews.push_back(G("《") + title + G("》更新了 ") + std::to_string(r.added.size()) + G(" 章"));
    }
    ++WatchChecksDone;
    if (PanelLeft2Visible) ListBox2.Redraw();
    if (!WatchNews.empty()) {
        std::string text;
        for (const std::string& line : WatchNews) text += (text.empty() ? "" : "\n") + line;
        program_.desktop.TrayMessage(G("连载更新"), text);
    }
    program_.desktop.Changed();
}

}  // namespace talvenor

// The introduction worker: fetches one book's introduction on a thread of
// its own, writes it to the book's introduction file and hands the text to
// the book list that asked, whose busy flag (its tag, -1 while the download
// runs) it sets back to 0 at the end, whatever happened.
//
// The worker never touches a window list itself: the hint, the busy flag and
// any message are posted to the main thread.  Stop() makes every later post
// a no-op, so the lists may go away once the worker has been stopped.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "catalogue/list_model.h"
#include "catalogue/sites.h"
#include "net/http_client.h"
#include "net/site_hosts.h"

namespace talvenor {

struct ProgramState;

// The site whose introduction a book key asks for.  A key carrying a search
// tag ("[520]", "[feiku]", "[xs8]", "[rdn]": a watch-list book) belongs to
// the tagged site whatever site is shown; any other key to currentSite.
// bareKey receives the key without its tag (and anything before it).
Site IntroductionSite(const std::string& key, const std::string& currentSite, std::string* bareKey = nullptr);

class TDownHint {
  public:
    // Main thread.  Reads the current site and the folders now, then starts
    // the thread at once.
    TDownHint(ProgramState& program, std::string FileName, ListModel* List, ClientPtr Client,
              std::string Key);
    ~TDownHint();
    TDownHint(const TDownHint&) = delete;
    TDownHint& operator=(const TDownHint&) = delete;

    // Abandons the download (a fetch under way ends at once) and drops
    // whatever the worker has not yet handed to the main thread.
    void Stop();
    void Join();
    bool Finished() const { return finished_.load(); }

    const std::string FileName;
    const std::string Key;

  private:
    void Execute();
    // The five sites' scrapers; each fills Text (or leaves it empty).
    void S520Intro(const std::string& key);
    void DuowanIntro(const std::string& key);
    void ReadnovelIntro(const std::string& key);
    void Xs8Intro(const std::string& key);
    void FeikuIntro(const std::string& key);
    // A site added by a rule file: the site of the key's tag, else the one shown.
    void AddedIntro(const std::string& key);
    // The page; nothing (fetchFailed_ set) when it could not be fetched.
    std::optional<std::string> Fetch(const std::string& url);
    // The introduction cut from a page; none when it is not the book's page.
    void Take(std::optional<std::string> text);
    // Runs fn on the main thread unless the worker has been stopped by then.
    void PostToMain(std::function<void()> fn);

    ProgramState& program_;
    ListModel* List;
    ClientPtr Client;
    std::string Text;
    // The page could not be fetched, or lacks the introduction's marker.
    bool failed_ = false;
    // The page could not be fetched: the user is told, and nothing is
    // stored (a fixed text stored instead would stand for the book's
    // introduction from then on).
    bool fetchFailed_ = false;
    std::string currentSite_;
    std::string tmpDir_;
    SiteHosts hosts_;
    unsigned id_;

    // Shared with the posted work, which may run after this object is gone.
    std::shared_ptr<std::atomic<bool>> stop_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace talvenor

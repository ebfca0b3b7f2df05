// One chapter page fetched ahead on a thread of its own (reading aloud asks
// for the next chapter while the last sentences are spoken), handed to the
// reader's fetch of the same address when it comes.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace talvenor {

class ChapterPrefetch {
  public:
    ChapterPrefetch() = default;
    ~ChapterPrefetch();
    ChapterPrefetch(const ChapterPrefetch&) = delete;
    ChapterPrefetch& operator=(const ChapterPrefetch&) = delete;

    // Starts fetching url with a client of its own; what was fetched ahead
    // before is dropped.
    void Start(const std::string& url);
    // The page fetched ahead for url: waits for the fetch under way, and
    // uses it up.  False when none was asked for url or its fetch failed,
    // so the caller fetches as ever.
    bool Take(const std::string& url, std::string& page);
    // Abandons the fetch under way at once.
    void Cancel();

  private:
    void Join();

    std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::string url_;
    std::string page_;
    bool ok_ = false;
};

}  // namespace talvenor

// The progress line on standard error: the text a command gives it, followed
// by the retry under way, if any ("第 2 次重试…"), kept up to date while the
// command waits for a page.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace talvenor::cli {

class ProgressLine {
  public:
    ProgressLine();
    ~ProgressLine();  // ends the line
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    // Thread-safe.
    void Set(const std::string& utf8);

  private:
    void Print();  // under mutex_
    std::mutex mutex_;
    std::string text_;
    int shownRetry_ = 0;
    size_t shownWidth_ = 0;
    std::atomic<bool> done_{false};
    std::thread ticker_;
};

}  // namespace talvenor::cli

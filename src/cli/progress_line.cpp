#include "cli/progress_line.h"

#include <chrono>
#include <iostream>

#include "net/retry_policy.h"
#include "text/encoding.h"

namespace talvenor::cli {

namespace {

int RetryNow() {
    const RetryActivity a = CurrentRetries();
    return a.fetches > 0 ? a.retry : 0;
}

}  // namespace

ProgressLine::ProgressLine() {
    ticker_ = std::thread([this] {
        while (!done_.load()) {
            for (int i = 0; i < 5 && !done_.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard<std::mutex> lock(mutex_);
            if (!text_.empty() && RetryNow() != shownRetry_) Print();
        }
    });
}

ProgressLine::~ProgressLine() {
    done_ = true;
    ticker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!text_.empty()) std::cerr << "\n" << std::flush;
}

void ProgressLine::Set(const std::string& utf8) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = utf8;
    Print();
}

void ProgressLine::Print() {
    shownRetry_ = RetryNow();
    std::string line = text_;
    if (shownRetry_ > 0) line += " " + GbkToUtf8(RetryText(shownRetry_));
    // Blanks over what a longer line before left.
    const size_t width = line.size();
    if (width < shownWidth_) line += std::string(shownWidth_ - width, ' ');
    shownWidth_ = width;
    std::cerr << "\r" << line << std::flush;
}

}  // namespace talvenor::cli

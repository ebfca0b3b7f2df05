#include "cli/cli_desktop.h"

#include <csignal>
#include <iostream>

#include "net/http_client.h"
#include "text/encoding.h"

namespace talvenor::cli {

std::atomic<bool> gInterrupted{false};

static void OnInterrupt(int) {
    gInterrupted = true;
    StopAllFetches();
}

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
}

bool CliDesktop::Ask(const std::string& caption, const std::string& text) {
    if (gInterrupted) return false;
    std::cerr << "[" << GbkToUtf8(caption) << "] " << GbkToUtf8(text);
    if (answer_ != Answer::Ask) {
        bool yes = answer_ == Answer::Yes;
        std::cerr << (yes ? " -> yes\n" : " -> no\n");
        return yes;
    }
    std::cerr << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return false;
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

void CliDesktop::Message(const std::string& text) {
    if (gInterrupted) return;
    std::cerr << GbkToUtf8(text) << "\n";
}

bool CliDesktop::Prompt(const std::string& caption, const std::string& prompt, std::string& value) {
    if (gInterrupted) return false;
    if (!promptAnswers.empty()) {
        value = promptAnswers.front();
        promptAnswers.pop_front();
        return true;
    }
    std::cerr << "[" << GbkToUtf8(caption) << "] " << GbkToUtf8(prompt) << " (" << GbkToUtf8(value)
              << "): " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return false;
    value = Utf8ToGbk(line);
    return true;
}

bool CliDesktop::OpenFileDialog(const std::string&, const std::string&, const std::string&,
                                std::string& path) {
    if (gInterrupted || fileAnswers.empty()) return false;
    path = fileAnswers.front();
    fileAnswers.pop_front();
    return true;
}

bool CliDesktop::SaveFileDialog(const std::string& filter, const std::string& initialDir,
                                const std::string& defaultExt, std::string& path) {
    return OpenFileDialog(filter, initialDir, defaultExt, path);
}

void CliDesktop::Post(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(fn));
    cv_.notify_all();
}

void CliDesktop::RunUntil(const std::function<bool()>& done, const std::function<void()>& tick) {
    auto next = std::chrono::steady_clock::now();
    while (!done()) {
        std::function<void()> fn;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_until(lock, next, [&] { return !queue_.empty(); });
            if (!queue_.empty()) {
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
        }
        if (fn) fn();
        if (std::chrono::steady_clock::now() >= next) {
            if (tick) tick();
            next = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        }
    }
}

}  // namespace talvenor::cli

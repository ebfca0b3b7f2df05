// The desktop of the command line: questions answered by --yes / --no (or
// asked on the terminal), messages on standard error, and a main-thread
// queue that the command's own thread runs.  Ctrl-C sets a flag that the
// waiting loops turn into the program's own cancel, and stops every fetch
// of the process at once; from then on messages are dropped and questions
// answered No, so the command winds down without asking or saying more.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "catalogue/desktop.h"

namespace talvenor::cli {

// Set by SIGINT (which also calls StopAllFetches).
extern std::atomic<bool> gInterrupted;
void InstallInterruptHandler();

class CliDesktop : public Desktop {
  public:
    enum class Answer { Ask, Yes, No };
    explicit CliDesktop(Answer answer) : answer_(answer), main_(std::this_thread::get_id()) {}

    bool Ask(const std::string& caption, const std::string& text) override;
    void Message(const std::string& text) override;
    bool Prompt(const std::string& caption, const std::string& prompt, std::string& value) override;
    void Post(std::function<void()> fn) override;
    bool OnMainThread() const override { return std::this_thread::get_id() == main_; }

    bool OpenFileDialog(const std::string& filter, const std::string& initialDir,
                        const std::string& defaultExt, std::string& path) override;
    bool SaveFileDialog(const std::string& filter, const std::string& initialDir,
                        const std::string& defaultExt, std::string& path) override;

    // Answers for the next prompts, before the terminal is asked.
    std::deque<std::string> promptAnswers;
    // The files the next open and save dialogs choose, as given on the
    // command line; a dialog with none left is cancelled.
    std::deque<std::string> fileAnswers;

    // Runs posted work until done() holds; tick() is called about ten times a
    // second (progress lines, Ctrl-C).
    void RunUntil(const std::function<bool()>& done, const std::function<void()>& tick = {});

  private:
    Answer answer_;
    std::thread::id main_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace talvenor::cli

// The desktop as the tests play it: questions answered from a script,
// messages and prompts recorded, and a main-thread queue that the test's own
// thread pumps.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/desktop.h"

class ScriptedDesktop : public talvenor::Desktop {
  public:
    ScriptedDesktop() : main_(std::this_thread::get_id()) {}

    // Answers for Ask, in order; when none is left the answer is `defaultAnswer`.
    std::deque<bool> answers;
    bool defaultAnswer = true;
    // Answers for Prompt: a value, or cancel when the optional is empty.
    struct PromptAnswer {
        bool ok;
        std::string value;
    };
    std::deque<PromptAnswer> promptAnswers;
    bool trayRefused = false;

    // What the program said (GBK).
    std::vector<std::string> asked, messages, prompts;
    int trayIcons = 0;
    // Called inside Message, on the main thread (a modal box pumps events).
    std::function<void(const std::string&)> onMessage;

    bool Ask(const std::string& caption, const std::string& text) override {
        asked.push_back(caption + "|" + text);
        if (answers.empty()) return defaultAnswer;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void Message(const std::string& text) override {
        messages.push_back(text);
        if (onMessage) onMessage(text);
    }
    bool Prompt(const std::string& caption, const std::string& prompt, std::string& value) override {
        prompts.push_back(caption + "|" + prompt + "|" + value);
        if (promptAnswers.empty()) return false;
        PromptAnswer a = promptAnswers.front();
        promptAnswers.pop_front();
        if (a.ok) value = a.value;
        return a.ok;
    }
    // Answers of the file, colour and font dialogs, in order; cancel when
    // none is left.  What the file dialogs were asked is recorded.
    std::deque<std::string> fileAnswers;
    std::deque<std::uint32_t> colorAnswers;
    std::deque<std::string> fontAnswers;
    std::vector<std::string> fileDialogs, openedUrls;
    int sounds = 0;
    bool browserMissing = false;

    bool OpenFileDialog(const std::string& filter, const std::string& dir, const std::string& ext,
                        std::string& path) override {
        return FileDialog("open|" + filter + "|" + dir + "|" + ext, path);
    }
    bool SaveFileDialog(const std::string& filter, const std::string& dir, const std::string& ext,
                        std::string& path) override {
        return FileDialog("save|" + filter + "|" + dir + "|" + ext, path);
    }
    bool ChooseColor(std::uint32_t& rgb) override { return Take(colorAnswers, rgb); }
    bool ChooseFont(std::string& face) override { return Take(fontAnswers, face); }
    bool OpenUrl(const std::string& address) override {
        openedUrls.push_back(address);
        return !browserMissing;
    }
    void PlaySound() override { ++sounds; }

    bool AddTrayIcon() override {
        if (trayRefused) return false;
        ++trayIcons;
        return true;
    }
    void RemoveTrayIcon() override {
        if (trayIcons > 0) --trayIcons;
    }
    void Post(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(fn));
        cv_.notify_all();
    }
    bool OnMainThread() const override { return std::this_thread::get_id() == main_; }
    // As the windows do: the work runs on a thread of its own while the main
    // thread waits, so a fetch that touched a list would show up under
    // ThreadSanitizer.
    int blockingRuns = 0;
    void RunBlocking(const std::function<void()>& work) override {
        ++blockingRuns;
        std::exception_ptr failure;
        std::thread t([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        });
        t.join();
        if (failure) std::rethrow_exception(failure);
    }

    // Runs posted work until `done` holds or the time is up; true when done.
    // `done` is looked at again every few milliseconds too: it may turn on
    // with nothing posted (a worker's end, a request reaching a server).
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (done()) return true;
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                auto wake =
                    std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
                if (!cv_.wait_until(lock, wake, [&] { return !queue_.empty(); })) {
                    if (std::chrono::steady_clock::now() >= deadline) return done();
                    continue;
                }
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
            fn();
        }
    }
    // Runs posted work for a while (to see that nothing more happens).
    void PumpFor(std::chrono::milliseconds span) {
        PumpUntil([] { return false; }, span);
    }
    // Runs whatever is queued right now.
    void PumpPending() {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return;
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
            fn();
        }
    }

private:
    bool FileDialog(const std::string& what, std::string& path) {
        fileDialogs.push_back(what);
        return Take(fileAnswers, path);
    }
    template <typename T>
    static bool Take(std::deque<T>& answers, T& value) {
        if (answers.empty()) return false;
        value = answers.front();
        answers.pop_front();
        return true;
    }

    std::thread::id main_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
};

// What the core needs from the desktop: questions, prompts, messages, the
// tray icon, and a way to run work on the main (window) thread.  The windows
// implement it with Qt; the tests and the CLI with scripted answers.
//
// All texts are GBK.
#pragma once

#include <functional>
#include <string>

namespace talvenor {

class Desktop {
public:
    virtual ~Desktop() = default;

    // A Yes/No message box with a caption; true for Yes.
    virtual bool Ask(const std::string& caption, const std::string& text) = 0;
    // A message box the user closes.
    virtual void Message(const std::string& text) = 0;
    // A one-line prompt; value holds the default and receives the answer.
    // False on cancel (value is then left as it was).
    virtual bool Prompt(const std::string& caption, const std::string& prompt, std::string& value) = 0;

    // Adds the notification-area icon; false when the system refuses it.
    virtual bool AddTrayIcon() { return true; }
    virtual void RemoveTrayIcon() {}

    // Runs fn on the main thread at its next turn.  Thread-safe; never
    // blocks.  Work posted after the desktop stopped is dropped.
    virtual void Post(std::function<void()> fn) = 0;
    // True on the main thread.
    virtual bool OnMainThread() const = 0;

    // Something shown in a window changed (the windows redraw from the models).
    virtual void Changed() {}
};

}  // namespace talvenor

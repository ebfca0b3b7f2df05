// What the core needs from the desktop: questions, prompts, messages, the
// tray icon, and a way to run work on the main (window) thread.  The windows
// implement it with Qt; the tests and the CLI with scripted answers.
//
// All texts are GBK; file paths are the file system's (UTF-8).
#pragma once

#include <cstdint>
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

    // The open and save file dialogs.  filter as the windows show it
    // ("小说定位文件（*.Mark）|*.Mark"), initialDir a folder path, defaultExt
    // such as ".Mark".  path receives the chosen file; false on cancel.
    virtual bool OpenFileDialog(const std::string& filter, const std::string& initialDir,
                                const std::string& defaultExt, std::string& path) {
        (void)filter, (void)initialDir, (void)defaultExt, (void)path;
        return false;
    }
    virtual bool SaveFileDialog(const std::string& filter, const std::string& initialDir,
                                const std::string& defaultExt, std::string& path) {
        (void)filter, (void)initialDir, (void)defaultExt, (void)path;
        return false;
    }
    // The colour dialog: rgb holds the start colour (0xRRGGBB) and receives
    // the choice; false on cancel.
    virtual bool ChooseColor(std::uint32_t& rgb) {
        (void)rgb;
        return false;
    }
    // The font dialog: face holds the start font's name and receives the
    // chosen one; false on cancel.
    virtual bool ChooseFont(std::string& face) {
        (void)face;
        return false;
    }

    // Shows an address in the desktop's web browser; false when no browser
    // could be started.  Without a desktop there is none.
    virtual bool OpenUrl(const std::string& address) {
        (void)address;
        return false;
    }
    // Puts a skin on every window: the text of a style sheet (UTF-8), or
    // empty for the default look.  False when the skin engine refuses it
    // (the look is then left as it was).
    virtual bool ApplySkin(const std::string& styleSheet) {
        (void)styleSheet;
        return true;
    }
    // Plays the short sound that follows a chapter, without waiting; silent
    // where there is no sound.
    virtual void PlaySound() {}

    // Adds the notification-area icon; false when the system refuses it.
    virtual bool AddTrayIcon() { return true; }
    virtual void RemoveTrayIcon() {}
    // A message from the notification area (the icon is shown for it when
    // the program is not in the tray).  GBK text.
    virtual void TrayMessage(const std::string& title, const std::string& text) {
        (void)title;
        (void)text;
    }

    // Runs work - a fetch that touches no window and no list - and returns
    // when it has ended, rethrowing what it threw.  The windows run it on a
    // thread and wait in a loop that keeps painting and timers going but
    // takes no user input, so nothing else can start meanwhile and the order
    // of effects stays that of a blocking call.  Elsewhere it runs in place.
    virtual void RunBlocking(const std::function<void()>& work) { work(); }

    // Runs work - reading that touches no window and no list, and throws
    // nothing - aside, then done on the main thread.  The windows run work on
    // a thread of its own and keep taking input meanwhile; the commands the
    // user gives before done has run wait for it (DeferWhileAside), so they
    // find what done left, as after a blocking call.  Elsewhere both run in
    // place, in order.
    virtual void RunAside(std::function<void()> work, std::function<void()> done) {
        work();
        done();
    }
    // While work handed to RunAside has not yet been done: keeps command to
    // run after it, in order, and answers true.  False otherwise (run it now).
    virtual bool DeferWhileAside(std::function<void()> command) {
        (void)command;
        return false;
    }

    // Runs fn on the main thread at its next turn.  Thread-safe; never
    // blocks.  Work posted after the desktop stopped is dropped.
    virtual void Post(std::function<void()> fn) = 0;
    // True on the main thread.
    virtual bool OnMainThread() const = 0;

    // Something shown in a window changed (the windows redraw from the models).
    virtual void Changed() {}
};

}  // namespace talvenor

// The desktop of the windows: message boxes, prompts and file dialogs, the
// web browser, the skin engine, the tray icon, and the main thread's queue.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <utility>
#include <vector>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <thread>

#include "catalogue/desktop.h"

class QSystemTrayIcon;

namespace talvenor {

// "Talvenor 全本小说" and 60 blanks: the caption of the program's messages.
QString ApplicationTitle();

class QtDesktop : public QObject, public Desktop {
    Q_OBJECT
  public:
    explicit QtDesktop(QObject* parent = nullptr);
    ~QtDesktop() override;

    // The window that dialogs belong to when no window of the program is
    // active.
    void SetMainWindow(QWidget* window) { main_ = window; }

    bool Ask(const std::string& caption, const std::string& text) override;
    void Message(const std::string& text) override;
    bool Prompt(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool OpenFileDialog(const std::string& filter, const std::string& initialDir,
                        const std::string& defaultExt, std::string& path) override;
    bool SaveFileDialog(const std::string& filter, const std::string& initialDir,
                        const std::string& defaultExt, std::string& path) override;
    bool ChooseColor(std::uint32_t& rgb) override;
    bool ChooseFont(std::string& face) override;
    bool OpenUrl(const std::string& address) override;
    bool ApplySkin(const std::string& styleSheet) override;
    bool AddTrayIcon() override;
    void RemoveTrayIcon() override;
    // Shown by the tray icon; an icon shown only for the message goes again
    // after it (kMessageMs), unless the program went to the tray meanwhile.
    void TrayMessage(const std::string& title, const std::string& text) override;
    static constexpr int kMessageMs = 10000;
    // The messages shown so far (UTF-8, title and text), for the tests.
    const std::vector<std::pair<QString, QString>>& TrayMessages() const { return trayMessages_; }
    void RunBlocking(const std::function<void()>& work) override;
    void RunAside(std::function<void()> work, std::function<void()> done) override;
    bool DeferWhileAside(std::function<void()> command) override;
    // Shows a failure that escaped the done of RunAside (the program's
    // general handler); without one it goes on into the event loop.
    void SetFailureHandler(std::function<void(std::exception_ptr)> handler) {
        failureHandler_ = std::move(handler);
    }
    // True while work handed to RunAside is not done.
    bool Aside() const { return aside_ > 0; }
    void Post(std::function<void()> fn) override;
    bool OnMainThread() const override;
    // From another thread the windows redraw at the main thread's next turn.
    void Changed() override;
    // The reader window plays the chime.
    void PlaySound() override { emit playSound(); }

    // Questions, prompts and messages asked from another thread (a book
    // export runs on one) are shown on the main thread while that thread
    // waits.  After Abandon they are answered No (or cancelled) at once, so
    // that a thread still asking can end while the program does.
    void Abandon();

    // True while a handler waits in RunBlocking.
    bool Blocking() const { return blocking_ > 0; }
    QSystemTrayIcon& TrayIcon() { return *tray_; }

    // "名称（*.a;*.b）|*.a;*.b|..." as Qt writes it: "名称（*.a;*.b） (*.a *.b);;...".
    static QString FilterToQt(const std::string& filter);
    // The address as the browser gets it: bytes beyond ASCII (a GBK keyword
    // appended as it is) percent-encoded, everything else unchanged.
    static QUrl UrlOf(const std::string& address);
    // False when Qt cannot parse the style sheet.
    static bool StyleSheetParses(const QString& styleSheet);

  signals:
    // Something shown in a window changed: the windows redraw from the models.
    void changed();
    // A left click on the tray icon.
    void trayClicked();
    // The chime that follows a chapter is due.
    void playSound();
    // The last RunBlocking wait has ended.
    void blockingEnded();
    // A question or prompt asked from another thread was answered; accepted:
    // Yes, or a prompt confirmed with some text.
    void answeredForThread(bool accepted);

  private:
    QWidget* DialogParent() const;
    // Runs fn on the main thread and waits for it; false (fn not run) once
    // abandoned.
    bool RunOnMain(const std::function<void()>& fn);

    // Runs the commands kept while work was aside, until one of them hands
    // work aside again.
    void RunDeferred();

    QPointer<QWidget> main_;
    // Threads of RunAside, each joined when its done runs (or at the end).
    std::map<unsigned, std::thread> asideThreads_;
    unsigned asideIds_ = 0;
    int aside_ = 0;
    std::deque<std::function<void()>> deferred_;
    std::function<void(std::exception_ptr)> failureHandler_;
    QSystemTrayIcon* tray_;
    int blocking_ = 0;
    bool iconForMessage_ = false;
    std::vector<std::pair<QString, QString>> trayMessages_;
    std::atomic<bool> abandoned_{false};
};

}  // namespace talvenor

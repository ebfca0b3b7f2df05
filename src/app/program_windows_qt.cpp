#include "app/program_windows_qt.h"

#include <QTimer>

#include "app/application_qt.h"
#include "app/book_export_qt.h"
#include "app/catalogue_window.h"
#include "app/program.h"
#include "app/progress_window.h"
#include "app/reader_window.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "platform/desktop_qt.h"
#include "platform/hotkey_qt.h"
#include "reader/reader_form.h"
#include "text/encoding.h"

namespace talvenor {

ProgramWindows::ProgramWindows(const AppPaths& paths, std::vector<std::string> args, QObject* parent)
    : QObject(parent), desktop_(std::make_unique<QtDesktop>()), hotKey_(std::make_unique<GlobalHotKey>()) {
    // F7 is taken while the catalogue window lives; without X11 it is not.
    hotKey_->Register();
    desktop_->SetFailureHandler(ShowFailure);
    program_ = std::make_unique<Program>(*desktop_, paths, std::move(args));
    catalogue_ = std::make_unique<CatalogueWindow>(*program_, *program_->form1, *desktop_);
    progress_ = std::make_unique<ProgressWindow>(*program_, *program_->form4, *desktop_);
    desktop_->SetMainWindow(catalogue_.get());
    ReaderWindow::InstallHooks(*program_->form2, [this]() -> ReaderWindow& { return reader(); });

    connect(desktop_.get(), &QtDesktop::changed, this, &ProgramWindows::Sync);
    connect(desktop_.get(), &QtDesktop::trayClicked, this,
            [this] { RunHandler(*desktop_, [this] { program_->TrayIconClicked(); }); });
    export_ = std::make_unique<BookExport>(*program_, *desktop_, *progress_,
                                           [this]() -> ReaderWindow& { return reader(); });
    connect(hotKey_.get(), &GlobalHotKey::pressed, this, [this] {
        // During an export only the progress window comes and goes.
        if (export_->Running())
            RunHandler(*desktop_, [this] { export_->HotKey(); });
        else
            RunHandler(*desktop_, [this] { program_->HotKeyPressed(); });
    });
    connect(catalogue_.get(), &CatalogueWindow::closing, this, &ProgramWindows::FormClose);
}

ProgramWindows::~ProgramWindows() {
    hotKey_->Release();
    watchTimer_.stop();
    // The workers end before the windows and lists they fill go.
    program_->form1->StopWatchCheck();
    program_->StopAllWorkers();
    program_->form1->StopHintWorkers();
    export_.reset();
    desktop_->RemoveTrayIcon();
    reader_.reset();
    progress_.reset();
    catalogue_.reset();
    program_.reset();
}

ReaderWindow& ProgramWindows::reader() {
    if (!reader_) {
        reader_ = std::make_unique<ReaderWindow>(*program_, *program_->form2, *desktop_);
        reader_->exportBook = [this](const std::string& key) { export_->Start(key); };
    }
    return *reader_;
}

void ProgramWindows::Show(const std::string& hostProblems) {
    Sync();
    // The watch list is checked now and then every so many minutes.
    const int minutes = program_->watchIntervalMin;
    if (minutes > 0 && !watchTimer_.isActive()) {
        watchTimer_.setInterval(minutes * 60 * 1000);
        connect(&watchTimer_, &QTimer::timeout, this, [this] { program_->form1->StartWatchCheck(); });
        watchTimer_.start();
        QTimer::singleShot(0, this, [this] { program_->form1->StartWatchCheck(); });
    }
    std::string settingsProblems;
    for (const std::string& p : program_->settings.Problems()) settingsProblems += p + "\n";
    if (!settingsProblems.empty())
        QTimer::singleShot(0, this, [this, settingsProblems] {
            desktop_->Message(G("设置文件 talvenor.ini 里有无法使用的值，已用默认值：") + "\n\n" +
                              Utf8ToGbk(settingsProblems));
        });
    // The problems of start: the hosts file's lines, and the sites' rule
    // files that were skipped (each "FILE:LINE:COLUMN: why (the file is
    // skipped)"), each under its own heading.
    std::string hosts, ruleFiles;
    size_t from = 0;
    while (from < hostProblems.size()) {
        size_t end = hostProblems.find('\n', from);
        if (end == std::string::npos) end = hostProblems.size();
        const std::string line = hostProblems.substr(from, end - from);
        const std::string skipped = "(the file is skipped)";
        const bool ruleFile =
            line.size() >= skipped.size() && line.compare(line.size() - skipped.size(), skipped.size(), skipped) == 0;
        if (!line.empty()) (ruleFile ? ruleFiles : hosts) += line + "\n";
        from = end + 1;
    }
    if (!ruleFiles.empty())
        QTimer::singleShot(0, this, [this, ruleFiles] {
            desktop_->Message(G("网站规则文件有错误，已略过：") + "\n\n" + Utf8ToGbk(ruleFiles));
        });
    if (hosts.empty()) return;
    QTimer::singleShot(0, this, [this, hosts] {
        desktop_->Message(G("设置文件 sites.hosts 里有无法使用的行，已略过：") + "\n\n" + Utf8ToGbk(hosts));
    });
}

void ProgramWindows::Sync() {
    if (!catalogue_ || !progress_) return;  // still being made
    catalogue_->Sync();
    progress_->Sync();
    if (reader_ || program_->form2->window.visible) reader().Sync();
}

void ProgramWindows::FormClose() {
    hotKey_->Release();
    program_->form1->window.visible = false;
    RunHandler(*desktop_, [this] { program_->form1->FormClose(); });
    // The program ends now; a download still running is not waited for.
    program_->form4->window.visible = false;
    progress_->hide();
    if (reader_) reader_->hide();
    desktop_->RemoveTrayIcon();
    emit finished();
}

}  // namespace talvenor

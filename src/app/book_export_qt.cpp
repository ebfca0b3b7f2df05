#include "app/book_export_qt.h"

#include "app/program.h"
#include "app/progress_window.h"
#include "app/reader_window.h"
#include "catalogue/failures.h"
#include "catalogue/progress_form.h"
#include "catalogue/window_model.h"
#include "platform/desktop_qt.h"
#include "reader/reader_form.h"

namespace talvenor {

BookExport::BookExport(Program& program, QtDesktop& desktop, ProgressWindow& progress,
                       std::function<ReaderWindow&()> reader)
    : program_(program), desktop_(desktop), progress_(progress), reader_(std::move(reader)) {}

BookExport::~BookExport() {
    if (!thread_.joinable()) return;
    stop_ = true;
    // A question still open for the export is answered No.
    desktop_.Abandon();
    thread_.join();
    program_.form2->ListBox1.onChange = chapterView_;
}

void BookExport::Start(const std::string& key) {
    if (running_) return;
    running_ = true;
    begun_ = false;
    stop_ = false;
    failure_ = nullptr;
    TForm2& f2 = *program_.form2;
    ReaderWindow& reader = reader_();
    // From here until the export ends only its thread touches the reader's
    // model; the window leaves it alone and the chapter list's view is
    // detached (it is told of the new selection afterwards).
    shownChapter_ = f2.ListBox1.itemIndex;
    chapterView_ = f2.ListBox1.onChange;
    f2.ListBox1.onChange = nullptr;
    f2.exportStop = &stop_;
    f2.exportProgress = [this](int done, int total) {
        desktop_.Post([this, done, total] {
            ProgressModel& bar = program_.form4->ProgressBar1;
            bar.min = 0;
            bar.max = total;
            bar.position = done;
        });
    };
    // The reader stays on screen under the question; it goes once the
    // question is answered Yes.
    reader.SetExporting(true);
    answered_ = connect(&desktop_, &QtDesktop::answeredForThread, this, [this](bool accepted) {
        if (accepted && !begun_) Begin();
    });
    thread_ = std::thread([this, key, &f2] {
        try {
            f2.ExportBook(key);
        } catch (...) {
            failure_ = std::current_exception();
        }
        desktop_.Post([this] { Finish(); });
    });
}

void BookExport::Begin() {
    begun_ = true;
    reader_().hide();
    TForm4& f4 = *program_.form4;
    f4.ProgressBar1.min = 0;
    f4.ProgressBar1.max = 100;
    f4.ProgressBar1.position = 0;
    progress_.SetCancel([this] { stop_ = true; });
    program_.TrayWindow = kTrayProgress;
    f4.Show();
}

void BookExport::HotKey() {
    if (!begun_) return;  // the question is open
    TForm4& f4 = *program_.form4;
    if (f4.window.visible) {
        program_.TrayWindow = kTrayProgress;
        program_.HideToTray(kTrayCatalogue);
    } else {
        program_.RestoreFromTray(kTrayCatalogue);
    }
}

void BookExport::Finish() {
    thread_.join();
    disconnect(answered_);
    TForm2& f2 = *program_.form2;
    f2.exportStop = nullptr;
    f2.exportProgress = nullptr;
    // The list shows the chapter on the page again, not the last one the
    // export went through.
    f2.ListBox1.onChange = chapterView_;
    f2.ListBox1.Select(shownChapter_);
    progress_.SetCancel(nullptr);
    if (begun_) {
        // The progress window goes, from the screen or from the tray.
        program_.form4->window.visible = false;
        if (program_.trayIconShown) {
            desktop_.RemoveTrayIcon();
            program_.trayIconShown = false;
            program_.trayIconOwner = kTrayNone;
        }
        program_.TrayWindow = kTrayReader;
    }
    running_ = false;
    reader_().SetExporting(false);
    desktop_.Changed();
    // A failure that ended the export (its folder cannot be written) is
    // shown as the reader's keys show it.
    if (failure_) RunHandled(desktop_, [this] { std::rethrow_exception(failure_); });
    desktop_.Changed();
    emit finished();
}

}  // namespace talvenor

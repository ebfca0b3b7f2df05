// The reader's whole-book export (F10 / F11) as the windows run it: the
// model's export on a thread of its own, the reader hidden meanwhile and the
// progress window showing how far it got, with 取消 stopping it at once.
// The main thread stays free, so the windows keep painting and nothing the
// user does meanwhile is held back to run after the export.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "catalogue/list_model.h"

namespace talvenor {

class Program;
class ProgressWindow;
class QtDesktop;
class ReaderWindow;

class BookExport : public QObject {
    Q_OBJECT
  public:
    BookExport(Program& program, QtDesktop& desktop, ProgressWindow& progress,
               std::function<ReaderWindow&()> reader);
    // Stops an export under way and waits for its thread.
    ~BookExport() override;

    // Starts the export with key "F10" (pictures saved) or "F11"; the
    // model's question comes first.  Ignored while one runs.
    void Start(const std::string& key);
    bool Running() const { return running_; }
    // F7 while exporting: the progress window goes to the tray or comes
    // back (the reader stays hidden until the export is over).
    void HotKey();

  signals:
    // The export is over and the reader is shown again.
    void finished();

  private:
    // The question was answered Yes (and a name given where one was asked).
    void Begin();
    void Finish();

    Program& program_;
    QtDesktop& desktop_;
    ProgressWindow& progress_;
    std::function<ReaderWindow&()> reader_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
    bool begun_ = false;
    std::exception_ptr failure_;
    // The chapter list's view, set aside while the export moves its
    // selection from the export's thread.
    std::function<void(const ListChange&)> chapterView_;
    int shownChapter_ = -1;
    QMetaObject::Connection answered_;
};

}  // namespace talvenor

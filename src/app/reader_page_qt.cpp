// The reader window's page: the browser made with the first book, the page
// shown with and without a page-turn effect, its snapshot, the text zoom,
// and auto-scroll's reading and scrolling of the page.
#include <QCoreApplication>
#include <QEventLoop>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <stdexcept>

#include "app/reader_window.h"
#include "platform/jpeg_writer.h"
#include "platform/page_browser.h"
#include "platform/pic_show.h"
#include "reader/reader_form.h"

namespace talvenor {

void ReaderWindow::InstallHooks(TForm2& form, const std::function<ReaderWindow&()>& view) {
    form.displayPage = [view] { view().DisplayPage(); };
    form.showEffect = [view](int style) { view().ShowEffect(style); };
    form.navigateBlank = [view] { view().NavigateBlank(); };
    form.setTextZoom = [view](int level) { view().SetTextZoom(level); };
    form.focusPage = [view] { view().FocusPage(); };
    form.stopBrowser = [view] { view().StopBrowser(); };
    form.readPage = [view](PageMetrics& m) { return view().ReadPage(m); };
    form.scrollPage = [view](int dx, int dy) { view().ScrollPage(dx, dy); };
    form.timerChanged = [view] { view().TimerChanged(); };
    form.popupMenu = [view] { view().PopupMenu(); };
}

QString ReaderWindow::PagePath() const {
    return QString::fromStdString(form_.PagePath());
}

QString ReaderWindow::SnapshotPath() const {
    return QString::fromStdString(program_.paths.tmpDir + "tmp.jpg");
}

PageBrowser& ReaderWindow::Browser() {
    // The browser engine starts with the first page, not with the program.
    if (!browser_) {
        browser_ = new PageBrowser(Panel7);
        browser_->setObjectName(QStringLiteral("WebBrowser1"));
        Panel7->layout()->addWidget(browser_);
        // Every page is the same file: the engine would bring the last
        // page's scroll offset back to the new chapter.
        QWebEngineScript top;
        top.setSourceCode(QStringLiteral("history.scrollRestoration='manual';"));
        top.setInjectionPoint(QWebEngineScript::DocumentCreation);
        top.setWorldId(QWebEngineScript::ApplicationWorld);
        browser_->page()->scripts().insert(top);
    }
    return *browser_;
}

bool ReaderWindow::WebAllowed() const {
    return !program_.chapterCache.offline;
}

void ReaderWindow::DisplayPage() {
    Browser().NavigateFile(PagePath(), WebAllowed());
}

void ReaderWindow::SnapshotPage() {
    const QImage picture = RenderPageOffscreen(PagePath(), Browser().size(), WebAllowed());
    // A picture that cannot be made or written leaves the last one in place.
    if (!picture.isNull()) SaveJpeg(picture, SnapshotPath().toStdString());
}

void ReaderWindow::ShowEffect(int style) {
    PageBrowser& browser = Browser();
    // The transition starts from the page as the reader sees it now.
    const QImage old = browser.grab().toImage();
    QPointer<ReaderWindow> self(this);
    struct Uncover {
        QPointer<ReaderWindow>& window;
        ~Uncover() {
            if (window) window->pageLayers_->setCurrentWidget(window->Panel7);
        }
    } uncover{self};
    SnapshotPage();
    if (!self) return;
    if (!PicShow1->LoadPicture(SnapshotPath())) throw std::runtime_error("tmp/tmp.jpg cannot be read");
    PicShow1->SetOldPicture(old);
    pageLayers_->setCurrentWidget(Panel8);
    PicShow1->SetStyle(style);
    PicShow1->show();
    PicShow1->Execute();
    browser.NavigateFile(PagePath(), WebAllowed());
    // Other commands may run while the picture comes in.
    if (PicShow1->Busy()) {
        QEventLoop loop;
        connect(PicShow1, &PicShow::finished, &loop, &QEventLoop::quit);
        connect(PicShow1, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void ReaderWindow::NavigateBlank() {
    Browser().NavigateBlank();
}

void ReaderWindow::SetTextZoom(int level) {
    Browser().SetTextZoom(level);
}

void ReaderWindow::FocusPage() {
    if (browser_ && browser_->ReadyState() != 0) browser_->setFocus();
}

void ReaderWindow::StopBrowser() {
    if (browser_) browser_->Stop();
}

bool ReaderWindow::ReadPage(PageMetrics& metrics) {
    if (!browser_) return false;
    QPointer<ReaderWindow> self(this);
    // The view is brought up to date before the heights are read.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    if (!self || !browser_) return false;
    return browser_->ReadMetrics(metrics.offsetHeight, metrics.scrollTop, metrics.scrollHeight);
}

void ReaderWindow::ScrollPage(int dx, int dy) {
    if (browser_) browser_->ScrollBy(dx, dy);
}

void ReaderWindow::TimerChanged() {
    const TimerState& t = form_.Timer1;
    // An interval of 0 keeps the timer from firing, although it counts as on.
    if (t.enabled && t.interval > 0) {
        Timer1.start(t.interval);
    } else {
        Timer1.stop();
    }
}

}  // namespace talvenor

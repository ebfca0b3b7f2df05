#include "platform/page_browser.h"

#include <unistd.h>

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <cmath>
#include <functional>
#include <memory>

namespace talvenor {

namespace {

// Runs the event loop until done() holds, the object goes away or time is up.
bool WaitUntil(QObject* context, const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QPointer<QObject> alive(context);
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (!alive || done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    tick.start(2);
    loop.exec();
    return alive && done();
}

constexpr int kDefaultFontSize = 16;
constexpr int kDefaultFixedFontSize = 13;

}  // namespace

PageBrowser::PageBrowser(QWidget* parent) : QWebEngineView(parent) {
    // The browser engine refuses to start for the super-user with its
    // sandbox on, and the sandbox cannot work for that user anyway.
    static const bool prepared = [] {
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        return true;
    }();
    (void)prepared;
    // The reader pages carry no charset: they are GBK, as the program writes them.
    settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    // Pictures of a chapter are loaded from the site, although the page is a local file.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    connect(this, &QWebEngineView::loadStarted, this, [this] {
        readyState_ = 1;
        loadedOk_ = false;
    });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        readyState_ = 4;
        loadedOk_ = ok;
    });
    connect(page(), &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (title == QStringLiteral("talvenor-painted-%1").arg(paintRound_)) emit painted();
    });
}

void PageBrowser::NavigateFile(const QString& path) {
    readyState_ = 1;
    loadedOk_ = false;
    load(QUrl::fromLocalFile(path));
}

void PageBrowser::NavigateBlank() {
    readyState_ = 1;
    loadedOk_ = false;
    load(QUrl(QStringLiteral("about:blank")));
}

void PageBrowser::Stop() {
    stop();
}

double PageBrowser::ZoomFactor(int level) {
    static const double factors[] = {0.7, 0.85, 1.0, 1.2, 1.5};
    if (level < 0 || level > 4) level = 2;
    return factors[level];
}

void PageBrowser::SetTextZoom(int level) {
    // The default font sizes scale every text the page sizes relatively
    // (font Size=1..7 included), and nothing else.
    const double f = ZoomFactor(level);
    settings()->setFontSize(QWebEngineSettings::DefaultFontSize, int(std::lround(kDefaultFontSize * f)));
    settings()->setFontSize(QWebEngineSettings::DefaultFixedFontSize,
                            int(std::lround(kDefaultFixedFontSize * f)));
}

QVariant PageBrowser::Evaluate(const QString& script, int timeoutMs) {
    auto result = std::make_shared<QVariant>();
    auto done = std::make_shared<bool>(false);
    page()->runJavaScript(script, [result, done](const QVariant& v) {
        *result = v;
        *done = true;
    });
    if (!WaitUntil(
            this, [done] { return *done; }, timeoutMs))
        return QVariant();
    return *result;
}

bool PageBrowser::ReadMetrics(int& visibleHeight, int& scrollTop, int& scrollHeight) {
    if (!HasDocument()) return false;
    // The pages have no doctype, so the body is the scrolling element; its
    // client height is the visible height of the page.
    const QVariant v = Evaluate(
        QStringLiteral("(function(){var b=document.body;if(!b)return null;var s=document.scrollingElement||b;"
                       "return [s.clientHeight,s.scrollTop,s.scrollHeight];})()"));
    const QVariantList list = v.toList();
    if (list.size() != 3) return false;
    visibleHeight = list[0].toInt();
    scrollTop = int(std::lround(list[1].toDouble()));
    scrollHeight = list[2].toInt();
    return true;
}

void PageBrowser::ScrollBy(int dx, int dy) {
    page()->runJavaScript(QStringLiteral("window.scrollBy(%1,%2)").arg(dx).arg(dy));
}

bool PageBrowser::WaitPainted(int timeoutMs) {
    if (!WaitUntil(
            this, [this] { return readyState_ == 4; }, timeoutMs) ||
        !loadedOk_)
        return false;
    // Two animation frames after the load the page has been drawn; the
    // title tells the browser side so.
    const int round = ++paintRound_;
    auto seen = std::make_shared<bool>(false);
    QMetaObject::Connection c = connect(this, &PageBrowser::painted, this, [seen] { *seen = true; });
    page()->runJavaScript(QStringLiteral("requestAnimationFrame(function(){requestAnimationFrame(function(){"
                                         "document.title='talvenor-painted-%1';});});")
                              .arg(round));
    const bool ok = WaitUntil(
        this, [seen] { return *seen; }, timeoutMs);
    disconnect(c);
    return ok;
}

QImage RenderPageOffscreen(const QString& path, const QSize& size, int timeoutMs) {
    // Drawn like a shown window, but never put on the screen.
    PageBrowser browser;
    browser.setAttribute(Qt::WA_DontShowOnScreen);
    browser.resize(size);
    browser.show();
    browser.NavigateFile(path);
    if (!browser.WaitPainted(timeoutMs)) return QImage();
    QImage image = browser.grab().toImage();
    return image.size() == size ? image : QImage();
}

}  // namespace talvenor

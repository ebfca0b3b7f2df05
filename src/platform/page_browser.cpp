#include "platform/page_browser.h"

#include <unistd.h>

#include <QDesktopServices>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

namespace talvenor {

namespace {

// Runs the event loop until done() holds, the object goes away or time is up.
// listen(check), when given, connects the signals that change what done()
// reads to check, so that the change is seen as it happens, not at the
// next tick.
bool WaitUntil(QObject* context, const std::function<bool()>& done, int timeoutMs,
               const std::function<QMetaObject::Connection(std::function<void()>)>& listen = nullptr) {
    if (done()) return true;
    QPointer<QObject> alive(context);
    QEventLoop loop;
    const auto check = [&] {
        if (!alive || done()) loop.quit();
    };
    QMetaObject::Connection heard;
    if (listen) heard = listen(check);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, check);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    tick.start(2);
    loop.exec();
    QObject::disconnect(heard);
    return alive && done();
}

constexpr int kDefaultFontSize = 16;
constexpr int kDefaultFixedFontSize = 13;

bool WebAddress(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// A link the reader clicked goes to the desktop's web browser; anything but
// a web address is not opened at all.
void OpenOutside(const QUrl& url) {
    if (WebAddress(url)) QDesktopServices::openUrl(url);
}

// The page may not navigate anywhere but to the page it was given; a link
// clicked in it opens outside.
class ReaderPage : public QWebEnginePage {
  public:
    ReaderPage(PageBrowser* parent, std::function<void(const QUrl&)> refused)
        : QWebEnginePage(parent), refused_(std::move(refused)) {
        connect(this, &QWebEnginePage::newWindowRequested, this, [](QWebEngineNewWindowRequest& request) {
            if (request.isUserInitiated()) OpenOutside(request.requestedUrl());
        });
    }
    void Allow(const QUrl& url) { allowed_ = url; }

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (type == NavigationTypeLinkClicked) {
            if (isMainFrame) OpenOutside(url);
            return false;
        }
        if (isMainFrame && type != NavigationTypeRedirect && url.adjusted(QUrl::RemoveFragment) == allowed_)
            return true;
        refused_(url);
        return false;
    }

  private:
    QUrl allowed_;
    std::function<void(const QUrl&)> refused_;
};

}  // namespace

// Every request of the page passes here: the page file itself, and pictures
// and style sheets from the web; nothing else is loaded.
class PageBrowser::Guard : public QWebEngineUrlRequestInterceptor {
  public:
    explicit Guard(PageBrowser* browser) : QWebEngineUrlRequestInterceptor(browser), browser_(browser) {}
    void Allow(const QUrl& page, bool web) {
        page_ = page;
        web_ = web;
    }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        const auto type = info.resourceType();
        bool ok;
        if (WebAddress(url))
            ok = web_ && (type == QWebEngineUrlRequestInfo::ResourceTypeImage ||
                          type == QWebEngineUrlRequestInfo::ResourceTypeStylesheet);
        else
            ok = type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
                 url.adjusted(QUrl::RemoveFragment) == page_;
        if (ok) return;
        info.block(true);
        QMetaObject::invokeMethod(
            browser_, [b = browser_, url] { emit b->refused(url); }, Qt::QueuedConnection);
    }

  private:
    PageBrowser* browser_;
    QUrl page_;
    bool web_ = true;
};

PageBrowser::PageBrowser(QWidget* parent) : QWebEngineView(parent) {
    // The browser engine refuses to start for the super-user with its
    // sandbox on, and the sandbox cannot work for that user anyway.
    static const bool prepared = [] {
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        return true;
    }();
    (void)prepared;
    auto* shut = new ReaderPage(this, [this](const QUrl& url) { emit refused(url); });
    setPage(shut);
    guard_ = new Guard(this);
    shut->setUrlRequestInterceptor(guard_);
    QWebEngineSettings* s = shut->settings();
    // The reader pages carry no charset: they are GBK, as the program writes them.
    s->setDefaultTextEncoding(QStringLiteral("GBK"));
    // Pictures of a chapter are loaded from the site, although the page is a local file.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    // A file dropped on the page would be shown in its place.
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    // Only the loads of the page the browser was sent to count: a refused
    // navigation of the page's own also starts and ends a load.
    connect(shut, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.url().adjusted(QUrl::RemoveFragment) != current_) return;
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            readyState_ = 1;
            loadedOk_ = false;
        } else {
            readyState_ = 4;
            loadedOk_ = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
        }
    });
    connect(page(), &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (title == QStringLiteral("talvenor-painted-%1").arg(paintRound_)) emit painted();
    });
}

void PageBrowser::Allow(const QUrl& page, bool web) {
    current_ = page;
    // Without the web no picture could load (the guard lets no other file
    // through either): the engine does not ask for them, and the page's
    // load does not wait for each to be refused.
    settings()->setAttribute(QWebEngineSettings::AutoLoadImages, web);
    static_cast<ReaderPage*>(this->page())->Allow(page);
    guard_->Allow(page, web);
}

void PageBrowser::NavigateFile(const QString& path, bool web) {
    readyState_ = 1;
    loadedOk_ = false;
    const QUrl url = QUrl::fromLocalFile(path);
    Allow(url, web);
    load(url);
}

void PageBrowser::NavigateBlank() {
    readyState_ = 1;
    loadedOk_ = false;
    const QUrl url(QStringLiteral("about:blank"));
    Allow(url, false);
    load(url);
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
    page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [result, done](const QVariant& v) {
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
    page()->runJavaScript(QStringLiteral("window.scrollBy(%1,%2)").arg(dx).arg(dy),
                          QWebEngineScript::ApplicationWorld);
}

bool PageBrowser::WaitPainted(int timeoutMs) {
    // The load's end and the page's word that it drew are taken as they
    // come: a poll would add up to a tick to every page shown.
    const auto loaded = [this](std::function<void()> check) {
        return connect(page(), &QWebEnginePage::loadingChanged, this,
                       [check](const QWebEngineLoadingInfo&) { check(); });
    };
    if (!WaitUntil(
            this, [this] { return readyState_ == 4; }, timeoutMs, loaded) ||
        !loadedOk_)
        return false;
    // Two animation frames after the load the page has been drawn; the
    // title tells the browser side so.
    const int round = ++paintRound_;
    auto seen = std::make_shared<bool>(false);
    QMetaObject::Connection c = connect(this, &PageBrowser::painted, this, [seen] { *seen = true; });
    page()->runJavaScript(QStringLiteral("requestAnimationFrame(function(){requestAnimationFrame(function(){"
                                         "document.title='talvenor-painted-%1';});});")
                              .arg(round),
                          QWebEngineScript::ApplicationWorld);
    const bool ok = WaitUntil(
        this, [seen] { return *seen; }, timeoutMs,
        [this](std::function<void()> check) { return connect(this, &PageBrowser::painted, this, check); });
    disconnect(c);
    return ok;
}

QImage PageBrowser::GrabPainted(int timeoutMs) {
    if (!WaitPainted(timeoutMs)) return QImage();
    // The painted page reaches the view a little after the page drew it.
    // A mark of a colour of its own is put in a corner and taken away:
    // once a picture of the view shows it, and then no longer does, the
    // view holds everything the page drew before, and nothing of the mark.
    static const QColor kMark(1, 254, 2);
    auto marked = [this] {
        const QImage image = grab().toImage();
        if (image.width() < 1 || image.height() < 1) return false;
        const QColor c = image.pixelColor(0, 0);
        return std::abs(c.red() - kMark.red()) + std::abs(c.green() - kMark.green()) +
                   std::abs(c.blue() - kMark.blue()) <
               12;
    };
    if (!Evaluate(QStringLiteral("(function(){var m=document.createElement('div');m.id='talvenor-mark';"
                                 "m.style.cssText='position:fixed;left:0;top:0;width:4px;height:4px;"
                                 "z-index:2147483647;background:rgb(1,254,2)';"
                                 "document.documentElement.appendChild(m);return true;})()"),
                  timeoutMs)
             .toBool() ||
        !WaitUntil(this, marked, timeoutMs))
        return QImage();
    Evaluate(QStringLiteral("document.getElementById('talvenor-mark').remove()"), timeoutMs);
    if (!WaitUntil(
            this, [&] { return !marked(); }, timeoutMs))
        return QImage();
    return grab().toImage();
}

QImage RenderPageOffscreen(const QString& path, const QSize& size, bool web, int timeoutMs) {
    // Drawn like a shown window, but never put on the screen.
    PageBrowser browser;
    browser.setAttribute(Qt::WA_DontShowOnScreen);
    browser.resize(size);
    browser.show();
    browser.NavigateFile(path, web);
    QImage image = browser.GrabPainted(timeoutMs);
    return image.size() == size ? image : QImage();
}

}  // namespace talvenor

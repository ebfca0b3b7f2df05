#include "platform/page_browser.h"

#include <QUrl>
#include <QWebEngineSettings>

namespace talvenor {

PageBrowser::PageBrowser(QWidget* parent) : QWebEngineView(parent) {
    // The reader pages carry no charset: they are GBK, as the program writes them.
    settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    // Pictures of a chapter are loaded from the site, although the page is a local file.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    connect(this, &QWebEngineView::loadStarted, this, [this] { readyState_ = 1; });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        readyState_ = 4;
        setZoomFactor(zoom_);
    });
}

void PageBrowser::NavigateFile(const QString& path) {
    readyState_ = 1;
    load(QUrl::fromLocalFile(path));
}

void PageBrowser::NavigateBlank() {
    readyState_ = 1;
    load(QUrl(QStringLiteral("about:blank")));
}

double PageBrowser::ZoomFactor(int level) {
    static const double factors[] = {0.7, 0.85, 1.0, 1.2, 1.5};
    if (level < 0 || level > 4) level = 2;
    return factors[level];
}

void PageBrowser::SetTextZoom(int level) {
    zoom_ = ZoomFactor(level);
    setZoomFactor(zoom_);
}

}  // namespace talvenor

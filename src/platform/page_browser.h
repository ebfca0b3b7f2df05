// The embedded browser of the reader: shows the generated reader page (a
// GBK file without a charset declaration, as the pages have always been),
// with text zoom levels 0 to 4, and reads and scrolls the shown page.
//
// The page holds what a site sent, so it is shut in: its own scripts never
// run (the program's scripts run in a world of their own), it reaches no
// local file but itself and loads nothing but pictures and style sheets from
// the web, it cannot navigate away, and a link the reader clicks opens in
// the desktop's web browser.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWebEngineView>
#include <string>

namespace talvenor {

class PageBrowser : public QWebEngineView {
    Q_OBJECT
  public:
    explicit PageBrowser(QWidget* parent = nullptr);

    // Loads a local file; returns at once, loading goes on.  web: whether
    // the page may load its pictures and style sheets from the web (not
    // when reading offline, where nothing is downloaded).
    void NavigateFile(const QString& path, bool web = true);
    void NavigateBlank();
    // Cancels a navigation under way.
    void Stop();
    // Text zoom level 0..4 (2 is the normal size): only the text grows or
    // shrinks, as with a text-size command; pictures and the column width stay.
    void SetTextZoom(int level);
    static double ZoomFactor(int level);
    // 4 once the page has loaded (the ready state the reader waits for).
    int ReadyState() const { return readyState_; }
    // A page has been loaded (successfully) since the last navigation began.
    bool HasDocument() const { return readyState_ == 4 && loadedOk_; }

    // Runs a script of the program's own on the page (in a world apart from
    // the page's, where scripts do run) and waits for its value, letting
    // events run meanwhile; an invalid value when the page has none or time
    // ran out.
    QVariant Evaluate(const QString& script, int timeoutMs = 10000);
    // The visible height, the scroll offset and the full height of the page;
    // false without a page or a body.
    bool ReadMetrics(int& visibleHeight, int& scrollTop, int& scrollHeight);
    void ScrollBy(int dx, int dy);
    // Waits until the page has loaded and one frame of it was drawn.
    bool WaitPainted(int timeoutMs = 10000);
    // A picture of the view once the loaded page has reached it (a null
    // image when the page did not load or time ran out).
    QImage GrabPainted(int timeoutMs = 10000);

  signals:
    // A frame of the loaded page has been drawn (WaitPainted's signal).
    void painted();
    // The page asked for something it may not have: a request or a
    // navigation that was refused.
    void refused(const QUrl& url);

  private:
    void Allow(const QUrl& page, bool web);

    class Guard;
    Guard* guard_ = nullptr;
    QUrl current_;  // the page the browser was last sent to
    int readyState_ = 0;
    bool loadedOk_ = false;
    int paintRound_ = 0;
};

// Renders a page file off screen at the given size (in a browser of its own,
// without text zoom) and returns the picture; a null image when the page
// could not be loaded or drawn.  Events run while it waits.
QImage RenderPageOffscreen(const QString& path, const QSize& size, bool web = true, int timeoutMs = 15000);

}  // namespace talvenor

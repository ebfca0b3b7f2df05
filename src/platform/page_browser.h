// The embedded browser of the reader: shows the generated reader page (a
// GBK file without a charset declaration, as the pages have always been),
// with text zoom levels 0 to 4.
#pragma once

#include <QString>
#include <QWebEngineView>

namespace talvenor {

class PageBrowser : public QWebEngineView {
    Q_OBJECT
public:
    explicit PageBrowser(QWidget* parent = nullptr);

    // Loads a local file; returns at once, loading goes on.
    void NavigateFile(const QString& path);
    void NavigateBlank();
    // Zoom level 0..4 for the pages loaded afterwards (2 is 100%).
    void SetTextZoom(int level);
    static double ZoomFactor(int level);
    // 4 once the page has loaded (the ready state the reader waits for).
    int ReadyState() const { return readyState_; }

private:
    int readyState_ = 0;
    double zoom_ = 1.0;
};

}  // namespace talvenor

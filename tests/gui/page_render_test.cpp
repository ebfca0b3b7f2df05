// The reader page as a reader sees it: composed, written in GBK and loaded
// in the real browser engine (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include "catalogue/sites.h"
#include "platform/page_browser.h"
#include "platform/wait_qt.h"
#include "reader/page_text.h"
#include "support/page_server.h"
#include "test_home.h"
#include "text/files.h"

using namespace talvenor;

namespace {

QString Evaluate(PageBrowser& browser, const QString& script) {
    return browser.Evaluate(script).toString();
}

}  // namespace

TEST(ReaderPage, ShowsTheChapterTextInTheChosenColours) {
    TestHome home;
    ReaderPrefs prefs;
    prefs.BackgroundAttr = " bgcolor=#FFFFCC";
    prefs.TextColorAttr = "><font color=#0000FF";
    prefs.FontSizeAttr = " Size=5";
    std::string content = "<h1>" + G("第三章 夜探古寺") + "</h1>" + G("　　沈青缓缓地握紧了手中的长剑。") +
                          "<br>" + G("　　天边的云慢慢染成了红色。") + "<br>";
    AddParagraphSpacing(content, prefs);
    const std::string path = home.dir() + "tmp.htm";
    WriteFileAtomic(path, ComposePage(Frame::B, content, prefs, "<i>footer</i>"));

    PageBrowser browser;
    browser.resize(800, 600);
    browser.show();
    browser.NavigateFile(QString::fromStdString(path));
    ASSERT_TRUE(WaitFor([&] { return browser.ReadyState() == 4; }));

    QString text = Evaluate(browser, "document.body.innerText");
    EXPECT_TRUE(text.contains(QString::fromUtf8("沈青缓缓地握紧了手中的长剑。"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("第三章 夜探古寺")));
    EXPECT_TRUE(text.contains("footer"));
    EXPECT_EQ(Evaluate(browser, "getComputedStyle(document.body).backgroundColor"), "rgb(255, 255, 204)");
    // The chapter text stands in the blue font element that opens the column.
    EXPECT_EQ(Evaluate(browser,
                       "(function(){var w=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT);"
                       "while(w.nextNode()){if(w.currentNode.data.indexOf('\\u6c88\\u9752')>=0)"
                       "return getComputedStyle(w.currentNode.parentElement).color;}return 'none';})()"),
              "rgb(0, 0, 255)");
    // The column is 800 pixels wide and centred.
    EXPECT_EQ(Evaluate(browser, "String(document.querySelector('td').getAttribute('width'))"), "800");
}

// The desktop's web browser, as a test sees it.
class OutsideBrowser : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void Open(const QUrl& url) { opened << url; }
};

// A page as hostile as a site could make it, shown raw (not cleaned): the
// browser alone must keep it from running script, reading local files or
// sending anything anywhere.  Every request the page makes of the web is
// logged by the test's server; only the picture may arrive.
TEST(ReaderPage, AHostilePageRunsNothingReadsNoFileAndLeaksNothing) {
    TestHome home;
    PageServer server;
    const std::string base = server.base();
    server.ServeAs("/pic.gif", "GIF89a", "image/gif");
    // Local files a page would like to read: they name the leak path too,
    // so loading them would show on the server.
    const std::string secret = home.dir() + "secret.htm";
    WriteFileAtomic(secret, "<img src=" + base + "/leak?from-secret-file>");
    WriteFileAtomic(home.dir() + "secret.css", "body{background:url(" + base + "/leak?from-secret-css)}");
    const std::string mark =
        "document.title='pwned';document.documentElement.setAttribute('data-pwned','1');";
    const std::string page =
        "<htm><base target=_Blank><body><center><table><td width=800><br><a id=out href=\"" + base +
        "/leak?click\">link</a>" + G("正文照常显示") + "<script>" + mark + "new Image().src='" + base +
        "/leak?script'</script>"
        "<img src=nothing onerror=\"" +
        mark + "\"><svg onload=\"" + mark +
        "\"></svg>"
        "<input autofocus onfocus=\"" +
        mark +
        "\">"
        "<iframe src=\"file://" +
        secret +
        "\"></iframe><iframe src=\"file:///etc/passwd\"></iframe>"
        "<iframe src=\"" +
        base +
        "/leak?frame\"></iframe>"
        "<link rel=stylesheet href=\"file://" +
        home.dir() +
        "secret.css\">"
        "<style>@import url(file://" +
        home.dir() +
        "secret.css);</style>"
        "<object data=\"" +
        base + "/leak?object\"></object><embed src=\"" + base +
        "/leak?embed\">"
        "<video src=\"" +
        base +
        "/leak?video\" autoplay></video>"
        "<link rel=prefetch href=\"" +
        base +
        "/leak?prefetch\">"
        "<meta http-equiv=refresh content=\"0;url=" +
        base +
        "/leak?refresh\">"
        "<img src=\"" +
        base + "/pic.gif\"></td></table><hr></font><body></htm>";
    const std::string path = home.dir() + G("小说") + "/tmp.htm";
    MakeDirs(home.dir() + G("小说"));
    WriteFileAtomic(path, page);

    // The desktop's browser, as the page would get it.
    OutsideBrowser outside;
    QDesktopServices::setUrlHandler("http", &outside, "Open");
    struct Unset {
        ~Unset() { QDesktopServices::unsetUrlHandler("http"); }
    } unset;

    PageBrowser browser;
    QList<QUrl> refused;
    QObject::connect(&browser, &PageBrowser::refused, [&](const QUrl& url) { refused << url; });
    browser.resize(800, 600);
    browser.show();
    const QUrl pageUrl = QUrl::fromLocalFile(QString::fromStdString(path));
    browser.NavigateFile(QString::fromStdString(path));
    ASSERT_TRUE(browser.WaitPainted());
    auto refusedWith = [&](const char* part) {
        for (const QUrl& u : refused)
            if (u.toString().contains(QLatin1String(part))) return true;
        return false;
    };
    // The refresh and the local files were asked for, and refused.
    EXPECT_TRUE(WaitFor([&] { return refusedWith("leak?refresh"); })) << refused.size();
    EXPECT_TRUE(WaitFor([&] { return server.Requests().size() >= 1; }));
    EXPECT_TRUE(refusedWith("secret") || refusedWith("passwd"));

    // A click on the link opens it outside; the page stays.
    const QVariantList at = browser
                                .Evaluate(
                                    "(function(){var r=document.getElementById('out')"
                                    ".getBoundingClientRect();return [r.left+3,r.top+3];})()")
                                .toList();
    ASSERT_EQ(at.size(), 2);
    QTest::mouseClick(browser.focusProxy(), Qt::LeftButton, {}, QPoint(at[0].toInt(), at[1].toInt()));
    ASSERT_TRUE(WaitFor([&] { return !outside.opened.isEmpty(); }));
    EXPECT_EQ(outside.opened.value(0), QUrl(QString::fromStdString(base + "/leak?click")));
    EXPECT_EQ(browser.url(), pageUrl);

    EXPECT_FALSE(Evaluate(browser, "document.title").contains("pwned"));
    EXPECT_EQ(Evaluate(browser, "String(document.documentElement.getAttribute('data-pwned'))"), "null");
    EXPECT_TRUE(Evaluate(browser, "document.body.innerText").contains(QString::fromUtf8("正文照常显示")));
    const std::vector<std::string> requests = server.Requests();
    EXPECT_EQ(requests, std::vector<std::string>{"/pic.gif"});
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "page_render_test.moc"

// The reader page as a reader sees it: composed, written in GBK and loaded
// in the real browser engine (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>

#include "catalogue/sites.h"
#include "platform/page_browser.h"
#include "platform/wait_qt.h"
#include "reader/page_text.h"
#include "test_home.h"
#include "text/files.h"

using namespace talvenor;

namespace {

QString Evaluate(PageBrowser& browser, const QString& script) {
    QString result;
    bool done = false;
    browser.page()->runJavaScript(script, [&](const QVariant& v) {
        result = v.toString();
        done = true;
    });
    WaitFor([&] { return done; });
    return result;
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

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// A book whose chapter list and chapters carry hostile markup (the demo
// sites' "hostile" fault), read in the real reader window: the text shows,
// the titles show as text, and nothing of the markup runs or loads.
#include <QPushButton>
#include <QUrl>

#include "app/reader_window.h"
#include "gui_fixture.h"
#include "platform/page_browser.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

class HostileChapterTest : public GuiTest {
  protected:
    ReaderWindow& rw() { return windows->reader(); }
    PageBrowser& browser() { return *rw().WebBrowser1(); }
    QString Js(const QString& script) { return browser().Evaluate(script).toString(); }
    bool WaitPage() {
        return WaitFor([&] {
            PageBrowser* b = rw().WebBrowser1();
            return b && b->ReadyState() == 4 && !f2().PageTurnBusy;
        });
    }
    // What the browser itself finds in the page it shows: elements that
    // load or run something, handlers, script addresses.
    QString ActiveMarkup() {
        return Js(
            "(function(){var bad=[];"
            "document.querySelectorAll('script,iframe,frame,object,embed,applet,meta,link,form,noscript')"
            ".forEach(function(e){bad.push(e.tagName);});"
            "document.querySelectorAll('base').forEach(function(e){if(e.hasAttribute('href'))bad.push('base "
            "href');});"
            "document.querySelectorAll('*').forEach(function(e){for(var i=0;i<e.attributes.length;i++){"
            "var a=e.attributes[i];if(/^on/i.test(a.name))bad.push(e.tagName+' '+a.name);"
            "if(/^\\s*(javascript|vbscript|data):/i.test(a.value))bad.push(e.tagName+' "
            "'+a.name+'='+a.value);}});"
            "return bad.join(', ');})()");
    }
    bool Leaked() {
        for (const std::string& r : sites.RequestLog())
            if (r.find("/leak") != std::string::npos) return true;
        return false;
    }
};

}  // namespace

TEST_F(HostileChapterTest, TheTextShowsAndNothingOfTheMarkupRunsOrLoads) {
    Start();
    cat().N2->trigger();  // 多玩
    UpdateCategory(1);
    QListView* books = cat().Panel5->ListBox2;
    ASSERT_FALSE(Rows(books).isEmpty());
    // Every chapter list and chapter of 多玩 from here on carries the markup.
    demo::Fault fault;
    fault.host = "duowan.localhost";
    fault.match = "/book/";
    fault.kind = demo::FaultKind::Hostile;
    sites.AddFault(fault);

    DoubleClickRow(books, 0);
    ASSERT_TRUE(WaitFor([&] { return windows->readerMade() && rw().isVisible(); }));
    ASSERT_TRUE(WaitPage());
    const std::optional<demo::Book> book = content().BookByKey(demo::Site::Duowan, f2().BookUrl);
    ASSERT_TRUE(book);

    for (int chapter = 0; chapter < 2; ++chapter) {
        SCOPED_TRACE(chapter);
        ASSERT_TRUE(browser().WaitPainted());
        const QString text = Js("document.body.innerText");
        // The chapter's own text is there, and the first title's markup
        // stands in the heading as text.
        EXPECT_TRUE(
            text.contains(U(content().ChapterOf(*book, chapter + 1).paragraphs.at(0)).trimmed().left(12)))
            << text.toStdString();
        if (chapter == 0) {
            EXPECT_TRUE(text.contains("<script>document.title='pwned'")) << text.toStdString();
        }
        EXPECT_EQ(ActiveMarkup(), "");
        EXPECT_FALSE(Js("document.title").contains("pwned"));
        EXPECT_EQ(Js("String(document.documentElement.getAttribute('data-pwned'))"), "null");
        EXPECT_EQ(browser().url(), QUrl::fromLocalFile(rw().PagePath()));
        if (chapter == 0) {
            QTest::mouseClick(rw().BtnNext, Qt::LeftButton);
            ASSERT_TRUE(WaitFor([&] { return CurrentRow(rw().ListBox1) == 1; }));
            ASSERT_TRUE(WaitPage());
        }
    }
    EXPECT_FALSE(Leaked());
    // The markup did reach the reader: the sites served it.
    size_t served = 0;
    for (const std::string& r : sites.RequestLog())
        if (r.find("/book/") != std::string::npos) ++served;
    EXPECT_GE(served, 3u);
}

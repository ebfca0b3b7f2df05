// The search panel, the watch list, introductions as hints, skins and the
// outside links, driven through the windows.
#include <QDesktopServices>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QToolTip>
#include <QUrl>

#include "app/application_qt.h"
#include "app/book_panel_widget.h"
#include "app/search_panel_widget.h"
#include "catalogue/skins.h"
#include "gui_fixture.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

// Addresses handed to the desktop's web browser.
class BrowserSpy : public QObject {
    Q_OBJECT
  public:
    BrowserSpy() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open"); }
    ~BrowserSpy() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

// The hint a user sees when the mouse rests on the list.
QString HintOf(QListView* view) {
    QToolTip::hideText();
    const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

}  // namespace

TEST_F(GuiTest, SearchTheSitesInTurnAndKeepAWatchList) {
    Start();
    cat().N14->trigger();
    SearchPanel* panel = cat().PanelLeft2;
    ASSERT_TRUE(panel->isVisible());
    EXPECT_FALSE(cat().PanelLeft1->isVisible());
    EXPECT_EQ(panel->width(), 200);
    EXPECT_EQ(panel->ComboBox1->currentText(), U("小说520"));
    EXPECT_EQ(panel->ComboBox1->count(), 5);
    EXPECT_EQ(panel->Edit1->text(), U("书名"));
    // A click in the box selects its text, ready to be typed over.
    QTest::mouseClick(panel->Edit1, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return panel->Edit1->selectedText() == U("书名"); }));

    // Found on 小说520 at once.
    const demo::Book s520 = content().BookAt(demo::Site::S520, 0, 2);
    Type(panel->Edit1, U(s520.title));
    QTest::keyClick(panel->Edit1, Qt::Key_Return);
    QStringList titles;
    for (const auto& b : content().Search(demo::Site::S520, s520.title)) titles << U("《" + b.title + "》");
    EXPECT_EQ(Rows(panel->ListBoxLeft), titles);

    // A title only 飞库 has: 小说520 finds nothing, 多玩 says so, Yes each time.
    const demo::Book feiku = content().BookAt(demo::Site::Feiku, 1, 4);
    ASSERT_TRUE(content().Search(demo::Site::S520, feiku.title).empty());
    ASSERT_TRUE(content().Search(demo::Site::Duowan, feiku.title).empty());
    panel->Edit1->selectAll();
    Type(panel->Edit1, U(feiku.title));
    modal.Yes();
    modal.Ok();
    modal.Yes();
    QTest::mouseClick(panel->Button1, Qt::LeftButton);
    ASSERT_EQ(modal.seen.size(), 3u);
    EXPECT_EQ(modal.seen[0].title, U("信息"));
    EXPECT_EQ(modal.seen[0].text, U("没有找到，要不要在下一个网站中继续搜索"));
    EXPECT_EQ(modal.seen[1].text, U("没找到"));
    EXPECT_EQ(panel->ComboBox1->currentText(), U("飞库"));
    EXPECT_EQ(Rows(panel->ListBoxLeft).size(),
              static_cast<int>(content().Search(demo::Site::Feiku, feiku.title).size()));
    EXPECT_TRUE(Rows(panel->ListBoxLeft).contains(U(feiku.title)));

    // 小说阅读网 and 言情小说吧, chosen by hand.
    for (demo::Site site : {demo::Site::Readnovel, demo::Site::Xs8}) {
        const demo::Book book = content().BookAt(site, 0, 3);
        // Chosen with the keys, as a user does.
        panel->ComboBox1->setFocus();
        QTest::keyClick(panel->ComboBox1, Qt::Key_Down);
        panel->Edit1->selectAll();
        Type(panel->Edit1, U(book.title));
        QTest::mouseClick(panel->Button1, Qt::LeftButton);
        EXPECT_TRUE(Rows(panel->ListBoxLeft).join("|").contains(U(book.title))) << book.title;
    }

    // The watch list: added twice, removed once; its files follow.
    QListView* watch = cat().Panel5->ListBox2;
    // 添加>>> with no result chosen: the failed lookup is told; nothing is added.
    ASSERT_EQ(CurrentRow(panel->ListBoxLeft), -1);
    modal.Ok();
    QTest::mouseClick(panel->Button2, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().text, U("列表索引越界 (-1)"));
    EXPECT_TRUE(Rows(watch).isEmpty());
    EXPECT_FALSE(FileExists(paths.setDir + "lianzai.sname"));
    ClickRow(panel->ListBoxLeft, 0);
    const QString chosen = Rows(panel->ListBoxLeft)[0];
    modal.Ok();
    modal.Ok();
    QTest::mouseClick(panel->Button2, Qt::LeftButton);
    QTest::mouseClick(panel->Button2, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().text, U("OK！"));
    EXPECT_EQ(Rows(watch), QStringList({chosen, chosen}));
    EXPECT_EQ(LoadList(paths.setDir + "lianzai.surl").size(), 2u);
    ClickRow(watch, 1);
    modal.Ok();
    QTest::mouseClick(panel->Button3, Qt::LeftButton);
    EXPECT_EQ(Rows(watch), QStringList({chosen}));
    EXPECT_EQ(LoadList(paths.setDir + "lianzai.sname"), StringList({Gbk(chosen)}));

    // An empty search text asks no site.
    const size_t requests = sites.RequestLog().size();
    panel->Edit1->selectAll();
    QTest::keyClick(panel->Edit1, Qt::Key_Delete);
    modal.Ok();
    QTest::mouseClick(panel->Button1, Qt::LeftButton);
    EXPECT_EQ(modal.seen.back().text, U("请输入要搜索的书名"));
    EXPECT_EQ(sites.RequestLog().size(), requests);

    // A site from the menu brings the categories back; the panel again shows the list saved last.
    cat().N29->trigger();
    EXPECT_TRUE(cat().PanelLeft1->isVisible());
    EXPECT_FALSE(panel->isVisible());
    cat().N14->trigger();
    EXPECT_EQ(Rows(watch), QStringList({chosen}));
    EXPECT_EQ(CurrentRow(watch), 0);
}

TEST_F(GuiTest, TitleOnTheCommandLineIsSearchedAtStart) {
    const demo::Book book = content().BookAt(demo::Site::S520, 1, 0);
    Start({Utf8ToGbk(book.title)});
    SearchPanel* panel = cat().PanelLeft2;
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->Edit1->text(), U(book.title));
    EXPECT_TRUE(Rows(panel->ListBoxLeft).contains(U("《" + book.title + "》")));
}

TEST_F(GuiTest, IntroductionAppearsAsTheBooksHint) {
    Start();
    cat().N2->trigger();
    UpdateCategory(1);
    QListView* books = cat().Panel5->ListBox2;
    ClickRow(books, 0);
    EXPECT_EQ(HintOf(books), BookPanel::HintHtml(G("没有简介，可以右击选择更新。")));
    EXPECT_TRUE(QToolTip::text().contains(U("没有简介，可以右击选择更新。")));

    // 更新小说简介, held at the server: a click meanwhile is refused.
    demo::Fault hold;
    hold.host = "duowan.localhost";
    hold.match = "index.html";
    hold.kind = demo::FaultKind::Hold;
    const int holdId = sites.AddFault(hold);
    cat().Panel5->N23->trigger();
    ASSERT_TRUE(WaitFor([&] { return sites.Held() == 1; }));
    modal.Ok();
    ClickRow(books, 1);
    EXPECT_EQ(modal.seen.back().text, U("别点那么快，上一个简介还没下载完"));
    EXPECT_EQ(CurrentRow(books), 1);
    sites.RemoveFault(holdId);
    sites.ReleaseHeld();
    ASSERT_TRUE(WaitFor([&] { return f1().ListBox2.tag == 0; }));

    const demo::Book book = content().BookAt(demo::Site::Duowan, 0, 0);
    ASSERT_FALSE(book.intro.empty());
    ClickRow(books, 0);
    const QString hint = HintOf(books);
    for (const auto& line : book.intro) EXPECT_TRUE(hint.contains(U(line).toHtmlEscaped())) << line;
}

TEST_F(GuiTest, SkinsAreChosenKeptAndRefused) {
    const std::string folder = SkinFolder(paths);
    MakeDirs(folder);
    const std::string night = "QWidget { background: #1f2126; color: #d9d4c7; }";
    WriteFileAtomic(folder + "night.skn", night);
    WriteFileAtomic(folder + "junk.skn", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    WriteFileAtomic(folder + "broken.skn", "QWidget { color: ");
    Start();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());

    modal.ChooseFile(U(folder + "night.skn"));
    cat().N16->trigger();
    EXPECT_EQ(qApp->styleSheet(), U(night));
    cat().N20->trigger();
    EXPECT_EQ(LoadList(paths.setDir + "skn"), StringList({"night.skn"}));

    for (const char* name : {"junk.skn", "broken.skn"}) {
        modal.ChooseFile(U(folder + name));
        modal.Ok();
        cat().N16->trigger();
        EXPECT_EQ(qApp->styleSheet(), U(night)) << name;
    }
    QStringList messages = modal.Texts();
    messages.removeAll(QString());  // the file dialogs
    EXPECT_EQ(messages, QStringList({U("这不是皮肤文件（样式表）：" + folder + "junk.skn"),
                                     U("皮肤文件有错误，无法使用：" + folder + "broken.skn")}));

    // The next start wears the default skin.
    windows.reset();
    qApp->setStyleSheet(QString());
    Start();
    EXPECT_EQ(qApp->styleSheet(), U(night));
}

TEST_F(GuiTest, ForumAndBookShopsOpenInTheBrowser) {
    Start();
    {
        BrowserSpy browser;
        cat().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&cat()));
        QTest::keyClick(&cat(), Qt::Key_F3);
        cat().N22->trigger();
        modal.Type(U("重生"));
        cat().shopItems[1]->trigger();
        EXPECT_EQ(modal.seen.back().title, U("搜索指定书名或作者的实体书") + QString(10, ' '));
        EXPECT_EQ(modal.seen.back().text, U("搜索包含指定关键词的实体书。例如：重生") + QString(15, ' '));
        modal.Type(U("重生"));
        cat().shopItems[2]->trigger();
        const SiteHosts& h = Hosts();
        ASSERT_EQ(browser.opened.size(), 4);
        EXPECT_EQ(browser.opened[0].toString(), U(h.forum + "/index.php"));
        EXPECT_EQ(browser.opened[1].toString(), U(h.forum + "/forumdisplay.php?fid=2"));
        // The keyword goes as its GBK bytes.
        EXPECT_EQ(browser.opened[2].toEncoded().toStdString(),
                  h.zhuoyue +
                      "/search/search.asp?searchType=1&source=talvenor&searchKind=author"
                      "&bestSaleNum=3&pageletid=headsearch&searchWord=%D6%D8%C9%FA");
        EXPECT_EQ(browser.opened[3].toEncoded().toStdString(),
                  h.dangdang + "/league/leagueref.asp?from=talvenor&backurl=" + h.dangdang +
                      "/search.aspx?key=%D6%D8%C9%FA");
        // The demo's shop finds the keyword as the shop would.
        HttpClient client(HttpSettings::RunTime());
        const std::string page = FetchPage(client, browser.opened[2].toEncoded().toStdString());
        EXPECT_NE(page.find(G("“重生”")), std::string::npos);
    }
    // Without any browser the failure is shown, and the program goes on:
    // no browser named by the environment, and none on an empty PATH.
    const QByteArray path = qgetenv("PATH");
    const QTemporaryDir empty;
    qunsetenv("DEFAULT_BROWSER");
    qunsetenv("BROWSER");
    qputenv("PATH", empty.path().toLocal8Bit());
    modal.Ok();
    cat().N11->trigger();
    qputenv("PATH", path);
    ASSERT_FALSE(modal.seen.empty());
    EXPECT_TRUE(modal.seen.back().text.startsWith(U("无法启动网页浏览器")));
    EXPECT_TRUE(cat().isVisible());
}

TEST_F(GuiTest, WaitingForAFetchKeepsTheWindowsAlive) {
    Start();
    cat().N14->trigger();
    // The search page is held at the server until a timer, and then work
    // handed over by another thread, have run during the wait: the search
    // only ends if both do.  (Otherwise it fails on the client's time-out,
    // with nothing found.)
    demo::Fault hold;
    hold.host = "xs520.localhost";
    hold.kind = demo::FaultKind::Hold;
    hold.times = 1;
    sites.AddFault(hold);
    bool tickedDuringWait = false, postedDuringWait = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (tickedDuringWait || sites.Held() == 0) return;
        tickedDuringWait = true;
        std::thread([&] {
            windows->desktop().Post([&] {
                postedDuringWait = sites.Held() > 0;
                sites.ReleaseHeld();
            });
        }).join();
    });
    timer.start(20);
    const demo::Book book = content().BookAt(demo::Site::S520, 0, 0);
    cat().PanelLeft2->Edit1->selectAll();
    Type(cat().PanelLeft2->Edit1, U(book.title));
    QTest::mouseClick(cat().PanelLeft2->Button1, Qt::LeftButton);
    EXPECT_TRUE(tickedDuringWait);
    EXPECT_TRUE(postedDuringWait);
    EXPECT_FALSE(Rows(cat().PanelLeft2->ListBoxLeft).isEmpty());
}

#include "search_window_test.moc"

TEST_F(GuiTest, TheNightSkinsSiteChooserShowsItsArrow) {
    // The skins the program brings, as the first start copies them.
    SeedSkinFolder(paths, {ExecutableDir() + "../src/app/skn/"});
    ASSERT_TRUE(FileExists(SkinFolder(paths) + "night.skn"));
    Start();
    RunHandler(windows->desktop(), [&] { f1().ActivateSkin(SkinFolder(paths) + "night.skn"); });
    ASSERT_FALSE(qApp->styleSheet().isEmpty());
    cat().N14->trigger();
    QComboBox* chooser = cat().PanelLeft2->ComboBox1;
    ASSERT_TRUE(chooser->isVisible());
    // A dark box; the arrow at its right end stands out light.
    const QImage box = chooser->grab().toImage();
    const QImage end = box.copy(box.width() - 24, 0, 24, box.height());
    int light = 0;
    for (int y = 0; y < end.height(); ++y)
        for (int x = 0; x < end.width(); ++x)
            if (qGray(end.pixel(x, y)) > 180) ++light;
    EXPECT_LT(qGray(box.pixel(box.width() / 2, box.height() - 3)), 80) << "the box is not dark";
    EXPECT_GE(light, 12) << "no arrow to be seen";
}

TEST_F(GuiTest, TheWatchListShowsNewChaptersAndTheTraySaysSo) {
    const demo::Book book = content().BookAt(demo::Site::Duowan, 0, 2);
    SaveList(paths.setDir + "lianzai.sname", {G(book.title.c_str())});
    SaveList(paths.setDir + "lianzai.surl", {book.key});
    // The check at start records where the book stands; nothing is new.
    Start();
    ASSERT_TRUE(WaitFor([&] { return f1().WatchChecksDone == 1; }));
    EXPECT_TRUE(windows->desktop().TrayMessages().empty());
    content().SetChapterCount(demo::Site::Duowan, book.key, book.chapterCount + 3);
    f1().StartWatchCheck();
    ASSERT_TRUE(WaitFor([&] { return f1().WatchChecksDone == 2; }));
    ASSERT_EQ(windows->desktop().TrayMessages().size(), 1u);
    EXPECT_EQ(windows->desktop().TrayMessages()[0].second, U("《" + book.title + "》更新了 3 章"));

    cat().N14->trigger();
    QListView* watch = cat().Panel5->ListBox2;
    ASSERT_TRUE(WaitFor([&] { return Rows(watch).size() == 1; }));
    EXPECT_EQ(Rows(watch), QStringList({U(book.title + "  （新 3 章）")}));
    if (const char* shot = std::getenv("TALVENOR_SHOT_DIR")) cat().grab().save(QString(shot) + "/watch.png");
    // The file keeps the bare name.
    EXPECT_EQ(LoadList(paths.setDir + "lianzai.sname"), StringList({G(book.title.c_str())}));
}

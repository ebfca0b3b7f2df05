// A site added by its rule file (docs/sites/qingdeng.toml copied into the
// home's sites/ folder) in the windows: its 网站 menu item after the five,
// its categories and a category's books over all list pages, its search as
// the last site of the search panel, and a book of it opened in the reader's
// chapter list.
#include <QMenuBar>

#include "app/book_panel_widget.h"
#include "app/search_panel_widget.h"
#include "catalogue/added_sites.h"
#include "gui_fixture.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

}  // namespace

TEST_F(GuiTest, AnAddedSiteIsReadThroughTheMenuTheBookListAndTheSearch) {
    MakeDirs(paths.appDir + "sites/");
    CopyFileOver(TALVENOR_DOCS_SITES "qingdeng.toml", paths.appDir + "sites/qingdeng.toml");
    hostProblems = PrepareAppDirs(paths);
    ASSERT_EQ(hostProblems, "");
    SiteHosts hosts = sites.hosts();
    hosts.added["qingdeng"] = content().qingdeng();
    SetHosts(hosts);
    Start();

    QMenu* menu = cat().menuBar()->actions()[0]->menu();
    EXPECT_EQ(MenuTexts(menu), QStringList({U("多玩文学博客"), U("*飞库手机电子书"), U("小说阅读网"), U("言情小说吧"),
                                            U("青灯书屋"), "-", U("搜书。。。"), U("检查网站")}));
    ASSERT_EQ(cat().addedSiteItems.size(), 1u);
    cat().addedSiteItems[0]->trigger();
    QStringList categories;
    for (int i = 0; i < content().CategoryCount(demo::Site::Qingdeng); ++i)
        categories << U(content().CategoryAt(demo::Site::Qingdeng, i).name);
    EXPECT_EQ(Rows(cat().ListBox1), categories);
    EXPECT_EQ(f1().CurrentSite, G("青灯书屋"));

    // The second category's books, from all three of its list pages, in
    // the site's order.
    UpdateCategory(1);
    QStringList books;
    for (int i = 0; i < content().BookCount(demo::Site::Qingdeng, 1); ++i)
        books << U("《" + content().BookAt(demo::Site::Qingdeng, 1, i).title + "》");
    ASSERT_EQ(books.size(), 60);
    EXPECT_EQ(Rows(cat().Panel5->ListBox2), books);
    EXPECT_EQ(cat().PanelStatus->text(), U("total: 60 本"));

    // Search: the added site is the last of the panel's sites.
    const demo::Book book = content().BookAt(demo::Site::Qingdeng, 2, 5);
    cat().N14->trigger();
    SearchPanel* panel = cat().PanelLeft2;
    ASSERT_EQ(panel->ComboBox1->count(), 6);
    EXPECT_EQ(panel->ComboBox1->itemText(5), U("青灯书屋"));
    panel->ComboBox1->setCurrentIndex(5);
    panel->Edit1->selectAll();
    Type(panel->Edit1, U(book.title));
    QTest::mouseClick(panel->Button1, Qt::LeftButton);
    QStringList found;
    for (const auto& b : content().Search(demo::Site::Qingdeng, book.title)) found << U("《" + b.title + "》");
    ASSERT_FALSE(found.isEmpty());
    EXPECT_EQ(Rows(panel->ListBoxLeft), found);

    // Its result, put on the watch list, opens the book on its site: the
    // chapter list of every list page.
    const int row = static_cast<int>(found.indexOf(U("《" + book.title + "》")));
    ASSERT_GE(row, 0);
    ClickRow(panel->ListBoxLeft, row);
    modal.Ok();
    QTest::mouseClick(panel->Button2, Qt::LeftButton);
    QListView* watch = cat().Panel5->ListBox2;
    ASSERT_EQ(Rows(watch), QStringList({U("《" + book.title + "》")}));
    EXPECT_EQ(f1().BookURLList.items.front(), "[qingdeng]" + book.key);
    DoubleClickRow(watch, 0);
    ASSERT_TRUE(WaitFor([&] { return !f4().window.visible && f2().window.visible; }));
    EXPECT_EQ(f1().CurrentSite, G("青灯书屋"));
    EXPECT_EQ(f2().ListBox1.Count(), book.chapterCount);
    EXPECT_EQ(f2().PageUrlList.items.back(), content().ChapterOf(book, book.chapterCount, false).url);
}

TEST_F(GuiTest, ABrokenRuleFileIsToldAtStartAndTheOthersLoad) {
    MakeDirs(paths.appDir + "sites/");
    CopyFileOver(TALVENOR_DOCS_SITES "qingdeng.toml", paths.appDir + "sites/qingdeng.toml");
    WriteFileAtomic(paths.appDir + "sites/bad.toml",
                    "[site]\nname = \"坏\"\nkey = \"bad\"\npage = \"gbk\"\n[intro]\nsteps = [ { find = 1 } ]\n");
    hostProblems = PrepareAppDirs(paths);
    modal.Ok();
    Start();
    ASSERT_TRUE(modal.WaitSeen(1));
    EXPECT_EQ(modal.seen[0].text, U("网站规则文件有错误，已略过：\n\n" + paths.appDir +
                                    "sites/bad.toml:6:20: 'find' must be a string (the file is skipped)\n"));
    QMenu* menu = cat().menuBar()->actions()[0]->menu();
    EXPECT_TRUE(MenuTexts(menu).contains(U("青灯书屋")));
    EXPECT_FALSE(MenuTexts(menu).contains(U("坏")));
}

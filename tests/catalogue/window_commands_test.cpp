// The catalogue window's own commands without a display: skins, 定位, the
// outside links, the tray and F7, and the search text it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "catalogue/outside_links.h"
#include "catalogue/skins.h"
#include "net/site_hosts.h"
#include "support/program_fixture.h"

using namespace talvenor;

namespace {

class WindowCommands : public ::testing::Test, public ProgramFixture {
  protected:
    void TearDown() override { SetHosts(SiteHosts::Demo()); }
    std::string Skin(const std::string& name, const std::string& text) {
        std::string folder = SkinFolder(paths);
        MakeDirs(folder);
        WriteFileAtomic(folder + name, text);
        return folder + name;
    }
    void Choose(const std::string& line) { SaveList(paths.setDir + "skn", {line}); }
};

const char* const kNight = "QWidget { background: #1e1f24; color: #d8d4c8; }\n/* 夜读 */\n";

}  // namespace

TEST_F(WindowCommands, StartPutsOnTheDefaultSkinOrTheDefaultLook) {
    Start();
    EXPECT_EQ(desktop.skins, std::vector<std::string>{""});  // the default look, asked for all the same
    EXPECT_EQ(program->SkinFileName, "");
    program.reset();

    const std::string night = Skin("night.skn", kNight);
    Choose("night.skn");
    desktop.skins.clear();
    Start();
    EXPECT_EQ(program->SkinFileName, night);
    EXPECT_EQ(desktop.skins, std::vector<std::string>{kNight});
    program.reset();

    // A full path is used as it stands.
    TestHome elsewhere;
    WriteFileAtomic(elsewhere.dir() + "blue.skn", "QPushButton { color: blue; }");
    Choose(elsewhere.dir() + "blue.skn");
    desktop.skins.clear();
    Start();
    EXPECT_EQ(program->SkinFileName, elsewhere.dir() + "blue.skn");
    EXPECT_EQ(desktop.skins, std::vector<std::string>{"QPushButton { color: blue; }"});
}

TEST_F(WindowCommands, SkinsThatAreNoStyleSheetsAreRefused) {
    Skin("junk.skn", std::string("\x7F"
                                 "ELF\x02\x01\x01\0\0\0",
                                 10));
    Skin("huge.skn", "/*" + std::string(kMaxSkinBytes, 'x') + "*/");
    Skin("latin1.skn", "QLabel { font-family: \"Caf\xE9\"; }");
    // At start a bad default skin says why, and the start goes on in the
    // default look with the choice kept.
    ASSERT_EQ(mkfifo((SkinFolder(paths) + "fifo.skn").c_str(), 0600), 0);
    const struct {
        const char* name;
        const char* why;
    } starts[] = {{"junk.skn", "这不是皮肤文件（样式表）："},
                  {"huge.skn", "皮肤文件太大"},
                  {"fifo.skn", "无法读取皮肤文件"}};
    for (const auto& bad : starts) {
        Choose(bad.name);
        Start();
        EXPECT_TRUE(desktop.skins.empty()) << bad.name;
        ASSERT_EQ(desktop.messages.size(), 1u) << bad.name;
        EXPECT_EQ(desktop.messages[0].rfind(G(bad.why), 0), 0u) << bad.name;
        EXPECT_NE(desktop.messages[0].find(bad.name), std::string::npos);
        EXPECT_EQ(program->SkinFileName, "");
        EXPECT_EQ(LoadList(paths.setDir + "skn"), StringList{bad.name});
        desktop.messages.clear();
    }

    // Chosen from the menu, each says why and the look in use stays.
    const std::string good = Skin("paper.skn", "QWidget { background: #f4ecd8; }");
    desktop.fileAnswers.push_back(good);
    f1().N16Click();
    ASSERT_EQ(desktop.skins.size(), 1u);
    for (const char* name : {"junk.skn", "huge.skn", "latin1.skn", "missing.skn"}) {
        desktop.fileAnswers.push_back(SkinFolder(paths) + name);
        f1().N16Click();
    }
    ASSERT_EQ(desktop.messages.size(), 4u);
    EXPECT_EQ(desktop.messages[0], G("这不是皮肤文件（样式表）：") + SkinFolder(paths) + "junk.skn");
    EXPECT_EQ(desktop.messages[1].rfind(G("皮肤文件太大"), 0), 0u);
    EXPECT_EQ(desktop.messages[2].rfind(G("这不是皮肤文件"), 0), 0u);
    EXPECT_EQ(desktop.messages[3].rfind(G("无法读取皮肤文件"), 0), 0u);
    EXPECT_EQ(desktop.skins.size(), 1u);
    EXPECT_EQ(program->SkinFileName, good);

    // The skin engine may refuse one too.
    desktop.skinRefused = true;
    desktop.fileAnswers.push_back(Skin("broken.skn", "QWidget { color: "));
    f1().N16Click();
    EXPECT_EQ(desktop.messages.back(), G("皮肤文件有错误，无法使用：") + SkinFolder(paths) + "broken.skn");
    EXPECT_EQ(program->SkinFileName, good);
    EXPECT_EQ(desktop.fileDialogs.back(),
              "open|" + G("皮肤文件（*.skn）|*.skn") + "|" + SkinFolder(paths) + "|.skn");
}

TEST_F(WindowCommands, DefaultSkinIsKeptByNameInTheSkinFolderElseByPath) {
    Start();
    f1().N20Click();  // no skin chosen: an empty line
    EXPECT_EQ(ReadFileBytes(paths.setDir + "skn"), "\r\n");

    desktop.fileAnswers.push_back(Skin("blue.skn", "QWidget {}"));
    f1().N16Click();
    f1().N20Click();
    EXPECT_EQ(LoadList(paths.setDir + "skn"), StringList{"blue.skn"});

    TestHome elsewhere;
    WriteFileAtomic(elsewhere.dir() + "blue.skn", "QWidget {}");
    desktop.fileAnswers.push_back(elsewhere.dir() + "blue.skn");
    f1().N16Click();
    f1().N20Click();
    EXPECT_EQ(LoadList(paths.setDir + "skn"), StringList{elsewhere.dir() + "blue.skn"});
    EXPECT_EQ(SkinPathOfChoice(paths, LoadList(paths.setDir + "skn")[0]), elsewhere.dir() + "blue.skn");
    EXPECT_EQ(SkinPathOfChoice(paths, "blue.skn"), SkinFolder(paths) + "blue.skn");
}

TEST_F(WindowCommands, SkinFolderIsFilledOnceFromTheBundledSkins) {
    TestHome bundled;
    WriteFileAtomic(bundled.dir() + "paper.skn", "a");
    WriteFileAtomic(bundled.dir() + "night.skn", "b");
    WriteFileAtomic(bundled.dir() + "README", "c");
    TestHome none;
    EXPECT_EQ(SeedSkinFolder(paths, {none.dir(), bundled.dir()}), 2);
    EXPECT_EQ(ReadFileBytes(SkinFolder(paths) + "night.skn"), "b");
    EXPECT_FALSE(FileExists(SkinFolder(paths) + "README"));
    // The user's own skin folder is never touched again.
    RemoveFile(SkinFolder(paths) + "night.skn");
    EXPECT_EQ(SeedSkinFolder(paths, {bundled.dir()}), 0);
    EXPECT_FALSE(FileExists(SkinFolder(paths) + "night.skn"));
}

TEST_F(WindowCommands, LocateSelectsTheFirstTitleHoldingTheText) {
    Start();
    f1().ListBox2.Assign(ProgramFixture::Gbk({"《天下》", "《重生之路》", "《我的重生》"}));
    f1().ListBox2.Select(0);
    desktop.promptAnswers.push_back({true, G("重生")});
    f1().Panel4Click();
    EXPECT_EQ(f1().ListBox2.itemIndex, 1);
    EXPECT_EQ(desktop.prompts.back(), G("定位    |定位到以前看的书        |"));
    // The next prompt starts with the text confirmed last; no match changes nothing.
    desktop.promptAnswers.push_back({true, G("无此书")});
    f1().Panel4Click();
    EXPECT_EQ(desktop.prompts.back(), G("定位    |定位到以前看的书        |重生"));
    EXPECT_EQ(f1().ListBox2.itemIndex, 1);
    // Blanks belong to the text; an empty text is found nowhere.
    for (const char* text : {"重生 ", ""}) {
        desktop.promptAnswers.push_back({true, G(text)});
        f1().Panel4Click();
        EXPECT_EQ(f1().ListBox2.itemIndex, 1);
    }
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(WindowCommands, BookShopAndForumAddressesComeFromTheHostsFile) {
    WriteFileAtomic(paths.setDir + kSiteHostsFile,
                    "forum = http://bbs.example\nzhuoyue = http://www.joyo.example\n"
                    "dangdang = http://search.dd.example\n");
    PrepareAppDirs(paths);
    Start();
    const std::string rebirth = G("重生");
    ASSERT_EQ(rebirth, "\xD6\xD8\xC9\xFA");
    desktop.promptAnswers.push_back({true, rebirth});
    f1().N4Click(1);
    desktop.promptAnswers.push_back({true, rebirth});
    f1().N4Click(0);
    desktop.promptAnswers.push_back({true, rebirth});
    f1().N4Click(2);
    desktop.promptAnswers.push_back({false, ""});
    f1().N4Click(2);  // cancelled: nothing opened
    f1().N11Click();
    f1().N22Click();
    ASSERT_EQ(desktop.openedUrls.size(), 5u);
    EXPECT_EQ(desktop.openedUrls[0],
              "http://www.joyo.example/search/search.asp?searchType=1&source=talvenor&searchKind=author"
              "&bestSaleNum=3&pageletid=headsearch&searchWord=\xD6\xD8\xC9\xFA");
    EXPECT_NE(desktop.openedUrls[1].find("&searchKind=name&"), std::string::npos);
    EXPECT_EQ(desktop.openedUrls[2],
              "http://search.dd.example/league/leagueref.asp?from=talvenor&backurl="
              "http://search.dd.example/search.aspx?key=\xD6\xD8\xC9\xFA");
    EXPECT_EQ(desktop.openedUrls[3], "http://bbs.example/index.php");
    EXPECT_EQ(desktop.openedUrls[4], "http://bbs.example/forumdisplay.php?fid=2");
    EXPECT_EQ(
        desktop.prompts[0],
        G("搜索指定书名或作者的实体书          |搜索包含指定关键词的实体书。例如：重生               |"));

    // No browser: a failure that names the address, for the general handler.
    desktop.browserMissing = true;
    try {
        f1().N11Click();
        FAIL() << "no failure";
    } catch (const BrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("http://bbs.example/index.php"), std::string::npos);
    }
}

TEST_F(WindowCommands, HotKeyHidesTheFirstVisibleWindowAndBringsItBack) {
    Start();
    ASSERT_TRUE(f1().window.visible);
    program->HotKeyPressed();
    EXPECT_FALSE(f1().window.visible);
    EXPECT_EQ(desktop.trayIcons, 1);
    EXPECT_EQ(program->TrayWindow, kTrayCatalogue);
    program->HotKeyPressed();
    EXPECT_TRUE(f1().window.visible);
    EXPECT_EQ(desktop.trayIcons, 0);

    // The reader shown: F7 hides it, and the next F7 shows the reader again.
    f1().window.visible = false;
    f2().window.visible = true;
    program->HotKeyPressed();
    EXPECT_FALSE(f2().window.visible);
    EXPECT_EQ(desktop.trayIcons, 1);
    program->HotKeyPressed();
    EXPECT_TRUE(f2().window.visible);
    EXPECT_FALSE(f1().window.visible);
    EXPECT_EQ(desktop.trayIcons, 0);

    // Minimising the progress window gives an icon of its own; its click shows it.
    f2().window.visible = false;
    f4().Show();
    program->SystemCommand(kTrayProgress, true);
    EXPECT_FALSE(f4().window.visible);
    EXPECT_EQ(program->trayIconOwner, kTrayProgress);
    program->TrayIconClicked();
    EXPECT_TRUE(f4().window.visible);
    EXPECT_EQ(desktop.trayIcons, 0);
    // Any other command only names the window.
    program->SystemCommand(kTrayCatalogue, false);
    EXPECT_EQ(program->TrayWindow, kTrayCatalogue);
    EXPECT_TRUE(f4().window.visible);
}

TEST_F(WindowCommands, WithoutATrayTheWindowStillComesBackWithF7) {
    desktop.trayRefused = true;
    Start();
    program->HotKeyPressed();
    EXPECT_FALSE(f1().window.visible);
    EXPECT_EQ(desktop.messages, std::vector<std::string>{"Add   systray   Failed!"});
    program->HotKeyPressed();
    EXPECT_TRUE(f1().window.visible);
}

TEST_F(WindowCommands, EmptyOrOverlongSearchTextAsksNoSite) {
    Start();
    f1().N14Click();
    for (std::string text : {std::string(), std::string("   "), std::string(51 * 2, '\xB0')}) {
        f1().Edit1Text = text;
        f1().Button1Click();
    }
    EXPECT_EQ(desktop.blockingRuns, 0);
    ASSERT_EQ(desktop.messages.size(), 3u);
    EXPECT_EQ(desktop.messages[0], G("请输入要搜索的书名"));
    EXPECT_EQ(desktop.messages[2], G("书名太长了，最多50个字"));
    EXPECT_TRUE(desktop.asked.empty());
}

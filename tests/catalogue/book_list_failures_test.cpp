// Book-list updates against sites that are down, slow, or send pages that
// are not what they should be: a stored catalogue is never lost, a walk
// always ends, and how the update ended is known.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "catalogue/worker_harness.h"
#include "support/small_disk.h"

using namespace talvenor;
namespace demo = talvenor::demo;
using demo::FaultKind;

namespace {

std::string Bytes(const std::string& path) {
    return FileExists(path) ? ReadFileBytes(path) : std::string("<none>");
}

// The names in a folder.
std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// A site folder's files as bytes, by name (a folder as "<folder>").
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files[e.path().filename().string()] = e.is_directory() ? "<folder>" : Bytes(e.path());
    return files;
}

StringList StoredList(WorkerHarness& h, Site site, const std::string& gbkName) {
    return LoadList(SiteFilePath(h.paths.appDir, Label(site), gbkName));
}

// A stored 言情小说吧 chunk set of made-up lines: chunk names -> lines.
void StoreChunks(const std::string& folder, const std::vector<std::string>& names, int lines) {
    MakeDirs(folder);
    SaveList(folder + "/fenlei.ml", names);
    for (const auto& name : names) {
        StringList titles, keys;
        for (int i = 0; i < lines; ++i) {
            titles.push_back("old " + name + " " + std::to_string(i));
            keys.push_back(name + "-" + std::to_string(i));
        }
        SaveList(folder + "/" + name + ".ml", titles);
        SaveList(folder + "/" + name + ".ml.list", keys);
    }
}

}  // namespace

TEST(BookListFailures, AFailedUpdateNeverWipesALongerStoredList) {
    WorkerHarness h;
    auto& c = h.content();

    // 飞库: sixty books stored, then every kind of failure on page 1 and a
    // failure on page 2 (twenty books would have replaced sixty).
    const demo::Category cat = c.CategoryAt(demo::Site::Feiku, 0);
    const std::string name = Gbk(cat.group + "-" + cat.name);
    const std::string file = SiteFilePath(h.paths.appDir, Label(Site::Feiku), name + ".ml");
    ASSERT_TRUE(h.RunBookList(Site::Feiku, cat.url, name));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Complete);
    const std::string titles = Bytes(file), keys = Bytes(file + ".list");
    const StringList shown = h.f1().ListBox2.items;
    ASSERT_EQ(shown.size(), 60u);
    const std::string page1 = "nclassid=" + cat.url + "&page=1", page2 = "nclassid=" + cat.url + "&page=2";
    const struct {
        const std::string& match;
        FaultKind kind;
        int value;
    } failures[] = {{page1, FaultKind::Status, 500},     {page1, FaultKind::Status, 404},
                    {page1, FaultKind::RedirectLoop, 0}, {page1, FaultKind::CutOff, 0},
                    {page1, FaultKind::EmptyBody, 0},    {page1, FaultKind::NoMarker, 0},
                    {page2, FaultKind::Status, 500}};
    for (const auto& f : failures) {
        SCOPED_TRACE(f.match + " fault " + std::to_string(static_cast<int>(f.kind)));
        const int fault = h.Fault("feiku.localhost", f.match, f.kind, f.value);
        h.ClearBooks();  // whatever the window showed, it shows the stored list again
        ASSERT_TRUE(h.RunBookList(Site::Feiku, cat.url, name));
        EXPECT_EQ(Bytes(file), titles);
        EXPECT_EQ(Bytes(file + ".list"), keys);
        EXPECT_EQ(h.f1().ListBox2.items, shown);
        EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::KeptStored);
        EXPECT_TRUE(h.f1().window.visible);
        h.sites.RemoveFault(fault);
    }
    // A shorter stored list gives way to what a failed walk gathered.
    SaveList(file, StringList(shown.begin(), shown.begin() + 10));
    const int late = h.Fault("feiku.localhost", "nclassid=" + cat.url + "&page=3", FaultKind::Status, 500);
    ASSERT_TRUE(h.RunBookList(Site::Feiku, cat.url, name));
    EXPECT_EQ(LoadList(file), StringList(shown.begin(), shown.begin() + 40));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Unfinished);
    h.sites.RemoveFault(late);

    // 言情小说吧: its whole list stored, then a first page that fails or is
    // no list page.  Nothing of the stored set changes, nothing is left
    // beside it, and the window shows it.
    const std::string xs8 = SiteFolder(h.paths.appDir, Label(Site::Xs8));
    ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", Label(Site::Xs8)));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Complete);
    const auto stored = Snapshot(xs8);
    const StringList storedBooks = h.f1().ListBox2.items;
    ASSERT_EQ(storedBooks.size(), 150u);
    for (auto kind : {FaultKind::Status, FaultKind::EmptyBody, FaultKind::NoMarker}) {
        SCOPED_TRACE("言情小说吧 fault " + std::to_string(static_cast<int>(kind)));
        const int fault = h.Fault("xs8.localhost", "page=1", kind);
        h.ClearBooks();
        ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", Label(Site::Xs8)));
        EXPECT_EQ(Snapshot(xs8), stored);
        EXPECT_EQ(h.f1().ListBox1.items, StringList{"5000"});
        EXPECT_EQ(h.f1().ListBox2.items, storedBooks);
        EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::KeptStored);
        h.sites.RemoveFault(fault);
    }

    // 多玩 puts new books on top of the stored ones: a failure loses nothing
    // there, but is reported all the same.
    const demo::Category duowan = c.CategoryAt(demo::Site::Duowan, 0);
    ASSERT_TRUE(h.RunBookList(Site::Duowan, duowan.url, "d"));
    const StringList duowanBooks = h.f1().ListBox2.items;
    h.sites.AddBooks(demo::Site::Duowan, 0, 3);
    h.Fault("duowan.localhost", "c1_1.html", FaultKind::Status, 503);
    ASSERT_TRUE(h.RunBookList(Site::Duowan, duowan.url, "d"));
    EXPECT_EQ(h.f1().ListBox2.items, duowanBooks);
    EXPECT_EQ(StoredList(h, Site::Duowan, "d.ml"), duowanBooks);
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Unfinished);
}

TEST(BookListFailures, Xs8ChunkSetChangesOnlyAsAWhole) {
    demo::DemoOptions options;
    options.xs8Books = 12000;
    options.pageSize = 500;  // a chunk every ten pages
    WorkerHarness h(options);
    const std::string xs8 = SiteFolder(h.paths.appDir, Label(Site::Xs8));

    // Cancelled after the first new chunk: the stored set stays whole, and
    // nothing of the new one is left beside it.
    StoreChunks(xs8, {"5000", "10000"}, 5000);
    const auto stored = Snapshot(xs8);
    h.f1().CurrentSite = Label(Site::Xs8);
    ASSERT_TRUE(h.f1().LoadCategories());
    h.Fault("xs8.localhost", "page=15", FaultKind::Hold);
    h.desktop.answers = {true};
    h.f1().Panel3Click();
    auto worker = h.program->CurrentWorker;
    // The request is seen as it arrives, while its answer is held back.
    ASSERT_TRUE(h.desktop.PumpUntil([&] { return h.sites.Held() == 1; }, std::chrono::seconds(60)));
    h.f4().Button1Click();
    ASSERT_TRUE(h.desktop.PumpUntil([&] { return worker->Finished(); }, std::chrono::seconds(60)));
    h.sites.ReleaseHeld();
    EXPECT_EQ(Snapshot(xs8), stored);
    EXPECT_EQ(h.f1().ListBox1.items, (StringList{"5000", "10000"}));
    h.sites.ClearFaults();

    // Complete, the new set replaces the old one as a whole: chunks the new
    // category file no longer names go.
    StoreChunks(xs8, {"5000", "10000", "15000", "20000"}, 10);
    ASSERT_TRUE(h.RunBookList(Site::Xs8, "main", Label(Site::Xs8)));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Complete);
    const StringList names = {"5000", "10000", "15000"};
    EXPECT_EQ(StoredList(h, Site::Xs8, "fenlei.ml"), names);
    EXPECT_EQ(h.f1().ListBox1.items, names);
    EXPECT_EQ(Entries(xs8), (std::set<std::string>{"fenlei.ml", "5000.ml", "5000.ml.list", "10000.ml",
                                                   "10000.ml.list", "15000.ml", "15000.ml.list"}));
    EXPECT_EQ(StoredList(h, Site::Xs8, "15000.ml.list").size(), 2000u);
    EXPECT_EQ(StoredList(h, Site::Xs8, "5000.ml").front().substr(0, 2), G("《"));
}

TEST(BookListFailures, WhatAKilledUpdateLeftIsPutRightAtTheNextStart) {
    ProgramFixture f;
    const std::string xs8 = SiteFolder(f.paths.appDir, Label(Site::Xs8));
    const std::string duowan = SiteFolder(f.paths.appDir, Label(Site::Duowan));
    StoreChunks(xs8, {"5000", "10000"}, 3);
    const auto stored = Snapshot(xs8);
    // A dead program's files (no process has a number that large) and a
    // running one's.
    const std::string dead = xs8 + "/.staging-999999999-1";
    StoreChunks(dead, {"5000"}, 2);
    MakeDirs(duowan);
    WriteFileAtomic(duowan + "/a.ml.tmp-999999999-7", "half");
    const std::string live = duowan + "/b.ml.tmp-" + std::to_string(getpid()) + "-7";
    WriteFileAtomic(live, "being written");
    const std::string running = xs8 + "/.staging-999999999-2";
    MakeDirs(running);
    const int lock = ::open((running + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    // Not yet switching: the new chunks go, the stored set stays.
    f.Start();
    EXPECT_FALSE(DirExists(dead));
    EXPECT_TRUE(DirExists(running));
    auto after = Snapshot(xs8);
    after.erase(".staging-999999999-2");
    EXPECT_EQ(after, stored);
    EXPECT_EQ(Entries(duowan), std::set<std::string>{live.substr(duowan.size() + 1)});
    f.program.reset();
    ::close(lock);
    std::filesystem::remove_all(running);

    // Killed while switching: the new set is completed, the old chunks it no
    // longer names go.
    StoreChunks(dead, {"5000"}, 2);
    WriteFileAtomic(dead + "/.switching", "");
    std::filesystem::rename(dead + "/5000.ml", xs8 + "/5000.ml");
    const std::string newKeys = Bytes(dead + "/5000.ml.list");
    f.Start();
    EXPECT_FALSE(DirExists(dead));
    EXPECT_EQ(Entries(xs8), (std::set<std::string>{"fenlei.ml", "5000.ml", "5000.ml.list"}));
    EXPECT_EQ(f.Stored("言情小说吧", "fenlei.ml"), StringList{"5000"});
    EXPECT_EQ(Bytes(xs8 + "/5000.ml.list"), newKeys);
    EXPECT_EQ(f.Stored("言情小说吧", "5000.ml").size(), 2u);
    // The program then shows it.
    f.f1().CurrentSite = Label(Site::Xs8);
    ASSERT_TRUE(f.f1().LoadCategories());
    EXPECT_EQ(f.f1().ListBox2.Count(), 2);
}

TEST(BookListFailures, APageCountThatIsNoNumberEndsThePagingWithItsBooks) {
    WorkerHarness h;
    PageServer pages;
    SiteHosts hosts = h.sites.hosts();
    hosts.feiku = pages.base();
    hosts.readnovel = pages.base();
    SetHosts(hosts);
    const std::string head = "<html><head><title>" + std::string(120, '-') + "</title></head><body>";

    auto feikuBook = [](int n) {
        const std::string id = std::to_string(n);
        return "<ul><li class=\"li1\">" + id + "</li><li class=\"li2\"><a target=_blank href=\"/files/1/" +
               id + "/List.shtm\">[目录]</a><a target=_blank href=\"/book/" + id + "/Index.html\">书" + id +
               "</a></li><li class=\"li3\"><a href=\"x\">第一章</a></li><li class=\"li4\">2020-01-01</li>"
               "<li class=\"li5\"><a href=\"/Author/1.html\">某人</a></li><li class=\"li6\">&nbsp;连载中</li>"
               "</ul>\r\n";
    };
    pages.Serve("/Book/ShowBookList.aspx",
                Gbk(head + "<div id=\"CrListText\">\r\n" + feikuBook(1) + feikuBook(2) +
                    "</div>\r\n<div>共40条 , 当前第<font color=\"red\">1</font>页 共<b>二</b>页</div>"));
    ASSERT_TRUE(h.RunBookList(Site::Feiku, "1", "f"));
    EXPECT_EQ(h.f1().BookURLList.items, (StringList{"files/1/1", "files/1/2"}));
    EXPECT_EQ(StoredList(h, Site::Feiku, "f.ml.list"), (StringList{"files/1/1", "files/1/2"}));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Unfinished);

    // 小说阅读网: the new books still go on top of the stored ones.
    auto readnovelBook = [](const std::string& id) {
        return "<li><h2><a href=\"@/novel/" + id + ".html\" target=\"_blank\"><b>书" + id +
               "</b></a></h2><div class=\"bothall\"></div></li>\r\n";
    };
    pages.Serve("/ch/all/1.html", Gbk(head + "<div class=\"booklist\">\r\n<ul>\r\n" + readnovelBook("8") +
                                      readnovelBook("7") + readnovelBook("6") +
                                      "</ul>\r\n</div>\r\n<div>1 <a href=\"2.html\">2</a> ...<a "
                                      "href=\"99.html\">九十九</a> <a href=\"2.html\">下1页</a></div>"));
    h.f1().ListBox2.Assign({G("《书5》")});
    h.f1().BookURLList.Assign({"5"});
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, pages.base() + "/ch/all/1.html", "r"));
    EXPECT_EQ(h.f1().BookURLList.items, (StringList{"8", "7", "6", "5"}));
    EXPECT_EQ(StoredList(h, Site::Readnovel, "r.ml.list"), (StringList{"8", "7", "6", "5"}));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Unfinished);
}

TEST(BookListFailures, SitesAnsweringEveryPageAlikeStillEnd) {
    WorkerHarness h;
    PageServer pages;
    SiteHosts hosts = h.sites.hosts();
    hosts.duowan = pages.base();
    hosts.readnovel = pages.base();
    hosts.feiku = pages.base();
    SetHosts(hosts);
    const std::string head = "<html><head><title>" + std::string(120, '-') + "</title></head><body>";
    // Each page claims that hundreds of millions follow it.
    pages.ServeUnder("/include/finish/",
                     head +
                         "<div class=\"booklist\"><ul>\r\n"
                         "<li><a href=\"@/book/1/1/index.html\" target=_blank>《一》</a></li>\r\n"
                         "<li><a href=\"@/book/1/2/index.html\" target=_blank>《二》</a></li>\r\n"
                         "</ul></div><table><tr><td align=\"left\"><a href=\"c1_999999999.html\">下一页</a>"
                         "</td></tr></table>");
    pages.ServeUnder("/ch/all/",
                     Gbk(head + "<ul>\r\n<li><h2><a href=\"@/novel/5.html\" target=\"_blank\"><b>五"
                                "</b></a></h2><div class=\"bothall\"></div></li>\r\n</ul>\r\n"
                                "<div>...<a href=\"x.html\">999999999</a></div>"));
    pages.ServeUnder("/Book/",
                     Gbk(head + "<div id=\"CrListText\">\r\n<ul><li class=\"li2\"><a target=_blank "
                                "href=\"/files/1/9/List.shtm\">[目录]</a><a href=\"#\">九</a></li>"
                                "<li class=\"li3\">x</li><li class=\"li4\">y</li><li class=\"li5\">z"
                                "</li><li class=\"li6\">w</li></ul>\r\n</div>\r\n条 , 当前<font>1"
                                "</font>页 共<b>999999999</b>页"));

    ASSERT_TRUE(h.RunBookList(Site::Duowan, pages.base() + "/include/finish/c1_1.html", "d"));
    EXPECT_EQ(h.f1().BookURLList.items, (StringList{"book/1/1/", "book/1/2/"}));
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Unfinished);
    h.ClearBooks();
    ASSERT_TRUE(h.RunBookList(Site::Readnovel, pages.base() + "/ch/all/1.html", "r"));
    EXPECT_EQ(h.f1().BookURLList.items, StringList{"5"});
    h.ClearBooks();
    ASSERT_TRUE(h.RunBookList(Site::Feiku, "1", "f"));
    EXPECT_EQ(h.f1().BookURLList.items, StringList{"files/1/9"});
    EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Unfinished);
}

// The disk fills up while an update saves: whatever page it runs out at,
// a category's names and keys stay one pair, both old or both new, and the
// update says it failed.  (Replaced one after the other, a long new name
// file went in beside the short old key file.)
TEST(BookListFailures, AFullDiskNeverSplitsABookListFromItsKeys) {
    demo::DemoOptions options;
    options.pageSize = 500;
    WorkerHarness h(options);
    const std::string folder = SiteFolder(h.paths.appDir, Label(Site::Duowan));
    SmallDisk disk(folder, 1 << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    const demo::Category cat = h.content().CategoryAt(demo::Site::Duowan, 0);
    const std::string name = Gbk(cat.name);
    const std::string file = SiteFilePath(h.paths.appDir, Label(Site::Duowan), name + ".ml");
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    const StringList oldTitles = h.f1().ListBox2.items, oldKeys = h.f1().BookURLList.items;
    ASSERT_EQ(oldTitles.size(), 60u);
    // Far more new books than stored: the new names alone outweigh the old pair.
    h.sites.AddBooks(demo::Site::Duowan, 0, 3000);

    int failed = 0;
    for (size_t free = 0;; free += 4096) {
        SCOPED_TRACE(free);
        ASSERT_LT(free, size_t{1} << 20) << "the update never got through";
        SaveListPair(file, oldTitles, oldKeys);
        h.f1().ListBox2.Assign(oldTitles);
        h.f1().BookURLList.Assign(oldKeys);
        disk.LeaveFree(free);
        ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
        disk.Unfill();
        const StringList titles = LoadList(file), keys = LoadList(file + ".list");
        ASSERT_EQ(titles.size(), keys.size());
        // No staging folder or temporary file is left behind.
        EXPECT_EQ(Entries(folder),
                  (std::set<std::string>{SafeFileName(name + ".ml"), SafeFileName(name + ".ml.list")}));
        if (titles.size() == oldTitles.size()) {
            EXPECT_EQ(titles, oldTitles);
            EXPECT_EQ(keys, oldKeys);
            EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Failed);
            ++failed;
            continue;
        }
        EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Complete);
        EXPECT_EQ(keys.size(), 3060u);
        EXPECT_EQ(keys.front(), h.content().BookAt(demo::Site::Duowan, 0, 0).key);
        EXPECT_EQ(keys.back(), oldKeys.back());
        break;
    }
    EXPECT_GT(failed, 5);
}

// A site whose pager never ends, with new books on every page: the walk
// stops past the pages or books a site can have, as a failed walk, and
// keeps the stored lists as they were.
TEST(BookListFailures, AWalkThatNeverEndsStopsAtItsLimits) {
    WorkerHarness h;
    auto& c = h.content();
    struct Case {
        Site site;
        demo::Site demoSite;
        std::string url, name;
    };
    const demo::Category duowan = c.CategoryAt(demo::Site::Duowan, 0),
                         readnovel = c.CategoryAt(demo::Site::Readnovel, 0),
                         feiku = c.CategoryAt(demo::Site::Feiku, 0);
    const Case cases[] = {
        {Site::Duowan, demo::Site::Duowan, duowan.url, Gbk(duowan.name)},
        {Site::Readnovel, demo::Site::Readnovel, readnovel.url, Gbk(readnovel.name)},
        {Site::Feiku, demo::Site::Feiku, feiku.url, Gbk(feiku.group + "-" + feiku.name)},
        {Site::Xs8, demo::Site::Xs8, "main", Label(Site::Xs8)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(Label(k.site));
        h.ClearBooks();
        if (k.site == Site::Xs8) {
            h.f1().CurrentSite = Label(Site::Xs8);
            h.f1().ListBox1.Clear();
        }
        ASSERT_TRUE(h.RunBookList(k.site, k.url, k.name));
        ASSERT_EQ(h.f1().LastBookListEnd, BookListEnd::Complete);
        const std::string folder = SiteFolder(h.paths.appDir, Label(k.site));
        const auto stored = Snapshot(folder);
        const StringList shown = h.f1().ListBox2.items;
        // The site now announces page after page of new books (thousands
        // of pages: as good as endless here).
        h.sites.AddBooks(k.demoSite, 0, 100000);

        for (const WalkLimits limits : {WalkLimits{7, 1000000}, WalkLimits{1000000, 130}}) {
            h.program->bookListLimits = limits;
            h.sites.ClearRequestLog();
            h.desktop.messages.clear();
            ASSERT_TRUE(h.RunBookList(k.site, k.url, k.name));
            EXPECT_EQ(h.f1().LastBookListEnd, BookListEnd::Capped);
            EXPECT_EQ(Snapshot(folder), stored);
            EXPECT_EQ(h.f1().ListBox2.items, shown);
            // Seven pages: the limit, or 140 books of 20 a page.
            EXPECT_EQ(h.Requests("/"), 7);
            EXPECT_EQ(h.desktop.messages,
                      StringList{G("网站列出的页数或书数超出上限，更新已停止，保留原有列表。")});
        }
        h.program->bookListLimits = WalkLimits{};
    }
}

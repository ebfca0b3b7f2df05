#include "net/site_hosts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "catalogue/app_paths.h"
#include "catalogue/skins.h"
#include "support/hosts_guard.h"
#include "test_home.h"
#include "text/files.h"

using namespace talvenor;

TEST(SiteHosts, DemoHostsAreDistinctLoopbackNames) {
    SiteHosts h = SiteHosts::Demo(4321);
    EXPECT_EQ(h.duowan, "http://duowan.localhost:4321");
    std::set<std::string> seen;
    for (const auto& e : SiteHosts::Entries()) {
        const std::string& url = h.*(e.member);
        EXPECT_TRUE(seen.insert(url).second) << url;
        EXPECT_NE(url.back(), '/');
    }
    EXPECT_EQ(SiteHosts::HostName(h.readnovel), "readnovel.localhost");
    EXPECT_EQ(SiteHosts::HostName("http://www.example.com"), "www.example.com");
}

TEST(SiteHosts, FileOverridesSomeKeysAndReportsBadLines) {
    std::vector<std::string> errors;
    SiteHosts h = ParseSiteHosts(
        "# my mirror\n"
        "duowan = http://mirror.test:8080/\n"
        "  feiku=http://feiku.test  \r\n"
        "nosuchsite = http://x.test\n"
        "xs8 = ftp://x.test\n"
        "garbage line\n",
        &errors);
    EXPECT_EQ(h.duowan, "http://mirror.test:8080");  // trailing "/" dropped
    EXPECT_EQ(h.feiku, "http://feiku.test");
    EXPECT_EQ(h.xs8, SiteHosts::Demo().xs8);  // bad value keeps the default
    EXPECT_EQ(errors.size(), 3u);
    // What is written can be read back unchanged.
    EXPECT_EQ(FormatSiteHosts(ParseSiteHosts(FormatSiteHosts(h))), FormatSiteHosts(h));
}

TEST(SiteHosts, ABaseUrlReadsBackAsItWasWritten) {
    // "/" after blanks: once the "/" is dropped the blanks would be left at
    // the end, and the address would be one thing now and another after the
    // file is rewritten.  Such a line is refused, and what is kept reads back
    // the same.
    std::vector<std::string> errors;
    SiteHosts h = ParseSiteHosts("duowan = http://mirror.test \t/ /\nfeiku = http://f.test//\n", &errors);
    EXPECT_EQ(h.duowan, SiteHosts::Demo().duowan);
    EXPECT_EQ(h.feiku, "http://f.test");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("line 1: ", 0), 0u) << errors[0];
    SiteHosts again = ParseSiteHosts(FormatSiteHosts(h));
    EXPECT_EQ(again.duowan, h.duowan);
    EXPECT_EQ(again.feiku, h.feiku);
}

TEST(SiteHosts, CommentsAfterValuesAndBaseUrlsThatAreNotOne) {
    std::vector<std::string> errors;
    SiteHosts h = ParseSiteHosts(
        // The documented example: a comment after the value.
        "duowan        = http://duowan.test:18630        # 多玩 (pages in UTF-8)\n"
        "feiku = https://[::1]:8443/ # loopback\n"
        "xs8 = http://x.test/love\n"         // 3: a path
        "readnovel = http://r .test\n"       // 4: a blank inside
        "520 = http://five.test:65536\n"     // 5: port out of range
        "forum = http://forum.test:0\n"      // 6: port out of range
        "counter = http://c.test\x01\n"      // 7: a control byte
        "search-engine = http://u@s.test\n"  // 8: a user name
        "520-chapters = http://\n",          // 9: no host
        &errors);
    EXPECT_EQ(h.duowan, "http://duowan.test:18630");
    EXPECT_EQ(h.feiku, "https://[::1]:8443");
    const SiteHosts demo = SiteHosts::Demo();
    for (auto member : {&SiteHosts::xs8, &SiteHosts::readnovel, &SiteHosts::s520, &SiteHosts::forum,
                        &SiteHosts::counter, &SiteHosts::searchEngine, &SiteHosts::s520Chapters})
        EXPECT_EQ(h.*member, demo.*member);
    ASSERT_EQ(errors.size(), 7u);
    for (size_t i = 0; i < errors.size(); ++i)
        EXPECT_EQ(errors[i].rfind("line " + std::to_string(i + 3) + ": ", 0), 0u) << errors[i];
    EXPECT_NE(errors[0].find("path"), std::string::npos);
    EXPECT_NE(errors[2].find("port"), std::string::npos);
    EXPECT_EQ(errors[4].find('\x01'), std::string::npos);  // never echoed into a terminal
}

TEST(SiteHosts, OversizedOrBrokenFilesLeaveTheDefaults) {
    HostsGuard restore;
    TestHome home;
    const std::string file = home.dir() + kSiteHostsFile;
    // Many bad lines: five are named, the rest counted.
    std::string text = "520 = http://five.test\n";
    for (int i = 0; i < 12; ++i) text += "bad line " + std::to_string(i) + "\n";
    WriteFileAtomic(file, text);
    std::string report = LoadSiteHostsFile(file);
    EXPECT_EQ(Hosts().s520, "http://five.test");
    EXPECT_NE(report.find("line 6:"), std::string::npos) << report;
    EXPECT_EQ(report.find("line 7:"), std::string::npos) << report;
    EXPECT_NE(report.find("and 7 more"), std::string::npos) << report;

    // Past the size limit the file is not read at all.
    text += std::string(kSiteHostsMaxBytes, '#');
    WriteFileAtomic(file, text);
    report = LoadSiteHostsFile(file);
    EXPECT_EQ(Hosts().s520, SiteHosts::Demo().s520);
    EXPECT_NE(report.find("64 KiB"), std::string::npos) << report;

    // A folder in its place: refused with a message, not thrown.
    RemoveFile(file);
    MakeDirs(file);
    EXPECT_NE(LoadSiteHostsFile(file).find("not a plain file"), std::string::npos);
    EXPECT_EQ(LoadSiteHostsFile(home.dir() + "missing"), "");
}

TEST(SiteHosts, PrepareAppDirsReadsTheHostsFileFromSetDir) {
    HostsGuard restore;
    TestHome home;
    AppPaths paths = AppPaths::ForAppDir(home.dir() + "app");
    EXPECT_EQ(paths.appDir, home.dir() + "app/");
    EXPECT_EQ(PrepareAppDirs(paths), "");
    EXPECT_TRUE(DirExists(paths.setDir));
    EXPECT_TRUE(DirExists(paths.seeDir));
    EXPECT_EQ(Hosts().duowan, SiteHosts::Demo().duowan);
    WriteFileAtomic(paths.setDir + kSiteHostsFile, "520 = http://five.test\nbad\n");
    std::string report = PrepareAppDirs(paths);
    EXPECT_NE(report.find("line 2"), std::string::npos) << report;
    EXPECT_EQ(Hosts().s520, "http://five.test");
}

// Sets an environment variable for one test and puts the old value back.
class EnvGuard {
  public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        Set(value);
    }
    ~EnvGuard() { had_ ? (void)setenv(name_, old_.c_str(), 1) : (void)unsetenv(name_); }
    void Set(const char* value) { value ? (void)setenv(name_, value, 1) : (void)unsetenv(name_); }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(AppDir, TheUserDataFolderUnlessHomeOrThePortableLayoutIsAskedFor) {
    TestHome home;
    EnvGuard xdg("XDG_DATA_HOME", (home.dir() + "xdg").c_str());
    EnvGuard user("HOME", (home.dir() + "user").c_str());
    const std::string bin = home.dir() + "bin/";
    MakeDirs(bin);
    EXPECT_EQ(ResolveAppDir(home.dir() + "h", bin + "talvenor"), home.dir() + "h/");
    // A folder the program may write to is no reason to write there: root
    // may write into /usr/bin.
    EXPECT_EQ(ResolveAppDir("", bin + "talvenor"), home.dir() + "xdg/talvenor/");
    EXPECT_EQ(ResolveAppDir("", "/usr/bin/talvenor-cli"), home.dir() + "xdg/talvenor/");
    // The portable layout where it is asked for: a marker file, or a store
    // already beside the program.
    WriteFileAtomic(bin + "portable", "");
    EXPECT_EQ(ResolveAppDir("", bin + "talvenor"), bin);
    EXPECT_EQ(ResolveAppDir(home.dir() + "h", bin + "talvenor"), home.dir() + "h/");
    RemoveFile(bin + "portable");
    MakeDirs(bin + "set");
    EXPECT_EQ(ResolveAppDir("", bin), bin);
    // Without XDG_DATA_HOME, or with one that is not absolute (ignored, as
    // the XDG rules say): HOME's .local/share.
    xdg.Set(nullptr);
    EXPECT_EQ(ResolveAppDir("", "/usr/bin/talvenor"), home.dir() + "user/.local/share/talvenor/");
    xdg.Set("relative/data");
    EXPECT_EQ(UserDataDir(), home.dir() + "user/.local/share/talvenor/");
}

// The skins a program brings: beside it (the build tree, a portable copy)
// before the share folder of the prefix it is installed under.
TEST(AppDir, BundledDataBesideTheProgramThenInItsPrefixShareFolder) {
    TestHome home;
    const std::string prefix = home.dir() + "prefix/";
    MakeDirs(prefix + "bin");
    MakeDirs(prefix + "share/talvenor/skn");
    WriteFileAtomic(prefix + "share/talvenor/skn/shared.skn", "QWidget { color: red; }");
    const AppPaths installed = AppPaths::ForAppDir(home.dir() + "installed");
    EXPECT_EQ(SeedSkinFolder(installed, BundledDataPaths("skn/", prefix + "bin/")), 1);
    EXPECT_TRUE(FileExists(installed.appDir + "skn/shared.skn"));

    MakeDirs(prefix + "bin/skn");
    WriteFileAtomic(prefix + "bin/skn/beside.skn", "QWidget { color: blue; }");
    const AppPaths portable = AppPaths::ForAppDir(home.dir() + "portable");
    EXPECT_EQ(SeedSkinFolder(portable, BundledDataPaths("skn/", prefix + "bin")), 1);
    EXPECT_TRUE(FileExists(portable.appDir + "skn/beside.skn"));
    EXPECT_FALSE(FileExists(portable.appDir + "skn/shared.skn"));
}

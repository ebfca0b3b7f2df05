#include "net/site_hosts.h"

#include <gtest/gtest.h>

#include <set>

#include "catalogue/app_paths.h"
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
    // "/" after blanks: once the "/" is dropped, the blanks must go too, or
    // the address is one thing now and another after the file is rewritten.
    SiteHosts h = ParseSiteHosts("duowan = http://mirror.test \t/ /\n");
    EXPECT_EQ(h.duowan, "http://mirror.test");
    SiteHosts again = ParseSiteHosts(FormatSiteHosts(h));
    EXPECT_EQ(again.duowan, h.duowan);
}

TEST(SiteHosts, PrepareAppDirsReadsTheHostsFileFromSetDir) {
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
    SetHosts(SiteHosts::Demo());
}

TEST(AppDir, HomeOptionWinsThenWritableExecutableFolderThenXdg) {
    TestHome home;
    EXPECT_EQ(ResolveAppDir(home.dir() + "h", "/usr/bin/talvenor"), home.dir() + "h/");
    EXPECT_EQ(ResolveAppDir("", home.dir() + "talvenor"), home.dir());
    setenv("XDG_DATA_HOME", (home.dir() + "xdg").c_str(), 1);
    EXPECT_EQ(ResolveAppDir("", "/nonexistent-folder/talvenor"), home.dir() + "xdg/talvenor/");
    unsetenv("XDG_DATA_HOME");
}

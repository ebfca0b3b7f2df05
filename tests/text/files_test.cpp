#include "text/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "test_home.h"

using namespace talvenor;

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporaries) {
    TestHome home;
    std::string path = home.dir() + "a.txt";
    WriteFileAtomic(path, "one");
    WriteFileAtomic(path, "two\r\n");
    EXPECT_EQ(ReadFileBytes(path), "two\r\n");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(home.dir())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(Files, FailuresAreReportedAndKeepTheOldFile) {
    TestHome home;
    std::string path = home.dir() + "keep.txt";
    WriteFileAtomic(path, "old");
    EXPECT_THROW(ReadFileBytes(home.dir() + "missing"), FileError);
    EXPECT_THROW(WriteFileAtomic(home.dir() + "no/such/folder/x", "y"), FileError);
    if (geteuid() != 0) {  // root ignores permissions
        chmod(home.dir().c_str(), 0500);
        EXPECT_THROW(WriteFileAtomic(path, "new"), FileError);
        chmod(home.dir().c_str(), 0700);
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
    MakeDirs(home.dir() + "x/y/z");
    EXPECT_TRUE(DirExists(home.dir() + "x/y/z"));
    EXPECT_FALSE(FileExists(home.dir() + "x/y/z"));
}

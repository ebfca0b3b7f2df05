#include "catalogue/settings.h"

#include <gtest/gtest.h>

#include "test_home.h"
#include "text/files.h"

namespace talvenor {
namespace {

TEST(Settings, ReadsTypedValuesAndReportsEveryBadLineWithItsNumber) {
    TestHome home;
    const std::string path = home.dir() + "talvenor.ini";
    WriteFileAtomic(path,
                    "# 下载\r\n"
                    "check_interval = 30\n"
                    "\n"
                    "[downloads]\n"
                    "per_host = 0\n"
                    "min_gap_ms = 250 \n"
                    "retry = perhaps\n"
                    "this line has no equals sign\n"
                    "per_host = 3\n"
                    "[host 127.0.0.1]   # one host\n"
                    "per_host = 1 ; at a time\n"
                    "name = a#b\n"
                    "[broken\n");
    Settings s = Settings::Load(path);
    EXPECT_EQ(s.Integer("", "check_interval", 0, 0, 1440), 30);
    EXPECT_EQ(s.Integer("downloads", "min_gap_ms", 0, 0, 60000), 250);
    EXPECT_EQ(s.Integer("downloads", "per_host", 2, 1, 16), 2) << "0 is out of range: the default holds";
    EXPECT_TRUE(s.Flag("downloads", "retry", true));
    EXPECT_EQ(s.Integer("host 127.0.0.1", "per_host", 2, 1, 16), 1);
    EXPECT_EQ(s.Text("host 127.0.0.1", "name", ""), "a#b") << "a # inside a value is no comment";
    EXPECT_EQ(s.Integer("downloads", "absent", 7, 0, 9), 7);
    EXPECT_EQ(s.Sections("host "), std::vector<std::string>{"host 127.0.0.1"});
    // asked twice, reported once
    s.Integer("downloads", "per_host", 2, 1, 16);
    std::vector<std::string> p = s.Problems();
    ASSERT_EQ(p.size(), 5u) << ::testing::PrintToString(p);
    auto has = [&](const std::string& start) {
        for (const auto& x : p)
            if (x.rfind(start, 0) == 0) return true;
        return false;
    };
    EXPECT_TRUE(has("talvenor.ini:8: "));   // no "="
    EXPECT_TRUE(has("talvenor.ini:9: "));   // repeated key
    EXPECT_TRUE(has("talvenor.ini:13: "));  // header without "]"
    EXPECT_TRUE(has("talvenor.ini:5: per_host 应为 1 到 16 之间的整数"));
    EXPECT_TRUE(has("talvenor.ini:7: retry 应为 true 或 false"));
}

TEST(Settings, SavingChangesOnlyWhatWasSetAndKeepsEveryOtherLine) {
    TestHome home;
    const std::string path = home.dir() + "talvenor.ini";
    const std::string original =
        "; 用户写的说明\n"
        "check_interval = 30   \n"
        "\n"
        "[speech]\n"
        "# 语速\n"
        "rate = 3   # 1-5\n"
        "\n"
        "[cache]\n"
        "limit_mib = 1024\n";
    WriteFileAtomic(path, original);
    Settings s = Settings::Load(path);
    EXPECT_EQ(s.Text(), original) << "an untouched file is written back as it was";
    s.Set("speech", "rate", "4");
    s.Set("speech", "voice", "zh");
    s.Set("", "top", "1");
    s.Set("new", "key", "v");
    s.Save(path);
    EXPECT_EQ(ReadFileBytes(path),
              "; 用户写的说明\n"
              "check_interval = 30   \n"
              "top = 1\n"
              "\n"
              "[speech]\n"
              "# 语速\n"
              "rate = 4   # 1-5\n"
              "voice = zh\n"
              "\n"
              "[cache]\n"
              "limit_mib = 1024\n"
              "\n"
              "[new]\n"
              "key = v\n");
    Settings again = Settings::Load(path);
    EXPECT_EQ(again.Text("speech", "voice", ""), "zh");
    EXPECT_EQ(again.Text("new", "key", ""), "v");
    EXPECT_TRUE(again.Problems().empty());
}

TEST(Settings, AFileThatCannotBeSettingsGivesDefaultsAndSaysWhy) {
    TestHome home;
    EXPECT_TRUE(Settings::Load(home.dir() + "missing.ini").Problems().empty());
    WriteFileAtomic(home.dir() + "gbk.ini", "rate = \xC4\xE3\n");  // GBK, not UTF-8
    Settings gbk = Settings::Load(home.dir() + "gbk.ini");
    EXPECT_EQ(gbk.Text("", "rate", "d"), "d");
    ASSERT_EQ(gbk.Problems().size(), 1u);
    EXPECT_NE(gbk.Problems()[0].find("UTF-8"), std::string::npos);
    MakeDirs(home.dir() + "dir.ini/");
    EXPECT_EQ(Settings::Load(home.dir() + "dir.ini").Problems().size(), 1u);
    WriteFileAtomic(home.dir() + "big.ini", std::string((1 << 20) + 1, '#'));
    EXPECT_EQ(Settings::Load(home.dir() + "big.ini").Problems().size(), 1u);
}

}  // namespace
}  // namespace talvenor

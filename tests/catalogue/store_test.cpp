#include "catalogue/store.h"

#include <gtest/gtest.h>

#include "catalogue/book_list_pages.h"
#include "catalogue/failures.h"
#include "catalogue/sites.h"
#include "test_home.h"
#include "text/files.h"

using namespace talvenor;

TEST(LineFiles, WrittenWithCrLfAfterEveryItem) {
    TestHome home;
    SaveList(home.dir() + "a.ml", {G("重生之路"), "", "x\ty"});
    EXPECT_EQ(ReadFileBytes(home.dir() + "a.ml"), G("重生之路") + "\r\n\r\nx\ty\r\n");
    SaveList(home.dir() + "empty.ml", {});
    EXPECT_EQ(ReadFileBytes(home.dir() + "empty.ml"), "");
    EXPECT_TRUE(LoadList(home.dir() + "empty.ml").empty());
    EXPECT_THROW(LoadList(home.dir() + "missing.ml"), FileError);
}

TEST(LineFiles, EveryLineEndIsAccepted) {
    EXPECT_EQ(ParseLines("a\r\nb\r\n"), (StringList{"a", "b"}));
    EXPECT_EQ(ParseLines("a\nb"), (StringList{"a", "b"}));  // last line without an end
    EXPECT_EQ(ParseLines("a\rb\r"), (StringList{"a", "b"}));
    EXPECT_EQ(ParseLines("a\r\n\r\nb"), (StringList{"a", "", "b"}));
    EXPECT_EQ(ParseLines("\n"), (StringList{""}));
    EXPECT_EQ(ParseLines(""), StringList{});
}

// A long list read back through each kind of line end, and through all of
// them mixed: every item comes back once, in its place.
TEST(LineFiles, LongListsReadBackWithEveryLineEnd) {
    StringList items;
    for (int i = 0; i < 200000; ++i)
        items.push_back(i % 7 == 0 ? std::string() : G("第") + std::to_string(i));
    const std::string crlf = FormatLines(items);
    std::string lf, cr, mixed;
    for (size_t i = 0; i < items.size(); ++i) {
        lf += items[i] + "\n";
        cr += items[i] + "\r";
        // A CR before an empty item ended by LF would be a CR LF.
        const bool crWouldPair = i + 1 < items.size() && items[i + 1].empty();
        mixed += items[i] + (i % 3 == 0 || crWouldPair ? "\r\n" : i % 3 == 1 ? "\r" : "\n");
    }
    EXPECT_EQ(ParseLines(crlf), items);
    EXPECT_EQ(ParseLines(lf), items);
    EXPECT_EQ(ParseLines(cr), items);
    EXPECT_EQ(ParseLines(mixed), items);
    mixed.pop_back();  // the last line without its end, the empty one too
    StringList withoutLast = items;
    if (withoutLast.back().empty()) withoutLast.pop_back();
    EXPECT_EQ(ParseLines(mixed), withoutLast);
}

// Both files of a pair are read at once; a failure of either is the pair's.
TEST(LineFiles, PairsReadBackOrFailWhole) {
    TestHome home;
    StringList names, keys;
    for (int i = 0; i < 50000; ++i) {
        names.push_back(G("《书") + std::to_string(i) + G("》"));
        keys.push_back("book/" + std::to_string(i) + "/");
    }
    SaveListPair(home.dir() + "a.ml", names, keys);
    const auto back = LoadListPair(home.dir() + "a.ml", home.dir() + "a.ml.list");
    EXPECT_EQ(back.first, names);
    EXPECT_EQ(back.second, keys);
    EXPECT_THROW(LoadListPair(home.dir() + "missing.ml", home.dir() + "a.ml.list"), FileError);
    EXPECT_THROW(LoadListPair(home.dir() + "a.ml", home.dir() + "missing.ml.list"), FileError);
    keys.pop_back();
    SaveList(home.dir() + "a.ml.list", keys);
    EXPECT_THROW(LoadListPair(home.dir() + "a.ml", home.dir() + "a.ml.list"), ListIndexError);
}

// New books go on top of the stored ones as they are only when no key stands
// twice among them all, however far apart the two are.
TEST(LineFiles, KeysThatStandTwiceAreFoundInLongLists) {
    StringList fresh, stored;
    for (int i = 0; i < 300000; ++i) {
        fresh.push_back("book/n" + std::to_string(i) + "/");
        stored.push_back("book/s" + std::to_string(i) + "/");
    }
    fresh.push_back("");
    stored.push_back("");  // books without a key are never the same book
    EXPECT_TRUE(KeysDiffer(fresh, stored));
    EXPECT_TRUE(KeysDiffer({}, stored));
    stored[299999] = fresh[0];
    EXPECT_FALSE(KeysDiffer(fresh, stored));
    stored[299999] = "book/s299999/";
    fresh[150000] = fresh[149999];
    EXPECT_FALSE(KeysDiffer(fresh, stored));
}

TEST(LineFiles, LineBreaksInsideItemsKeepPairsInStep) {
    TestHome home;
    StringList names = {"one", G("第二\r\n本书"), "three\n"};
    SaveList(home.dir() + "n", names);
    StringList back = LoadList(home.dir() + "n");
    ASSERT_EQ(back.size(), names.size());
    EXPECT_EQ(back[1], G("第二  本书"));
}

TEST(SafeFileName, KeepsOrdinaryNamesAndDefusesEscapes) {
    EXPECT_EQ(SafeFileName(G("都市言情.ml")), "都市言情.ml");
    EXPECT_EQ(SafeFileName("5000.ml"), "5000.ml");
    EXPECT_EQ(SafeFileName("..ml"), "..ml");
    EXPECT_EQ(SafeFileName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(SafeFileName("a\\b"), "a_b");
    EXPECT_EQ(SafeFileName(std::string("a\0b\x1F" "c\x7F", 6)), "a_b_c_");
    EXPECT_EQ(SafeFileName(".."), "__");
    EXPECT_EQ(SafeFileName("."), "_");
    EXPECT_EQ(SafeFileName(""), "_");
    // A GBK trail byte 0x5C ("\") belongs to its character, not a separator.
    EXPECT_EQ(SafeFileName(std::string("\xD5\x5C")), "\xE8\xAA\xA0");
}

TEST(SiteFiles, PathsStayInsideTheSiteFolder) {
    TestHome home;
    std::string label = G("言情小说吧");
    EXPECT_EQ(SiteFilePath(home.dir(), label, "5000.ml"), home.dir() + "言情小说吧/5000.ml");
    std::string evil = SiteFilePath(home.dir(), label, "../../x.ml");
    EXPECT_EQ(evil, home.dir() + "言情小说吧/.._.._x.ml");
    MakeDirs(SiteFolder(home.dir(), label));
    SaveList(evil, {"a"});
    EXPECT_TRUE(FileExists(home.dir() + "言情小说吧/.._.._x.ml"));
}

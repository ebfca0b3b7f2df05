// The generated content: stable, addressable by key, cheap at large sizes,
// and changed at run time only at the top of a list.
#include <gtest/gtest.h>

#include <set>

#include "demo_sites.h"

namespace talvenor::demo {
namespace {

DemoOptions Small() {
    DemoOptions o;
    o.categories = 4;
    o.booksPerCategory = 45;
    o.chaptersPerBook = 30;
    o.xs8Books = 45;
    return o;
}

const Site kSites[] = {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520};

TEST(DemoContentTest, EveryKeyLeadsBackToItsBook) {
    DemoContent content(Small());
    for (Site site : kSites) {
        for (int c = 0; c < content.CategoryCount(site); c += 3) {
            for (int p : {0, 17, 44}) {
                Book b = content.BookAt(site, c, p);
                auto again = content.BookByKey(site, b.key);
                ASSERT_TRUE(again.has_value()) << SiteLabel(site) << " " << b.key;
                EXPECT_EQ(again->category, c);
                EXPECT_EQ(again->id, b.id);
                EXPECT_EQ(again->title, b.title);
            }
        }
    }
    EXPECT_FALSE(content.BookByKey(Site::Duowan, "book/1/45/"));  // one past the last book
    EXPECT_FALSE(content.BookByKey(Site::Duowan, "book/9/1/"));
    EXPECT_FALSE(content.BookByKey(Site::Feiku, "files/2/1000003"));  // category and number disagree
    EXPECT_FALSE(content.BookByKey(Site::Xs8, "abc"));
}

TEST(DemoContentTest, SameOptionsGiveTheSameBooksAndChapters) {
    DemoContent a(Small()), b(Small());
    for (Site site : kSites) {
        Book x = a.BookAt(site, 0, 9), y = b.BookAt(site, 0, 9);
        EXPECT_EQ(x.title, y.title);
        EXPECT_EQ(x.author, y.author);
        EXPECT_EQ(x.intro, y.intro);
        Chapter cx = a.ChapterOf(x, 5), cy = b.ChapterOf(y, 5);
        EXPECT_EQ(cx.title, cy.title);
        EXPECT_EQ(cx.paragraphs, cy.paragraphs);
    }
    // The sites do not all carry the same books.
    EXPECT_NE(a.BookAt(Site::Duowan, 0, 0).title, a.BookAt(Site::Feiku, 0, 0).title);
}

TEST(DemoContentTest, TitlesDifferWithinACategoryAndShareWords) {
    DemoContent content(Small());
    std::set<std::string> titles;
    int reborn = 0, travel = 0;
    for (int p = 0; p < 45; ++p) {
        std::string t = content.BookAt(Site::Duowan, 2, p).title;
        titles.insert(t);
        reborn += t.find("重生") != std::string::npos;
        travel += t.find("穿越") != std::string::npos;
    }
    EXPECT_EQ(titles.size(), 45u);
    EXPECT_GT(reborn, 0);
    EXPECT_GT(travel, 0);
}

TEST(DemoContentTest, AllCategoriesListHoldsEveryBookOnce) {
    DemoContent content(Small());
    std::set<std::string> keys;
    for (int p = 0; p < content.BookCount(Site::Duowan, kAllCategories); ++p)
        keys.insert(content.BookAt(Site::Duowan, kAllCategories, p).key);
    EXPECT_EQ(keys.size(), 4u * 45u);
}

TEST(DemoContentTest, NewBooksGoOnTopAndOldKeysStay) {
    DemoContent content(Small());
    Book oldFirst = content.BookAt(Site::Duowan, 1, 0);
    Book oldLast = content.BookAt(Site::Duowan, 1, 44);
    content.AddBooks(Site::Duowan, 1, 3);
    EXPECT_EQ(content.BookCount(Site::Duowan, 1), 48);
    EXPECT_EQ(content.BookAt(Site::Duowan, 1, 3).key, oldFirst.key);
    EXPECT_EQ(content.BookAt(Site::Duowan, 1, 47).key, oldLast.key);
    std::set<std::string> fresh;
    for (int p = 0; p < 3; ++p) fresh.insert(content.BookAt(Site::Duowan, 1, p).title);
    EXPECT_EQ(fresh.size(), 3u);
    EXPECT_EQ(fresh.count(oldFirst.title), 0u);
    // "所有分类" shows them first too, the newest on top.
    EXPECT_EQ(content.BookAt(Site::Duowan, kAllCategories, 0).key, content.BookAt(Site::Duowan, 1, 0).key);
    EXPECT_EQ(content.BookAt(Site::Duowan, kAllCategories, 2).key, content.BookAt(Site::Duowan, 1, 2).key);
    // Other categories and sites are untouched.
    EXPECT_EQ(content.BookCount(Site::Duowan, 0), 45);
    EXPECT_EQ(content.BookCount(Site::Readnovel, 1), 45);
    content.AddBooks(Site::Xs8, 0, 2);
    EXPECT_EQ(content.BookCount(Site::Xs8, 0), 47);
}

TEST(DemoContentTest, SearchFindsTitlesWithTheKeywordUpToTheLimit) {
    DemoOptions o = Small();
    o.searchLimit = 5;
    DemoContent content(o);
    auto found = content.Search(Site::S520, "重生");
    ASSERT_EQ(found.size(), 5u);
    for (const auto& b : found) EXPECT_NE(b.title.find("重生"), std::string::npos);
    EXPECT_TRUE(content.Search(Site::S520, "").empty());
    EXPECT_TRUE(content.Search(Site::S520, "没有这本书").empty());
}

TEST(DemoContentTest, ChaptersReadAsTextWithWatermarksAndPictures) {
    DemoContent content(Small());
    int watermarks = 0, duowanPictures = 0, feikuPictureChapters = 0;
    for (int id = 0; id < 6; ++id) {
        Book duowan = content.BookAt(Site::Duowan, 0, id), feiku = content.BookAt(Site::Feiku, 0, id);
        for (int n = 1; n <= 30; ++n) {
            Chapter ch = content.ChapterOf(duowan, n);
            ASSERT_GE(ch.paragraphs.size(), 4u);
            for (const auto& p : ch.paragraphs) EXPECT_NE(p.find("。"), std::string::npos);
            watermarks += ch.paragraphs[1].find(DemoContent::Watermark()) != std::string::npos;
            duowanPictures += static_cast<int>(ch.pictures.size());
            feikuPictureChapters += !content.ChapterOf(feiku, n).pictures.empty();
        }
    }
    EXPECT_GT(watermarks, 0);
    EXPECT_GT(duowanPictures, 0);
    EXPECT_GT(feikuPictureChapters, 0);
}

// (What such a site costs is measured by the benchmarks.)
TEST(DemoContentTest, LargeSitesCountTheirPagesAndReachTheirLastBook) {
    DemoOptions o;
    o.categories = 1;
    o.booksPerCategory = 100000;
    o.chaptersPerBook = 10000;
    o.xs8Books = 6000;
    DemoContent content(o);
    EXPECT_EQ(content.ListPageCount(Site::Duowan, 0), 5000);
    EXPECT_EQ(content.ListPageCount(Site::Xs8, 0), 300);
    Book last = content.BookAt(Site::Duowan, 0, 99999);
    EXPECT_EQ(last.id, 0);
    EXPECT_EQ(content.ChapterOf(last, 10000).title, last.latestChapter);
}

TEST(DemoFaultSpecTest, ReadsHostSubstringKindArgumentAndTimes) {
    Fault f;
    ASSERT_TRUE(ParseFault("xs8.localhost:/list.php?page=2=status:404@1", &f));
    EXPECT_EQ(f.host, "xs8.localhost");
    EXPECT_EQ(f.match, "/list.php?page=2");  // the "=" of the query stays in the substring
    EXPECT_EQ(f.kind, FaultKind::Status);
    EXPECT_EQ(f.value, 404);
    EXPECT_EQ(f.times, 1);
    ASSERT_TRUE(ParseFault("*:=redirect:http://a.localhost/x?y=1", &f));
    EXPECT_EQ(f.host, "");
    EXPECT_EQ(f.match, "");
    EXPECT_EQ(f.kind, FaultKind::Redirect);
    EXPECT_EQ(f.location, "http://a.localhost/x?y=1");
    EXPECT_EQ(f.times, -1);
    ASSERT_TRUE(ParseFault("duowan.localhost:/book/=redirectloop", &f));
    EXPECT_EQ(f.kind, FaultKind::RedirectLoop);
    ASSERT_TRUE(ParseFault("feiku.localhost:.shtm=trickle:50", &f));
    EXPECT_EQ(f.kind, FaultKind::Trickle);
    EXPECT_EQ(f.value, 50);

    std::string error;
    EXPECT_FALSE(ParseFault("no-colon=status", &f, &error));
    EXPECT_FALSE(ParseFault("a:/x=explode", &f, &error));
    EXPECT_FALSE(ParseFault("a:/x=redirect", &f, &error));
    EXPECT_FALSE(ParseFault("a:/x=delay:soon", &f, &error));
    EXPECT_FALSE(ParseFault("a:/x=status@0", &f, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace talvenor::demo

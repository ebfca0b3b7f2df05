// Faults switched on at run time, the fixed test paths, the new-books
// mutation seen through the pages, and a prompt stop.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "demo_test_support.h"

namespace talvenor::demo::test {
namespace {

class DemoFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DemoOptions o;
        o.port = 0;
        o.categories = 3;
        o.booksPerCategory = 30;
        o.chaptersPerBook = 10;
        o.xs8Books = 30;
        sites_ = std::make_unique<DemoSites>(o);
        ASSERT_TRUE(sites_->Start());
        book_ = sites_->content().BookAt(Site::Duowan, 0, 0);
        url_ = sites_->content().ChapterOf(book_, 2).url;  // a 多玩 chapter page
        normal_ = Fetch(url_).body;
        ASSERT_FALSE(normal_.empty());
    }

    Fault On(const std::string& match, FaultKind kind, int value = 0) {
        Fault f;
        f.host = "duowan.localhost";
        f.match = match;
        f.kind = kind;
        f.value = value;
        return f;
    }

    std::unique_ptr<DemoSites> sites_;
    Book book_;
    std::string url_;
    std::string normal_;
};

TEST_F(DemoFaultsTest, StatusFaultSendsAnErrorPageOnlyWhereItMatches) {
    Fault f = On("/book/1/", FaultKind::Status, 404);
    f.times = 2;
    sites_->AddFault(f);
    Response hit = Fetch(url_);
    EXPECT_EQ(hit.status, 404);
    EXPECT_NE(hit.body.find("404"), std::string::npos);  // an error page, not an empty body
    // Another host with the same path, and another path, are not hit.
    std::string elsewhere = url_;
    ReplaceAll(elsewhere, "duowan.localhost", "so.duowan.localhost");
    EXPECT_NE(Fetch(elsewhere).status, 404);
    EXPECT_EQ(Fetch(sites_->content().CategoryPageUrl(Site::Duowan)).status, 200);
    EXPECT_EQ(Fetch(url_).status, 404);
    EXPECT_EQ(Fetch(url_).status, 200);  // used up after two hits
    int id = sites_->AddFault(On("", FaultKind::Status));
    EXPECT_EQ(Fetch(url_).status, 500);
    sites_->RemoveFault(id);
    EXPECT_EQ(Fetch(url_).status, 200);
}

TEST_F(DemoFaultsTest, DelayAndTrickleSlowTheAnswerButKeepIt) {
    sites_->AddFault(On("2.html", FaultKind::Delay, 300));
    Response late = Fetch(url_);
    EXPECT_GE(late.seconds, 0.29);
    EXPECT_EQ(late.body, normal_);
    FetchOptions impatient;
    impatient.timeoutMs = 100;
    EXPECT_EQ(Fetch(url_, impatient).curlCode, CURLE_OPERATION_TIMEDOUT);
    sites_->ClearFaults();

    sites_->AddFault(On("2.html", FaultKind::Trickle, 5));
    Response slow = Fetch(url_);
    EXPECT_EQ(slow.body, normal_);
    EXPECT_GE(slow.seconds, 0.005 * (normal_.size() / 64) * 0.9);
}

TEST_F(DemoFaultsTest, RedirectsGoWhereToldOrNowhere) {
    Fault to = On("2.html", FaultKind::Redirect);
    to.location = sites_->content().ChapterOf(book_, 3).url;
    sites_->AddFault(to);
    Response moved = Fetch(url_);
    EXPECT_EQ(moved.status, 302);
    EXPECT_NE(moved.headers.find("Location: " + to.location), std::string::npos);
    FetchOptions follow;
    follow.follow = true;
    EXPECT_EQ(Fetch(url_, follow).body, Fetch(to.location).body);
    sites_->ClearFaults();
    sites_->AddFault(On("2.html", FaultKind::RedirectLoop));
    EXPECT_EQ(Fetch(url_, follow).curlCode, CURLE_TOO_MANY_REDIRECTS);
}

TEST_F(DemoFaultsTest, BrokenBodies) {
    sites_->AddFault(On("2.html", FaultKind::BadUtf8, 0));
    Response bad = Fetch(url_);
    EXPECT_FALSE(IsValidUtf8(bad.body));
    ASSERT_EQ(bad.body.size(), normal_.size() + 1);
    size_t at = 0;
    while (at < normal_.size() && bad.body[at] == normal_[at]) ++at;
    EXPECT_EQ(bad.body[at], '\xB0');
    EXPECT_EQ(bad.body.substr(at + 1), normal_.substr(at));
    sites_->ClearFaults();

    sites_->AddFault(On("2.html", FaultKind::CutOff, 0));
    Response cut = Fetch(url_);
    EXPECT_EQ(cut.curlCode, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body, normal_.substr(0, normal_.size() / 2));
    sites_->ClearFaults();

    sites_->AddFault(On("2.html", FaultKind::EmptyBody, 0));
    Response empty = Fetch(url_);
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.curlCode, 0);
    EXPECT_TRUE(empty.body.empty());
}

TEST_F(DemoFaultsTest, MissingMarkerLeavesTheScrapersNothing) {
    const DemoContent& c = sites_->content();
    const std::string chapterList = c.ChapterListUrl(book_);
    ASSERT_FALSE(WalkChapterList(Site::Duowan, Fetch(chapterList).body, sites_->hosts(), book_.key).empty());
    sites_->AddFault(On("/book/", FaultKind::NoMarker));
    EXPECT_TRUE(WalkChapterList(Site::Duowan, Fetch(chapterList).body, sites_->hosts(), book_.key).empty());
    EXPECT_EQ(CutChapterText(Site::Duowan, Fetch(url_).body, sites_->hosts()),
              "连接失败，请尝试刷新或重新运行程序");
    Fault gbk;
    gbk.host = "xs520.localhost";
    gbk.kind = FaultKind::NoMarker;
    sites_->AddFault(gbk);
    bool found = true;
    EXPECT_TRUE(
        WalkSearch(Site::S520, Fetch(c.SearchUrl(Site::S520, "重生")).body, sites_->hosts(), &found).empty());
    EXPECT_FALSE(found);
}

TEST_F(DemoFaultsTest, NewBooksAppearOnTheFirstPages) {
    const DemoContent& c = sites_->content();
    std::string firstPage = c.ListPageUrl(Site::Duowan, 1, 1);
    std::string oldFirst = c.BookAt(Site::Duowan, 1, 0).title;
    sites_->AddBooks(Site::Duowan, 1, 3);
    std::string page = Fetch(firstPage).body;
    size_t a = page.find(c.BookAt(Site::Duowan, 1, 2).title), b = page.find(oldFirst);
    ASSERT_NE(a, std::string::npos);
    EXPECT_LT(a, b);  // the new books stand above the old first one
    // Enough new books to spill onto the second page.
    sites_->AddBooks(Site::Readnovel, 0, 25);
    std::string second = Fetch(c.ListPageUrl(Site::Readnovel, 0, 2)).body;
    EXPECT_NE(second.find(G(c.BookAt(Site::Readnovel, 0, 24).title)), std::string::npos);
    EXPECT_NE(second.find(G(c.BookAt(Site::Readnovel, 0, 25).title)), std::string::npos);
}

TEST_F(DemoFaultsTest, FixedTestPathsAnswerOnEveryHost) {
    const std::string base = sites_->hosts().xs8;
    FetchOptions follow;
    follow.follow = true;
    Response chain = Fetch(base + "/test/redirect/3", follow);
    EXPECT_EQ(chain.status, 200);
    EXPECT_NE(chain.body.find("redirects done"), std::string::npos);
    Response step = Fetch(base + "/test/redirect/3");
    EXPECT_EQ(step.status, 302);
    EXPECT_NE(step.headers.find("Location: /test/redirect/2"), std::string::npos);

    std::string jar = ::testing::TempDir() + "demosites_cookies.txt";
    std::remove(jar.c_str());
    FetchOptions cookies;
    cookies.cookieFile = jar;
    Fetch(base + "/test/cookie/set?value=abc", cookies);
    EXPECT_EQ(Fetch(base + "/test/cookie/echo", cookies).body, "demo=abc");
    EXPECT_EQ(Fetch(base + "/test/cookie/echo").body, "");
    std::remove(jar.c_str());

    EXPECT_GE(Fetch(base + "/test/slow?ms=200").seconds, 0.19);
    EXPECT_EQ(Fetch(base + "/test/big?mb=3").body.size(), 3u << 20);
    Response longHeader = Fetch(base + "/test/longheader?bytes=20000");
    EXPECT_NE(longHeader.headers.find("X-Long: " + std::string(20000, 'a')), std::string::npos);
    Response missing = Fetch(base + "/test/status/404");
    EXPECT_EQ(missing.status, 404);
    EXPECT_FALSE(missing.body.empty());
    EXPECT_EQ(Fetch(base + "/test/echo").body.rfind("GET /test/echo HTTP/1.1\n", 0), 0u);
    Response counter = Fetch(sites_->hosts().counter + "/cf.aspx?username=talvenor&assort=1");
    EXPECT_EQ(counter.contentType, "image/gif");
    EXPECT_EQ(counter.body.substr(0, 6), "GIF89a");
}

TEST_F(DemoFaultsTest, StopDoesNotWaitForASlowAnswer) {
    // An answer due in two minutes, fetched by a client that would wait ten.
    sites_->AddFault(On("2.html", FaultKind::Delay, 120000));
    FetchOptions patient;
    patient.timeoutMs = 600000;
    sites_->ClearRequestLog();
    auto pending = std::async(std::launch::async, [&] { return Fetch(url_, patient); });
    auto arrived = [&] {
        for (const auto& line : sites_->RequestLog())
            if (line.find("2.html") != std::string::npos) return true;
        return false;
    };
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!arrived() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(arrived());
    // A stop that waited for the answer would take the two minutes.
    auto stopped = std::async(std::launch::async, [this] { sites_->Stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_NE(pending.get().status, 200);
    EXPECT_FALSE(sites_->running());
}

}  // namespace
}  // namespace talvenor::demo::test

// Polite downloads against the demo sites: the limits per host hold as the
// server sees the requests arrive, busy servers and failed connections are
// asked again (a Retry-After waited for), a missing page is not.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "catalogue/download_settings.h"
#include "demo_sites.h"
#include "net/host_gate.h"
#include "net/http_client.h"
#include "net/retry_policy.h"
#include "support/closed_port.h"
#include "text/encoding.h"

using namespace talvenor;
namespace demo = talvenor::demo;
using Clock = std::chrono::steady_clock;

namespace {

// The demo sites with the arrival time of every request.
class Polite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        demo::DemoOptions options;
        options.port = 0;
        options.categories = 2;
        options.booksPerCategory = 10;
        sites_ = new demo::DemoSites(options);
        sites_->SetRequestObserver([](const std::string& request) {
            std::lock_guard<std::mutex> lock(mutex_);
            arrivals_.push_back({request, Clock::now()});
        });
        ASSERT_TRUE(sites_->Start());
    }
    static void TearDownTestSuite() {
        delete sites_;
        sites_ = nullptr;
    }
    void SetUp() override {
        sites_->ClearFaults();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            arrivals_.clear();
        }
        PoliteSettings quick;
        quick.backoffMs = 20;  // the backoff's doubling, not its length, is under test here
        SetPoliteSettings(quick);
    }
    void TearDown() override {
        SetPoliteSettings(PoliteSettings());
        sites_->ReleaseHeld();
    }
    // Arrival times of the requests whose "host target" holds part.
    static std::vector<Clock::time_point> Arrivals(const std::string& part) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Clock::time_point> out;
        for (const auto& [request, at] : arrivals_)
            if (request.find(part) != std::string::npos) out.push_back(at);
        return out;
    }
    static std::string Url(const std::string& path) { return sites_->hosts().duowan + path; }
    int Fault(const std::string& match, demo::FaultKind kind, int value = 0, int times = -1) {
        demo::Fault f;
        f.host = "duowan.localhost";
        f.match = match;
        f.kind = kind;
        f.value = value;
        f.times = times;
        return sites_->AddFault(f);
    }
    template <typename Pred>
    static bool WaitFor(Pred pred, std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto until = Clock::now() + limit;
        while (!pred()) {
            if (Clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    static demo::DemoSites* sites_;
    static std::mutex mutex_;
    static std::vector<std::pair<std::string, Clock::time_point>> arrivals_;
};

demo::DemoSites* Polite::sites_ = nullptr;
std::mutex Polite::mutex_;
std::vector<std::pair<std::string, Clock::time_point>> Polite::arrivals_;

std::string Fetch(const std::string& url) {
    HttpClient client(HttpSettings::RunTime());
    return client.Get(url);
}

}  // namespace

TEST_F(Polite, NoMoreRequestsAtOnceToAHostThanItsLimitAndOtherHostsGoOn) {
    Fault("index.html", demo::FaultKind::Hold);
    const std::string page = "/book/1/3/index.html";
    std::vector<std::future<std::string>> fetches;
    // However the test ends, the held requests are let go before it waits for them.
    struct LetGo {
        std::vector<std::future<std::string>>& fetches;
        ~LetGo() {
            for (auto& f : fetches)
                while (f.valid() && f.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
                    sites_->ReleaseHeld();
        }
    } letGo{fetches};
    for (int i = 0; i < 4; ++i) fetches.push_back(std::async(std::launch::async, Fetch, Url(page)));
    ASSERT_TRUE(WaitFor([] { return sites_->Held() == 2; }));
    // Another host is not held up by this one's queue.
    EXPECT_FALSE(Fetch(sites_->hosts().feiku + "/").empty());
    // The two others wait in the program, not at the server.
    EXPECT_EQ(Arrivals(page).size(), 2u);
    sites_->ReleaseHeld();
    ASSERT_TRUE(WaitFor([&] { return Arrivals(page).size() == 4 && sites_->Held() == 2; }));
    sites_->ReleaseHeld();
    for (auto& f : fetches) EXPECT_FALSE(f.get().empty());
    EXPECT_LE(sites_->Held(), 2);
}

TEST_F(Polite, RequestsToAStrictHostStartTheGapApart) {
    Settings settings;
    settings.Set("downloads", "per_host", "4");
    settings.Set("host duowan", "min_gap_ms", "150");
    PoliteSettings p = ReadPoliteSettings(settings, sites_->hosts());
    p.backoffMs = 20;
    SetPoliteSettings(p);
    EXPECT_TRUE(settings.Problems().empty());
    std::vector<std::future<std::string>> fetches;
    for (int i = 1; i <= 4; ++i)
        fetches.push_back(
            std::async(std::launch::async, Fetch, Url("/book/1/" + std::to_string(i) + "/index.html")));
    for (auto& f : fetches) f.get();
    const auto at = Arrivals("/book/1/");
    ASSERT_EQ(at.size(), 4u);
    // Starts are timed in the program; their arrival at the server varies by
    // the connection's set-up, a few milliseconds.  Without the gap the four
    // come at once.
    for (size_t i = 1; i < at.size(); ++i)
        EXPECT_GE(at[i] - at[i - 1], std::chrono::milliseconds(135)) << "request " << i;
    // Another host keeps the default: no gap asked of it.
    EXPECT_EQ(LimitsOfHost(SiteHosts::HostName(sites_->hosts().feiku)).minGapMs, 0);
}

TEST_F(Polite, ABusyServerIsAskedAgainAfterItsRetryAfter) {
    Fault("index.html", demo::FaultKind::Busy, 2, 1);
    const unsigned long failures = FetchFailures().count;
    auto fetch = std::async(std::launch::async, Fetch, Url("/book/1/2/index.html"));
    // While it waits, the progress line and window have a retry to show.
    ASSERT_TRUE(WaitFor([] { return CurrentRetries().fetches > 0; }));
    EXPECT_EQ(CurrentRetries().retry, 1);
    EXPECT_EQ(RetryText(1), Utf8ToGbk("第 1 次重试…"));
    EXPECT_FALSE(fetch.get().empty());
    const auto at = Arrivals("/book/1/2/index.html");
    ASSERT_EQ(at.size(), 2u);
    // The server's two seconds were waited for.
    EXPECT_GE(at[1] - at[0], std::chrono::seconds(2));
    EXPECT_EQ(CurrentRetries().fetches, 0);
    // A page that came in the end is no failure.
    EXPECT_EQ(FetchFailures().count, failures);
}

TEST_F(Polite, AMissingPageIsAskedOnceABrokenServerFourTimes) {
    const unsigned long failures = FetchFailures().count;
    HttpClient client(HttpSettings::RunTime());
    Fault("/book/1/4/", demo::FaultKind::Status, 404);
    EXPECT_THROW(client.Get(Url("/book/1/4/index.html")), FetchError);
    EXPECT_EQ(Arrivals("/book/1/4/index.html").size(), 1u);

    Fault("/book/1/5/", demo::FaultKind::Status, 503);
    try {
        client.Get(Url("/book/1/5/index.html"));
        ADD_FAILURE() << "a 503 every time must fail";
    } catch (const FetchError& e) {
        EXPECT_EQ(e.status(), 503);
    }
    EXPECT_EQ(Arrivals("/book/1/5/index.html").size(), 4u);
    // Each page that failed counts once, however often it was asked.
    EXPECT_EQ(FetchFailures().count, failures + 2);

    // A server that asks for more patience than is sensible is not waited for.
    Fault("/book/1/6/", demo::FaultKind::Busy, 3600);
    try {
        client.Get(Url("/book/1/6/index.html"));
        ADD_FAILURE() << "an hour's Retry-After must fail";
    } catch (const FetchError& e) {
        EXPECT_NE(std::string(e.what()).find("3600 s"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Arrivals("/book/1/6/index.html").size(), 1u);
}

TEST_F(Polite, AFlakyHostAndAClosedPortAreRetried) {
    // Every second request fails: every page still comes, the second,
    // third and fourth each asked twice.
    Fault("/book/2/", demo::FaultKind::Flaky, 2);
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(Fetch(Url("/book/2/" + std::to_string(i) + "/index.html")).empty());
    EXPECT_EQ(Arrivals("/book/2/").size(), 7u);

    ClosedPort closed;
    HttpClient client(HttpSettings::RunTime());
    try {
        client.Get(closed.Url("/x"));
        ADD_FAILURE() << "nothing listens there";
    } catch (const FetchError& e) {
        EXPECT_TRUE(e.connectionFailed()) << e.what();
    }
}

TEST_F(Polite, AStopEndsTheWaitForARetryAndForAPlace) {
    Fault("index.html", demo::FaultKind::Busy, 60, 1);
    std::atomic<bool> stop{false};
    auto fetch = std::async(std::launch::async, [&] {
        HttpClient client(HttpSettings::RunTime());
        return client.Get(Url("/book/1/7/index.html"), &stop);
    });
    ASSERT_TRUE(WaitFor([] { return CurrentRetries().fetches > 0; }));
    stop = true;
    try {
        fetch.get();
        ADD_FAILURE() << "stopped";
    } catch (const FetchError& e) {
        EXPECT_TRUE(e.cancelled());
    }
    EXPECT_EQ(Arrivals("/book/1/7/").size(), 1u);
}

TEST(RetryAfter, SecondsAndTheThreeDateForms) {
    const std::time_t now = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_EQ(ParseRetryAfter("2", now), 2000);
    EXPECT_EQ(ParseRetryAfter(" 120 ", now), 120000);
    EXPECT_EQ(ParseRetryAfter("Sun, 06 Nov 1994 08:49:40 GMT", now), 3000);
    EXPECT_EQ(ParseRetryAfter("Sunday, 06-Nov-94 08:50:37 GMT", now), 60000);
    EXPECT_EQ(ParseRetryAfter("Sun Nov  6 08:49:47 1994", now), 10000);
    EXPECT_EQ(ParseRetryAfter("Sat, 05 Nov 1994 08:49:37 GMT", now), 0);  // past: at once
    EXPECT_EQ(ParseRetryAfter("Mon, 01 Jan 2024 00:00:00 GMT", 1704067200 - 5), 5000);
    EXPECT_FALSE(ParseRetryAfter("soon", now));
    EXPECT_FALSE(ParseRetryAfter("-5", now));
    EXPECT_FALSE(ParseRetryAfter("", now));
    EXPECT_FALSE(ParseRetryAfter("Sun, 32 Nov 1994 08:49:40 GMT", now));
}

TEST(RetryAfter, BackoffDoublesWithJitter) {
    for (int retry = 1; retry <= 3; ++retry) {
        const long long full = 500LL << (retry - 1);
        for (int i = 0; i < 50; ++i) {
            const long long ms = BackoffMs(retry, 500);
            EXPECT_GE(ms, full / 2);
            EXPECT_LE(ms, full);
        }
    }
}

TEST(DownloadSettings, HostSectionsByNameOrSiteKeyAndBadValuesReported) {
    const SiteHosts hosts = SiteHosts::Demo(18630);
    Settings s = Settings::Load("/nonexistent/talvenor.ini");
    s.Set("downloads", "per_host", "0");  // below the range: reported, default kept
    s.Set("downloads", "retries", "2");
    s.Set("host feiku", "min_gap_ms", "500");
    s.Set("host Example.ORG", "per_host", "1");
    s.Set("watch", "check_interval_min", "many");
    const PoliteSettings p = ReadPoliteSettings(s, hosts);
    EXPECT_EQ(p.all.perHost, 2);
    EXPECT_EQ(p.tries, 2);
    ASSERT_TRUE(p.hosts.count("feiku.localhost"));
    EXPECT_EQ(p.hosts.at("feiku.localhost").minGapMs, 500);
    EXPECT_EQ(p.hosts.at("feiku.localhost").perHost, 2);
    ASSERT_TRUE(p.hosts.count("example.org"));
    EXPECT_EQ(p.hosts.at("example.org").perHost, 1);
    EXPECT_EQ(ReadWatchIntervalMin(s), 30);
    const auto problems = s.Problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("per_host"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("check_interval_min"), std::string::npos) << problems[1];
}

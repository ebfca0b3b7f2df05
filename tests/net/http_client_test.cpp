#include "net/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "net/downloads.h"
#include "net/test_server.h"
#include "support/closed_port.h"
#include "test_home.h"
#include "text/files.h"

using namespace talvenor;

namespace {

TestServer& Server() {
    static TestServer server;
    return server;
}

// The failure of a fetch, with the body it carried.
FetchError FailureOf(HttpClient& client, const std::string& url) {
    try {
        client.Get(url);
    } catch (const FetchError& e) {
        return e;
    }
    ADD_FAILURE() << "no failure for " << url;
    return FetchError("none", "");
}

}  // namespace

TEST(HttpClient, SettingsOfTheTwoFlavours) {
    HttpSettings c = HttpSettings::Configured(), r = HttpSettings::RunTime();
    EXPECT_EQ(c.readTimeoutMs, 20000);
    EXPECT_TRUE(c.followRedirects);
    EXPECT_EQ(c.maxRedirects, 15);
    // No client waits for ever: a stalled or endless page fails in the end.
    EXPECT_EQ(r.readTimeoutMs, 30000);
    EXPECT_EQ(c.pageTimeoutMs, 180000);
    EXPECT_EQ(r.pageTimeoutMs, 180000);
    EXPECT_FALSE(r.followRedirects);
    EXPECT_EQ(c.maxHeaderLine, 16384u);
    EXPECT_EQ(r.maxBodyBytes, 64u << 20);
}

TEST(HttpClient, SendsTheThreeRequestHeadersAndNoEncoding) {
    HttpClient client(HttpSettings::Configured());
    std::string echo = client.Get(Server().Url("/headers"));
    EXPECT_NE(echo.find("Accept=text/html, */*\n"), std::string::npos) << echo;
    EXPECT_NE(echo.find("User-Agent=Mozilla/3.0 (compatible; Indy Library)\n"), std::string::npos);
    EXPECT_NE(echo.find("Content-Type=text/html\n"), std::string::npos);
    EXPECT_NE(echo.find("Accept-Encoding=\n"), std::string::npos);
}

TEST(HttpClient, UrlsWithoutProtocolAndHostFailBeforeConnecting) {
    HttpClient client(HttpSettings::Configured());
    for (const char* url : {"about:blank", "", "www.example.com/x", "http://", "http:///path",
                            "file:///etc/passwd", "ftp://127.0.0.1/"}) {
        FetchError e = FailureOf(client, url);
        // Refused by the client itself: no status, no body, not a stop.
        EXPECT_EQ(e.status(), 0) << url;
        EXPECT_TRUE(e.body().empty()) << url;
        EXPECT_FALSE(e.cancelled()) << url;
    }
}

TEST(HttpClient, ConfiguredClientFollowsUpToFifteenRedirects) {
    HttpClient client(HttpSettings::Configured());
    EXPECT_EQ(client.Get(Server().Url("/redirect/3")), "landed");
    EXPECT_EQ(client.Get(Server().Url("/redirect/15")), "landed");
    // The sixteenth redirect is not followed: its own body is the result.
    EXPECT_EQ(client.Get(Server().Url("/redirect/16")), "redirect 1");
    EXPECT_EQ(client.Get(Server().Url("/redirect/40")), "redirect 25");
    // A redirect without a location, or to something that is not http, fails.
    EXPECT_EQ(FailureOf(client, Server().Url("/redirect-nowhere")).body(), "no location");
    EXPECT_THROW(client.Get(Server().Url("/redirect-file")), FetchError);
}

TEST(HttpClient, RunTimeClientFailsOnAnyRedirect) {
    HttpClient client(HttpSettings::RunTime());
    FetchError e = FailureOf(client, Server().Url("/redirect/1"));
    EXPECT_EQ(e.status(), 302);
    EXPECT_EQ(e.body(), "redirect 1");
    EXPECT_EQ(client.Get(Server().Url("/redirect/0")), "landed");
}

TEST(HttpClient, ErrorStatusFailsAndCarriesTheErrorPage) {
    HttpClient client(HttpSettings::Configured());
    for (int status : {404, 500, 401, 407}) {
        FetchError e = FailureOf(client, Server().Url("/status/" + std::to_string(status)));
        EXPECT_EQ(e.status(), status);
        EXPECT_EQ(e.body(), "<html>error page " + std::to_string(status) + "</html>");
        EXPECT_EQ(FetchPageOrPartial(client, Server().Url("/status/" + std::to_string(status))), e.body());
    }
}

TEST(HttpClient, PiecesAreTheBodyOfTheAnswerOnly) {
    HttpClient client(HttpSettings::Configured());
    std::string pieces;
    size_t count = 0, announced = 0;
    auto collect = [&](const char* data, size_t n, size_t expected) {
        pieces.append(data, n);
        ++count;
        announced = expected;
    };
    // A body of two megabytes arrives in many pieces that make it up in
    // order, with its announced length.
    const std::string big = client.Get(Server().Url("/big?mb=2"), nullptr, collect);
    EXPECT_EQ(big.size(), 2u << 20);
    EXPECT_EQ(announced, 2u << 20);
    EXPECT_GT(count, 2u);
    EXPECT_TRUE(pieces == big);
    // Only the page a redirect leads to, never the redirects' own bodies.
    pieces.clear();
    EXPECT_EQ(client.Get(Server().Url("/redirect/3"), nullptr, collect), "landed");
    EXPECT_EQ(pieces, "landed");
    // An error page is no answer: nothing is handed over, the failure is as without pieces.
    pieces.clear();
    try {
        client.Get(Server().Url("/status/500"), nullptr, collect);
        ADD_FAILURE() << "no failure";
    } catch (const FetchError& e) {
        EXPECT_EQ(e.status(), 500);
        EXPECT_EQ(e.body(), "<html>error page 500</html>");
    }
    EXPECT_EQ(pieces, "");
}

TEST(HttpClient, APieceHandlerThatThrowsEndsTheTransferWithItsFailure) {
    struct Refused {};
    HttpClient client(HttpSettings::Configured());
    size_t pieces = 0;
    EXPECT_THROW(client.Get(Server().Url("/big?mb=4"), nullptr,
                            [&](const char*, size_t, size_t) {
                                if (++pieces == 2) throw Refused();
                            }),
                 Refused);
    EXPECT_EQ(pieces, 2u);  // no piece after the failure
    // The client goes on working.
    EXPECT_EQ(client.Get(Server().Url("/hello")), "hello");
}

TEST(HttpClient, CookiesAreKeptPerClient) {
    HttpClient a(HttpSettings::Configured()), b(HttpSettings::RunTime());
    EXPECT_EQ(a.Get(Server().Url("/cookie/echo")), "cookie=");
    a.Get(Server().Url("/cookie/set"));
    EXPECT_EQ(a.Get(Server().Url("/cookie/echo")), "cookie=sid=abc123");
    EXPECT_EQ(b.Get(Server().Url("/cookie/echo")), "cookie=");  // a new client starts with none
}

namespace {

// Shortened limits for one test; the defaults come back afterwards.
class ShortLimits {
  public:
    ShortLimits(int readMs, int pageMs) : saved_(CurrentFetchLimits()) {
        FetchLimits l;
        l.configuredReadTimeoutMs = l.runTimeReadTimeoutMs = readMs;
        l.pageTimeoutMs = pageMs;
        SetFetchLimits(l);
    }
    ~ShortLimits() { SetFetchLimits(saved_); }

  private:
    FetchLimits saved_;
};

// Runs a fetch on a thread of its own and waits for its end; a fetch that
// would hang is ended by the process-wide stop, so the test fails instead.
FetchError FailureWithin(HttpClient& client, const std::string& url, std::chrono::seconds limit) {
    auto result = std::async(std::launch::async, [&] { return FailureOf(client, url); });
    if (result.wait_for(limit) != std::future_status::ready) {
        ADD_FAILURE() << "the fetch of " << url << " did not end";
        StopAllFetches();
    }
    FetchError e = result.get();
    ResumeFetches();
    return e;
}

// Waits (without holding anything up) until done holds or the bound passes.
template <typename Fn>
bool WaitUntil(Fn done, std::chrono::seconds bound) {
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

TEST(HttpClient, ReadTimeOutAppliesToEachWaitForData) {
    // A server that sends the start of a page and then nothing: only the
    // read time-out can end the fetch (the bound below fails the test if it
    // does not).
    HttpClient configured(HttpSettings::Configured());
    configured.SetReadTimeoutMs(300);
    FetchError e = FailureWithin(configured, Server().Url("/stall"), std::chrono::seconds(60));
    Server().Release();
    EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
    EXPECT_EQ(e.body(), "start;");  // what arrived travels with the failure
    // A pause shorter than the time-out is fine.
    configured.SetReadTimeoutMs(5000);
    EXPECT_EQ(configured.Get(Server().Url("/slow?ms=50")), "start;end");
    // A run-time client waits longer.
    HttpClient runTime(HttpSettings::RunTime());
    EXPECT_EQ(runTime.Get(Server().Url("/slow?ms=1200")), "start;end");
}

TEST(HttpClient, NoClientWaitsForeverForAStalledServer) {
    ShortLimits limits(300, 60000);
    for (HttpSettings settings : {HttpSettings::RunTime(), HttpSettings::Configured()}) {
        HttpClient client(settings);
        const unsigned long failures = FetchFailures().count;
        FetchError e = FailureWithin(client, Server().Url("/hang"), std::chrono::seconds(30));
        EXPECT_FALSE(e.cancelled());
        EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
        // Counted, so a front end can tell that a page was not fetched.
        EXPECT_EQ(FetchFailures().count, failures + 1);
        EXPECT_EQ(FetchFailures().last, e.what());
    }
}

TEST(HttpClient, APageThatNeverEndsFailsAtThePageLimit) {
    // A byte every 20 ms never lets the per-wait time-out fire.
    ShortLimits limits(5000, 400);
    HttpClient client(HttpSettings::RunTime());
    FetchError e = FailureWithin(client, Server().Url("/trickle?ms=20"), std::chrono::seconds(30));
    EXPECT_NE(std::string(e.what()).find("page not complete after 400 ms"), std::string::npos) << e.what();
    EXPECT_FALSE(e.body().empty());                          // what arrived travels with the failure
    EXPECT_EQ(client.Get(Server().Url("/hello")), "hello");  // and the client is still usable
}

TEST(HttpClient, StopAllFetchesEndsEveryFetchAtOnce) {
    // Two fetches on two threads, each waiting for a server that never answers.
    HttpClient a(HttpSettings::RunTime()), b(HttpSettings::Configured());
    const int before = Server().hanging();
    const unsigned long failures = FetchFailures().count;
    auto fa = std::async(std::launch::async, [&] { return FailureOf(a, Server().Url("/hang")); });
    auto fb = std::async(std::launch::async, [&] { return FailureOf(b, Server().Url("/hang")); });
    EXPECT_TRUE(WaitUntil([&] { return Server().hanging() >= before + 2; }, std::chrono::seconds(30)));
    StopAllFetches();
    EXPECT_TRUE(fa.get().cancelled());
    EXPECT_TRUE(fb.get().cancelled());
    // Later fetches fail the same way, without reaching the server.
    HttpClient c(HttpSettings::Configured());
    EXPECT_TRUE(FailureOf(c, Server().Url("/hello")).cancelled());
    TestHome home;
    EXPECT_FALSE(DownloadToFile(Server().Url("/hello"), home.dir() + "page.htm"));
    EXPECT_FALSE(FileExists(home.dir() + "page.htm"));
    EXPECT_EQ(FetchFailures().count, failures);  // a stop is not a failure
    ResumeFetches();
    EXPECT_EQ(c.Get(Server().Url("/hello")), "hello");
}

TEST(HttpClient, HugeBodiesAndLongHeaderLinesAreRefused) {
    HttpSettings small = HttpSettings::Configured();
    small.maxBodyBytes = 1u << 20;
    HttpClient client(small);
    EXPECT_EQ(client.Get(Server().Url("/big?mb=1")).size(), 1u << 20);
    FetchError e = FailureOf(client, Server().Url("/big?mb=3"));
    EXPECT_NE(std::string(e.what()).find("larger than"), std::string::npos) << e.what();
    EXPECT_LE(e.body().size(), 1u << 20);

    HttpClient normal(HttpSettings::Configured());
    EXPECT_EQ(normal.Get(Server().Url("/longheader?bytes=16000")), "body");
    FetchError h = FailureOf(normal, Server().Url("/longheader?bytes=17000"));
    EXPECT_NE(std::string(h.what()).find("header line"), std::string::npos) << h.what();
    // The client is still usable afterwards.
    EXPECT_EQ(normal.Get(Server().Url("/hello")), "hello");
}

TEST(HttpClient, DefaultBodyCapIs64MiB) {
    HttpClient client(HttpSettings::RunTime());
    FetchError e = FailureOf(client, Server().Url("/big?mb=65"));
    EXPECT_NE(std::string(e.what()).find("64 MiB"), std::string::npos) << e.what();
}

TEST(HttpClient, StopFlagAbandonsAFetchInProgress) {
    // The flag is set once the first bytes of the page have been sent; only
    // the flag can end the fetch then (the read time-out is ten minutes).
    HttpClient client(HttpSettings::RunTime());
    client.SetReadTimeoutMs(600000);
    std::atomic<bool> stop{false};
    const int before = Server().stalled();
    auto fetch = std::async(std::launch::async, [&] {
        try {
            client.Get(Server().Url("/stall"), &stop);
        } catch (const FetchError& e) {
            return e;
        }
        return FetchError("not cancelled", "");
    });
    EXPECT_TRUE(WaitUntil([&] { return Server().stalled() > before; }, std::chrono::seconds(30)));
    stop = true;
    const bool ended = fetch.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    Server().Release();
    ASSERT_TRUE(ended) << "the stop flag did not end the fetch";
    FetchError e = fetch.get();
    EXPECT_TRUE(e.cancelled()) << e.what();
}

TEST(HttpClient, UnreachableHostFails) {
    HttpClient client(HttpSettings::Configured());
    ClosedPort closed;
    FetchError e = FailureOf(client, closed.Url("/hello"));
    EXPECT_FALSE(e.cancelled());
    EXPECT_EQ(e.status(), 0);
}

TEST(SharedClient, RenewalKeepsAHeldClientAlive) {
    SharedClient shared;
    ClientPtr held = shared.Get();
    EXPECT_TRUE(held->settings().followRedirects);
    shared.Renew();
    ClientPtr renewed = shared.Get();
    EXPECT_NE(held.get(), renewed.get());
    EXPECT_EQ(held->Get(Server().Url("/redirect/2")), "landed");  // still alive and configured
    // After renewal, a redirect answered to the shared client is a failure.
    EXPECT_THROW(renewed->Get(Server().Url("/redirect/1")), FetchError);
}

TEST(Downloads, FetchToFileAndDownloadToFile) {
    TestHome home;
    HttpClient client(HttpSettings::Configured());
    FetchToFile(client, Server().Url("/hello"), home.dir() + "a.htm");
    EXPECT_EQ(ReadFileBytes(home.dir() + "a.htm"), "hello");
    WriteFileAtomic(home.dir() + "b.htm", "old");
    EXPECT_THROW(FetchToFile(client, Server().Url("/status/404"), home.dir() + "b.htm"), FetchError);
    EXPECT_EQ(ReadFileBytes(home.dir() + "b.htm"), "old");  // nothing written on failure

    EXPECT_TRUE(DownloadToFile(Server().Url("/redirect/2"), home.dir() + "c.htm"));
    EXPECT_EQ(ReadFileBytes(home.dir() + "c.htm"), "landed");
    EXPECT_FALSE(DownloadToFile(Server().Url("/status/500"), home.dir() + "d.htm"));
    EXPECT_FALSE(FileExists(home.dir() + "d.htm"));
    EXPECT_FALSE(DownloadToFile("about:blank", home.dir() + "e.htm"));
}

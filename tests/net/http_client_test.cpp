#include "net/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/downloads.h"
#include "net/test_server.h"
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
    EXPECT_EQ(r.readTimeoutMs, 0);
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
    for (const char* url : {"about:blank", "", "www.example.com/x", "http://", "http:///path", "file:///etc/passwd",
                            "ftp://127.0.0.1/"}) {
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_THROW(client.Get(url), FetchError) << url;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
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

TEST(HttpClient, CookiesAreKeptPerClient) {
    HttpClient a(HttpSettings::Configured()), b(HttpSettings::RunTime());
    EXPECT_EQ(a.Get(Server().Url("/cookie/echo")), "cookie=");
    a.Get(Server().Url("/cookie/set"));
    EXPECT_EQ(a.Get(Server().Url("/cookie/echo")), "cookie=sid=abc123");
    EXPECT_EQ(b.Get(Server().Url("/cookie/echo")), "cookie=");  // a new client starts with none
}

TEST(HttpClient, ReadTimeOutAppliesToEachWaitForData) {
    HttpClient configured(HttpSettings::Configured());
    configured.SetReadTimeoutMs(300);
    auto t0 = std::chrono::steady_clock::now();
    FetchError e = FailureOf(configured, Server().Url("/slow?ms=3000"));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
    EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
    EXPECT_EQ(e.body(), "start;");  // what arrived travels with the failure
    // A wait shorter than the time-out is fine.
    EXPECT_EQ(configured.Get(Server().Url("/slow?ms=50")), "start;end");
    // A run-time client waits without limit.
    HttpClient runTime(HttpSettings::RunTime());
    EXPECT_EQ(runTime.Get(Server().Url("/slow?ms=1200")), "start;end");
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
    HttpClient client(HttpSettings::RunTime());
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    auto t0 = std::chrono::steady_clock::now();
    try {
        client.Get(Server().Url("/slow?ms=5000"), &stop);
        ADD_FAILURE() << "not cancelled";
    } catch (const FetchError& e) {
        EXPECT_TRUE(e.cancelled());
    }
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
}

TEST(HttpClient, UnreachableHostFails) {
    HttpClient client(HttpSettings::Configured());
    TestServer* gone = new TestServer;
    std::string url = gone->Url("/hello");
    delete gone;
    EXPECT_THROW(client.Get(url), FetchError);
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

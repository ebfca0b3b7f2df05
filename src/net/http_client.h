// The HTTP client every page of the program is fetched with.
//
// Two flavours exist: the configured client of the catalogue window (20 s
// read time-out for each wait for data, up to 15 redirects followed) and
// clients created at run time (30 s for each wait, no redirects: a redirect
// is a failure).  Both give up on a page that takes longer than three minutes
// in all, keep their cookies, send the same three request headers and refuse
// a response header line longer than 16384 bytes.  A body larger than 64 MiB
// is refused too, so a hostile server cannot exhaust memory.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace talvenor {

struct HttpSettings {
    int readTimeoutMs = 0;  // each wait for data (and the connect); 0 waits without limit
    int pageTimeoutMs = 0;  // the whole fetch of one page, redirects included; 0: no limit
    bool followRedirects = false;
    int maxRedirects = 15;
    size_t maxBodyBytes = 64u << 20;
    size_t maxHeaderLine = 16384;

    static HttpSettings Configured();  // the catalogue window's client
    static HttpSettings RunTime();     // every client created while running
};

// The time limits that HttpSettings::Configured() and RunTime() hand out.
// A server that stops sending, or trickles a page byte by byte, must never
// hold a fetch for ever; tests and the command line shorten them.
struct FetchLimits {
    int configuredReadTimeoutMs = 20000;
    int runTimeReadTimeoutMs = 30000;
    int pageTimeoutMs = 180000;
};
FetchLimits CurrentFetchLimits();
void SetFetchLimits(const FetchLimits& limits);  // for clients created from now on

// The process-wide stop: every fetch under way, on any thread, ends at once
// as cancelled, and every later one fails the same way without connecting,
// until ResumeFetches.  StopAllFetches is safe in a signal handler.
void StopAllFetches();
bool AllFetchesStopped();
void ResumeFetches();

// Fetches of this process that failed (cancelled ones are not counted) and
// the text of the latest failure.  Scrapers carry on with an empty or partial
// page after a failure; this tells a front end that a page was not fetched.
struct FetchFailureRecord {
    unsigned long count = 0;
    std::string last;
    int lastStatus = 0;  // the HTTP status of the latest, 0 when none came
};
FetchFailureRecord FetchFailures();

// A failed fetch.  When part of a body had arrived (an error page sent with
// an error status, a body cut off) it travels with the failure: callers that
// ignore the failure go on with that part.
class FetchError : public std::runtime_error {
public:
    FetchError(const std::string& what, std::string body, int status = 0, bool cancelled = false)
        : std::runtime_error(what), body_(std::move(body)), status_(status), cancelled_(cancelled) {}
    const std::string& body() const { return body_; }
    int status() const { return status_; }
    bool cancelled() const { return cancelled_; }
    // No answer came: the connection could not be made, or broke before a
    // response (a failure worth another try).
    bool connectionFailed() const { return connectionFailed_; }
    // The Retry-After header of the response, as sent; empty when none.
    const std::string& retryAfter() const { return retryAfter_; }
    void SetConnectionFailed(bool failed) { connectionFailed_ = failed; }
    void SetRetryAfter(std::string value) { retryAfter_ = std::move(value); }

private:
    std::string body_;
    int status_;
    bool cancelled_;
    bool connectionFailed_ = false;
    std::string retryAfter_;
};

class HttpClient {
public:
    explicit HttpClient(HttpSettings settings);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GET url; the body unchanged (no conversion, no decompression).  Throws
    // FetchError.  `stop`, when given and set, abandons the transfer at once
    // (checked while waiting for data too, and while waiting for the host's
    // gate or a retry).  The host's limits hold (net/host_gate.h); a busy
    // server or a failed connection is tried again (net/retry_policy.h).
    std::string Get(const std::string& url, const std::atomic<bool>* stop = nullptr);

    // The body's pieces as they arrive, on the thread that calls Get, so
    // that a caller can work on the page while the rest is on its way.  Only
    // the pieces of a successful answer (2xx) are handed over, in order;
    // together they are the body Get returns.  A failure, a redirect or a
    // stop ends the transfer as without pieces (Get throws or goes on to the
    // next address); what was handed over of such a body is then no answer.
    // A piece handler that throws ends the transfer, and Get throws that.
    // `expected` is the body's length as the answer announced it (0 when it
    // did not), for reserving room; the pieces may still end sooner.
    using PieceHandler = std::function<void(const char* data, size_t n, size_t expected)>;
    std::string Get(const std::string& url, const std::atomic<bool>* stop, const PieceHandler& onPiece);

    const HttpSettings& settings() const { return settings_; }
    // Change the time-outs of this client (tests use short ones).
    void SetReadTimeoutMs(int ms);
    void SetPageTimeoutMs(int ms);

private:
    struct Transfer;
    // One try of Get, without the gate and the retries.
    std::string GetOnce(const std::string& url, const std::atomic<bool>* stop, const PieceHandler& onPiece);
    // Runs one request, waking often enough to see a stop or a time-out at
    // once, even while no byte arrives.
    int Perform(Transfer& t);  // a CURLcode
    HttpSettings settings_;
    std::mutex mutex_;  // one transfer at a time: a client is never used by two threads at once
    void* curl_;        // CURL*, kept between calls for its cookies
    void* multi_;       // CURLM*, running it and keeping its connection
};

using ClientPtr = std::shared_ptr<HttpClient>;

// A url is fetchable only with a protocol and a host: "http://" + host + path
// (or https).  "about:blank", "file:..." and the like fail before any connection.
bool IsFetchableUrl(const std::string& url);

// GET with the given client; see HttpClient::Get.
std::string FetchPage(HttpClient& client, const std::string& url, const std::atomic<bool>* stop = nullptr);

// The same, for callers that ignore failures: the body, or what arrived of it.
std::string FetchPageOrPartial(HttpClient& client, const std::string& url, const std::atomic<bool>* stop = nullptr);

// The catalogue window's shared client.  Holders keep the client they were
// given alive (shared ownership), so replacing it never destroys a client
// that a worker is still using.
class SharedClient {
public:
    SharedClient();
    ClientPtr Get() const;
    // Replaces the client by one with the run-time settings.
    void Renew();
    void Set(ClientPtr client);

private:
    mutable std::mutex mutex_;
    ClientPtr client_;
};

}  // namespace talvenor

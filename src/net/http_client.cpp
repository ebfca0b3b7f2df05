#include "net/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

#include "net/host_gate.h"
#include "net/retry_policy.h"

namespace talvenor {

namespace {

std::atomic<int> gConfiguredReadMs{FetchLimits().configuredReadTimeoutMs};
std::atomic<int> gRunTimeReadMs{FetchLimits().runTimeReadTimeoutMs};
std::atomic<int> gPageMs{FetchLimits().pageTimeoutMs};
std::atomic<bool> gStopAll{false};
static_assert(std::atomic<bool>::is_always_lock_free, "StopAllFetches must be safe in a signal handler");

std::mutex gFailuresMutex;
FetchFailureRecord gFailures;

}  // namespace

FetchLimits CurrentFetchLimits() {
    FetchLimits l;
    l.configuredReadTimeoutMs = gConfiguredReadMs.load();
    l.runTimeReadTimeoutMs = gRunTimeReadMs.load();
    l.pageTimeoutMs = gPageMs.load();
    return l;
}

void SetFetchLimits(const FetchLimits& limits) {
    gConfiguredReadMs = limits.configuredReadTimeoutMs;
    gRunTimeReadMs = limits.runTimeReadTimeoutMs;
    gPageMs = limits.pageTimeoutMs;
}

void StopAllFetches() {
    gStopAll.store(true);
}

bool AllFetchesStopped() {
    return gStopAll.load();
}

void ResumeFetches() {
    gStopAll.store(false);
}

FetchFailureRecord FetchFailures() {
    std::lock_guard<std::mutex> lock(gFailuresMutex);
    return gFailures;
}

HttpSettings HttpSettings::Configured() {
    HttpSettings s;
    s.readTimeoutMs = gConfiguredReadMs.load();
    s.pageTimeoutMs = gPageMs.load();
    s.followRedirects = true;
    return s;
}

HttpSettings HttpSettings::RunTime() {
    HttpSettings s;
    s.readTimeoutMs = gRunTimeReadMs.load();
    s.pageTimeoutMs = gPageMs.load();
    return s;
}

namespace {

void GlobalInit() {
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)done;
}

using Clock = std::chrono::steady_clock;

// While a fetch may still be tried again, its failures are kept here
// instead of being counted: only the last try's failure counts.
thread_local FetchFailureRecord* tDeferredFailure = nullptr;

// Counts a failure and hands it back to be thrown.
FetchError Failed(FetchError e) {
    if (!e.cancelled() && tDeferredFailure) {
        tDeferredFailure->last = e.what();
        tDeferredFailure->lastStatus = e.status();
    } else if (!e.cancelled()) {
        std::lock_guard<std::mutex> lock(gFailuresMutex);
        ++gFailures.count;
        gFailures.last = e.what();
        gFailures.lastStatus = e.status();
    }
    return e;
}

}  // namespace

struct HttpClient::Transfer {
    const HttpSettings* settings;
    const std::atomic<bool>* stop;
    const PieceHandler* onPiece = nullptr;
    CURL* curl = nullptr;
    std::exception_ptr pieceFailure;
    size_t expected = 0;  // the announced length of the body, 0 when none
    std::string body;
    std::string retryAfter;
    Clock::time_point lastActivity;
    Clock::time_point deadline;  // of the whole page; max() without a limit
    curl_off_t lastBytes = 0;
    bool tooLarge = false;
    bool headerTooLong = false;
    bool timedOut = false;
    bool pageTimedOut = false;
    bool cancelled = false;

    bool StopRequested() const { return (stop && stop->load()) || gStopAll.load(); }

    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        size_t n = size * count;
        if (t->StopRequested()) {
            t->cancelled = true;
            return 0;
        }
        if (t->body.size() + n > t->settings->maxBodyBytes) {
            t->tooLarge = true;
            return 0;
        }
        // Room for the whole body at once when its length was announced:
        // growing a large page step by step copies it again and again.
        if (t->body.empty()) {
            curl_off_t announced = -1;
            curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            if (announced > 0) {
                t->expected = std::min(static_cast<size_t>(announced), t->settings->maxBodyBytes);
                t->body.reserve(t->expected);
            }
        }
        t->body.append(data, n);
        t->lastActivity = Clock::now();
        if (t->onPiece && *t->onPiece) {
            long status = 0;
            curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
            if (status >= 200 && status < 300) {
                try {
                    (*t->onPiece)(data, n, t->expected);
                } catch (...) {
                    t->pieceFailure = std::current_exception();
                    return 0;
                }
            }
        }
        return n;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        size_t n = size * count;
        // The line as received, CR LF included; the limit is on the line itself.
        size_t line = n;
        if (line >= 2) line -= 2;
        if (line > t->settings->maxHeaderLine) {
            t->headerTooLong = true;
            return 0;
        }
        static const char kRetryAfter[] = "retry-after:";
        const size_t name = sizeof kRetryAfter - 1;
        if (line > name && curl_strnequal(data, kRetryAfter, name))
            t->retryAfter.assign(data + name, line - name);
        t->lastActivity = Clock::now();
        return n;
    }

    static int OnProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
        (void)dltotal;
        auto* t = static_cast<Transfer*>(self);
        if (t->StopRequested()) {
            t->cancelled = true;
            return 1;
        }
        auto now = Clock::now();
        if (dlnow != t->lastBytes) {
            t->lastBytes = dlnow;
            t->lastActivity = now;
        }
        if (now >= t->deadline) {
            t->pageTimedOut = true;
            return 1;
        }
        if (t->settings->readTimeoutMs > 0 &&
            now - t->lastActivity > std::chrono::milliseconds(t->settings->readTimeoutMs)) {
            t->timedOut = true;
            return 1;
        }
        return 0;
    }
};

HttpClient::HttpClient(HttpSettings settings) : settings_(settings), curl_(nullptr), multi_(nullptr) {
    GlobalInit();
    CURL* c = curl_easy_init();
    CURLM* m = curl_multi_init();
    if (!c || !m) {
        curl_easy_cleanup(c);
        curl_multi_cleanup(m);
        throw FetchError("cannot create an HTTP client", "");
    }
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");  // cookie engine on, starting with none
    curl_ = c;
    multi_ = m;
}

HttpClient::~HttpClient() {
    curl_multi_cleanup(static_cast<CURLM*>(multi_));
    curl_easy_cleanup(static_cast<CURL*>(curl_));
}

int HttpClient::Perform(Transfer& t) {
    CURL* c = static_cast<CURL*>(curl_);
    CURLM* m = static_cast<CURLM*>(multi_);
    if (curl_multi_add_handle(m, c) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_RECV_ERROR;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(m, &running) != CURLM_OK) break;
        if (running == 0) {
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(m, &left))
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == c) result = msg->data.result;
            break;
        }
        // The same checks as while bytes arrive: stop flags and time-outs.
        if (Transfer::OnProgress(&t, 0, t.lastBytes, 0, 0) != 0) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(m, nullptr, 0, 50, nullptr);
    }
    curl_multi_remove_handle(m, c);
    return result;
}

void HttpClient::SetReadTimeoutMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.readTimeoutMs = ms;
}

void HttpClient::SetPageTimeoutMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.pageTimeoutMs = ms;
}

bool IsFetchableUrl(const std::string& url) {
    size_t hostStart;
    if (url.compare(0, 7, "http://") == 0)
        hostStart = 7;
    else if (url.compare(0, 8, "https://") == 0)
        hostStart = 8;
    else
        return false;
    if (hostStart >= url.size()) return false;
    char c = url[hostStart];
    return c != '/' && c != ':' && c != '?' && c != '#';
}

std::string HttpClient::Get(const std::string& url, const std::atomic<bool>* stop) {
    return Get(url, stop, PieceHandler());
}

std::string HttpClient::Get(const std::string& url, const std::atomic<bool>* stop, const PieceHandler& onPiece) {
    if (!IsFetchableUrl(url)) throw Failed(FetchError("not an http address: " + url, ""));
    const PoliteSettings polite = CurrentPoliteSettings();
    const std::string host = HostOfUrl(url);
    auto cancelled = [&] { return FetchError("download cancelled", "", 0, true); };
    auto stopped = [&] { return AllFetchesStopped() || (stop && stop->load()); };
    struct Retrying {
        int retry = 0;
        ~Retrying() {
            if (retry > 0) detail::RetryEnded(retry);
        }
        void Next() {
            if (retry > 0) detail::RetryEnded(retry);
            detail::RetryStarted(++retry);
        }
    } retrying;
    bool handedOver = false;
    const PieceHandler counted = !onPiece ? PieceHandler() : PieceHandler([&](const char* data, size_t n, size_t expected) {
        handedOver = true;
        onPiece(data, n, expected);
    });
    for (int attempt = 1;; ++attempt) {
        const bool last = attempt >= polite.tries;
        FetchFailureRecord deferred;
        long long waitMs = 0;
        {
            HostPass pass;
            if (!pass.Enter(host, stop)) throw cancelled();
            struct Defer {
                explicit Defer(FetchFailureRecord* to) { tDeferredFailure = to; }
                ~Defer() { tDeferredFailure = nullptr; }
            };
            try {
                Defer defer(last ? nullptr : &deferred);
                return GetOnce(url, stop, counted);
            } catch (const FetchError& e) {
                // A body already handed over in part cannot be taken back:
                // such a transfer is not tried again.
                if (last || !IsRetryable(e) || handedOver) {
                    if (!last && !e.cancelled()) Failed(e);  // counted after all
                    throw;
                }
                std::optional<long long> after;
                if (!e.retryAfter().empty()) after = ParseRetryAfter(e.retryAfter(), std::time(nullptr));
                if (after && *after > polite.maxRetryAfterMs) {
                    FetchError longer(std::string(e.what()) + " (the site asks to wait " +
                                          std::to_string(*after / 1000) + " s)",
                                      e.body(), e.status());
                    throw Failed(longer);
                }
                waitMs = after ? *after : BackoffMs(attempt, polite.backoffMs);
            }
        }
        // The place at the host is given up while waiting.
        retrying.Next();
        const auto until = Clock::now() + std::chrono::milliseconds(waitMs);
        while (Clock::now() < until) {
            if (stopped()) throw cancelled();
            std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(20),
                                                                  until - Clock::now()));
        }
        if (stopped()) throw cancelled();
    }
}

std::string HttpClient::GetOnce(const std::string& url, const std::atomic<bool>* stop, const PieceHandler& onPiece) {
    if (gStopAll.load() || (stop && stop->load())) throw FetchError("download cancelled", "", 0, true);
    std::lock_guard<std::mutex> lock(mutex_);
    CURL* c = static_cast<CURL*>(curl_);

    static const char* const kHeaders[] = {"Accept: text/html, */*", "Content-Type: text/html",
                                           "Accept-Encoding:", "Expect:"};
    struct Headers {
        struct curl_slist* list = nullptr;
        ~Headers() { curl_slist_free_all(list); }
    } headers;
    for (const char* h : kHeaders) headers.list = curl_slist_append(headers.list, h);

    const auto start = Clock::now();
    const auto deadline = settings_.pageTimeoutMs > 0
                              ? start + std::chrono::milliseconds(settings_.pageTimeoutMs)
                              : Clock::time_point::max();
    std::string current = url;
    int redirects = 0;
    for (;;) {
        Transfer t;
        t.settings = &settings_;
        t.stop = stop;
        t.onPiece = &onPiece;
        t.curl = c;
        t.lastActivity = Clock::now();
        t.deadline = deadline;
        // curl's own limit, a little later, backs up the check in the
        // progress callback.
        long remainingMs = 0;
        if (settings_.pageTimeoutMs > 0) {
            remainingMs = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - t.lastActivity).count());
            remainingMs = (remainingMs < 1 ? 1 : remainingMs) + 1000;
        }

        curl_easy_setopt(c, CURLOPT_URL, current.c_str());
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.list);
        curl_easy_setopt(c, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(c, CURLOPT_PROXY, "");
        curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings_.readTimeoutMs));
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, remainingMs);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);

        const auto rc = static_cast<CURLcode>(Perform(t));
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        const int st = static_cast<int>(status);

        if (t.pieceFailure) std::rethrow_exception(t.pieceFailure);
        if (rc != CURLE_OK) {
            if (t.cancelled || gStopAll.load())
                throw FetchError("download cancelled", std::move(t.body), st, true);
            if (t.tooLarge)
                throw Failed(FetchError("response body larger than " +
                                            std::to_string(settings_.maxBodyBytes >> 20) + " MiB: " + current,
                                        std::move(t.body), st));
            if (t.headerTooLong)
                throw Failed(FetchError("response header line longer than " +
                                            std::to_string(settings_.maxHeaderLine) + " bytes: " + current,
                                        std::move(t.body), st));
            if (t.pageTimedOut || (rc == CURLE_OPERATION_TIMEDOUT && Clock::now() >= deadline))
                throw Failed(FetchError(
                    "page not complete after " + std::to_string(settings_.pageTimeoutMs) + " ms: " + current,
                    std::move(t.body), st));
            if (t.timedOut)
                throw Failed(FetchError(
                    "read timed out after " + std::to_string(settings_.readTimeoutMs) + " ms: " + current,
                    std::move(t.body), st));
            FetchError failure(std::string(curl_easy_strerror(rc)) + ": " + current, std::move(t.body), st);
            failure.SetConnectionFailed(rc == CURLE_COULDNT_CONNECT || rc == CURLE_GOT_NOTHING ||
                                        rc == CURLE_SEND_ERROR || rc == CURLE_RECV_ERROR);
            throw Failed(failure);
        }

        if (status >= 200 && status < 300) return std::move(t.body);
        char* location = nullptr;
        curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &location);
        if (status >= 300 && status < 400 && status != 304 && location && *location) {
            if (!settings_.followRedirects)
                throw Failed(FetchError("redirected (HTTP " + std::to_string(status) +
                                            ") and redirects are not followed: " + current,
                                        std::move(t.body), st));
            // The limit is reached: the last redirect response is the result.
            if (redirects >= settings_.maxRedirects) return std::move(t.body);
            ++redirects;
            current = location;
            if (!IsFetchableUrl(current))
                throw Failed(
                    FetchError("redirected to a non-http address: " + current, std::move(t.body), st));
            continue;
        }
        FetchError failure("HTTP " + std::to_string(status) + ": " + current, std::move(t.body), st);
        failure.SetRetryAfter(t.retryAfter);
        throw Failed(failure);
    }
}

std::string FetchPage(HttpClient& client, const std::string& url, const std::atomic<bool>* stop) {
    return client.Get(url, stop);
}

std::string FetchPageOrPartial(HttpClient& client, const std::string& url, const std::atomic<bool>* stop) {
    try {
        return client.Get(url, stop);
    } catch (const FetchError& e) {
        if (e.cancelled()) throw;
        return e.body();
    }
}

SharedClient::SharedClient() : client_(std::make_shared<HttpClient>(HttpSettings::Configured())) {}

ClientPtr SharedClient::Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return client_;
}

void SharedClient::Renew() {
    auto fresh = std::make_shared<HttpClient>(HttpSettings::RunTime());
    std::lock_guard<std::mutex> lock(mutex_);
    client_ = std::move(fresh);
}

void SharedClient::Set(ClientPtr client) {
    std::lock_guard<std::mutex> lock(mutex_);
    client_ = std::move(client);
}

}  // namespace talvenor

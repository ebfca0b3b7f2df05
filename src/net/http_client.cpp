#include "net/http_client.h"

#include <curl/curl.h>

#include <chrono>

namespace talvenor {

HttpSettings HttpSettings::Configured() {
    HttpSettings s;
    s.readTimeoutMs = 20000;
    s.followRedirects = true;
    return s;
}

HttpSettings HttpSettings::RunTime() {
    return HttpSettings();
}

namespace {

void GlobalInit() {
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)done;
}

using Clock = std::chrono::steady_clock;

}  // namespace

struct HttpClient::Transfer {
    const HttpSettings* settings;
    const std::atomic<bool>* stop;
    std::string body;
    Clock::time_point lastActivity;
    curl_off_t lastBytes = 0;
    bool tooLarge = false;
    bool headerTooLong = false;
    bool timedOut = false;
    bool cancelled = false;

    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        size_t n = size * count;
        if (t->stop && t->stop->load()) {
            t->cancelled = true;
            return 0;
        }
        if (t->body.size() + n > t->settings->maxBodyBytes) {
            t->tooLarge = true;
            return 0;
        }
        t->body.append(data, n);
        t->lastActivity = Clock::now();
        return n;
    }

    static size_t OnHeader(char* /*data*/, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        size_t n = size * count;
        // The line as received, CR LF included; the limit is on the line itself.
        size_t line = n;
        if (line >= 2) line -= 2;
        if (line > t->settings->maxHeaderLine) {
            t->headerTooLong = true;
            return 0;
        }
        t->lastActivity = Clock::now();
        return n;
    }

    static int OnProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
        (void)dltotal;
        auto* t = static_cast<Transfer*>(self);
        if (t->stop && t->stop->load()) {
            t->cancelled = true;
            return 1;
        }
        auto now = Clock::now();
        if (dlnow != t->lastBytes) {
            t->lastBytes = dlnow;
            t->lastActivity = now;
        }
        if (t->settings->readTimeoutMs > 0 &&
            now - t->lastActivity > std::chrono::milliseconds(t->settings->readTimeoutMs)) {
            t->timedOut = true;
            return 1;
        }
        return 0;
    }
};

HttpClient::HttpClient(HttpSettings settings) : settings_(settings), curl_(nullptr) {
    GlobalInit();
    CURL* c = curl_easy_init();
    if (!c) throw FetchError("cannot create an HTTP client", "");
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");  // cookie engine on, starting with none
    curl_ = c;
}

HttpClient::~HttpClient() {
    curl_easy_cleanup(static_cast<CURL*>(curl_));
}

void HttpClient::SetReadTimeoutMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.readTimeoutMs = ms;
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
    if (!IsFetchableUrl(url)) throw FetchError("not an http address: " + url, "");
    std::lock_guard<std::mutex> lock(mutex_);
    CURL* c = static_cast<CURL*>(curl_);

    static const char* const kHeaders[] = {"Accept: text/html, */*", "Content-Type: text/html",
                                           "Accept-Encoding:", "Expect:"};
    struct curl_slist* headers = nullptr;
    for (const char* h : kHeaders) headers = curl_slist_append(headers, h);

    std::string current = url;
    int redirects = 0;
    for (;;) {
        Transfer t;
        t.settings = &settings_;
        t.stop = stop;
        t.lastActivity = Clock::now();

        curl_easy_setopt(c, CURLOPT_URL, current.c_str());
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(c, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(c, CURLOPT_PROXY, "");
        curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings_.readTimeoutMs));
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);

        CURLcode rc = curl_easy_perform(c);
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);

        if (rc != CURLE_OK) {
            curl_slist_free_all(headers);
            if (t.cancelled) throw FetchError("download cancelled", std::move(t.body), static_cast<int>(status), true);
            if (t.tooLarge)
                throw FetchError("response body larger than " + std::to_string(settings_.maxBodyBytes >> 20) +
                                     " MiB: " + current,
                                 std::move(t.body), static_cast<int>(status));
            if (t.headerTooLong)
                throw FetchError("response header line longer than " + std::to_string(settings_.maxHeaderLine) +
                                     " bytes: " + current,
                                 std::move(t.body), static_cast<int>(status));
            if (t.timedOut)
                throw FetchError("read timed out after " + std::to_string(settings_.readTimeoutMs) + " ms: " + current,
                                 std::move(t.body), static_cast<int>(status));
            throw FetchError(std::string(curl_easy_strerror(rc)) + ": " + current, std::move(t.body),
                             static_cast<int>(status));
        }

        if (status >= 200 && status < 300) {
            curl_slist_free_all(headers);
            return std::move(t.body);
        }
        char* location = nullptr;
        curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &location);
        if (status >= 300 && status < 400 && status != 304 && location && *location) {
            if (!settings_.followRedirects) {
                curl_slist_free_all(headers);
                throw FetchError("redirected (HTTP " + std::to_string(status) + ") and redirects are not followed: " +
                                     current,
                                 std::move(t.body), static_cast<int>(status));
            }
            if (redirects >= settings_.maxRedirects) {
                // The limit is reached: the last redirect response is the result.
                curl_slist_free_all(headers);
                return std::move(t.body);
            }
            ++redirects;
            current = location;
            if (!IsFetchableUrl(current)) {
                curl_slist_free_all(headers);
                throw FetchError("redirected to a non-http address: " + current, std::move(t.body),
                                 static_cast<int>(status));
            }
            continue;
        }
        curl_slist_free_all(headers);
        throw FetchError("HTTP " + std::to_string(status) + ": " + current, std::move(t.body), static_cast<int>(status));
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

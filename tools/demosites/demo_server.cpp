#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <memory>
#include <thread>

#include "demo_sites.h"
#include "demo_text.h"
#include "faults.h"
#include "site_pages.h"

namespace talvenor::demo {

namespace {

constexpr size_t kLogLimit = 200000;

std::string HostOnly(const std::string& header) {
    std::string host = header;
    if (!host.empty() && host[0] != '[') {
        auto colon = host.rfind(':');
        if (colon != std::string::npos) host.erase(colon);
    }
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
    return host;
}

std::string ContentType(const Page& page) {
    if (!page.html) return page.mimeType;
    return page.mimeType + (page.gbk ? "; charset=gbk" : "; charset=utf-8");
}

std::string Encoded(const Page& page) {
    return page.html && page.gbk ? Utf8ToGbk(page.body) : page.body;
}

int QueryInt(const std::string& target, const std::string& name, int fallback) {
    int v;
    return ToInt(RawQueryParam(target, name), &v) ? v : fallback;
}

}  // namespace

struct DemoSites::Impl {
    explicit Impl(DemoOptions opts) : options(opts), content(opts) {}

    DemoOptions options;
    DemoContent content;
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};
    int port = 0;
    FaultTable faults;
    mutable std::mutex logMutex;
    std::vector<std::string> log;
    std::function<void(const std::string&)> observer;
    std::atomic<int> held{0};
    std::atomic<unsigned> releases{0};
    std::atomic<long> trickled{0};

    // Sleeps that end early when the server stops, so that Stop never
    // waits for a slow answer.
    bool Pause(int ms) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
        return !stopping;
    }

    void Send(const Page& page, httplib::Response& res) {
        res.status = page.status;
        if (!page.location.empty()) res.set_header("Location", page.location);
        res.set_content(Encoded(page), ContentType(page));
    }

    bool TestPath(const std::string& target, const httplib::Request& req, httplib::Response& res);
    void ApplyFault(const Fault& fault, Page page, const httplib::Request& req, httplib::Response& res);
    void Handle(const httplib::Request& req, httplib::Response& res);
};

bool DemoSites::Impl::TestPath(const std::string& target, const httplib::Request& req,
                               httplib::Response& res) {
    std::string path = target.substr(0, target.find('?'));
    if (path.rfind("/test/", 0) != 0) return false;
    auto parts = PathParts(path);
    int n = 0;
    Page page;
    page.body = "<html><body>ok</body></html>\r\n";
    if (parts.size() == 4 && parts[1] == "redirect" && parts[2] == "loop" && ToInt(parts[3], &n)) {
        page.status = 302;
        page.location = "/test/redirect/loop/" + std::to_string(n + 1);
    } else if (parts.size() == 3 && parts[1] == "redirect" && ToInt(parts[2], &n)) {
        if (n > 0) {
            page.status = 302;
            page.location = "/test/redirect/" + std::to_string(n - 1);
        } else {
            page.body = "<html><body>redirects done</body></html>\r\n";
        }
    } else if (path == "/test/cookie/set") {
        std::string value = RawQueryParam(target, "value");
        res.set_header("Set-Cookie", "demo=" + (value.empty() ? std::string("1") : value) + "; Path=/");
    } else if (path == "/test/cookie/echo") {
        page.html = false;
        page.mimeType = "text/plain";
        page.body = req.get_header_value("Cookie");
    } else if (path == "/test/slow") {
        Pause(QueryInt(target, "ms", 1000));
    } else if (path == "/test/big") {
        size_t total = static_cast<size_t>(QueryInt(target, "mb", 1)) << 20;
        auto line = std::make_shared<std::string>(std::string(1023, 'x') + "\n");
        res.status = 200;
        res.set_content_provider(
            total, "text/plain", [line](size_t offset, size_t length, httplib::DataSink& sink) {
                size_t start = offset % line->size();
                return sink.write(line->data() + start, std::min(length, line->size() - start));
            });
        return true;
    } else if (path == "/test/longheader") {
        res.set_header("X-Long", std::string(static_cast<size_t>(QueryInt(target, "bytes", 20000)), 'a'));
    } else if (parts.size() == 3 && parts[1] == "status" && ToInt(parts[2], &n) && n >= 100 && n < 600) {
        page = ErrorPage(n, false);
    } else if (path == "/test/chapters") {
        // A book written on (or cut short) while the sites run.
        Site site;
        const std::string name = RawQueryParam(target, "site");
        const std::string key = RawQueryParam(target, "key");
        const int count = QueryInt(target, "count", 0);
        const std::pair<const char*, Site> kNames[] = {{"duowan", Site::Duowan}, {"readnovel", Site::Readnovel},
                                                       {"xs8", Site::Xs8},       {"feiku", Site::Feiku},
                                                       {"520", Site::S520}};
        bool known = false;
        for (const auto& [alias, s] : kNames)
            if (name == alias) {
                site = s;
                known = true;
            }
        if (!known || key.empty() || count < 1 || !content.BookByKey(site, key)) {
            page = ErrorPage(404, false);
        } else {
            content.SetChapterCount(site, key, count);
            page.body = "<html><body>" + std::to_string(count) + " chapters</body></html>\r\n";
        }
    } else if (path == "/test/echo") {
        page.html = false;
        page.mimeType = "text/plain";
        page.body = req.method + " " + req.target + " " + req.version + "\n";
        for (const auto& [key, value] : req.headers) page.body += key + ": " + value + "\n";
    } else {
        page = ErrorPage(404, false);
    }
    Send(page, res);
    return true;
}

void DemoSites::Impl::ApplyFault(const Fault& fault, Page page, const httplib::Request& req,
                                 httplib::Response& res) {
    switch (fault.kind) {
        case FaultKind::Status:
            Send(ErrorPage(fault.value ? fault.value : 500, page.gbk), res);
            return;
        case FaultKind::Busy:
            Send(ErrorPage(429, page.gbk), res);
            res.set_header("Retry-After", std::to_string(fault.value ? fault.value : 1));
            return;
        case FaultKind::Flaky:
            Send(ErrorPage(503, page.gbk), res);
            return;
        case FaultKind::Delay:
            if (!Pause(fault.value ? fault.value : 3000)) {
                Send(ErrorPage(503, page.gbk), res);
                return;
            }
            Send(page, res);
            return;
        case FaultKind::Redirect:
        case FaultKind::RedirectLoop: {
            Page moved = ErrorPage(302, page.gbk);
            moved.location = fault.kind == FaultKind::Redirect ? fault.location : "/test/redirect/loop/1";
            Send(moved, res);
            return;
        }
        case FaultKind::Hold: {
            const unsigned released = releases.load();
            ++held;
            while (!stopping && releases.load() == released)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --held;
            if (stopping) {
                Send(ErrorPage(503, page.gbk), res);
                return;
            }
            Send(page, res);
            return;
        }
        case FaultKind::EmptyBody:
            res.status = 200;
            res.set_content("", ContentType(page));
            return;
        case FaultKind::NoMarker:
            for (const auto& m : page.markers) ReplaceAll(page.body, m, "");
            Send(page, res);
            return;
        case FaultKind::Hostile: {
            // Into the text (after the first line break) and into the
            // first link's text, which is a chapter list's first title.
            const std::string markup = HostileMarkup("http://" + req.get_header_value("Host"));
            const size_t br = page.body.find("<br>");
            const size_t a = page.body.find("</a>");
            std::vector<size_t> places;
            if (br != std::string::npos) places.push_back(br + 4);
            if (a != std::string::npos) places.push_back(a);
            // The later place first, so the earlier one stays where it was.
            std::sort(places.rbegin(), places.rend());
            for (size_t at : places) page.body.insert(at, markup);
            Send(page, res);
            return;
        }
        case FaultKind::BadUtf8: {
            std::string body = Encoded(page);
            // Before a "<" past the middle: the stray byte stands between two
            // whole characters.
            size_t at = body.find('<', body.size() / 2);
            body.insert(at == std::string::npos ? body.size() : at, "\xB0");
            res.status = page.status;
            res.set_content(body, ContentType(page));
            return;
        }
        case FaultKind::Trickle:
        case FaultKind::CutOff: {
            auto body = std::make_shared<std::string>(Encoded(page));
            size_t limit = fault.kind == FaultKind::CutOff
                               ? std::min(body->size(),
                                          fault.value ? static_cast<size_t>(fault.value) : body->size() / 2)
                               : body->size();
            int gap = fault.kind == FaultKind::Trickle ? (fault.value ? fault.value : 200) : 0;
            res.status = page.status;
            res.set_content_provider(
                body->size(), ContentType(page),
                [this, body, limit, gap](size_t offset, size_t length, httplib::DataSink& sink) {
                    // Returning false makes the server drop the connection.
                    if (offset >= limit) return false;
                    if (gap && !Pause(gap)) return false;
                    size_t n = std::min({length, limit - offset, gap ? size_t(64) : limit});
                    if (!sink.write(body->data() + offset, n)) return false;
                    trickled += static_cast<long>(n);
                    return true;
                });
            return;
        }
        case FaultKind::Rate: {
            // Each piece leaves when a link of that speed would have carried
            // everything before it.
            auto body = std::make_shared<std::string>(Encoded(page));
            const double bytesPerMs = 1000.0 * (fault.value ? fault.value : 10);
            auto start = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
            res.status = page.status;
            res.set_content_provider(
                body->size(), ContentType(page),
                [this, body, bytesPerMs, start](size_t offset, size_t length, httplib::DataSink& sink) {
                    const size_t n = std::min<size_t>(length, 16 * 1024);
                    const auto due = *start + std::chrono::microseconds(static_cast<long long>(
                                                  1000.0 * static_cast<double>(offset) / bytesPerMs));
                    while (!stopping && std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
                    if (stopping) return false;
                    return sink.write(body->data() + offset, n);
                });
            return;
        }
    }
}

void DemoSites::Impl::Handle(const httplib::Request& req, httplib::Response& res) {
    const std::string host = HostOnly(req.get_header_value("Host"));
    const std::string& target = req.target;
    {
        std::lock_guard<std::mutex> lock(logMutex);
        if (log.size() < kLogLimit) log.push_back(host + " " + target);
    }
    if (observer) observer(host + " " + target);
    if (TestPath(target, req, res)) return;
    std::optional<Fault> fault = faults.Take(host, target);
    Page page = BuildPage(content, host, target);
    if (fault)
        ApplyFault(*fault, std::move(page), req, res);
    else
        Send(page, res);
}

DemoSites::DemoSites(DemoOptions options) : impl_(std::make_unique<Impl>(options)) {}

DemoSites::~DemoSites() {
    Stop();
}

bool DemoSites::Start() {
    Impl& d = *impl_;
    if (d.running) return true;
    // httplib's server cannot listen again once stopped.
    if (d.port != 0) return false;
    // Slow and trickling answers hold a worker each; keep enough for the
    // rest of the requests of a test.
    d.server.new_task_queue = [] { return new httplib::ThreadPool(24); };
    d.server.set_keep_alive_timeout(2);
    d.server.set_keep_alive_max_count(1000);
    // Without it, small answers on a kept-alive connection wait for the
    // client's delayed acknowledgement.
    d.server.set_tcp_nodelay(true);
    d.server.Get(".*", [&d](const httplib::Request& req, httplib::Response& res) { d.Handle(req, res); });
    int port = d.options.port;
    if (port == 0)
        port = d.server.bind_to_any_port("127.0.0.1");
    else if (!d.server.bind_to_port("127.0.0.1", port))
        port = -1;
    if (port <= 0) return false;
    d.port = port;
    d.content.SetPort(port);
    d.stopping = false;
    d.running = true;
    d.thread = std::thread([&d] { d.server.listen_after_bind(); });
    return true;
}

void DemoSites::Stop() {
    Impl& d = *impl_;
    if (!d.running) return;
    d.stopping = true;
    d.server.stop();
    if (d.thread.joinable()) d.thread.join();
    d.running = false;
}

int DemoSites::Held() const {
    return impl_->held.load();
}

long DemoSites::TrickledBytes() const {
    return impl_->trickled.load();
}

void DemoSites::ReleaseHeld() {
    ++impl_->releases;
}

void DemoSites::SetRequestObserver(std::function<void(const std::string&)> observer) {
    impl_->observer = std::move(observer);
}

bool DemoSites::running() const {
    return impl_->running;
}

int DemoSites::port() const {
    return impl_->port;
}

SiteHosts DemoSites::hosts() const {
    return impl_->content.hosts();
}

DemoContent& DemoSites::content() {
    return impl_->content;
}

const DemoContent& DemoSites::content() const {
    return impl_->content;
}

void DemoSites::AddBooks(Site site, int category, int count) {
    impl_->content.AddBooks(site, category, count);
}

int DemoSites::AddFault(const Fault& fault) {
    return impl_->faults.Add(fault);
}

void DemoSites::RemoveFault(int id) {
    impl_->faults.Remove(id);
}

void DemoSites::ClearFaults() {
    impl_->faults.Clear();
}

std::vector<std::string> DemoSites::RequestLog() const {
    std::lock_guard<std::mutex> lock(impl_->logMutex);
    return impl_->log;
}

void DemoSites::ClearRequestLog() {
    std::lock_guard<std::mutex> lock(impl_->logMutex);
    impl_->log.clear();
}

}  // namespace talvenor::demo

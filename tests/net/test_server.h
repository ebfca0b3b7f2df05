// A small HTTP server on loopback for the client tests: redirects, cookies,
// error pages, slow, hanging, trickling and huge answers, over-long header
// lines.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class TestServer {
  public:
    TestServer() {
        using httplib::Request;
        using httplib::Response;
        server_.Get("/hello", [](const Request&, Response& res) { res.set_content("hello", "text/html"); });
        server_.Get("/headers", [](const Request& req, Response& res) {
            std::string out;
            for (const char* h : {"Accept", "User-Agent", "Content-Type", "Accept-Encoding"})
                out += std::string(h) + "=" + req.get_header_value(h) + "\n";
            res.set_content(out, "text/plain");
        });
        server_.Get(R"(/redirect/(\d+))", [](const Request& req, Response& res) {
            int n = std::stoi(req.matches[1]);
            if (n == 0) {
                res.set_content("landed", "text/html");
                return;
            }
            res.status = 302;
            res.set_header("Location", "/redirect/" + std::to_string(n - 1));
            res.set_content("redirect " + std::to_string(n), "text/html");
        });
        server_.Get("/redirect-nowhere", [](const Request&, Response& res) {
            res.status = 302;
            res.set_content("no location", "text/html");
        });
        server_.Get("/redirect-file", [](const Request&, Response& res) {
            res.status = 302;
            res.set_header("Location", "file:///etc/passwd");
        });
        server_.Get("/cookie/set", [](const Request&, Response& res) {
            res.set_header("Set-Cookie", "sid=abc123; Path=/");
            res.set_content("set", "text/html");
        });
        server_.Get("/cookie/echo", [](const Request& req, Response& res) {
            res.set_content("cookie=" + req.get_header_value("Cookie"), "text/html");
        });
        server_.Get(R"(/status/(\d+))", [](const Request& req, Response& res) {
            res.status = std::stoi(req.matches[1]);
            res.set_content("<html>error page " + std::string(req.matches[1]) + "</html>", "text/html");
        });
        server_.Get("/slow", [](const Request& req, Response& res) {
            int ms = std::stoi(req.get_param_value("ms"));
            res.set_chunked_content_provider("text/html", [ms](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("start;", 6);
                    return true;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                sink.write("end", 3);
                sink.done();
                return true;
            });
        });
        // "start;" at once, then nothing until Release() (or the server stops):
        // a server that stalls in the middle of a page.
        server_.Get("/stall", [this](const Request&, Response& res) {
            res.set_chunked_content_provider("text/html", [this](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    const unsigned gen = releases_;
                    sink.write("start;", 6);
                    ++stalled_;
                    while (!stopping_ && releases_ == gen)
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    --stalled_;
                    return false;  // drops the connection: the page never ends
                }
                return false;
            });
        });
        // Never answers (until the server stops): a server that hangs.
        server_.Get("/hang", [this](const Request&, Response& res) {
            ++hanging_;
            while (!stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --hanging_;
            res.status = 503;
        });
        // Headers at once, then one byte every `ms` for as long as the client listens.
        server_.Get("/trickle", [this](const Request& req, Response& res) {
            int ms = std::stoi(req.get_param_value("ms"));
            res.set_chunked_content_provider("text/html", [this, ms](size_t, httplib::DataSink& sink) {
                if (stopping_) return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                return sink.write("x", 1);
            });
        });
        server_.Get("/big", [](const Request& req, Response& res) {
            size_t total = std::stoul(req.get_param_value("mb")) << 20;
            res.set_content_provider(total, "text/html",
                                     [](size_t offset, size_t length, httplib::DataSink& sink) {
                                         static const std::string block(64 * 1024, 'x');
                                         size_t n = std::min(length, block.size());
                                         (void)offset;
                                         return sink.write(block.data(), n);
                                     });
        });
        server_.Get("/longheader", [](const Request& req, Response& res) {
            res.set_header("X-Long", std::string(std::stoul(req.get_param_value("bytes")), 'h'));
            res.set_content("body", "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TestServer() {
        stopping_ = true;
        server_.stop();
        thread_.join();
    }
    int port() const { return port_; }
    // Requests to /hang waiting right now.
    int hanging() const { return hanging_; }
    // Requests to /stall that have sent their first bytes and wait now.
    int stalled() const { return stalled_; }
    // Lets every stalled request go (each drops its connection).
    void Release() { ++releases_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> hanging_{0};
    std::atomic<int> stalled_{0};
    std::atomic<unsigned> releases_{0};
};

// A small HTTP server on loopback that serves the pages a test puts in
// place, by path (404 otherwise): for the malformed layouts the demo sites
// never produce.
#pragma once

#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PageServer {
  public:
    PageServer() {
        server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(req.target);
            const std::string* body = nullptr;
            auto it = pages_.find(req.path);
            if (it != pages_.end()) body = &it->second;
            if (!body) {  // else the longest prefix served for every path under it
                size_t longest = 0;
                for (const auto& [prefix, page] : prefixes_)
                    if (req.path.rfind(prefix, 0) == 0 && prefix.size() >= longest) {
                        longest = prefix.size();
                        body = &page;
                    }
            }
            if (!body) {
                res.status = 404;
                res.set_content("<html>not here</html>", "text/html");
                return;
            }
            res.set_content(*body, types_.count(req.path) ? types_[req.path] : "text/html");
        });
        // One request a connection, so stopping never waits for an idle client.
        server_.set_keep_alive_max_count(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~PageServer() {
        server_.stop();
        thread_.join();
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Serves body (bytes as given) at path; every "@" in it becomes base().
    void Serve(const std::string& path, std::string body) {
        for (size_t at; (at = body.find('@')) != std::string::npos;) body.replace(at, 1, base());
        std::lock_guard<std::mutex> lock(mutex_);
        pages_[path] = std::move(body);
    }
    // Serves body for every path that begins with prefix (and has no page
    // of its own): the same page for every page number.
    void ServeUnder(const std::string& prefix, std::string body) {
        for (size_t at; (at = body.find('@')) != std::string::npos;) body.replace(at, 1, base());
        std::lock_guard<std::mutex> lock(mutex_);
        prefixes_[prefix] = std::move(body);
    }
    // Serves body with its own content type.
    void ServeAs(const std::string& path, std::string body, const std::string& type) {
        Serve(path, std::move(body));
        std::lock_guard<std::mutex> lock(mutex_);
        types_[path] = type;
    }
    // The targets (path and query) asked for so far, in order.
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    // The same behind a head longer than 100 bytes, as real pages have.
    void Put(const std::string& path, const std::string& body) { Serve(path, std::string(120, ' ') + body); }

  private:
    std::mutex mutex_;
    std::map<std::string, std::string> pages_, prefixes_, types_;
    std::vector<std::string> requests_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

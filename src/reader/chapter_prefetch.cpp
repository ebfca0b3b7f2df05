#include "reader/chapter_prefetch.h"

#include "net/http_client.h"

namespace talvenor {

ChapterPrefetch::~ChapterPrefetch() {
    Cancel();
}

void ChapterPrefetch::Join() {
    if (thread_.joinable()) thread_.join();
}

void ChapterPrefetch::Cancel() {
    stop_ = true;
    Join();
    std::lock_guard<std::mutex> lock(mutex_);
    url_.clear();
    page_.clear();
    ok_ = false;
}

void ChapterPrefetch::Start(const std::string& url) {
    Cancel();
    stop_ = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        url_ = url;
    }
    thread_ = std::thread([this, url] {
        std::string page;
        bool ok = false;
        try {
            HttpClient client(HttpSettings::RunTime());
            page = FetchPage(client, url, &stop_);
            ok = true;
        } catch (...) {
            // The reader's own fetch tries again and reports what fails.
        }
        std::lock_guard<std::mutex> lock(mutex_);
        page_ = std::move(page);
        ok_ = ok;
    });
}

bool ChapterPrefetch::Take(const std::string& url, std::string& page) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (url_.empty() || url_ != url) return false;
    }
    Join();
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = ok_ && url_ == url;
    if (ok) page = std::move(page_);
    url_.clear();
    page_.clear();
    ok_ = false;
    return ok;
}

}  // namespace talvenor

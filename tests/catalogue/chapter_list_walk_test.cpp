// The chapter lists cut while their page arrives: fed in pieces cut
// anywhere, every site's walk gives what the plain walk of the whole page
// gives, and it cuts chapters before the page is complete.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/chapter_list_pages.h"
#include "catalogue/sites.h"
#include "net/http_client.h"
#include "oracle/walks_oracle.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

const std::string kBase = "http://xs8.example";
const std::string kPrefix = "http://feiku.example/files/2/7/";

// Scrapers search from index 100: a page head without any marker.
const std::string kHead = "<html><head><title>list</title></head><body>" + std::string(80, ' ');

// n chapters in the site's layout, with Chinese titles (UTF-8 for 多玩,
// GBK for the others), and links of the same layout after the list's end.
std::string SitePage(int mode, int n) {
    auto title = [](int i) { return G("第") + std::to_string(i) + G("章 风起&nbsp;云涌"); };
    std::string list, tail;
    for (int i = 1; i <= n + 3; ++i) {
        std::string& out = i <= n ? list : tail;
        const std::string id = std::to_string(1000 + i);
        switch (mode) {
            case 1:
                out += "<li><a href=\"/book/1/" + id + ".html\" title=\"t\">" + GbkToUtf8(title(i)) + "</a></li>";
                break;
            case 2:
                out += "<li><a href=\"/novel/1/" + id + ".html\">" + title(i) + "</a></li>";
                break;
            case 3:
                out += G("<td>·") + "<a href=\"/love/7/" + id + ".html\">" + title(i) + "</a></td>\r\n";
                break;
            default:
                out += "<li><a href=\"" + id + (mode == 4 ? ".shtm" : ".shtml") + "\">" + title(i) + "</a></li>";
                break;
        }
    }
    switch (mode) {
        case 1:
            return kHead + "<div id=\"textlist\"><ul>" + list + "</ul></div><!-- end textlist --><ul>" + tail +
                   "</ul></body>";
        case 2:
            return kHead + "<div id=\"mulu\"><ul>" + list + "</ul></div>" + G(" <!--书目录结束-->") + "</body>";
        case 3:
            return kHead + G("<p>[书籍简介]</p>\r\n<table><tr>") + list + "</tr></table><!-- end -->\n<table>" +
                   tail + "</table>\r</body>";
        case 4: {
            // The site repeats its end marker; the list runs to the last one.
            const size_t half = list.find("<li>", list.size() / 2);
            return kHead + "<div id=\"feiku_chaplist\"><ul>" + list.substr(0, half) +
                   "<div id=\"feiku_e_n_d\"></div>" + list.substr(half) +
                   "</ul><div id=\"feiku_e_n_d\"></div></div><ul>" + tail + "</ul></body>";
        }
        default:
            return kHead + "<ul>" + list + "</ul><div id=\"End\"></div><ul>" + tail + "</ul></body>";
    }
}

std::unique_ptr<ChapterListWalk> WalkOf(int mode) {
    switch (mode) {
        case 1:
            return DuowanChapterWalk();
        case 2:
            return ReadnovelChapterWalk();
        case 3:
            return Xs8ChapterWalk(kBase);
        case 4:
            return FeikuChapterWalk(kPrefix);
        default:
            return S520ChapterWalk(kPrefix);
    }
}

ChapterBatch Reference(int mode, const std::string& page) {
    switch (mode) {
        case 1:
            return oracle::DuowanChapterPage(page);
        case 2:
            return oracle::ReadnovelChapterPage(page);
        case 3:
            return oracle::Xs8ChapterPage(page, kBase);
        case 4:
            return oracle::FeikuChapterPage(page, kPrefix);
        default:
            return oracle::S520ChapterPage(page, kPrefix);
    }
}

// The page fed in pieces that end at the given offsets; markLast: the last
// piece is handed over as the last, as a download that has ended does.
ChapterBatch InPieces(int mode, const std::string& page, const std::vector<size_t>& cuts, bool markLast = false) {
    auto walk = WalkOf(mode);
    size_t at = 0;
    for (size_t cut : cuts) {
        cut = std::min(cut, page.size());
        if (cut <= at) continue;
        walk->Feed(page.data() + at, cut - at);
        at = cut;
    }
    walk->Feed(page.data() + at, page.size() - at, markLast);
    return walk->Finish(page);
}

void ExpectSame(const ChapterBatch& got, const ChapterBatch& want, const std::string& what) {
    EXPECT_EQ(got.titles, want.titles) << what;
    EXPECT_EQ(got.urls, want.urls) << what;
    EXPECT_EQ(got.steps, want.steps) << what;
    EXPECT_EQ(got.setMax, want.setMax) << what;
    EXPECT_EQ(got.max, want.max) << what;
    EXPECT_EQ(got.selectFirst, want.selectFirst) << what;
}

const char* const kSites[] = {"", "duowan", "readnovel", "xs8", "feiku", "s520"};

}  // namespace

TEST(ChapterListWalkInPieces, EveryCutOfEverySitesPageGivesTheWholePagesList) {
    for (int mode = 1; mode <= 5; ++mode) {
        const std::string page = SitePage(mode, 6);
        const ChapterBatch want = Reference(mode, page);
        ASSERT_EQ(want.titles.size(), 6u) << kSites[mode];
        // Two pieces, cut at every byte; then one byte at a time.
        for (size_t k = 0; k <= page.size(); ++k)
            for (bool last : {false, true})
                ExpectSame(InPieces(mode, page, {k}, last), want,
                           std::string(kSites[mode]) + " cut at " + std::to_string(k) + (last ? ", marked last" : ""));
        std::vector<size_t> bytes(page.size());
        for (size_t k = 0; k < page.size(); ++k) bytes[k] = k + 1;
        ExpectSame(InPieces(mode, page, bytes), want, std::string(kSites[mode]) + " byte by byte");
        if (HasFailure()) return;
    }
}

TEST(ChapterListWalkInPieces, APageCutOffAnywhereGivesWhatTheCutPageGives) {
    // A download that ended early: the end marker, a title's end, half a
    // character (GBK or UTF-8) missing.  The walk in pieces must come to the
    // same list, failure outcomes included (多玩's cut-off UTF-8 page is empty).
    for (int mode = 1; mode <= 5; ++mode) {
        const std::string page = SitePage(mode, 4);
        for (size_t len = 0; len <= page.size(); len += 3) {
            const std::string cut = page.substr(0, len);
            ExpectSame(InPieces(mode, cut, {len / 3, len / 2, len / 2 + 1, len - 1}, len % 2 == 0),
                       Reference(mode, cut), std::string(kSites[mode]) + " cut off at " + std::to_string(len));
        }
        if (HasFailure()) return;
    }
}

TEST(ChapterListWalkInPieces, AnInvalidPageOrOtherBytesGiveTheWalkOfTheWholeBody) {
    // 多玩: a stray byte after the list makes the whole page unreadable, even
    // though every chapter had been cut by then.
    std::string page = SitePage(1, 5);
    page.insert(page.size() - 7, "\xff");
    auto walk = DuowanChapterWalk();
    walk->Feed(page.data(), page.size() - 20);
    EXPECT_EQ(walk->Taken(), 5u);
    walk->Feed(page.data() + page.size() - 20, 20);
    ChapterBatch batch = walk->Finish(page);
    EXPECT_TRUE(batch.titles.empty());
    ExpectSame(batch, Reference(1, page), "invalid UTF-8");

    // A body that is not what was fed (nothing fed, or another answer) is
    // walked whole.
    const std::string feiku = SitePage(4, 5);
    walk = FeikuChapterWalk(kPrefix);
    ExpectSame(walk->Finish(feiku), Reference(4, feiku), "nothing fed");
    walk = FeikuChapterWalk(kPrefix);
    walk->Feed("<html>redirect</html>", 21);
    ExpectSame(walk->Finish(feiku), Reference(4, feiku), "another body fed");
}

TEST(ChapterListWalkInPieces, ChaptersAreCutBeforeTheEndOfTheListArrives) {
    // The end markers come after the list: the walk must not wait for them.
    for (int mode : {1, 2, 4, 5}) {
        const std::string page = SitePage(mode, 40);
        auto walk = WalkOf(mode);
        walk->Feed(page.data(), page.size() / 2);
        EXPECT_GE(walk->Taken(), 10u) << kSites[mode];
        walk->Feed(page.data() + page.size() / 2, page.size() - page.size() / 2);
        ExpectSame(walk->Finish(page), Reference(mode, page), kSites[mode]);
    }
    // 飞库's list runs to its last end marker: links after the one seen
    // last are cut on the assumption that another follows, and taken back
    // when the page ends without one.  (The link after them is taken once
    // it is known whether another link follows it.)
    const std::string page = SitePage(4, 8);
    auto walk = FeikuChapterWalk(kPrefix);
    walk->Feed(page.data(), page.size());
    EXPECT_GE(walk->Taken(), 10u);
    const ChapterBatch batch = walk->Finish(page);
    EXPECT_EQ(batch.titles.size(), 8u);
    ExpectSame(batch, Reference(4, page), "links after the last end marker");
}

namespace {

// A server that sends a page in pieces, each only when the test lets it go.
class PieceServer {
public:
    PieceServer(std::string page, size_t pieces) : page_(std::move(page)), pieces_(pieces) {
        server_.Get("/List.shtm", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/html", [this](size_t offset, httplib::DataSink& sink) {
                const size_t piece = (page_.size() + pieces_ - 1) / pieces_;
                const size_t k = offset / piece;
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    if (!wake_.wait_for(lock, std::chrono::seconds(60), [&] { return stopping_ || released_ > k; }))
                        return false;
                    if (stopping_) return false;
                }
                const size_t n = std::min(piece, page_.size() - offset);
                sink.write(page_.data() + offset, n);
                if (offset + n == page_.size()) sink.done();
                return true;
            });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::yield();
    }
    ~PieceServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        server_.stop();
        thread_.join();
    }
    void Release(size_t upTo) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = upTo;
        }
        wake_.notify_all();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/List.shtm"; }

private:
    std::string page_;
    size_t pieces_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    size_t released_ = 0;
    bool stopping_ = false;
};

}  // namespace

TEST(ChapterListWalkInPieces, ALoopbackDownloadInSlowPiecesIsCutAsItArrives) {
    const std::string page = SitePage(4, 3000);
    PieceServer server(page, 4);
    HttpClient client(HttpSettings::RunTime());
    auto walk = FeikuChapterWalk(kPrefix);

    std::mutex mutex;
    std::condition_variable changed;
    size_t bytes = 0, taken = 0;
    std::string body;
    std::thread fetch([&] {
        body = client.Get(server.Url(), nullptr, [&](const char* data, size_t n, size_t) {
            walk->Feed(data, n);
            std::lock_guard<std::mutex> lock(mutex);
            bytes += n;
            taken = walk->Taken();
            changed.notify_all();
        });
    });
    // The first half of the page only: its chapters are cut already.
    server.Release(2);
    {
        const size_t half = 2 * ((page.size() + 3) / 4);
        std::unique_lock<std::mutex> lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return bytes == half; }));
        EXPECT_GT(taken, 1000u);
        EXPECT_LT(taken, 3000u);
    }
    server.Release(4);
    fetch.join();
    ASSERT_EQ(body, page);
    const ChapterBatch batch = walk->Finish(body);
    EXPECT_EQ(batch.titles.size(), 3000u);
    ExpectSame(batch, Reference(4, page), "loopback");
}

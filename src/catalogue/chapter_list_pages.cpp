#include "catalogue/chapter_list_pages.h"

#include <algorithm>
#include <utility>

#include "catalogue/site_rules.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "text/encoding.h"
#include "text/markers.h"
#include "text/piece_walk.h"

namespace talvenor {

void ChapterBatch::Reserve(size_t pageBytes) {
    size_t n = std::min<size_t>(pageBytes / 48 + 1, 100000);
    titles.reserve(n);
    urls.reserve(n);
    steps.reserve(n + 2);
}

namespace {

// How far a walk has filled its batch, so that an item cut short can be
// taken back.
struct Filled {
    size_t titles = 0, urls = 0, steps = 0;
};

Filled FilledOf(const ChapterBatch& b) {
    return {b.titles.size(), b.urls.size(), b.steps.size()};
}

void CutBack(ChapterBatch& b, const Filled& f) {
    b.titles.resize(f.titles);
    b.urls.resize(f.urls);
    b.steps.resize(f.steps);
}

// The bytes as they come, for the sites whose pages are walked as served.
struct AsServed {
    bool Feed(const char* data, size_t n, GrowingText& text) {
        text.Append(data, n);
        return true;
    }
    bool Finish(GrowingText&) { return true; }
};

// The cursor and the batch of a walk; a saved cursor knows how far the batch
// was filled, so going back to it takes back what came after.
template <typename Cursor>
struct BatchWalk {
    Cursor cursor;
    ChapterBatch batch;

    Cursor Save() const {
        Cursor c = cursor;
        c.filled = FilledOf(batch);
        return c;
    }
    void Restore(const Cursor& c) {
        cursor = c;
        CutBack(batch, c.filled);
    }
};

// Each walk below is the site's loop taken one item at a time: the cursor
// holds every variable the loop carries from one item to the next.

// ---- 多玩 (mode 1) ---------------------------------------------------------

struct DuowanCursor {
    bool started = false;
    int s = -1, from = 0, prev = 0;
    Filled filled;
};

struct DuowanWalk : BatchWalk<DuowanCursor> {
    using Cursor = DuowanCursor;
    // The page is UTF-8; the walk runs on its GBK text, decoded as it comes.
    struct Decode {
        Utf8PageDecoder decoder;
        std::string gbk;
        bool Feed(const char* data, size_t n, GrowingText& text) {
            gbk.clear();
            const bool ok = decoder.Feed(data, n, gbk);
            text.Append(gbk);
            return ok;
        }
        bool Finish(GrowingText&) { return decoder.Finish(); }
    };
    using Input = Decode;

    bool Next(PieceWalkStep& step) {
        const GrowingText& page = step.text();
        Cursor& c = cursor;
        if (!c.started) {
            c.s = page.Find("<div id=\"textlist\"", 100);
            step.SetEnd(ListEnd(ListEnd::First, "<!-- end textlist -->", c.s));
            c.from = c.s;
            c.started = true;
            return true;
        }
        const int li = page.Find("<li>", c.from);
        if (li < 0 || !step.Before(li)) return false;
        batch.Step(li - c.prev);
        c.prev = li;
        int pos = li;
        std::string url = page.Cut("<a href=\"", "\"", pos);
        if (pos <= li) return false;  // cut short: the walk would start over
        const int afterUrl = pos;
        std::string title = page.Cut(">", "</a>", pos);
        if (pos <= afterUrl) return false;
        RemoveNbsp(title);
        batch.urls.push_back(std::move(url));
        batch.titles.push_back(std::move(title));
        c.from = pos;
        return true;
    }
    void End(const GrowingText&, const ListEnd& end) {
        batch.SetMax(end.at());
        batch.selectFirst = true;
    }
};

// ---- 小说阅读网 (mode 2) ---------------------------------------------------

struct ReadnovelCursor {
    bool started = false;
    int s = -1, pos = 0, prev = 0;
    Filled filled;
};

struct ReadnovelWalk : BatchWalk<ReadnovelCursor> {
    using Cursor = ReadnovelCursor;
    using Input = AsServed;

    bool Next(PieceWalkStep& step) {
        const GrowingText& page = step.text();
        Cursor& c = cursor;
        if (!c.started) {
            c.s = page.Find("mulu", 100);
            c.started = true;
            if (c.s < 0) {
                batch.titles.push_back(G("没有章节"));
                batch.urls.push_back("about:blank");
                return false;
            }
            c.pos = c.prev = c.s;
            return true;
        }
        const int start = c.pos;
        int pos = c.pos;
        int linkStart = 0;
        std::string url = page.Cut("<li><a href=\"", "\"", pos, &linkStart);
        batch.Step(pos - c.prev);
        c.prev = pos;
        c.pos = pos;
        // No further link: the position went back, or no link marker was
        // left and the cut took a quote from elsewhere as the link's end.
        if (pos < c.s || pos <= start || linkStart <= start) return false;
        batch.urls.push_back(std::move(url));
        // Without a ">" ahead the cut would take the title from the top of
        // the page and send the walk back there, round and round: the list
        // ends with this link, as at an empty title.
        std::string title = page.Find(">", pos) < 0 ? std::string() : page.Cut(">", "<", pos);
        c.pos = pos;
        const bool last = title.empty();
        batch.titles.push_back(std::move(title));
        return !last;
    }
    void End(const GrowingText& page, const ListEnd&) {
        if (cursor.s >= 0) batch.SetMax(FindMarker(G(" <!--书目录结束-->"), page.text(), 0) + 1 - cursor.s);
        batch.selectFirst = true;
    }
};

// ---- 言情小说吧 (mode 3) ---------------------------------------------------

struct Xs8Cursor {
    bool started = false;
    int s = -1, pos = 0, prev = 0, c1 = -1, c2 = -1;
    Filled filled;
};

struct Xs8Walk : BatchWalk<Xs8Cursor> {
    using Cursor = Xs8Cursor;
    // The page is the downloaded file taken as a text box holds it: every
    // line (ended by CR LF, LF or CR) followed by CR LF.
    struct Lines {
        bool afterCr = false;  // an LF right after a CR ends no second line
        bool pending = false;  // something since the last line end
        std::string out;
        bool Feed(const char* data, size_t n, GrowingText& text) {
            out.clear();
            for (size_t i = 0; i < n; ++i) {
                const char ch = data[i];
                if (ch == '\n' && afterCr) {
                    afterCr = false;
                    continue;
                }
                afterCr = ch == '\r';
                if (ch == '\r' || ch == '\n') {
                    out += "\r\n";
                    pending = false;
                } else {
                    out.push_back(ch);
                    pending = true;
                }
            }
            text.Append(out);
            return true;
        }
        bool Finish(GrowingText& text) {
            if (pending) text.Append("\r\n");
            pending = false;
            return true;
        }
    };
    using Input = Lines;
    std::string base;
    std::string dot = G("·");

    bool Next(PieceWalkStep& step) {
        const GrowingText& page = step.text();
        Cursor& c = cursor;
        if (!c.started) {
            c.s = page.Find(G("[书籍简介]"), 100);
            batch.Step(c.s);
            c.prev = c.s;
            // The chapters are the "·" links up to the first comment after
            // the introduction; links inside or after it belong to other
            // parts of the page.
            c.c1 = page.Find("<!--", c.s);
            c.c2 = page.Find("-->", c.s);
            c.pos = page.Find(dot, c.s);
            c.started = true;
            return true;
        }
        if (c.pos <= 0) return false;
        const int start = c.pos;
        int pos = c.pos;
        const std::string piece = page.Cut("/love", ".html", pos);
        if (pos < c.s || pos <= start) return false;
        std::string url = base + "/love" + piece + ".html";
        if (pos <= c.c1) {
            batch.urls.push_back(std::move(url));
            const int afterUrl = pos;
            std::string title = page.Cut(">", "</a>", pos);
            CleanLinkText(title);
            batch.titles.push_back(std::move(title));
            if (pos <= afterUrl) {  // no end to this link: nothing further can be read
                c.pos = pos;
                return false;
            }
            pos = page.Find(dot, pos);
            batch.Step(pos - c.prev);
            c.prev = pos;
        } else if (pos < c.c2) {
            c.c1 = page.Find("<!--", pos);
            c.c2 = page.Find("-->", pos);
        }
        c.pos = pos;
        return true;
    }
    void End(const GrowingText& page, const ListEnd&) {
        const int end = FindMarker("</body>", page.text(), cursor.s);
        batch.SetMax(end);
        batch.selectFirst = true;
        batch.Step(end - cursor.prev);
    }
};

// ---- 飞库 (mode 4) ---------------------------------------------------------

struct FeikuCursor {
    bool started = false;
    int s = -1, from = 0, prev = 0;
    Filled filled;
};

struct FeikuWalk : BatchWalk<FeikuCursor> {
    using Cursor = FeikuCursor;
    using Input = AsServed;
    std::string prefix;

    bool Next(PieceWalkStep& step) {
        const GrowingText& page = step.text();
        Cursor& c = cursor;
        if (!c.started) {
            c.s = page.Find("<div id=\"feiku_chaplist\">", 100);
            // The list runs to just past the last end marker; the site repeats it.
            step.SetEnd(ListEnd(ListEnd::Last, "<div id=\"feiku_e_n_d\">", c.s));
            c.prev = c.from = c.s;
            c.started = true;
            return true;
        }
        int pos = page.Find("<li><a", c.from);
        if (pos <= 0 || !step.Before(pos)) return false;
        const int start = pos;
        const std::string piece = page.Cut("href=\"", ".shtm", pos);
        if (pos <= start) return false;  // cut short: the walk would start over
        batch.urls.push_back(prefix + piece + ".shtm");
        const int afterUrl = pos;
        std::string title = page.Cut("\">", "</a>", pos);
        if (pos <= afterUrl) {  // a link without its end: its URL stays, alone
            return false;
        }
        batch.Step(pos - c.prev);
        c.prev = pos;
        batch.titles.push_back(std::move(title));
        c.from = pos;
        return true;
    }
    void End(const GrowingText&, const ListEnd& end) {
        batch.SetMax(end.at() - cursor.s);
        batch.selectFirst = true;
        batch.Step(end.at() - cursor.prev);
    }
};

// ---- 小说520 (mode 5) ------------------------------------------------------

struct S520Cursor {
    bool started = false;
    bool first = true;
    int pos = 0, last = 0, prev = 0;
    Filled filled;
};

struct S520Walk : BatchWalk<S520Cursor> {
    using Cursor = S520Cursor;
    using Input = AsServed;
    std::string prefix;

    bool Next(PieceWalkStep& step) {
        const GrowingText& page = step.text();
        Cursor& c = cursor;
        if (!c.started) {
            c.pos = c.last = page.Find("<li>", 100);
            step.SetEnd(ListEnd(ListEnd::First, "<div id=\"End\">", c.pos));
            batch.Step(c.pos);
            c.prev = c.pos;
            c.started = true;
            return true;
        }
        int pos = c.pos;
        if (!c.first) {
            // No further "<li>", or one the walk has seen already.
            pos = page.Find("<li>", pos);
            if (pos <= c.last) return false;
        }
        if (pos <= 0 || !step.Before(pos)) return false;
        c.first = false;
        c.last = pos;
        const std::string piece = page.Cut("<a href=\"", ".shtml", pos);
        batch.urls.push_back(prefix + piece + ".shtml");
        std::string title = page.Cut("\">", "</a>", pos);
        batch.Step(pos - c.prev);
        c.prev = pos;
        batch.titles.push_back(std::move(title));
        c.pos = pos;
        return true;
    }
    void End(const GrowingText&, const ListEnd& end) {
        batch.SetMax(end.at());
        batch.selectFirst = true;
        batch.Step(end.at() - cursor.prev);
    }
};

// Runs a site's walk over the pieces of its page.
template <typename Walk>
class Streamed final : public ChapterListWalk {
public:
    explicit Streamed(Walk walk) : walk_(std::move(walk)), initial_(walk_), run_(walk_) {}

    void Feed(const char* data, size_t n) override {
        fed_ += n;
        if (failed_) return;
        if (!input_.Feed(data, n, run_.text())) {
            failed_ = true;
            return;
        }
        run_.Resume();
    }

    ChapterBatch Finish(const std::string& page) override {
        if (fed_ != page.size()) {
            Restart();
            Feed(page.data(), page.size());
        }
        // A page that cannot be read is walked as an empty page.
        if (failed_ || !input_.Finish(run_.text())) Restart();
        run_.text().Complete();
        run_.Resume();
        walk_.End(run_.text(), run_.end());
        return std::move(walk_.batch);
    }

    size_t Taken() const override { return walk_.batch.titles.size(); }

    void Reserve(size_t pageBytes) override {
        walk_.batch.Reserve(pageBytes);
        run_.Reserve(pageBytes, walk_.batch.titles.capacity());
    }

    // The walk of a whole page: one piece, with the lists reserved for it.
    ChapterBatch Whole(const std::string& page) {
        Reserve(page.size());
        Feed(page.data(), page.size());
        return Finish(page);
    }

private:
    void Restart() {
        walk_ = initial_;
        input_ = typename Walk::Input();
        run_.Reset();
        fed_ = 0;
        failed_ = false;
    }

    Walk walk_;
    const Walk initial_;
    typename Walk::Input input_;
    PieceWalk<Walk> run_;
    size_t fed_ = 0;
    bool failed_ = false;
};

Xs8Walk MakeXs8(const std::string& base) {
    Xs8Walk w;
    w.base = base;
    return w;
}

FeikuWalk MakeFeiku(const std::string& prefix) {
    FeikuWalk w;
    w.prefix = prefix;
    return w;
}

S520Walk MakeS520(const std::string& prefix) {
    S520Walk w;
    w.prefix = prefix;
    return w;
}

}  // namespace

std::unique_ptr<ChapterListWalk> DuowanChapterWalk() {
    return std::make_unique<Streamed<DuowanWalk>>(DuowanWalk());
}

std::unique_ptr<ChapterListWalk> ReadnovelChapterWalk() {
    return std::make_unique<Streamed<ReadnovelWalk>>(ReadnovelWalk());
}

std::unique_ptr<ChapterListWalk> Xs8ChapterWalk(const std::string& base) {
    return std::make_unique<Streamed<Xs8Walk>>(MakeXs8(base));
}

std::unique_ptr<ChapterListWalk> FeikuChapterWalk(const std::string& prefix) {
    return std::make_unique<Streamed<FeikuWalk>>(MakeFeiku(prefix));
}

std::unique_ptr<ChapterListWalk> S520ChapterWalk(const std::string& prefix) {
    return std::make_unique<Streamed<S520Walk>>(MakeS520(prefix));
}

namespace {

ChapterBatch Chapters(const char* site, const std::string& page, const rules::Inputs& in) {
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::Chapters, page, in);
    ChapterBatch batch;
    batch.titles = std::move(out.lists[0]);
    batch.urls = std::move(out.lists[1]);
    batch.steps = std::move(out.progress);
    if (out.outs[0]) batch.SetMax(static_cast<int>(*out.outs[0]));
    batch.selectFirst = out.outs[1].value_or(0) != 0;
    return batch;
}

}  // namespace

ChapterBatch DuowanChapterPage(const std::string& utf8Page) {
    return Chapters("duowan", utf8Page, rules::Inputs());
}

ChapterBatch ReadnovelChapterPage(const std::string& page) {
    return Chapters("readnovel", page, rules::Inputs());
}

ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base) {
    rules::Inputs in;
    in.base = base;
    return Chapters("xs8", fileBytes, in);
}

ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix) {
    rules::Inputs in;
    in.prefix = prefix;
    return Chapters("feiku", page, in);
}

ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix) {
    rules::Inputs in;
    in.prefix = prefix;
    return Chapters("520", page, in);
}

}  // namespace talvenor

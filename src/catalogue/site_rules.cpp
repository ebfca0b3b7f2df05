// The rule engine: runs a compiled walk over one page.
#include "catalogue/site_rules.h"

#include <algorithm>
#include <climits>

#include "catalogue/store.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/markers.h"
#include "text/numbers.h"
#include "text/piece_walk.h"

namespace talvenor::rules {

const char* WalkName(WalkKind kind) {
    static const char* const names[] = {"categories", "booklist", "search", "intro", "chapters", "text"};
    return names[static_cast<int>(kind)];
}

std::string RuleError::Text() const {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

const std::vector<std::vector<const char*>>& Fields() {
    static const std::vector<std::vector<const char*>> f = {
        {"name", "url"}, {"title", "key", "intro"}, {"title", "key"}, {"text"}, {"title", "url"}, {"content"}};
    return f;
}
const std::vector<std::vector<const char*>>& Outs() {
    static const std::vector<std::vector<const char*>> o = {
        {}, {"step", "total", "count", "met_known"}, {"end"}, {}, {"max", "select_first"}, {"found", "cut"}};
    return o;
}

int SlotIn(const std::vector<const char*>& names, const char* name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (std::string(names[i]) == name) return static_cast<int>(i);
    return -1;
}

int Clamp(long long v) {
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

std::string Preview(const std::string& s) {
    if (s.size() <= 60) return s;
    // Cut at a character boundary of GBK: a lead byte takes its trail along.
    size_t i = 0;
    while (i < 60) i += static_cast<unsigned char>(s[i]) >= 0x81 && i + 1 < s.size() ? 2 : 1;
    return s.substr(0, i) + "...";
}

class Machine {
  public:
    Machine(const Walk& walk, WalkKind kind, const std::string& page, const Inputs& in, Trace* trace)
        : w_(walk), page_(page), trace_(trace) {
        // The inputs' registers exist even in a walk the file does not define.
        I_.assign(static_cast<size_t>(std::max(walk.intRegs, 6)), 0);
        S_.resize(static_cast<size_t>(std::max(walk.strRegs, 7)));
        I_[1] = in.n;
        I_[2] = in.next;
        I_[3] = in.total;
        I_[4] = in.keyHead;
        I_[5] = in.first;
        S_[1] = in.base;
        S_[2] = in.base2;
        S_[3] = in.known;
        S_[4] = in.prefix;
        S_[5] = in.filter;
        S_[6] = SiteHosts::HostName(in.base);
        out_.lists.resize(Fields()[static_cast<size_t>(kind)].size());
        out_.outs.resize(Outs()[static_cast<size_t>(kind)].size());
        // Room for the items a page of this size can hold (a chapter link
        // takes thirty bytes or more), so long lists grow without copying.
        if (kind == WalkKind::Chapters || kind == WalkKind::BookList) {
            const size_t room = std::min<size_t>(page.size() / (kind == WalkKind::Chapters ? 32 : 256) + 1, 100000);
            for (auto& list : out_.lists) list.reserve(room);
            if (kind == WalkKind::Chapters) out_.progress.reserve(room + 2);
        }
        SetLimits();
    }

    Output Run() {
        RunBlock(0, 0);
        return std::move(out_);
    }

    // ---- a page that is still arriving --------------------------------
    //
    // The walk runs on the bytes so far.  A step whose answer the rest of
    // the page could change (a marker not found yet, a slice past the end)
    // throws NeedMoreBytes; the walk goes back to the start of the item it
    // was in (a top-level step, or one pass of a top-level loop) and goes on
    // from there when more bytes are in.  A top-level find of a named
    // position whose marker has not arrived (where a list ends) leaves that
    // position open: a condition that reads it and would come out the same
    // wherever the marker turns up is answered; otherwise it is answered as
    // if the marker lay far ahead, and the item is kept with the state
    // before it, to be walked again should the marker turn out to lie
    // elsewhere.  Once the page is complete the walk has taken exactly the
    // path, and made exactly the output, of a walk of the whole page.

    void StartStreaming() {
        streaming_ = true;
        complete_ = false;
        pendingFlag_.assign(I_.size(), 0);
    }
    void Reserve(size_t bytes, WalkKind kind) {
        if (kind != WalkKind::Chapters && kind != WalkKind::BookList) return;
        const size_t room = std::min<size_t>(bytes / (kind == WalkKind::Chapters ? 32 : 256) + 1, 100000);
        for (auto& list : out_.lists) list.reserve(room);
        if (kind == WalkKind::Chapters) out_.progress.reserve(room + 2);
    }
    // After bytes were appended to the page (or it completed): takes every
    // item the bytes allow.
    void Resume(bool complete) {
        complete_ = complete;
        SetLimits();
        if (UpdatePending()) Revise();
        if (done_) return;
        try {
            RunBlock(0, 0, at_.step, at_.pass);
            CommitItem();
            done_ = true;
        } catch (const NeedMoreBytes&) {
            Restore(last_);
        }
    }
    size_t Taken() const { return out_.lists.empty() ? 0 : out_.lists[0].size(); }
    Output Take() { return std::move(out_); }

  private:
    enum Flow { Go, BreakLoop, StopWalk };

    // Counts bytes a walk makes; false once past its allowance.
    bool Spend(size_t bytes) {
        bytesUsed_ += static_cast<long long>(bytes);
        if (bytesUsed_ <= byteLimit_) return true;
        if (Incomplete()) More();  // the allowance grows with the page
        return false;
    }
    // Counts a step; false once past the walk's allowance.
    bool CountStep() {
        if (++stepsUsed_ <= stepLimit_) return true;
        if (Incomplete()) More();
        return false;
    }

    // The page itself is read whole only once it is complete.
    const std::string& Str(int slot) const {
        if (slot != 0) return S_[static_cast<size_t>(slot)];
        if (Incomplete()) More();
        return page_;
    }

    // A value: it must not depend on an open position.
    long long Eval(const Expr& e) {
        if (unresolved_ > 0) return EvalOpen(e, false);
        if (e.code.size() == 1 && e.code[0].op == Op::Int) return I_[static_cast<size_t>(e.code[0].a)];
        return EvalPlain(e, I_);
    }
    // A condition: it may be answered on an assumption.
    long long Test(const Expr& e) {
        if (unresolved_ > 0) return EvalOpen(e, true);
        return Eval(e);
    }

    long long EvalPlain(const Expr& e, const std::vector<long long>& I) const {
        long long st[32];
        int sp = 0;
        for (const Token& t : e.code) {
            switch (t.op) {
            case Op::Const: st[sp++] = t.v; break;
            case Op::Int: st[sp++] = I[static_cast<size_t>(t.a)]; break;
            case Op::StrEmpty: st[sp++] = Str(t.a).empty(); break;
            case Op::StrLen: st[sp++] = static_cast<long long>(Str(t.a).size()); break;
            case Op::StrEq: st[sp++] = Str(t.a) == Str(t.b); break;
            case Op::StrHas: st[sp++] = Str(t.a).find(Str(t.b)) != std::string::npos; break;
            case Op::Not: st[sp - 1] = !st[sp - 1]; break;
            case Op::Neg: st[sp - 1] = -st[sp - 1]; break;
            default: {
                const long long b = st[--sp], a = st[sp - 1];
                long long r = 0;
                switch (t.op) {
                case Op::Add: r = static_cast<long long>(static_cast<unsigned long long>(a) + static_cast<unsigned long long>(b)); break;
                case Op::Sub: r = static_cast<long long>(static_cast<unsigned long long>(a) - static_cast<unsigned long long>(b)); break;
                case Op::Lt: r = a < b; break;
                case Op::Le: r = a <= b; break;
                case Op::Gt: r = a > b; break;
                case Op::Ge: r = a >= b; break;
                case Op::Eq: r = a == b; break;
                case Op::Ne: r = a != b; break;
                case Op::And: r = a && b; break;
                case Op::Or: r = a || b; break;
                default: break;
                }
                st[sp - 1] = r;
            }
            }
        }
        return sp > 0 ? st[sp - 1] : 0;
    }

    // A template's text; constant ones are returned without a copy.
    const std::string& Fill(const Template& t, std::string& scratch) const {
        if (t.constant) return t.text;
        scratch.clear();
        for (const TemplatePart& p : t.parts) {
            if (p.kind == TemplatePart::Literal)
                scratch += p.text;
            else if (p.kind == TemplatePart::StrVar)
                scratch += Str(p.slot);
            else
                scratch += std::to_string(Reg(p.slot));
        }
        return scratch;
    }

    // Appends a template's text to out.
    void FillInto(const Template& t, std::string& out) const {
        if (t.constant) {
            out += t.text;
            return;
        }
        for (const TemplatePart& p : t.parts) {
            if (p.kind == TemplatePart::Literal)
                out += p.text;
            else if (p.kind == TemplatePart::StrVar)
                out += Str(p.slot);
            else
                out += std::to_string(Reg(p.slot));
        }
    }

    void Note(const Step& s, const std::string& marker, long long before, long long after, const std::string& piece,
              const std::string& note = std::string()) {
        if (trace_)
            trace_->push_back({s.line, s.column, s.verb, Preview(marker), before, after, Preview(piece), note});
    }

    void Clean(std::string& v, const Cleaner& c) {
        std::string s1, s2, s3;
        switch (c.kind) {
        case Cleaner::StripTags: StripTags(v); break;
        case Cleaner::RemoveNbsp: RemoveNbsp(v); break;
        case Cleaner::RemoveBlanks: RemoveBlanks(v); break;
        case Cleaner::CleanLinkText: CleanLinkText(v); break;
        case Cleaner::Trim: {
            size_t b = 0, e = v.size();
            while (b < e && static_cast<unsigned char>(v[b]) <= ' ') ++b;
            while (e > b && static_cast<unsigned char>(v[e - 1]) <= ' ') --e;
            v = v.substr(b, e - b);
            break;
        }
        case Cleaner::RemoveAll: RemoveAll(v, Fill(c.a, s1)); break;
        case Cleaner::Between: {
            const std::string& a = Fill(c.a, s1);
            const std::string& b = Fill(c.b, s2);
            const size_t at = v.find(a);
            const size_t to = v.find(b);
            const size_t from = at == std::string::npos ? 0 : at + a.size();
            v = to == std::string::npos || to < from ? std::string() : v.substr(from, to - from);
            break;
        }
        case Cleaner::BeforeLast: {
            const size_t last = v.rfind(Fill(c.a, s1));
            const size_t skip = static_cast<size_t>(c.skip);
            if (last == std::string::npos)
                v = c.keepWhenMissing ? v : std::string();
            else
                v = last > skip ? v.substr(skip, last - skip) : std::string();
            break;
        }
        case Cleaner::DropEnds: {
            const long long h = Eval(c.x), t = Eval(c.y);
            const size_t head = h < 0 ? 0 : static_cast<size_t>(h), tail = t < 0 ? 0 : static_cast<size_t>(t);
            v = v.size() <= head || v.size() - head <= tail ? std::string() : v.substr(head, v.size() - head - tail);
            break;
        }
        case Cleaner::DropPrefix: {
            const std::string& a = Fill(c.a, s1);
            if (!a.empty() && v.compare(0, a.size(), a) == 0) v.erase(0, a.size());
            break;
        }
        case Cleaner::HostStem: {
            // The address up to the dot before the host's top-level domain.
            const std::string host = SiteHosts::HostName(v);
            const size_t hostAt = v.find(host);
            const size_t dot = host.rfind('.');
            if (hostAt != std::string::npos && dot != std::string::npos) v = v.substr(0, hostAt + dot);
            break;
        }
        case Cleaner::InsertAfter: {
            if (!c.hasUnless || v.find(Fill(c.c, s3)) == std::string::npos) {
                const std::string& a = Fill(c.a, s1);
                const size_t at = v.find(a);
                if (at != std::string::npos) v.insert(at + a.size(), Fill(c.b, s2));
            }
            break;
        }
        }
    }

    // first, pass: where a walk on a growing page goes on (a top-level
    // step, and the pass of a loop there).
    Flow RunBlock(int index, int depth, size_t first = 0, long long pass = -1) {
        if (depth > 64) return StopWalk;
        if (static_cast<size_t>(index) >= w_.blocks.size()) return Go;
        const std::vector<Step>& steps = w_.blocks[static_cast<size_t>(index)];
        for (size_t i = first; i < steps.size(); ++i) {
            const Step& s = steps[i];
            const bool inLoop = i == first && pass >= 0;
            if (!inLoop) {
                if (streaming_ && depth == 0) SaveItem(i, -1);
                if (!CountStep()) {
                    Note(s, std::string(), 0, 0, std::string(), "walk ends: too many steps for the page's size");
                    return StopWalk;
                }
                if (!s.when.Empty() && !Test(s.when)) continue;
            }
            const Flow f = s.kind == Step::Loop ? RunLoop(s, depth, i, inLoop ? pass : 0) : RunStep(s, depth);
            if (f != Go) return f;
        }
        return Go;
    }

    Flow RunLoop(const Step& s, int depth, size_t at, long long first) {
        for (long long pass = first;; ++pass) {
            if (streaming_ && depth == 0) SaveItem(at, pass);
            if (s.times >= 0 && pass >= s.times) break;
            if (!s.value.Empty() && !Test(s.value)) break;
            const long long start = Reg(s.dst);
            const Flow f = RunBlock(s.block, depth + 1);
            if (f == StopWalk) return f;
            if (f == BreakLoop) break;
            // A pass that left the position where it was, or sent it
            // back, would find the same items again: the loop is over.
            if (s.times < 0 && Reg(s.dst) <= start) {
                Note(s, std::string(), start, I_[static_cast<size_t>(s.dst)], std::string(), "loop ends: the position did not advance");
                break;
            }
        }
        return Go;
    }

    Flow RunStep(const Step& s, int depth) {
        std::string& scratch1 = scratch1_;
        std::string& scratch2 = scratch2_;
        switch (s.kind) {
        case Step::Find: {
            const long long from = s.hasFrom ? Eval(s.from) : Reg(0);
            const std::string& m = Fill(s.m1, scratch1);
            long long& dst = Dst(s.dst);
            const long long before = dst;
            int at = FindMarker(m, page_, Clamp(from));
            if (at < 0 && Incomplete()) {
                // Not here yet: a top-level named position is left open,
                // anything else waits for the bytes.
                if (depth > 0 || s.dst == 0) More();
                const long long n = static_cast<long long>(page_.size()), size = static_cast<long long>(m.size());
                OpenPosition(s, Clamp(from), m, false, 0, std::max<long long>(Clamp(from), n - size + 1));
                return Go;
            }
            if (s.after && at >= 0) at += static_cast<int>(m.size());
            dst = at;
            Note(s, m, before, I_[static_cast<size_t>(s.dst)], std::string());
            return Go;
        }
        case Step::AfterLast: {
            const std::string& m = Fill(s.m1, scratch1);
            const int from = Clamp(s.hasFrom ? Eval(s.from) : Reg(0));
            long long& dst = Dst(s.dst);
            long long b = from;
            const long long size = static_cast<long long>(m.size());
            // `until`: only the markers that end by then count.
            const long long until = s.value.Empty() ? LLONG_MAX : Eval(s.value);
            for (int e = FindMarker(m, page_, from); e >= 0 && e + size <= until; e = FindMarker(m, page_, Clamp(e + size)))
                b = e + size;
            if (Incomplete()) {
                // More occurrences may follow; one bounded by `until`
                // waits for the bytes up to there.
                if (depth > 0 || s.dst == 0 || !s.value.Empty()) {
                    if (until <= static_cast<long long>(page_.size())) {
                        Note(s, m, from, b, std::string());
                        dst = b;
                        return Go;
                    }
                    More();
                }
                OpenPosition(s, from, m, true, b, std::max(b, static_cast<long long>(page_.size()) - size + 1));
                return Go;
            }
            Note(s, m, from, b, std::string());
            dst = b;
            return Go;
        }
        case Step::Cut: {
            const std::string& a = Fill(s.m1, scratch1);
            const std::string& b = Fill(s.m2, scratch2);
            int p = Clamp(Reg(s.at));
            const long long before = p;
            if (Incomplete()) {
                // Both markers must be here for the cut to be what it is in
                // the whole page; a missing start is missing only there.
                const int start = FindMarker(a, page_, p);
                if (start < 0 || FindMarker(b, page_, start + static_cast<int>(a.size())) < 0) More();
                if (s.dst2 >= 0) Dst(s.dst2);
                if (s.moved >= 0) Dst(s.moved);
            }
            if (s.needStart && FindMarker(a, page_, p) < 0) {
                // Without its start the cut would take a piece from the top
                // of the page: nothing is cut, the position stays.
                if (s.dst >= 0) S_[static_cast<size_t>(s.dst)].clear();
                if (s.moved >= 0) I_[static_cast<size_t>(s.moved)] = 0;
                Note(s, a, before, -1, std::string(), "start marker missing: nothing cut");
                return Go;
            }
            int content = 0;
            std::string piece = CutBetween(page_, a, b, p, &content);
            I_[static_cast<size_t>(s.at)] = p;
            if (s.dst2 >= 0) I_[static_cast<size_t>(s.dst2)] = content;
            if (s.moved >= 0 && p <= before) I_[static_cast<size_t>(s.moved)] = 0;
            Note(s, a, before, p, piece);
            if (s.dst >= 0) S_[static_cast<size_t>(s.dst)] = std::move(piece);
            return Go;
        }
        case Step::Set:
            Dst(s.dst) = Eval(s.value);
            Note(s, std::string(), 0, I_[static_cast<size_t>(s.dst)], std::string());
            return Go;
        case Step::Text: {
            std::string v = Fill(s.text, scratch1);
            if (!Spend(v.size())) return StopWalk;
            Note(s, std::string(), 0, 0, v);
            S_[static_cast<size_t>(s.dst)] = std::move(v);
            return Go;
        }
        case Step::Clean: {
            std::string& v = S_[static_cast<size_t>(s.dst)];
            for (const Cleaner& c : s.cleaners) {
                Clean(v, c);
                if (!Spend(v.size())) return StopWalk;
            }
            Note(s, std::string(), 0, 0, v);
            return Go;
        }
        case Step::Parse: {
            const std::string& text = Str(s.at);
            Dst(s.dst);
            if (s.dst2 >= 0) Dst(s.dst2);
            if (s.dst2 < 0) {
                I_[static_cast<size_t>(s.dst)] = ParseDecimal(text);  // throws for the caller
            } else {
                try {
                    I_[static_cast<size_t>(s.dst)] = ParseDecimal(text);
                    I_[static_cast<size_t>(s.dst2)] = 1;
                } catch (const ConversionError&) {
                    I_[static_cast<size_t>(s.dst2)] = 0;
                }
            }
            Note(s, std::string(), 0, I_[static_cast<size_t>(s.dst)], text);
            return Go;
        }
        case Step::Count: {
            const std::string& m = Fill(s.m1, scratch1);
            const std::string& in = Str(s.at);
            long long n = 0;
            const int size = static_cast<int>(m.size());
            for (int p = FindMarker(m, in, Clamp(Eval(s.from))); p >= 0; p = FindMarker(m, in, Clamp(1LL * p + size)))
                ++n;
            Dst(s.dst) = n;
            Note(s, m, 0, n, std::string());
            return Go;
        }
        case Step::Slice: {
            const long long from = Eval(s.from), to = Eval(s.value);
            const long long n = static_cast<long long>(page_.size());
            if (Incomplete() && (from > n || to > n)) More();
            const long long a = from < 0 ? 0 : from > n ? n : from;
            const long long b = to > n ? n : to;
            S_[static_cast<size_t>(s.dst)] =
                b > a ? page_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)) : std::string();
            Note(s, std::string(), from, to, S_[static_cast<size_t>(s.dst)]);
            return Go;
        }
        case Step::Loop: return RunLoop(s, depth, 0, 0);
        case Step::If:
            if (Test(s.value)) return RunBlock(s.block, depth + 1);
            if (s.elseBlock >= 0) return RunBlock(s.elseBlock, depth + 1);
            return Go;
        case Step::Emit:
            for (const auto& [slot, t] : s.emits) {
                auto& list = out_.lists[static_cast<size_t>(slot)];
                if (list.size() >= kMaxItems) {
                    Note(s, std::string(), 0, 0, std::string(), "walk ends: too many items on one page");
                    return StopWalk;
                }
                if (s.moveOut)
                    list.push_back(std::move(S_[static_cast<size_t>(t.parts[0].slot)]));
                else {
                    list.emplace_back();
                    FillInto(t, list.back());
                }
                if (!Spend(list.back().size())) return StopWalk;
            }
            return Go;
        case Step::Out:
            out_.outs[static_cast<size_t>(s.dst)] = Eval(s.value);
            return Go;
        case Step::Progress:
            if (out_.progress.size() < 2 * kMaxItems) out_.progress.push_back(Clamp(Eval(s.value)));
            return Go;
        case Step::Break: return BreakLoop;
        case Step::Stop: return StopWalk;
        case Step::Next: {
            std::string v = Fill(s.text, scratch1);
            if (!Spend(v.size())) return StopWalk;
            Note(s, std::string(), 0, 0, v);
            out_.next = std::move(v);
            return Go;
        }
        }
        return Go;
    }

    // Bounds no site's walk comes near: a rule that loops on without
    // moving, or grows a piece without end, is cut off.
    void SetLimits() {
        stepLimit_ = 16 * static_cast<long long>(page_.size()) + 100000;
        byteLimit_ = 8 * static_cast<long long>(page_.size()) + (64 << 20);
    }

    [[noreturn]] static void More() { throw NeedMoreBytes(); }
    bool Incomplete() const { return streaming_ && !complete_; }

    // Where the walk stands at the start of an item, output included.
    struct State {
        std::vector<long long> I;
        std::vector<std::string> S;
        std::vector<size_t> lists;
        size_t progress = 0;
        std::vector<std::optional<long long>> outs;
        std::string next;
        long long stepsUsed = 0, bytesUsed = 0;
        size_t step = 0;
        long long pass = -1;  // -1: before the step; else the pass of a loop
        long long item = 0;
        long long seq = 0;  // which capture it is
    };
    struct Spot {
        size_t step = 0;
        long long pass = -1;
    };
    // A position whose marker has not arrived yet.
    struct Pending {
        int reg = 0;
        bool last = false;   // after_last: just past the last occurrence
        bool after = false;  // find's `after`
        std::string marker;
        long long from = 0, scanned = 0, lastEnd = 0;
        bool resolved = false;
        long long value = 0;
        long long resolvedAfter = 0;  // the capture last made before it was resolved
        long long item = 0;  // the item that made it
    };
    // A condition answered on the assumption that an open position lies far
    // ahead: the registers it was computed from, and the answer.
    struct Assumption {
        const Expr* expr;
        std::vector<long long> I;
        int reg;
        long long answer;
    };
    struct Assumed {
        State before;
        std::vector<Assumption> assumptions;
    };
    static constexpr long long kFar = 1LL << 40;

    void Capture(State& st, size_t step, long long pass) {
        st.I = I_;
        st.S = S_;
        st.lists.resize(out_.lists.size());
        for (size_t i = 0; i < out_.lists.size(); ++i) st.lists[i] = out_.lists[i].size();
        st.progress = out_.progress.size();
        st.outs = out_.outs;
        st.next = out_.next;
        st.stepsUsed = stepsUsed_;
        st.bytesUsed = bytesUsed_;
        st.step = step;
        st.pass = pass;
        st.item = item_;
        st.seq = ++captures_;
    }

    void Restore(const State& st) {
        I_ = st.I;
        S_ = st.S;
        for (size_t i = 0; i < out_.lists.size(); ++i) out_.lists[i].resize(st.lists[i]);
        out_.progress.resize(st.progress);
        out_.outs = st.outs;
        out_.next = st.next;
        stepsUsed_ = st.stepsUsed;
        bytesUsed_ = st.bytesUsed;
        at_ = {st.step, st.pass};
        item_ = st.item;
        itemAssumptions_.clear();
        // Positions opened in this item or later are opened again when it
        // runs again; the others keep what is known of them.
        for (size_t i = pending_.size(); i-- > 0;) {
            Pending& p = pending_[i];
            if (p.item >= st.item) {
                if (!p.resolved) --unresolved_;
                pendingFlag_[static_cast<size_t>(p.reg)] = 0;
                pending_.erase(pending_.begin() + static_cast<long>(i));
            } else if (p.resolved && st.seq <= p.resolvedAfter) {
                // Captured while still open: the register holds no value yet.
                I_[static_cast<size_t>(p.reg)] = p.value;
            }
        }
        if (&st != &last_) last_ = st;
        done_ = false;
    }

    // A new item begins: the one before is done, with its assumptions.
    void SaveItem(size_t step, long long pass) {
        CommitItem();
        ++item_;
        Capture(last_, step, pass);
    }
    void CommitItem() {
        if (itemAssumptions_.empty()) return;
        assumed_.push_back({last_, std::move(itemAssumptions_)});
        itemAssumptions_.clear();
    }

    Pending* PendingOf(int reg) {
        for (Pending& p : pending_)
            if (p.reg == reg) return &p;
        return nullptr;
    }
    bool Open(int reg) const { return unresolved_ > 0 && pendingFlag_[static_cast<size_t>(reg)] && !ResolvedReg(reg); }
    bool ResolvedReg(int reg) const {
        for (const Pending& p : pending_)
            if (p.reg == reg) return p.resolved;
        return true;
    }
    // A register read or written directly must not be open.
    long long Reg(int reg) const {
        if (Open(reg)) More();
        return I_[static_cast<size_t>(reg)];
    }
    long long& Dst(int reg) {
        if (Open(reg)) More();
        return I_[static_cast<size_t>(reg)];
    }

    void OpenPosition(const Step& s, long long from, const std::string& m, bool last, long long lastEnd,
                      long long scanned) {
        Pending p;
        p.reg = s.dst;
        p.last = last;
        p.after = s.after;
        p.marker = m;
        p.from = from;
        p.scanned = scanned;
        p.lastEnd = lastEnd;
        p.item = item_;
        pending_.push_back(std::move(p));
        pendingFlag_[static_cast<size_t>(s.dst)] = 1;
        ++unresolved_;
        I_[static_cast<size_t>(s.dst)] = kFar;
    }

    void Resolve(Pending& p, long long v) {
        p.resolved = true;
        p.value = v;
        p.resolvedAfter = captures_;
        I_[static_cast<size_t>(p.reg)] = v;
        --unresolved_;
    }

    // Looks for the open positions' markers in the bytes so far; true when
    // something is known that was not.
    bool UpdatePending() {
        bool changed = false;
        const long long n = static_cast<long long>(page_.size());
        for (Pending& p : pending_) {
            if (p.resolved) continue;
            const long long m = static_cast<long long>(p.marker.size());
            if (!p.last) {
                const int at = FindMarker(p.marker, page_, Clamp(std::max(p.from, p.scanned)));
                if (at >= 0) {
                    Resolve(p, p.after ? at + m : at);
                    changed = true;
                } else if (complete_) {
                    Resolve(p, -1);
                    changed = true;
                } else {
                    p.scanned = std::max(p.scanned, n - m + 1);
                }
                continue;
            }
            for (int e = FindMarker(p.marker, page_, Clamp(std::max(p.lastEnd, p.scanned))); e >= 0;
                 e = FindMarker(p.marker, page_, Clamp(e + m))) {
                p.lastEnd = e + m;
                changed = true;
            }
            p.scanned = std::max(p.scanned, n - m + 1);
            if (complete_) {
                Resolve(p, p.lastEnd);
                changed = true;
            }
        }
        return changed;
    }

    enum class Verdict { Holds, Fails, Open };
    Verdict Check(const Assumption& a) {
        const Pending* p = PendingOf(a.reg);
        if (!p) return Verdict::Fails;  // cannot happen: an item keeps its position open
        std::vector<long long> regs = a.I;
        if (p->resolved) {
            regs[static_cast<size_t>(a.reg)] = p->value;
            return EvalPlain(*a.expr, regs) == a.answer ? Verdict::Holds : Verdict::Fails;
        }
        // Still open: it holds for sure when it holds at the nearest place
        // the marker can still turn up (an after_last position only grows).
        if (!p->last) return Verdict::Open;
        regs[static_cast<size_t>(a.reg)] = p->lastEnd;
        return EvalPlain(*a.expr, regs) == a.answer ? Verdict::Holds : Verdict::Open;
    }

    // Items whose assumptions now hold are kept; at the first that turned
    // out wrong the walk goes back to where that item began.
    void Revise() {
        size_t kept = 0;
        for (; kept < assumed_.size(); ++kept) {
            Verdict v = Verdict::Holds;
            for (const Assumption& a : assumed_[kept].assumptions) {
                const Verdict one = Check(a);
                if (one == Verdict::Fails) {
                    v = one;
                    break;
                }
                if (one == Verdict::Open) v = one;
            }
            if (v == Verdict::Holds) continue;
            if (v == Verdict::Fails) {
                const State back = assumed_[kept].before;
                assumed_.erase(assumed_.begin() + static_cast<long>(kept), assumed_.end());
                Restore(back);
                last_ = back;
            }
            break;
        }
        assumed_.erase(assumed_.begin(), assumed_.begin() + static_cast<long>(std::min(kept, assumed_.size())));
    }

    // An expression that reads an open position.
    long long EvalOpen(const Expr& e, bool assume) {
        int reg = -1, reads = 0;
        for (const Token& t : e.code) {
            if (t.op == Op::Int && Open(t.a)) {
                if (reg >= 0 && reg != t.a) More();
                reg = t.a;
                ++reads;
            }
        }
        if (reg < 0) return EvalPlain(e, I_);
        if (!assume) More();
        // Only sums and comparisons of one reading are sure to move one way
        // as the position does.
        for (const Token& t : e.code)
            if (t.op == Op::Eq || t.op == Op::Ne || t.op == Op::StrEmpty || t.op == Op::StrEq ||
                t.op == Op::StrHas || t.op == Op::StrLen)
                More();
        if (reads > 1) More();
        const Pending* p = PendingOf(reg);
        std::vector<long long>& regs = I_;
        const long long keep = regs[static_cast<size_t>(reg)];
        regs[static_cast<size_t>(reg)] = kFar;
        const long long far = EvalPlain(e, regs);
        regs[static_cast<size_t>(reg)] = p->last ? p->lastEnd : -1;
        const long long near = EvalPlain(e, regs);
        regs[static_cast<size_t>(reg)] = keep;
        if (near == far) return far;
        itemAssumptions_.push_back({&e, I_, reg, far});
        return far;
    }

    const Walk& w_;
    const std::string& page_;
    Trace* trace_;
    std::vector<long long> I_;
    std::vector<std::string> S_;
    Output out_;
    long long stepsUsed_ = 0, bytesUsed_ = 0, stepLimit_ = 0, byteLimit_ = 0;
    std::string scratch1_, scratch2_;

    bool streaming_ = false, complete_ = true, done_ = false;
    State last_;
    Spot at_;
    long long item_ = 0, captures_ = 0;
    std::vector<Pending> pending_;
    std::vector<char> pendingFlag_;
    int unresolved_ = 0;
    std::vector<Assumption> itemAssumptions_;
    std::vector<Assumed> assumed_;
};

}  // namespace

int FieldSlot(WalkKind kind, const char* name) {
    return SlotIn(Fields()[static_cast<size_t>(kind)], name);
}

int OutSlot(WalkKind kind, const char* name) {
    return SlotIn(Outs()[static_cast<size_t>(kind)], name);
}

Output Run(const SiteRules& site, WalkKind kind, const std::string& page, const Inputs& in, Trace* trace,
           bool pageDecoded) {
    const Walk& walk = site.Of(kind);
    Walk::Decode decode = walk.decode;
    if (decode == Walk::Decode::Site)
        decode = site.utf8Pages && !pageDecoded ? Walk::Decode::Site : Walk::Decode::None;
    if (decode == Walk::Decode::Site) {
        const std::string decoded = DecodeUtf8Page(page);
        return Machine(walk, kind, decoded, in, trace).Run();
    }
    if (decode == Walk::Decode::Lines) {
        // The page as a text box holds it: its lines joined by CR LF.
        std::string joined;
        joined.reserve(page.size() + page.size() / 16);
        for (const std::string& line : ParseLines(page)) joined += line + "\r\n";
        return Machine(walk, kind, joined, in, trace).Run();
    }
    return Machine(walk, kind, page, in, trace).Run();
}

struct StreamedWalk::Impl {
    std::shared_ptr<const SiteRules> site;
    WalkKind kind;
    Inputs in;
    Walk::Decode decode = Walk::Decode::None;
    std::string text;  // the page so far, decoded as the walk reads it
    std::unique_ptr<Machine> machine;
    Utf8PageDecoder utf8;
    std::string piece;
    bool afterCr = false;  // lines: an LF right after a CR ends no second line
    bool pending = false;  // lines: something since the last line end
    size_t fed = 0;
    bool failed = false;

    // Appends a piece as the whole-page walk would read it.
    bool Append(const char* data, size_t n) {
        if (decode == Walk::Decode::Site) {
            piece.clear();
            const bool ok = utf8.Feed(data, n, piece);
            text += piece;
            return ok;
        }
        if (decode == Walk::Decode::Lines) {
            for (size_t i = 0; i < n; ++i) {
                const char ch = data[i];
                if (ch == '\n' && afterCr) {
                    afterCr = false;
                    continue;
                }
                afterCr = ch == '\r';
                if (ch == '\r' || ch == '\n') {
                    text += "\r\n";
                    pending = false;
                } else {
                    text.push_back(ch);
                    pending = true;
                }
            }
            return true;
        }
        text.append(data, n);
        return true;
    }
    bool End() {
        if (decode == Walk::Decode::Site) return utf8.Finish();
        if (decode == Walk::Decode::Lines && pending) text += "\r\n";
        return true;
    }
};

StreamedWalk::StreamedWalk(std::shared_ptr<const SiteRules> site, WalkKind kind, Inputs in)
    : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    d.site = std::move(site);
    d.kind = kind;
    d.in = std::move(in);
    const Walk& walk = d.site->Of(kind);
    d.decode = walk.decode;
    if (d.decode == Walk::Decode::Site) d.decode = d.site->utf8Pages ? Walk::Decode::Site : Walk::Decode::None;
    d.machine = std::make_unique<Machine>(walk, kind, d.text, d.in, nullptr);
    d.machine->StartStreaming();
}

StreamedWalk::~StreamedWalk() = default;

void StreamedWalk::Reserve(size_t pageBytes) {
    impl_->text.reserve(pageBytes + pageBytes / 16);
    impl_->machine->Reserve(pageBytes, impl_->kind);
}

void StreamedWalk::Feed(const char* data, size_t n) {
    Impl& d = *impl_;
    d.fed += n;
    if (d.failed) return;
    if (!d.Append(data, n)) {
        d.failed = true;
        return;
    }
    d.machine->Resume(false);
}

Output StreamedWalk::Finish(const std::string& page) {
    Impl& d = *impl_;
    // Another body than the one fed, or one that cannot be read as its
    // site's pages are read: the walk of the whole body says what it gives.
    if (d.fed != page.size() || d.failed || !d.End()) return Run(*d.site, d.kind, page, d.in);
    d.machine->Resume(true);
    return d.machine->Take();
}

size_t StreamedWalk::Taken() const {
    return impl_->machine->Taken();
}

}  // namespace talvenor::rules

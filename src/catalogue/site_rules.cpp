// The rule engine: runs a compiled walk over one page.
#include "catalogue/site_rules.h"

#include <algorithm>
#include <climits>

#include "catalogue/store.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/markers.h"
#include "text/numbers.h"

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
        I_.assign(static_cast<size_t>(walk.intRegs), 0);
        S_.resize(static_cast<size_t>(walk.strRegs));
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
        // takes some fifty bytes), so long lists grow without copying.
        if (kind == WalkKind::Chapters || kind == WalkKind::BookList) {
            const size_t room = std::min<size_t>(page.size() / (kind == WalkKind::Chapters ? 48 : 256) + 1, 100000);
            for (auto& list : out_.lists) list.reserve(room);
            if (kind == WalkKind::Chapters) out_.progress.reserve(room + 2);
        }
        // Bounds no site's walk comes near: a rule that loops on without
        // moving, or grows a piece without end, is cut off.
        stepsLeft_ = 16 * static_cast<long long>(page.size()) + 100000;
        bytesLeft_ = 8 * static_cast<long long>(page.size()) + (64 << 20);
    }

    Output Run() {
        RunBlock(0, 0);
        return std::move(out_);
    }

  private:
    enum Flow { Go, BreakLoop, StopWalk };

    // Counts bytes a walk makes; false once past its allowance.
    bool Spend(size_t bytes) {
        bytesLeft_ -= static_cast<long long>(bytes);
        return bytesLeft_ >= 0;
    }

    const std::string& Str(int slot) const { return slot == 0 ? page_ : S_[static_cast<size_t>(slot)]; }

    long long Eval(const Expr& e) const {
        if (e.code.size() == 1 && e.code[0].op == Op::Int) return I_[static_cast<size_t>(e.code[0].a)];
        long long st[32];
        int sp = 0;
        for (const Token& t : e.code) {
            switch (t.op) {
            case Op::Const: st[sp++] = t.v; break;
            case Op::Int: st[sp++] = I_[static_cast<size_t>(t.a)]; break;
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
                scratch += std::to_string(I_[static_cast<size_t>(p.slot)]);
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
                out += std::to_string(I_[static_cast<size_t>(p.slot)]);
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

    Flow RunBlock(int index, int depth) {
        if (depth > 64) return StopWalk;
        if (static_cast<size_t>(index) >= w_.blocks.size()) return Go;
        for (const Step& s : w_.blocks[static_cast<size_t>(index)]) {
            if (--stepsLeft_ < 0) {
                Note(s, std::string(), 0, 0, std::string(), "walk ends: too many steps for the page's size");
                return StopWalk;
            }
            if (!s.when.Empty() && !Eval(s.when)) continue;
            const Flow f = RunStep(s, depth);
            if (f != Go) return f;
        }
        return Go;
    }

    Flow RunStep(const Step& s, int depth) {
        std::string& scratch1 = scratch1_;
        std::string& scratch2 = scratch2_;
        switch (s.kind) {
        case Step::Find: {
            const long long from = s.hasFrom ? Eval(s.from) : I_[0];
            const std::string& m = Fill(s.m1, scratch1);
            const long long before = I_[static_cast<size_t>(s.dst)];
            int at = FindMarker(m, page_, Clamp(from));
            if (s.after && at >= 0) at += static_cast<int>(m.size());
            I_[static_cast<size_t>(s.dst)] = at;
            Note(s, m, before, I_[static_cast<size_t>(s.dst)], std::string());
            return Go;
        }
        case Step::AfterLast: {
            const std::string& m = Fill(s.m1, scratch1);
            const int from = Clamp(s.hasFrom ? Eval(s.from) : I_[0]);
            long long b = from;
            const long long size = static_cast<long long>(m.size());
            // `until`: only the markers that end by then count.
            const long long until = s.value.Empty() ? LLONG_MAX : Eval(s.value);
            for (int e = FindMarker(m, page_, from); e >= 0 && e + size <= until; e = FindMarker(m, page_, Clamp(e + size)))
                b = e + size;
            Note(s, m, from, b, std::string());
            I_[static_cast<size_t>(s.dst)] = b;
            return Go;
        }
        case Step::Cut: {
            const std::string& a = Fill(s.m1, scratch1);
            const std::string& b = Fill(s.m2, scratch2);
            int p = Clamp(I_[static_cast<size_t>(s.at)]);
            const long long before = p;
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
            I_[static_cast<size_t>(s.dst)] = Eval(s.value);
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
            I_[static_cast<size_t>(s.dst)] = n;
            Note(s, m, 0, n, std::string());
            return Go;
        }
        case Step::Slice: {
            const long long from = Eval(s.from), to = Eval(s.value);
            const long long n = static_cast<long long>(page_.size());
            const long long a = from < 0 ? 0 : from > n ? n : from;
            const long long b = to > n ? n : to;
            S_[static_cast<size_t>(s.dst)] =
                b > a ? page_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)) : std::string();
            Note(s, std::string(), from, to, S_[static_cast<size_t>(s.dst)]);
            return Go;
        }
        case Step::Loop: {
            for (long long pass = 0;; ++pass) {
                if (s.times >= 0 && pass >= s.times) break;
                if (!s.value.Empty() && !Eval(s.value)) break;
                const long long start = I_[static_cast<size_t>(s.dst)];
                const Flow f = RunBlock(s.block, depth + 1);
                if (f == StopWalk) return f;
                if (f == BreakLoop) break;
                // A pass that left the position where it was, or sent it
                // back, would find the same items again: the loop is over.
                if (s.times < 0 && I_[static_cast<size_t>(s.dst)] <= start) {
                    Note(s, std::string(), start, I_[static_cast<size_t>(s.dst)], std::string(), "loop ends: the position did not advance");
                    break;
                }
            }
            return Go;
        }
        case Step::If:
            if (Eval(s.value)) return RunBlock(s.block, depth + 1);
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

    const Walk& w_;
    const std::string& page_;
    Trace* trace_;
    std::vector<long long> I_;
    std::vector<std::string> S_;
    Output out_;
    long long stepsLeft_ = 0, bytesLeft_ = 0;
    std::string scratch1_, scratch2_;
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

}  // namespace talvenor::rules

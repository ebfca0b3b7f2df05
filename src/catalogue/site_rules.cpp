// The rule engine: runs a compiled walk over one page (a page still
// arriving: site_rules_stream.cpp).
#include "catalogue/site_rules.h"

#include <algorithm>
#include <climits>

#include "catalogue/site_rules_machine.h"
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

namespace {

bool IsValueToken(const Token& t) {
    return t.op == Op::Const || t.op == Op::Int;
}
bool IsBinaryToken(const Token& t) {
    return t.op >= Op::Add && t.op <= Op::Or;
}

}  // namespace

void SetForm(Expr& e) {
    const std::vector<Token>& c = e.code;
    const auto binary = [&c](size_t i) {
        return IsValueToken(c[i]) && IsValueToken(c[i + 1]) && IsBinaryToken(c[i + 2]);
    };
    if (c.size() == 1 && IsValueToken(c[0]))
        e.form = Expr::Form::Value;
    else if (c.size() == 3 && binary(0))
        e.form = Expr::Form::Binary;
    else if (c.size() == 7 && binary(0) && binary(3) && IsBinaryToken(c[6]))
        e.form = Expr::Form::Pair;
    else
        e.form = Expr::Form::Stack;
}

std::string RuleError::Text() const {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

const std::vector<std::vector<const char*>>& Fields() {
    static const std::vector<std::vector<const char*>> f = {{"name", "url"},  {"title", "key", "intro"},
                                                            {"title", "key"}, {"text"},
                                                            {"title", "url"}, {"content"}};
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

std::string Preview(const std::string& s) {
    if (s.size() <= 60) return s;
    // Cut at a character boundary of GBK: a lead byte takes its trail along.
    size_t i = 0;
    while (i < 60) i += static_cast<unsigned char>(s[i]) >= 0x81 && i + 1 < s.size() ? 2 : 1;
    return s.substr(0, i) + "...";
}

}  // namespace

namespace detail {

Machine::Machine(const Walk& walk, WalkKind kind, const std::string& page, const Inputs& in, Trace* trace)
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
        const size_t room =
            std::min<size_t>(page.size() / (kind == WalkKind::Chapters ? 32 : 256) + 1, 100000);
        for (auto& list : out_.lists) list.reserve(room);
        if (kind == WalkKind::Chapters) out_.progress.reserve(room + 2);
    }
    SetLimits();
}

long long Machine::EvalStack(const Expr& e, const std::vector<long long>& I) const {
    long long st[32];
    int sp = 0;
    for (const Token& t : e.code) {
        switch (t.op) {
            case Op::Const:
            case Op::Int:
                st[sp++] = ValueOf(t, I);
                break;
            case Op::StrEmpty:
                st[sp++] = Str(t.a).empty();
                break;
            case Op::StrLen:
                st[sp++] = static_cast<long long>(Str(t.a).size());
                break;
            case Op::StrEq:
                st[sp++] = Str(t.a) == Str(t.b);
                break;
            case Op::StrHas:
                st[sp++] = Str(t.a).find(Str(t.b)) != std::string::npos;
                break;
            case Op::Not:
                st[sp - 1] = !st[sp - 1];
                break;
            case Op::Neg:
                st[sp - 1] = -st[sp - 1];
                break;
            default: {
                const long long b = st[--sp];
                st[sp - 1] = BinaryOp(t.op, st[sp - 1], b);
            }
        }
    }
    return sp > 0 ? st[sp - 1] : 0;
}

// A template's text; constant ones are returned without a copy.
const std::string& Machine::FillParts(const Template& t, std::string& scratch) const {
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
void Machine::FillInto(const Template& t, std::string& out) const {
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

void Machine::Record(const Step& s, const std::string& marker, long long before, long long after,
                     const std::string& piece, const std::string& note) {
    trace_->push_back({s.line, s.column, s.verb, Preview(marker), before, after, Preview(piece), note});
}

void Machine::Clean(std::string& v, const Cleaner& c) {
    std::string s1, s2, s3;
    switch (c.kind) {
        case Cleaner::StripTags:
            StripTags(v);
            break;
        case Cleaner::RemoveNbsp:
            RemoveNbsp(v);
            break;
        case Cleaner::RemoveBlanks:
            RemoveBlanks(v);
            break;
        case Cleaner::CleanLinkText:
            CleanLinkText(v);
            break;
        case Cleaner::Trim: {
            size_t b = 0, e = v.size();
            while (b < e && static_cast<unsigned char>(v[b]) <= ' ') ++b;
            while (e > b && static_cast<unsigned char>(v[e - 1]) <= ' ') --e;
            v = v.substr(b, e - b);
            break;
        }
        case Cleaner::RemoveAll:
            RemoveAll(v, Fill(c.a, s1));
            break;
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
            v = v.size() <= head || v.size() - head <= tail ? std::string()
                                                            : v.substr(head, v.size() - head - tail);
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

// The steps a list's item is made of, run by both paths.
void Machine::CutStep(const Step& s) {
    const std::string& a = Fill(s.m1, scratch1_);
    const std::string& b = Fill(s.m2, scratch2_);
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
        if (s.dst >= 0) StrDst(s.dst).clear();
        if (s.moved >= 0) I_[static_cast<size_t>(s.moved)] = 0;
        if (trace_) Note(s, a, before, -1, std::string(), "start marker missing: nothing cut");
        return;
    }
    int content = 0;
    std::string& piece = s.dst >= 0 ? StrDst(s.dst) : scratch3_;
    CutBetweenInto(piece, page_, a, b, p, &content);
    I_[static_cast<size_t>(s.at)] = p;
    if (s.dst2 >= 0) I_[static_cast<size_t>(s.dst2)] = content;
    if (s.moved >= 0 && p <= before) I_[static_cast<size_t>(s.moved)] = 0;
    if (trace_) Note(s, a, before, p, piece);
}

Machine::Flow Machine::CleanStep(const Step& s) {
    std::string& v = StrDst(s.dst);
    for (const Cleaner& c : s.cleaners) {
        Clean(v, c);
        if (!Spend(v.size())) return StopWalk;
    }
    if (trace_) Note(s, std::string(), 0, 0, v);
    return Go;
}

Machine::Flow Machine::EmitStep(const Step& s) {
    for (const auto& [slot, t] : s.emits) {
        auto& list = out_.lists[static_cast<size_t>(slot)];
        if (list.size() >= kMaxItems) {
            Note(s, std::string(), 0, 0, std::string(), "walk ends: too many items on one page");
            return StopWalk;
        }
        if (s.moveOut)
            list.push_back(std::move(StrDst(t.parts[0].slot)));
        else {
            list.emplace_back();
            FillInto(t, list.back());
        }
        if (!Spend(list.back().size())) return StopWalk;
    }
    return Go;
}

// A block on a complete page without a trace: nothing can be open or
// missing, so the steps a long list repeats per item go without the
// checks for it (RunBlock and RunStep give the same for each).
Machine::Flow Machine::RunPlain(const std::vector<Step>& steps, int depth) {
    for (const Step& s : steps) {
        if (++stepsUsed_ > stepLimit_) return StopWalk;
        if (!s.when.Empty() && !EvalPlain(s.when, I_)) continue;
        switch (s.kind) {
            case Step::Set:
                I_[static_cast<size_t>(s.dst)] = EvalPlain(s.value, I_);
                break;
            case Step::Find: {
                const long long from = s.hasFrom ? EvalPlain(s.from, I_) : I_[0];
                const std::string& m = Fill(s.m1, scratch1_);
                int at = FindMarker(m, page_, Clamp(from));
                if (s.after && at >= 0) at += static_cast<int>(m.size());
                I_[static_cast<size_t>(s.dst)] = at;
                break;
            }
            case Step::Cut:
                CutStep(s);
                break;
            case Step::Progress:
                if (out_.progress.size() < 2 * kMaxItems) out_.progress.push_back(Clamp(EvalPlain(s.value, I_)));
                break;
            case Step::Break:
                return BreakLoop;
            case Step::Clean:
                if (CleanStep(s) != Go) return StopWalk;
                break;
            case Step::Emit:
                if (EmitStep(s) != Go) return StopWalk;
                break;
            case Step::Loop: {
                const Flow f = RunLoopPlain(s, depth);
                if (f != Go) return f;
                break;
            }
            default: {
                const Flow f = RunStep(s, depth);
                if (f != Go) return f;
            }
        }
    }
    return Go;
}

// RunLoop on the lean path: its passes run their block without going
// through RunBlock's checks.
Machine::Flow Machine::RunLoopPlain(const Step& s, int depth) {
    if (depth + 1 > 64 || static_cast<size_t>(s.block) >= w_.blocks.size()) return RunLoop(s, depth, 0, 0);
    const std::vector<Step>& body = w_.blocks[static_cast<size_t>(s.block)];
    const size_t position = static_cast<size_t>(s.dst);
    for (long long pass = 0;; ++pass) {
        if (s.times >= 0 && pass >= s.times) break;
        if (!s.value.Empty() && !EvalPlain(s.value, I_)) break;
        const long long start = I_[position];
        const Flow f = RunPlain(body, depth + 1);
        if (f == StopWalk) return f;
        if (f == BreakLoop) break;
        if (s.times < 0 && I_[position] <= start) break;
    }
    return Go;
}

// first, pass: where a walk on a growing page goes on (a top-level
// step, and the pass of a loop there).
Machine::Flow Machine::RunBlock(int index, int depth, size_t first, long long pass) {
    if (depth > 64) return StopWalk;
    if (static_cast<size_t>(index) >= w_.blocks.size()) return Go;
    if (first == 0 && pass < 0 && Plain(depth)) return RunPlain(w_.blocks[static_cast<size_t>(index)], depth);
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

Machine::Flow Machine::RunLoop(const Step& s, int depth, size_t at, long long first) {
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
            Note(s, std::string(), start, I_[static_cast<size_t>(s.dst)], std::string(),
                 "loop ends: the position did not advance");
            break;
        }
    }
    return Go;
}

Machine::Flow Machine::RunStep(const Step& s, int depth) {
    std::string& scratch1 = scratch1_;
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
                const long long n = static_cast<long long>(page_.size()),
                                size = static_cast<long long>(m.size());
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
            for (int e = FindMarker(m, page_, from); e >= 0 && e + size <= until;
                 e = FindMarker(m, page_, Clamp(e + size)))
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
                OpenPosition(s, from, m, true, b,
                             std::max(b, static_cast<long long>(page_.size()) - size + 1));
                return Go;
            }
            Note(s, m, from, b, std::string());
            dst = b;
            return Go;
        }
        case Step::Cut:
            CutStep(s);
            return Go;
        case Step::Set:
            Dst(s.dst) = Eval(s.value);
            Note(s, std::string(), 0, I_[static_cast<size_t>(s.dst)], std::string());
            return Go;
        case Step::Text: {
            std::string v = Fill(s.text, scratch1);
            if (!Spend(v.size())) return StopWalk;
            Note(s, std::string(), 0, 0, v);
            StrDst(s.dst) = std::move(v);
            return Go;
        }
        case Step::Clean:
            return CleanStep(s);
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
            for (int p = FindMarker(m, in, Clamp(Eval(s.from))); p >= 0;
                 p = FindMarker(m, in, Clamp(1LL * p + size)))
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
            StrDst(s.dst) =
                b > a ? page_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)) : std::string();
            Note(s, std::string(), from, to, S_[static_cast<size_t>(s.dst)]);
            return Go;
        }
        case Step::Loop:
            return RunLoop(s, depth, 0, 0);
        case Step::If:
            if (Test(s.value)) return RunBlock(s.block, depth + 1);
            if (s.elseBlock >= 0) return RunBlock(s.elseBlock, depth + 1);
            return Go;
        case Step::Emit:
            return EmitStep(s);
        case Step::Out:
            out_.outs[static_cast<size_t>(s.dst)] = Eval(s.value);
            return Go;
        case Step::Progress:
            if (out_.progress.size() < 2 * kMaxItems) out_.progress.push_back(Clamp(Eval(s.value)));
            return Go;
        case Step::Break:
            return BreakLoop;
        case Step::Stop:
            return StopWalk;
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
void Machine::SetLimits() {
    stepLimit_ = 16 * static_cast<long long>(page_.size()) + 100000;
    byteLimit_ = 8 * static_cast<long long>(page_.size()) + (64 << 20);
}

}  // namespace detail

using detail::Machine;

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

// The rule engine's steps: what each verb does to the registers, the page
// and the output, on the checked path (a trace, a page still arriving) and
// on the lean one (a complete page).
#include <algorithm>
#include <climits>

#include "catalogue/site_rules.h"
#include "catalogue/site_rules_machine.h"
#include "net/site_hosts.h"
#include "text/markers.h"
#include "text/numbers.h"

namespace talvenor::rules::detail {

namespace {

// The cleaners that take nothing but the text.
TALVENOR_HOT void CleanSimple(std::string& v, Cleaner::Kind kind) {
    switch (kind) {
        case Cleaner::StripTags:
            StripTags(v);
            break;
        case Cleaner::RemoveNbsp:
            RemoveNbsp(v);
            break;
        case Cleaner::RemoveBlanks:
            RemoveBlanks(v);
            break;
        default:
            CleanLinkText(v);
            break;
    }
}

}  // namespace

void Machine::Clean(std::string& v, const Cleaner& c) {
    std::string &s1 = scratch1_, &s2 = scratch2_, &s3 = scratch3_;
    switch (c.kind) {
        case Cleaner::StripTags:
        case Cleaner::RemoveNbsp:
        case Cleaner::RemoveBlanks:
        case Cleaner::CleanLinkText:
            CleanSimple(v, c.kind);
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
        Note(s, a, before, -1, std::string(), "start marker missing: nothing cut");
        return;
    }
    int content = 0;
    std::string& piece = s.dst >= 0 ? StrDst(s.dst) : scratch3_;
    CutBetweenInto(piece, page_, a, b, p, &content);
    I_[static_cast<size_t>(s.at)] = p;
    if (s.dst2 >= 0) I_[static_cast<size_t>(s.dst2)] = content;
    if (s.moved >= 0 && p <= before) I_[static_cast<size_t>(s.moved)] = 0;
    Note(s, a, before, p, piece);
}

Machine::Flow Machine::CleanStep(const Step& s) {
    std::string& v = StrDst(s.dst);
    for (const Cleaner& c : s.cleaners) {
        Clean(v, c);
        if (!Spend(v.size())) return StopWalk;
    }
    Note(s, std::string(), 0, 0, v);
    return Go;
}

TALVENOR_HOT Machine::Flow Machine::EmitStep(const Step& s) {
    for (const auto& [slot, t] : s.emits) {
        auto& list = out_.lists[static_cast<size_t>(slot)];
        if (list.size() >= kMaxItems) {
            Note(s, std::string(), 0, 0, std::string(), "walk ends: too many items on one page");
            return StopWalk;
        }
        if (s.moveOut)
            list.push_back(std::move(StrDst(t.parts[0].slot)));
        else
            FillNew(t, list);
        if (!Spend(list.back().size())) return StopWalk;
    }
    return Go;
}

// A step on a complete page without a trace: nothing can be open or
// missing, so the steps a long list repeats per item go without the checks
// for it (RunBlock and RunStep give the same for each).
TALVENOR_HOT Machine::Flow Machine::PlainStep(const Step& s, int depth) {
    if (!s.when.Empty() && !EvalPlain(s.when, I_)) return Go;
    switch (s.kind) {
        case Step::Set:
            I_[static_cast<size_t>(s.dst)] = EvalPlain(s.value, I_);
            return Go;
        case Step::Find: {
            const long long from = s.hasFrom ? EvalPlain(s.from, I_) : I_[0];
            const std::string& m = Fill(s.m1, scratch1_);
            int at = FindMarker(m, page_, Clamp(from));
            if (s.after && at >= 0) at += static_cast<int>(m.size());
            I_[static_cast<size_t>(s.dst)] = at;
            return Go;
        }
        case Step::Cut:
            CutStep(s);
            return Go;
        case Step::Progress:
            if (out_.progress.size() < 2 * kMaxItems) out_.progress.push_back(Clamp(EvalPlain(s.value, I_)));
            return Go;
        case Step::Break:
            return BreakLoop;
        case Step::Clean:
            return CleanStep(s) != Go ? StopWalk : Go;
        case Step::Emit:
            return EmitStep(s) != Go ? StopWalk : Go;
        case Step::Loop:
            return RunLoopPlain(s, depth);
        default:
            return RunStep(s, depth);
    }
}

// A cut with literal markers on the lean path (CutStep without what
// need_start, moved and a page still arriving ask for).
TALVENOR_HOT void Machine::PlainCut(const Step& s) {
    const size_t at = static_cast<size_t>(s.at);
    int p = Clamp(I_[at]);
    int content = 0;
    CutBetweenInto(s.dst >= 0 ? StrDst(s.dst) : scratch3_, page_, s.m1.text, s.m2.text, p, &content);
    I_[at] = p;
    if (s.dst2 >= 0) I_[static_cast<size_t>(s.dst2)] = content;
}

// One op of a block's lean program.
TALVENOR_HOT Machine::Flow Machine::LeanStep(const LeanOp& o, const std::vector<Step>& steps, int depth) {
    const Step& s = steps[static_cast<size_t>(o.first)];
    switch (o.kind) {
        case LeanOp::CopyReg:
            I_[static_cast<size_t>(o.a)] = I_[static_cast<size_t>(o.b)];
            return Go;
        case LeanOp::BreakWhen:
            return EvalPlain(s.when, I_) ? BreakLoop : Go;
        case LeanOp::PlainCut:
            PlainCut(s);
            return Go;
        case LeanOp::CutOrBreak: {
            const Step& cut = steps[static_cast<size_t>(o.first) + 1];
            const long long before = I_[static_cast<size_t>(cut.at)];
            I_[static_cast<size_t>(o.a)] = before;
            PlainCut(cut);
            return I_[static_cast<size_t>(cut.at)] <= before ? BreakLoop : Go;
        }
        case LeanOp::Emit:
            return EmitStep(s) != Go ? StopWalk : Go;
        case LeanOp::PlainFind: {
            int at = FindMarker(s.m1.text, page_, Clamp(I_[0]));
            if (s.after && at >= 0) at += static_cast<int>(s.m1.text.size());
            I_[static_cast<size_t>(s.dst)] = at;
            return Go;
        }
        case LeanOp::Difference: {
            const long long a = I_[static_cast<size_t>(o.a)];
            if (out_.progress.size() < 2 * kMaxItems)
                out_.progress.push_back(Clamp(BinaryOp(Op::Sub, a, I_[static_cast<size_t>(o.b)])));
            if (o.last > o.first) I_[static_cast<size_t>(o.b)] = a;
            return Go;
        }
        case LeanOp::CleanText: {
            std::string& v = StrDst(s.dst);
            CleanSimple(v, s.cleaners[0].kind);
            return Spend(v.size()) ? Go : StopWalk;
        }
        case LeanOp::General:
            break;
    }
    return PlainStep(s, depth);
}

// A block on the lean path.  A block with a lean program that cannot reach
// the walk's step allowance counts its steps at once (and gives back those
// a break skipped); any other counts them one by one.
Machine::Flow Machine::RunPlain(int block, int depth) {
    const std::vector<Step>& steps = w_.blocks[static_cast<size_t>(block)];
    const size_t b = static_cast<size_t>(block);
    const long long n = static_cast<long long>(steps.size());
    if (b < w_.lean.size() && !w_.lean[b].empty() && stepsUsed_ + n <= stepLimit_) {
        stepsUsed_ += n;
        for (const LeanOp& o : w_.lean[b]) {
            const Flow f = LeanStep(o, steps, depth);
            if (f != Go) {
                stepsUsed_ -= n - 1 - o.last;
                return f;
            }
        }
        return Go;
    }
    for (const Step& s : steps) {
        if (++stepsUsed_ > stepLimit_) return StopWalk;
        const Flow f = PlainStep(s, depth);
        if (f != Go) return f;
    }
    return Go;
}

// RunLoop on the lean path: its passes run their block without going
// through RunBlock's checks.
Machine::Flow Machine::RunLoopPlain(const Step& s, int depth) {
    if (depth + 1 > 64 || static_cast<size_t>(s.block) >= w_.blocks.size()) return RunLoop(s, depth, 0, 0);
    const size_t position = static_cast<size_t>(s.dst);
    for (long long pass = 0;; ++pass) {
        if (s.times >= 0 && pass >= s.times) break;
        if (!s.value.Empty() && !EvalPlain(s.value, I_)) break;
        const long long start = I_[position];
        const Flow f = RunPlain(s.block, depth + 1);
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
    if (first == 0 && pass < 0 && Plain(depth)) return RunPlain(index, depth);
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

}  // namespace talvenor::rules::detail

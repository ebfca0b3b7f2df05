// The rule engine on a page that is still arriving: the walk runs on the
// bytes so far and goes back to the start of an item when the rest of the
// page could change it (see Machine's notes on streaming).
#include <algorithm>
#include <climits>
#include <memory>

#include "catalogue/site_rules.h"
#include "catalogue/site_rules_machine.h"
#include "text/encoding.h"
#include "text/markers.h"

namespace talvenor::rules {

namespace detail {

void Machine::StartStreaming() {
    streaming_ = true;
    complete_ = false;
    pendingFlag_.assign(I_.size(), 0);
    sDirty_.assign(S_.size(), 1);
}

void Machine::Reserve(size_t bytes, WalkKind kind) {
    if (kind != WalkKind::Chapters && kind != WalkKind::BookList) return;
    const size_t room = std::min<size_t>(bytes / (kind == WalkKind::Chapters ? 32 : 256) + 1, 100000);
    for (auto& list : out_.lists) list.reserve(room);
    if (kind == WalkKind::Chapters) out_.progress.reserve(room + 2);
    // A list's items wait for its end: room for one kept item each.
    assumed_.reserve(room);
    poolA_.reserve(room);
    poolValues_.reserve(room * 4);
}

// After bytes were appended to the page (or it completed): takes every
// item the bytes allow.
void Machine::Resume(bool complete) {
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

void Machine::Capture(size_t step, long long pass) {
    State& st = last_;
    st.I = I_;
    st.S.resize(S_.size());
    for (size_t k = 0; k < S_.size(); ++k) {
        if (!sDirty_[k]) continue;
        st.S[k] = S_[k];
        sDirty_[k] = 0;
    }
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

void Machine::Restore(const State& st) {
    I_ = st.I;
    S_ = st.S;
    std::fill(sDirty_.begin(), sDirty_.end(), 0);  // last_ becomes st below
    for (size_t i = 0; i < out_.lists.size(); ++i) out_.lists[i].resize(st.lists[i]);
    out_.progress.resize(st.progress);
    out_.outs = st.outs;
    out_.next = st.next;
    stepsUsed_ = st.stepsUsed;
    bytesUsed_ = st.bytesUsed;
    at_ = {st.step, st.pass};
    item_ = st.item;
    itemAssumptionCount_ = 0;
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
void Machine::SaveItem(size_t step, long long pass) {
    CommitItem();
    ++item_;
    // On the complete page, with every position known, nothing can send
    // the walk back: the state before an item is not needed any more.
    if (complete_ && unresolved_ == 0) return;
    Capture(step, pass);
}

void Machine::CommitItem() {
    if (itemAssumptionCount_ == 0) return;
    if (assumedCount_ == assumed_.size()) assumed_.emplace_back();
    Assumed& kept = assumed_[assumedCount_++];
    // The entries are used again: copying into them takes no memory anew.
    if (checkpointCount_ == 0 ||
        last_.item - checkpoints_[checkpointCount_ - 1].item >= kCheckpointItems) {
        if (checkpointCount_ == checkpoints_.size()) checkpoints_.emplace_back();
        checkpoints_[checkpointCount_++] = last_;
    }
    kept.checkpoint = checkpointCount_ - 1;
    kept.a = poolA_.size();
    kept.aCount = itemAssumptionCount_;
    for (size_t k = 0; k < itemAssumptionCount_; ++k) {
        const Assumption& a = itemAssumptions_[k];
        poolA_.push_back({a.expr, poolValues_.size(), a.reg, a.answer});
        for (const Token& t : a.expr->code)
            if (t.op == Op::Int) poolValues_.push_back(a.I[static_cast<size_t>(t.a)]);
    }
    itemAssumptionCount_ = 0;
}

void Machine::ForgetKept() {
    firstKept_ = assumedCount_ = checkpointCount_ = 0;
    poolA_.clear();
    poolValues_.clear();
}

Machine::Pending* Machine::PendingOf(int reg) {
    for (Pending& p : pending_)
        if (p.reg == reg) return &p;
    return nullptr;
}

bool Machine::ResolvedReg(int reg) const {
    for (const Pending& p : pending_)
        if (p.reg == reg) return p.resolved;
    return true;
}

void Machine::OpenPosition(const Step& s, long long from, const std::string& m, bool last, long long lastEnd,
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

void Machine::Resolve(Pending& p, long long v) {
    p.resolved = true;
    p.value = v;
    p.resolvedAfter = captures_;
    I_[static_cast<size_t>(p.reg)] = v;
    --unresolved_;
}

// Looks for the open positions' markers in the bytes so far; true when
// something is known that was not.
bool Machine::UpdatePending() {
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

Machine::Verdict Machine::Check(const PooledAssumption& a) {
    const Pending* p = PendingOf(a.reg);
    if (!p) return Verdict::Fails;  // cannot happen: an item keeps its position open
    if (!p->resolved && !p->last) return Verdict::Open;
    // The expression reads registers only (no strings), and only those
    // readings were kept.
    std::vector<long long>& regs = checkRegs_;
    regs.resize(I_.size());
    size_t v = a.values;
    for (const Token& t : a.expr->code)
        if (t.op == Op::Int) regs[static_cast<size_t>(t.a)] = poolValues_[v++];
    if (p->resolved) {
        regs[static_cast<size_t>(a.reg)] = p->value;
        return EvalPlain(*a.expr, regs) == a.answer ? Verdict::Holds : Verdict::Fails;
    }
    // Still open: it holds for sure when it holds at the nearest place
    // the marker can still turn up (an after_last position only grows).
    regs[static_cast<size_t>(a.reg)] = p->lastEnd;
    return EvalPlain(*a.expr, regs) == a.answer ? Verdict::Holds : Verdict::Open;
}

// Items whose assumptions now hold are kept; at the first that turned
// out wrong the walk goes back to where that item began (through the
// nearest checkpoint before it).
void Machine::Revise() {
    size_t kept = firstKept_;
    for (; kept < assumedCount_; ++kept) {
        const Assumed& item = assumed_[kept];
        Verdict v = Verdict::Holds;
        for (size_t k = item.a; k < item.a + item.aCount; ++k) {
            const Verdict one = Check(poolA_[k]);
            if (one == Verdict::Fails) {
                v = one;
                break;
            }
            if (one == Verdict::Open) v = one;
        }
        if (v == Verdict::Holds) continue;
        if (v == Verdict::Fails) {
            // Every item before it held: none waits any more.
            const size_t back = item.checkpoint;
            ForgetKept();
            Restore(checkpoints_[back]);
            return;
        }
        break;
    }
    firstKept_ = kept;
    if (firstKept_ == assumedCount_) {
        ForgetKept();
        return;
    }
    // The checkpoints before the first waiting item's, and that item's
    // part of the pools, go once they are half of what is kept.
    const Assumed first = assumed_[firstKept_];
    if (first.checkpoint * 2 < checkpointCount_ && firstKept_ * 2 < assumedCount_) return;
    std::rotate(checkpoints_.begin(), checkpoints_.begin() + static_cast<long>(first.checkpoint),
                checkpoints_.begin() + static_cast<long>(checkpointCount_));
    checkpointCount_ -= first.checkpoint;
    const size_t values = poolA_[first.a].values;
    poolA_.erase(poolA_.begin(), poolA_.begin() + static_cast<long>(first.a));
    for (PooledAssumption& a : poolA_) a.values -= values;
    poolValues_.erase(poolValues_.begin(), poolValues_.begin() + static_cast<long>(values));
    for (size_t k = firstKept_; k < assumedCount_; ++k) {
        Assumed m = assumed_[k];
        m.checkpoint -= first.checkpoint;
        m.a -= first.a;
        assumed_[k - firstKept_] = m;
    }
    assumedCount_ -= firstKept_;
    firstKept_ = 0;
}

// An expression that reads an open position.
long long Machine::EvalOpen(const Expr& e, bool assume) {
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
    if (itemAssumptionCount_ == itemAssumptions_.size()) itemAssumptions_.emplace_back();
    Assumption& a = itemAssumptions_[itemAssumptionCount_++];
    a.expr = &e;
    a.I = I_;
    a.reg = reg;
    a.answer = far;
    return far;
}

}  // namespace detail

using detail::Machine;

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
    bool ended = false;  // the last piece came

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
    if (d.decode == Walk::Decode::Site)
        d.decode = d.site->utf8Pages ? Walk::Decode::Site : Walk::Decode::None;
    d.machine = std::make_unique<Machine>(walk, kind, d.text, d.in, nullptr);
    d.machine->StartStreaming();
}

StreamedWalk::~StreamedWalk() = default;

void StreamedWalk::Reserve(size_t pageBytes) {
    impl_->text.reserve(pageBytes + pageBytes / 16);
    impl_->machine->Reserve(pageBytes, impl_->kind);
}

void StreamedWalk::Feed(const char* data, size_t n, bool last) {
    Impl& d = *impl_;
    d.fed += n;
    if (d.failed || d.ended) return;
    if (!d.Append(data, n)) {
        d.failed = true;
        return;
    }
    if (!last) {
        d.machine->Resume(false);
        return;
    }
    d.ended = true;
    if (!d.End()) {
        d.failed = true;
        return;
    }
    d.machine->Resume(true);
}

Output StreamedWalk::Finish(const std::string& page) {
    Impl& d = *impl_;
    // Another body than the one fed, or one that cannot be read as its
    // site's pages are read: the walk of the whole body says what it gives.
    if (d.fed != page.size() || d.failed || (!d.ended && !d.End())) return Run(*d.site, d.kind, page, d.in);
    d.machine->Resume(true);
    return d.machine->Take();
}

size_t StreamedWalk::Taken() const {
    return impl_->machine->Taken();
}

}  // namespace talvenor::rules

// The machine that runs a compiled walk (the engine's own: site_rules.cpp
// runs it over a whole page, site_rules_stream.cpp over a page still
// arriving).
#pragma once

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/site_rules.h"
#include "text/piece_walk.h"

namespace talvenor::rules::detail {

inline int Clamp(long long v) {
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// The common forms of expressions are evaluated in place: a list's item
// reads several.
#define TALVENOR_HOT inline __attribute__((always_inline))

TALVENOR_HOT long long BinaryOp(Op op, long long a, long long b) {
    switch (op) {
        case Op::Add:
            return static_cast<long long>(static_cast<unsigned long long>(a) + static_cast<unsigned long long>(b));
        case Op::Sub:
            return static_cast<long long>(static_cast<unsigned long long>(a) - static_cast<unsigned long long>(b));
        case Op::Lt:
            return a < b;
        case Op::Le:
            return a <= b;
        case Op::Gt:
            return a > b;
        case Op::Ge:
            return a >= b;
        case Op::Eq:
            return a == b;
        case Op::Ne:
            return a != b;
        case Op::And:
            return a && b;
        case Op::Or:
            return a || b;
        default:
            return 0;
    }
}

TALVENOR_HOT long long ValueOf(const Token& t, const std::vector<long long>& I) {
    return t.op == Op::Int ? I[static_cast<size_t>(t.a)] : t.v;
}

class Machine {
  public:
    Machine(const Walk& walk, WalkKind kind, const std::string& page, const Inputs& in, Trace* trace);

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

    void StartStreaming();
    void Reserve(size_t bytes, WalkKind kind);
    // After bytes were appended to the page (or it completed): takes every
    // item the bytes allow.
    void Resume(bool complete);
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
    TALVENOR_HOT long long Eval(const Expr& e) {
        if (unresolved_ > 0) return EvalOpen(e, false);
        return EvalPlain(e, I_);
    }
    // A condition: it may be answered on an assumption.
    TALVENOR_HOT long long Test(const Expr& e) {
        if (unresolved_ > 0) return EvalOpen(e, true);
        return Eval(e);
    }

    TALVENOR_HOT long long EvalPlain(const Expr& e, const std::vector<long long>& I) const {
        const Token* c = e.code.data();
        switch (e.form) {
            case Expr::Form::Value:
                return ValueOf(c[0], I);
            case Expr::Form::Binary:
                return BinaryOp(c[2].op, ValueOf(c[0], I), ValueOf(c[1], I));
            case Expr::Form::Pair:
                return BinaryOp(c[6].op, BinaryOp(c[2].op, ValueOf(c[0], I), ValueOf(c[1], I)),
                                BinaryOp(c[5].op, ValueOf(c[3], I), ValueOf(c[4], I)));
            default:
                return EvalStack(e, I);
        }
    }
    long long EvalStack(const Expr& e, const std::vector<long long>& I) const;

    // A template's text; constant ones are returned without a copy.
    const std::string& Fill(const Template& t, std::string& scratch) const {
        return t.constant ? t.text : FillParts(t, scratch);
    }
    const std::string& FillParts(const Template& t, std::string& scratch) const;

    // Adds a template's text to the end of list.
    void FillNew(const Template& t, std::vector<std::string>& list) const;

    void Note(const Step& s, const std::string& marker, long long before, long long after,
              const std::string& piece, const std::string& note = std::string()) {
        if (trace_) Record(s, marker, before, after, piece, note);
    }
    void Record(const Step& s, const std::string& marker, long long before, long long after,
                const std::string& piece, const std::string& note);

    void Clean(std::string& v, const Cleaner& c);

    // first, pass: where a walk on a growing page goes on (a top-level
    // step, and the pass of a loop there).
    Flow RunBlock(int index, int depth, size_t first = 0, long long pass = -1);

    Flow RunLoop(const Step& s, int depth, size_t at, long long first);

    Flow RunStep(const Step& s, int depth);

    void CutStep(const Step& s);
    Flow CleanStep(const Step& s);
    Flow EmitStep(const Step& s);

    // Without a trace, on a complete page with no open position, a block
    // can skip the checks for them (a walk on a growing page keeps its top
    // level's items on the full path).
    bool Plain(int depth) const {
        return !trace_ && (!streaming_ || (complete_ && unresolved_ == 0 && depth > 0));
    }
    Flow PlainStep(const Step& s, int depth);
    void PlainCut(const Step& s);
    Flow LeanStep(const LeanOp& o, const std::vector<Step>& steps, int depth);
    Flow RunPlain(int block, int depth);
    Flow RunLoopPlain(const Step& s, int depth);

    // Bounds no site's walk comes near: a rule that loops on without
    // moving, or grows a piece without end, is cut off.
    void SetLimits();

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
        long long item = 0;           // the item that made it
    };
    // A condition answered on the assumption that an open position lies far
    // ahead: the registers it was computed from, and the answer.
    struct Assumption {
        const Expr* expr;
        std::vector<long long> I;
        int reg;
        long long answer;
    };
    // An item kept while its assumptions wait.  Going back is rare, so not
    // every item keeps the state before it (a long list has one such item
    // per chapter until its end arrives): every kCheckpointItems-th does,
    // and going back re-walks from the nearest of those at or before the
    // item, which takes the same path up to it.  Its assumptions keep only
    // the registers they read, in the pools.
    struct Assumed {
        size_t checkpoint = 0;  // in checkpoints_
        size_t a = 0, aCount = 0;  // in poolA_
    };
    struct PooledAssumption {
        const Expr* expr;
        size_t values;  // the expression's register readings, in poolValues_
        int reg;
        long long answer;
    };
    static constexpr long long kCheckpointItems = 64;
    static constexpr long long kFar = 1LL << 40;

    // Writes the state at the start of an item into last_.  Only the
    // string registers written since the last capture are copied (a list
    // item writes two or three of a dozen).
    void Capture(size_t step, long long pass);
    // A string register about to be written.
    std::string& StrDst(int slot) {
        if (streaming_) sDirty_[static_cast<size_t>(slot)] = 1;
        return S_[static_cast<size_t>(slot)];
    }

    void Restore(const State& st);

    // A new item begins: the one before is done, with its assumptions.
    void SaveItem(size_t step, long long pass);
    void CommitItem();

    Pending* PendingOf(int reg);
    bool Open(int reg) const {
        return unresolved_ > 0 && pendingFlag_[static_cast<size_t>(reg)] && !ResolvedReg(reg);
    }
    bool ResolvedReg(int reg) const;
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
                      long long scanned);

    void Resolve(Pending& p, long long v);

    // Looks for the open positions' markers in the bytes so far; true when
    // something is known that was not.
    bool UpdatePending();

    enum class Verdict { Holds, Fails, Open };
    Verdict Check(const PooledAssumption& a);
    // No item waits any more.
    void ForgetKept();

    // Items whose assumptions now hold are kept; at the first that turned
    // out wrong the walk goes back to where that item began.
    void Revise();

    // An expression that reads an open position.
    long long EvalOpen(const Expr& e, bool assume);

    const Walk& w_;
    const std::string& page_;
    Trace* trace_;
    std::vector<long long> I_;
    std::vector<std::string> S_;
    Output out_;
    long long stepsUsed_ = 0, bytesUsed_ = 0, stepLimit_ = 0, byteLimit_ = 0;
    std::string scratch1_, scratch2_, scratch3_;

    bool streaming_ = false, complete_ = true, done_ = false;
    std::vector<char> sDirty_;  // by string register: differs from last_'s
    State last_;
    Spot at_;
    long long item_ = 0, captures_ = 0;
    std::vector<Pending> pending_;
    std::vector<char> pendingFlag_;
    int unresolved_ = 0;
    // The current item's assumptions (the first itemAssumptionCount_; the
    // others are kept to be written over), and the items before it still
    // waiting for their open positions.
    std::vector<Assumption> itemAssumptions_;
    size_t itemAssumptionCount_ = 0;
    std::vector<Assumed> assumed_;
    size_t firstKept_ = 0, assumedCount_ = 0;  // the items [firstKept_, assumedCount_) wait
    std::vector<State> checkpoints_;  // the first checkpointCount_ are in use
    size_t checkpointCount_ = 0;
    std::vector<PooledAssumption> poolA_;
    std::vector<long long> poolValues_;
    std::vector<long long> checkRegs_;
};

}  // namespace talvenor::rules::detail

// The rule engine: runs a compiled walk over one page (its steps:
// site_rules_run.cpp; a page still arriving: site_rules_stream.cpp).
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

namespace {

bool IsReg(const Token& t, int reg) {
    return t.op == Op::Int && t.a == reg;
}
// set a = b
bool IsCopy(const Step& s) {
    return s.kind == Step::Set && s.when.Empty() && s.value.form == Expr::Form::Value && s.value.code[0].op == Op::Int;
}
bool IsSimpleCleaner(const Cleaner& c) {
    return c.kind == Cleaner::StripTags || c.kind == Cleaner::RemoveNbsp || c.kind == Cleaner::RemoveBlanks ||
           c.kind == Cleaner::CleanLinkText;
}
bool IsPlainCut(const Step& s) {
    return s.kind == Step::Cut && s.when.Empty() && s.m1.constant && s.m2.constant && !s.needStart && s.moved < 0;
}
// set r = pos; cut at pos; break when pos <= r: a cut that must move on.
bool IsCutOrBreak(const std::vector<Step>& block, size_t i) {
    if (i + 2 >= block.size() || !IsCopy(block[i]) || !IsPlainCut(block[i + 1])) return false;
    const int r = block[i].dst, pos = block[i].value.code[0].a;
    const Step &cut = block[i + 1], &brk = block[i + 2];
    const std::vector<Token>& c = brk.when.code;
    return r != pos && cut.at == pos && cut.dst2 != r && cut.dst2 != pos && brk.kind == Step::Break &&
           brk.when.form == Expr::Form::Binary && IsReg(c[0], pos) && IsReg(c[1], r) && c[2].op == Op::Le;
}

}  // namespace

void SetLean(Walk& w) {
    w.lean.assign(w.blocks.size(), {});
    for (size_t b = 0; b < w.blocks.size(); ++b) {
        const std::vector<Step>& block = w.blocks[b];
        bool flat = true;
        for (const Step& s : block) flat = flat && s.kind != Step::Loop && s.kind != Step::If;
        if (!flat) continue;
        std::vector<LeanOp>& prog = w.lean[b];
        for (size_t i = 0; i < block.size(); ++i) {
            const Step& s = block[i];
            LeanOp o;
            o.first = o.last = static_cast<int>(i);
            if (IsCutOrBreak(block, i)) {
                o.kind = LeanOp::CutOrBreak;
                o.a = s.dst;
                o.last = static_cast<int>(i + 2);
                i += 2;
            } else if (s.kind == Step::Break && !s.when.Empty()) {
                o.kind = LeanOp::BreakWhen;
            } else if (IsCopy(s)) {
                o.kind = LeanOp::CopyReg;
                o.a = s.dst;
                o.b = s.value.code[0].a;
            } else if (IsPlainCut(s)) {
                o.kind = LeanOp::PlainCut;
            } else if (!s.when.Empty()) {
                // any other step with a condition runs as written
            } else if (s.kind == Step::Emit) {
                o.kind = LeanOp::Emit;
            } else if (s.kind == Step::Find && !s.hasFrom && s.m1.constant) {
                o.kind = LeanOp::PlainFind;
            } else if (s.kind == Step::Progress && s.value.form == Expr::Form::Binary &&
                       s.value.code[0].op == Op::Int && s.value.code[1].op == Op::Int &&
                       s.value.code[2].op == Op::Sub) {
                o.kind = LeanOp::Difference;
                o.a = s.value.code[0].a;
                o.b = s.value.code[1].a;
                // progress = "pos - prev" then set prev = pos: one op.
                if (i + 1 < block.size() && IsCopy(block[i + 1]) && block[i + 1].dst == o.b &&
                    block[i + 1].value.code[0].a == o.a && o.a != o.b) {
                    o.last = static_cast<int>(i + 1);
                    ++i;
                }
            } else if (s.kind == Step::Clean && s.cleaners.size() == 1 && IsSimpleCleaner(s.cleaners[0])) {
                o.kind = LeanOp::CleanText;
            }
            prog.push_back(o);
        }
    }
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

// Adds a template's text to the end of a list: the first part copied in,
// the others appended.
void Machine::FillNew(const Template& t, std::vector<std::string>& list) const {
    if (t.constant || t.parts.empty()) {
        list.push_back(t.text);
        return;
    }
    const TemplatePart& first = t.parts[0];
    if (first.kind == TemplatePart::IntVar)
        list.push_back(std::to_string(Reg(first.slot)));
    else
        list.push_back(first.kind == TemplatePart::Literal ? first.text : Str(first.slot));
    std::string& out = list.back();
    for (size_t i = 1; i < t.parts.size(); ++i) {
        const TemplatePart& p = t.parts[i];
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

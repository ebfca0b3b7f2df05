// Reading a site's rule file (TOML) into the engine's compiled form.
//
// The reader is strict: an unknown key, a value of the wrong type, a marker
// the page's code page cannot hold, a name used before anything sets it, a
// block nobody runs: each is an error naming file:line:column.
#include <cstring>

#include "catalogue/site_rules.h"
#include "catalogue/site_rules_loader.h"
#include "catalogue/site_rules_parse.h"
#include "text/encoding.h"

namespace talvenor::rules {

namespace detail {

std::shared_ptr<const SiteRules> Loader::Load(const std::string& text) {
    CheckAsciiOutsideStrings(text, file_);
    toml::table root;
    try {
        root = toml::parse(text, file_);
    } catch (const toml::parse_error& e) {
        throw RuleFileError({file_, static_cast<int>(e.source().begin.line),
                             static_cast<int>(e.source().begin.column), std::string(e.description())});
    }
    auto site = std::make_shared<SiteRules>();
    site->file = file_;
    site_ = site.get();
    const toml::node* siteNode = root.get("site");
    if (!siteNode || !siteNode->is_table()) Fail(root.source(), "the file has no [site] table");
    ReadSite(*siteNode->as_table());
    for (auto&& [key, node] : root) {
        const std::string k(key.str());
        if (k == "site") continue;
        int kind = -1;
        for (int i = 0; i < kWalkKinds; ++i)
            if (k == WalkName(static_cast<WalkKind>(i))) kind = i;
        if (kind < 0)
            Fail(key.source(), "unknown table '" + k +
                                   "' (known: site, categories, booklist, search, intro, chapters, text)");
        if (!node.is_table()) Fail(node.source(), "'" + k + "' must be a table");
        ReadWalk(*node.as_table(), static_cast<WalkKind>(kind), site->walks[kind]);
        site->walks[kind].line = static_cast<int>(key.source().begin.line);
        site->walks[kind].column = static_cast<int>(key.source().begin.column);
    }
    return site;
}

void Loader::ReadSite(const toml::table& t) {
    bool havePage = false;
    for (auto&& [key, node] : t) {
        const std::string k(key.str());
        if (k == "name") {
            site_->name = StringOf(node, k);
            site_->nameLine = static_cast<int>(node.source().begin.line);
            site_->nameColumn = static_cast<int>(node.source().begin.column);
            if (site_->name.empty() || site_->name.find('/') != std::string::npos || site_->name == "." ||
                site_->name == ".." || site_->name == "set" || site_->name == "see" || site_->name == "tmp" ||
                site_->name == "download" || site_->name == "sites")
                Fail(node.source(), "'name' must be usable as a folder name of the store");
            if (Utf8ToGbk(site_->name) == std::string() || GbkToUtf8(Utf8ToGbk(site_->name)) != site_->name)
                Fail(node.source(), "'name' holds a character GBK cannot represent");
        } else if (k == "key") {
            site_->key = StringOf(node, k);
            bool ok = !site_->key.empty() && site_->key.size() <= 32;
            for (char c : site_->key) ok = ok && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-');
            if (!ok) Fail(node.source(), "'key' must be 1 to 32 of a-z, 0-9 and '-'");
        } else if (k == "page") {
            const std::string v = StringOf(node, k);
            if (v == "gbk")
                site_->utf8Pages = false;
            else if (v == "utf-8")
                site_->utf8Pages = true;
            else
                Fail(node.source(), "'page' must be \"gbk\" or \"utf-8\"");
            havePage = true;
        } else if (k == "base" || k == "base2") {
            (k == "base" ? site_->base : site_->base2) = Url(node, k);
        } else {
            Fail(key.source(), "unknown key '" + k + "' in [site] (known: name, key, page, base, base2)");
        }
    }
    if (site_->name.empty()) Fail(t.source(), "[site] has no 'name'");
    if (site_->key.empty()) Fail(t.source(), "[site] has no 'key'");
    if (!havePage) Fail(t.source(), "[site] has no 'page'");
}

// An address: http or https only, no blanks or control bytes; "{base}"
// and "{base2}" may stand first for the site's hosts.
std::string Loader::Url(const toml::node& n, const std::string& what, bool walkAddress) const {
    const std::string v = StringOf(n, what);
    const bool hosted = v.rfind("{base}", 0) == 0 || v.rfind("{base2}", 0) == 0 ||
                        (walkAddress && (v.rfind("{category}", 0) == 0 || v.rfind("{book}", 0) == 0));
    const bool web = v.rfind("http://", 0) == 0 || v.rfind("https://", 0) == 0;
    if (!(web || (hosted && what == "url")))
        Fail(n.source(), "'" + what + "' must be an http:// or https:// address" +
                             (what == "url" ? std::string(" or begin with {base} or {base2}") : std::string()));
    for (unsigned char c : v)
        if (c <= ' ' || c == 0x7F) Fail(n.source(), "'" + what + "' holds a blank or a control character");
    return v;
}

// A walk's address names the hosts and the one thing the walk is about.
void Loader::CheckPlaceholders(const toml::node& n, const std::string& url, WalkKind kind) const {
    const char* own = kind == WalkKind::BookList ? "{category}"
                      : kind == WalkKind::Search ? "{query}"
                      : kind == WalkKind::Intro || kind == WalkKind::Chapters ? "{book}"
                                                                                : nullptr;
    if (kind == WalkKind::Text)
        Fail(n.source(), "'url' has no meaning in [text]: a chapter's address comes from the chapter list");
    for (size_t i = url.find('{'); i != std::string::npos; i = url.find('{', i + 1)) {
        const size_t close = url.find('}', i);
        const std::string p = close == std::string::npos ? url.substr(i) : url.substr(i, close - i + 1);
        if (p != "{base}" && p != "{base2}" && !(own && p == own))
            Fail(n.source(), "'url' of [" + std::string(WalkName(kind)) + "] may name {base}, {base2}" +
                                 (own ? std::string(" and ") + own : std::string()) + ", not " + p);
    }
}

void Loader::ReadTest(const toml::node& n, Walk& w) {
    const toml::table* t = n.as_table();
    if (!t) Fail(n.source(), "'test' must be a table: { url = \"...\", min_items = 1 }");
    w.testLine = static_cast<int>(n.source().begin.line);
    w.testColumn = static_cast<int>(n.source().begin.column);
    for (auto&& [key, node] : *t) {
        const std::string k(key.str());
        if (k == "url") {
            w.testUrl = Url(node, k);
        } else if (k == "min_items") {
            if (!node.is_integer() || node.as_integer()->get() < 0 || node.as_integer()->get() > 100000)
                Fail(node.source(), "'min_items' must be an integer from 0 to 100000");
            w.testMinItems = static_cast<int>(node.as_integer()->get());
        } else {
            Fail(key.source(), "unknown key '" + k + "' in 'test' (known: url, min_items)");
        }
    }
    if (w.testUrl.empty()) Fail(n.source(), "'test' has no 'url'");
}

void Loader::ReadWalk(const toml::table& t, WalkKind kind, Walk& w) {
    kind_ = kind;
    walk_ = &w;
    table_ = &t;
    names_.clear();
    compiling_.clear();
    blockIndex_.clear();
    w = Walk();
    w.defined = true;
    // The inputs every walk may read.
    for (const char* n : {"pos", "n", "next", "total", "key_head", "first"}) Define(n, true, t.source());
    for (const char* n : {"page", "base", "base2", "known", "prefix", "filter", "host"}) Define(n, false, t.source());
    for (auto&& [key, node] : t) {
        const std::string k(key.str());
        if (k == "decode") {
            const std::string v = StringOf(node, k);
            if (v == "lines")
                w.decode = Walk::Decode::Lines;
            else if (v == "none")
                w.decode = Walk::Decode::None;
            else
                Fail(node.source(), "'decode' must be \"lines\" or \"none\"");
        } else if (k == "test") {
            ReadTest(node, w);
        } else if (k == "url") {
            w.url = Url(node, k, true);
            CheckPlaceholders(node, w.url, kind);
        } else if (k == "query") {
            const std::string v = StringOf(node, k);
            if (kind != WalkKind::Search) Fail(key.source(), "'query' belongs to [search] only");
            if (v == "utf-8")
                w.utf8Query = true;
            else if (v == "gbk")
                w.utf8Query = false;
            else
                Fail(node.source(), "'query' must be \"utf-8\" or \"gbk\"");
        } else if (k != "steps" && !node.is_array()) {
            Fail(key.source(), "unknown key '" + k + "' in [" + WalkName(kind) +
                                   "] (known: steps, decode, test, and arrays of steps named for loop and if)");
        }
    }
    if (!t.get("steps")) {
        // Steps under another name (a typo of "steps"): the walk's first
        // array of steps is named where it stands.
        const toml::key* first = nullptr;
        for (auto&& [key, node] : t)
            if (node.is_array() && (!first || key.source().begin < first->source().begin)) first = &key;
        if (first)
            Fail(first->source(), "the steps '" + std::string(first->str()) + "' are never run ([" +
                                      WalkName(kind) + "] has no 'steps')");
        Fail(t.source(), std::string("[") + WalkName(kind) + "] has no 'steps'");
    }
    Block("steps", key_source(t, "steps"));
    for (auto&& [key, node] : t) {
        const std::string k(key.str());
        if (node.is_array() && !blockIndex_.count(k))
            Fail(key.source(), "the steps '" + k + "' are never run (no loop or if names them)");
    }
    MarkMovableEmits(w);
    SetLean(w);
    // A loop that goes on while a condition holds must have a step that
    // moves its position, or its first pass would be its last.
    for (const auto& block : w.blocks)
        for (const Step& s : block)
            if (s.kind == Step::Loop && s.times < 0) {
                std::set<int> seen;
                if (!Writes(w, s.block, s.dst, seen))
                    throw RuleFileError({file_, s.line, s.column,
                                         "the loop over '" + w.blockNames[static_cast<size_t>(s.block)] +
                                             "' has no step that moves '" +
                                             w.intNames[static_cast<size_t>(s.dst)] + "'"});
            }
}

// An emit whose values are text names, each written again before any step
// reads it, hands those texts over instead of copying them (a list's
// chapters: its titles and addresses are moved into the lists).
void Loader::MarkMovableEmits(Walk& w) {
    for (size_t b = 0; b < w.blocks.size(); ++b) {
        for (size_t i = 0; i < w.blocks[b].size(); ++i) {
            Step& s = w.blocks[b][i];
            if (s.kind != Step::Emit || s.emits.empty()) continue;
            std::set<int> slots;
            bool movable = true;
            for (const auto& [field, t] : s.emits)
                movable = movable && t.parts.size() == 1 && t.parts[0].kind == TemplatePart::StrVar &&
                          t.parts[0].slot != 0 && slots.insert(t.parts[0].slot).second;
            for (int slot : slots) movable = movable && MovableAt(w, static_cast<int>(b), i, slot);
            s.moveOut = movable;
        }
    }
}

bool Loader::MovableAt(const Walk& w, int b, size_t i, int slot) {
    const auto& block = w.blocks[static_cast<size_t>(b)];
    std::set<int> seen;
    for (size_t j = i + 1; j < block.size(); ++j)
        if (Reads(w, block[j], slot, seen)) return false;
    // The top steps run once: nothing after them.
    if (b == 0) return true;
    // Any other block may run again: no step outside it reads the text, the
    // block does not run itself, and its first step that touches the text
    // writes it whatever the text held.
    std::set<int> every;
    for (size_t k = 0; k < w.blocks.size(); ++k) every.insert(static_cast<int>(k));
    for (size_t k = 0; k < w.blocks.size(); ++k) {
        if (static_cast<int>(k) == b) continue;
        for (const Step& s : w.blocks[k]) {
            std::set<int> own = every;  // the step itself, not the blocks it runs
            if (Reads(w, s, slot, own)) return false;
        }
    }
    std::set<int> inside;
    if (RunsBlock(w, b, b, inside)) return false;
    for (size_t j = 0; j < i; ++j) {
        const Step& s = block[j];
        std::set<int> reads;
        if (Reads(w, s, slot, reads)) return false;
        if ((s.kind == Step::Cut || s.kind == Step::Text || s.kind == Step::Slice) && s.dst == slot)
            return s.when.Empty();
    }
    return false;
}

bool Loader::RunsBlock(const Walk& w, int from, int target, std::set<int>& seen) {
    if (!seen.insert(from).second) return false;
    for (const Step& s : w.blocks[static_cast<size_t>(from)])
        if (s.kind == Step::Loop || s.kind == Step::If)
            for (int n : {s.block, s.elseBlock})
                if (n >= 0 && (n == target || RunsBlock(w, n, target, seen))) return true;
    return false;
}

bool Loader::ReadsTemplate(const Template& t, int slot) {
    for (const TemplatePart& p : t.parts)
        if (p.kind == TemplatePart::StrVar && p.slot == slot) return true;
    return false;
}

bool Loader::ReadsExpr(const Expr& e, int slot) {
    for (const Token& k : e.code)
        if ((k.op == Op::StrEmpty || k.op == Op::StrLen || k.op == Op::StrEq || k.op == Op::StrHas) &&
            (k.a == slot || ((k.op == Op::StrEq || k.op == Op::StrHas) && k.b == slot)))
            return true;
    return false;
}

// Whether a step (or a block it runs) may read text register slot.
bool Loader::Reads(const Walk& w, const Step& s, int slot, std::set<int>& seen) {
    if (ReadsExpr(s.when, slot) || ReadsExpr(s.from, slot) || ReadsExpr(s.value, slot)) return true;
    if (ReadsTemplate(s.m1, slot) || ReadsTemplate(s.m2, slot) || ReadsTemplate(s.text, slot)) return true;
    for (const auto& [f, t] : s.emits)
        if (ReadsTemplate(t, slot)) return true;
    for (const Cleaner& c : s.cleaners)
        if (ReadsTemplate(c.a, slot) || ReadsTemplate(c.b, slot) || ReadsTemplate(c.c, slot) ||
            ReadsExpr(c.x, slot) || ReadsExpr(c.y, slot))
            return true;
    if ((s.kind == Step::Clean || s.kind == Step::Parse || s.kind == Step::Count) && s.at == slot) return true;
    if (s.kind == Step::Clean && s.dst == slot) return true;
    for (int b : {s.block, s.elseBlock}) {
        if (b < 0 || (s.kind != Step::Loop && s.kind != Step::If) || !seen.insert(b).second) continue;
        for (const Step& inner : w.blocks[static_cast<size_t>(b)])
            if (Reads(w, inner, slot, seen)) return true;
    }
    return false;
}

// Whether a step of the block (or of the blocks it runs) sets int
// register reg.
bool Loader::Writes(const Walk& w, int block, int reg, std::set<int>& seen) {
    if (!seen.insert(block).second) return false;
    for (const Step& s : w.blocks[static_cast<size_t>(block)]) {
        switch (s.kind) {
        case Step::Find:
        case Step::AfterLast:
        case Step::Set:
        case Step::Count:
            if (s.dst == reg) return true;
            break;
        case Step::Cut:
            if (s.at == reg || s.dst2 == reg || s.moved == reg) return true;
            break;
        case Step::Parse:
            if (s.dst == reg || s.dst2 == reg) return true;
            break;
        case Step::Loop:
        case Step::If:
            if (Writes(w, s.block, reg, seen) || (s.elseBlock >= 0 && Writes(w, s.elseBlock, reg, seen)))
                return true;
            break;
        default: break;
        }
    }
    return false;
}

toml::source_region Loader::key_source(const toml::table& t, const char* k) {
    for (auto&& [key, node] : t)
        if (key.str() == k) return key.source();
    return t.source();
}

int Loader::Block(const std::string& name, const toml::source_region& where) {
    auto known = blockIndex_.find(name);
    if (known != blockIndex_.end()) {
        if (compiling_.count(name)) Fail(where, "the steps '" + name + "' run themselves");
        return known->second;
    }
    const toml::node* node = table_->get(name);
    if (!node) Fail(where, "no steps named '" + name + "' in [" + WalkName(kind_) + "]");
    const toml::array* arr = node->as_array();
    if (!arr) Fail(node->source(), "'" + name + "' must be an array of steps");
    const int index = static_cast<int>(walk_->blocks.size());
    walk_->blocks.emplace_back();
    walk_->blockNames.push_back(name);
    blockIndex_[name] = index;
    compiling_.insert(name);
    std::vector<Step> steps;
    for (const toml::node& item : *arr) {
        if (!item.is_table()) Fail(item.source(), "a step must be a table { verb = ..., ... }");
        steps.push_back(CompileStep(*item.as_table()));
    }
    walk_->blocks[static_cast<size_t>(index)] = std::move(steps);
    compiling_.erase(name);
    return index;
}

int Loader::Define(const std::string& name, bool isInt, const toml::source_region& where) {
    if (!ValidName(name)) Fail(where, "'" + name + "' is not a name (letters, digits and _)");
    auto it = names_.find(name);
    if (it != names_.end()) {
        if (it->second.isInt != isInt)
            Fail(where, "'" + name + "' holds " + (it->second.isInt ? "a number" : "text") + ", not " +
                            (isInt ? "a number" : "text"));
        return it->second.slot;
    }
    const int slot = isInt ? walk_->intRegs++ : walk_->strRegs++;
    (isInt ? walk_->intNames : walk_->strNames).push_back(name);
    names_[name] = {isInt, slot};
    return slot;
}

bool Loader::ValidName(const std::string& n) {
    if (n.empty() || (n[0] >= '0' && n[0] <= '9')) return false;
    for (char c : n)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

int Loader::Use(const std::string& name, bool isInt, const toml::source_region& where) {
    auto it = names_.find(name);
    if (it == names_.end()) Fail(where, "'" + name + "' is used before any step sets it");
    if (it->second.isInt != isInt)
        Fail(where, "'" + name + "' holds " + (it->second.isInt ? "a number" : "text") + ", not " +
                        (isInt ? "a number" : "text"));
    return it->second.slot;
}

// "{name}" is a name's value, "{{" and "}}" a brace; the rest is text,
// converted to the page's code page (GBK) here, once.
Template Loader::CompileTemplate(const toml::node& n, const std::string& what, bool marker) {
    const std::string s = StringOf(n, what);
    Template t;
    std::string lit;
    auto flush = [&] {
        if (lit.empty()) return;
        const std::string gbk = Utf8ToGbk(lit);
        if (GbkToUtf8(gbk) != lit)
            Fail(n.source(), "'" + what + "' holds a character the page's code page (GBK) cannot represent");
        t.parts.push_back({TemplatePart::Literal, -1, gbk});
        lit.clear();
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '{' && i + 1 < s.size() && s[i + 1] == '{') {
            lit += '{';
            ++i;
        } else if (s[i] == '}' && i + 1 < s.size() && s[i + 1] == '}') {
            lit += '}';
            ++i;
        } else if (s[i] == '{') {
            const size_t close = s.find('}', i);
            if (close == std::string::npos) Fail(n.source(), "'" + what + "': a '{' without its '}' (write {{ for a brace)");
            const std::string name = s.substr(i + 1, close - i - 1);
            auto it = names_.find(name);
            if (it == names_.end()) Fail(n.source(), "'" + name + "' is used before any step sets it");
            flush();
            t.parts.push_back({it->second.isInt ? TemplatePart::IntVar : TemplatePart::StrVar, it->second.slot, {}});
            i = close;
        } else if (s[i] == '}') {
            Fail(n.source(), "'" + what + "': a '}' without its '{' (write }} for a brace)");
        } else {
            lit += s[i];
        }
    }
    flush();
    if (t.parts.empty()) {
        if (marker) Fail(n.source(), "'" + what + "' is empty: an empty marker is never found");
        return t;
    }
    t.constant = t.parts.size() == 1 && t.parts[0].kind == TemplatePart::Literal;
    if (t.constant) t.text = t.parts[0].text;
    return t;
}

Expr Loader::CompileExpr(const toml::node& n) {
    if (n.is_integer()) {
        Expr e;
        e.code.push_back({Op::Const, 0, 0, n.as_integer()->get()});
        SetForm(e);
        return e;
    }
    if (!n.is_string()) Fail(n.source(), "an expression must be a string or an integer");
    const std::string& s = n.as_string()->get();
    try {
        return ParseExpr(s, [&](const std::string& name, bool isInt) { return Use(name, isInt, n.source()); });
    } catch (const ExprError& e) {
        Fail(n.source(), "expression \"" + s + "\": " + e.what());
    }
}

}  // namespace detail

using detail::Loader;


std::shared_ptr<const SiteRules> LoadRules(const std::string& tomlText, const std::string& fileName) {
    return Loader(fileName).Load(tomlText);
}

bool IsBuiltinKey(const std::string& key) {
    for (const char* known : {"duowan", "readnovel", "xs8", "feiku", "520"})
        if (key == known) return true;
    return false;
}

std::optional<RuleError> NewSiteProblem(const SiteRules& site) {
    if (IsBuiltinKey(site.key)) return std::nullopt;
    for (WalkKind k : {WalkKind::Categories, WalkKind::BookList, WalkKind::Chapters, WalkKind::Text})
        if (!site.Of(k).defined)
            return RuleError{site.file, site.nameLine, site.nameColumn,
                             "a new site ('" + site.key + "') needs [" + WalkName(k) +
                                 "]: the catalogue reads categories, booklist, chapters and text"};
    if (site.base.empty())
        return RuleError{site.file, site.nameLine, site.nameColumn,
                         "a new site ('" + site.key + "') needs 'base' in [site], the address of its host"};
    for (int i = 0; i < kWalkKinds; ++i) {
        const Walk& w = site.walks[i];
        if (w.defined && w.url.empty() && static_cast<WalkKind>(i) != WalkKind::Text)
            return RuleError{site.file, w.line, w.column,
                             std::string("[") + WalkName(static_cast<WalkKind>(i)) +
                                 "] of a new site needs 'url', the address of its page"};
    }
    return std::nullopt;
}

}  // namespace talvenor::rules

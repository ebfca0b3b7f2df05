// The reader of a site's rule file (the engine's own: site_rules_load.cpp
// reads the file, its tables and names; site_rules_steps.cpp its steps).
#pragma once

#define TOML_HEADER_ONLY 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalogue/site_rules.h"

namespace talvenor::rules::detail {

struct Name {
    bool isInt;
    int slot;
};

class Loader {
  public:
    explicit Loader(std::string file) : file_(std::move(file)) {}

    std::shared_ptr<const SiteRules> Load(const std::string& text);

  private:
    [[noreturn]] void Fail(const toml::source_region& r, const std::string& message) const {
        throw RuleFileError(
            {file_, static_cast<int>(r.begin.line), static_cast<int>(r.begin.column), message});
    }

    std::string StringOf(const toml::node& n, const std::string& what) const {
        if (!n.is_string()) Fail(n.source(), "'" + what + "' must be a string");
        return n.as_string()->get();
    }

    // ---- [site] --------------------------------------------------------------

    void ReadSite(const toml::table& t);

    // An address: http or https only, no blanks or control bytes; "{base}"
    // and "{base2}" may stand first for the site's hosts.
    std::string Url(const toml::node& n, const std::string& what, bool walkAddress = false) const;

    // A walk's address names the hosts and the one thing the walk is about.
    void CheckPlaceholders(const toml::node& n, const std::string& url, WalkKind kind) const;

    void ReadTest(const toml::node& n, Walk& w);

    // ---- walks ---------------------------------------------------------------

    void ReadWalk(const toml::table& t, WalkKind kind, Walk& w);

    // An emit whose values are text names, each written again before any
    // step reads it, hands those texts over instead of copying them.
    static void MarkMovableEmits(Walk& w);
    // Whether text register slot, emitted by step i of block b, is never
    // read again before it is written.
    static bool MovableAt(const Walk& w, int b, size_t i, int slot);
    // Whether block `from` (or a block it runs) runs block `target`.
    static bool RunsBlock(const Walk& w, int from, int target, std::set<int>& seen);

    static bool ReadsTemplate(const Template& t, int slot);
    static bool ReadsExpr(const Expr& e, int slot);
    // Whether a step (or a block it runs) may read text register slot.
    static bool Reads(const Walk& w, const Step& s, int slot, std::set<int>& seen);

    // Whether a step of the block (or of the blocks it runs) sets int
    // register reg.
    static bool Writes(const Walk& w, int block, int reg, std::set<int>& seen);

    static toml::source_region key_source(const toml::table& t, const char* k);

    int Block(const std::string& name, const toml::source_region& where);

    // ---- names ---------------------------------------------------------------

    int Define(const std::string& name, bool isInt, const toml::source_region& where);

    static bool ValidName(const std::string& n);

    int Use(const std::string& name, bool isInt, const toml::source_region& where);

    // ---- templates and markers ----------------------------------------------

    // "{name}" is a name's value, "{{" and "}}" a brace; the rest is text,
    // converted to the page's code page (GBK) here, once.
    Template CompileTemplate(const toml::node& n, const std::string& what, bool marker);

    // ---- expressions ---------------------------------------------------------

    Expr CompileExpr(const toml::node& n);

    // ---- steps ---------------------------------------------------------------

    static const std::vector<std::pair<const char*, std::vector<const char*>>>& Verbs();

    Step CompileStep(const toml::table& t);

    Cleaner CompileCleaner(const toml::node& n);

    std::string file_;
    SiteRules* site_ = nullptr;
    WalkKind kind_ = WalkKind::Categories;
    Walk* walk_ = nullptr;
    const toml::table* table_ = nullptr;
    std::unordered_map<std::string, Name> names_;
    std::set<std::string> compiling_;
    std::unordered_map<std::string, int> blockIndex_;
};

}  // namespace talvenor::rules::detail

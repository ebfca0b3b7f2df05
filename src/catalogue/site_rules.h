// Sites as data: every page walk of the program (categories, book lists,
// search results, introductions, chapter lists, chapter text) is a short
// program of marker steps read from the site's rule file, run here.
//
// The steps keep the byte semantics of text/markers.h exactly: positions
// count bytes of the GBK page (a UTF-8 site's page is decoded first), a
// missing marker gives -1, a cut whose start is missing cuts from near the
// top of the page.  Nothing here fetches or writes; a walk takes a page and
// its inputs and returns what it cut.
//
// A rule file is untrusted input: no scripting, no file access; every loop
// ends when a pass leaves the position where it was, and a page yields at
// most kMaxItems entries.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvenor::rules {

// The walks a site file may define.
enum class WalkKind { Categories, BookList, Search, Intro, Chapters, Text, Count_ };
constexpr int kWalkKinds = static_cast<int>(WalkKind::Count_);
const char* WalkName(WalkKind kind);  // "categories", "booklist", ...

constexpr size_t kMaxItems = 1000000;

// A problem in a rule file, with where it is (UTF-8 message).
struct RuleError {
    std::string file;
    int line = 0, column = 0;
    std::string message;
    std::string Text() const;  // "file:line:column: message"
};

class RuleFileError : public std::runtime_error {
  public:
    explicit RuleFileError(RuleError e) : std::runtime_error(e.Text()), error(std::move(e)) {}
    RuleError error;
};

// ---- compiled form ---------------------------------------------------------

enum class Op : uint8_t {
    Const, Int, Add, Sub, Lt, Le, Gt, Ge, Eq, Ne, And, Or, Not, Neg, StrEmpty, StrEq, StrHas, StrLen
};
struct Token {
    Op op;
    int a = 0, b = 0;
    long long v = 0;
};
struct Expr {
    std::vector<Token> code;  // postfix
    // The common forms are evaluated without a stack: one value; two values
    // and an operator; two such joined by a third (a && b, x - y < z - w).
    enum class Form : uint8_t { Stack, Value, Binary, Pair } form = Form::Stack;
    bool Empty() const { return code.empty(); }
};
// Sets an expression's form from its code.
void SetForm(Expr& e);

struct TemplatePart {
    enum Kind : uint8_t { Literal, IntVar, StrVar } kind = Literal;
    int slot = -1;
    std::string text;
};
struct Template {
    std::vector<TemplatePart> parts;
    bool constant = true;  // a literal alone: text holds it
    std::string text;
};

struct Cleaner {
    enum Kind : uint8_t {
        StripTags, RemoveNbsp, RemoveBlanks, CleanLinkText, Trim, RemoveAll, Between, BeforeLast, DropEnds,
        DropPrefix, HostStem, InsertAfter
    } kind;
    Template a, b, c;  // the markers and values each kind takes
    Expr x, y;         // drop_ends' counts
    int skip = 0;
    bool keepWhenMissing = false;
    bool hasUnless = false;
};

struct Step {
    enum Kind : uint8_t {
        Find, AfterLast, Cut, Set, Text, Clean, Parse, Count, Slice, Loop, If, Emit, Out, Progress, Break, Stop,
        Next
    } kind;
    int line = 0, column = 0;
    std::string verb;     // the key that names the step, for traces
    Expr when;            // the step runs only when this holds (empty: always)
    Template m1, m2;      // markers (find, after_last, count: m1; cut: m1, m2)
    Expr from, value;     // find/after_last/count/slice from; set/out/progress value; slice to; loop while
    bool hasFrom = false;
    bool after = false;   // find: the position just past the marker
    bool needStart = false;  // cut: a missing start marker gives "" and leaves the position
    int moved = -1;       // cut: set to 0 when the start was missing or the position did not move on
    bool moveOut = false; // emit: its names are written again before any read (moved, not copied)
    int dst = -1;         // the register written (loop: the position that must advance)
    int dst2 = -1;        // cut's start_to; parse's ok
    int at = -1;          // cut's position register; clean/parse/count source
    Template text;        // text's value
    std::vector<Cleaner> cleaners;
    int block = -1, elseBlock = -1;
    int times = -1;
    std::vector<std::pair<int, Template>> emits;  // field slot, value
};

// One op of a block's lean program: the steps first..last of the block.
struct LeanOp {
    enum Kind : uint8_t {
        General,     // the step as it stands
        CopyReg,     // set a = b
        BreakWhen,   // break when ...
        PlainCut,    // cut [m1, m2] with literal markers, no need_start or moved
        Emit,        // emit
        CutOrBreak,  // set a = pos; cut at pos; break when pos <= a
        PlainFind,   // find a literal marker from pos
        Difference,  // progress a - b (and when last > first: set b = a)
        CleanText,   // clean with one cleaner that takes nothing
    } kind = General;
    int first = 0, last = 0;
    int a = 0, b = 0;
};

struct Walk {
    bool defined = false;
    int line = 0, column = 0;  // where its table starts
    // The walk's own test for the site check: a page address ("{base}" and
    // "{base2}" stand for the site's hosts) and the items it must yield.
    std::string testUrl;
    int testMinItems = 1;
    // A site the program does not know by itself (a new key) says where its
    // pages are: the walk's address, "{base}" and "{base2}" for the hosts and
    // the walk's own placeholder ({category}, {book}, {query}); and for a
    // search how the typed text goes into the address.
    std::string url;
    bool utf8Query = false;
    int testLine = 0, testColumn = 0;
    enum class Decode : uint8_t { Site, Lines, None } decode = Decode::Site;
    std::vector<std::vector<Step>> blocks;  // block 0 is `steps`
    // By block, how the lean path runs it (empty: step by step): a block
    // none of whose steps runs another one (no loop, no if) counts its steps
    // at once and runs the common shapes of a list's item as one op each.
    std::vector<std::vector<LeanOp>> lean;
    std::vector<std::string> blockNames;
    int intRegs = 0, strRegs = 0;
    std::vector<std::string> intNames, strNames;
};

struct SiteRules {
    std::string file;      // where it was read from (or "built-in:NAME")
    std::string name;      // UTF-8 label, also the site's folder
    int nameLine = 0, nameColumn = 0;
    std::string key;       // the command line's name
    bool utf8Pages = false;
    std::string base, base2;  // a site's own hosts (built-in sites take theirs from sites.hosts)
    Walk walks[kWalkKinds];
    const Walk& Of(WalkKind k) const { return walks[static_cast<int>(k)]; }
};

// Writes the walk's lean programs (moveOut must be set first).
void SetLean(Walk& w);

// ---- running ---------------------------------------------------------------

// What a walk's caller hands in: the names each kind knows (see kInputs in
// site_rules.cpp).  Unset inputs are "" and 0.
struct Inputs {
    std::string base, base2, known, prefix, filter;
    long long n = 0, next = 0, total = 0, keyHead = 0, first = 0;
};

struct Output {
    std::vector<std::vector<std::string>> lists;  // by field (kFields of the kind)
    std::vector<std::optional<long long>> outs;   // by out name (kOuts of the kind)
    std::vector<int> progress;
    // The page that continues this one (a `next` step), as the page links
    // it: relative addresses are resolved by the caller.  Empty: the last.
    std::string next;
};

// One traced step, for `talvenor-cli trace` and the site check.
struct TraceLine {
    int line, column;
    std::string verb, marker;  // marker GBK
    long long before, after;
    std::string piece;         // GBK, shortened
    std::string note;          // UTF-8: "loop ends: the position did not advance", ...
};
using Trace = std::vector<TraceLine>;

// Runs a walk on a page as served (decoded per the site); trace, when given,
// receives every step.  Throws ConversionError where a parse step without an
// `ok` register meets a bad number.
// pageDecoded: a UTF-8 site's page was decoded to GBK by the caller already.
Output Run(const SiteRules& site, WalkKind kind, const std::string& page, const Inputs& in,
           Trace* trace = nullptr, bool pageDecoded = false);

// A walk fed its page in pieces while the page downloads (chapter lists):
// the items the bytes so far allow are cut at once, and once the page is
// complete the output is exactly Run's on the whole page.
class StreamedWalk {
  public:
    StreamedWalk(std::shared_ptr<const SiteRules> site, WalkKind kind, Inputs in);
    ~StreamedWalk();
    StreamedWalk(const StreamedWalk&) = delete;
    StreamedWalk& operator=(const StreamedWalk&) = delete;

    // Room for a page of this many bytes.
    void Reserve(size_t pageBytes);
    // The next piece of the page as served; last: the page ends with it.
    void Feed(const char* data, size_t n, bool last = false);
    // The page is complete: `page` is the whole body.  A body other than
    // the pieces fed (a retry, a redirect) is walked whole.
    Output Finish(const std::string& page);
    // Items of the first field cut so far.
    size_t Taken() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Field and out slots of each kind (index into Output::lists / outs).
int FieldSlot(WalkKind kind, const char* name);
int OutSlot(WalkKind kind, const char* name);

// Named constants usable in expressions: NEXT END BROKEN (a book list's
// step), FOUND NOTFOUND SILENT (a search's end).
enum : int { kNext = 0, kEnd = 1, kBroken = 2 };
enum : int { kFound = 0, kNotFound = 1, kSilent = 2 };

// ---- loading ---------------------------------------------------------------

// Parses one rule file (UTF-8 TOML); throws RuleFileError naming
// file:line:column.
std::shared_ptr<const SiteRules> LoadRules(const std::string& tomlText, const std::string& fileName);

// The five sites the program knows by itself ("duowan", "readnovel", "xs8",
// "feiku", "520"): their addresses and paging are the program's own.
bool IsBuiltinKey(const std::string& key);
// What a file of a new key lacks for the catalogue to use it (the walks
// categories, booklist, chapters and text, a 'url' for each walk but text,
// a 'base'); nothing for a built-in key.
std::optional<RuleError> NewSiteProblem(const SiteRules& site);

// ---- the site table --------------------------------------------------------

// Loads the program's site table: the compiled-in files, then every
// "*.toml" of each folder in order (the installed data folder's sites/,
// then AppDir's sites/).  A file whose key is that of a site already in the
// table replaces it (a built-in site keeps its name, the store's folder); a
// broken file is skipped.  Returns the problems, one line each:
// "file:line:column: message".
std::string LoadSiteTable(const std::vector<std::string>& folders);
// The table's site of a key (a built-in one until LoadSiteTable ran);
// nullptr when there is none.
std::shared_ptr<const SiteRules> Active(const std::string& key);
// Every site of the table, built-in ones first, then the others by key.
std::vector<std::shared_ptr<const SiteRules>> ActiveSites();

// The five sites' rule files compiled into the program: name -> text.
const std::vector<std::pair<std::string, std::string>>& BuiltinRuleFiles();
// The rules of a built-in site by key ("duowan", ...) as the site table
// holds them: the compiled-in file unless a rule file replaced it.  The
// compiled-in files are read once and never fail (a test checks they load).
std::shared_ptr<const SiteRules> Builtin(const std::string& key);
// The compiled-in file's rules alone.
std::shared_ptr<const SiteRules> CompiledIn(const std::string& key);

}  // namespace talvenor::rules

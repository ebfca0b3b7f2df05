// Rule files of sites: the built-in files load, every mistake a writer can
// make is an error naming file:line:column, and the engine's own bounds hold
// whatever a rule says.
#include <gtest/gtest.h>

#include "catalogue/site_rules.h"
#include "catalogue/sites.h"

using namespace talvenor;
using namespace talvenor::rules;

namespace {

const char* kHead = R"([site]
name = "试验"
key = "test"
page = "gbk"
)";

// The error a file gives (its text), or "" when it loads.
std::string ErrorOf(const std::string& body) {
    try {
        LoadRules(std::string(kHead) + body, "t.toml");
    } catch (const RuleFileError& e) {
        return e.error.Text();
    }
    return std::string();
}

std::shared_ptr<const SiteRules> Load(const std::string& body) {
    return LoadRules(std::string(kHead) + body, "t.toml");
}

}  // namespace

TEST(SiteRules, TheBuiltInFilesLoadWithTheirSitesWalks) {
    ASSERT_EQ(BuiltinRuleFiles().size(), 5u);
    for (const char* key : {"duowan", "readnovel", "xs8", "feiku", "520"}) {
        const SiteRules& site = *Builtin(key);
        EXPECT_EQ(site.key, key);
        EXPECT_TRUE(site.Of(WalkKind::Search).defined) << key;
        EXPECT_TRUE(site.Of(WalkKind::Chapters).defined) << key;
        EXPECT_TRUE(site.Of(WalkKind::Text).defined) << key;
        // The label is the store's folder name of the site.
        EXPECT_NE(SiteOfLabel(G(site.name.c_str())), Site::None) << key;
    }
    EXPECT_TRUE(Builtin("duowan")->utf8Pages);
    EXPECT_FALSE(Builtin("520")->Of(WalkKind::Categories).defined);
}

TEST(SiteRules, EveryMistakeNamesItsFileLineAndColumn) {
    // TOML itself.
    EXPECT_EQ(ErrorOf("[intro\n").substr(0, 9), "t.toml:5:");
    // An unknown key, of a walk and of a step.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = []\nstep = 1\n"),
              "t.toml:7:1: unknown key 'step' in [intro] (known: steps, decode, test, and arrays of steps named for "
              "loop and if)");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { find = 'a', form = 3 } ]\n"),
              "t.toml:6:25: unknown key 'form' in a 'find' step (known: when, from, to, after)");
    EXPECT_EQ(ErrorOf("[novel]\nsteps = []\n"),
              "t.toml:5:2: unknown table 'novel' (known: site, categories, booklist, search, intro, chapters, text)");
    // A character other than ASCII where TOML has none (a full-width comma
    // typed after a value), while strings and comments may hold any.
    EXPECT_EQ(ErrorOf("[intro]\n# 简介\nsteps = [ { find = \"简介\" }， ]\n"),
              "t.toml:7:26: a character other than ASCII outside a string or a comment");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { find = '''a'简''' }, { find = \"\\\"简\" } ]\n"), "");
    // A string run into a bare value: the library would read past the value
    // into the string's characters, on some of which (《, 、) it is unsound.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { find = 'a', from = 100['《'] } ]\n"),
              "t.toml:6:36: a string run into a bare word or number");
    // A wrong type.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { find = 3 } ]\n"), "t.toml:6:20: 'find' must be a string");
    // A marker the page's code page cannot hold (an emoji is no GBK character).
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { find = '😀' } ]\n"),
              "t.toml:6:20: 'find' holds a character the page's code page (GBK) cannot represent");
    // A name read before anything sets it, in an expression and in a template.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { find = 'a', from = \"start + 1\" } ]\n"),
              "t.toml:6:32: 'start' is used before any step sets it");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { emit = { text = \"{piece}\" } } ]\n"),
              "t.toml:6:29: 'piece' is used before any step sets it");
    // A number used as text.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { clean = \"pos\", with = [\"trim\"] } ]\n"),
              "t.toml:6:21: 'pos' holds a number, not text");
    // Steps nobody runs, steps that run themselves, a loop with no end.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = []\nspare = []\n"),
              "t.toml:7:1: the steps 'spare' are never run (no loop or if names them)");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { loop = \"again\", while = 1 } ]\nagain = [ { if = 1, then = \"again\" } ]\n"),
              "t.toml:7:28: the steps 'again' run themselves");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { loop = \"x\" } ]\nx = []\n"), "t.toml:6:11: a loop needs 'while' or 'times'");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { loop = \"x\", while = 1 } ]\nx = [ { set = \"a\", value = 1 } ]\n"),
              "t.toml:6:13: the loop over 'x' has no step that moves 'pos'");
    // An expression that does not parse, a result the walk does not have.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { set = \"a\", value = \"1 +\" } ]\n"),
              "t.toml:6:32: expression \"1 +\": value expected");
    EXPECT_EQ(ErrorOf("[intro]\nsteps = [ { out = \"step\", value = 1 } ]\n"),
              "t.toml:6:19: 'step' is no result of intro");
    // An address outside http and https.
    EXPECT_EQ(ErrorOf("[intro]\nsteps = []\ntest = { url = \"file:///etc/passwd\" }\n"),
              "t.toml:7:16: 'url' must be an http:// or https:// address or begin with {base} or {base2}");
    // The site's own table.
    EXPECT_EQ(ErrorOf("[search]\nsteps = []\n[site.extra]\n").substr(0, 7), "t.toml:");
    EXPECT_EQ(ErrorOf(""), "");
}

TEST(SiteRules, ALoopWhoseStepsDoNotMoveThePositionEnds) {
    // Each pass finds the same "<li>" again: without the engine's own stop
    // this rule would run for ever and list the same item again and again.
    auto site = Load(R"([categories]
steps = [ { loop = "item", while = "pos >= 0" } ]
item = [
  { find = '<li>' },
  { cut = ['<li>', '</li>'], at = "pos", to = "name" },
  { find = '<li>', from = 0 },
  { emit = { name = "{name}", url = "" } },
]
)");
    Trace trace;
    Output out = rules::Run(*site, WalkKind::Categories, "<li>a</li><li>b</li>", Inputs(), &trace);
    EXPECT_EQ(out.lists[0], (std::vector<std::string>{"a"}));
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back().note, "loop ends: the position did not advance");
}

TEST(SiteRules, ARuleThatGrowsWithoutEndIsCutOff) {
    // A counted loop that doubles a piece: the walk stops at its allowance
    // of bytes rather than exhausting memory.
    auto site = Load(R"([intro]
steps = [ { text = "x", value = "ab" }, { loop = "grow", times = 100000 }, { emit = { text = "{x}" } } ]
grow = [ { text = "x", value = "{x}{x}" } ]
)");
    Output out = rules::Run(*site, WalkKind::Intro, "page", Inputs());
    EXPECT_TRUE(out.lists[0].empty());
}

TEST(SiteRules, MarkersAreConvertedToGbkAndBracesAreLiteralWhenDoubled) {
    auto site = Load(R"([intro]
steps = [
  { cut = ['简介{{', '}}'], to = "text" },
  { emit = { text = "[{text}]" } },
]
)");
    Output out = rules::Run(*site, WalkKind::Intro, G("头简介{好}尾"), Inputs());
    ASSERT_EQ(out.lists[0].size(), 1u);
    EXPECT_EQ(out.lists[0][0], G("[好]"));
}

TEST(SiteRules, ALongListWalksAsItsTraceSaysUpToTheStepAllowance) {
    // A chapter list in the shape of the built-in files (a cut that must
    // move on, then a break), whose third link has no end; then a counted
    // loop the walk's step allowance cuts short in the middle of a pass.
    // Run as a list runs (its blocks as lean programs), step by step, and
    // traced, it gives the same: a miscounted step or a misread shape shows
    // as another list or another number of entries.
    auto site = Load(R"([chapters]
steps = [
  { find = '<li>' },
  { set = "prev", value = 0 },
  { loop = "chapter", while = "pos >= 0" },
  { set = "k", value = 0 },
  { set = "j", value = 0 },
  { loop = "spin", times = 100000 },
]
chapter = [
  { progress = "pos - prev" },
  { set = "prev", value = "pos" },
  { set = "start", value = "pos" },
  { cut = ['href="', '"'], to = "url" },
  { break = true, when = "pos <= start" },
  { emit = { url = "{url}#{start}" } },
  { set = "after", value = "pos" },
  { cut = ['>', '</a>'], to = "title" },
  { break = true, when = "pos <= after" },
  { clean = "title", with = ["remove_nbsp"] },
  { emit = { title = "{title}" } },
  { find = '<li>' },
]
spin = [
  { progress = "k - j" },
  { set = "j", value = "k" },
  { set = "k", value = "k + 1" },
]
)");
    const std::string page =
        G("<ul><li><a href=\"1.html\">第1章&nbsp;</a></li><li><a href=\"2.html\">二</a></li>"
          "<li><a href=\"3.html\">no end");
    Trace trace;
    const Output traced = rules::Run(*site, WalkKind::Chapters, page, Inputs(), &trace);
    EXPECT_EQ(traced.lists[0], (std::vector<std::string>{G("第1章"), G("二")}));
    EXPECT_EQ(traced.lists[1], (std::vector<std::string>{"1.html#4", "2.html#45", "3.html#77"}));
    // Three chapters' steps, then passes of the counted loop until the
    // allowance (16 steps a byte of the page and 100 000) ran out.
    ASSERT_GT(traced.progress.size(), 3u);
    EXPECT_LT(traced.progress.size(), 50000u);
    EXPECT_EQ(std::vector<int>(traced.progress.begin(), traced.progress.begin() + 3), (std::vector<int>{4, 41, 32}));

    SiteRules stepByStep = *site;
    for (Walk& w : stepByStep.walks) w.lean.assign(w.blocks.size(), {});
    for (const Output& out : {rules::Run(*site, WalkKind::Chapters, page, Inputs()),
                              rules::Run(stepByStep, WalkKind::Chapters, page, Inputs())}) {
        EXPECT_EQ(out.lists, traced.lists);
        EXPECT_EQ(out.progress, traced.progress);
    }
}

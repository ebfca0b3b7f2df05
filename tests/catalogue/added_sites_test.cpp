// Sites added by rule files: links resolved as RFC 3986 says, a walk over
// pages that never fetches a page twice and always ends, and the rule-file
// keys such a site needs (next, until, url, query), each mistake named with
// its place.
#include <gtest/gtest.h>

#include <map>

#include "catalogue/added_sites.h"
#include "net/http_client.h"

using namespace talvenor;
using namespace talvenor::rules;

namespace {

const char* kHead = R"toml([site]
name = "试验"
key = "test"
page = "gbk"
)toml";

std::string ErrorOf(const std::string& body) {
    try {
        LoadRules(std::string(kHead) + body, "t.toml");
    } catch (const RuleFileError& e) {
        return e.error.Text();
    }
    return std::string();
}

// A chapter list whose pages each name the next in <next>...</next>.
const char* kPagedList = R"toml(
[chapters]
steps = [
  { set = "p", value = 0 },
  { cut = ['<next>', '</next>'], at = "p", to = "href", need_start = true },
  { next = "{href}", when = "!empty(href)" },
  { find = '<li>', from = 0 },
  { loop = "item", while = "pos >= 0" },
]
item = [
  { cut = ['<li>', '</li>'], to = "t" },
  { emit = { title = "{t}", url = "{t}.html" } },
  { find = '<li>' },
]
)toml";

struct Pages {
    std::map<std::string, std::string> pages;
    std::vector<std::string> fetched;
    PageFetch Fetch() {
        return [this](const std::string& url) {
            fetched.push_back(url);
            auto it = pages.find(url);
            if (it == pages.end()) throw FetchError("404 " + url, std::string(), 404);
            return it->second;
        };
    }
};

std::string Page(const std::string& items, const std::string& next) {
    return "<html>" + items + (next.empty() ? "" : "<next>" + next + "</next>") + "</html>";
}

}  // namespace

TEST(AddedSites, LinksResolveAsRfc3986Says) {
    // RFC 3986 5.4.1 and 5.4.2, the examples a page's links can meet.
    const std::string base = "http://a/b/c/d;p?q";
    const std::pair<const char*, const char*> cases[] = {
        {"g", "http://a/b/c/g"},         {"./g", "http://a/b/c/g"},      {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},            {"//g", "http://g"},            {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},     {"#s", "http://a/b/c/d;p?q"},   {"g#s", "http://a/b/c/g"},
        {"", "http://a/b/c/d;p?q"},      {".", "http://a/b/c/"},         {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},           {"../", "http://a/b/"},         {"../g", "http://a/b/g"},
        {"../..", "http://a/"},          {"../../g", "http://a/g"},      {"../../../g", "http://a/g"},
        {"/./g", "http://a/g"},          {"/../g", "http://a/g"},        {"g.", "http://a/b/c/g."},
        {"..g", "http://a/b/c/..g"},     {"./../g", "http://a/b/g"},     {"g/../h", "http://a/b/c/h"},
        {"https://x.y/p/../q", "https://x.y/q"},
    };
    for (const auto& [href, whole] : cases) EXPECT_EQ(ResolveUrl(base, href), whole) << href;
    // The demo site's own links; nothing but http and https is followed.
    EXPECT_EQ(ResolveUrl("http://h:1/sort/1/2.html", "../../book/7/"), "http://h:1/book/7/");
    EXPECT_EQ(ResolveUrl("http://h:1/book/7/index_2.html", "./"), "http://h:1/book/7/");
    EXPECT_EQ(ResolveUrl("http://h:1", "sort/1/"), "http://h:1/sort/1/");
    EXPECT_EQ(ResolveUrl("http://h/a", "javascript:alert(1)"), "");
    EXPECT_EQ(ResolveUrl("http://h/a", "file:///etc/passwd"), "");
}

TEST(AddedSites, AWalkOverPagesFetchesEachOnceAndEnds) {
    auto site = LoadRules(std::string(kHead) + kPagedList, "t.toml");
    const int title = FieldSlot(WalkKind::Chapters, "title"), url = FieldSlot(WalkKind::Chapters, "url");

    // Three pages by relative links, the last leading back to the first.
    Pages p;
    p.pages["http://h/b/"] = Page("<li>1</li><li>2</li>", "index_2.html");
    p.pages["http://h/b/index_2.html"] = Page("<li>3</li>", "./index_3.html");
    p.pages["http://h/b/index_3.html"] = Page("<li>4</li>", "/b/");
    PagedWalk walk = WalkPages(*site, WalkKind::Chapters, "http://h/b/", p.Fetch(), Inputs(), 100);
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.pages, 3);
    EXPECT_EQ(p.fetched, (std::vector<std::string>{"http://h/b/", "http://h/b/index_2.html", "http://h/b/index_3.html"}));
    EXPECT_EQ(walk.out.lists[title], (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(walk.out.lists[url].back(), "http://h/b/4.html");

    // A page naming itself is the last.
    Pages self;
    self.pages["http://h/x"] = Page("<li>a</li>", "x");
    walk = WalkPages(*site, WalkKind::Chapters, "http://h/x", self.Fetch(), Inputs(), 100);
    EXPECT_EQ(self.fetched.size(), 1u);
    EXPECT_TRUE(walk.complete);

    // An endless chain stops at the cap, and says so.
    Pages chain;
    for (int i = 0; i < 50; ++i)
        chain.pages["http://h/" + std::to_string(i)] = Page("<li>" + std::to_string(i) + "</li>", std::to_string(i + 1));
    walk = WalkPages(*site, WalkKind::Chapters, "http://h/0", chain.Fetch(), Inputs(), 10);
    EXPECT_EQ(chain.fetched.size(), 10u);
    EXPECT_FALSE(walk.complete);
    EXPECT_TRUE(walk.capped);
    EXPECT_EQ(walk.out.lists[title].size(), 10u);

    // A page that cannot be fetched ends the walk; what came before is kept.
    Pages broken;
    broken.pages["http://h/1"] = Page("<li>a</li>", "2");
    walk = WalkPages(*site, WalkKind::Chapters, "http://h/1", broken.Fetch(), Inputs(), 10);
    EXPECT_FALSE(walk.complete);
    EXPECT_FALSE(walk.capped);
    EXPECT_NE(walk.why.find("404"), std::string::npos);
    EXPECT_EQ(walk.out.lists[title], std::vector<std::string>{"a"});
}

TEST(AddedSites, AfterLastStopsAtUntil) {
    auto site = LoadRules(std::string(kHead) + R"toml(
[chapters]
steps = [
  { find = '">next</a>', from = 0, to = "nx" },
  { after_last = '<a href="', from = 0, until = "nx", to = "h" },
  { slice = "href", from = "h", to = "nx" },
  { next = "{href}" },
]
)toml",
                          "t.toml");
    const Output out = rules::Run(*site, WalkKind::Chapters,
                           R"toml(<a href="a.html">prev</a> <a href="b.html">next</a> <a href="c.html">end</a>)toml", Inputs());
    EXPECT_EQ(out.next, "b.html");
}

TEST(AddedSites, TheKeysOfANewSiteAreCheckedWithTheirPlace) {
    EXPECT_EQ(ErrorOf("[categories]\nsteps = [ { next = 'x' } ]\n"),
              "t.toml:6:20: 'next' has no meaning in categories (only in booklist, chapters and text)");
    EXPECT_EQ(ErrorOf("[intro]\nurl = '{base}/b/{category}'\nsteps = []\n"),
              "t.toml:6:7: 'url' of [intro] may name {base}, {base2} and {book}, not {category}");
    EXPECT_EQ(ErrorOf("[text]\nurl = '{base}/x'\nsteps = []\n"),
              "t.toml:6:7: 'url' has no meaning in [text]: a chapter's address comes from the chapter list");
    EXPECT_EQ(ErrorOf("[intro]\nurl = 'ftp://x/{book}'\nsteps = []\n"),
              "t.toml:6:7: 'url' must be an http:// or https:// address or begin with {base} or {base2}");
    EXPECT_EQ(ErrorOf("[intro]\nquery = 'utf-8'\nsteps = []\n"), "t.toml:6:1: 'query' belongs to [search] only");
    EXPECT_EQ(ErrorOf("[search]\nquery = 'big5'\nsteps = []\n"), "t.toml:6:9: 'query' must be \"utf-8\" or \"gbk\"");
    EXPECT_EQ(ErrorOf("[chapters]\nsteps = [ { after_last = 'a', until = 'nope' } ]\n"),
              "t.toml:6:39: 'nope' is used before any step sets it");

    // A new key needs the catalogue's walks, a host and every walk's address.
    auto site = LoadRules(std::string(kHead) + kPagedList, "t.toml");
    ASSERT_TRUE(NewSiteProblem(*site));
    EXPECT_EQ(NewSiteProblem(*site)->Text(),
              "t.toml:2:8: a new site ('test') needs [categories]: the catalogue reads categories, booklist, "
              "chapters and text");
    auto qingdeng = LoadRules(R"toml([site]
name = "青灯"
key = "q"
page = "utf-8"
base = "http://q.localhost"
[categories]
url = "{base}/"
steps = []
[booklist]
url = "{category}"
steps = []
[chapters]
steps = []
[text]
steps = []
)toml",
                              "q.toml");
    ASSERT_TRUE(NewSiteProblem(*qingdeng));
    EXPECT_EQ(NewSiteProblem(*qingdeng)->Text(), "q.toml:12:2: [chapters] of a new site needs 'url', the address of its page");
    // A built-in key keeps the program's own addresses.
    EXPECT_FALSE(NewSiteProblem(*CompiledIn("feiku")));
    EXPECT_TRUE(IsBuiltinKey("520"));
    EXPECT_FALSE(IsBuiltinKey("q"));
}

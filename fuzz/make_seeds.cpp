// talvenor-fuzz-seeds: writes the seed corpora and dictionaries of the fuzz
// targets.  The page seeds are fetched over HTTP from the demo sites, started
// here on a free port; the port in them is then written as the demo's default
// port, which the targets' base URLs use.
//
//   talvenor-fuzz-seeds FUZZ_DIR    (writes FUZZ_DIR/corpus/* and FUZZ_DIR/dict/*)
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/program.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "demo_sites.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "quiet_desktop.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

// Site selector bytes of the page targets.
const char kDuowan = '0', kReadnovel = '1', kXs8 = '2', kFeiku = '3', kS520 = '4';

class Seeds {
  public:
    Seeds(std::string dir, int port) : dir_(std::move(dir)), port_(port) {}

    void Write(const std::string& target, const std::string& name, const std::string& bytes) {
        const std::string folder = dir_ + "/corpus/" + target;
        MakeDirs(folder);
        WriteFileAtomic(folder + "/" + name, bytes);
        total_ += bytes.size();
        ++files_;
    }

    // The page at url as the demo serves it, with the demo's default port.
    std::string Fetch(const std::string& url) {
        std::string body = FetchPage(client_, url);
        const std::string from = ":" + std::to_string(port_);
        const std::string to = ":" + std::to_string(SiteHosts::kDemoPort);
        for (size_t p = body.find(from); p != std::string::npos; p = body.find(from, p + to.size()))
            body.replace(p, from.size(), to);
        return body;
    }

    void Page(const std::string& target, const std::string& name, const std::string& prefix,
              const std::string& url) {
        Write(target, name, prefix + Fetch(url));
    }

    void Dict(const std::string& target, const std::vector<std::string>& utf8Words) {
        std::string out;
        for (const std::string& word : utf8Words) {
            std::string escaped;
            for (unsigned char c : Utf8ToGbk(word)) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                escaped += c >= 0x20 && c < 0x7F && c != '"' && c != '\\'
                               ? std::string(1, static_cast<char>(c))
                               : std::string(hex);
            }
            out += "\"" + escaped + "\"\n";
        }
        MakeDirs(dir_ + "/dict");
        WriteFileAtomic(dir_ + "/dict/" + target + ".dict", out);
    }

    size_t total() const { return total_; }
    int files() const { return files_; }

  private:
    std::string dir_;
    int port_;
    HttpClient client_{HttpSettings::Configured()};
    size_t total_ = 0;
    int files_ = 0;
};

std::string Utf16Le(const std::string& utf8) {
    std::string out;
    for (char16_t c : GbkToUtf16(Utf8ToGbk(utf8))) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// The first two characters of a title: a keyword that finds a few books.
std::string Keyword(const std::string& utf8Title) {
    size_t n = 0, chars = 0;
    while (n < utf8Title.size() && chars < 2) {
        unsigned char c = static_cast<unsigned char>(utf8Title[n]);
        n += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        ++chars;
    }
    return utf8Title.substr(0, n);
}

// The reader's files as the program writes them when it closes on a book:
// preferences changed from their defaults, a mark list with an automatic
// mark and a damaged entry, the state of the reading.  Joined in the order
// the reader_files target takes them, behind its action byte.
std::string ReaderFiles(const std::string& tmp, char actions, bool damaged) {
    std::filesystem::remove_all(tmp);
    const AppPaths paths = AppPaths::ForAppDir(tmp + "/");
    fuzz::QuietDesktop desktop;
    {
        Program program(desktop, paths);
        TForm2& r = *program.form2;
        program.form1->CurrentSite = Label(Site::Duowan);
        r.ListBox1.Assign({G("第一章 开始"), G("第二章 路上"), G("第三章 到了")});
        r.PageUrlList.Assign({"1.html", "2.html", "3.html"});
        r.ListBox1.Select(1);
        r.BookUrl = "book/1/1/";
        r.ChapterIndex = "1";
        const std::string site = Label(Site::Duowan);
        r.ListBoxMark.Assign({MarkEntry(G("书一"), site, "book/1/1/", "1"),
                              MarkEntry(G("书二"), Label(Site::Feiku), "book/2/", "0")});
        if (damaged) r.ListBoxMark.Add(G("『书三』『多玩』『book/3/"));
        r.TheMark.BookTitle = G("书一");
        r.TheMark.CurIndex = 0;
        r.prefs.ScrollStep = 5;
        r.prefs.ScrollInterval = 300;
        r.prefs.ZoomLevel = 3;
        r.prefs.N23.checked = false;
        r.prefs.N24.checked = true;
        r.Panel2.Tag = 1;
        r.SaveReaderState();
    }
    std::string out(1, actions);
    const char* files[] = {"FontAndColor.web", "AutoMark", "default.1", "default.2", "default.3"};
    for (size_t i = 0; i < 5; ++i) {
        if (i > 0) out += '\x1E';
        out += ReadFileBytes(paths.setDir + files[i]);
    }
    std::filesystem::remove_all(tmp);
    return out;
}

void TextSeeds(Seeds& s, const std::string& duowanPage, const std::string& gbkPage) {
    // Markers: start length, end length, start position, the markers, the text.
    auto cut = [](const std::string& start, const std::string& end, int from, const std::string& text) {
        return std::string(1, static_cast<char>(start.size())) + static_cast<char>(end.size()) +
               static_cast<char>(from) + start + end + text;
    };
    s.Write("markers", "cut-found", cut("<a>", "</a>", 0, "x<a>T</a>y"));
    s.Write("markers", "cut-again", cut("<a>", "</a>", 5, "x<a>T</a>y"));
    s.Write("markers", "find", cut("b", "c", 2, "abcabc"));
    s.Write("markers", "tags", cut("<b>", "</b>", 0, "a<b>c <<b>x a>b x<br 1 < 2 > 0 <p><b>"));
    s.Write("markers", "nbsp", cut("", "", 0, G("  第一章&nbsp;&nbsp;开始 ")));
    s.Write("markers", "link", cut("", "", 0, G(" class=\"l14\">第1章")));
    s.Write("markers", "page", cut("<li>", "</li>", 100, gbkPage.substr(0, 2000)));

    s.Write("utf8", "page", duowanPage);
    s.Write("utf8", "stray-byte",
            "a\xB0"
            "b");
    s.Write("utf8", "cut-off", "\xE5\xB0\x8F\xE8\xAF");

    s.Write("gbk", "page", gbkPage.substr(0, 1500) + Utf16Le("小说阅读网 言情小说吧 €"));

    StringList names = {G("都市言情"), G("武侠仙侠"), "", "..", "a/b", G("第一章 开始")};
    s.Write("lines", "list", FormatLines(names));
    s.Write("lines", "line-ends", std::string("a\r\nb\nc\rd\r\n\r\n") + '\0' + "x\r" + '\0' + ".");

    s.Write("hosts", "demo", FormatSiteHosts(SiteHosts::Demo()));
    s.Write("hosts", "edited",
            "# my hosts\n  duowan = http://www.duowan.example/  \nfeiku=http://feiku.example:8080//\n"
            "nonsense\nxs8 = ftp://x\n520 = http://a.example # comment\r\n");
}

void Dictionaries(Seeds& s) {
    std::vector<std::string> hostWords = {"=", "http://", "#", "/", " ", "\r\n", ":8080"};
    for (const auto& e : SiteHosts::Entries()) hostWords.push_back(e.key);
    s.Dict("hosts", hostWords);
    s.Dict("book_list_pages", {"booklist",
                               "<li>",
                               "<a href=\"",
                               "\"",
                               "_blank>",
                               "</a>",
                               "<td align=\"left\">",
                               "\">下一页",
                               "_",
                               ".html",
                               "<ul>",
                               "</ul>",
                               "novel/",
                               ".html\" target",
                               "<b>",
                               "</b>",
                               "</h2>",
                               "<div class=\"bothall\">",
                               "...",
                               "下1页</a>",
                               "<a href=",
                               "[首页]",
                               "点击数",
                               "<tr bgcolor",
                               "</tr>",
                               "<a href=\"/love/",
                               "/index",
                               "<td>",
                               "</td>",
                               "<div id=\"CrListText\">",
                               "</div>",
                               "li2",
                               "<a target=_blank href=\"/",
                               "/List.shtm",
                               "li3\">",
                               "</li>",
                               "li4\">",
                               "li5\">",
                               "li6\">",
                               "条 , 当前",
                               "</font>",
                               "&nbsp;"});
    s.Dict("reader_files",
           {"\x1E",       "\r\n",         "『",           "』",          "上次阅读。。", "保存的定位文件。。",
            "0倍间距",    "1倍间距",      "2倍间距",      "3倍间距",     "静音",         "不静音",
            "无翻页效果", "普通翻页效果", "页面百变效果", "显示目录",    "隐藏目录",     "显示标签",
            "隐藏标签",   "多玩",         "小说阅读网",   "言情小说吧",  "飞库",         "小说520",
            "-1",         "-2",           "2147483647",   "-2147483648", "99999999999"});

    s.Dict("lines", {"\r\n", "\r", "\n", "..", ".", "/", "\\"});
    s.Dict("markers", {"<", ">", "&nbsp;", "class", "l14", "\"", "=", " ", "&NBSP;"});
    s.Dict("category_pages", {"分类目录", "</ul>", "<li>", "href=\"", "<span>", "分类阅读", "<a href=\"",
                              "<strong>", "</strong>", "id=\"sub2\"", "/Book/LN/", ".html", "</a>"});
    s.Dict("chapter_list_pages", {"<div id=\"textlist\"",
                                  "<!-- end textlist -->",
                                  "<li>",
                                  "<a href=\"",
                                  "</a>",
                                  "&nbsp;",
                                  "mulu",
                                  " <!--书目录结束-->",
                                  "<li><a href=\"",
                                  "[书籍简介]",
                                  "</body>",
                                  "<!--",
                                  "-->",
                                  "·",
                                  "/love",
                                  ".html",
                                  "<div id=\"feiku_chaplist\">",
                                  "<div id=\"feiku_e_n_d\">",
                                  "<li><a",
                                  "href=\"",
                                  ".shtm",
                                  "\">",
                                  "<div id=\"End\">",
                                  ".shtml",
                                  "\r\n"});
    s.Dict("search_pages", {"<div id=\"CListTitle\">",
                            "<b>",
                            "</b>",
                            ">>>",
                            "<a href=\"",
                            ".shtml",
                            "关键字是：",
                            "<li>",
                            "<a href=\"http://duowan.localhost:18630/",
                            "index.html\"",
                            "\"_blank\">",
                            "</a>",
                            ">>> <a href=\"/",
                            ".shtm",
                            "<a href=\"http://readnovel",
                            "novel/",
                            "/",
                            "-《",
                            "》",
                            "点击数",
                            "·",
                            "\"/love/",
                            "/index.html",
                            "\">"});
    s.Dict("intro_pages", {"<td height=\"150\" valign=\"top\">", "</td>", "&nbsp;", "文章简介",
                           "<!-- end wzjj -->", "<br>", "书籍简介", "<!--结束书的参数-->", "</strong>",
                           "<br />", "[书籍简介]", "</table>", "<div id=\"CrbsSum\">", "</div>", "<", ">"});
    s.Dict("chapter_pages", {"超时",
                             "<!--站内公告开始-->",
                             "<!--站内公告结束-->",
                             "</iframe>",
                             "</div>",
                             "<div id=\"text\" class=\"typetxt\">",
                             "</h1>",
                             "[书籍简介]",
                             "</table>",
                             "<td height=70 align=center>",
                             "<a href=\"http://bbs.xs8.localhost:18630",
                             "<div id=\"frontdiv\"",
                             "<div align=\"center\">",
                             "src=\"",
                             "feiku.localhost",
                             "<div id=\"BookText\">",
                             "<SPAN",
                             "<br>",
                             "<br/>",
                             "<br />",
                             "</br>",
                             "xs520.localhost发布"});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvenor-fuzz-seeds FUZZ_DIR\n");
        return 2;
    }
    demo::DemoOptions options;
    options.port = 0;
    options.categories = 3;
    options.booksPerCategory = 4;
    options.chaptersPerBook = 8;
    options.xs8Books = 6;
    options.pageSize = 4;
    options.searchLimit = 3;
    demo::DemoSites sites(options);
    if (!sites.Start()) {
        std::fprintf(stderr, "talvenor-fuzz-seeds: the demo sites did not start\n");
        return 1;
    }
    const demo::DemoContent& c = sites.content();
    Seeds s(argv[1], sites.port());
    try {
        std::filesystem::remove_all(std::string(argv[1]) + "/corpus");

        s.Page("category_pages", "duowan", "0", c.CategoryPageUrl(demo::Site::Duowan));
        s.Page("category_pages", "readnovel", "1", c.CategoryPageUrl(demo::Site::Readnovel));
        s.Page("category_pages", "feiku", "2", c.CategoryPageUrl(demo::Site::Feiku));
        // Pages made from the input (made_pages.h): per site a letter, then
        // the bytes of a few items of a few characters each.
        const std::string made =
            std::string("\x03\x02\x05\x07\x81\x04\x09\x82\x11\x13\x15\x80\x02\x04\x06", 15);
        for (const char* target : {"category_pages", "chapter_list_pages", "search_pages", "intro_pages"}) {
            const int count = std::string(target) == "category_pages" ? 3 : 5;
            for (int i = 0; i < count; ++i)
                s.Write(target, std::string("made-") + char('a' + i), char('a' + i) + made);
        }

        const struct {
            demo::Site site;
            char selector;
            const char* name;
        } kSites[] = {{demo::Site::Duowan, kDuowan, "duowan"},
                      {demo::Site::Readnovel, kReadnovel, "readnovel"},
                      {demo::Site::Xs8, kXs8, "xs8"},
                      {demo::Site::Feiku, kFeiku, "feiku"},
                      {demo::Site::S520, kS520, "s520"}};
        for (const auto& k : kSites) {
            const std::string sel(1, k.selector);
            const demo::Book book = c.BookAt(k.site, 0, 1);
            s.Page("chapter_list_pages", k.name, sel, c.ChapterListUrl(book));
            s.Page("intro_pages", k.name, sel, c.IntroductionUrl(book));
            s.Page("search_pages", std::string(k.name) + "-found", sel,
                   c.SearchUrl(k.site, Keyword(book.title)));
            s.Page("search_pages", std::string(k.name) + "-none", sel, c.SearchUrl(k.site, "无此书名"));
            // Chapter pages: a chapter with the word filter on and two
            // breaks of spacing; the book's own page as the list's first entry.
            s.Page("chapter_pages", std::string(k.name) + "-chapter", sel + "\x0C", c.ChapterOf(book, 2).url);
            s.Page("chapter_pages", std::string(k.name) + "-first", sel + "\x03", c.ChapterListUrl(book));
        }
        // A 飞库 chapter made of pictures.
        for (int b = 0, found = 0; b < 4 && !found; ++b) {
            const demo::Book book = c.BookAt(demo::Site::Feiku, 0, b);
            for (int n = 1; n <= book.chapterCount && !found; ++n)
                if (!c.ChapterOf(book, n).pictures.empty()) {
                    s.Page("chapter_pages", "feiku-pictures", std::string(1, kFeiku) + "\x02",
                           c.ChapterOf(book, n).url);
                    found = 1;
                }
        }

        // Book-list pages: the first and a later page of each site, the page
        // past 言情小说吧's last, and a walk that meets its first stored book.
        // Selector, page number (byte % 8 + 1: "0" is 1), known page count
        // (byte % 8: "0" is none), length of the first stored title, title.
        const struct {
            demo::Site site;
            char selector;
            const char* name;
        } kListSites[] = {{demo::Site::Duowan, kDuowan, "duowan"},
                          {demo::Site::Readnovel, kReadnovel, "readnovel"},
                          {demo::Site::Xs8, kXs8, "xs8"},
                          {demo::Site::Feiku, kFeiku, "feiku"}};
        for (const auto& k : kListSites) {
            const int pages = c.ListPageCount(k.site, 0);
            const std::string head(1, k.selector);
            s.Page("book_list_pages", std::string(k.name) + "-1", head + "0" + "0" + '\0',
                   c.ListPageUrl(k.site, 0, 1));
            s.Page("book_list_pages", std::string(k.name) + "-2",
                   head + "1" + std::to_string(pages % 8) + '\0', c.ListPageUrl(k.site, 0, 2));
        }
        s.Page(
            "book_list_pages", "xs8-past-end",
            std::string(1, kXs8) + static_cast<char>('0' + c.ListPageCount(demo::Site::Xs8, 0)) + "0" + '\0',
            c.ListPageUrl(demo::Site::Xs8, 0, c.ListPageCount(demo::Site::Xs8, 0) + 1));
        {
            const std::string title =
                Utf8ToGbk("《") + Utf8ToGbk(c.BookAt(demo::Site::Readnovel, 0, 1).title) + Utf8ToGbk("》");
            s.Page("book_list_pages", "readnovel-known",
                   std::string(1, kReadnovel) + "0" + "0" + static_cast<char>(title.size()) + title,
                   c.ListPageUrl(demo::Site::Readnovel, 0, 1));
        }

        const std::string tmp =
            (std::filesystem::temp_directory_path() / "talvenor-fuzz-seeds-home").string();
        s.Write("reader_files", "session", ReaderFiles(tmp, '\x01', false));
        s.Write("reader_files", "damaged-mark", ReaderFiles(tmp, '\x56', true));
        s.Write("reader_files", "no-state",
                "\x04" + FormatLines({G(" bgcolor=#000000"), "x", "", "", "9"}) + "\x1E\x1E");

        TextSeeds(s, s.Fetch(c.CategoryPageUrl(demo::Site::Duowan)),
                  s.Fetch(c.ChapterListUrl(c.BookAt(demo::Site::Feiku, 0, 0))));
        Dictionaries(s);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "talvenor-fuzz-seeds: %s\n", e.what());
        return 1;
    }
    std::printf("%d seed files, %zu bytes\n", s.files(), s.total());
    return 0;
}

// 小说阅读网 (GBK) and the public search engine its search goes through.
//
// List pages: the books stand in the first <ul>; after its </ul> come the
// pager and then a block of recommended books.  The recommended links end
// the program's entry loop (its next key lies past the list), so every list
// page has at least one.  Page 1's pager gives the page count: with more
// than ten pages by the link after "...", otherwise by its number of links
// up to "下1页", which is always a link.
#include "demo_text.h"
#include "site_pages.h"

namespace talvenor::demo {

namespace {

const Site kSite = Site::Readnovel;

std::string ListPath(int category, int page) {
    std::string c = std::to_string(category + 1);
    return page == 1 ? "/ch/all/" + c + ".html" : "/ch/all/" + c + "/" + std::to_string(page) + ".html";
}

Page CategoriesPage(const DemoContent& content) {
    Page p;
    p.gbk = true;
    p.markers = {"分类阅读"};
    std::string& b = p.body;
    b = PageHead("小说阅读网 - 作品分类", true);
    b += "<div class=\"sort\"><h2>分类阅读</h2>\r\n";
    int count = content.CategoryCount(kSite);
    for (int c = 0; c < count; ++c) {
        std::string name = content.CategoryAt(kSite, c).name;
        // The last category is set in bold, as the program expects.
        if (c == count - 1)
            b += "<a href=\"" + ListPath(c, 1) + "\"><strong>" + name + "</strong></a>\r\n";
        else
            b += "<a href=\"" + ListPath(c, 1) + "\">" + name + "</a> | \r\n";
    }
    b += "</div>\r\n" + PageFoot();
    return p;
}

std::string Pager(int category, int page, int pages) {
    std::string b = "<div class=\"pager\">共" + std::to_string(pages) + "页 ";
    if (page > 1)
        b += "<a href=\"" + ListPath(category, 1) + "\">首页</a> <a href=\"" + ListPath(category, page - 1) +
             "\">上1页</a> ";
    int first = pages <= 10 ? 1 : std::max(1, std::min(page - 4, pages - 9));
    int last = pages <= 10 ? pages : first + 9;
    for (int n = first; n <= last; ++n) {
        if (n == page)
            b += "<b>" + std::to_string(n) + "</b> ";
        else
            b += "<a href=\"" + ListPath(category, n) + "\">" + std::to_string(n) + "</a> ";
    }
    if (last < pages)
        b += "...<a href=\"" + ListPath(category, pages) + "\">" + std::to_string(pages) + "</a> ";
    b += "<a href=\"" + ListPath(category, std::min(page + 1, pages)) + "\">下1页</a></div>\r\n";
    return b;
}

Page ListPage(const DemoContent& content, int category, int page) {
    const SiteHosts& h = content.hosts();
    int count = content.BookCount(kSite, category);
    int pages = content.ListPageCount(kSite, category);
    Page p;
    p.gbk = true;
    p.markers = {"<ul>"};
    std::string& b = p.body;
    std::string name = content.CategoryAt(kSite, category).name;
    b = PageHead(name + " - 小说阅读网 - 第" + std::to_string(page) + "页", true);
    b += "<div class=\"path\">当前位置：小说阅读网 &gt; " + name +
         "</div>\r\n<div class=\"booklist\">\r\n<ul>\r\n";
    int size = content.options().pageSize;
    for (int pos = (page - 1) * size; pos < count && pos < page * size; ++pos) {
        Book book = content.BookAt(kSite, category, pos);
        b += "<li><h2><a href=\"" + h.readnovel + "/novel/" + book.key + ".html\" target=\"_blank\"><b>" +
             book.title + "</b></a> <span>作者：" + book.author + "</span> <span>" + book.updated +
             "</span></h2>" + JoinLines(book.intro, "\r\n") + "<div class=\"bothall\"></div></li>\r\n";
    }
    b += "</ul>\r\n</div>\r\n" + Pager(category, page, pages);
    b += "<div class=\"recommend\"><h3>编辑推荐</h3>";
    if (count == 0) {
        b += "<a href=\"" + h.readnovel + "/novel/top.html\" target=\"_blank\">排行榜</a>";
    } else {
        for (int k = 0; k < 3 && k < count; ++k) {
            Book book = content.BookAt(kSite, category, static_cast<int>(Mix(category, page, k) % count));
            b += "<a href=\"" + h.readnovel + "/novel/" + book.key + ".html\" target=\"_blank\">" +
                 book.title + "</a> ";
        }
    }
    b += "</div>\r\n" + PageFoot();
    return p;
}

Page ChapterListPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.markers = {"mulu", "书籍简介"};
    std::string& b = p.body;
    b = PageHead(book.title + " 最新章节 - 小说阅读网", true);
    b += "<div class=\"notice\"><!--站内公告开始-->" + DemoContent::Announcement() +
         "<!--站内公告结束--></div>\r\n";
    b += "<div class=\"info\"><h1>" + book.title + "</h1><p>作者：" + book.author + "　" + book.state +
         "</p>\r\n<p><strong>书籍简介：</strong>" + JoinLines(book.intro, "\r\n") +
         (book.intro.empty() ? "" : "<br />") + "</p>\r\n<!--结束书的参数-->\r\n</div>\r\n";
    b += "<div id=\"mulu\">\r\n<ul>\r\n";
    for (int n = 1; n <= book.chapterCount; ++n) {
        Chapter ch = content.ChapterOf(book, n, false);
        b += "<li><a href=\"" + ch.url + "\">" + ch.title + "</a></li>\r\n";
    }
    b += "</ul>\r\n</div> <!--书目录结束-->\r\n" + PageFoot();
    return p;
}

Page BookPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.body = PageHead(book.title + " - 小说阅读网", true) + "<h1>" + book.title + "</h1>\r\n<p>作者：" +
             book.author + "</p>\r\n<p>" + JoinLines(book.intro, "<br>\r\n") + "</p>\r\n<p><a href=\"" +
             content.ChapterListUrl(book) + "\">点击阅读</a></p>\r\n" + PageFoot();
    return p;
}

Page ChapterPage(const DemoContent& content, const Book& book, int number) {
    Chapter ch = content.ChapterOf(book, number);
    Page p;
    p.gbk = true;
    p.markers = {"</iframe>"};
    std::string& b = p.body;
    b = PageHead(ch.title + " - " + book.title + " - 小说阅读网", true);
    b += "<div class=\"nav\"><a href=\"" + content.ChapterListUrl(book) + "\">返回目录</a></div>\r\n";
    b += "<h1>" + ch.title +
         "</h1>\r\n<div id=\"content\"><iframe src=\"/ad/top.html\" width=\"468\" height=\"60\" "
         "frameborder=\"0\" scrolling=\"no\"></iframe>" +
         ParagraphsHtml(ch.paragraphs) + "</div>\r\n" + PageFoot();
    return p;
}

}  // namespace

Page ReadnovelPage(const DemoContent& content, const std::string& path) {
    auto parts = PathParts(path);
    int a, n;
    if (path == "/ch/all/all.html" || path == "/") return CategoriesPage(content);
    int categories = content.CategoryCount(kSite);
    if (parts.size() == 3 && parts[0] == "ch" && parts[1] == "all" && parts[2].size() > 5 &&
        ToInt(parts[2].substr(0, parts[2].size() - 5), &a) && a >= 1 && a <= categories)
        return ListPage(content, a - 1, 1);
    if (parts.size() == 4 && parts[0] == "ch" && parts[1] == "all" && ToInt(parts[2], &a) && a >= 1 &&
        a <= categories && parts[3].size() > 5 && ToInt(parts[3].substr(0, parts[3].size() - 5), &n) &&
        n >= 1)
        return ListPage(content, a - 1, n);
    if (parts.size() == 3 && parts[0] == "partlist" && parts[2].empty()) {
        if (auto book = content.BookByKey(kSite, parts[1])) return ChapterListPage(content, *book);
    }
    if (parts.size() == 2 && parts[0] == "novel" && parts[1].size() > 5) {
        if (auto book = content.BookByKey(kSite, parts[1].substr(0, parts[1].size() - 5)))
            return BookPage(content, *book);
    }
    if (parts.size() == 3 && parts[0] == "novel" && parts[2].size() > 5 &&
        ToInt(parts[2].substr(0, parts[2].size() - 5), &n)) {
        auto book = content.BookByKey(kSite, parts[1]);
        if (book && n >= 1 && n <= book->chapterCount) return ChapterPage(content, *book, n);
    }
    if (path == "/ad/top.html") {
        Page p;
        p.gbk = true;
        p.body = "<html><body>广告位招租</body></html>";
        return p;
    }
    return ErrorPage(404, true);
}

// The engine understands "site:HOST" and a keyword; it knows the pages of
// 小说阅读网 only and lists each matching book once, by its first chapter.
// Its pages are GBK, like the site it indexes, since the program uses them
// as received.
Page SearchEnginePage(const DemoContent& content, const std::string& target) {
    const SiteHosts& h = content.hosts();
    std::string query = PercentDecode(RawQueryParam(target, "q"), true);
    std::string site, keyword;
    size_t i = 0;
    while (i < query.size()) {
        size_t e = query.find(' ', i);
        if (e == std::string::npos) e = query.size();
        std::string term = query.substr(i, e - i);
        if (term.rfind("site:", 0) == 0)
            site = term.substr(5);
        else if (!term.empty())
            keyword += (keyword.empty() ? "" : " ") + term;
        i = e + 1;
    }
    std::vector<Book> found;
    if (IsValidUtf8(keyword) && (site.empty() || site == SiteHosts::HostName(h.readnovel)))
        found = content.Search(kSite, keyword);
    Page p;
    p.gbk = true;
    p.markers = {"-《"};
    std::string& b = p.body;
    std::string shown = IsValidUtf8(query) ? HtmlEscape(query) : "?";
    b = PageHead(shown + " - 网页搜索", true);
    b += "<form action=\"/search\"><input type=\"text\" name=\"q\" size=\"40\" value=\"" + shown +
         "\"> <input type=\"submit\" value=\"搜索\"></form>\r\n";
    b += "<div id=\"stats\">找到约 " + std::to_string(found.size()) + " 条结果</div>\r\n";
    for (const Book& book : found) {
        Chapter ch = content.ChapterOf(book, 1, false);
        std::string snippet = book.intro.empty() ? book.author : book.intro[0];
        b += "<div class=\"g\"><h3><a href=\"" + ch.url + "\" target=\"_blank\">" + ch.title + "-《" +
             Highlight(book.title, keyword, "<em>", "</em>") + "》-小说阅读网</a></h3><div class=\"s\">" +
             snippet + "<br><cite>" + SiteHosts::HostName(h.readnovel) + "/novel/" + book.key +
             "/1.html</cite></div></div>\r\n";
    }
    if (found.empty()) b += "<p>没有找到与“" + shown + "”相关的网页。</p>\r\n";
    b += PageFoot();
    return p;
}

}  // namespace talvenor::demo

// 言情小说吧 (GBK): one site-wide book list of table rows, a pager that
// starts with "[首页]" under the rows (also on a page past the end, which
// has no row), chapter lists whose "·" links end at an HTML comment, and
// chapter texts that end at a link to the site's forum.
#include "demo_text.h"
#include "site_pages.h"

namespace talvenor::demo {

namespace {

const Site kSite = Site::Xs8;

std::string ListLink(int page, const std::string& text) {
    return "<a href=\"/list.php?page=" + std::to_string(page) + "\">" + text + "</a>";
}

Page ListPage(const DemoContent& content, int page) {
    int count = content.BookCount(kSite, 0);
    int pages = content.ListPageCount(kSite, 0);
    Page p;
    p.gbk = true;
    p.markers = {"<tr bgcolor"};
    std::string& b = p.body;
    b = PageHead("言情小说吧 - 书库 - 第" + std::to_string(page) + "页", true);
    b += "<table class=list width=\"100%\">\r\n<tr><td>书名</td><td>类别</td><td>作者</td><td>更新时间</td>"
         "<td>点击数</td><td>收藏数</td></tr>\r\n";
    int size = content.options().pageSize;
    for (int pos = (page - 1) * size; pos < count && pos < page * size; ++pos) {
        Book book = content.BookAt(kSite, 0, pos);
        // No quoted attribute may stand between the cuts of a row: the
        // program looks for the next "\">" to find the link texts.
        b += std::string("<tr bgcolor=") + (pos % 2 ? "#F7F7F7" : "#FFFFFF") + "><td><a href=\"/love/" +
             book.key + "/index.html\">《" + book.title + "》</a></td><td><a href=\"/sort/" +
             std::to_string(Mix(book.id) % 6 + 1) + ".html\">" + book.genre + "</a></td><td>" + book.author +
             "</td><td>" + book.updated + "</td><td>" + std::to_string(book.clicks) + "</td><td>" +
             std::to_string(book.favourites) + "</td></tr>\r\n";
    }
    b += "</table>\r\n<div class=pager>" + ListLink(1, "[首页]") + " " +
         ListLink(std::max(1, page - 1), "[上一页]") + " " + ListLink(std::min(pages, page + 1), "[下一页]") +
         " " + ListLink(pages, "[尾页]") + " 第" + std::to_string(page) + "/" + std::to_string(pages) +
         "页</div>\r\n" + PageFoot();
    return p;
}

Page ChapterListPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.markers = {"[书籍简介]"};
    std::string& b = p.body;
    b = PageHead(book.title + " - 言情小说吧", true);
    // A ".html" link before the introduction: once no "/love" link is left,
    // the program's chapter walk jumps back to it and stops.
    b += "<div class=nav><a href=\"/index.html\">首页</a> &gt; <a "
         "href=\"/list.php?page=1\">书库</a></div>\r\n";
    b += "<table width=\"100%\"><tr><td><h1>《" + book.title + "》</h1>作者：" + book.author + "　状态：" +
         book.state + "</td></tr></table>\r\n<table width=\"100%\"><tr><td>[书籍简介]<br>\r\n";
    for (const auto& line : book.intro) b += line + "<br>\r\n";
    b += "</td></tr></table>\r\n<table width=\"100%\" class=chapters>\r\n";
    for (int n = 1; n <= book.chapterCount; ++n) {
        if (n % 3 == 1) b += "<tr>";
        b += "<td>· <a href=\"/love/" + book.key + "/" + std::to_string(n) + ".html\">" +
             content.ChapterOf(book, n, false).title + "</a></td>";
        if (n % 3 == 0 || n == book.chapterCount) b += "</tr>\r\n";
    }
    b += "</table>\r\n<!-- 章节列表结束 -->\r\n";
    // Links after the comment are not chapters.
    int count = content.BookCount(kSite, 0);
    if (count > 1) {
        Book other = content.BookAt(kSite, 0, static_cast<int>(Mix(book.id, 9) % count));
        b += "<div class=recommend>推荐阅读：· <a href=\"/love/" + other.key + "/index.html\">" +
             other.title + "</a></div>\r\n";
    }
    b += PageFoot();
    return p;
}

Page ChapterPage(const DemoContent& content, const Book& book, int number) {
    Chapter ch = content.ChapterOf(book, number);
    Page p;
    p.gbk = true;
    p.markers = {"<td height=70 align=center>"};
    std::string& b = p.body;
    b = PageHead(ch.title + " - " + book.title + " - 言情小说吧", true);
    b += "<table width=\"100%\"><tr><td align=center><h1>" + ch.title +
         "</h1></td></tr>\r\n<tr><td height=70 align=center>" + ParagraphsHtml(ch.paragraphs) + "<a href=\"" +
         content.hosts().xs8Forum + "/\">到言情小说吧论坛讨论本书</a></td></tr></table>\r\n";
    b += "<div class=nav><a href=\"/love/" + book.key + "/index.html\">返回目录</a></div>\r\n" + PageFoot();
    return p;
}

Page SearchPage(const DemoContent& content, const std::string& target) {
    std::string keyword = SearchKeyword(target, "k", true);
    std::vector<Book> found = content.Search(kSite, keyword);
    Page p;
    p.gbk = true;
    p.markers = {"·"};
    std::string& b = p.body;
    b = PageHead("言情小说吧 - 搜索结果", true);
    b += "<div>书名包含“" + HtmlEscape(keyword) +
         "”的作品：</div>\r\n<table width=\"100%\">\r\n"
         "<tr><td>书名</td><td>作者</td><td>点击数</td></tr>\r\n";
    for (const Book& book : found) {
        b += "<tr><td>· <a href=\"/love/" + book.key + "/index.html\">" + book.title + "</a></td><td>" +
             book.author + "</td><td>" + std::to_string(book.clicks) + "</td></tr>\r\n";
    }
    b += "</table>\r\n";
    if (found.empty()) b += "<p>没有找到相关作品。</p>\r\n";
    b += PageFoot();
    return p;
}

}  // namespace

Page Xs8Page(const DemoContent& content, const std::string& path, const std::string& target) {
    auto parts = PathParts(path);
    int n;
    if (path == "/list.php" || path == "/") {
        std::string page = RawQueryParam(target, "page");
        if (!ToInt(page, &n) || n < 1) n = 1;
        return ListPage(content, n);
    }
    if (path == "/search.php") return SearchPage(content, target);
    if (parts.size() == 3 && parts[0] == "love") {
        auto book = content.BookByKey(kSite, parts[1]);
        if (book && parts[2] == "index.html") return ChapterListPage(content, *book);
        if (book && parts[2].size() > 5 && ToInt(parts[2].substr(0, parts[2].size() - 5), &n) && n >= 1 &&
            n <= book->chapterCount)
            return ChapterPage(content, *book, n);
    }
    return ErrorPage(404, true);
}

Page Xs8ForumPage() {
    Page p;
    p.gbk = true;
    p.body = PageHead("言情小说吧论坛", true) + "<h1>言情小说吧论坛</h1>\r\n<p>欢迎来到读者交流区。</p>\r\n" +
             PageFoot();
    return p;
}

}  // namespace talvenor::demo

// 青灯书屋 (UTF-8): a site of another shape than the five.  Every link is
// relative (to the page, or to the host's root), a book list and a chapter
// list run over several pages joined by a "下一页" link, the search takes its
// keyword as UTF-8 in the query, and a chapter's text is split over two
// pages, the first linking the second by "下一页".
//
//   /                       the categories
//   /sort/C/, /sort/C/P.html   a category's books, page 1 and page P
//   /book/K/                the book: introduction and chapter list page 1
//   /book/K/index_P.html    chapter list page P
//   /book/K/N.html          chapter N, first half; /book/K/N_2.html its second
//   /search?q=KEYWORD       books whose title holds the keyword
#include <algorithm>

#include "demo_text.h"
#include "site_pages.h"

namespace talvenor::demo {

namespace {

const Site kSite = Site::Qingdeng;

Page Utf8Page(const std::string& title) {
    Page p;
    p.gbk = false;
    p.body = PageHead(title + " - 青灯书屋", false) +
             "<div class=\"top\"><a href=\"/\">青灯书屋</a> | <a href=\"/search\">搜索</a></div>\r\n";
    return p;
}

Page HomePage(const DemoContent& content) {
    Page p = Utf8Page("全部分类");
    p.markers = {"<ul class=\"sorts\">"};
    std::string& b = p.body;
    b += "<h2>全部分类</h2>\r\n<ul class=\"sorts\">\r\n";
    for (int c = 0; c < content.CategoryCount(kSite); ++c)
        b += "<li><a href=\"sort/" + std::to_string(c + 1) + "/\">" + content.CategoryAt(kSite, c).name +
             "</a></li>\r\n";
    b += "</ul>\r\n" + PageFoot();
    return p;
}

Page BookListPage(const DemoContent& content, int category, int page) {
    const int pages = content.ListPageCount(kSite, category);
    if (page < 1 || page > pages) return ErrorPage(404, false);
    Page p = Utf8Page(content.CategoryAt(kSite, category).name);
    p.markers = {"<div class=\"booklist\">"};
    std::string& b = p.body;
    b += "<h2>" + content.CategoryAt(kSite, category).name + "</h2>\r\n<div class=\"booklist\">\r\n";
    const int size = content.options().pageSize;
    const int count = content.BookCount(kSite, category);
    for (int i = (page - 1) * size; i < std::min(count, page * size); ++i) {
        const Book book = content.BookAt(kSite, category, i);
        b += "<dl><dt><a href=\"../../book/" + book.key + "/\">" + book.title + "</a></dt><dd>作者：" +
             book.author + "　" + book.state + "</dd></dl>\r\n";
    }
    b += "</div>\r\n<div class=\"pager\">第" + std::to_string(page) + "/" + std::to_string(pages) + "页";
    if (page < pages) b += " <a href=\"" + std::to_string(page + 1) + ".html\">下一页</a>";
    b += "</div>\r\n" + PageFoot();
    return p;
}

// The book's page 1 holds the introduction; every page a part of the list.
Page ChapterListPage(const DemoContent& content, const Book& book, int page) {
    const int per = DemoContent::kQingdengListPage;
    const int pages = std::max(1, (book.chapterCount + per - 1) / per);
    if (page < 1 || page > pages) return ErrorPage(404, false);
    Page p = Utf8Page(book.title);
    p.markers = {"<ul class=\"chapters\">"};
    std::string& b = p.body;
    b += "<h1>" + book.title + "</h1>\r\n<p class=\"author\">作者：" + book.author + "</p>\r\n";
    if (page == 1) {
        b += "<div class=\"intro\">";
        if (book.intro.empty()) b += "暂无简介";
        for (size_t i = 0; i < book.intro.size(); ++i) b += (i ? "<br/>" : "") + book.intro[i];
        b += "</div>\r\n";
    }
    b += "<ul class=\"chapters\">\r\n";
    for (int n = (page - 1) * per + 1; n <= std::min(book.chapterCount, page * per); ++n)
        b += "<li><a href=\"" + std::to_string(n) + ".html\">" + content.ChapterOf(book, n, false).title +
             "</a></li>\r\n";
    b += "</ul>\r\n<div class=\"pager\">";
    if (page > 1) b += "<a href=\"" + (page == 2 ? std::string("./") : "index_" + std::to_string(page - 1) + ".html") + "\">上一页</a> ";
    if (page < pages) b += "<a href=\"index_" + std::to_string(page + 1) + ".html\">下一页</a>";
    b += "</div>\r\n" + PageFoot();
    return p;
}

// Chapter N's text: the first half of its paragraphs on part 1, the rest on
// part 2.  Part 2's "下一章" leads to the next chapter, not to more text.
Page ChapterPage(const DemoContent& content, const Book& book, int number, int part) {
    const Chapter ch = content.ChapterOf(book, number);
    const size_t half = (ch.paragraphs.size() + 1) / 2;
    std::vector<std::string> shown(ch.paragraphs.begin() + (part == 1 ? 0 : static_cast<long>(half)),
                                   part == 1 ? ch.paragraphs.begin() + static_cast<long>(half) : ch.paragraphs.end());
    Page p = Utf8Page(ch.title);
    p.markers = {"<div id=\"content\">"};
    std::string& b = p.body;
    const std::string n = std::to_string(number);
    b += "<h1>" + ch.title + (part == 2 ? "（2）" : "") + "</h1>\r\n<div id=\"content\">\r\n" +
         ParagraphsHtml(shown) + "</div>\r\n<div class=\"pager\"><a href=\"./\">目录</a> ";
    if (part == 1)
        b += "<a href=\"" + n + "_2.html\">下一页</a>";
    else if (number < book.chapterCount)
        b += "<a href=\"" + std::to_string(number + 1) + ".html\">下一章</a>";
    b += "</div>\r\n" + PageFoot();
    return p;
}

Page SearchPage(const DemoContent& content, const std::string& target) {
    const std::string keyword = SearchKeyword(target, "q", false);
    Page p = Utf8Page("搜索");
    p.markers = {"<ul class=\"result\">"};
    std::string& b = p.body;
    b += "<h2>搜索：" + HtmlEscape(keyword) + "</h2>\r\n<ul class=\"result\">\r\n";
    for (const Book& book : content.Search(kSite, keyword))
        b += "<li><a href=\"/book/" + book.key + "/\">" + book.title + "</a> 作者：" + book.author + "</li>\r\n";
    b += "</ul>\r\n" + PageFoot();
    return p;
}

bool NumberBefore(const std::string& text, const std::string& suffix, int* n) {
    return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           ToInt(text.substr(0, text.size() - suffix.size()), n);
}

}  // namespace

Page QingdengPage(const DemoContent& content, const std::string& path, const std::string& target) {
    const auto parts = PathParts(path);
    int c = 0, n = 0;
    if (path == "/") return HomePage(content);
    if (path == "/search") return SearchPage(content, target);
    if (parts.size() == 3 && parts[0] == "sort" && ToInt(parts[1], &c) && c >= 1 &&
        c <= content.CategoryCount(kSite)) {
        if (parts[2].empty()) return BookListPage(content, c - 1, 1);
        if (NumberBefore(parts[2], ".html", &n) && n >= 2) return BookListPage(content, c - 1, n);
    }
    if (parts.size() == 3 && parts[0] == "book") {
        const auto book = content.BookByKey(kSite, parts[1]);
        if (book) {
            if (parts[2].empty()) return ChapterListPage(content, *book, 1);
            if (parts[2].rfind("index_", 0) == 0 && NumberBefore(parts[2].substr(6), ".html", &n) && n >= 2)
                return ChapterListPage(content, *book, n);
            if (NumberBefore(parts[2], "_2.html", &n) && n >= 1 && n <= book->chapterCount)
                return ChapterPage(content, *book, n, 2);
            if (NumberBefore(parts[2], ".html", &n) && n >= 1 && n <= book->chapterCount)
                return ChapterPage(content, *book, n, 1);
        }
    }
    return ErrorPage(404, false);
}

}  // namespace talvenor::demo

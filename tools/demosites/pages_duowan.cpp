// 多玩: UTF-8 pages.  The category page is the first page of the
// "所有分类" list; every list page carries the category menu first and the
// book list after it, then a pager whose next-page link names the last page
// once there is no further page.
#include "demo_text.h"
#include "site_pages.h"

namespace talvenor::demo {

namespace {

const Site kSite = Site::Duowan;

std::string ListFile(int category, int page) {
    return (category == kAllCategories ? std::string("all_") : "c" + std::to_string(category + 1) + "_") +
           std::to_string(page) + ".html";
}

Page ListPage(const DemoContent& content, int category, int page) {
    const SiteHosts& h = content.hosts();
    int count = content.BookCount(kSite, category);
    int pages = content.ListPageCount(kSite, category);
    std::string name = category == kAllCategories ? "所有分类" : content.CategoryAt(kSite, category).name;
    Page p;
    p.markers = {"分类目录", "booklist"};
    std::string& b = p.body;
    b = PageHead("多玩文学 - " + name + " - 第" + std::to_string(page) + "页", false);
    b += "<div class=\"sort\"><h3>分类目录</h3>\r\n<ul>\r\n";
    for (int c = 0; c < content.CategoryCount(kSite); ++c) {
        b += "<li><a href=\"" + ListFile(c, 1) + "\">" + content.CategoryAt(kSite, c).name + "<span>(" +
             std::to_string(content.BookCount(kSite, c)) + ")</span></a></li>\r\n";
    }
    b += "</ul>\r\n</div>\r\n<div class=\"booklist\"><h3>" + name + "</h3>\r\n<ul>\r\n";
    int size = content.options().pageSize;
    for (int pos = (page - 1) * size; pos < count && pos < page * size; ++pos) {
        Book book = content.BookAt(kSite, category, pos);
        b += "<li><a href=\"" + h.duowan + "/" + book.key + "index.html\" target=_blank>《" + book.title +
             "》</a> <span>" + book.author + "</span> " + book.updated + "</li>\r\n";
    }
    // Past the last page the next-page link names the last page itself.
    int next = page < pages ? page + 1 : pages;
    b += "</ul>\r\n</div>\r\n<table class=\"pager\"><tr><td align=\"left\"><a href=\"" +
         ListFile(category, next) + "\">下一页</a></td><td align=\"right\">第" + std::to_string(page) +
         "页 / 共" + std::to_string(pages) + "页 <a href=\"" + ListFile(category, 1) +
         "\">首页</a></td></tr></table>\r\n";
    b += PageFoot();
    return p;
}

Page ChapterListPage(const DemoContent& content, const Book& book) {
    Page p;
    p.markers = {"<div id=\"textlist\"", "<!-- end textlist -->", "文章简介"};
    std::string& b = p.body;
    b = PageHead(book.title + " - 多玩文学", false);
    b += "<div class=\"bookinfo\"><h1>" + book.title + "</h1><p>作者：" + book.author + "　状态：" +
         book.state + "　更新：" + book.updated + "</p>\r\n<h3>文章简介</h3>";
    if (!book.intro.empty()) b += "<br>" + JoinLines(book.intro, "\r\n") + "<br>";
    b += "<!-- end wzjj -->\r\n</div>\r\n<div id=\"textlist\">\r\n<ul>\r\n";
    for (int n = 1; n <= book.chapterCount; ++n) {
        Chapter ch = content.ChapterOf(book, n, false);
        b += "<li><a href=\"" + ch.url + "\">" + ch.title + "</a></li>\r\n";
    }
    b += "</ul>\r\n</div><!-- end textlist -->\r\n" + PageFoot();
    return p;
}

Page ChapterPage(const DemoContent& content, const Book& book, int number) {
    const SiteHosts& h = content.hosts();
    Chapter ch = content.ChapterOf(book, number);
    Page p;
    p.markers = {"<div id=\"text\" class=\"typetxt\">"};
    std::string& b = p.body;
    std::string index = h.duowan + "/" + book.key + "index.html";
    b = PageHead(ch.title + " - " + book.title, false);
    b += "<div class=\"nav\"><a href=\"" + index + "\">返回目录</a></div>\r\n";
    b += "<div id=\"text\" class=\"typetxt\">\r\n<h1>" + ch.title + "</h1>\r\n";
    for (size_t i = 0; i < ch.paragraphs.size(); ++i) {
        b += "　　" + ch.paragraphs[i] + "<br>\r\n";
        if (i == 0)
            for (const auto& pic : ch.pictures) b += "<img src='" + pic + "'><br>\r\n";
    }
    b += "</div>\r\n<div class=\"nav\">";
    if (number > 1) b += "<a href=\"" + content.ChapterOf(book, number - 1, false).url + "\">上一章</a> ";
    b += "<a href=\"" + index + "\">目录</a>";
    if (number < book.chapterCount)
        b += " <a href=\"" + content.ChapterOf(book, number + 1, false).url + "\">下一章</a>";
    b += "</div>\r\n" + PageFoot();
    return p;
}

// "all_3.html" or "c2_3.html" -> category and page.
bool ParseListFile(const std::string& file, int* category, int* page) {
    auto us = file.find('_');
    auto dot = file.rfind(".html");
    if (us == std::string::npos || dot == std::string::npos || dot < us || dot + 5 != file.size())
        return false;
    std::string head = file.substr(0, us);
    if (!ToInt(file.substr(us + 1, dot - us - 1), page) || *page < 1) return false;
    if (head == "all") {
        *category = kAllCategories;
        return true;
    }
    return head.size() > 1 && head[0] == 'c' && ToInt(head.substr(1), category) && (*category)-- > 0;
}

}  // namespace

Page DuowanPage(const DemoContent& content, const std::string& path) {
    auto parts = PathParts(path);
    if (path == "/" || path == "/index.html") return ListPage(content, kAllCategories, 1);
    if (parts.size() == 3 && parts[0] == "include" && parts[1] == "finish") {
        int category, page;
        if (ParseListFile(parts[2], &category, &page) &&
            (category == kAllCategories || category < content.CategoryCount(kSite)))
            return ListPage(content, category, page);
    }
    if (parts.size() == 4 && parts[0] == "book") {
        auto book = content.BookByKey(kSite, "book/" + parts[1] + "/" + parts[2] + "/");
        int number;
        if (book && parts[3] == "index.html") return ChapterListPage(content, *book);
        if (book && parts[3].size() > 5 && parts[3].compare(parts[3].size() - 5, 5, ".html") == 0 &&
            ToInt(parts[3].substr(0, parts[3].size() - 5), &number) && number >= 1 &&
            number <= book->chapterCount)
            return ChapterPage(content, *book, number);
    }
    if (!parts.empty() && parts[0] == "pics") return PicturePage(path);
    return ErrorPage(404, false);
}

Page DuowanSearchPage(const DemoContent& content, const std::string& target) {
    const SiteHosts& h = content.hosts();
    std::string keyword = SearchKeyword(target, "searchstr", false);
    std::vector<Book> found = IsValidUtf8(keyword) ? content.Search(kSite, keyword) : std::vector<Book>{};
    Page p;
    p.markers = {"关键字是："};
    std::string& b = p.body;
    std::string shown = IsValidUtf8(keyword) ? HtmlEscape(keyword) : "?";
    b = PageHead("多玩文学 - 搜索", false);
    b += "<div class=\"searchinfo\">搜索结果：关键字是：" + shown + "，共找到 " +
         std::to_string(found.size()) + " 本书</div>\r\n<ul class=\"result\">\r\n";
    for (const Book& book : found) {
        b += "<li><a href=\"" + h.duowan + "/" + book.key + "index.html\" target=\"_blank\">" +
             Highlight(book.title, keyword, "<font color=\"red\">", "</font>") + "</a> 作者：" + book.author +
             "</li>\r\n";
    }
    b += "</ul>\r\n";
    if (found.empty()) b += "<p>没有找到相关的书。</p>\r\n";
    b += PageFoot();
    return p;
}

}  // namespace talvenor::demo

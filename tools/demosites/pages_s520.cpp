// 小说520 (GBK): search and introductions on the main host, chapter lists
// and chapters on a host of their own.  Result links are site-relative
// paths, from which the program takes the book's key.
#include "demo_text.h"
#include "site_pages.h"

namespace talvenor::demo {

namespace {

const Site kSite = Site::S520;

std::string Number(const Book& book) {
    return book.key.substr(book.key.rfind('/') + 1);
}

Page SearchPage(const DemoContent& content, const std::string& target) {
    std::string keyword = SearchKeyword(target, "SearchKey", true);
    std::vector<Book> found = content.Search(kSite, keyword);
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"CListTitle\">"};
    std::string& b = p.body;
    b = PageHead("小说520 - 搜索结果", true);
    b += "<div class=\"tip\">搜索“" + HtmlEscape(keyword) + "”的结果：</div>\r\n";
    for (const Book& book : found) {
        std::string blurb = book.intro.empty() ? "暂无简介" : book.intro[0];
        b += "<div id=\"CListTitle\"><a href=\"/book/" + Number(book) +
             "/Index.aspx\" target=\"_blank\"><b>" + book.title + "</b></a> 作者：" + book.author +
             "</div>\r\n<div class=\"CListText\">" + blurb + " >>> <a href=\"/" + book.key +
             "/List.shtml\">开始阅读</a></div>\r\n";
    }
    if (found.empty()) b += "<p>没有找到相关的小说。</p>\r\n";
    b += PageFoot();
    return p;
}

Page IntroPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.markers = {"<td height=\"150\" valign=\"top\">"};
    std::string& b = p.body;
    b = PageHead(book.title + " - 小说520", true);
    b += "<table width=\"100%\"><tr><td><h1>" + book.title + "</h1>作者：" + book.author +
         "</td></tr>\r\n<tr><td height=\"150\" valign=\"top\">";
    for (const auto& line : book.intro) b += "&nbsp;&nbsp;" + line + "<br>\r\n";
    b += "</td></tr></table>\r\n<a href=\"" + content.ChapterListUrl(book) + "\">开始阅读</a>\r\n" +
         PageFoot();
    return p;
}

Page ChapterListPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.markers = {"<li>", "<div id=\"End\">"};
    std::string& b = p.body;
    b = PageHead(book.title + " - 小说520", true);
    b += "<h1>" + book.title + "</h1>\r\n<div id=\"ListBox\">\r\n<ul>\r\n";
    for (int n = 1; n <= book.chapterCount; ++n) {
        b += "<li><a href=\"" + std::to_string(n) + ".shtml\">" + content.ChapterOf(book, n, false).title +
             "</a></li>\r\n";
    }
    b += "</ul>\r\n</div>\r\n<div id=\"End\"></div>\r\n" + PageFoot();
    return p;
}

Page ChapterPage(const DemoContent& content, const Book& book, int number) {
    Chapter ch = content.ChapterOf(book, number);
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"BookText\">"};
    std::string& b = p.body;
    b = PageHead(ch.title + " - " + book.title + " - 小说520", true);
    b += "<h1>" + ch.title + "</h1>\r\n<div id=\"BookText\">" + ParagraphsHtml(ch.paragraphs) +
         "<SPAN class=\"hide\">本章完</SPAN></div>\r\n<div class=\"nav\"><a "
         "href=\"List.shtml\">返回目录</a></div>\r\n" +
         PageFoot();
    return p;
}

}  // namespace

Page S520Page(const DemoContent& content, const std::string& path, const std::string& target) {
    auto parts = PathParts(path);
    int n;
    if (path == "/Book/Search.aspx") return SearchPage(content, target);
    if (parts.size() == 3 && parts[0] == "book" && parts[2] == "Index.aspx" && ToInt(parts[1], &n)) {
        if (auto book = content.BookByKey(kSite, "html/" + std::to_string(n / 1000000) + "/" + parts[1]))
            return IntroPage(content, *book);
    }
    // The result links are relative to this host; it answers them as the
    // chapter host does.
    return S520ChaptersPage(content, path);
}

Page S520ChaptersPage(const DemoContent& content, const std::string& path) {
    auto parts = PathParts(path);
    int n;
    if (parts.size() == 4 && parts[0] == "html") {
        auto book = content.BookByKey(kSite, "html/" + parts[1] + "/" + parts[2]);
        if (book && parts[3] == "List.shtml") return ChapterListPage(content, *book);
        if (book && parts[3].size() > 6 && ToInt(parts[3].substr(0, parts[3].size() - 6), &n) && n >= 1 &&
            n <= book->chapterCount)
            return ChapterPage(content, *book, n);
    }
    return ErrorPage(404, true);
}

}  // namespace talvenor::demo

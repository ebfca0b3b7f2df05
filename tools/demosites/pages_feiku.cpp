// 飞库 (GBK): categories in three groups of two links per list item, book
// lists of one <ul> per book inside <div id="CrListText">, a page count in
// bold after "条 , 当前", chapter lists closed by an end marker after every
// volume, and picture chapters made of "frontdiv" blocks.
#include "demo_text.h"
#include "site_pages.h"
#include "words.h"

namespace talvenor::demo {

namespace {

const Site kSite = Site::Feiku;
constexpr int kVolumeSize = 100;

std::string Number(const Book& book) {
    return book.key.substr(book.key.rfind('/') + 1);
}

std::string CategoryLink(const DemoContent& content, int category) {
    return "<a href=\"/Book/LN/" + std::to_string(category + 1) + ".html\">" +
           content.CategoryAt(kSite, category).name + "</a>";
}

Page CategoriesPage(const DemoContent& content) {
    Page p;
    p.gbk = true;
    p.markers = {"id=\"sub2\""};
    std::string& b = p.body;
    b = PageHead("飞库 - 全本书库", true);
    b += "<div id=\"sub2\">\r\n";
    int count = content.CategoryCount(kSite);
    int c = 0;
    for (int g = 0; g < 3; ++g) {
        b += "<h3>" + FeikuGroupName(g) + "</h3>\r\n<ul>\r\n";
        int group, within;
        while (c < count && (content.FeikuGroupOf(c, &group, &within), group == g)) {
            b += "<li>" + CategoryLink(content, c);
            if (c + 1 < count && (content.FeikuGroupOf(c + 1, &group, &within), group == g)) {
                b += CategoryLink(content, c + 1);
                ++c;
            }
            b += "</li>\r\n";
            ++c;
        }
        b += "</ul>\r\n";
    }
    // A link after the groups: an item with a single link at the end of the
    // last group must not pick up anything before it.
    b += "</div>\r\n<div class=\"hot\">热门分类：" + CategoryLink(content, 0) + "</div>\r\n" + PageFoot();
    return p;
}

Page ListPage(const DemoContent& content, int category, int page) {
    int count = content.BookCount(kSite, category);
    int pages = content.ListPageCount(kSite, category);
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"CrListText\">"};
    std::string& b = p.body;
    std::string name = content.CategoryAt(kSite, category).name;
    b = PageHead(name + " - 飞库 - 第" + std::to_string(page) + "页", true);
    b += "<div id=\"CrListTitle\">书名 | 最新章节 | 更新时间 | 作者 | 状态</div>\r\n";
    if (page > pages) {
        // No list at all past the last page: the program stops there.
        b += "<p>没有这一页。</p>\r\n" + PageFoot();
        return p;
    }
    b += "<div id=\"CrListText\">\r\n";
    int size = content.options().pageSize;
    for (int pos = (page - 1) * size; pos < count && pos < page * size; ++pos) {
        Book book = content.BookAt(kSite, category, pos);
        b += "<ul><li class=\"li1\">" + std::to_string(pos + 1) +
             "</li><li class=\"li2\"><a target=_blank href=\"/" + book.key +
             "/List.shtm\">[目录]</a><a target=_blank href=\"/book/" + Number(book) + "/Index.html\">" +
             book.title + "</a></li><li class=\"li3\"><a target=_blank href=\"/" + book.key + "/" +
             std::to_string(book.chapterCount) + ".shtm\">" + book.latestChapter +
             "</a></li><li class=\"li4\">" + book.updated + "</li><li class=\"li5\"><a href=\"/Author/" +
             std::to_string(Mix(book.id) % 9000 + 1000) + ".html\">" + book.author +
             "</a></li><li class=\"li6\">&nbsp;" + book.state + "</li></ul>\r\n";
    }
    b += "</div>\r\n<div id=\"CrListPage\">共" + std::to_string(count) + "条 , 当前第<font color=\"red\">" +
         std::to_string(page) + "</font>页 共<b>" + std::to_string(pages) + "</b>页 ";
    std::string base = "/Book/ShowBookList.aspx?nclassid=" + std::to_string(category + 1) + "&page=";
    b += "<a href=\"" + base + "1\">首页</a> <a href=\"" + base + std::to_string(std::max(1, page - 1)) +
         "\">上一页</a> <a href=\"" + base + std::to_string(std::min(pages, page + 1)) +
         "\">下一页</a> <a href=\"" + base + std::to_string(pages) + "\">尾页</a></div>\r\n" + PageFoot();
    return p;
}

Page ChapterListPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"feiku_chaplist\">", "<div id=\"feiku_e_n_d\">"};
    std::string& b = p.body;
    b = PageHead(book.title + " - 飞库", true);
    b += "<h1>" + book.title + "</h1>\r\n<div class=\"info\">作者：" + book.author + "　" + book.state +
         "</div>\r\n<div id=\"feiku_chaplist\">\r\n";
    for (int n = 1; n <= book.chapterCount; ++n) {
        if ((n - 1) % kVolumeSize == 0)
            b += "<h3>第" + std::to_string((n - 1) / kVolumeSize + 1) + "卷</h3>\r\n<ul>\r\n";
        b += "<li><a href=\"" + std::to_string(n) + ".shtm\">" + content.ChapterOf(book, n, false).title +
             "</a></li>\r\n";
        if (n % kVolumeSize == 0 || n == book.chapterCount)
            b += "</ul>\r\n<div id=\"feiku_e_n_d\"></div>\r\n";
    }
    b += "</div>\r\n" + PageFoot();
    return p;
}

Page ChapterPage(const DemoContent& content, const Book& book, int number) {
    Chapter ch = content.ChapterOf(book, number);
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"BookText\">", "<div id=\"frontdiv\""};
    std::string& b = p.body;
    b = PageHead(ch.title + " - " + book.title + " - 飞库", true);
    b += "<h1>" + ch.title + "</h1>\r\n";
    if (ch.pictures.empty()) b += "<div id=\"BookText\">" + ParagraphsHtml(ch.paragraphs) + "</div>\r\n";
    const std::string base = content.hosts().feiku;
    for (size_t k = 0; k < ch.pictures.size(); ++k) {
        // The first picture is addressed relative to the site, the others in full.
        std::string src = k == 0 ? ch.pictures[k].substr(base.size()) : ch.pictures[k];
        b += "<div id=\"frontdiv\" class=\"pic\"><div align=\"center\"><img src=\"" + src +
             "\" border=\"0\"></div></div>\r\n";
    }
    b += "<div class=\"nav\"><a href=\"List.shtm\">返回目录</a></div>\r\n" + PageFoot();
    return p;
}

Page IntroPage(const DemoContent& content, const Book& book) {
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"CrbsSum\">"};
    std::string& b = p.body;
    b = PageHead(book.title + " - 飞库", true);
    b += "<h1>" + book.title + "</h1>\r\n<div class=\"bookinfo\">作者：" + book.author + "　更新：" +
         book.updated + "</div>\r\n<div id=\"CrbsSum\">";
    for (const auto& line : book.intro) b += "&nbsp;&nbsp;&nbsp;&nbsp;" + line + "<br />\r\n";
    b += "</div>\r\n<a href=\"/" + book.key + "/List.shtm\">开始阅读</a>\r\n" + PageFoot();
    (void)content;
    return p;
}

std::optional<Book> BookFromNumber(const DemoContent& content, const std::string& number) {
    int n;
    if (!ToInt(number, &n)) return std::nullopt;
    return content.BookByKey(kSite, "files/" + std::to_string(n / 1000000) + "/" + number);
}

}  // namespace

Page FeikuPage(const DemoContent& content, const std::string& path, const std::string& target) {
    auto parts = PathParts(path);
    int n;
    int categories = content.CategoryCount(kSite);
    if (path == "/Book/ShowBookOver.aspx" || path == "/") return CategoriesPage(content);
    if (path == "/Book/ShowBookList.aspx") {
        int category, page;
        if (!ToInt(RawQueryParam(target, "nclassid"), &category) || category < 1 || category > categories)
            return ErrorPage(404, true);
        if (!ToInt(RawQueryParam(target, "page"), &page) || page < 1) page = 1;
        return ListPage(content, category - 1, page);
    }
    if (parts.size() == 3 && parts[0] == "Book" && parts[1] == "LN" && parts[2].size() > 5 &&
        ToInt(parts[2].substr(0, parts[2].size() - 5), &n) && n >= 1 && n <= categories)
        return ListPage(content, n - 1, 1);
    if (parts.size() == 4 && parts[0] == "files") {
        auto book = content.BookByKey(kSite, "files/" + parts[1] + "/" + parts[2]);
        if (book && parts[3] == "List.shtm") return ChapterListPage(content, *book);
        if (book && parts[3].size() > 5 && ToInt(parts[3].substr(0, parts[3].size() - 5), &n) && n >= 1 &&
            n <= book->chapterCount)
            return ChapterPage(content, *book, n);
    }
    if (parts.size() == 3 && parts[0] == "book" && parts[2] == "Index.html") {
        if (auto book = BookFromNumber(content, parts[1])) return IntroPage(content, *book);
    }
    if (!parts.empty() && parts[0] == "pics") return PicturePage(path);
    return ErrorPage(404, true);
}

Page FeikuSearchPage(const DemoContent& content, const std::string& target) {
    std::string keyword = SearchKeyword(target, "SearchKey", true);
    std::vector<Book> found = content.Search(kSite, keyword);
    Page p;
    p.gbk = true;
    p.markers = {"<div id=\"CListTitle\">"};
    std::string& b = p.body;
    b = PageHead("飞库 - 搜索结果", true);
    b += "<div class=\"searchtip\">搜索“" + HtmlEscape(keyword) + "”共找到 " + std::to_string(found.size()) +
         " 本</div>\r\n";
    for (const Book& book : found) {
        b += "<div id=\"CListTitle\"><a href=\"" + content.hosts().feiku + "/book/" + Number(book) +
             "/Index.html\" target=\"_blank\"><b>" + book.title + "</b></a> 作者：" + book.author +
             "</div>\r\n<div class=\"CListText\">最新章节：" + book.latestChapter + " >>> <a href=\"/" +
             book.key + "/List.shtm\">开始阅读</a></div>\r\n";
    }
    if (found.empty()) b += "<p>对不起，没有找到相关的书。</p>\r\n";
    b += PageFoot();
    return p;
}

}  // namespace talvenor::demo

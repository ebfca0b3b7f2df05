// Pages outside the five sites that the catalogue window opens in the web
// browser: the program's forum and the two book shops' searches.
#include "site_pages.h"

namespace talvenor::demo {

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

Page Html(const std::string& title, const std::string& body) {
    Page p;
    p.gbk = true;
    p.body = PageHead(title, true) + "<h1>" + title + "</h1>\r\n" + body + PageFoot();
    return p;
}

// A few printed books that hold the keyword, invented like everything here.
std::string ShopResults(const std::string& keyword, const std::string& shop) {
    if (keyword.empty()) return "<p>请输入关键词。</p>\r\n";
    std::string out = "<p>" + shop + "为您找到以下与“" + Escape(keyword) + "”有关的图书：</p>\r\n<ol>\r\n";
    const char* const kinds[] = {"（精装典藏版）", "（全三册）", "（插图本）"};
    for (const char* kind : kinds) out += "<li>《" + Escape(keyword) + kind + "》</li>\r\n";
    return out + "</ol>\r\n";
}

}  // namespace

Page ForumPage(const std::string& path) {
    if (path == "/" || path == "/index.php")
        return Html("Talvenor读书论坛",
                    "<ul>\r\n<li>Talvenor 全本小说阅读器 V1.4.3.2 发布：更快的目录，更多皮肤</li>\r\n"
                    "<li><a href=\"/forumdisplay.php?fid=2\">小说推荐</a></li>\r\n</ul>\r\n");
    if (path == "/forumdisplay.php")
        return Html("小说推荐",
                    "<ul>\r\n<li>本周完本：《江湖夜雨十年灯》</li>\r\n"
                    "<li>书友推荐：《星河彼岸》</li>\r\n<li>编辑推荐：《长安古意》</li>\r\n</ul>\r\n");
    return ErrorPage(404, true);
}

Page ShopPage(const std::string& path, const std::string& target, bool dangdang) {
    if (!dangdang && path == "/search/search.asp")
        return Html("卓越网 图书搜索", ShopResults(SearchKeyword(target, "searchWord", true), "卓越网"));
    if (dangdang && path == "/league/leagueref.asp") {
        // The partner page sends the reader on to the address after backurl=.
        Page p;
        p.status = 302;
        const auto at = target.find("backurl=");
        p.location = at == std::string::npos ? "/" : target.substr(at + 8);
        return p;
    }
    if (dangdang && path == "/search.aspx")
        return Html("当当网 图书搜索", ShopResults(SearchKeyword(target, "key", true), "当当网"));
    return ErrorPage(404, true);
}

}  // namespace talvenor::demo

#include "demo_text.h"
#include "site_pages.h"

namespace talvenor::demo {

std::string PageHead(const std::string& title, bool gbk) {
    return std::string(
               "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=") +
           (gbk ? "gbk" : "utf-8") +
           "\">\r\n"
           "<style type=\"text/css\">body{font-size:14px;margin:0 auto;width:960px}a{color:#036}"
           "h1{font-size:20px}</style>\r\n"
           "<title>" +
           HtmlEscape(title) + "</title>\r\n</head>\r\n<body>\r\n";
}

std::string PageFoot() {
    return "<div class=\"foot\">本站为 Talvenor "
           "演示站点，所有内容均由程序生成。</div>\r\n</body>\r\n</html>\r\n";
}

std::string ParagraphsHtml(const std::vector<std::string>& paragraphs) {
    std::string html;
    for (const auto& p : paragraphs) html += "　　" + p + "<br>\r\n";
    return html;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& separator) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += separator;
        out += lines[i];
    }
    return out;
}

std::string Highlight(const std::string& title, const std::string& keyword, const std::string& open,
                      const std::string& close) {
    std::string out = title;
    ReplaceAll(out, keyword, open + keyword + close);
    return out;
}

std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t b = path.empty() || path[0] != '/' ? 0 : 1;
    while (b <= path.size()) {
        size_t e = path.find('/', b);
        if (e == std::string::npos) e = path.size();
        parts.push_back(path.substr(b, e - b));
        b = e + 1;
    }
    return parts;
}

bool ToInt(const std::string& text, int* value) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

std::string SearchKeyword(const std::string& target, const std::string& param, bool gbk) {
    std::string bytes = PercentDecode(RawQueryParam(target, param));
    return gbk ? GbkToUtf8(bytes) : bytes;
}

Page ErrorPage(int status, bool gbk) {
    Page page;
    page.status = status;
    page.gbk = gbk;
    std::string what = status == 404 ? "找不到您要访问的页面" : "服务器暂时无法处理您的请求";
    page.body = PageHead(std::to_string(status) + " 错误", gbk) + "<h1>" + std::to_string(status) +
                " 错误</h1>\r\n<p>" + what + "，请稍后再试。</p>\r\n" + PageFoot();
    return page;
}

Page PicturePage(const std::string& path) {
    Page page;
    page.html = false;
    page.mimeType = "image/gif";
    uint64_t seed = 0;
    for (unsigned char c : path) seed = seed * 131 + c;
    page.body = TinyGif(seed);
    return page;
}

Page BuildPage(const DemoContent& content, const std::string& host, const std::string& target) {
    const SiteHosts& h = content.hosts();
    std::string path = target.substr(0, target.find('?'));
    auto is = [&host](const std::string& base) { return host == SiteHosts::HostName(base); };
    if (is(h.duowan)) return DuowanPage(content, path);
    if (is(h.duowanSearch)) return DuowanSearchPage(content, target);
    if (is(h.readnovel)) return ReadnovelPage(content, path);
    if (is(h.searchEngine)) return SearchEnginePage(content, target);
    if (is(h.xs8)) return Xs8Page(content, path, target);
    if (is(h.xs8Forum)) return Xs8ForumPage();
    // The search host of 飞库 also serves the site's own pages, so that the
    // relative links of its result page lead somewhere.
    if (is(h.feikuSearch)) {
        if (path == "/book/search.aspx") return FeikuSearchPage(content, target);
        return FeikuPage(content, path, target);
    }
    if (is(h.feiku)) return FeikuPage(content, path, target);
    if (is(h.s520)) return S520Page(content, path, target);
    if (is(h.s520Chapters)) return S520ChaptersPage(content, path);
    if (is(content.qingdeng())) return QingdengPage(content, path, target);
    if (is(h.counter) && path == "/cf.aspx") return PicturePage(target);
    if (is(h.forum)) return ForumPage(path);
    if (is(h.zhuoyue) || is(h.dangdang)) return ShopPage(path, target, is(h.dangdang));
    return ErrorPage(404, false);
}

}  // namespace talvenor::demo

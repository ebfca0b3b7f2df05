#include "demo_test_support.h"

#include <curl/curl.h>

namespace talvenor::demo::test {

namespace {

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

std::string Base(const SiteHosts& hosts, Site site) {
    switch (site) {
        case Site::Qingdeng:  // an added site: read by its rule file, not here
            break;
        case Site::Duowan:
            return hosts.duowan;
        case Site::Readnovel:
            return hosts.readnovel;
        case Site::Xs8:
            return hosts.xs8;
        case Site::Feiku:
            return hosts.feiku;
        case Site::S520:
            return hosts.s520Chapters;
    }
    return "";
}

// 多玩's pages are scanned as GBK, after conversion.
std::string AsScanned(Site site, const std::string& page) {
    return site == Site::Duowan ? G(page) : page;
}

}  // namespace

Response Fetch(const std::string& url, const FetchOptions& options) {
    Response r;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, options.follow ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 30L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (!options.cookieFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, options.cookieFile.c_str());
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, options.cookieFile.c_str());
    }
    r.curlCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
    char* type = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
    if (type) r.contentType = type;
    curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME, &r.seconds);
    curl_easy_cleanup(curl);
    return r;
}

int FindMarker(const std::string& marker, const std::string& text, int from) {
    if (from < 0) from = 0;
    if (marker.empty() || from > static_cast<int>(text.size()) - 1) return -1;
    auto p = text.find(marker, static_cast<size_t>(from));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

std::string CutBetween(const std::string& text, const std::string& start, const std::string& end, int& pos) {
    int s = FindMarker(start, text, pos);
    int contentStart = s + static_cast<int>(start.size());
    int e = FindMarker(end, text, contentStart);
    pos = e;
    int count = e - contentStart;
    if (count <= 0 || contentStart >= static_cast<int>(text.size())) return "";
    return text.substr(static_cast<size_t>(contentStart), static_cast<size_t>(count));
}

void StripTags(std::string& s) {
    size_t i = 0;
    size_t t = std::string::npos;
    while (i < s.size()) {
        if (s[i] == '<') {
            t = i;
        } else if (s[i] == '>' && t != std::string::npos) {
            s.erase(t, i - t + 1);
            i = t;
            t = std::string::npos;
            continue;
        }
        ++i;
    }
}

void Trim(std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    s = s.substr(b, e - b);
}

void EraseAll(std::string& s, const std::string& word) {
    for (auto p = s.find(word); p != std::string::npos; p = s.find(word)) s.erase(p, word.size());
}

std::vector<Entry> WalkCategories(Site site, const std::string& served, const SiteHosts& hosts) {
    const std::string page = AsScanned(site, served);
    std::vector<Entry> out;
    int pos;
    switch (site) {
        case Site::Duowan: {
            out.push_back({"所有分类", hosts.duowan + "/include/finish/all_1.html"});
            int s = FindMarker(G("分类目录"), page, 100);
            int end = FindMarker("</ul>", page, s);
            pos = FindMarker("<li>", page, s);
            while (pos >= 0 && pos < end) {
                std::string href = CutBetween(page, "href=\"", "\"", pos);
                std::string name = CutBetween(page, ">", "<span>", pos);
                out.push_back({U(name), hosts.duowan + "/include/finish/" + href});
                pos = FindMarker("<li>", page, pos);
            }
            break;
        }
        case Site::Readnovel: {
            pos = FindMarker(G("分类阅读"), page, 100);
            for (int i = 0; i < 11; ++i) {
                std::string href = CutBetween(page, "<a href=\"", "\"", pos);
                std::string name =
                    i < 10 ? CutBetween(page, ">", "<", pos) : CutBetween(page, "<strong>", "</strong>", pos);
                out.push_back({U(name), hosts.readnovel + href});
            }
            break;
        }
        case Site::Feiku: {
            const char* prefixes[] = {"网络原创-", "经典文学-", "生活科教-"};
            pos = FindMarker("id=\"sub2\"", page, 100);
            for (const char* prefix : prefixes) {
                int end = FindMarker("</ul>", page, pos);
                pos = FindMarker("<li>", page, pos);
                while (pos >= 0 && pos < end) {
                    for (int twice = 0; twice < 2; ++twice) {
                        std::string key = CutBetween(page, "/Book/LN/", ".html", pos);
                        if (!key.empty() && key[0] == '/') key.erase(0, 1);
                        if (pos > end) break;
                        std::string name = CutBetween(page, ">", "</a>", pos);
                        out.push_back({prefix + U(name), key});
                    }
                    pos = FindMarker("<li>", page, pos);
                }
                pos = end + 4;
            }
            break;
        }
        default:
            break;
    }
    return out;
}

std::vector<Entry> WalkChapterList(Site site, const std::string& served, const SiteHosts& hosts,
                                   const std::string& key) {
    const std::string page = AsScanned(site, served);
    const std::string base = Base(hosts, site);
    std::vector<Entry> out;
    switch (site) {
        case Site::Qingdeng:  // an added site: read by its rule file, not here
            break;
        case Site::Duowan: {
            int s = FindMarker("<div id=\"textlist\"", page, 100);
            int end = FindMarker("<!-- end textlist -->", page, s);
            int pos = FindMarker("<li>", page, s);
            while (pos >= 0 && pos < end) {
                std::string url = CutBetween(page, "<a href=\"", "\"", pos);
                std::string title = CutBetween(page, ">", "</a>", pos);
                EraseAll(title, "&nbsp;");
                Trim(title);
                out.push_back({U(title), url});
                pos = FindMarker("<li>", page, pos);
            }
            break;
        }
        case Site::Readnovel: {
            int s = FindMarker("mulu", page, 100);
            if (s < 0) return {{"没有章节", "about:blank"}};
            int pos = s;
            while (true) {
                std::string url = CutBetween(page, "<li><a href=\"", "\"", pos);
                if (pos < s) break;
                std::string title = CutBetween(page, ">", "<", pos);
                out.push_back({U(title), url});
                if (title.empty()) break;
            }
            break;
        }
        case Site::Xs8: {
            int s = FindMarker(G("[书籍简介]"), page, 100);
            int c1 = FindMarker("<!--", page, s), c2 = FindMarker("-->", page, s);
            int pos = FindMarker(G("·"), page, s);
            while (pos > 0 && out.size() < 100000) {
                std::string piece = CutBetween(page, "/love", ".html", pos);
                if (pos < s) break;
                if (pos <= c1) {
                    std::string title = CutBetween(page, ">", "</a>", pos);
                    // The program's link-text cleaning drops blanks.
                    EraseAll(title, " ");
                    out.push_back({U(title), base + "/love" + piece + ".html"});
                    pos = FindMarker(G("·"), page, pos);
                } else if (pos < c2) {
                    c1 = FindMarker("<!--", page, pos);
                    c2 = FindMarker("-->", page, pos);
                }
            }
            break;
        }
        case Site::Feiku: {
            const std::string endMarker = "<div id=\"feiku_e_n_d\">";
            int s = FindMarker("<div id=\"feiku_chaplist\">", page, 100);
            int b = s;
            for (int e = FindMarker(endMarker, page, s); e >= 0; e = FindMarker(endMarker, page, e + 1))
                b = e + static_cast<int>(endMarker.size());
            int pos = FindMarker("<li><a", page, s);
            while (pos < b && pos > 0) {
                std::string piece = CutBetween(page, "href=\"", ".shtm", pos);
                std::string title = CutBetween(page, "\">", "</a>", pos);
                if (pos < 0) break;
                out.push_back({U(title), base + "/" + key + "/" + piece + ".shtm"});
                pos = FindMarker("<li><a", page, pos);
            }
            break;
        }
        case Site::S520: {
            int pos = FindMarker("<li>", page, 100), last = pos;
            int end = FindMarker("<div id=\"End\">", page, pos);
            while (pos > 0 && pos < end) {
                std::string piece = CutBetween(page, "<a href=\"", ".shtml", pos);
                std::string title = CutBetween(page, "\">", "</a>", pos);
                out.push_back({U(title), base + "/" + key + "/" + piece + ".shtml"});
                pos = FindMarker("<li>", page, pos);
                if (pos < last) break;
                last = pos;
            }
            break;
        }
    }
    return out;
}

std::string CutChapterText(Site site, const std::string& served, const SiteHosts& hosts) {
    const std::string page = AsScanned(site, served);
    int pos = 100;
    switch (site) {
        case Site::Qingdeng:  // an added site: read by its rule file, not here
            break;
        case Site::Duowan: {
            int p = FindMarker("<div id=\"text\" class=\"typetxt\">", page, 100);
            if (p < 0) return "连接失败，请尝试刷新或重新运行程序";
            return U(CutBetween(page, "</h1>", "</div>", p));
        }
        case Site::Readnovel:
            return U(CutBetween(page, "</iframe>", "</div>", pos));
        case Site::Xs8:
            return U(CutBetween(page, "<td height=70 align=center>", "<a href=\"" + hosts.xs8Forum, pos));
        case Site::S520:
            return U(CutBetween(page, "<div id=\"BookText\">", "<SPAN", pos));
        case Site::Feiku: {
            const std::string front = "<div id=\"frontdiv\"";
            if (page.find(front) == std::string::npos)
                return U(CutBetween(page, "<div id=\"BookText\">", "</div>", pos));
            std::string content;
            int ref = 100;
            pos = FindMarker(front, page, 100);
            if (pos <= ref) return "解码失败，请与软件作者联系";
            while (pos > 0) {
                std::string block = CutBetween(page, "<div align=\"center\">", "</div>", pos);
                if (block.find(SiteHosts::HostName(hosts.feiku)) == std::string::npos) {
                    auto src = block.find("src=\"");
                    block.insert(src == std::string::npos ? 4 : src + 5, hosts.feiku);
                }
                content += block;
                if (pos < ref) return "解码失败，请与软件作者联系";
                ref = pos;
                pos = FindMarker(front, page, pos);
            }
            return U(content);
        }
    }
    return "";
}

std::string CutIntroduction(Site site, const std::string& served) {
    const std::string page = AsScanned(site, served);
    std::string text;
    int pos = 100;
    switch (site) {
        case Site::Qingdeng:  // an added site: read by its rule file, not here
            break;
        case Site::Duowan: {
            int s = FindMarker(G("文章简介"), page, 100);
            int e = FindMarker("<!-- end wzjj -->", page, s);
            int r = FindMarker("<br>", page, s);
            if (r < e) text = CutBetween(page, "<br>", "<br>", s);
            break;
        }
        case Site::Readnovel: {
            int p = FindMarker(G("书籍简介"), page, 100);
            int e = FindMarker(G("<!--结束书的参数-->"), page, p);
            text = CutBetween(page, "</strong>", "<br />", p);
            if (e > 0 && e < p) text.clear();
            break;
        }
        case Site::Xs8:
            text = CutBetween(page, G("[书籍简介]"), "</table>", pos);
            StripTags(text);
            break;
        case Site::Feiku:
            text = CutBetween(page, "<div id=\"CrbsSum\">", "</div>", pos);
            StripTags(text);
            EraseAll(text, "&nbsp;");
            break;
        case Site::S520:
            text = CutBetween(page, "<td height=\"150\" valign=\"top\">", "</td>", pos);
            StripTags(text);
            EraseAll(text, "&nbsp;");
            break;
    }
    return U(text);
}

std::vector<Entry> WalkSearch(Site site, const std::string& served, const SiteHosts& hosts, bool* found) {
    const std::string page = AsScanned(site, served);
    std::vector<Entry> out;
    bool ok = false;
    int p = 100, a = 100;
    switch (site) {
        case Site::Qingdeng:  // an added site: read by its rule file, not here
            break;
        case Site::S520: {
            p = FindMarker("<div id=\"CListTitle\">", page, 100);
            if (p < 0) break;
            while (p > 0) {
                std::string name = CutBetween(page, "<b>", "</b>", p);
                p = FindMarker(">>>", page, p);
                std::string link = CutBetween(page, "<a href=\"", ".shtml", p);
                auto slash = link.rfind('/');
                std::string path = slash == std::string::npos ? link : link.substr(1, slash - 1);
                out.push_back({U(name), "[520]" + path});
                p = FindMarker("<div id=\"CListTitle\">", page, p);
            }
            ok = true;
            break;
        }
        case Site::Duowan: {
            int b = FindMarker(G("关键字是："), page, 100);
            if (b <= 0) break;
            p = b;
            while (true) {
                p = FindMarker("<li>", page, p);
                if (p < 0) {
                    ok = !out.empty();
                    break;
                }
                std::string key = CutBetween(page, "<a href=\"" + hosts.duowan + "/", "index.html\"", p);
                std::string title = CutBetween(page, "\"_blank\">", "</a>", p);
                StripTags(title);
                out.push_back({U(title), key});
                if (p <= 0) break;
            }
            break;
        }
        case Site::Feiku:
            while (true) {
                p = FindMarker("<div id=\"CListTitle\">", page, p);
                if (p < a) {
                    ok = !out.empty();
                    break;
                }
                std::string title = CutBetween(page, "<b>", "</b>", p);
                if (p < a) break;
                a = p;
                std::string link = CutBetween(page, ">>> <a href=\"/", ".shtm", p);
                if (p < a) break;
                a = p;
                out.push_back({U(title), "[feiku]" + link.substr(0, link.rfind('/'))});
                if (p <= 0) break;
            }
            break;
        case Site::Readnovel: {
            std::string host = hosts.readnovel;
            std::string marker = "<a href=\"" + host.substr(0, host.rfind('.'));
            while (true) {
                p = FindMarker(marker, page, p);
                if (p < a) {
                    ok = !out.empty();
                    break;
                }
                std::string number = CutBetween(page, "novel/", "/", p);
                if (p < a) break;
                a = p;
                std::string title = CutBetween(page, G("-《"), G("》"), p);
                StripTags(title);
                if (p < a) break;
                a = p;
                out.push_back({U(title), "[rdn]" + number});
                if (p <= 0) break;
            }
            break;
        }
        case Site::Xs8: {
            int b = FindMarker(G("点击数"), page, 100);
            p = FindMarker(G("·"), page, b);
            a = p;
            while (p > 0) {
                std::string number = CutBetween(page, "\"/love/", "/index.html", p);
                if (p < a) break;
                a = p;
                std::string title = CutBetween(page, "\">", "</a>", p);
                if (p < a) break;
                a = p;
                Trim(title);
                out.push_back({U(title), "[xs8]" + number});
                p = FindMarker(G("·"), page, p);
            }
            break;
        }
    }
    if (found) *found = ok;
    return out;
}

}  // namespace talvenor::demo::test

// The pages of the demo sites, built from the content on request.
//
// Every page starts with a head of well over 100 bytes that holds no marker,
// because the program's scrapers begin most searches at index 100.
#pragma once

#include <string>
#include <vector>

#include "demo_content.h"

namespace talvenor::demo {

struct Page {
    int status = 200;
    std::string body;  // HTML pages: UTF-8 until sent; pictures: the bytes
    bool html = true;
    bool gbk = false;  // converted to GBK when sent
    std::string mimeType = "text/html";
    // The page's list or content markers: what the missing-marker fault removes.
    std::vector<std::string> markers;
    std::string location;  // for redirects
};

// The page for a request to host (name without port) and target (path and
// query, as sent).  Unknown hosts and paths give a 404 page.
Page BuildPage(const DemoContent& content, const std::string& host, const std::string& target);

Page ErrorPage(int status, bool gbk);
Page PicturePage(const std::string& path);

// Per host group; path is the target without its query.
Page DuowanPage(const DemoContent& content, const std::string& path);
Page DuowanSearchPage(const DemoContent& content, const std::string& target);
Page ReadnovelPage(const DemoContent& content, const std::string& path);
Page SearchEnginePage(const DemoContent& content, const std::string& target);
Page Xs8Page(const DemoContent& content, const std::string& path, const std::string& target);
Page Xs8ForumPage();
Page FeikuPage(const DemoContent& content, const std::string& path, const std::string& target);
Page FeikuSearchPage(const DemoContent& content, const std::string& target);
Page S520Page(const DemoContent& content, const std::string& path, const std::string& target);
Page S520ChaptersPage(const DemoContent& content, const std::string& path);
// 青灯书屋, the site read from a user's rule file.
Page QingdengPage(const DemoContent& content, const std::string& path, const std::string& target);
// The program's forum and the book shops (opened in the web browser).
Page ForumPage(const std::string& path);
Page ShopPage(const std::string& path, const std::string& target, bool dangdang);

// Shared pieces.
std::string PageHead(const std::string& title, bool gbk);
std::string PageFoot();
// Paragraphs as the chapter pages show them: indented, each ended by <br>.
std::string ParagraphsHtml(const std::vector<std::string>& paragraphs);
std::string JoinLines(const std::vector<std::string>& lines, const std::string& separator);
// Wraps every occurrence of keyword in title with open and close.
std::string Highlight(const std::string& title, const std::string& keyword, const std::string& open,
                      const std::string& close);
// "/a/b/c" -> {"a", "b", "c"}; a trailing "/" gives a last empty part.
std::vector<std::string> PathParts(const std::string& path);
bool ToInt(const std::string& text, int* value);
// The keyword of a search request: the raw parameter, percent-decoded,
// taken as GBK (converted to UTF-8) or as UTF-8.
std::string SearchKeyword(const std::string& target, const std::string& param, bool gbk);

}  // namespace talvenor::demo

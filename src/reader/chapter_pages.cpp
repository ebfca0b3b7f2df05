#include "reader/chapter_pages.h"

#include <atomic>

#include "catalogue/sites.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/markers.h"

namespace talvenor {

namespace {

std::atomic<unsigned long> gWithoutText{0};

void Filter(std::string& content, const ReaderPrefs& prefs) {
    if (prefs.N25.checked) RemoveAll(content, prefs.FilterWord);
}

void Count(bool found) {
    if (!found) ++gWithoutText;
}

}  // namespace

bool HasPiece(const std::string& text, const std::string& start, const std::string& end, int from) {
    const int at = FindMarker(start, text, from);
    return at >= 0 && FindMarker(end, text, at + static_cast<int>(start.size())) >= 0;
}

unsigned long ChaptersWithoutText() {
    return gWithoutText.load();
}

ReadnovelChapter ReadnovelChapterPage(const std::string& page, bool first, const ReaderPrefs& prefs) {
    ReadnovelChapter out;
    static const std::string kTimeout = G("超时");
    if (FindMarker(kTimeout, page, 0) >= 0) {
        out.content = page;  // the failure text, or a page that happens to hold the word
        out.cut = false;
        return out;
    }
    static const std::string kNoticeStart = G("<!--站内公告开始-->"), kNoticeEnd = G("<!--站内公告结束-->");
    int pos = 100;
    if (first) {
        Count(HasPiece(page, kNoticeStart, kNoticeEnd, pos));
        out.content = CutBetween(page, kNoticeStart, kNoticeEnd, pos);
    } else {
        Count(HasPiece(page, "</iframe>", "</div>", pos));
        out.content = CutBetween(page, "</iframe>", "</div>", pos);
        Filter(out.content, prefs);
    }
    return out;
}

std::string DuowanChapterPage(const std::string& utf8Page, const ReaderPrefs& prefs) {
    const std::string page = DecodeUtf8Page(utf8Page);
    int p = FindMarker("<div id=\"text\" class=\"typetxt\">", page, 100);
    std::string content;
    Count(p >= 0 && HasPiece(page, "</h1>", "</div>", p));
    if (p < 0) {
        content = G("连接失败，请尝试刷新或重新运行程序");
    } else {
        content = CutBetween(page, "</h1>", "</div>", p);
    }
    Filter(content, prefs);
    return content;
}

std::string Xs8ChapterPage(const std::string& page, bool first, const std::string& forumBase,
                           const ReaderPrefs& prefs) {
    std::string content;
    int pos = 100;
    if (first) {
        Count(HasPiece(page, G("[书籍简介]"), "</table>", pos));
        content = CutBetween(page, G("[书籍简介]"), "</table>", pos);
        StripTags(content);
    } else {
        const std::string end = "<a href=\"" + forumBase;
        Count(HasPiece(page, "<td height=70 align=center>", end, pos));
        content = CutBetween(page, "<td height=70 align=center>", end, pos);
        Filter(content, prefs);
    }
    return content;
}

std::string FeikuChapterPage(const std::string& page, const std::string& feikuBase,
                             const ReaderPrefs& prefs) {
    static const std::string kFront = "<div id=\"frontdiv\"";
    static const std::string kDecodeFailed = G("解码失败，请与软件作者联系");
    std::string content;
    int ref = 100;
    if (FindMarker(kFront, page, 0) < 0) {
        // A text chapter.
        int pos = 100;
        Count(HasPiece(page, "<div id=\"BookText\">", "</div>", pos));
        content = CutBetween(page, "<div id=\"BookText\">", "</div>", pos);
    } else {
        // A picture chapter: the picture blocks after each marker, in page order.
        int pos = FindMarker(kFront, page, 100);
        if (pos <= ref) {
            content = kDecodeFailed;
        } else {
            const std::string host = SiteHosts::HostName(feikuBase);
            while (pos > 0) {
                std::string block = CutBetween(page, "<div align=\"center\">", "</div>", pos);
                if (block.find(host) == std::string::npos) {
                    // A site-relative picture address becomes absolute.  A block
                    // without any picture address is left as it is.
                    size_t src = block.find("src=\"");
                    if (src != std::string::npos) block.insert(src + 5, feikuBase);
                }
                content += block;
                // Not past the block before: the cut found no picture frame
                // and fell back to an earlier one, again and again.
                if (pos <= ref) {
                    content = kDecodeFailed;
                    break;
                }
                ref = pos;
                pos = FindMarker(kFront, page, pos);
            }
        }
        Count(content != kDecodeFailed);
    }
    Filter(content, prefs);
    return content;
}

std::string S520ChapterPage(const std::string& page, const ReaderPrefs& prefs) {
    int pos = 100;
    Count(HasPiece(page, "<div id=\"BookText\">", "<SPAN", pos));
    std::string content = CutBetween(page, "<div id=\"BookText\">", "<SPAN", pos);
    Filter(content, prefs);
    return content;
}

}  // namespace talvenor

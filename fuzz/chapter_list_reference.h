// The chapter-list walks of whole pages, written plainly, one loop a site:
// what the program's walks, fed with a page in pieces, must give.  They are
// kept as they were before the walks learnt to resume, as the oracle of the
// fuzz target and the unit tests.
#pragma once

#include <algorithm>
#include <string>
#include <utility>

#include "catalogue/chapter_list_pages.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "text/encoding.h"
#include "text/markers.h"

namespace talvenor::reference {

inline ChapterBatch DuowanChapterPage(const std::string& utf8Page) {
    const std::string page = DecodeUtf8Page(utf8Page);
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker("<div id=\"textlist\"", page, 100);
    const int end = FindMarker("<!-- end textlist -->", page, s);
    int pos = FindMarker("<li>", page, s);
    batch.SetMax(end);
    int prev = 0;
    if (pos >= 0 && pos < end) {
        for (;;) {
            batch.Step(pos - prev);
            prev = pos;
            const int start = pos;
            std::string url = CutBetween(page, "<a href=\"", "\"", pos);
            if (pos <= start) break;  // cut short: the walk would start over
            const int afterUrl = pos;
            std::string title = CutBetween(page, ">", "</a>", pos);
            if (pos <= afterUrl) break;
            RemoveNbsp(title);
            batch.urls.push_back(std::move(url));
            batch.titles.push_back(std::move(title));
            pos = FindMarker("<li>", page, pos);
            if (pos < 0 || pos >= end) break;
        }
    }
    batch.selectFirst = true;
    return batch;
}

inline ChapterBatch ReadnovelChapterPage(const std::string& page) {
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker("mulu", page, 100);
    if (s < 0) {
        batch.titles.push_back(G("没有章节"));
        batch.urls.push_back("about:blank");
    } else {
        batch.SetMax(FindMarker(G(" <!--书目录结束-->"), page, 0) + 1 - s);
        int pos = s;
        int prev = s;
        for (;;) {
            const int start = pos;
            int linkStart = 0;
            std::string url = CutBetween(page, "<li><a href=\"", "\"", pos, &linkStart);
            batch.Step(pos - prev);
            prev = pos;
            // No further link: the position went back, or no link marker was
            // left and the cut took a quote from elsewhere as the link's end.
            if (pos < s || pos <= start || linkStart <= start) break;
            batch.urls.push_back(std::move(url));
            // Without a ">" ahead the cut would take the title from the top
            // of the page and send the walk back there, round and round: the
            // list ends with this link, as at an empty title.
            std::string title =
                FindMarker(">", page, pos) < 0 ? std::string() : CutBetween(page, ">", "<", pos);
            const bool last = title.empty();
            batch.titles.push_back(std::move(title));
            if (last) break;
        }
    }
    batch.selectFirst = true;
    return batch;
}

inline ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base) {
    std::string page;
    for (const std::string& line : ParseLines(fileBytes)) page += line + "\r\n";
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker(G("[书籍简介]"), page, 100);
    const int end = FindMarker("</body>", page, s);
    batch.SetMax(end);
    batch.Step(s);
    int prev = s;
    // The chapters are the "·" links up to the first comment after the
    // introduction; links inside or after it belong to other parts of the page.
    int c1 = FindMarker("<!--", page, s);
    int c2 = FindMarker("-->", page, s);
    const std::string dot = G("·");
    int pos = FindMarker(dot, page, s);
    while (pos > 0) {
        const int start = pos;
        const std::string piece = CutBetween(page, "/love", ".html", pos);
        if (pos < s || pos <= start) break;
        const std::string url = base + "/love" + piece + ".html";
        if (pos <= c1) {
            batch.urls.push_back(url);
            const int afterUrl = pos;
            std::string title = CutBetween(page, ">", "</a>", pos);
            CleanLinkText(title);
            batch.titles.push_back(std::move(title));
            if (pos <= afterUrl) break;  // no end to this link: nothing further can be read
            pos = FindMarker(dot, page, pos);
            batch.Step(pos - prev);
            prev = pos;
        } else if (pos < c2) {
            c1 = FindMarker("<!--", page, pos);
            c2 = FindMarker("-->", page, pos);
        }
    }
    batch.selectFirst = true;
    batch.Step(end - prev);
    return batch;
}

inline ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix) {
    ChapterBatch batch;
    batch.Reserve(page.size());
    const int s = FindMarker("<div id=\"feiku_chaplist\">", page, 100);
    // The list runs to just past the last end marker; the site repeats it.
    static const std::string kEnd = "<div id=\"feiku_e_n_d\">";
    int b = s;
    for (int e = FindMarker(kEnd, page, s); e >= 0; e = FindMarker(kEnd, page, e + int(kEnd.size())))
        b = e + int(kEnd.size());
    batch.SetMax(b - s);
    int prev = s;
    int pos = FindMarker("<li><a", page, s);
    while (pos < b && pos > 0) {
        const int start = pos;
        const std::string piece = CutBetween(page, "href=\"", ".shtm", pos);
        if (pos <= start) break;  // cut short: the walk would start over
        batch.urls.push_back(prefix + piece + ".shtm");
        const int afterUrl = pos;
        std::string title = CutBetween(page, "\">", "</a>", pos);
        if (pos <= afterUrl) break;  // a link without its end: its URL stays, alone
        batch.Step(pos - prev);
        prev = pos;
        batch.titles.push_back(std::move(title));
        pos = FindMarker("<li><a", page, pos);
    }
    batch.selectFirst = true;
    batch.Step(b - prev);
    return batch;
}

inline ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix) {
    ChapterBatch batch;
    batch.Reserve(page.size());
    int pos = FindMarker("<li>", page, 100);
    int last = pos;
    const int end = FindMarker("<div id=\"End\">", page, pos);
    batch.SetMax(end);
    batch.Step(pos);
    int prev = pos;
    while (pos > 0 && pos < end) {
        const std::string piece = CutBetween(page, "<a href=\"", ".shtml", pos);
        batch.urls.push_back(prefix + piece + ".shtml");
        std::string title = CutBetween(page, "\">", "</a>", pos);
        batch.Step(pos - prev);
        prev = pos;
        batch.titles.push_back(std::move(title));
        pos = FindMarker("<li>", page, pos);
        // No further "<li>", or one the walk has seen already.
        if (pos <= last) break;
        last = pos;
    }
    batch.selectFirst = true;
    batch.Step(end - prev);
    return batch;
}

}  // namespace talvenor::reference

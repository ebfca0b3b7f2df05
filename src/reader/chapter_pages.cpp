#include "reader/chapter_pages.h"

#include <atomic>

#include "catalogue/site_rules.h"
#include "text/markers.h"

namespace talvenor {

namespace {

std::atomic<unsigned long> gWithoutText{0};

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

namespace {

// The chapter's text as the site's rule file cuts it; the page is counted
// as one without text where the walk says so.
rules::Output Text(const char* site, const std::string& page, bool first, const std::string& base,
                   const std::string& base2, const ReaderPrefs& prefs) {
    rules::Inputs in;
    in.first = first;
    in.base = base;
    in.base2 = base2;
    if (prefs.N25.checked) in.filter = prefs.FilterWord;
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::Text, page, in);
    if (out.outs[0]) Count(*out.outs[0] != 0);
    return out;
}

std::string Content(rules::Output&& out) {
    return out.lists[0].empty() ? std::string() : std::move(out.lists[0].front());
}

}  // namespace

ReadnovelChapter ReadnovelChapterPage(const std::string& page, bool first, const ReaderPrefs& prefs) {
    rules::Output out = Text("readnovel", page, first, std::string(), std::string(), prefs);
    ReadnovelChapter result;
    result.cut = out.outs[1].value_or(1) != 0;
    result.content = Content(std::move(out));
    return result;
}

std::string DuowanChapterPage(const std::string& utf8Page, const ReaderPrefs& prefs) {
    return Content(Text("duowan", utf8Page, false, std::string(), std::string(), prefs));
}

std::string Xs8ChapterPage(const std::string& page, bool first, const std::string& forumBase,
                           const ReaderPrefs& prefs) {
    return Content(Text("xs8", page, first, std::string(), forumBase, prefs));
}

std::string FeikuChapterPage(const std::string& page, const std::string& feikuBase,
                             const ReaderPrefs& prefs) {
    return Content(Text("feiku", page, false, feikuBase, std::string(), prefs));
}

std::string S520ChapterPage(const std::string& page, const ReaderPrefs& prefs) {
    return Content(Text("520", page, false, std::string(), std::string(), prefs));
}

}  // namespace talvenor

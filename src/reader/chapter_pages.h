// Chapter pages of the five sites cut down to the chapter's content, without
// any fetching: the reader fetches the page, then adds the heading, the
// paragraph spacing and the page frame to what comes out.  The word filter
// of prefs is applied where the site's reader applies it.
#pragma once

#include <string>

#include "reader/preferences.h"

namespace talvenor {

struct ReadnovelChapter {
    std::string content;
    bool cut = true;  // false: the page held "超时" and is the content whole
};

// first: the list's entry 0, the book's own page.
ReadnovelChapter ReadnovelChapterPage(const std::string& page, bool first, const ReaderPrefs& prefs);
// The page as served (UTF-8); a page without its content marker gives the
// failure text.
std::string DuowanChapterPage(const std::string& utf8Page, const ReaderPrefs& prefs);
// The chapter text ends at the link to the site's forum (forumBase).
std::string Xs8ChapterPage(const std::string& page, bool first, const std::string& forumBase,
                           const ReaderPrefs& prefs);
// A text chapter, or the picture blocks of a picture chapter with
// site-relative addresses made absolute on feikuBase.
std::string FeikuChapterPage(const std::string& page, const std::string& feikuBase, const ReaderPrefs& prefs);
std::string S520ChapterPage(const std::string& page, const ReaderPrefs& prefs);

}  // namespace talvenor

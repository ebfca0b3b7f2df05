// Chapter pages of the five sites cut down to the chapter's content, without
// any fetching: the reader fetches the page, then adds the heading, the
// paragraph spacing and the page frame to what comes out.  The word filter
// of prefs is applied where the site's reader applies it.
#pragma once

#include <string>

#include "reader/preferences.h"

namespace talvenor {

// True when text holds start at or after `from` and end after it: the piece
// CutBetween takes there is what the page meant.  A page that lacks either
// marker (an error page served as found, an empty answer) holds no chapter.
bool HasPiece(const std::string& text, const std::string& start, const std::string& end, int from);

// How many chapter pages, in this process, were cut below without their
// text: pages that came back empty or without the site's markers.  The
// reader shows them as the sites' readers always did (a failure text or an
// empty page); a front end that must tell a chapter from a failure compares
// the count before and after.
unsigned long ChaptersWithoutText();

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

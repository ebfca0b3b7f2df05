// The hand-written page walks, kept to compare the rule engine with.
#pragma once

#include <optional>
#include <string>

#include "catalogue/book_list_pages.h"
#include "catalogue/category_pages.h"
#include "catalogue/chapter_list_pages.h"
#include "catalogue/search_pages.h"
#include "reader/chapter_pages.h"

namespace talvenor::oracle {

CategoryPage DuowanCategoryPage(const std::string& utf8Page, const std::string& base);
CategoryPage ReadnovelCategoryPage(const std::string& page, const std::string& base);
CategoryPage FeikuCategoryPage(const std::string& page);

DuowanListPage CutDuowanListPage(const std::string& page, const std::string& known, int next, size_t keyHead);
ReadnovelListPage CutReadnovelListPage(const std::string& page, const std::string& known, int n, int total);
Xs8ListPage CutXs8ListPage(const std::string& page, int n);
FeikuListPage CutFeikuListPage(const std::string& page, int n);

SearchPage S520SearchPage(const std::string& page);
SearchPage DuowanSearchPage(const std::string& utf8Page, const std::string& duowanBase);
SearchPage FeikuSearchPage(const std::string& page);
SearchPage ReadnovelSearchPage(const std::string& page, const std::string& readnovelBase);
SearchPage Xs8SearchPage(const std::string& page);

std::optional<std::string> S520IntroPage(const std::string& page);
std::optional<std::string> DuowanIntroPage(const std::string& utf8Page);
std::optional<std::string> ReadnovelIntroPage(const std::string& page);
std::optional<std::string> Xs8IntroPage(const std::string& page);
std::optional<std::string> FeikuIntroPage(const std::string& page);

ChapterBatch DuowanChapterPage(const std::string& utf8Page);
ChapterBatch ReadnovelChapterPage(const std::string& page);
ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base);
ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix);
ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix);

// Chapter pages cut without their text by the functions below.
unsigned long ChaptersWithoutText();
ReadnovelChapter ReadnovelChapterPage(const std::string& page, bool first, const ReaderPrefs& prefs);
std::string DuowanChapterPage(const std::string& utf8Page, const ReaderPrefs& prefs);
std::string Xs8ChapterPage(const std::string& page, bool first, const std::string& forumBase,
                           const ReaderPrefs& prefs);
std::string FeikuChapterPage(const std::string& page, const std::string& feikuBase, const ReaderPrefs& prefs);
std::string S520ChapterPage(const std::string& page, const ReaderPrefs& prefs);

}  // namespace talvenor::oracle

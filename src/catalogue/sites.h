// The five novel sites as the program knows them: labels, menu captions,
// site numbers, search-result tags and chapter-list modes.
//
// All texts here are GBK, like every string of the core.
#pragma once

#include <string>

namespace talvenor {

// A UTF-8 literal as GBK (the sources are UTF-8, the core speaks GBK).
std::string G(const char* utf8);

enum class Site { None, Duowan, Readnovel, Xs8, Feiku, S520 };

// The chapter-list mode of a site added by a rule file.
inline constexpr int kAddedSiteMode = 6;

struct SiteInfo {
    Site site;
    const char* label;        // UTF-8; also the name of the site's folder
    const char* menuCaption;  // UTF-8; empty for 小说520, which has no menu item
    int number;               // the catalogue window's Tag; 0 for 小说520
    const char* tag;          // tag of search-result keys; empty for 多玩
    int chapterListMode;      // mode of the download worker
    bool utf8Pages;
};

const SiteInfo& InfoOf(Site site);
// GBK label of a site ("" for Site::None).
const std::string& Label(Site site);
// The site whose label equals `label` (GBK), or Site::None.
Site SiteOfLabel(const std::string& label);
// 1 多玩, 2 小说阅读网, 3 言情小说吧, 4 飞库, 5 小说520, a site added by a
// rule file kAddedSiteMode, anything else 0.
int ChapterListModeOf(const std::string& label);
// The label of a site number 1..4; empty for any other number.
std::string LabelOfSiteNumber(int number);

// The title a book is opened with, taken from its entry line: for 飞库 the
// text between the first 『 and the first 』; for the others the text
// between the first 《 and the first 》 when both occur, else the whole line.
std::string TitleOfEntry(const std::string& siteLabel, const std::string& entry);

// "total: N 本"
std::string StatusText(size_t bookCount);

}  // namespace talvenor

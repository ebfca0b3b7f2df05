#include "catalogue/sites.h"

#include "catalogue/added_sites.h"
#include "text/encoding.h"

namespace talvenor {

std::string G(const char* utf8) {
    return Utf8ToGbk(utf8);
}

namespace {

const SiteInfo kSites[] = {
    {Site::None, "", "", 0, "", 0, false},
    {Site::Duowan, "多玩", "多玩文学博客", 1, "", 1, true},
    {Site::Readnovel, "小说阅读网", "小说阅读网", 2, "[rdn]", 2, false},
    {Site::Xs8, "言情小说吧", "言情小说吧", 3, "[xs8]", 3, false},
    {Site::Feiku, "飞库", "*飞库手机电子书", 4, "[feiku]", 4, false},
    {Site::S520, "小说520", "", 0, "[520]", 5, false},
};

}  // namespace

const SiteInfo& InfoOf(Site site) {
    return kSites[static_cast<int>(site)];
}

const std::string& Label(Site site) {
    static const std::string labels[] = {"", G("多玩"), G("小说阅读网"), G("言情小说吧"), G("飞库"), G("小说520")};
    return labels[static_cast<int>(site)];
}

Site SiteOfLabel(const std::string& label) {
    for (Site s : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520})
        if (label == Label(s)) return s;
    return Site::None;
}

int ChapterListModeOf(const std::string& label) {
    const Site site = SiteOfLabel(label);
    if (site == Site::None && AddedSiteOfLabel(label)) return kAddedSiteMode;
    return InfoOf(site).chapterListMode;
}

std::string LabelOfSiteNumber(int number) {
    for (Site s : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku})
        if (InfoOf(s).number == number) return Label(s);
    return std::string();
}

namespace {

// Text between the first `open` and the first `close`, counted in
// characters so a bracket never matches inside another character.
bool Between(const std::string& line, const std::string& open, const std::string& close, std::string* out,
             bool needClose) {
    std::u16string w = GbkToUtf16(line);
    std::u16string o = GbkToUtf16(open), c = GbkToUtf16(close);
    size_t a = w.find(o);
    if (a == std::u16string::npos) return false;
    size_t b = w.find(c);
    if (b == std::u16string::npos && needClose) return false;
    size_t from = a + o.size();
    if (b == std::u16string::npos || b < from) {
        *out = std::string();
        return true;
    }
    *out = Utf16ToGbk(w.substr(from, b - from));
    return true;
}

}  // namespace

std::string TitleOfEntry(const std::string& siteLabel, const std::string& entry) {
    std::string title;
    if (siteLabel == Label(Site::Feiku)) {
        if (Between(entry, G("『"), G("』"), &title, false)) return title;
        return entry;
    }
    if (Between(entry, G("《"), G("》"), &title, true)) return title;
    return entry;
}

std::string StatusText(size_t bookCount) {
    return "total: " + std::to_string(bookCount) + " " + G("本");
}

}  // namespace talvenor

#include "demo_content.h"

#include <algorithm>
#include <cstdlib>

#include "demo_text.h"
#include "words.h"

namespace talvenor::demo {

namespace {

constexpr int kReadnovelCategories = 11;
// Book numbers of 小说阅读网, 飞库 and 小说520 carry the category:
// (category + 1) * kNumberStride + id.
constexpr int kNumberStride = 1000000;
constexpr int kXs8FirstNumber = 100000;

int SiteIndex(Site site) {
    return static_cast<int>(site);
}

bool ParseInt(const std::string& s, int* out) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    *out = std::atoi(s.c_str());
    return true;
}

// Splits "a/b/c" at "/" (empty parts kept).
std::vector<std::string> SplitSlash(const std::string& s) {
    std::vector<std::string> parts;
    size_t b = 0;
    while (true) {
        size_t e = s.find('/', b);
        parts.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
        if (e == std::string::npos) break;
        b = e + 1;
    }
    return parts;
}

}  // namespace

uint64_t Mix(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    auto step = [](uint64_t x) {
        x += 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    };
    return step(step(step(step(a) ^ b) ^ c) ^ d);
}

const char* SiteLabel(Site site) {
    switch (site) {
        case Site::Duowan:
            return "多玩";
        case Site::Readnovel:
            return "小说阅读网";
        case Site::Xs8:
            return "言情小说吧";
        case Site::Feiku:
            return "飞库";
        case Site::S520:
            return "小说520";
        case Site::Qingdeng:
            return "青灯书屋";
    }
    return "";
}

bool SiteFromLabel(const std::string& label, Site* site) {
    for (Site s : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku, Site::S520}) {
        if (label == SiteLabel(s)) {
            *site = s;
            return true;
        }
    }
    return false;
}

bool IsGbkSite(Site site) {
    return site != Site::Duowan;
}

DemoContent::DemoContent(DemoOptions options) : options_(options) {
    options_.categories = std::max(1, options_.categories);
    options_.booksPerCategory = std::max(0, options_.booksPerCategory);
    options_.chaptersPerBook = std::max(1, options_.chaptersPerBook);
    options_.xs8Books = std::max(0, options_.xs8Books);
    options_.pageSize = std::max(1, options_.pageSize);
    options_.searchLimit = std::max(1, options_.searchLimit);
    SetPort(options_.port > 0 ? options_.port : SiteHosts::kDemoPort);
}

void DemoContent::SetPort(int port) {
    port_ = port;
    hosts_ = SiteHosts::Demo(port);
    qingdeng_ = "http://qingdeng.localhost:" + std::to_string(port);
}

std::string DemoContent::Watermark() {
    return "xs520.localhost发布";
}

std::string DemoContent::Announcement() {
    return "本站公告：本站所有小说均由网友上传，仅供试读，请在下载后二十四小时内删除。";
}

int DemoContent::CategoryCount(Site site) const {
    switch (site) {
        case Site::Readnovel:
            return kReadnovelCategories;
        case Site::Xs8:
            return 1;
        default:
            return options_.categories;
    }
}

void DemoContent::FeikuGroupOf(int category, int* group, int* within) const {
    // The groups take the categories in page order, the first groups one
    // more when they do not divide evenly.
    int total = options_.categories;
    int first = 0;
    for (int g = 0; g < 3; ++g) {
        int size = total / 3 + (g < total % 3 ? 1 : 0);
        if (category < first + size || g == 2) {
            *group = g;
            *within = category - first;
            return;
        }
        first += size;
    }
}

int DemoContent::BaseBooks(Site site) const {
    return site == Site::Xs8 ? options_.xs8Books : options_.booksPerCategory;
}

int DemoContent::AddedBooks(Site site, int category) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = added_.find({SiteIndex(site), category});
    return it == added_.end() ? 0 : it->second;
}

Category DemoContent::CategoryAt(Site site, int category) const {
    Category c;
    const std::string n = std::to_string(category + 1);
    switch (site) {
        case Site::Duowan:
            c.name = DuowanCategoryName(category);
            c.url = hosts_.duowan + "/include/finish/c" + n + "_1.html";
            break;
        case Site::Readnovel:
            c.name = ReadnovelCategoryName(category);
            c.url = hosts_.readnovel + "/ch/all/" + n + ".html";
            break;
        case Site::Feiku: {
            int group = 0, within = 0;
            FeikuGroupOf(category, &group, &within);
            c.group = FeikuGroupName(group);
            c.name = FeikuCategoryName(group, within);
            c.url = n;
            break;
        }
        case Site::Xs8:
            c.name = "5000";
            break;
        case Site::S520:
            c.name = DuowanCategoryName(category);
            break;
        case Site::Qingdeng:
            c.name = ReadnovelCategoryName(category % kReadnovelCategories);
            if (category >= kReadnovelCategories) c.name += std::to_string(category + 1);
            c.url = qingdeng_ + "/sort/" + n + "/";
            break;
    }
    return c;
}

int DemoContent::BookCount(Site site, int category) const {
    if (site == Site::Duowan && category == kAllCategories) {
        std::lock_guard<std::mutex> lock(mutex_);
        return options_.categories * options_.booksPerCategory + static_cast<int>(duowanAdded_.size());
    }
    return BaseBooks(site) + AddedBooks(site, category);
}

int DemoContent::IdAt(Site site, int category, int position) const {
    return BookCount(site, category) - 1 - position;
}

std::pair<int, int> DemoContent::AllAt(int position) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = static_cast<int>(duowanAdded_.size());
    if (position < n) return duowanAdded_[n - 1 - position];
    int j = position - n;
    int cats = options_.categories;
    return {j % cats, options_.booksPerCategory - 1 - j / cats};
}

std::string DemoContent::TitleOf(Site site, int category, int id) const {
    // Category-major, so that the books of one category run through all the
    // title words; distinct within a category while it has fewer books than
    // there are titles.
    int64_t index = static_cast<int64_t>(category) * 40009 + id + 50021LL * SiteIndex(site);
    return ComposeTitle(static_cast<int>(index % TitleSpace()));
}

Book DemoContent::BookAt(Site site, int category, int position) const {
    if (site == Site::Duowan && category == kAllCategories) {
        auto [c, id] = AllAt(position);
        return BookById(site, c, id);
    }
    return BookById(site, category, IdAt(site, category, position));
}

Book DemoContent::BookById(Site site, int category, int id) const {
    Book b;
    b.site = site;
    b.category = category;
    b.id = id;
    uint64_t h = Mix(SiteIndex(site) + 1, category, id);
    b.title = TitleOf(site, category, id);
    b.author = ComposeAuthor(h);
    b.state = h % 3 == 0 ? "已完成" : "连载中";
    b.updated = ComposeDate(h >> 5);
    b.genre = Xs8GenreName(h >> 7);
    b.clicks = static_cast<int>((h >> 9) % 200000);
    b.favourites = static_cast<int>((h >> 29) % 5000);
    b.chapterCount = options_.chaptersPerBook;
    b.latestChapter = ComposeChapterTitle(b.chapterCount, Mix(h, b.chapterCount, 77));
    if (h % 11 != 5) b.intro = ComposeIntro(b.title, h >> 3);
    const std::string c1 = std::to_string(category + 1);
    const std::string number = std::to_string((category + 1) * kNumberStride + id);
    switch (site) {
        case Site::Duowan:
            b.key = "book/" + c1 + "/" + std::to_string(id) + "/";
            break;
        case Site::Readnovel:
        case Site::Qingdeng:
            b.key = number;
            break;
        case Site::Xs8:
            b.key = std::to_string(kXs8FirstNumber + id);
            break;
        case Site::Feiku:
            b.key = "files/" + c1 + "/" + number;
            break;
        case Site::S520:
            b.key = "html/" + c1 + "/" + number;
            break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = chapters_.find({SiteIndex(site), b.key});
        if (it != chapters_.end()) {
            b.chapterCount = it->second;
            b.latestChapter = ComposeChapterTitle(b.chapterCount, Mix(h, b.chapterCount, 77));
        }
    }
    return b;
}

void DemoContent::SetChapterCount(Site site, const std::string& key, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    chapters_[{SiteIndex(site), key}] = std::max(1, count);
}

std::optional<Book> DemoContent::BookByKey(Site site, const std::string& key) const {
    int category = -1, id = -1;
    auto fromNumber = [&](const std::string& text) {
        int number;
        if (!ParseInt(text, &number)) return false;
        category = number / kNumberStride - 1;
        id = number % kNumberStride;
        return true;
    };
    switch (site) {
        case Site::Duowan: {
            auto parts = SplitSlash(key);
            if (parts.size() != 4 || parts[0] != "book" || !parts[3].empty()) return std::nullopt;
            if (!ParseInt(parts[1], &category) || !ParseInt(parts[2], &id)) return std::nullopt;
            --category;
            break;
        }
        case Site::Readnovel:
        case Site::Qingdeng:
            if (!fromNumber(key)) return std::nullopt;
            break;
        case Site::Xs8: {
            int number;
            if (!ParseInt(key, &number)) return std::nullopt;
            category = 0;
            id = number - kXs8FirstNumber;
            break;
        }
        case Site::Feiku:
        case Site::S520: {
            auto parts = SplitSlash(key);
            if (parts.size() != 3 || parts[0] != (site == Site::Feiku ? "files" : "html"))
                return std::nullopt;
            if (!fromNumber(parts[2]) || parts[1] != std::to_string(category + 1)) return std::nullopt;
            break;
        }
    }
    if (category < 0 || category >= CategoryCount(site) || id < 0 || id >= BookCount(site, category))
        return std::nullopt;
    return BookById(site, category, id);
}

Chapter DemoContent::ChapterOf(const Book& book, int number, bool withText) const {
    Chapter ch;
    ch.number = number;
    uint64_t h = Mix(Mix(SiteIndex(book.site) + 1, book.category, book.id), number, 77);
    ch.title = ComposeChapterTitle(number, h);
    const std::string n = std::to_string(number);
    switch (book.site) {
        case Site::Duowan:
            ch.url = hosts_.duowan + "/" + book.key + n + ".html";
            break;
        case Site::Readnovel:
            ch.url = hosts_.readnovel + "/novel/" + book.key + "/" + n + ".html";
            break;
        case Site::Xs8:
            ch.url = hosts_.xs8 + "/love/" + book.key + "/" + n + ".html";
            break;
        case Site::Feiku:
            ch.url = hosts_.feiku + "/" + book.key + "/" + n + ".shtm";
            break;
        case Site::S520:
            ch.url = hosts_.s520Chapters + "/" + book.key + "/" + n + ".shtml";
            break;
        case Site::Qingdeng:
            ch.url = qingdeng_ + "/book/" + book.key + "/" + n + ".html";
            break;
    }
    if (!withText) return ch;
    if (book.site == Site::Feiku && h % 7 == 3) {
        int pictures = 2 + static_cast<int>((h >> 8) % 2);
        for (int k = 1; k <= pictures; ++k)
            ch.pictures.push_back(hosts_.feiku + "/pics/" + book.key + "/" + n + "_" + std::to_string(k) +
                                  ".gif");
        return ch;
    }
    int paragraphs = 4 + static_cast<int>((h >> 4) % 5);
    for (int i = 0; i < paragraphs; ++i) ch.paragraphs.push_back(ComposeParagraph(Mix(h, i)));
    if (h % 3 == 0) ch.paragraphs[1] += Watermark();
    if (book.site == Site::Duowan && h % 5 == 2) {
        int pictures = 1 + static_cast<int>((h >> 12) % 2);
        for (int k = 1; k <= pictures; ++k)
            ch.pictures.push_back(hosts_.duowan + "/pics/" + std::to_string(book.category + 1) + "/" +
                                  std::to_string(book.id) + "/" + n + "_" + std::to_string(k) + ".gif");
    }
    return ch;
}

std::vector<Book> DemoContent::Search(Site site, const std::string& keyword) const {
    std::vector<Book> found;
    if (keyword.empty()) return found;
    for (int c = 0; c < CategoryCount(site); ++c) {
        int count = BookCount(site, c);
        for (int p = 0; p < count; ++p) {
            int id = count - 1 - p;
            if (TitleOf(site, c, id).find(keyword) == std::string::npos) continue;
            found.push_back(BookById(site, c, id));
            if (static_cast<int>(found.size()) >= options_.searchLimit) return found;
        }
    }
    return found;
}

void DemoContent::AddBooks(Site site, int category, int count) {
    if (count <= 0 || category < 0 || category >= CategoryCount(site)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    int& added = added_[{SiteIndex(site), category}];
    int base = BaseBooks(site);
    for (int i = 0; i < count; ++i) {
        if (site == Site::Duowan) duowanAdded_.push_back({category, base + added});
        ++added;
    }
}

int DemoContent::ListPageCount(Site site, int category) const {
    int books = BookCount(site, category);
    return std::max(1, (books + options_.pageSize - 1) / options_.pageSize);
}

std::string DemoContent::ListPageUrl(Site site, int category, int page) const {
    const std::string p = std::to_string(page);
    const std::string c1 = std::to_string(category + 1);
    switch (site) {
        case Site::Duowan:
            if (category == kAllCategories) return hosts_.duowan + "/include/finish/all_" + p + ".html";
            return hosts_.duowan + "/include/finish/c" + c1 + "_" + p + ".html";
        case Site::Readnovel:
            if (page == 1) return hosts_.readnovel + "/ch/all/" + c1 + ".html";
            return hosts_.readnovel + "/ch/all/" + c1 + "/" + p + ".html";
        case Site::Xs8:
            return hosts_.xs8 + "/list.php?page=" + p;
        case Site::Feiku:
            return hosts_.feiku + "/Book/ShowBookList.aspx?nclassid=" + c1 + "&page=" + p;
        case Site::S520:
            return "";
        case Site::Qingdeng:
            if (page == 1) return qingdeng_ + "/sort/" + c1 + "/";
            return qingdeng_ + "/sort/" + c1 + "/" + p + ".html";
    }
    return "";
}

std::string DemoContent::CategoryPageUrl(Site site) const {
    switch (site) {
        case Site::Duowan:
            return hosts_.duowan + "/include/finish/all_1.html";
        case Site::Readnovel:
            return hosts_.readnovel + "/ch/all/all.html";
        case Site::Feiku:
            return hosts_.feiku + "/Book/ShowBookOver.aspx";
        case Site::Qingdeng:
            return qingdeng_ + "/";
        default:
            return "";
    }
}

std::string DemoContent::ChapterListUrl(const Book& book) const {
    switch (book.site) {
        case Site::Duowan:
            return hosts_.duowan + "/" + book.key + "index.html";
        case Site::Readnovel:
            return hosts_.readnovel + "/partlist/" + book.key + "/";
        case Site::Xs8:
            return hosts_.xs8 + "/love/" + book.key + "/index.html";
        case Site::Feiku:
            return hosts_.feiku + "/" + book.key + "/List.shtm";
        case Site::S520:
            return hosts_.s520Chapters + "/" + book.key + "/List.shtml";
        case Site::Qingdeng:
            return qingdeng_ + "/book/" + book.key + "/";
    }
    return "";
}

std::string DemoContent::IntroductionUrl(const Book& book) const {
    std::string number = book.key.substr(book.key.rfind('/') + 1);
    switch (book.site) {
        case Site::Feiku:
            return hosts_.feiku + "/book/" + number + "/Index.html";
        case Site::S520:
            return hosts_.s520 + "/book/" + number + "/Index.aspx";
        default:
            return ChapterListUrl(book);
    }
}

std::string DemoContent::SearchUrl(Site site, const std::string& keyword) const {
    switch (site) {
        case Site::Duowan:
            return hosts_.duowanSearch + "/search.jsp?searchstr=" + PercentEncodeAll(keyword);
        case Site::Readnovel:
            return hosts_.searchEngine + "/search?q=site%3A" + SiteHosts::HostName(hosts_.readnovel) + "+" +
                   PercentEncodeAll(keyword);
        case Site::Xs8:
            return hosts_.xs8 + "/search.php?t=title&k=" + PercentEncodeAll(Utf8ToGbk(keyword));
        case Site::Feiku:
            return hosts_.feikuSearch + "/book/search.aspx?SearchClass=1&SearchKey=" + Utf8ToGbk(keyword);
        case Site::S520:
            return hosts_.s520 + "/Book/Search.aspx?searchclass=1&SearchKey=" + Utf8ToGbk(keyword);
        case Site::Qingdeng:
            return qingdeng_ + "/search?q=" + PercentEncodeAll(keyword);
    }
    return "";
}

std::string DemoContent::SearchKey(const Book& book) const {
    switch (book.site) {
        case Site::Duowan:
            return book.key;
        case Site::Readnovel:
            return "[rdn]" + book.key;
        case Site::Xs8:
            return "[xs8]" + book.key;
        case Site::Feiku:
            return "[feiku]" + book.key;
        case Site::S520:
            return "[520]" + book.key;
        case Site::Qingdeng:
            return "[qingdeng]" + book.key;
    }
    return book.key;
}

}  // namespace talvenor::demo

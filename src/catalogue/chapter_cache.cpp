#include "catalogue/chapter_cache.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <system_error>

#include "catalogue/settings.h"
#include "text/encoding.h"
#include "text/files.h"

namespace fs = std::filesystem;

namespace talvenor {

namespace {

const char* const kPageTag = "talvenor-cache-page 1";
const char* const kInfoTag = "talvenor-cache-book 1";

std::uint64_t Hash(const char* p, size_t n) {
    std::uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(p[i]);
        h *= 1099511628211ull;
    }
    return h;
}

std::uint64_t Hash(const std::string& s) {
    return Hash(s.data(), s.size());
}

std::string Hex(std::uint64_t v) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

long long Now() {
    return static_cast<long long>(std::time(nullptr));
}

// The lines of text up to the n-th line break; rest: where the remainder starts.
std::vector<std::string> HeaderLines(const std::string& s, size_t n, size_t* rest) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (lines.size() < n) {
        const size_t nl = s.find('\n', pos);
        if (nl == std::string::npos) break;
        lines.push_back(s.substr(pos, nl - pos));
        pos = nl + 1;
    }
    *rest = pos;
    return lines;
}

bool ParseNumber(const std::string& s, unsigned long long* v) {
    if (s.empty() || s.size() > 19) return false;
    unsigned long long r = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        r = r * 10 + static_cast<unsigned>(c - '0');
    }
    *v = r;
    return true;
}

std::uint64_t FolderBytes(const fs::path& p, int* pages) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2)) continue;
        const auto size = it->file_size(e2);
        if (e2) continue;
        total += size;
        if (pages && it->path().extension() == ".page") ++*pages;
    }
    return total;
}

}  // namespace

ChapterCache::ChapterCache(std::string dir) : dir_(std::move(dir)) {}

void ChapterCache::SetLimit(std::uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    limit_ = bytes;
}

std::uint64_t ChapterCache::Limit() const {
    return limit_;
}

std::string ChapterCache::FolderName(const std::string& name) {
    static const char* const digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    if (out.empty()) out = "_";
    // A file name holds at most 255 bytes.
    if (out.size() > 180) out = out.substr(0, 160) + "~" + Hex(Hash(name));
    return out;
}

std::string ChapterCache::BookFolder(const std::string& site, const std::string& key) const {
    return dir_ + FolderName(site) + "/" + FolderName(key) + "/";
}

std::string ChapterCache::PagePath(const std::string& folder, const std::string& url) const {
    return folder + Hex(Hash(url)) + ".page";
}

bool ChapterCache::Find(const std::string& site, const std::string& key, const std::string& url,
                        std::string* bytes, long long* fetched) {
    const std::string path = PagePath(BookFolder(site, key), url);
    std::string file;
    try {
        file = ReadFileBytes(path);
    } catch (const FileError&) {
        return false;
    }
    size_t rest = 0;
    const std::vector<std::string> h = HeaderLines(file, 5, &rest);
    unsigned long long when = 0, size = 0;
    const bool whole = h.size() == 5 && h[0] == kPageTag && h[1] == url && ParseNumber(h[2], &when) &&
                       ParseNumber(h[3], &size) && file.size() - rest == size &&
                       h[4] == Hex(Hash(file.data() + rest, file.size() - rest));
    if (!whole) {
        // Damaged, cut short, or another address with the same hash: it is
        // fetched again and replaced.
        if (h.size() < 2 || h[1] == url) {
            std::lock_guard<std::mutex> lock(mutex_);
            std::error_code ec;
            const auto old = fs::file_size(path, ec);
            if (RemoveFile(path) && !ec && totalKnown_) total_ -= std::min<std::uint64_t>(total_, old);
        }
        return false;
    }
    if (fetched) *fetched = static_cast<long long>(when);
    if (bytes) {
        // The page's bytes are the file's after its header: no copy of them.
        file.erase(0, rest);
        *bytes = std::move(file);
    }
    return true;
}

void ChapterCache::WriteInfo(const std::string& folder, const std::string& site, const std::string& key,
                             const std::string& title, long long lastRead) {
    std::string info = std::string(kInfoTag) + "\n" + GbkToUtf8(site) + "\n" + GbkToUtf8(key) + "\n" +
                       GbkToUtf8(title) + "\n" + std::to_string(lastRead) + "\n";
    for (size_t i = 0; i < info.size(); ++i)
        if (info[i] == '\r') info[i] = ' ';
    WriteFileAtomic(folder + "book.info", info);
}

bool ChapterCache::Store(const std::string& site, const std::string& key, const std::string& title,
                         const std::string& url, const std::string& bytes) {
    if (url.find('\n') != std::string::npos) return false;
    const std::string folder = BookFolder(site, key);
    const std::string path = PagePath(folder, url);
    const std::string file = std::string(kPageTag) + "\n" + url + "\n" + std::to_string(Now()) + "\n" +
                             std::to_string(bytes.size()) + "\n" + Hex(Hash(bytes)) + "\n" + bytes;
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureTotal();
    try {
        if (!DirExists(folder)) MakeDirs(folder);
        if (!FileExists(folder + "book.info")) WriteInfo(folder, site, key, title, Now());
        std::error_code ec;
        const auto old = fs::exists(path, ec) ? fs::file_size(path, ec) : 0;
        // Written in place, not renamed over (a rename makes the file system
        // write the data out at once, costly for a thousand pages): a page
        // cut short by a crash fails its size and check sum and is fetched again.
        WriteFileInPlace(path, file);
        total_ += file.size();
        total_ -= std::min<std::uint64_t>(total_, ec ? 0 : old);
    } catch (const FileError&) {
        return false;
    }
    MakeRoom(folder);
    return true;
}

void ChapterCache::Touch(const std::string& site, const std::string& key, const std::string& title) {
    const std::string folder = BookFolder(site, key);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!DirExists(folder)) return;  // nothing of the book is cached
    try {
        WriteInfo(folder, site, key, title, Now());
    } catch (const FileError&) {
    }
}

void ChapterCache::StoreChapterList(const std::string& site, const std::string& key, const std::string& title,
                                    const std::vector<std::string>& titles,
                                    const std::vector<std::string>& urls) {
    if (titles.size() != urls.size() || titles.empty()) return;
    std::string text = "talvenor-cache-list 1\n" + std::to_string(titles.size()) + "\n";
    size_t bytes = text.size();
    for (size_t i = 0; i < titles.size(); ++i) bytes += titles[i].size() + urls[i].size() + 2;
    text.reserve(bytes);
    for (size_t i = 0; i < titles.size(); ++i) {
        if (titles[i].find('\n') != std::string::npos || urls[i].find('\n') != std::string::npos) return;
        text.append(titles[i]).push_back('\n');
        text.append(urls[i]).push_back('\n');
    }
    const std::string folder = BookFolder(site, key);
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureTotal();
    try {
        if (!DirExists(folder)) MakeDirs(folder);
        if (!FileExists(folder + "book.info")) WriteInfo(folder, site, key, title, Now());
        std::error_code ec;
        const auto old =
            fs::exists(folder + "chapters.list", ec) ? fs::file_size(folder + "chapters.list", ec) : 0;
        // In place, as the pages (a rename makes the file system write the
        // data out at once, while the reader waits): a list cut short by a
        // crash has fewer lines than its count and is not read.
        WriteFileInPlace(folder + "chapters.list", text);
        total_ += text.size();
        total_ -= std::min<std::uint64_t>(total_, ec ? 0 : old);
    } catch (const FileError&) {
        return;
    }
    MakeRoom(folder);
}

bool ChapterCache::FindChapterList(const std::string& site, const std::string& key,
                                   std::vector<std::string>* titles, std::vector<std::string>* urls) {
    std::string text;
    try {
        text = ReadFileBytes(BookFolder(site, key) + "chapters.list");
    } catch (const FileError&) {
        return false;
    }
    size_t rest = 0;
    std::vector<std::string> h = HeaderLines(text, 2, &rest);
    unsigned long long n = 0;
    if (h.size() != 2 || h[0] != "talvenor-cache-list 1" || !ParseNumber(h[1], &n) || n == 0) return false;
    std::vector<std::string> lines = HeaderLines(text.substr(rest), 2 * n, &rest);
    if (lines.size() != 2 * n) return false;
    titles->clear();
    urls->clear();
    for (size_t i = 0; i < n; ++i) {
        titles->push_back(lines[2 * i]);
        urls->push_back(lines[2 * i + 1]);
    }
    return true;
}

std::vector<CachedBook> ChapterCache::Books() {
    std::vector<CachedBook> books;
    std::error_code ec;
    for (fs::directory_iterator site(dir_, ec), end; !ec && site != end; site.increment(ec)) {
        std::error_code e2;
        if (!site->is_directory(e2)) continue;
        for (fs::directory_iterator book(site->path(), e2), end2; !e2 && book != end2; book.increment(e2)) {
            std::error_code e3;
            if (!book->is_directory(e3)) continue;
            CachedBook b;
            b.folder = book->path().string() + "/";
            b.bytes = FolderBytes(book->path(), &b.pages);
            try {
                size_t rest = 0;
                std::vector<std::string> h = HeaderLines(ReadFileBytes(b.folder + "book.info"), 5, &rest);
                unsigned long long when = 0;
                if (h.size() == 5 && h[0] == kInfoTag) {
                    b.site = h[1];
                    b.key = h[2];
                    b.title = h[3];
                    if (ParseNumber(h[4], &when)) b.lastRead = static_cast<long long>(when);
                }
            } catch (const FileError&) {
            }
            if (b.site.empty()) {
                // Without its info the folder names are all there is.
                b.site = site->path().filename().string();
                b.key = book->path().filename().string();
            }
            books.push_back(b);
        }
    }
    std::sort(books.begin(), books.end(), [](const CachedBook& a, const CachedBook& b) {
        return a.lastRead != b.lastRead ? a.lastRead > b.lastRead : a.folder < b.folder;
    });
    return books;
}

bool ChapterCache::Clear(const std::string& site, const std::string& key) {
    const std::string folder = BookFolder(site, key);
    std::lock_guard<std::mutex> lock(mutex_);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    const std::uint64_t bytes = FolderBytes(folder, nullptr);
    fs::remove_all(folder, ec);
    if (totalKnown_) total_ -= std::min(total_, bytes);
    return !ec;
}

void ChapterCache::ClearAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::error_code ec;
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        fs::remove_all(it->path(), e2);
    }
    totalKnown_ = false;
}

std::uint64_t ChapterCache::TotalBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    totalKnown_ = false;
    EnsureTotal();
    return total_;
}

void ChapterCache::EnsureTotal() {
    if (totalKnown_) return;
    total_ = 0;
    std::error_code ec;
    for (fs::directory_iterator site(dir_, ec), end; !ec && site != end; site.increment(ec)) {
        std::error_code e2;
        for (fs::directory_iterator book(site->path(), e2), end2; !e2 && book != end2; book.increment(e2))
            total_ += FolderBytes(book->path(), nullptr);
    }
    totalKnown_ = true;
}

void ChapterCache::MakeRoom(const std::string& keepFolder) {
    if (total_ <= limit_) return;
    // Books by when they were read, the longest unread first.
    std::multimap<long long, std::string> byAge;
    std::error_code ec;
    for (fs::directory_iterator site(dir_, ec), end; !ec && site != end; site.increment(ec)) {
        std::error_code e2;
        for (fs::directory_iterator book(site->path(), e2), end2; !e2 && book != end2; book.increment(e2)) {
            const std::string folder = book->path().string() + "/";
            if (folder == keepFolder) continue;
            long long when = 0;
            try {
                size_t rest = 0;
                std::vector<std::string> h = HeaderLines(ReadFileBytes(folder + "book.info"), 5, &rest);
                unsigned long long v = 0;
                if (h.size() == 5 && ParseNumber(h[4], &v)) when = static_cast<long long>(v);
            } catch (const FileError&) {
            }
            byAge.emplace(when, folder);
        }
    }
    for (const auto& [when, folder] : byAge) {
        if (total_ <= limit_) break;
        const std::uint64_t bytes = FolderBytes(folder, nullptr);
        std::error_code e3;
        fs::remove_all(folder, e3);
        if (!e3) total_ -= std::min(total_, bytes);
    }
}

std::uint64_t CacheLimitSetting(const Settings& s) {
    const long long mib = s.Integer("cache", "limit_mib", 1024, 0, 1024LL * 1024 * 1024);
    return static_cast<std::uint64_t>(mib) * 1024 * 1024;
}

}  // namespace talvenor

#include "catalogue/store.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

#include "catalogue/failures.h"
#include "catalogue/staged_files.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

namespace {

// Files from this size on are read through a mapping.
constexpr off_t kMapFrom = 256 * 1024;

// The next occurrence of c from p on, or end.
const char* Next(const char* p, const char* end, char c) {
    const void* at = std::memchr(p, c, static_cast<size_t>(end - p));
    return at ? static_cast<const char*>(at) : end;
}

size_t Count(const char* begin, const char* end, char c) {
    size_t n = 0;
    for (const char* p = Next(begin, end, c); p != end; p = Next(p + 1, end, c)) ++n;
    return n;
}

}  // namespace

StringList ParseLines(const std::string& bytes) {
    return ParseLines(bytes.data(), bytes.size());
}

StringList ParseLines(const char* data, size_t size) {
    StringList items;
    // One string per line, each made once at its size: a list of a million
    // books is read in one pass over the bytes.
    const char* p = data;
    const char* const end = p + size;
    const size_t lf = Count(p, end, '\n');
    items.reserve((lf != 0 ? lf : Count(p, end, '\r')) + 1);
    // The next CR and LF are each looked for once, whichever ends the lines.
    const char* cr = Next(p, end, '\r');
    const char* lfAt = Next(p, end, '\n');
    while (p < end) {
        if (cr < p) cr = Next(p, end, '\r');
        if (lfAt < p) lfAt = Next(p, end, '\n');
        const char* stop = cr < lfAt ? cr : lfAt;
        if (stop == end) {
            items.emplace_back(p, static_cast<size_t>(end - p));  // a last line without its end
            break;
        }
        items.emplace_back(p, static_cast<size_t>(stop - p));
        p = stop + 1;
        if (*stop == '\r' && p < end && *p == '\n') ++p;
    }
    return items;
}

StringList LoadList(const std::string& path) {
    // A long list is read from the file's pages in place, mapped at once,
    // rather than copied into a buffer of its own first.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kMapFrom) {
            const size_t size = static_cast<size_t>(st.st_size);
            void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            ::close(fd);
            if (map != MAP_FAILED) {
                StringList items;
                try {
                    items = ParseLines(static_cast<const char*>(map), size);
                } catch (...) {
                    ::munmap(map, size);
                    throw;
                }
                ::munmap(map, size);
                return items;
            }
        } else {
            ::close(fd);
        }
    }
    return ParseLines(ReadFileBytes(path));
}

void KeepHeapForLongLists() {
    // A list of a million books is a million small strings and an array of
    // 32 MB.  Kept by the heap when freed, the next long list reuses the
    // memory instead of taking fresh pages from the system one fault at a
    // time (tens of milliseconds for a long list), and the array stays on
    // the heap instead of a mapping of its own made and unmade every time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

std::string FormatLines(const StringList& items) {
    std::string out;
    size_t total = 0;
    for (const auto& s : items) total += s.size() + 2;
    out.resize(total);
    char* o = out.data();
    for (const auto& s : items) {
        std::memcpy(o, s.data(), s.size());
        // A line break inside an item would make two lines of it.
        if (std::memchr(s.data(), '\r', s.size()) || std::memchr(s.data(), '\n', s.size()))
            std::replace_if(
                o, o + s.size(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        o += s.size();
        *o++ = '\r';
        *o++ = '\n';
    }
    return out;
}

void SaveList(const std::string& path, const StringList& items) {
    WriteFileAtomic(path, FormatLines(items));
}

namespace {

// (folder, name) of a path; the folder without its trailing "/".
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

void SaveListSet(const std::vector<ListFile>& files) {
    if (files.empty()) return;
    const std::string folder = SplitPath(files.front().path).first;
    StagedFiles staging(folder);
    for (const ListFile& f : files) {
        const auto [in, name] = SplitPath(f.path);
        if (in != folder) throw FileError("cannot write " + f.path + " with the files of " + folder);
        SaveList(staging.PathOf(name), *f.items);
    }
    staging.Commit();
}

void SaveListPair(const std::string& path, const StringList& names, const StringList& partners) {
    SaveListSet({{path, &names}, {path + ".list", &partners}});
}

std::pair<StringList, StringList> LoadListPair(const std::string& names, const std::string& partners) {
    std::pair<StringList, StringList> lists;
    // A long pair is read as two halves side by side: the names on a thread
    // of their own, the partners here.
    std::exception_ptr failure;
    std::thread namesReader([&] {
        try {
            lists.first = LoadList(names);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        lists.second = LoadList(partners);
    } catch (...) {
        namesReader.join();
        throw;
    }
    namesReader.join();
    if (failure) std::rethrow_exception(failure);
    if (lists.first.size() != lists.second.size())
        ThrowMissingLine(std::min(lists.first.size(), lists.second.size()));
    return lists;
}

std::string SafeFileName(const std::string& gbkName) {
    std::string name = GbkToUtf8(gbkName);
    for (char& c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
    }
    if (name.empty() || name == "." || name == "..") name = std::string(name.empty() ? 1 : name.size(), '_');
    return name;
}

std::string SiteFolder(const std::string& appDir, const std::string& siteLabel) {
    return appDir + SafeFileName(siteLabel);
}

std::string SiteFilePath(const std::string& appDir, const std::string& siteLabel,
                         const std::string& gbkFileName) {
    return SiteFolder(appDir, siteLabel) + "/" + SafeFileName(gbkFileName);
}

std::string BookListFile(const std::string& appDir, const std::string& siteLabel,
                         const std::string& gbkCategory) {
    return SiteFilePath(appDir, siteLabel, gbkCategory + (gbkCategory == "fenlei" ? ".books" : ".ml"));
}

}  // namespace talvenor

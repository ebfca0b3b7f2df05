#include "catalogue/store.h"

#include <algorithm>

#include "catalogue/failures.h"
#include "catalogue/staged_files.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

StringList ParseLines(const std::string& bytes) {
    StringList items;
    std::string current;
    bool pending = false;  // something since the last line end
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            items.push_back(std::move(current));
            current.clear();
            pending = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            current.push_back(c);
            pending = true;
        }
    }
    if (pending) items.push_back(std::move(current));
    return items;
}

StringList LoadList(const std::string& path) {
    return ParseLines(ReadFileBytes(path));
}

std::string FormatLines(const StringList& items) {
    std::string out;
    size_t total = 0;
    for (const auto& s : items) total += s.size() + 2;
    out.reserve(total);
    for (const auto& s : items) {
        for (char c : s) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
        out += "\r\n";
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
    std::pair<StringList, StringList> lists{LoadList(names), LoadList(partners)};
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

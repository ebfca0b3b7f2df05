// The local catalogue store: pairs of plain line files (names and URLs or
// keys, matched by line number) in one folder per site.
//
// Line format: GBK text, every item followed by CR LF, the last one too.
// When reading, CR LF, LF or CR end a line and a final line end makes no
// empty item.  A line break inside an item is written as a blank, so a name
// file and its ".list" partner always keep the same number of lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace talvenor {

using StringList = std::vector<std::string>;

// Throws FileError when the file is missing or unreadable.
StringList LoadList(const std::string& path);
StringList ParseLines(const std::string& bytes);
StringList ParseLines(const char* data, size_t size);
// Makes the heap keep the memory of long lists once they are freed, so that
// showing another long list does not take its memory from the system anew.
// Called once at the start of a program.
void KeepHeapForLongLists();
// Replaces the file atomically; throws FileError.
void SaveList(const std::string& path, const StringList& items);
std::string FormatLines(const StringList& items);

// One file of a set and the list it is to hold.
struct ListFile {
    std::string path;
    const StringList* items;
};
// Replaces files that belong together, all in one folder, as one set: every
// one is written before any replaces its old file (StagedFiles), so a full
// disk leaves the old set whole.  Throws FileError.
void SaveListSet(const std::vector<ListFile>& files);
// A list and its partner of the same length: path and path + ".list".
void SaveListPair(const std::string& path, const StringList& names, const StringList& partners);
// Reads such a pair back.  Lists of unequal length pair names with the wrong
// entries: ListIndexError, as for a line the shorter file lacks.  Throws
// FileError when a file is missing or unreadable.
std::pair<StringList, StringList> LoadListPair(const std::string& names, const std::string& partners);

// A name cut from a page or typed by the user, as one component of a path
// on disk: converted from GBK to UTF-8, with "/", "\" and control
// characters replaced by "_", and a name that is empty, "." or ".." made of
// "_" instead.  Every other name is kept unchanged, so stored files keep
// their names across versions.
std::string SafeFileName(const std::string& gbkName);

// Path of a file of the site's catalogue: appDir + label + "/" + name.
std::string SiteFilePath(const std::string& appDir, const std::string& siteLabel,
                         const std::string& gbkFileName);
std::string SiteFolder(const std::string& appDir, const std::string& siteLabel);

// The file of a category's book entries (its keys: the same + ".list"):
// the category name + ".ml", except for a category named "fenlei", whose
// name would make it the site's category file "fenlei.ml".  Its books go to
// "fenlei.books", a name no other category's files can take: theirs all end
// in ".ml" or ".ml.list".
std::string BookListFile(const std::string& appDir, const std::string& siteLabel,
                         const std::string& gbkCategory);

}  // namespace talvenor

// The local catalogue store: pairs of plain line files (names and URLs or
// keys, matched by line number) in one folder per site.
//
// Line format: GBK text, every item followed by CR LF, the last one too.
// When reading, CR LF, LF or CR end a line and a final line end makes no
// empty item.  A line break inside an item is written as a blank, so a name
// file and its ".list" partner always keep the same number of lines.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

using StringList = std::vector<std::string>;

// Throws FileError when the file is missing or unreadable.
StringList LoadList(const std::string& path);
StringList ParseLines(const std::string& bytes);
// Replaces the file atomically; throws FileError.
void SaveList(const std::string& path, const StringList& items);
std::string FormatLines(const StringList& items);

// A name cut from a page or typed by the user, as one component of a path
// on disk: converted from GBK to UTF-8, with "/", "\" and control
// characters replaced by "_", and a name that is empty, "." or ".." made of
// "_" instead.  Every other name is kept unchanged, so stored files keep
// their names across versions.
std::string SafeFileName(const std::string& gbkName);

// Path of a file of the site's catalogue: appDir + label + "/" + name.
std::string SiteFilePath(const std::string& appDir, const std::string& siteLabel, const std::string& gbkFileName);
std::string SiteFolder(const std::string& appDir, const std::string& siteLabel);

}  // namespace talvenor

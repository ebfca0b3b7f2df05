// Skins: a skin is a style sheet in a ".skn" file, put on every window by
// the desktop's skin engine.  The skin chosen as the default is named in the
// choice file SetDir "skn": a bare file name for a skin of the program's
// skin folder AppDir "skn/", otherwise a full path.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"

namespace talvenor {

// A skin file that cannot be used; what() is the message shown (GBK).
class SkinError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Style sheets are a few kilobytes; anything this big is not one.
inline constexpr std::size_t kMaxSkinBytes = 256 * 1024;

// AppDir "skn/".
std::string SkinFolder(const AppPaths& paths);
// The skin file named by the first line of the choice file (GBK): a line
// starting with "/" is a full path, any other line a name in the skin
// folder; an empty line names no skin (the default look).
std::string SkinPathOfChoice(const AppPaths& paths, const std::string& line);
// The line the choice file keeps for a skin file: its bare name when it lies
// in the skin folder, else the full path (GBK).
std::string SkinChoiceOf(const AppPaths& paths, const std::string& skinFile);
// The style sheet of a skin file (UTF-8).  Throws SkinError when the file
// cannot be read, is larger than kMaxSkinBytes or is not text (NUL or other
// control bytes, bytes that are not UTF-8).
std::string ReadSkinFile(const std::string& path);
// Fills an empty skin folder (no ".skn" file) with the skins of the first
// source folder that has any; returns how many were copied.  Failures are
// left to the caller (FileError).
int SeedSkinFolder(const AppPaths& paths, const std::vector<std::string>& sourceFolders);

}  // namespace talvenor

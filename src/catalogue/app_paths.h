// The program's folders.  AppDir, the store, is the user's XDG data folder
// (~/.local/share/talvenor) unless --home chooses another, or unless the
// executable's folder asks for the portable layout (a file "portable" beside
// it, or a store already there: a "set/" folder).  An installed program thus
// never writes beside itself, whoever runs it.  Every folder path ends in "/".
#pragma once

#include <string>
#include <vector>

namespace talvenor {

struct AppPaths {
    std::string appDir;       // the store: one folder per site
    std::string setDir;       // appDir + "set/": state, preferences, watch list, sites.hosts
    std::string seeDir;       // appDir + "see/": book introductions
    std::string tmpDir;       // appDir + "tmp/"
    std::string downloadDir;  // appDir + "download/"

    static AppPaths ForAppDir(std::string appDir);
};

// home: the --home option (empty when not given); exePath: the executable
// (or its folder, with a trailing "/"); empty: /proc/self/exe.
std::string ResolveAppDir(const std::string& home, const std::string& exePath);
// $XDG_DATA_HOME/talvenor/, else ~/.local/share/talvenor/.
std::string UserDataDir();
// The folder of the running executable, with a trailing "/".
std::string ExecutableDir();

// The folders that may hold the data the program brings (skn/, sites/), in
// the order they are looked in: beside the executable (the build tree, a
// portable layout), then the share folder of the prefix the executable is
// installed under (BIN/../share/talvenor/).  exeDir: empty for the running
// executable's folder.
std::vector<std::string> BundledDataDirs(const std::string& exeDir = "");
// The same folders with sub ("skn/", "sites/") appended.
std::vector<std::string> BundledDataPaths(const std::string& sub, const std::string& exeDir = "");

// Creates SetDir and SeeDir when missing and loads SetDir/sites.hosts into
// the program-wide host table (the demo sites when the file is missing).
// Returns the problems found in the hosts file, one line each.
std::string PrepareAppDirs(const AppPaths& paths);

}  // namespace talvenor

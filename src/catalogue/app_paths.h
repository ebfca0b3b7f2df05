// The program's folders.  AppDir is the executable's folder when it is
// writable (the portable layout: the store lives beside the program),
// otherwise the user's XDG data folder; --home chooses another.  Every folder
// path ends in "/".
#pragma once

#include <string>

namespace talvenor {

struct AppPaths {
    std::string appDir;  // the store: one folder per site
    std::string setDir;  // appDir + "set/": state, preferences, watch list, sites.hosts
    std::string seeDir;  // appDir + "see/": book introductions
    std::string tmpDir;  // appDir + "tmp/"
    std::string downloadDir;  // appDir + "download/"

    static AppPaths ForAppDir(std::string appDir);
};

// home: the --home option (empty when not given); exePath: /proc/self/exe or argv[0].
std::string ResolveAppDir(const std::string& home, const std::string& exePath);
// The folder of the running executable, with a trailing "/".
std::string ExecutableDir();

// Creates SetDir and SeeDir when missing and loads SetDir/sites.hosts into
// the program-wide host table (the demo sites when the file is missing).
// Returns the problems found in the hosts file, one line each.
std::string PrepareAppDirs(const AppPaths& paths);

}  // namespace talvenor

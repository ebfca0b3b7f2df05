#include "catalogue/app_paths.h"

#include <algorithm>

#include "catalogue/site_rules.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "net/site_hosts.h"
#include "text/files.h"

// Where the data lies from the binary; the build sets it from the install
// layout (src/catalogue/CMakeLists.txt).
#ifndef TALVENOR_DATA_FROM_BIN
#define TALVENOR_DATA_FROM_BIN "../share/talvenor"
#endif

namespace talvenor {

static std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir.push_back('/');
    return dir;
}

AppPaths AppPaths::ForAppDir(std::string appDir) {
    AppPaths p;
    p.appDir = WithSlash(std::move(appDir));
    p.setDir = p.appDir + "set/";
    p.seeDir = p.appDir + "see/";
    p.tmpDir = p.appDir + "tmp/";
    p.downloadDir = p.appDir + "download/";
    return p;
}

std::string ExecutableDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

static std::string FolderOf(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string UserDataDir() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return WithSlash(xdg) + "talvenor/";
    const char* h = std::getenv("HOME");
    std::string base = h && *h ? h : "";
    if (base.empty()) {
        // A service started without HOME: the account's own folder.
        const struct passwd* pw = ::getpwuid(::getuid());
        base = pw && pw->pw_dir && *pw->pw_dir ? pw->pw_dir : "/tmp";
    }
    return WithSlash(base) + ".local/share/talvenor/";
}

std::string ResolveAppDir(const std::string& home, const std::string& exePath) {
    if (!home.empty()) return WithSlash(home);
    const std::string exeDir = FolderOf(exePath.empty() ? ExecutableDir() : exePath);
    // The portable layout only where it was asked for: a writable folder
    // alone says nothing (root may write into /usr/bin).
    if (FileExists(exeDir + "portable") || DirExists(exeDir + "set")) return exeDir;
    return UserDataDir();
}

std::vector<std::string> BundledDataDirs(const std::string& exeDir) {
    const std::string dir = exeDir.empty() ? ExecutableDir() : WithSlash(exeDir);
    // The share folder relative to the binary, so that a package or an
    // install under any prefix finds its data without a path fixed at build time.
    return {dir, WithSlash(dir + TALVENOR_DATA_FROM_BIN)};
}

std::vector<std::string> BundledDataPaths(const std::string& sub, const std::string& exeDir) {
    std::vector<std::string> paths = BundledDataDirs(exeDir);
    for (auto& p : paths) p += sub;
    return paths;
}

std::string PrepareAppDirs(const AppPaths& paths) {
    MakeDirs(paths.appDir);
    MakeDirs(paths.seeDir);
    MakeDirs(paths.setDir);
    // The sites' rule files: the installed ones, then the user's, each
    // replacing a site of the same key read before it.  They come first, as
    // the hosts file may name the hosts of the sites they add.
    std::vector<std::string> siteFolders = BundledDataPaths("sites/");
    std::reverse(siteFolders.begin(), siteFolders.end());
    siteFolders.push_back(paths.appDir + "sites/");
    const std::string siteProblems = rules::LoadSiteTable(siteFolders);
    std::vector<std::string> addedKeys;
    for (const auto& site : rules::ActiveSites())
        if (!rules::IsBuiltinKey(site->key)) addedKeys.push_back(site->key);
    SetAddedHostKeys(addedKeys);
    return LoadSiteHostsFile(paths.setDir + kSiteHostsFile) + siteProblems;
}

}  // namespace talvenor

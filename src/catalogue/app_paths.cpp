#include "catalogue/app_paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "net/site_hosts.h"
#include "text/files.h"

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

std::string ResolveAppDir(const std::string& home, const std::string& exePath) {
    if (!home.empty()) return WithSlash(home);
    std::string exeDir = exePath.empty() ? ExecutableDir() : exePath;
    if (!exeDir.empty() && exeDir.back() != '/') {
        auto slash = exeDir.rfind('/');
        exeDir = slash == std::string::npos ? "./" : exeDir.substr(0, slash + 1);
    }
    if (::access(exeDir.c_str(), W_OK) == 0) return exeDir;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* h = std::getenv("HOME");
        base = std::string(h && *h ? h : "/tmp") + "/.local/share";
    }
    return WithSlash(base) + "talvenor/";
}

std::string PrepareAppDirs(const AppPaths& paths) {
    MakeDirs(paths.appDir);
    MakeDirs(paths.seeDir);
    MakeDirs(paths.setDir);
    return LoadSiteHostsFile(paths.setDir + kSiteHostsFile);
}

}  // namespace talvenor

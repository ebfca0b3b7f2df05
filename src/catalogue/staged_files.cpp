#include "catalogue/staged_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "catalogue/store.h"
#include "text/files.h"

namespace talvenor {

namespace fs = std::filesystem;

namespace {

const char kStagingPrefix[] = ".staging-";
// Held (flock) by the program that writes the staging folder, for as long
// as it lives: a folder whose lock can be taken was left by a dead program.
const char kLockFile[] = ".lock";
// Present once a switch has begun: from then on the new set wins.  Empty
// when the switch replaces 言情小说吧's whole chunk set (as it always was
// before other sets were switched this way), kKeepChunks otherwise.
const char kSwitchMark[] = ".switching";
const char kKeepChunks[] = "keep chunks";
const char kCategoryFile[] = "fenlei.ml";

bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// "5000.ml" or "5000.ml.list": a chunk file of the site list.
bool IsChunkFile(const std::string& name) {
    for (const char* suffix : {".ml", ".ml.list"}) {
        const size_t n = std::strlen(suffix);
        if (name.size() > n && name.compare(name.size() - n, n, suffix) == 0 &&
            AllDigits(name.substr(0, name.size() - n)))
            return true;
    }
    return false;
}

bool ProcessAlive(long pid) {
    if (pid <= 0 || pid == static_cast<long>(::getpid())) return pid > 0;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The process id that "PID-N" begins with, or 0.
long OwnerOf(const std::string& pidDashN) {
    const size_t dash = pidDashN.find('-');
    if (dash == std::string::npos || dash > 9 || !AllDigits(pidDashN.substr(0, dash)) ||
        !AllDigits(pidDashN.substr(dash + 1)))
        return 0;
    return std::stol(pidDashN.substr(0, dash));
}

// The process that wrote a temporary file of WriteFileAtomic
// ("NAME.tmp-PID-N"), or 0 for any other file.
long TemporaryOwner(const std::string& name) {
    const size_t at = name.rfind(".tmp-");
    return at == std::string::npos ? 0 : OwnerOf(name.substr(at + 5));
}

void MoveInto(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        throw FileError("cannot move " + from.string() + " to " + to.string() + ": " + std::strerror(errno));
}

// The switch proper; repeating it after an interruption finishes it.
void FinishSwitch(const fs::path& folder, const fs::path& staging) {
    std::vector<fs::path> staged;
    for (const auto& entry : fs::directory_iterator(staging)) {
        const std::string name = entry.path().filename().string();
        if (name == kLockFile || name == kSwitchMark || name == kCategoryFile) continue;
        if (entry.is_regular_file()) staged.push_back(entry.path());
    }
    const bool prune = ReadFileBytes((staging / kSwitchMark).string()) != kKeepChunks;
    for (const auto& file : staged) MoveInto(file, folder / file.filename());
    // The category file goes last: until it is in, the old one names old
    // chunks that are all still there.
    if (fs::exists(staging / kCategoryFile)) MoveInto(staging / kCategoryFile, folder / kCategoryFile);
    if (!prune) return;

    std::set<std::string> named;
    for (const std::string& chunk : LoadList((folder / kCategoryFile).string())) {
        named.insert(SafeFileName(chunk + ".ml"));
        named.insert(SafeFileName(chunk + ".ml.list"));
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && IsChunkFile(name) && !named.count(name)) fs::remove(entry.path());
    }
}

}  // namespace

StagedFiles::StagedFiles(std::string folder) : folder_(std::move(folder)) {
    static std::atomic<unsigned> counter{0};
    dir_ = folder_ + "/" + kStagingPrefix + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    std::error_code ec;
    fs::remove_all(dir_, ec);  // a leftover of an earlier run of this process
    MakeDirs(dir_);
    lockFd_ = ::open((dir_ + "/" + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (lockFd_ >= 0) ::close(lockFd_);
        fs::remove_all(dir_, ec);
        throw FileError("cannot write " + dir_ + ": " + std::strerror(err));
    }
}

StagedFiles::~StagedFiles() {
    std::error_code ec;
    // A switch that has begun is finished at the next start, never undone.
    if (!committed_ && !fs::exists(dir_ + "/" + kSwitchMark, ec)) fs::remove_all(dir_, ec);
    ::close(lockFd_);
}

std::string StagedFiles::PathOf(const std::string& fileName) const {
    return dir_ + "/" + fileName;
}

void StagedFiles::Commit(Chunks chunks) {
    WriteFileAtomic(PathOf(kSwitchMark), chunks == Chunks::Prune ? "" : kKeepChunks);
    try {
        FinishSwitch(folder_, dir_);
    } catch (const fs::filesystem_error& e) {
        throw FileError(e.what());
    }
    committed_ = true;
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void RecoverFolder(const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    std::vector<fs::path> stagings, temporaries;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kStagingPrefix, 0) == 0 && entry.is_directory(ec))
            stagings.push_back(entry.path());
        else if (entry.is_regular_file(ec) && TemporaryOwner(name) != 0 &&
                 !ProcessAlive(TemporaryOwner(name)))
            temporaries.push_back(entry.path());
    }
    for (const auto& file : temporaries) fs::remove(file, ec);
    for (const auto& dir : stagings) {
        const int fd = ::open((dir / kLockFile).c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            // No lock yet (or no more): judge by the process in the name.
            const long owner = OwnerOf(dir.filename().string().substr(sizeof kStagingPrefix - 1));
            if (owner == 0 || ProcessAlive(owner)) continue;
        } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);  // its program is still writing it
            continue;
        }
        try {
            if (fs::exists(dir / kSwitchMark)) FinishSwitch(folder, dir);
            fs::remove_all(dir, ec);
        } catch (const std::exception&) {
            // Left for the next start.
        }
        if (fd >= 0) ::close(fd);
    }
}

}  // namespace talvenor

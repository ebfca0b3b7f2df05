#include "text/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace talvenor {

namespace fs = std::filesystem;

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("cannot read " + path);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw FileError("cannot read " + path);
    return data;
}

void WriteFileAtomic(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    std::string tmp = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw FileError("cannot write " + path + ": " + std::strerror(errno));
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            throw FileError("cannot write " + path + ": " + std::strerror(err));
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw FileError("cannot write " + path + ": " + std::strerror(err));
    }
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeDirs(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (!DirExists(path)) throw FileError("cannot create folder " + path + (ec ? ": " + ec.message() : ""));
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

void CopyFileOver(const std::string& from, const std::string& to) {
    WriteFileAtomic(to, ReadFileBytes(from));
}

}  // namespace talvenor

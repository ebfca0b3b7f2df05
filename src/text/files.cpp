#include "text/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace talvenor {

namespace fs = std::filesystem;

std::string ReadFileBytes(const std::string& path) {
    // Read in large blocks into a string sized from the file's length: a
    // list file of tens of megabytes costs what the copy costs.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw FileError("cannot read " + path);
    struct stat st {};
    std::string data;
    // One byte more than the length, so that the read that finds the end
    // needs no second buffer.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        data.resize(static_cast<size_t>(st.st_size) + 1);
    size_t have = 0;
    for (;;) {
        if (have == data.size()) data.resize(std::max<size_t>(data.size() * 2, 65536));
        const ssize_t got = ::read(fd, data.data() + have, data.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            throw FileError("cannot read " + path);
        }
        if (got == 0) break;
        have += static_cast<size_t>(got);
    }
    ::close(fd);
    data.resize(have);
    return data;
}

namespace {

std::mutex gWriteFailuresMutex;
WriteFailureRecord gWriteFailures;

// Counts a failed write and hands it back to be thrown.
FileError WriteFailed(const std::string& what) {
    std::lock_guard<std::mutex> lock(gWriteFailuresMutex);
    ++gWriteFailures.count;
    gWriteFailures.last = what;
    return FileError(what);
}

}  // namespace

WriteFailureRecord WriteFailures() {
    std::lock_guard<std::mutex> lock(gWriteFailuresMutex);
    return gWriteFailures;
}

namespace {

// Writes bytes to a new or truncated file; on failure the file is removed
// and FileError names `shownPath`.
void WriteWhole(const std::string& file, const std::string& bytes, const std::string& shownPath) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw WriteFailed("cannot write " + shownPath + ": " + std::strerror(errno));
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(file.c_str());
            throw WriteFailed("cannot write " + shownPath + ": " + std::strerror(err));
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(file.c_str());
        throw WriteFailed("cannot write " + shownPath + ": " + std::strerror(err));
    }
}

}  // namespace

void WriteFileAtomic(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    std::string tmp = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    WriteWhole(tmp, bytes, path);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw WriteFailed("cannot write " + path + ": " + std::strerror(err));
    }
}

void WriteFileInPlace(const std::string& path, const std::string& bytes) {
    // A new file rather than a truncated one: ext4 flushes a file that was
    // truncated and rewritten when it is closed, which costs a disk write
    // per page.
    ::unlink(path.c_str());
    WriteWhole(path, bytes, path);
}

struct BackgroundWriter::Impl {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::pair<std::string, std::string>> queue;
    bool busy = false;
    bool closing = false;
    std::string failure;
    std::atomic<bool> failed{false};
    std::thread thread;

    void Run() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            cv.wait(lock, [&] { return closing || !queue.empty(); });
            if (queue.empty()) return;
            auto job = std::move(queue.front());
            queue.pop_front();
            busy = true;
            lock.unlock();
            std::string error;
            if (!failed.load()) {
                try {
                    WriteFileInPlace(job.first, job.second);
                } catch (const FileError& e) {
                    error = e.what();
                }
            }
            lock.lock();
            busy = false;
            if (!error.empty() && failure.empty()) {
                failure = error;
                failed = true;
            }
            cv.notify_all();
        }
    }
};

BackgroundWriter::BackgroundWriter() : impl_(new Impl) {
    impl_->thread = std::thread([this] { impl_->Run(); });
}

BackgroundWriter::~BackgroundWriter() {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->closing = true;
        impl_->cv.notify_all();
    }
    impl_->thread.join();
    delete impl_;
}

void BackgroundWriter::Write(std::string path, std::string bytes) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->queue.emplace_back(std::move(path), std::move(bytes));
    impl_->cv.notify_all();
}

bool BackgroundWriter::Failed() const {
    return impl_->failed.load();
}

void BackgroundWriter::Finish() {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->cv.wait(lock, [&] { return impl_->queue.empty() && !impl_->busy; });
    if (!impl_->failure.empty()) throw FileError(impl_->failure);
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
    if (!DirExists(path)) throw WriteFailed("cannot create folder " + path + (ec ? ": " + ec.message() : ""));
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

void CopyFileOver(const std::string& from, const std::string& to) {
    WriteFileAtomic(to, ReadFileBytes(from));
}

}  // namespace talvenor

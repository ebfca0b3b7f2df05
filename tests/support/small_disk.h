// A small file system of the test's own (tmpfs) mounted on a folder of the
// test's home, to see what the program does when the disk fills up.
// Mounting needs root (or CAP_SYS_ADMIN); elsewhere the test skips.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "text/files.h"

class SmallDisk {
  public:
    // Creates folder and mounts a tmpfs of `bytes` on it.
    SmallDisk(const std::string& folder, size_t bytes) : folder_(folder) {
        talvenor::MakeDirs(folder_);
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
            mounted_ = true;
        else
            why_ = std::string("mount -t tmpfs on ") + folder_ + ": " + std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    // Why it could not be mounted: for GTEST_SKIP.
    std::string why() const {
        return why_ + " (a full disk is tested where a small file system can be mounted)";
    }

    // Fills the disk up with a file of its own until about `bytes` stay free
    // (whole pages: the file system counts in pages).
    void LeaveFree(size_t bytes) {
        Unfill();
        const size_t free = Free();
        if (free <= bytes) return;
        const std::string filler = folder_ + "/.filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const std::string block(4096, 'x');
        for (size_t left = (free - bytes) / block.size(); left > 0; --left)
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) break;
        ::close(fd);
    }
    void Unfill() { ::unlink((folder_ + "/.filler").c_str()); }
    size_t Free() const {
        struct statvfs st;
        return ::statvfs(folder_.c_str(), &st) == 0 ? static_cast<size_t>(st.f_bavail) * st.f_frsize : 0;
    }

  private:
    std::string folder_;
    bool mounted_ = false;
    std::string why_;
};

// Whole-file reading and writing.  Every file the program writes goes to a
// temporary file in the same folder first and is renamed over the old one,
// so an interrupted save never leaves half a file behind.
#pragma once

#include <stdexcept>
#include <string>

namespace talvenor {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes of this process that failed (files written, folders created) and
// the text of the latest failure.  Some callers carry on after a failed
// write; this tells a front end that something was not saved.
struct WriteFailureRecord {
    unsigned long count = 0;
    std::string last;
};
WriteFailureRecord WriteFailures();

// The whole file as bytes; throws FileError when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Replaces path with bytes (temporary file + rename); throws FileError.
void WriteFileAtomic(const std::string& path, const std::string& bytes);

// Replaces path in place (truncate and write); for output that is not part
// of the store, where a rename per file would cost more than it protects.
void WriteFileInPlace(const std::string& path, const std::string& bytes);

// Writes files on a thread of its own, in order, so that a long run of page
// files overlaps with the downloads that produce them.
class BackgroundWriter {
public:
    BackgroundWriter();
    ~BackgroundWriter();  // waits for what is queued
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;
    void Write(std::string path, std::string bytes);
    // True once a write has failed.
    bool Failed() const;
    // Waits until everything queued is written; throws the first failure.
    void Finish();

private:
    struct Impl;
    Impl* impl_;
};

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Creates the folder with any missing parents; throws FileError.
void MakeDirs(const std::string& path);
// Deletes a file; false when there was none or it could not be deleted.
bool RemoveFile(const std::string& path);
// Copies a file over another (atomically); throws FileError.
void CopyFileOver(const std::string& from, const std::string& to);

}  // namespace talvenor

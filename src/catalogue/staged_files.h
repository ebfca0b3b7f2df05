// Files that only make sense together are replaced as a set: a category's
// book list and its keys, the category list and its URLs, the watch list,
// the last reading with the mark list, and 言情小说吧's chunk files named by
// its category file "fenlei.ml".  The new files are written whole into a
// staging folder beside the old ones and switched to only when every one of
// them is written, so that a full disk, a cancel or a kill never leaves a
// set that mixes old and new files: never a name file paired with another
// list's keys, a category file that names chunks of two updates, a listed
// chunk without its file, or chunks that no list names.
//
// The switch marks the staging folder first; a switch cut short by a kill
// is finished at the next start, and an unmarked staging folder left by a
// killed program is removed then.
#pragma once

#include <string>

namespace talvenor {

class StagedFiles {
  public:
    // What a switch does with 言情小说吧's chunk files ("5000.ml", ...).
    enum class Chunks {
        Keep,   // leaves them alone
        Prune,  // deletes those that the new category file no longer names
    };

    // Creates an empty staging folder in folder, owned by this process.
    explicit StagedFiles(std::string folder);
    // Removes the staging folder unless its switch has begun.
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // Path of a file in the staging folder (fileName as on disk).
    std::string PathOf(const std::string& fileName) const;
    // Switches the folder to the staged set: the staged files replace the
    // folder's (a category file "fenlei.ml" last).  Throws FileError; once
    // the switch has begun, a failure leaves it to be finished at the next
    // start.
    void Commit(Chunks chunks = Chunks::Keep);

  private:
    std::string folder_;
    std::string dir_;
    int lockFd_ = -1;
    bool committed_ = false;
};

// Start-up, before the folder's files are read: finishes the switches that
// killed programs had begun in folder and removes their unfinished staging
// folders and half-written temporary files.  Folders and files of programs
// still running are left alone.  Failures are ignored.
void RecoverFolder(const std::string& folder);

}  // namespace talvenor

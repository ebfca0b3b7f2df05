// 言情小说吧's site list is stored as a set of chunk files ("5000.ml",
// "10000.ml", ...) named by its category file "fenlei.ml".  An update writes
// the new set into a staging folder beside the old files and switches to it
// only when it is complete, so that a cancelled or killed update leaves the
// old set whole: never a category file that names chunks of both updates,
// a listed chunk without its file, or chunks that no list names.
//
// The switch marks the staging folder first; a switch cut short by a kill
// is finished at the next start, and an unmarked staging folder left by a
// killed program is removed then.
#pragma once

#include <string>

namespace talvenor {

class ChunkStaging {
  public:
    // Creates an empty staging folder in siteFolder, owned by this process
    // (worker: a number that tells this process's updates apart).
    ChunkStaging(std::string siteFolder, unsigned worker);
    // Removes the staging folder unless it was committed.
    ~ChunkStaging();
    ChunkStaging(const ChunkStaging&) = delete;
    ChunkStaging& operator=(const ChunkStaging&) = delete;

    // Path of a file in the staging folder (fileName as on disk).
    std::string PathOf(const std::string& fileName) const;
    // Switches the site to the staged set: the staged files (their category
    // file "fenlei.ml" among them) replace the site's, and the chunk files
    // the new category file no longer names are deleted.  Throws FileError;
    // once the switch has begun, a failure leaves it to be finished at the
    // next start.
    void Commit();
    // Drops the staged files now.
    void Discard();

  private:
    std::string siteFolder_;
    std::string dir_;
    int lockFd_ = -1;
    bool committed_ = false;
};

// Start-up, before the store is read: finishes the switches that killed
// programs had begun in siteFolder and removes their unfinished staging
// folders and half-written temporary files.  Folders and files of programs
// still running are left alone.  Failures are ignored.
void RecoverSiteFolder(const std::string& siteFolder);

}  // namespace talvenor

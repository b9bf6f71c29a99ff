// Output files are written under a temporary name in the destination's folder and renamed
// over the destination only when complete, so an interrupted or failed run never leaves a
// half-written image under the name the user asked for. The temporary file is made, written,
// synced and given its mode through the one descriptor that created it, never reopened by
// name, so that nothing planted in a shared folder can redirect it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace qorva::cli {

class TempOutput {
public:
    TempOutput() = default;
    ~TempOutput();  // removes the temporary file unless it was committed
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    // Checks what finalPath holds now: nothing, or a regular file that may be replaced (a
    // read-only one only with `replaceReadOnly`); anything else is refused. Then creates a
    // new, uniquely named hidden file beside it with the same extension (a shorter name when
    // the long one would not fit the folder's limit).
    bool create(const std::string& finalPath, bool replaceReadOnly, std::string& error);
    const std::string& path() const { return tempPath_; }
    // Every byte, or false with the reason (a full disk, ...).
    bool write(const void* data, std::size_t size, std::string& error);
    // Syncs the file, gives it the mode of the file it replaces (or the one a new file gets),
    // checks it is still the file that was created, renames it over the final path and syncs
    // the folder.
    bool commit(std::string& error);
    // Removes the temporary file now.
    void discard();

private:
    std::string finalPath_;
    std::string tempPath_;
    int fd_ = -1;
    int slot_ = -1;  // the signal handler's record of the file
    mode_t mode_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// SIGINT, SIGTERM and SIGHUP remove the temporary files being written, then end the process
// as the signal would have.
void installInterruptCleanup();

}  // namespace qorva::cli

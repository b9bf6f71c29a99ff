// Output files are written under a temporary name in the destination's folder and renamed
// over the destination only when complete, so an interrupted or failed run never leaves a
// half-written image under the name the user asked for.
#pragma once

#include <string>

namespace qorva::cli {

class TempOutput {
public:
    TempOutput() = default;
    ~TempOutput();  // removes the temporary file unless it was committed
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    // Creates a new, empty, uniquely named hidden file beside finalPath with the same
    // extension.
    bool create(const std::string& finalPath, std::string& error);
    const std::string& path() const { return tempPath_; }
    // Flushes the file to disk, gives it the permissions a new file gets, and renames it to
    // the final path (replacing a file there).
    bool commit(std::string& error);
    // Removes the temporary file now.
    void discard();

private:
    std::string finalPath_;
    std::string tempPath_;
};

// SIGINT, SIGTERM and SIGHUP remove the temporary file being written, then end the process
// as the signal would have.
void installInterruptCleanup();

}  // namespace qorva::cli

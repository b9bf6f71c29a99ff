// Helpers of the command-line tests: a scratch folder, generated images on disk, and running
// the built qorvahdr as a process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image_file.h"

namespace qorva::cli::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries, sorted; hidden ones included.
    std::vector<std::string> entries(const std::string& sub = "") const;

private:
    std::string path_;
};

// The generated photo-like scene as an RgbImage.
RgbImage sceneImage(int width, int height, std::uint32_t seed = 1);
// Writes image to path in the format its extension names; fails the test on error.
void writeImage(const std::string& path, const RgbImage& image, int jpegQuality = 95);
// Reads path; fails the test (and returns an empty image) on error.
RgbImage readImage(const std::string& path);

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs the built qorvahdr with args, standard error not a terminal.
ToolRun runTool(const std::vector<std::string>& args);

// A minimal well-formed RGB display profile: header, tag table and a white point.
std::vector<std::uint8_t> makeIccProfile();

// An image file of raw samples, 8 or 16 bits, 1 to 4 bands, in the format path names.
void writeSamples(const std::string& path, const void* samples, int width, int height, int bands,
                  bool sixteenBit);

// The metadata of `from` carried into the file `to` in place; the warning when some was not.
bool carryMetadataFile(const std::string& from, const std::string& to, int width, int height,
                       std::string& warning);

// What the tool's process may have; 0 leaves a limit as it is.
struct ToolLimits {
    long fileSize = 0;             // the largest file it may write (a disk that fills up)
    std::size_t addressSpace = 0;  // its address space (a machine without memory to spare)
};
// As runTool, under the limits: the process is forked, limited, then started, so that the
// limits hold for the tool only. Exit code 120 when a limit cannot be set.
ToolRun runToolWithLimits(const std::vector<std::string>& args, const ToolLimits& limits);
// As runTool, with the size of files the tool may write limited to fileSizeLimit bytes.
ToolRun runToolWithFileLimit(const std::vector<std::string>& args, long fileSizeLimit);

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

}  // namespace qorva::cli::test

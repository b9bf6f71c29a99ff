// Helpers of the command-line tests: a scratch folder, generated images on disk, and running
// the built qorvahdr as a process.
#pragma once

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

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

}  // namespace qorva::cli::test

// Reading and writing photographs for the command line. The engine works on packed 8-bit RGB,
// so every input is brought to that form: deeper samples are rounded to 8 bits, grey is spread
// to three channels, and an alpha channel is kept aside to be written back unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image_format.h"

namespace qorva::cli {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;    // width x height x 3, rows top to bottom
    std::vector<std::uint8_t> alpha;  // width x height, or empty when the input had none
};

struct ReadInfo {
    std::string format;       // the decoder's format name: "jpeg", "png", "tiff", "ppm", ...
    std::string depth;        // "" for 8-bit input, else what was rounded: "16-bit", "float", ...
    int channels = 0;         // channels in the file
    int droppedChannels = 0;  // channels beyond RGB and alpha that cannot be carried
    int pages = 1;            // pages or frames in the file; only the first is read
};

constexpr double kDefaultMaxMegapixels = 500;

struct ReadLimits {
    // Larger images are refused from their header, before any pixel memory is taken: a file
    // of a few bytes can claim a picture of gigabytes.
    double maxMegapixels = kDefaultMaxMegapixels;
};

// Starts the image library once per process, before threads use it: its own threads off (the
// tool decides how many threads work), its cache off, its messages kept out of the tool's
// output, and the decoders that are not meant for untrusted files refused.
void initImageLibrary();

// False with a reason (the decoder's own words where it gives some) when the file is not a
// regular file, cannot be opened or decoded, is cut short, or is over the limit.
bool readImageFile(const std::string& path, RgbImage& image, ReadInfo& info, std::string& error,
                   const ReadLimits& limits = {});

struct WriteOptions {
    OutputFormat format = OutputFormat::Png;
    int jpegQuality = 95;
};

// The whole file, in memory, in the given format. The alpha channel is written when present
// and the format holds one. No metadata: that is added afterwards (image_metadata.h).
bool encodeImage(const RgbImage& image, const WriteOptions& options,
                 std::vector<std::uint8_t>& bytes, std::string& error);

// encodeImage, then the bytes written to path (whatever its extension).
bool writeImageFile(const std::string& path, const RgbImage& image, const WriteOptions& options,
                    std::string& error);

// 16-bit sample to 8 bits, rounded to nearest: v x 255 / 65535.
inline std::uint8_t roundTo8Bit(std::uint16_t v) {
    return static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) * 255u + 32767u) / 65535u);
}

}  // namespace qorva::cli

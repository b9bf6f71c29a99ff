// Reading and writing photographs for the command line. The engine works on packed 8-bit RGB,
// so every input is brought to that form: deeper samples are rounded to 8 bits, grey is spread
// to three channels, and an alpha channel is kept aside to be written back unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorva::cli {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;    // width x height x 3, rows top to bottom
    std::vector<std::uint8_t> alpha;  // width x height, or empty when the input had none
};

struct ReadInfo {
    std::string format;       // the library's format name: "jpeg", "png", "tiff", "pnm", ...
    std::string depth;        // "" for 8-bit input, else what was rounded: "16-bit", "float", ...
    int channels = 0;         // channels in the file
    int droppedChannels = 0;  // channels beyond RGB and alpha that cannot be carried
};

// False with a reason (the library's own words where it gives some) when the file cannot be
// opened or decoded.
bool readImageFile(const std::string& path, RgbImage& image, ReadInfo& info, std::string& error);

// The formats the tool writes, by the names --format accepts.
enum class OutputFormat { None, Jpeg, Png, Tiff, Ppm };

// "jpg", ".JPEG", "tif", ... to a format; None for anything else.
OutputFormat formatFromName(std::string name);
// The format an output path's extension names; None when it names none.
OutputFormat formatFromPath(const std::string& path);
// The usual extension with its dot: ".jpg", ".png", ".tif", ".ppm".
const char* formatExtension(OutputFormat format);
const char* formatName(OutputFormat format);
bool formatHoldsAlpha(OutputFormat format);
bool formatHoldsMetadata(OutputFormat format);

struct WriteOptions {
    OutputFormat format = OutputFormat::Png;
    int jpegQuality = 95;
};

// Writes image to path in the given format (whatever the path's extension). The alpha channel
// is written when present and the format holds one.
bool writeImageFile(const std::string& path, const RgbImage& image, const WriteOptions& options,
                    std::string& error);

// 16-bit sample to 8 bits, rounded to nearest: v x 255 / 65535.
inline std::uint8_t roundTo8Bit(std::uint16_t v) {
    return static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) * 255u + 32767u) / 65535u);
}

}  // namespace qorva::cli

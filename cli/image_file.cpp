#include "image_file.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <limits>
#include <new>

namespace qorva::cli {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string libraryError(const std::string& text, const char* fallback) {
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == ' ')) t.pop_back();
    return t.empty() ? fallback : t;
}

std::uint8_t floatTo8Bit(float v) {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(v * 255.0f));
}

// Reads all channels of the first subimage as `Sample` and hands each one to `store` as an
// 8-bit value. Keeps only one decoded buffer besides the result.
template <typename Sample, typename To8>
bool readSamples(OIIO::ImageInput& in, OIIO::TypeDesc type, int channels, std::size_t pixels,
                 To8 to8, std::vector<std::uint8_t>& out8, std::string& error) {
    std::vector<Sample> samples(pixels * static_cast<std::size_t>(channels));
    if (!in.read_image(0, 0, 0, channels, type, samples.data())) {
        error = libraryError(in.geterror(), "the pixels cannot be decoded");
        return false;
    }
    // The JPEG decoder fills a cut-off file with grey and calls it a warning; a result made
    // from that would pass for a good one. Other warnings (stray bytes between markers, common
    // in camera files) leave the picture intact.
    const std::string warnings = in.geterror();
    if (lower(warnings).find("premature end") != std::string::npos) {
        error = libraryError(warnings, "the file ends early");
        return false;
    }
    out8.resize(samples.size());
    std::transform(samples.begin(), samples.end(), out8.begin(), to8);
    return true;
}

}  // namespace

bool readImageFile(const std::string& path, RgbImage& image, ReadInfo& info, std::string& error) {
    image = RgbImage{};
    info = ReadInfo{};
    if (std::filesystem::is_directory(path)) {
        error = "is a folder, not an image";
        return false;
    }
    // Alpha stays as stored: the colour channels of a PNG or an unassociated TIFF are not
    // multiplied by alpha on the way in (nor divided on the way out).
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in) {
        error = libraryError(OIIO::geterror(), "not an image this tool can read");
        return false;
    }
    const OIIO::ImageSpec& layout = in->spec();
    info.format = in->format_name();
    info.channels = layout.nchannels;
    if (layout.width <= 0 || layout.height <= 0 || layout.nchannels <= 0 || layout.depth > 1 ||
        layout.deep) {
        error = "has no flat image the tool can process";
        return false;
    }
    const std::size_t pixels = static_cast<std::size_t>(layout.width) * layout.height;
    if (pixels > std::numeric_limits<std::size_t>::max() / 16 / layout.nchannels ||
        pixels > static_cast<std::size_t>(std::numeric_limits<int>::max()) / 3) {
        error = "is too large";
        return false;
    }

    std::vector<std::uint8_t> samples;
    try {
        const OIIO::TypeDesc stored = layout.format;
        bool ok;
        if (stored == OIIO::TypeDesc::UINT8 && layout.channelformats.empty()) {
            ok = readSamples<std::uint8_t>(
                *in, OIIO::TypeDesc::UINT8, layout.nchannels, pixels,
                [](std::uint8_t v) { return v; }, samples, error);
        } else if (stored == OIIO::TypeDesc::UINT16) {
            info.depth = "16-bit";
            ok = readSamples<std::uint16_t>(*in, OIIO::TypeDesc::UINT16, layout.nchannels, pixels,
                                            roundTo8Bit, samples, error);
        } else {
            info.depth = stored.is_floating_point()
                             ? std::to_string(stored.size() * 8) + "-bit floating-point"
                             : std::to_string(stored.size() * 8) + "-bit";
            ok = readSamples<float>(*in, OIIO::TypeDesc::FLOAT, layout.nchannels, pixels,
                                    floatTo8Bit, samples, error);
        }
        if (!ok) return false;
    } catch (const std::bad_alloc&) {
        error = "is too large for the memory available";
        return false;
    }

    const int n = layout.nchannels;
    int alphaChannel = layout.alpha_channel;
    if (alphaChannel < 0 && (n == 2 || n == 4)) alphaChannel = n - 1;
    const bool grey = n < 3;
    const int colourChannels = grey ? 1 : 3;
    if (alphaChannel >= 0 && alphaChannel < colourChannels) alphaChannel = -1;
    info.droppedChannels = n - colourChannels - (alphaChannel >= 0 ? 1 : 0);

    image.width = layout.width;
    image.height = layout.height;
    try {
        image.rgb.resize(pixels * 3);
        if (alphaChannel >= 0) image.alpha.resize(pixels);
    } catch (const std::bad_alloc&) {
        image = RgbImage{};
        error = "is too large for the memory available";
        return false;
    }
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* s = &samples[i * static_cast<std::size_t>(n)];
        std::uint8_t* d = &image.rgb[i * 3];
        if (grey) {
            d[0] = d[1] = d[2] = s[0];
        } else {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
        if (alphaChannel >= 0) image.alpha[i] = s[alphaChannel];
    }
    return true;
}

OutputFormat formatFromName(std::string name) {
    name = lower(std::move(name));
    if (!name.empty() && name[0] == '.') name.erase(0, 1);
    if (name == "jpg" || name == "jpeg" || name == "jpe") return OutputFormat::Jpeg;
    if (name == "png") return OutputFormat::Png;
    if (name == "tif" || name == "tiff") return OutputFormat::Tiff;
    if (name == "ppm" || name == "pnm") return OutputFormat::Ppm;
    return OutputFormat::None;
}

OutputFormat formatFromPath(const std::string& path) {
    return formatFromName(std::filesystem::path(path).extension().string());
}

const char* formatExtension(OutputFormat format) {
    switch (format) {
        case OutputFormat::Jpeg:
            return ".jpg";
        case OutputFormat::Png:
            return ".png";
        case OutputFormat::Tiff:
            return ".tif";
        case OutputFormat::Ppm:
            return ".ppm";
        case OutputFormat::None:
            break;
    }
    return "";
}

const char* formatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Jpeg:
            return "JPEG";
        case OutputFormat::Png:
            return "PNG";
        case OutputFormat::Tiff:
            return "TIFF";
        case OutputFormat::Ppm:
            return "PPM";
        case OutputFormat::None:
            break;
    }
    return "";
}

bool formatHoldsAlpha(OutputFormat format) {
    return format == OutputFormat::Png || format == OutputFormat::Tiff;
}

bool formatHoldsMetadata(OutputFormat format) {
    return format == OutputFormat::Jpeg || format == OutputFormat::Png ||
           format == OutputFormat::Tiff;
}

bool writeImageFile(const std::string& path, const RgbImage& image, const WriteOptions& options,
                    std::string& error) {
    const char* library = nullptr;
    switch (options.format) {
        case OutputFormat::Jpeg:
            library = "jpeg";
            break;
        case OutputFormat::Png:
            library = "png";
            break;
        case OutputFormat::Tiff:
            library = "tiff";
            break;
        case OutputFormat::Ppm:
            library = "pnm";
            break;
        case OutputFormat::None:
            error = "no output format";
            return false;
    }
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    if (image.width <= 0 || image.height <= 0 || image.rgb.size() != pixels * 3) {
        error = "no image to write";
        return false;
    }
    auto out = OIIO::ImageOutput::create(library);
    if (!out) {
        error = libraryError(OIIO::geterror(), "the image library cannot write this format");
        return false;
    }
    const bool withAlpha = !image.alpha.empty() && formatHoldsAlpha(options.format);
    OIIO::ImageSpec layout(image.width, image.height, withAlpha ? 4 : 3, OIIO::TypeDesc::UINT8);
    if (withAlpha) {
        layout.alpha_channel = 3;
        layout.attribute("oiio:UnassociatedAlpha", 1);
    }
    if (options.format == OutputFormat::Jpeg) {
        layout.attribute("Compression", "jpeg:" + std::to_string(options.jpegQuality));
        layout.attribute("CompressionQuality", options.jpegQuality);
    }
    if (!out->open(path, layout)) {
        error = libraryError(out->geterror(), "cannot be created");
        return false;
    }
    bool ok;
    if (withAlpha) {
        std::vector<std::uint8_t> rgba(pixels * 4);
        for (std::size_t i = 0; i < pixels; ++i) {
            std::copy_n(&image.rgb[i * 3], 3, &rgba[i * 4]);
            rgba[i * 4 + 3] = image.alpha[i];
        }
        ok = out->write_image(OIIO::TypeDesc::UINT8, rgba.data());
    } else {
        ok = out->write_image(OIIO::TypeDesc::UINT8, image.rgb.data());
    }
    if (!ok) {
        error = libraryError(out->geterror(), "the pixels cannot be written");
        out->close();
        return false;
    }
    if (!out->close()) {
        error = libraryError(out->geterror(), "the file cannot be completed");
        return false;
    }
    return true;
}

}  // namespace qorva::cli

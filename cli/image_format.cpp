#include "image_format.h"

#include <cctype>
#include <filesystem>

namespace qorva::cli {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

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

}  // namespace qorva::cli

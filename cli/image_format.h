// The file formats the tool writes, by name and by extension. Kept apart from the codecs so
// that naming a format needs no image library.
#pragma once

#include <string>

namespace qorva::cli {

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

}  // namespace qorva::cli

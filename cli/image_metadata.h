// Carries a photograph's EXIF, XMP, IPTC and ICC profile from the input file to the output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorva::cli {

// Starts the metadata library once per process (before any thread uses it) and keeps its
// console chatter out of the tool's output.
void initMetadataLibrary();

// Adds the metadata of the file `from` to `encoded`, the bytes of an image file written
// without any, whose pixels are width x height. Tags that describe the input's pixel layout,
// and its embedded preview thumbnail (which would show the unprocessed photo), are not
// carried; the EXIF pixel dimensions are set to the output's. The XMP packet goes over as it
// is, also when it does not parse. An input without metadata, or in a format that holds none,
// leaves `encoded` as it is. False when some metadata that exists could not be carried:
// `warning` then names each part and why, and `encoded` holds the image with every part that
// could be carried.
bool carryMetadata(const std::string& from, int width, int height,
                   std::vector<std::uint8_t>& encoded, std::string& warning);

}  // namespace qorva::cli

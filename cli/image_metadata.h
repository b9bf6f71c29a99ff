// Carries a photograph's EXIF, XMP, IPTC and ICC profile from the input file to the output.
#pragma once

#include <string>

namespace qorva::cli {

// Starts the metadata library once per process (before any thread uses it) and keeps its
// console chatter out of the tool's output.
void initMetadataLibrary();

// Copies the metadata of `from` into the already written image `to`, whose pixels are
// width x height. Tags that describe the input's pixel layout, and its embedded preview
// thumbnail (which would show the unprocessed photo), are not carried; the EXIF pixel
// dimensions are set to the output's. An input without metadata, or in a format that holds
// none, leaves `to` as it is. False with a reason when metadata that exists could not be
// carried.
bool copyMetadata(const std::string& from, const std::string& to, int width, int height,
                  std::string& error);

}  // namespace qorva::cli

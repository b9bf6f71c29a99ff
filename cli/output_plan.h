// Which file each input is written to: one input to one named file, or any number of inputs
// into a folder under the input's name with a suffix. The output is a folder when several
// inputs are given, when it is one already, or when its name ends in "/" or has no extension. Every
// conflict is found before any image is processed.
#pragma once

#include <string>
#include <vector>

#include "image_file.h"

namespace qorva::cli {

struct PlannedOutput {
    std::string input;
    std::string output;
    OutputFormat format = OutputFormat::None;
};

struct OutputPlan {
    std::vector<PlannedOutput> files;
    std::string folder;  // the output folder in folder mode (created when missing), else empty
};

// Throws UsageError when the output's format cannot be told, two inputs would be written to
// the same file, or an output would replace an input without `overwrite`.
OutputPlan planOutputs(const std::vector<std::string>& inputs, const std::string& output,
                       const std::string& suffix, OutputFormat format, bool overwrite);

// Throws UsageError when the settings file to save is one of the input images: a forgotten
// settings name before a list of photos must not turn the first photo into a settings file,
// with or without --overwrite (which is about rendered outputs).
void checkSettingsTarget(const std::string& path, const std::vector<std::string>& inputs);

}  // namespace qorva::cli

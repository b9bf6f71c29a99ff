#include "output_plan.h"

#include <filesystem>
#include <map>

#include "cli_options.h"

namespace qorva::cli {
namespace fs = std::filesystem;
namespace {

// The same file for two spellings of a path, whether or not it exists yet.
std::string identity(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) p = fs::absolute(path).lexically_normal();
    return p.string();
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    return identity(a) == identity(b);
}

const char* formatChoices = "--format jpeg, png, tiff or ppm";

}  // namespace

OutputPlan planOutputs(const std::vector<std::string>& inputs, const std::string& output,
                       const std::string& suffix, OutputFormat format, bool overwrite) {
    if (inputs.empty()) throw UsageError("no input images given");
    if (output.empty()) throw UsageError("no output given: name it with -o FILE or -o FOLDER");
    std::error_code ec;
    const bool outputIsFolder = fs::is_directory(output, ec);
    // A name without an extension cannot say a file format, so it names a folder, as does
    // one that ends in a separator or already is one.
    const bool folderMode = inputs.size() > 1 || outputIsFolder || output.back() == '/' ||
                            (!fs::exists(output, ec) && fs::path(output).extension().empty());
    if (folderMode && !outputIsFolder && fs::exists(output, ec))
        throw UsageError(output + " is a file; several inputs need an output folder");

    OutputPlan plan;
    if (folderMode) plan.folder = output;
    for (const std::string& input : inputs) {
        PlannedOutput file;
        file.input = input;
        if (folderMode) {
            const fs::path in(input);
            const std::string extension =
                format == OutputFormat::None ? in.extension().string() : formatExtension(format);
            file.format = format == OutputFormat::None ? formatFromName(extension) : format;
            if (file.format == OutputFormat::None)
                throw UsageError("cannot write " + input + " in its own format (\"" + extension +
                                 "\"); choose one with " + formatChoices);
            file.output = (fs::path(output) / (in.stem().string() + suffix + extension)).string();
        } else {
            file.output = output;
            const OutputFormat named = formatFromPath(output);
            if (format != OutputFormat::None && named != OutputFormat::None && named != format)
                throw UsageError(output + " names a " + formatName(named) + " file but --format " +
                                 "asks for " + formatName(format));
            file.format = format == OutputFormat::None ? named : format;
            if (file.format == OutputFormat::None)
                throw UsageError("cannot tell the format of " + output +
                                 " from its extension (.jpg, .png, .tif, .ppm); or give " +
                                 formatChoices);
        }
        plan.files.push_back(std::move(file));
    }

    std::map<std::string, const PlannedOutput*> seen;
    for (const PlannedOutput& f : plan.files) {
        auto [it, fresh] = seen.emplace(identity(f.output), &f);
        if (!fresh)
            throw UsageError(it->second->input + " and " + f.input + " would both be written to " +
                             f.output + "; use separate runs or another --suffix");
        if (overwrite) continue;
        for (const std::string& input : inputs)
            if (sameFile(f.output, input))
                throw UsageError(f.output + " is an input and would be replaced; give another " +
                                 "output or --suffix, or --overwrite to replace it");
    }
    return plan;
}

void checkSettingsTarget(const std::string& path, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (sameFile(path, input))
            throw UsageError("--save-settings " + path +
                             " names an input image, which would be replaced by the settings; "
                             "give the settings file its own name");
}

}  // namespace qorva::cli

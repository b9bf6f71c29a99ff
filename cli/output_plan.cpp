#include "output_plan.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "cli_options.h"

namespace qorva::cli {
namespace fs = std::filesystem;
namespace {

// The same key for two spellings of a path, or two links to one file: the file's device and
// inode when it exists, else its canonical name. Worked out once per path, so that planning
// a large batch takes time in proportion to its size.
std::string identity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return "#" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec) return path;
    fs::path canonical = fs::weakly_canonical(p, ec);
    return (ec ? p.lexically_normal() : canonical).string();
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

    std::unordered_set<std::string> inputIds;
    if (!overwrite)
        for (const std::string& input : inputs) inputIds.insert(identity(input));
    std::unordered_map<std::string, const PlannedOutput*> seen;
    for (const PlannedOutput& f : plan.files) {
        const std::string id = identity(f.output);
        auto [it, fresh] = seen.emplace(id, &f);
        if (!fresh)
            throw UsageError(it->second->input + " and " + f.input + " would both be written to " +
                             f.output + "; use separate runs or another --suffix");
        if (!overwrite && inputIds.count(id) != 0)
            throw UsageError(f.output + " is an input and would be replaced; give another " +
                             "output or --suffix, or --overwrite to replace it");
    }
    return plan;
}

void checkSettingsTarget(const std::string& path, const std::vector<std::string>& inputs) {
    const std::string target = identity(path);
    for (const std::string& input : inputs)
        if (identity(input) == target)
            throw UsageError("--save-settings " + path +
                             " names an input image, which would be replaced by the settings; "
                             "give the settings file its own name");
}

}  // namespace qorva::cli

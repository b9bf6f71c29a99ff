#include "cli_app.h"

#include <sys/stat.h>

#include "batch_runner.h"
#include "cli_help.h"
#include "common/parallel.h"
#include "persistence/file_replace.h"
#include "persistence/settings_file.h"
#include "settings_report.h"

namespace qorva::cli {
namespace {

bool pathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const AppEnvironment& environment) {
    CliOptions options;
    OutputPlan plan;
    try {
        options = parseCommandLine(args, environment.parse);
        if (options.showHelp) {
            out << helpText();
            return 0;
        }
        if (options.showVersion) {
            out << versionText();
            return 0;
        }
        // --print-settings only prints; --save-settings alone only saves.
        const bool saveOnly =
            !options.saveSettingsPath.empty() && options.inputs.empty() && options.output.empty();
        if (!options.saveSettingsPath.empty())
            checkSettingsTarget(options.saveSettingsPath, options.inputs);
        if (!options.printSettings && !saveOnly)
            plan = planOutputs(options.inputs, options.output, options.suffix, options.format,
                               options.overwrite);
    } catch (const UsageError& e) {
        err << "qorvahdr: " << e.what() << "\nTry 'qorvahdr --help' for the options.\n";
        return 2;
    }

    int status = 0;
    if (!options.saveSettingsPath.empty()) {
        // A read-only settings file is kept unless --overwrite says otherwise, as an output is.
        const SettingsResult saved = saveSettingsFile(options.saveSettingsPath, options.method,
                                                      options.colour, options.overwrite);
        if (!saved.ok()) {
            const bool readOnly = !options.overwrite && isReadOnlyFile(options.saveSettingsPath);
            err << "qorvahdr: the settings cannot be saved: "
                << (saved.message.empty() ? options.saveSettingsPath : saved.message)
                << (readOnly ? " (--overwrite replaces it)" : "") << "\n";
            status = 1;
        }
    }
    if (options.printSettings) {
        out << settingsReport(options.method, options.colour);
        return status;
    }
    if (options.dryRun) {
        // What a run would make, and with what, without reading or writing an image.
        out << settingsReport(options.method, options.colour);
        for (const PlannedOutput& file : plan.files) {
            out << file.input << " -> " << file.output;
            if (options.skipExisting && pathExists(file.output)) out << " (exists: skipped)";
            out << "\n";
        }
        return status;
    }
    if (plan.files.empty()) return status;

    setThreadCount(options.jobs);
    BatchOptions batch;
    batch.request.method = options.method;
    batch.request.colour = options.colour;
    batch.request.quality = options.quality;
    batch.request.previewSize = options.previewSize;
    batch.jpegQuality = options.jpegQuality;
    batch.limits.maxMegapixels = options.maxMegapixels;
    batch.replaceReadOnly = options.overwrite;
    batch.skipExisting = options.skipExisting;
    batch.threads = options.jobs;
    ProgressBar bar(err, environment.errorIsTerminal && !options.quiet);
    const int batchStatus = runBatch(plan, batch, err, bar);
    return status != 0 ? status : batchStatus;
}

}  // namespace qorva::cli

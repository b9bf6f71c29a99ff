// The command line's option parser takes whatever a shell or a script hands it: arguments of
// any bytes, values that are not numbers, curves that are not curves, settings files and
// memories that are damaged. Anything it does not accept must end in a usage error, never in
// another exception or a fault.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_options.h"
#include "persistence/settings_file.h"

namespace {

constexpr const char* kFolder = "/tmp/qorva-cli-fuzz";

// A folder with a settings file and a memory file the arguments can name (the seeds use these
// paths), made once, with standard input closed so that no argument can make the parser wait.
std::string prepareFolder() {
    mkdir(kFolder, 0700);
    if (std::freopen("/dev/null", "r", stdin) == nullptr) std::abort();
    const std::string folder = kFolder;
    qorva::MethodSettings method;
    qorva::ColorSettings colour;
    qorva::saveSettingsFile(folder + "/look.dps", method, colour);
    if (std::FILE* f = std::fopen((folder + "/memory.ini").c_str(), "wb")) {
        std::fputs(
            "[Memory 0]\r\nCreated=1\r\nMode=1\r\nRadius=7.000000e+000\r\n\r\n"
            "[Memory 1]\r\nMode=4\r\n\r\n[Memory 2]\r\nMode=0\r\nValue=nan\r\n\r\n",
            f);
        std::fclose(f);
    }
    return folder + "/memory.ini";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string memoryFile = prepareFolder();
    // Arguments are separated by NUL bytes, as the kernel hands them over.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    try {
        const qorva::cli::CliOptions options =
            qorva::cli::parseCommandLine(args, qorva::cli::ParseEnvironment{memoryFile});
        qorva::contrastParamsFor(options.method, options.colour, false);
        qorva::toneMappedParamsFor(options.method, options.colour, false);
    } catch (const qorva::cli::UsageError&) {
    }
    return 0;
}

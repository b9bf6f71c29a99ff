// The whole tool as a function, so tests can run it without starting a process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli_options.h"

namespace qorva::cli {

struct AppEnvironment {
    ParseEnvironment parse;
    bool errorIsTerminal = false;  // draw the progress bar on err
};

// args: the arguments after the program name. Returns the exit code: 0 success, 1 some input
// or output failed, 2 usage error.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const AppEnvironment& environment = {});

}  // namespace qorva::cli

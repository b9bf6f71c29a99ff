#include <unistd.h>

#include <exception>
#include <iostream>

#include "atomic_output.h"
#include "cli_app.h"

int main(int argc, char** argv) {
    qorva::cli::installInterruptCleanup();
    std::vector<std::string> args(argv + 1, argv + argc);
    qorva::cli::AppEnvironment environment;
    environment.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    try {
        return qorva::cli::runCli(args, std::cout, std::cerr, environment);
    } catch (const std::exception& e) {
        std::cerr << "qorvahdr: " << e.what() << "\n";
        return 1;
    }
}

// The plug-in files named on the Windows host's command line.
#pragma once

#include <string>

namespace host {

struct TestFiles {
    std::string plugin;    // the shipped 64-bit plug-in
    std::string scripted;  // the same frame with the test hooks
    std::string plugin32;  // the shipped 32-bit plug-in, inspected only
};

TestFiles& testFiles();

}  // namespace host

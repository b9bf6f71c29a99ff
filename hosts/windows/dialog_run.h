// One filter run of the shipped plug-in whose dialog a script works, as the dialog tests use it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/filter_host.h"
#include "windows/dialog_driver.h"

namespace host {

struct DialogRun {
    std::int16_t result = 0;
    std::vector<std::string> failures;  // the script's, and a plug-in that did not load
    std::vector<std::uint8_t> output;   // the document after the run
    std::vector<std::uint8_t> outBuffer;
};

// loaded, when given, sees the plug-in's module before the filter is called (to stand in for
// what it imports); false ends the run there, with a failure it noted.
using LoadedModule = std::function<bool(HMODULE module, std::vector<std::string>& failures)>;

DialogRun runWithDialog(const Document& original, DialogDriver::Script script,
                        HostOptions options = {}, const LoadedModule& loaded = {});

// The generated photograph the dialog tests work on.
Document photo(int width, int height);

// The script of a user who confirms the defaults once the preview is there.
void confirmOnceShown(DialogDriver& d);

#define EXPECT_NO_FAILURES(run) \
    for (const std::string& failure : (run).failures) ADD_FAILURE() << failure

}  // namespace host

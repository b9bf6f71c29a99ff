// --print-settings: the effective settings, one per line, under the names of their options.
#pragma once

#include <string>

#include "settings/method_settings.h"

namespace qorva::cli {

std::string settingsReport(const MethodSettings& method, const ColorSettings& colour);

}  // namespace qorva::cli

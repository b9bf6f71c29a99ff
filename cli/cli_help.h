// --help and --version texts. The method options, their ranges and defaults come from the
// settings model's slider tables, so the help never lists a name or range the parser does not
// take.
#pragma once

#include <string>

namespace qorva::cli {

std::string helpText();
std::string versionText();

}  // namespace qorva::cli

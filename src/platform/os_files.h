// The two file-system services the persistence layer needs from the operating system beyond the
// C library: replacing a file by renaming another over it, and the running executable's path.
// Implemented once for Windows and once for POSIX systems, so that no system header reaches
// the portable code.
#pragma once

#include <string>

namespace qorva {

// Renames `from` over `to`, replacing an existing `to` in one step.
bool renameReplacing(const std::string& from, const std::string& to);
// The full path of the running process's executable; empty when it cannot be told.
std::string processExecutablePath();

}  // namespace qorva

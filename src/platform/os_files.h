// The file-system services the persistence layer needs from the operating system beyond the
// C library: replacing a file's contents in one step, and the running executable's path.
// Implemented once for Windows and once for POSIX systems, so that no system header reaches
// the portable code.
#pragma once

#include <string>
#include <string_view>

namespace qorva {

// Writes `bytes` to a new file beside `target` and renames it over `target` in one step.
// The new file is created exclusively under a name nobody else uses, so neither a file that
// happens to exist nor a planted link is ever opened, and two saves at once never share it:
// the last rename wins and the target is always whole. Every byte is written and synced
// through the handle that created the file; a replaced file keeps its permission bits where
// the system has them; the rename reaches the disk before success is reported. On failure nothing
// is left behind and `reason` says which step failed and why, with the folder or file concerned.
bool replaceFileContents(const std::string& target, std::string_view bytes, std::string& reason);
// The full path of the running process's executable; empty when it cannot be told.
std::string processExecutablePath();

}  // namespace qorva

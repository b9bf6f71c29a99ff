// Whole-file reads and writes of the persistence layer. A write goes to a temporary file beside
// the target that is renamed over it only once every byte is on disk, so a crash or a full disk
// leaves either the old file or the new one, never a truncated mix.
#pragma once

#include <string>
#include <string_view>

namespace qorva {

enum class FileStatus { Missing, Directory, Regular };

FileStatus fileStatus(const std::string& path);
// Last modification time in nanoseconds of an arbitrary epoch; false when unknown.
bool modifiedTime(const std::string& path, long long& nanoseconds);
// False when the file cannot be opened or read; `bytes` then holds what was read.
bool readWholeFile(const std::string& path, std::string& bytes);
bool writeFileReplacing(const std::string& path, std::string_view bytes);
// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder);

}  // namespace qorva

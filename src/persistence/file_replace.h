// Whole-file reads and writes of the persistence layer. A write goes to a new, uniquely named
// temporary file beside the target that is renamed over it only once every byte is on disk, so
// a crash, a full disk or a second save at the same moment leaves either the old file or a new
// one, never a truncated mix.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorva {

// Other: a device, a pipe, a socket: nothing a settings file or the memories may be.
enum class FileStatus { Missing, Directory, Regular, Other };

FileStatus fileStatus(const std::string& path);
// A regular file without any write permission (the read-only attribute on Windows).
bool isReadOnlyFile(const std::string& path);
// Size in bytes; false when there is no file.
bool fileSize(const std::string& path, unsigned long long& bytes);
// Last modification time in nanoseconds of an arbitrary epoch; false when unknown.
bool modifiedTime(const std::string& path, long long& nanoseconds);

enum class ReadStatus { Ok, Missing, NotRegular, TooLarge, Failed };
// Reads a regular file of at most `limit` bytes. Anything else is refused before a byte is
// read: a device would never end and a pipe may never answer. On Failed, `bytes` holds what
// could be read.
ReadStatus readWholeFile(const std::string& path, std::string& bytes, std::size_t limit);

struct ReplaceOptions {
    // A read-only target is refused unless the user asked for it to be replaced; it then keeps
    // its permissions.
    bool replaceReadOnly = false;
};
// Replaces the regular file at `path` (or creates it). A folder, a device or another special
// file at the path is refused, as is a read-only file unless the options allow it. False with
// `reason` saying why, the path or folder included; the file already there is then unchanged.
bool writeFileReplacing(const std::string& path, std::string_view bytes, std::string& reason,
                        ReplaceOptions options = {});
// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder);

}  // namespace qorva

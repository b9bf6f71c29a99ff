// Where memory.ini lives: beside the host application's executable, as the memories have always
// been kept, or, when that folder cannot be written, in a per-user folder, so that memories
// are never silently lost.
#pragma once

#include <string>

#include "persistence/ini_store.h"

namespace qorva {

class MemoryFolderProvider {
public:
    virtual ~MemoryFolderProvider() = default;
    // Folder of the host application's executable; empty when unknown.
    virtual std::string hostFolder() const = 0;
    // Per-user folder used when the host's folder cannot be written; empty when there is none.
    virtual std::string userFolder() const = 0;
};

// The running process: on Windows the module path of the host executable and
// %APPDATA%\QorvaHDR; elsewhere the executable's folder and $XDG_CONFIG_HOME/qorvahdr (or
// ~/.config/qorvahdr).
class ProcessMemoryFolders : public MemoryFolderProvider {
public:
    std::string hostFolder() const override;
    std::string userFolder() const override;
};

// Folders given by the caller (tests, the command line).
class FixedMemoryFolders : public MemoryFolderProvider {
public:
    FixedMemoryFolders(std::string host, std::string user)
        : host_(std::move(host)), user_(std::move(user)) {}
    std::string hostFolder() const override { return host_; }
    std::string userFolder() const override { return user_; }

private:
    std::string host_;
    std::string user_;
};

// The folder of a module path: everything before its last backslash (or slash elsewhere than
// Windows); a path without one is used whole.
std::string folderOfModulePath(const std::string& modulePath);
// folder + separator + "memory.ini"; empty for an empty folder.
std::string memoryFilePath(const std::string& folder);

struct MemoryFileLocation {
    std::string hostPath;  // <host folder>/memory.ini
    std::string userPath;  // <user folder>/memory.ini, or empty
};

MemoryFileLocation memoryFileLocation(const MemoryFolderProvider& folders);

// Sets the store's path and loads it: the per-user file when it was written after the host
// folder's file (or that one is missing), otherwise the host folder's file. The result of the
// load does not matter to the memory bar; it is returned for tests.
bool loadMemoryFile(IniStore& store, const MemoryFileLocation& location);
// Writes the host folder's file; if that fails, the per-user file (its folder created). A
// successful write to the host folder removes a per-user file left from earlier, so the next
// start reads the newest memories. A file that exists but cannot be read is never replaced
// (it may hold memories this run never saw). False when neither could be written.
bool saveMemoryFile(IniStore& store, const MemoryFileLocation& location);

}  // namespace qorva

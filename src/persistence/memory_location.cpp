#include "persistence/memory_location.h"

#include <cstdio>
#include <cstdlib>

#include "persistence/file_replace.h"
#include "platform/os_files.h"

namespace qorva {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// A memory file that exists but cannot be read (or is too large to be) holds memories this
// run never saw: replacing it with what the store holds would lose them.
bool existsButUnreadable(const std::string& path) {
    if (fileStatus(path) != FileStatus::Regular) return false;
    unsigned long long bytes = 0;
    if (fileSize(path, bytes) && bytes > kMaxIniFileBytes) return true;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return true;
    std::fclose(file);
    return false;
}

}  // namespace

std::string folderOfModulePath(const std::string& modulePath) {
    const std::size_t last = modulePath.find_last_of(kSeparator == '\\' ? "\\" : "/");
    if (last == std::string::npos) return modulePath;
    return modulePath.substr(0, last);
}

std::string memoryFilePath(const std::string& folder) {
    if (folder.empty()) return {};
    std::string path = folder;
    if (path.back() != kSeparator) path += kSeparator;
    return path + "memory.ini";
}

std::string ProcessMemoryFolders::hostFolder() const {
    // The process's module, not the plug-in's: memories belong to the host installation.
    const std::string exe = processExecutablePath();
    return exe.empty() ? std::string() : folderOfModulePath(exe);
}

std::string ProcessMemoryFolders::userFolder() const {
#ifdef _WIN32
    const std::string appData = environment("APPDATA");
    return appData.empty() ? std::string() : appData + "\\QorvaHDR";
#else
    const std::string config = environment("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is to be ignored.
    if (!config.empty() && config.front() == '/') return config + "/qorvahdr";
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/.config/qorvahdr";
#endif
}

MemoryFileLocation memoryFileLocation(const MemoryFolderProvider& folders) {
    return {memoryFilePath(folders.hostFolder()), memoryFilePath(folders.userFolder())};
}

bool loadMemoryFile(IniStore& store, const MemoryFileLocation& location) {
    std::string path = location.hostPath;
    if (fileStatus(location.userPath) == FileStatus::Regular) {
        bool userIsNewer = fileStatus(location.hostPath) != FileStatus::Regular;
        long long hostTime = 0;
        long long userTime = 0;
        if (!userIsNewer)
            userIsNewer = !modifiedTime(location.hostPath, hostTime) ||
                          !modifiedTime(location.userPath, userTime) || userTime >= hostTime;
        if (userIsNewer) path = location.userPath;
    }
    store.SetPath(path);
    return store.Load();
}

bool saveMemoryFile(IniStore& store, const MemoryFileLocation& location) {
    if (!existsButUnreadable(location.hostPath)) {
        store.SetPath(location.hostPath);
        if (store.Save()) {
            if (!location.userPath.empty() && fileStatus(location.userPath) == FileStatus::Regular)
                std::remove(location.userPath.c_str());
            return true;
        }
    }
    if (location.userPath.empty() || existsButUnreadable(location.userPath)) return false;
    makeFolders(folderOfModulePath(location.userPath));
    store.SetPath(location.userPath);
    return store.Save();
}

}  // namespace qorva

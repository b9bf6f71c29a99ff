#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

#include "platform/os_files.h"

namespace qorva {

bool renameReplacing(const std::string& from, const std::string& to) {
    // The C library's rename refuses an existing target on Windows; the paths are in the
    // system code page like the module path they come from.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string processExecutablePath() {
    // The buffer grows until the whole path fits, so a deep install folder is not cut short.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::string(buffer.data(), n);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qorva
#endif

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os_files.h"

namespace qorva {
namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The system's own words for the last error, without the line end it appends.
std::string lastErrorText() {
    const DWORD code = GetLastError();
    char buffer[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "error " + std::to_string(code);
    return text;
}

// A name unlikely to be taken, beside the target; taken names are skipped by CREATE_NEW.
std::string candidateName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%lu-%u-%llx.tmp",
                  static_cast<unsigned long>(GetCurrentProcessId()), counter.fetch_add(1),
                  static_cast<unsigned long long>(GetTickCount64()));
    return target + suffix;
}

}  // namespace

bool replaceFileContents(const std::string& target, std::string_view bytes, std::string& reason) {
    // The paths are in the system code page like the module path they come from.
    const std::string folder = folderOf(target);
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = candidateName(target);
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        reason = "cannot create a file in " + folder + ": " + lastErrorText();
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const std::size_t chunk =
            bytes.size() - done < (1u << 30) ? bytes.size() - done : (1u << 30);
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, static_cast<DWORD>(chunk), &written, nullptr) &&
             written > 0;
        done += written;
    }
    if (ok) ok = FlushFileBuffers(file) != 0;
    if (!ok) reason = "cannot write to " + folder + ": " + lastErrorText();
    CloseHandle(file);
    // MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk: the folder needs no
    // sync of its own. A target that another process holds open for a moment (a second host
    // saving or reading its memories, a virus scanner) refuses the rename until it is closed:
    // it is tried again for a few seconds before the save counts as failed.
    const ULONGLONG giveUp = GetTickCount64() + 5000;
    while (ok && !MoveFileExA(temporary.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        if ((error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
            GetTickCount64() < giveUp) {
            Sleep(5);
            continue;
        }
        SetLastError(error);
        reason = "cannot replace " + target + ": " + lastErrorText();
        ok = false;
    }
    if (!ok) DeleteFileA(temporary.c_str());
    return ok;
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

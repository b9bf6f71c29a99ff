#ifndef _WIN32
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/os_files.h"

namespace qorva {

bool renameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string processExecutablePath() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

}  // namespace qorva
#endif

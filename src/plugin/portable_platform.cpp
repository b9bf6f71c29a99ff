#include "plugin/portable_platform.h"

#include <filesystem>
#include <iostream>
#include <system_error>

namespace qorva {
namespace {

std::string profilePath(const std::string& key, const std::string& section,
                        const std::string& entry) {
    return key + '\\' + section + '\\' + entry;
}

}  // namespace

int PortablePlatformServices::profileInt(const std::string& section, const std::string& entry,
                                         int defaultValue) {
    const auto found = profile_.find(profilePath(key_, section, entry));
    return found == profile_.end() ? defaultValue : found->second;
}

void PortablePlatformServices::writeProfileInt(const std::string& section, const std::string& entry,
                                               int value) {
    profile_[profilePath(key_, section, entry)] = value;
}

void PortablePlatformServices::messageBox(const std::string& text) {
    std::cerr << kApplicationName << ": " << text << '\n';
}

void PortablePlatformServices::debugOutput(const std::string& text) {
    std::cerr << text << '\n';
}

std::string PortablePlatformServices::hostExecutableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "./";
    return exe.parent_path().string() + '/';
}

PlatformServices& defaultPlatformServices() {
    static PortablePlatformServices services;
    return services;
}

}  // namespace qorva

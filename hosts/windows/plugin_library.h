// Loads a plug-in file the way hosts do: by full path, then every "PIPL" resource is read and
// parsed, and the entry point is looked up under the name the list gives for this process's
// architecture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/filter_host.h"

namespace host {

struct PiplProperty {
    std::uint32_t vendor = 0;
    std::uint32_t key = 0;
    std::int32_t id = 0;
    std::int32_t length = 0;
    std::vector<std::uint8_t> data;
};

struct PiplList {
    std::int16_t resourceVersion = 0;
    std::int32_t listVersion = 0;
    std::vector<PiplProperty> properties;
    std::size_t consumed = 0;  // bytes the parse stepped over
};

// rounding: step over each property by its length rounded up to 4, as careful hosts do;
// otherwise by the declared length exactly, as several hosts do. False if the bytes run out.
bool parsePipl(const std::vector<std::uint8_t>& bytes, bool rounding, PiplList& list);

constexpr std::uint32_t fourcc(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

class PluginLibrary {
public:
    // dataOnly: map the file for its resources only, so that a plug-in of the other
    // architecture can be inspected.
    explicit PluginLibrary(const std::string& path, bool dataOnly = false);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return module_ != nullptr; }
    HMODULE module() const { return module_; }
    std::vector<std::uintptr_t> piplIds() const;
    std::vector<std::uint8_t> piplBytes(std::uintptr_t id) const;
    std::vector<WORD> piplLanguages(std::uintptr_t id) const;
    // The entry named by the '8664' property (the key 64-bit hosts use), or null.
    PluginEntry entry() const;
    FARPROC symbol(const char* name) const;
    // The exported function of that name as the given function type, or null.
    template <typename Function>
    Function function(const char* name) const {
        // Through void(*)(), the one cast between function types the compiler accepts quietly.
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(symbol(name)));
    }

private:
    HMODULE module_ = nullptr;
};

// Unix paths given on the command line, as Windows paths (Wine maps Z: to the root).
std::string windowsPath(const std::string& path);

}  // namespace host

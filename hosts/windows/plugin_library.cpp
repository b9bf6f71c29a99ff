#include "windows/plugin_library.h"

#include <cstring>

namespace host {
namespace {

template <typename T>
bool read(const std::vector<std::uint8_t>& bytes, std::size_t at, T& value) {
    if (at > bytes.size() || bytes.size() - at < sizeof(T)) return false;
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return true;
}

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
    reinterpret_cast<std::vector<std::uintptr_t>*>(list)->push_back(
        reinterpret_cast<std::uintptr_t>(name));
    return TRUE;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

}  // namespace

bool parsePipl(const std::vector<std::uint8_t>& bytes, bool rounding, PiplList& list) {
    std::int32_t count = 0;
    if (!read(bytes, 0, list.resourceVersion) || !read(bytes, 2, list.listVersion) ||
        !read(bytes, 6, count) || count < 0) {
        return false;
    }
    std::size_t at = 10;
    list.properties.clear();
    for (std::int32_t i = 0; i < count; ++i) {
        PiplProperty p;
        if (!read(bytes, at, p.vendor) || !read(bytes, at + 4, p.key) ||
            !read(bytes, at + 8, p.id) || !read(bytes, at + 12, p.length) || p.length < 0) {
            return false;
        }
        at += 16;
        const std::size_t length = static_cast<std::size_t>(p.length);
        if (bytes.size() - at < length) return false;
        p.data.assign(bytes.begin() + at, bytes.begin() + at + length);
        at += rounding ? (length + 3) / 4 * 4 : length;
        list.properties.push_back(std::move(p));
    }
    list.consumed = at;
    return true;
}

PluginLibrary::PluginLibrary(const std::string& path, bool dataOnly) {
    module_ = dataOnly ? LoadLibraryExA(path.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)
                       : LoadLibraryA(path.c_str());
}

PluginLibrary::~PluginLibrary() {
    if (module_) FreeLibrary(module_);
}

std::vector<std::uintptr_t> PluginLibrary::piplIds() const {
    std::vector<std::uintptr_t> ids;
    if (module_) EnumResourceNamesA(module_, "PIPL", collectName, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

std::vector<WORD> PluginLibrary::piplLanguages(std::uintptr_t id) const {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module_, "PIPL", reinterpret_cast<LPCSTR>(id), collectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::vector<std::uint8_t> PluginLibrary::piplBytes(std::uintptr_t id) const {
    // Hosts ask with other spellings of the type; Windows upper-cases custom type names.
    HRSRC found = FindResourceA(module_, reinterpret_cast<LPCSTR>(id), "PiPL");
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    if (!bytes) return {};
    return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module_, found));
}

PluginEntry PluginLibrary::entry() const {
    for (const std::uintptr_t id : piplIds()) {
        PiplList list;
        if (!parsePipl(piplBytes(id), false, list)) continue;
        for (const PiplProperty& p : list.properties) {
            if (p.vendor != fourcc("8BIM") || p.key != fourcc("8664")) continue;
            const std::string name(
                reinterpret_cast<const char*>(p.data.data()),
                strnlen(reinterpret_cast<const char*>(p.data.data()), p.data.size()));
            return function<PluginEntry>(name.c_str());
        }
    }
    return nullptr;
}

FARPROC PluginLibrary::symbol(const char* name) const {
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

std::string windowsPath(const std::string& path) {
    std::string result = path;
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    return !path.empty() && path[0] == '/' ? "Z:" + result : result;
}

}  // namespace host

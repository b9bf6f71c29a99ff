// Windows services behind PlatformServices: the per-user profile in the registry under
// HKEY_CURRENT_USER\Software\<key>\<section>, message boxes, the debugger output and the
// module file name of the host process.
#include <windows.h>

#include <string>

#include "plugin/platform_services.h"

namespace qorva {
namespace {

class Win32PlatformServices : public PlatformServices {
public:
    void setRegistryKey(const std::string& key) override { key_ = key; }

    int profileInt(const std::string& section, const std::string& entry,
                   int defaultValue) override {
        DWORD value = 0;
        DWORD size = sizeof(value);
        const LONG status = RegGetValueA(HKEY_CURRENT_USER, sectionPath(section).c_str(),
                                         entry.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
        return status == ERROR_SUCCESS ? static_cast<int>(value) : defaultValue;
    }

    void writeProfileInt(const std::string& section, const std::string& entry, int value) override {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, sectionPath(section).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return;
        }
        const DWORD data = static_cast<DWORD>(value);
        RegSetValueExA(key, entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof(data));
        RegCloseKey(key);
    }

    void messageBox(const std::string& text) override {
        MessageBoxA(GetActiveWindow(), text.c_str(), kApplicationName, MB_OK);
    }

    void debugOutput(const std::string& text) override { OutputDebugStringA(text.c_str()); }

    // The host's executable, not this module: the memories are shared by every plug-in file
    // the host loads.
    std::string hostExecutableFolder() override {
        std::string path(MAX_PATH, '\0');
        for (;;) {
            const DWORD length =
                GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (length == 0) return std::string();
            if (length < path.size()) {
                path.resize(length);
                break;
            }
            path.resize(path.size() * 2);
        }
        const auto slash = path.find_last_of("\\/");
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }

private:
    std::string sectionPath(const std::string& section) const {
        return "Software\\" + key_ + "\\" + section;
    }

    std::string key_ = kRegistryKey;
};

}  // namespace

PlatformServices& defaultPlatformServices() {
    static Win32PlatformServices services;
    return services;
}

}  // namespace qorva

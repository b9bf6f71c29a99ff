// The operating-system services that the plug-in frame and the dialog need: the application
// profile, message boxes, the debugger output and the folder of the host application. The
// Windows plug-in implements them with the registry and Win32 calls; the native build and the
// tests use the portable implementation.
#pragma once

#include <string>

namespace qorva {

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Chooses the key under which the profile values live (set at the start of every run).
    virtual void setRegistryKey(const std::string& key) = 0;
    virtual int profileInt(const std::string& section, const std::string& entry,
                           int defaultValue) = 0;
    virtual void writeProfileInt(const std::string& section, const std::string& entry,
                                 int value) = 0;

    // Modal, with an OK button and the application's name as the title.
    virtual void messageBox(const std::string& text) = 0;
    // Seen only by a debugger; the user never sees it.
    virtual void debugOutput(const std::string& text) = 0;

    // Folder of the running host application's executable, with a trailing separator, where
    // the setting memories are kept.
    virtual std::string hostExecutableFolder() = 0;
};

// The services of the platform the plug-in was built for. Lives as long as the module.
PlatformServices& defaultPlatformServices();

constexpr const char* kApplicationName = "Qorva HDR";
constexpr const char* kRegistryKey = "QorvaHDR";

}  // namespace qorva

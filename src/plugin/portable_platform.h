// Platform services without a window system: the profile is kept in memory for the life of the
// process, messages go to the standard error stream.
#pragma once

#include <map>
#include <string>

#include "plugin/platform_services.h"

namespace qorva {

class PortablePlatformServices : public PlatformServices {
public:
    void setRegistryKey(const std::string& key) override { key_ = key; }
    int profileInt(const std::string& section, const std::string& entry, int defaultValue) override;
    void writeProfileInt(const std::string& section, const std::string& entry, int value) override;
    void messageBox(const std::string& text) override;
    void debugOutput(const std::string& text) override;
    std::string hostExecutableFolder() override;

private:
    std::string key_;
    std::map<std::string, int> profile_;
};

}  // namespace qorva

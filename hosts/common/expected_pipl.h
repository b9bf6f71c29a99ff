// The plug-in's property list as hosts must find it, written out byte by byte from the
// product's table, independently of the build's generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// entryKey: "8664" for the 64-bit plug-in, "wx86" for the 32-bit one.
inline std::vector<std::uint8_t> expectedPipl(const std::string& entryKey) {
    std::vector<std::uint8_t> b{0x01, 0x00, 0, 0, 0, 0, 6, 0, 0, 0};
    auto property = [&](const std::string& key, const std::string& data) {
        for (const char c : std::string("MIB8")) b.push_back(static_cast<std::uint8_t>(c));
        for (auto c = key.rbegin(); c != key.rend(); ++c)
            b.push_back(static_cast<std::uint8_t>(*c));
        b.insert(b.end(), {0, 0, 0, 0, static_cast<std::uint8_t>(data.size()), 0, 0, 0});
        b.insert(b.end(), data.begin(), data.end());
    };
    using namespace std::string_literals;
    property("kind", "MFB8");
    property("name", "\x0cQorva HDR...\0\0\0"s);
    property("catg", "\x09Qorva HDR\0\0"s);
    property("vers", "\0\0\x04\0"s);
    property(entryKey, "PluginMain\0\0"s);
    property("enbl", "true\0\0\0\0"s);
    return b;
}

}  // namespace host

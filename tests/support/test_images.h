// Images the tests generate themselves, and checksums for golden results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorva::test {

// A deterministic photo-like RGB scene (packed rows, 3 bytes per pixel): a sky gradient, a dark
// foreground, hard edges, saturated patches in every hue and a little noise. Integer arithmetic
// only, so it is the same on every platform.
std::vector<std::uint8_t> makePhotoLikeImage(int width, int height, std::uint32_t seed = 1);

// A packed RGB image of one colour.
std::vector<std::uint8_t> makeUniformImage(int width, int height, std::uint8_t r, std::uint8_t g,
                                           std::uint8_t b);

// 64-bit FNV-1a of a byte buffer, as 16 hex digits: short enough to pin in a test.
std::string checksum(const std::uint8_t* data, std::size_t size);
inline std::string checksum(const std::vector<std::uint8_t>& data) {
    return checksum(data.data(), data.size());
}

}  // namespace qorva::test

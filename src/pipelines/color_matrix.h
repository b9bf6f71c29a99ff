// The 3x3 colour transforms of method 1: linear RGB (BT.709 primaries, D65 white) to CIE XYZ,
// where the luminance is equalised globally, and back.
#pragma once

#include <array>
#include <cstddef>

namespace qorva {

// Row-major: row i gives output channel i.
using ColorMatrix = std::array<std::array<float, 3>, 3>;

extern const ColorMatrix kRgbToXyz;
extern const ColorMatrix kXyzToRgb;

// out[i] = m[i][0] * c0 + m[i][1] * c1 + m[i][2] * c2; a result below 0 becomes 0, since a
// colour pushed outside the RGB gamut by the round trip must not reach the chain negative.
// Inline, because the pipelines call it for every pixel.
inline std::array<float, 3> applyColorMatrix(float c0, float c1, float c2, const ColorMatrix& m) {
    std::array<float, 3> out{};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& row = m[i];
        const double sum = static_cast<double>(row[0]) * c0 + static_cast<double>(row[1]) * c1 +
                           static_cast<double>(row[2]) * c2;
        const float value = static_cast<float>(sum);
        out[i] = value < 0 ? 0.0f : value;
    }
    return out;
}

}  // namespace qorva

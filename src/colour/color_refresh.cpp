#include "colour/color_refresh.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "colour/finishing_passes.h"
#include "common/parallel.h"
#include "kernels/packed_image.h"

namespace qorva {
namespace {

// Gamma as a table: the refresh replaces the chain's per-pixel power by one lookup per byte.
std::array<std::uint8_t, 256> gammaTable(double g) {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        if (g == 1) {
            table[i] = static_cast<std::uint8_t>(i);
            continue;
        }
        const double v = 255 * std::pow(i / 255.0, 1 / g) + 0.5;
        table[i] = !(v > 0) ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
    }
    return table;
}

}  // namespace

void ColorRefresh(const std::uint8_t* neutral, std::uint8_t* display, int width, int height,
                  int gammaPosition, const ColorPassParams& pass) {
    const std::size_t size = packedImageBytes(width, height, 3);
    if (size == 0 || neutral == nullptr || display == nullptr) return;
    // A position of zero or below would divide by zero in 1/g; no gamma is the safe reading.
    const double g = gammaPosition > 0 ? gammaPosition / 100.0 : 1.0;
    const bool passActive =
        pass.curvesOn || pass.balanceOn || pass.hueShiftOn || pass.filterMode > 0;

    if (g == 1 && !passActive) {
        // Nothing to add (filter modes below 0 do nothing either): the preview as rendered.
        if (display != neutral) std::memmove(display, neutral, size);
        return;
    }

    const std::array<std::uint8_t, 256> table = gammaTable(g);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    parallelRows(height, [&](int begin, int end) {
        const std::size_t first = static_cast<std::size_t>(begin) * rowBytes;
        const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
        for (std::size_t i = first; i < last; i += 3) {
            std::uint8_t r = table[neutral[i]];
            std::uint8_t gr = table[neutral[i + 1]];
            std::uint8_t b = table[neutral[i + 2]];
            if (passActive) {
                float fr = r, fg = gr, fb = b;
                ColorPass(fr, fg, fb, pass);
                r = toOutputByte(fr);
                gr = toOutputByte(fg);
                b = toOutputByte(fb);
            }
            display[i] = r;
            display[i + 1] = gr;
            display[i + 2] = b;
        }
    });
    OrtonPass(display, width, height, pass.filterMode);
}

}  // namespace qorva

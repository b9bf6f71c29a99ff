#include "colour/color_refresh.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "colour/color_filters.h"
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
    const bool passActive = pass.curvesOn || pass.balanceOn || pass.hueShiftOn ||
                            filterTraits(pass.filterMode).active();

    if (g == 1 && !passActive) {
        // Nothing to add: the preview as rendered.
        if (display != neutral) std::memmove(display, neutral, size);
        return;
    }

    const std::array<std::uint8_t, 256> table = gammaTable(g);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;

    // Without colour balance, hue shift or a monochrome filter every channel is on its own:
    // gamma and tone curve fold into one byte table, the common case of a gamma or curve drag.
    const int mode = pass.filterMode;
    const bool monochrome = filterTraits(mode).monochrome != Monochrome::None;
    if (!pass.balanceOn && !pass.hueShiftOn && !monochrome) {
        const CurveTable identity = identityCurveTable();
        const CurveTable& tone = pass.curves != nullptr ? pass.curves->tone : identity;
        std::array<std::uint8_t, 256> channel{};
        for (int i = 0; i < 256; ++i) {
            const std::uint8_t v = table[static_cast<std::size_t>(i)];
            channel[static_cast<std::size_t>(i)] =
                pass.curvesOn ? toOutputByte(LookupCurve(tone, v, 0, 255)) : v;
        }
        parallelRows(height, [&](int begin, int end) {
            const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
            for (std::size_t i = static_cast<std::size_t>(begin) * rowBytes; i < last; ++i) {
                display[i] = channel[neutral[i]];
            }
        });
        OrtonPass(display, width, height, mode);
        return;
    }

    // Here the colour pass is active (the byte table above took every other case): the rows go
    // through it as planes.
    parallelRows(height, [&](int begin, int end) {
        const std::size_t w = static_cast<std::size_t>(width);
        std::vector<float> planes(3 * w);
        float* r = planes.data();
        float* g = r + w;
        float* b = g + w;
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* in = neutral + static_cast<std::size_t>(y) * rowBytes;
            std::uint8_t* out = display + static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t x = 0; x < w; ++x) {
                r[x] = table[in[3 * x]];
                g[x] = table[in[3 * x + 1]];
                b[x] = table[in[3 * x + 2]];
            }
            ColorPassRow(r, g, b, width, pass);
            for (std::size_t x = 0; x < w; ++x) {
                out[3 * x] = toOutputByte(r[x]);
                out[3 * x + 1] = toOutputByte(g[x]);
                out[3 * x + 2] = toOutputByte(b[x]);
            }
        }
    });
    OrtonPass(display, width, height, pass.filterMode);
}

}  // namespace qorva

// The fast forms of the engine's steps give exactly what their plain forms give: the row-wise
// colour chain, the blur into a second buffer, the equalisation handed out row by row, the
// colour-refresh byte table and the tone-mapping engine's colour-byte table.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "colour/color_pass.h"
#include "colour/color_refresh.h"
#include "colour/finishing_passes.h"
#include "common/large_buffer.h"
#include "kernels/gaussian_blur.h"
#include "pipelines/binned_histogram.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"
#include "support/test_images.h"
#include "tonemap/tone_mapper.h"

namespace qorva {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ColorChainRow, GivesTheBytesOfThePixelByPixelChain) {
    // Inputs around every rule of the chain: zero and negative channels (vivid step of each
    // method, gamma of a negative value), values above 1, greys.
    std::vector<float> r, g, b;
    for (float x : {-0.2f, 0.0f, 0.003f, 0.25f, 0.5f, 0.9f, 1.0f, 1.3f}) {
        for (float y : {0.0f, 0.1f, 0.5f, 1.0f}) {
            for (float z : {0.0f, 0.02f, 0.7f}) {
                r.push_back(x), g.push_back(y), b.push_back(z);
            }
        }
    }
    CurveTables curves;
    for (int k = 0; k < 256; ++k)
        curves.tone[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(255 - k / 2);
    const int n = static_cast<int>(r.size());
    for (bool contrastMethod : {true, false}) {
        for (float vivid : {0.0f, 0.3f, 1.0f}) {
            for (float gamma : {1.0f, 0.7f, 2.2f}) {
                ColorChainParams p;
                p.contrastMethod = contrastMethod;
                p.vivid = vivid;
                p.gamma = gamma;
                p.brightnessBlend = 0.4f;
                p.saturationFactor = 0.6f;
                p.pass.curvesOn = vivid > 0;
                p.pass.balanceOn = gamma < 1;
                p.pass.hueShiftOn = vivid > 0.5f;
                p.pass.filterMode = gamma > 2 ? 10 : 0;
                p.pass.curves = &curves;
                const ColorChain chain(p);
                Bytes expected(3 * r.size());
                for (int i = 0; i < n; ++i) chain.run(r[i], g[i], b[i], &expected[3 * i]);
                std::vector<float> rr = r, gg = g, bb = b;
                Bytes row(3 * r.size());
                chain.runRow(rr.data(), gg.data(), bb.data(), n, row.data());
                EXPECT_EQ(row, expected) << contrastMethod << " " << vivid << " " << gamma;
            }
        }
    }
}

TEST(ColorPassRow, GivesWhatColorPassGivesPixelByPixel) {
    // Greys, pure hues, values outside 0..255 and a NaN, through every switch and filter.
    std::vector<float> r, g, b;
    for (float x : {0.0f, 1.0f, 60.0f, 128.0f, 200.0f, 255.0f, 300.0f, -5.0f}) {
        for (float y : {0.0f, 90.0f, 255.0f}) {
            for (float z : {0.0f, 33.0f, 250.0f}) r.push_back(x), g.push_back(y), b.push_back(z);
        }
    }
    r.push_back(std::nanf("")), g.push_back(10), b.push_back(20);
    CurveTables curves;
    for (int k = 0; k < 256; ++k) {
        curves.tone[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(255 - k / 3);
        curves.balance[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k);
        curves.hue[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(200 - k / 2);
    }
    for (int flags = 0; flags < 8; ++flags) {
        for (int mode : {0, 1, 3, 4, 9, 11}) {
            ColorPassParams p;
            p.curvesOn = flags & 1;
            p.balanceOn = flags & 2;
            p.hueShiftOn = flags & 4;
            p.filterMode = mode;
            p.curves = &curves;
            std::vector<float> rr = r, gg = g, bb = b;
            ColorPassRow(rr.data(), gg.data(), bb.data(), static_cast<int>(r.size()), p);
            for (std::size_t i = 0; i < r.size(); ++i) {
                float er = r[i], eg = g[i], eb = b[i];
                ColorPass(er, eg, eb, p);
                // Bit for bit, NaN included.
                EXPECT_EQ(std::memcmp(&er, &rr[i], 4) | std::memcmp(&eg, &gg[i], 4) |
                              std::memcmp(&eb, &bb[i], 4),
                          0)
                    << flags << " " << mode << " pixel " << i;
            }
        }
    }
}

TEST(GaussianBlurCopy, MatchesTheInPlaceBlurAndLeavesTheSourceAlone) {
    for (int bpp : {3, 4}) {
        const int w = 131, h = 97;
        Bytes source(static_cast<std::size_t>(w) * h * bpp);
        const Bytes photo = test::makePhotoLikeImage(w, h * bpp / 3 + 1, 4);
        std::copy_n(photo.begin(), source.size(), source.begin());
        for (double radius : {0.5, 1.7, 30.0}) {
            Bytes inPlace = source;
            GaussianBlur(inPlace.data(), w, h, radius, bpp);
            const Bytes before = source;
            Bytes target(source.size(), 7);
            GaussianBlurCopy(source.data(), target.data(), w, h, radius, bpp);
            EXPECT_EQ(target, inPlace) << bpp << " " << radius;
            EXPECT_EQ(source, before);
        }
    }
}

// The mapping of a single tile (divisions 1) as BinnedHistogram counts it in its float bins:
// the reference for the integer counting of the tiles.
BinnedHistogram singleTileMapping(const FloatPlane& stretched, float strength, float smoothness) {
    BinnedHistogram histogram, mapping;
    histogram.reset(500, 0, 255);
    histogram.fill(0);
    for (std::size_t i = 0; i < stretched.size(); ++i) histogram.add(stretched.samples[i], 1);
    histogram.clip((1 - smoothness) * 7 + 1.5f);
    mapping.normalizeFrom(histogram, 0, 1);
    mapping.blendWithIdentity(strength);
    return mapping;
}

// The equalised value at (x, y) with one tile: half a tile, then the rest, along each axis.
float singleTileValue(const BinnedHistogram& m, const FloatPlane& s, int x, int y) {
    const int sw = x < s.width / 2 ? s.width / 2 : s.width - s.width / 2;
    const int xx = x < s.width / 2 ? x : x - s.width / 2;
    const int sh = y < s.height / 2 ? s.height / 2 : s.height - s.height / 2;
    const int yy = y < s.height / 2 ? y : y - s.height / 2;
    const float v = static_cast<float>(s.row(y)[x] * 0.00392156862745098);
    const float t = 255 * m.valueAt(v);
    return ((sh - yy) * ((sw - xx) * t + xx * t) + yy * ((sw - xx) * t + xx * t)) /
           static_cast<float>(sw * sh);
}

TEST(EqualizeLocalContrast, RowsHandedOutEqualThePlaneAndTheCountsMatchFloatBins) {
    const int w = 257, h = 190;
    FloatPlane a, b, d;
    a.create(w, h);
    b.create(w, h);
    d.create(w, h);
    const Bytes photo = test::makePhotoLikeImage(w, h, 9);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a.samples[i] = b.samples[i] = photo[3 * i] * 0.7f + photo[3 * i + 2] * 0.3f;
    }
    equalizeLocalContrast(a, d, 4, 0.8f, 0.2f, RunContext{});
    std::vector<float> rows(a.size(), -1.0f);
    equalizeLocalContrastBands(b, 4, 0.8f, 0.2f, RunContext{},
                               [&](int begin, int end, const EqualisedRowFn& row) {
                                   for (int y = begin; y < end; ++y) {
                                       row(y, &rows[static_cast<std::size_t>(y) * w]);
                                   }
                               });
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), d.samples.get()));

    // One tile, against the float bins of BinnedHistogram::add on the stretched plane.
    equalizeLocalContrast(b, d, 1, 0.8f, 0.2f, RunContext{});
    const BinnedHistogram m = singleTileMapping(b, 0.8f, 0.2f);
    for (int y = 0; y < h; y += 7) {
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(d.row(y)[x], singleTileValue(m, b, x, y)) << x << "," << y;
        }
    }
}

// Where position p of an axis of the given size blends: near and far tile, offset and length
// of its sub-region (half a tile, whole tiles between tile centres, then the rest).
struct Cell {
    int nearTile, farTile, offset, length;
};
Cell cellOf(int p, int size, int tileSize, int tiles) {
    int start = 0;
    for (int i = 0; i <= tiles; ++i) {
        const int length = i == 0 ? tileSize / 2 : i == tiles ? size - start : tileSize;
        if (p < start + length) {
            const int nearTile = i == 0 ? 0 : i == tiles ? tiles - 1 : i - 1;
            const int farTile = i == tiles ? tiles - 1 : i;
            return {nearTile, farTile, p - start, length};
        }
        start += length;
    }
    return {tiles - 1, tiles - 1, 0, 1};
}

TEST(EqualizeLocalContrast, ATileWithNothingToCountBlendsAsItsMappingReads) {
    // Two neighbouring floats, one tile all at the larger: their range is below the smallest
    // normal float, its inverse infinite, so that tile's stretched samples are infinite and it
    // counts nothing. Its mapping then keeps the 0..255 range of its histogram and the blend
    // takes the per-mapping reading.
    const int side = 40, tile = 20;
    const float low = 1.2e-38f;
    const float high = std::nextafter(low, 1.0f);
    FloatPlane s, d;
    s.create(side, side);
    d.create(side, side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) s.row(y)[x] = x >= tile && y >= tile ? high : low;
    }
    equalizeLocalContrast(s, d, 2, 0.7f, 0.4f, RunContext{});
    ASSERT_GT(s.row(side - 1)[side - 1], 255.0f);
    ASSERT_EQ(s.row(0)[0], 0.0f);

    BinnedHistogram mappings[4];
    for (int t = 0; t < 4; ++t) {
        const int x0 = (t % 2) * tile, y0 = (t / 2) * tile;
        BinnedHistogram h;
        h.reset(500, 0, 255);
        h.fill(0);
        for (int y = y0; y < y0 + tile; ++y) {
            for (int x = x0; x < x0 + tile; ++x) h.add(s.row(y)[x], 1);
        }
        h.clip((1 - 0.4f) * 7 + 1.5f);
        mappings[t].normalizeFrom(h, 0, 1);
        mappings[t].blendWithIdentity(0.7f);
    }
    ASSERT_NE(mappings[3].hi, mappings[0].hi);  // the empty tile reads its argument differently
    for (int y = 0; y < side; ++y) {
        const Cell r = cellOf(y, side, tile, 2);
        for (int x = 0; x < side; ++x) {
            const Cell c = cellOf(x, side, tile, 2);
            const float v = static_cast<float>(s.row(y)[x] * 0.00392156862745098);
            const float tl = 255 * mappings[r.nearTile * 2 + c.nearTile].valueAt(v);
            const float tr = 255 * mappings[r.nearTile * 2 + c.farTile].valueAt(v);
            const float bl = 255 * mappings[r.farTile * 2 + c.nearTile].valueAt(v);
            const float br = 255 * mappings[r.farTile * 2 + c.farTile].valueAt(v);
            const int sw = c.length, xx = c.offset, sh = r.length, yy = r.offset;
            const float expected =
                ((sh - yy) * ((sw - xx) * tl + xx * tr) + yy * ((sw - xx) * bl + xx * br)) /
                static_cast<float>(sw * sh);
            ASSERT_EQ(d.row(y)[x], expected) << x << "," << y;
        }
    }
}

#ifndef __SANITIZE_ADDRESS__
TEST(EqualizeLocalContrast, ATileOfMoreThan16MillionEqualPixelsCountsLikeAFloatBin) {
    // 4097 x 4097 pixels in one bin: a float count stops at 2^24, and so must the integer one.
    const int side = 4097;
    FloatPlane s, d;
    s.create(side, side);
    d.create(side, side);
    std::fill(s.samples.get(), s.samples.get() + s.size(), 3.0f);  // flat: stretches to 0
    equalizeLocalContrast(s, d, 1, 0.5f, 0.5f, RunContext{});
    const BinnedHistogram m = singleTileMapping(s, 0.5f, 0.5f);
    BinnedHistogram counts;  // the ceiling is really reached
    counts.reset(500, 0, 255);
    counts.fill(0);
    for (std::size_t i = 0; i < s.size(); ++i) counts.add(s.samples[i], 1);
    EXPECT_EQ(counts.bins[0], 16777216.0f);
    for (int y : {0, side / 2, side - 1}) {
        for (int x : {0, 1, side / 2, side - 1}) {
            EXPECT_EQ(d.row(y)[x], singleTileValue(m, s, x, y)) << x << "," << y;
        }
    }
}
#endif

TEST(ColorRefresh, ByteTableForGammaAndToneCurveMatchesTheColourPass) {
    const int w = 64, h = 4;  // every byte value in every channel
    Bytes neutral(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < neutral.size(); ++i)
        neutral[i] = static_cast<std::uint8_t>(i * 7 / 3);
    CurveTables curves;
    for (int k = 0; k < 256; ++k)
        curves.tone[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k * k / 255);
    for (int gammaPosition : {100, 60, 230}) {
        for (bool curvesOn : {false, true}) {
            for (int mode : {0, 4, 12}) {  // the ones without a monochrome step
                ColorPassParams pass;
                pass.curvesOn = curvesOn;
                pass.filterMode = mode;
                pass.curves = &curves;
                Bytes shown(neutral.size());
                ColorRefresh(neutral.data(), shown.data(), w, h, gammaPosition, pass);
                // The plain form: gamma table entry, colour pass, output byte, pixel by pixel.
                const double gamma = gammaPosition / 100.0;
                Bytes expected(neutral.size());
                for (std::size_t i = 0; i < neutral.size(); ++i) {
                    std::uint8_t byte = neutral[i];
                    if (gamma != 1) {
                        const double v = 255 * std::pow(byte / 255.0, 1 / gamma) + 0.5;
                        byte = v >= 255 ? 255 : static_cast<std::uint8_t>(v);
                    }
                    float c = byte, unused1 = 0, unused2 = 0;
                    ColorPassParams one = pass;
                    one.filterMode = 0;
                    ColorPass(c, unused1, unused2, one);
                    expected[i] = toOutputByte(c);
                }
                if (mode == 4) OrtonPass(expected.data(), w, h, mode);
                EXPECT_EQ(shown, expected) << gammaPosition << " " << curvesOn << " " << mode;
            }
        }
    }
}

TEST(ToneMapperCvBytes, SameCodesAndColoursAsTheFloatTriples) {
    // Every byte in every channel against its neighbours, enough pixels for the colour table;
    // tmCvColors in small calls computes every colour byte with pow itself.
    const std::size_t n = 3 * 65536;
    Bytes rgb(3 * n);
    std::uint32_t state = 77;
    for (auto& v : rgb) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<std::uint8_t>(state >> 24);
    }
    float byteValue[256];
    for (int b = 0; b < 256; ++b) byteValue[b] = static_cast<float>(b * 0.00392156862745098);
    std::vector<float> triples(3 * n);
    for (std::size_t i = 0; i < triples.size(); ++i) triples[i] = byteValue[rgb[i]];

    ToneMapper* s = tmCreateState(2.2f);
    ASSERT_NE(s, nullptr);
    std::vector<std::int16_t> codes(n), plainCodes(n);
    Bytes colours(3 * n), plainColours(3 * n);
    ASSERT_EQ(tmCvBytes(s, codes.data(), colours.data(), rgb.data(), static_cast<std::ptrdiff_t>(n),
                        byteValue),
              kTmOk);
    const std::size_t piece = 50000;  // below the size at which the table is built
    for (std::size_t at = 0; at < n; at += piece) {
        const std::size_t count = std::min(piece, n - at);
        ASSERT_EQ(tmCvColors(s, plainCodes.data() + at, plainColours.data() + 3 * at,
                             triples.data() + 3 * at, static_cast<std::ptrdiff_t>(count)),
                  kTmOk);
    }
    tmDestroyState(s);
    EXPECT_EQ(codes, plainCodes);
    EXPECT_EQ(colours, plainColours);
}

TEST(ToneMapperHistogram, BandCountsSaturateLikeOneAddAtATime) {
    // Counted in bands and applied once, the bins must end where adding the weight pixel by
    // pixel, saturating at the 32-bit limits, ends.
    const std::vector<std::int16_t> codes = {100, 100, -3000, 100, 200, 7};
    struct Case {
        int weight;
        std::int32_t at100, at200;
    } cases[] = {{1 << 30, INT32_MAX, 1 << 30},
                 {INT32_MIN, INT32_MIN, -(1 << 30)},
                 {5, INT32_MIN + 15, -(1 << 30) + 5}};
    ToneMapper* s = tmCreateState(2.2);
    ASSERT_NE(s, nullptr);
    for (const Case& c : cases) {
        ASSERT_EQ(tmAddHisto(s, codes.data(), static_cast<std::ptrdiff_t>(codes.size()), c.weight),
                  kTmOk);
        const int origin = (s->hbrmin - kTmLowestCode) / kTmHistogramStep;
        EXPECT_EQ(s->histo[(100 - kTmLowestCode) / kTmHistogramStep - origin], c.at100) << c.weight;
        EXPECT_EQ(s->histo[(200 - kTmLowestCode) / kTmHistogramStep - origin], c.at200) << c.weight;
    }
    EXPECT_EQ(s->hbrmin, 7);
    EXPECT_EQ(s->hbrmax, 200);
    tmDestroyState(s);
}

TEST(LargeBuffer, HoldsWhatIsWrittenAndRefusesImpossibleSizes) {
    for (std::size_t count : {std::size_t{1}, std::size_t{5} << 20}) {
        LargeArray<float> a = makeLargeArray<float>(count);
        a[count - 1] = 2.5f;
        a[0] = 1.5f;
        EXPECT_EQ(a[0], 1.5f);
        EXPECT_EQ(a[count - 1], count == 1 ? 1.5f : 2.5f);
    }
    EXPECT_THROW(makeLargeArray<double>(SIZE_MAX / 4), std::bad_alloc);
}

}  // namespace
}  // namespace qorva

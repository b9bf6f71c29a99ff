#include "tonemap/tone_mapper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qorva {
namespace {

struct StateDeleter {
    void operator()(ToneMapper* s) const { tmDestroyState(s); }
};
using State = std::unique_ptr<ToneMapper, StateDeleter>;

// The pipelines create the engine with 2.2 in single precision.
State makeState() {
    return State(tmCreateState(2.2f));
}

// Runs fn with standard error captured and returns what it wrote.
template <class Fn>
std::string stderrOf(Fn fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
}

// A histogram of count codes spread evenly over [lo, hi].
std::vector<std::int16_t> spreadCodes(int count, int lo, int hi) {
    std::vector<std::int16_t> codes(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        codes[static_cast<size_t>(i)] =
            static_cast<std::int16_t>(lo + (count > 1 ? (hi - lo) * i / (count - 1) : 0));
    }
    return codes;
}

TEST(ToneMapperState, StartsEmptyWithTheDisplayColourDivisors) {
    State s = makeState();
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(s->displayGamma, static_cast<double>(2.2f));
    EXPECT_EQ(s->cdiv[0], 140);
    EXPECT_EQ(s->cdiv[1], 213);
    EXPECT_EQ(s->cdiv[2], 73);
    EXPECT_GT(s->hbrmin, s->hbrmax);
    EXPECT_GT(s->mbrmin, s->mbrmax);
    EXPECT_EQ(s->histo, nullptr);
    EXPECT_EQ(s->lumap, nullptr);
    EXPECT_EQ(s->lastError, 0);
    EXPECT_STREQ(s->lastFunction, "NoErr");

    // A gamma too low for any display (or none at all) means the standard 2.2.
    for (double g : {0.5, 0.0, -1.0, std::nan("")}) {
        State low(tmCreateState(g));
        EXPECT_DOUBLE_EQ(low->displayGamma, 2.2) << g;
    }
}

TEST(ToneMapperState, CountsCreatedAndLiveStates) {
    const long created = tmStatesCreated(), alive = tmStatesAlive();
    {
        State a = makeState(), b = makeState();
        EXPECT_EQ(tmStatesAlive(), alive + 2);
    }
    EXPECT_EQ(tmStatesCreated(), created + 2);
    EXPECT_EQ(tmStatesAlive(), alive);
    tmDestroyState(nullptr);  // ignored
    EXPECT_EQ(tmStatesAlive(), alive);
}

TEST(ToneMapperCvColors, EncodesBrightnessAndChromaticity) {
    struct Case {
        float r, g, b;
        int code;
        int bytes[3];
    };
    const Case cases[] = {
        {1, 1, 1, 664, {140, 213, 73}},           // white: round(128 ln 179), bytes = cdiv
        {0.5f, 0.5f, 0.5f, 575, {140, 213, 73}},  // any grey has the white's chromaticity
        {1, 0, 0, 494, {255, 0, 0}},              // round(128 ln 47.448)
        // Darker red: the zero channels were lifted toward grey, which shows in their bytes.
        {0.01f, 0, 0, -95, {255, 4, 1}},
        // Black: no-light code, bytes from the black limit at the minimum luminance (v = clf/2).
        {0, 0, 0, kTmNoLightCode, {102, 155, 53}},
        // An input without a defined luminance is no light and carries no colour.
        {std::nanf(""), 0, 0, kTmNoLightCode, {0, 0, 0}},
    };
    State s = makeState();
    for (const Case& c : cases) {
        const float in[3] = {c.r, c.g, c.b};
        std::int16_t code = 0;
        std::uint8_t bytes[3] = {};
        ASSERT_EQ(tmCvColors(s.get(), &code, bytes, in, 1), 0);
        EXPECT_EQ(code, c.code) << c.r << " " << c.g << " " << c.b;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(bytes[i], c.bytes[i]) << c.r << " channel " << i;
    }
}

TEST(ToneMapperCvColors, CodesAloneAndEmptyCallsTouchNothing) {
    State s = makeState();
    const float in[6] = {1, 1, 1, 0, 0, 0};
    std::int16_t codes[2] = {7, 7};
    std::uint8_t bytes[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(tmCvColors(s.get(), codes, bytes, in, 0), 0);
    EXPECT_EQ(codes[0], 7);
    EXPECT_EQ(bytes[0], 9);
    EXPECT_EQ(tmCvColors(s.get(), codes, nullptr, in, 2), 0);
    EXPECT_EQ(codes[0], 664);
    EXPECT_EQ(codes[1], kTmNoLightCode);
}

TEST(ToneMapperErrors, BadCallsReturnTheirCodeRecordItAndPrintOneLine) {
    State s = makeState();
    std::int16_t code;
    std::uint8_t out[3];
    const float in[3] = {1, 1, 1};
    struct Case {
        const char* name;
        std::function<int()> call;
        int code;
        bool recorded;  // false when there is no state to record it in
    };
    const Case cases[] = {
        {"tmCvColors", [&] { return tmCvColors(s.get(), nullptr, nullptr, in, 1); }, 2, true},
        {"tmCvColors", [&] { return tmCvColors(s.get(), &code, nullptr, nullptr, 1); }, 2, true},
        {"tmCvColors", [&] { return tmCvColors(s.get(), &code, nullptr, in, -1); }, 2, true},
        {"tmCvColors", [&] { return tmCvColors(nullptr, &code, nullptr, in, 1); }, 3, false},
        {"tmAddHisto", [&] { return tmAddHisto(s.get(), &code, -1, 1); }, 2, true},
        {"tmAddHisto", [&] { return tmAddHisto(nullptr, &code, 1, 1); }, 3, false},
        {"tmComputeMapping", [&] { return tmComputeMapping(s.get(), 2.2, 0, 0); }, 3, true},
        {"tmFixedMapping", [&] { return tmFixedMapping(s.get(), 1, 2.2); }, 1, true},
        {"tmMapPixels", [&] { return tmMapPixels(s.get(), out, &code, nullptr, 1); }, 3, true},
    };
    for (const Case& c : cases) {
        s->lastError = 0;
        s->lastFunction = "NoErr";
        int result = -1;
        const std::string err = stderrOf([&] { result = c.call(); });
        EXPECT_EQ(result, c.code) << c.name;
        EXPECT_EQ(err, std::string(c.name) + ": " + tmErrorMessage(c.code) + "!\n");
        EXPECT_EQ(s->lastError, c.recorded ? c.code : 0) << c.name;
        EXPECT_STREQ(s->lastFunction, c.recorded ? c.name : "NoErr");
    }
    EXPECT_EQ(stderrOf([&] { tmCvColors(s.get(), nullptr, nullptr, in, 1); }),
              "tmCvColors: illegal argument value!\n");

    s->quiet = true;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(tmCvColors(s.get(), nullptr, nullptr, in, 1), 2); }), "");
}

TEST(ToneMapperErrors, MessageTableIsFixed) {
    const char* expected[] = {"no error",
                              "out of memory",
                              "illegal argument value",
                              "invalid tone mapping",
                              "cannot compute tone mapping",
                              "file cannot be opened or is the wrong type",
                              "code consistency error 1",
                              "code consistency error 2"};
    for (int i = 0; i < 8; ++i) EXPECT_STREQ(tmErrorMessage(i), expected[i]);
    EXPECT_STREQ(tmErrorMessage(8), "unknown error");
    EXPECT_STREQ(tmErrorMessage(-1), "unknown error");
}

TEST(ToneMapperHistogram, NoLightLeavesNoHistogramAndNoMapping) {
    State s = makeState();
    const std::int16_t codes[3] = {kTmNoLightCode, -3000, kTmNoLightCode};
    EXPECT_EQ(tmAddHisto(s.get(), codes, 3, 1), 0);
    EXPECT_EQ(s->histo, nullptr);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(tmComputeMapping(s.get(), 2.2, 0, 0), 3); }),
              "tmComputeMapping: invalid tone mapping!\n");
}

TEST(ToneMapperHistogram, WidensOnBothSidesAndKeepsEarlierCounts) {
    State s = makeState();
    const std::int16_t first[] = {0, 7, 8, kTmNoLightCode};
    ASSERT_EQ(tmAddHisto(s.get(), first, 4, 1), 0);
    EXPECT_EQ(s->hbrmin, 0);
    EXPECT_EQ(s->hbrmax, 8);
    EXPECT_EQ(s->histo[0], 2);  // codes 0 and 7 share a bin of 8 codes
    EXPECT_EQ(s->histo[1], 1);

    const std::int16_t second[] = {-100, 200, 8};
    ASSERT_EQ(tmAddHisto(s.get(), second, 3, 2), 0);
    EXPECT_EQ(s->hbrmin, -100);
    EXPECT_EQ(s->hbrmax, 200);
    const int origin = (-100 + 2048) / 8;
    EXPECT_EQ(s->histo[0], 2);
    EXPECT_EQ(s->histo[256 - origin], 2);
    EXPECT_EQ(s->histo[257 - origin], 3);
    EXPECT_EQ(s->histo[(200 + 2048) / 8 - origin], 2);

    // Weight 0 only widens the range.
    const std::int16_t third[] = {-2048};
    ASSERT_EQ(tmAddHisto(s.get(), third, 1, 0), 0);
    EXPECT_EQ(s->hbrmin, -2048);
    EXPECT_EQ(s->histo[0], 0);
    EXPECT_EQ(s->histo[origin], 2);
}

TEST(ToneMapperMapping, NeedsSevenHundredCountablePixels) {
    for (int count : {699, 700}) {
        State s = makeState();
        std::vector<std::int16_t> codes = spreadCodes(count, -600, 600);
        codes.push_back(kTmNoLightCode);  // never counts
        ASSERT_EQ(tmAddHisto(s.get(), codes.data(), static_cast<std::ptrdiff_t>(codes.size()), 1),
                  0);
        int result = -1;
        std::string err = stderrOf([&] { result = tmComputeMapping(s.get(), 2.2f, 0, 0); });
        if (count == 699) {
            EXPECT_EQ(result, 4);
            EXPECT_EQ(err, "tmComputeMapping: cannot compute tone mapping!\n");
            EXPECT_EQ(s->lumap, nullptr);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(err, "");
            ASSERT_NE(s->lumap, nullptr);
        }
    }
}

TEST(ToneMapperMapping, AdjustedMapRisesFromBlackToFullLevel) {
    State s = makeState();
    // A spread of brightness with a dense cluster in the shadows, like a dark photo.
    std::vector<std::int16_t> codes = spreadCodes(5000, -800, 600);
    std::vector<std::int16_t> shadows = spreadCodes(20000, -500, -400);
    codes.insert(codes.end(), shadows.begin(), shadows.end());
    ASSERT_EQ(tmAddHisto(s.get(), codes.data(), static_cast<std::ptrdiff_t>(codes.size()), 1), 0);
    ASSERT_EQ(tmComputeMapping(s.get(), 2.2f, 0, 0), 0);
    EXPECT_EQ(s->mbrmin, -800);
    EXPECT_EQ(s->mbrmax, 600);
    const int range = s->mbrmax - s->mbrmin;
    EXPECT_EQ(s->lumap[0], 0);        // cumulative fraction 0: the display's black
    EXPECT_EQ(s->lumap[range], 256);  // fraction 1: the display's white
    for (int i = 1; i <= range; ++i) ASSERT_LE(s->lumap[i - 1], s->lumap[i]) << i;
    // The ceiling limits how much of the range the shadow cluster takes: its 80 % of the
    // pixels get far less than 80 % of the display levels.
    EXPECT_LT(s->lumap[-400 - s->mbrmin] - s->lumap[-500 - s->mbrmin], 160);
}

TEST(ToneMapperMapping, OneBrightnessFallsToTheLinearMapping) {
    State s = makeState();
    const std::vector<std::int16_t> codes(1000, 0);
    ASSERT_EQ(tmAddHisto(s.get(), codes.data(), 1000, 1), 0);
    ASSERT_EQ(tmComputeMapping(s.get(), 2.2f, 0, 0), 0);
    ASSERT_EQ(s->mbrmin, 0);
    ASSERT_EQ(s->mbrmax, 0);
    // The mean code is the bin centre 4: 256·(Ldavg/Ldmax / e^(4/128))^(1/2.2) = 114.8.
    EXPECT_EQ(s->lumap[0], 114);

    State fixed = makeState();
    ASSERT_EQ(tmAddHisto(fixed.get(), codes.data(), 1000, 1), 0);
    const double exposure = 179.0 * (std::sqrt(100 * 3.125) / std::exp(4.0 / 128)) / 100;
    ASSERT_EQ(tmFixedMapping(fixed.get(), exposure, 2.2f), 0);
    EXPECT_EQ(fixed->lumap[0], s->lumap[0]);
}

TEST(ToneMapperMapping, FixedMappingSaturatesInsteadOfWrapping) {
    State s = makeState();
    const std::int16_t codes[] = {0, 600};
    ASSERT_EQ(tmAddHisto(s.get(), codes, 2, 1), 0);
    ASSERT_EQ(tmFixedMapping(s.get(), 1e12, 1.0), 0);
    EXPECT_EQ(s->lumap[600], 65535);
    ASSERT_EQ(tmFixedMapping(s.get(), 179.0, 1.0), 0);  // exposure 179: 256·L
    EXPECT_EQ(s->lumap[0], 256);
    EXPECT_EQ(s->lumap[128], static_cast<int>(256 * std::exp(1.0)));
    ASSERT_EQ(tmFixedMapping(s.get(), -5, 1.0), 0);  // no exposure means 1
    EXPECT_EQ(s->lumap[0], static_cast<int>(256 / 179.0));
}

TEST(ToneMapperMapPixels, ClampsCodesAndScalesColourBytes) {
    State s = makeState();
    const std::int16_t range[] = {100, 107};
    ASSERT_EQ(tmAddHisto(s.get(), range, 2, 1), 0);
    ASSERT_TRUE(tmAllocMap(s.get()));
    for (int i = 0; i < 8; ++i) s->lumap[i] = static_cast<std::uint16_t>(40 * i);  // 0 … 280

    const std::int16_t codes[] = {99, 103, 107, 5000, kTmNoLightCode};
    std::uint8_t grey[15];
    for (int i = 0; i < 15; i += 3) {
        grey[i] = 140, grey[i + 1] = 213, grey[i + 2] = 73;  // = cdiv: a grey pixel
    }
    std::uint8_t out[15];
    ASSERT_EQ(tmMapPixels(s.get(), out, codes, grey, 5), 0);
    const int levels[] = {0, 120, 255, 255, 0};  // below → black, above → the last entry
    for (int p = 0; p < 5; ++p) {
        for (int i = 0; i < 3; ++i) EXPECT_EQ(out[3 * p + i], levels[p]) << p;
    }

    const std::uint8_t colour[3] = {70, 213, 0};  // half the red share, no blue
    ASSERT_EQ(tmMapPixels(s.get(), out, codes + 1, colour, 1), 0);
    EXPECT_EQ(out[0], 120 * 70 / 140);
    EXPECT_EQ(out[1], 120);
    EXPECT_EQ(out[2], 0);

    std::uint8_t single[5];
    ASSERT_EQ(tmMapPixels(s.get(), single, codes, nullptr, 5), 0);
    for (int p = 0; p < 5; ++p) EXPECT_EQ(single[p], levels[p]);

    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(tmMapPixels(s.get(), nullptr, codes, nullptr, 1), 2); }),
              "tmMapPixels: illegal argument value!\n");
}

TEST(ToneMapperMapPixels, WholeRunOnABrightnessRamp) {
    // The method-1 sequence on many pixels, which the engine splits across threads.
    const int count = 200000;
    std::vector<float> rgb(3 * static_cast<size_t>(count));
    for (int p = 0; p < count; ++p) {
        const float v = static_cast<float>(p % 1000) / 999;
        rgb[3 * p] = v, rgb[3 * p + 1] = v * v, rgb[3 * p + 2] = 1 - v;
    }
    State s = makeState();
    std::vector<std::int16_t> codes(count);
    std::vector<std::uint8_t> colour(3 * static_cast<size_t>(count)), out(colour.size());
    ASSERT_EQ(tmCvColors(s.get(), codes.data(), colour.data(), rgb.data(), count), 0);
    ASSERT_EQ(tmAddHisto(s.get(), codes.data(), count, 1), 0);
    ASSERT_EQ(tmComputeMapping(s.get(), 2.2f, 0, 0), 0);
    ASSERT_EQ(tmMapPixels(s.get(), out.data(), codes.data(), colour.data(), count), 0);
    // Pixels repeat every 1000: so must the results, whichever thread did them.
    for (int p = 1000; p < count; ++p) {
        ASSERT_EQ(codes[p], codes[p % 1000]) << p;
        for (int i = 0; i < 3; ++i) ASSERT_EQ(out[3 * p + i], out[3 * (p % 1000) + i]) << p;
    }
    EXPECT_EQ(out[3 * 999], 255);  // (1, 1, 0): the brightest pixel keeps a full red
}

}  // namespace
}  // namespace qorva

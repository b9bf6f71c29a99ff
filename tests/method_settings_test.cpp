#include "settings/method_settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <set>
#include <string>

namespace qorva {
namespace {

TEST(MethodSettings, StartsWithMethodZeroDefaults) {
    MethodSettings s;
    EXPECT_EQ(s.method, 0);
    EXPECT_EQ(s.previousMethod, 0);
    EXPECT_EQ(s.gammaPosition, 100);
    EXPECT_DOUBLE_EQ(s.gamma, 1.0);
    EXPECT_EQ(s.valueA, 10.0);
    EXPECT_EQ(s.valueB, 1.0);
    EXPECT_EQ(s.valueC, 6.0);
    EXPECT_EQ(s.valueD, 0.6);
    EXPECT_EQ(s.valueE, 0.1);
    EXPECT_EQ(s.valueF, 0.3);
    const std::size_t lengths[] = {3, 6, 6, 5, 3, 5, 5};
    for (int id = -1; id <= 5; ++id) EXPECT_EQ(s.storedFor(id).size(), lengths[id + 1]) << id;
    EXPECT_EQ(s.storedFor(1), (std::vector<double>{25.0, 1.0, 0.0, 5.0, 0.6, 0.25}));
    EXPECT_EQ(s.storedFor(-1), (std::vector<double>{0.12, 1.0, 1.0}));
}

TEST(MethodSettings, SwitchingAwayAndBackRestoresTheValuesAsLeft) {
    MethodSettings s;
    s.valueA = 12.3;
    s.valueC = 9.0;
    s.valueF = 0.77;
    s.method = 1;
    SelectMethod(s);
    EXPECT_EQ(s.valueA, 25.0);
    EXPECT_EQ(s.valueF, 0.25);
    s.valueB = 0.4;  // edited under method 1
    s.method = 0;
    SelectMethod(s);
    EXPECT_EQ(s.valueA, 12.3);
    EXPECT_EQ(s.valueC, 9.0);
    EXPECT_EQ(s.valueF, 0.77);
    // Stored in file order A, B, E, C, D, F.
    EXPECT_EQ(s.storedFor(1)[1], 0.4);
    EXPECT_EQ(s.storedFor(0)[3], 9.0);
}

TEST(MethodSettings, ResetOfOneMethodLeavesTheOtherAlone) {
    MethodSettings s;
    s.valueB = 0.5;
    s.method = 1;
    SelectMethod(s);
    s.valueD = 0.9;
    ResetMethod(s);
    EXPECT_EQ(s.valueD, 0.6);
    s.method = 0;
    SelectMethod(s);
    EXPECT_EQ(s.valueB, 0.5);
}

TEST(MethodSettings, HiddenMethodIdsBecomeEyeCatching) {
    for (int id : {2, 3, 5, 17}) {
        MethodSettings s;
        s.method = 1;
        SelectMethod(s);
        s.method = id;
        SelectMethod(s);
        EXPECT_EQ(s.method, 0);
        EXPECT_EQ(s.valueA, 10.0);
    }
}

TEST(MethodSettings, StoredOnlyMethodKeepsGammaCopyButNotBack) {
    MethodSettings s;
    s.method = -1;
    SelectMethod(s);
    EXPECT_EQ(s.valueA, 0.12);
    EXPECT_EQ(s.valueC, 6.0);  // rows C..F keep what method 0 left
    s.setGamma(1.7);
    s.method = 0;
    SelectMethod(s);
    EXPECT_EQ(s.storedFor(-1)[2], 1.7);
    s.setGamma(0.8);
    s.method = -1;
    SelectMethod(s);
    EXPECT_EQ(s.gamma, 0.8);
}

TEST(SliderPosition, TruncatesButReadsBackItsOwnPositions) {
    struct Case {
        double value;
        int divisor;
        int position;
    } cases[] = {
        {0.999, 100, 99}, {0.29, 100, 29}, {0.57, 100, 57},  {2.01, 100, 201},
        {6.0, 10, 60},    {0.25, 100, 25}, {-0.5, 100, -50}, {1e300, 10, 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sliderPosition(c.value, c.divisor), c.position) << c.value;
    for (int divisor : {10, 100})
        for (int p = 0; p <= 500; ++p)
            ASSERT_EQ(sliderPosition(static_cast<double>(p) / divisor, divisor), p) << p;
}

TEST(SliderPosition, GammaPositionsAreLimited) {
    EXPECT_EQ(gammaSliderPosition(2.60), 260);
    EXPECT_EQ(gammaSliderPosition(0.40), 40);
    EXPECT_EQ(gammaSliderPosition(0.1), 40);
    EXPECT_EQ(gammaSliderPosition(9.0), 260);
    MethodSettings s;
    s.setGamma(2.6);
    EXPECT_EQ(s.gammaPosition, 260);
    ResetGamma(s);
    EXPECT_EQ(s.gammaPosition, 100);
    EXPECT_EQ(s.gamma, 1.0);
}

TEST(MethodTables, KeysLabelsAndOptions) {
    const MethodTable* zero = methodTable(0);
    const MethodTable* one = methodTable(1);
    ASSERT_NE(zero, nullptr);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(methodTable(2), nullptr);
    EXPECT_STREQ(zero->rows[0].key, "Brighness");
    EXPECT_STREQ(one->rows[1].label, "Natural/Saturated");
    EXPECT_FALSE(one->rows[0].enabled);
    for (int id : {-1, 0, 1}) {
        std::set<std::string> seen;
        for (const SliderRow& row : methodTable(id)->rows) {
            std::string option = row.option;
            EXPECT_TRUE(seen.insert(option).second) << option;
            for (char c : option) EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)));
            EXPECT_EQ(findOption(*methodTable(id), row.option), &row);
        }
    }
    EXPECT_EQ(findOption(*zero, "mix"), nullptr);
    EXPECT_EQ(findOption(*one, "mix")->row, 'B');
}

TEST(PipelineParameters, DerivedFromTheSliderValues) {
    MethodSettings s;
    ColorSettings c;
    c.curvesOn = true;
    c.filterMode = 7;
    s.valueA = 18.0;
    s.valueB = 0.5;
    s.valueC = 6.9;
    s.gammaPosition = 160;

    ContrastParams full = contrastParamsFor(s, c, false);
    EXPECT_EQ(full.brightnessBlend, 0.5f);
    EXPECT_EQ(full.saturationFactor, 0.75f);
    EXPECT_EQ(full.local.divisions, 6);
    EXPECT_EQ(full.colour.vivid, 0.1f);
    EXPECT_EQ(full.colour.gamma, static_cast<float>(160 * 0.01));
    EXPECT_TRUE(full.colour.curvesOn);
    EXPECT_EQ(full.colour.filterMode, 7);

    ContrastParams neutral = contrastParamsFor(s, c, true);
    EXPECT_EQ(neutral.colour.gamma, 1.0f);
    EXPECT_FALSE(neutral.colour.curvesOn);
    EXPECT_EQ(neutral.colour.filterMode, 0);

    ToneMappedParams tone = toneMappedParamsFor(s, c, false);
    EXPECT_EQ(tone.naturalSaturated, 0.5f);
    EXPECT_EQ(tone.local.divisions, 6);
    EXPECT_EQ(tone.local.smoothness, 0.3f);
    EXPECT_EQ(tone.colour.gamma, full.colour.gamma);

    s.valueC = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(contrastParamsFor(s, c, true).local.divisions, 0);
}

}  // namespace
}  // namespace qorva

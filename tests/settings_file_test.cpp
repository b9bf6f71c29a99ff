#include "persistence/settings_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "support/temp_folder.h"

namespace qorva {
namespace {

std::vector<std::uint8_t> store(MethodSettings& m, const ColorSettings& c) {
    MemoryByteStream stream;
    EXPECT_TRUE(storeSettings(stream, m, c).ok());
    return stream.bytes();
}

double doubleAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | bytes.at(offset + static_cast<std::size_t>(i));
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

void putDouble(std::vector<std::uint8_t>& bytes, std::size_t offset, double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    for (int i = 0; i < 8; ++i)
        bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(u >> (8 * i));
}

void putInt(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(u >> (8 * i));
}

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// A dialog state unlike the defaults, so that any change by a refused load shows.
void customise(MethodSettings& m, ColorSettings& c) {
    m.valueA = 14.0;
    m.valueD = 0.77;
    m.setGamma(1.55);
    c.toneCurve.setPoints({{0, 0.1}, {0.3, 0.5}, {0.6, 0.4}, {1, 0.9}});
    c.curvesOn = true;
    c.toneCurve.SetActive(true);
    c.balanceCurve.SetActive(false);
    c.hueCurve.SetActive(false);
    c.dehazeOn = true;
    c.filterMode = 3;
}

// Offsets in a method-0 stream with two-point curves.
constexpr std::size_t kGamma = 53;
constexpr std::size_t kToneFlag = 61;
constexpr std::size_t kToneCount = 65;
constexpr std::size_t kTonePoints = 69;

TEST(SettingsFile, MethodZeroWithThreeTwoPointCurvesIs194Bytes) {
    MethodSettings m;
    ColorSettings c;
    const std::vector<std::uint8_t> bytes = store(m, c);
    ASSERT_EQ(bytes.size(), 194u);
    EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0);
    EXPECT_EQ(doubleAt(bytes, 4), 10.0);  // Brighness
    EXPECT_EQ(doubleAt(bytes, 12), 1.0);  // Saturation
    EXPECT_EQ(doubleAt(bytes, 20), 0.1);  // Vivid
    EXPECT_EQ(doubleAt(bytes, 28), 6.0);  // Radius
    EXPECT_EQ(bytes[52], 0xFF);
    const std::uint8_t gammaOne[] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(std::memcmp(&bytes[kGamma], gammaOne, 8), 0);
    EXPECT_EQ(bytes[kToneCount], 2);
    EXPECT_EQ(doubleAt(bytes, kTonePoints + 24), 1.0);  // tone curve's last y
    EXPECT_EQ(bytes.back(), 0xFF);
}

TEST(SettingsFile, MethodOneWritesBrighnessBeforeMix) {
    MethodSettings m;
    ColorSettings c;
    m.method = 1;
    SelectMethod(m);
    m.valueB = 0.35;
    const std::vector<std::uint8_t> bytes = store(m, c);
    EXPECT_EQ(doubleAt(bytes, 4), 25.0);
    EXPECT_EQ(doubleAt(bytes, 12), 0.35);

    MethodSettings loaded;
    ColorSettings lc;
    MemoryByteStream stream(bytes);
    ASSERT_TRUE(loadSettings(stream, loaded, lc).ok());
    EXPECT_EQ(loaded.method, 1);
    EXPECT_EQ(loaded.valueA, 25.0);
    EXPECT_EQ(loaded.valueB, 0.35);
}

TEST(SettingsFile, EveryMethodIdRoundTrips) {
    for (int id = -3; id <= 7; ++id) {
        SettingsRecord record;
        record.method = id;
        const std::size_t k = storedLayout(id).size();
        for (std::size_t i = 0; i < k; ++i) record.methodValues.push_back(0.5 + i);
        record.gamma = 2.01;
        record.tone = {1, {{0, 0.2}, {0.5, 0.6}, {1, 1}}};
        record.balance = {0, {{0, 0.5}, {1, 0.5}}};
        record.hue = {1, {{0, 0.25}, {0.4, 0.9}, {0.4, 0.1}, {1, 0.25}}};
        record.clarityOn = 1;
        record.filterMode = 11;
        MemoryByteStream stream;
        ASSERT_TRUE(serializeSettings(stream, record, SerializeDirection::Store).ok());
        const std::size_t methodBlock = hasStoredValues(id) ? 8 * k + 1 : 0;
        EXPECT_EQ(stream.bytes().size(), 4 + methodBlock + 8 + 3 * 8 + 16 * 9 + 12 + 1) << id;

        stream.seek(0);
        MethodSettings m;
        ColorSettings c;
        ASSERT_TRUE(loadSettings(stream, m, c).ok()) << id;
        if (hasStoredValues(id)) {
            EXPECT_EQ(m.storedFor(id), record.methodValues) << id;
        }
        EXPECT_EQ(m.method, id > 1 ? 0 : id);
        EXPECT_EQ(m.gamma, 2.01);
        EXPECT_EQ(m.gammaPosition, 201);
        EXPECT_TRUE(c.curvesOn && c.toneCurve.active());
        EXPECT_FALSE(c.balanceOn || c.balanceCurve.active());
        EXPECT_EQ(c.hueCurve.points().size(), 4u);
        EXPECT_TRUE(c.clarityOn);
        EXPECT_FALSE(c.dehazeOn);
        EXPECT_EQ(c.filterMode, 11);

        // The same settings written again give the same bytes (ids 2..5 are turned into 0 by
        // the method change, so compare the record instead for those).
        SettingsRecord again;
        stream.seek(0);
        ASSERT_TRUE(serializeSettings(stream, again, SerializeDirection::Load).ok());
        EXPECT_EQ(again.methodValues, record.methodValues);
    }
}

TEST(SettingsFile, LoadReplacesCurvesAndGammaSliderIsLimited) {
    struct Case {
        double gamma;
        int position;
        double shown;  // what the edit shows and the next save writes
    } cases[] = {{2.60, 260, 2.60}, {0.40, 40, 0.40}, {2.01, 201, 2.01},
                 {0.1, 40, 0.40},   {7.5, 260, 2.60}, {-1, 40, 0.40}};
    for (const Case& g : cases) {
        MethodSettings m;
        ColorSettings c;
        std::vector<std::uint8_t> bytes = store(m, c);
        putDouble(bytes, kGamma, g.gamma);
        customise(m, c);
        MemoryByteStream stream(bytes);
        ASSERT_TRUE(loadSettings(stream, m, c).ok());
        EXPECT_EQ(m.gammaPosition, g.position) << g.gamma;
        EXPECT_EQ(m.gamma, g.shown) << g.gamma;
        EXPECT_EQ(c.toneCurve.points().size(), 2u);
        EXPECT_FALSE(c.curvesOn);
        EXPECT_FALSE(c.dehazeOn);
        EXPECT_EQ(m.valueA, 10.0);
    }
}

TEST(SettingsFile, ACutFileChangesNothing) {
    MethodSettings m;
    ColorSettings c;
    const std::vector<std::uint8_t> full = store(m, c);
    customise(m, c);
    const MethodSettings before = m;
    const ColorSettings colourBefore = c;
    for (std::size_t length = 0; length < full.size(); ++length) {
        MemoryByteStream stream(std::vector<std::uint8_t>(full.begin(), full.begin() + length));
        const SettingsResult result = loadSettings(stream, m, c);
        ASSERT_EQ(result.status, SettingsStatus::PastEnd) << length;
        ASSERT_EQ(result.message, "An attempt was made to access an unnamed file past its end.");
        ASSERT_EQ(m, before) << length;
        ASSERT_EQ(c, colourBefore) << length;
    }
    std::vector<std::uint8_t> longer = full;
    longer.push_back(0x12);
    MemoryByteStream stream(longer);
    EXPECT_TRUE(loadSettings(stream, m, c).ok());
}

TEST(SettingsFile, DamagedCurvesAndNumbersAreRefused) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<std::uint8_t>&);
        SettingsStatus status;
    } cases[] = {
        {"negative count", [](auto& b) { putInt(b, kToneCount, -1); }, SettingsStatus::Refused},
        {"huge count", [](auto& b) { putInt(b, kToneCount, 0x7fffffff); }, SettingsStatus::Refused},
        {"count past the end", [](auto& b) { putInt(b, kToneCount, 4096); },
         SettingsStatus::PastEnd},
        {"one point", [](auto& b) { putInt(b, kToneCount, 1); }, SettingsStatus::Refused},
        {"not finite", [](auto& b) { putDouble(b, kTonePoints + 8, nan); },
         SettingsStatus::Refused},
        {"first x not 0", [](auto& b) { putDouble(b, kTonePoints, 0.1); }, SettingsStatus::Refused},
        {"last x not 1", [](auto& b) { putDouble(b, kTonePoints + 16, 0.9); },
         SettingsStatus::Refused},
        {"y above 1", [](auto& b) { putDouble(b, kTonePoints + 24, 1.5); },
         SettingsStatus::Refused},
        {"x decreasing",
         [](auto& b) {
             putDouble(b, kTonePoints, 1.0);
             putDouble(b, kTonePoints + 16, 0.0);
         },
         SettingsStatus::Refused},
        {"gamma not finite", [](auto& b) { putDouble(b, kGamma, nan); }, SettingsStatus::Refused},
        {"method value infinite",
         [](auto& b) { putDouble(b, 28, std::numeric_limits<double>::infinity()); },
         SettingsStatus::Refused},
    };
    for (const Case& k : cases) {
        MethodSettings m;
        ColorSettings c;
        std::vector<std::uint8_t> bytes = store(m, c);
        k.damage(bytes);
        customise(m, c);
        const MethodSettings before = m;
        const ColorSettings colourBefore = c;
        MemoryByteStream stream(bytes);
        const SettingsResult result = loadSettings(stream, m, c);
        EXPECT_EQ(result.status, k.status) << k.what;
        EXPECT_FALSE(result.message.empty()) << k.what;
        EXPECT_EQ(m, before) << k.what;
        EXPECT_EQ(c, colourBefore) << k.what;
    }
}

TEST(SettingsFile, FilesOnDisk) {
    test::TempFolder folder;
    const std::string path = folder.file("look.dps");
    MethodSettings m;
    ColorSettings c;
    customise(m, c);
    ASSERT_TRUE(saveSettingsFile(path, m, c).ok());
    EXPECT_EQ(test::readFile(path).size(), 4 + 49 + 8 + (8 + 64) + 2 * (8 + 32) + 13u);

    MethodSettings loaded;
    ColorSettings lc;
    ASSERT_TRUE(loadSettingsFile(path, loaded, lc).ok());
    EXPECT_EQ(loaded, m);
    EXPECT_EQ(lc, c);

    EXPECT_EQ(loadSettingsFile(folder.file("missing.dps"), loaded, lc).status,
              SettingsStatus::CannotOpen);
    test::writeFile(folder.file("short.dps"), test::readFile(path).substr(0, 100));
    EXPECT_EQ(loadSettingsFile(folder.file("short.dps"), loaded, lc).status,
              SettingsStatus::PastEnd);
    EXPECT_EQ(loaded, m);
    EXPECT_EQ(lc, c);
    EXPECT_EQ(saveSettingsFile(folder.file("no/such/folder.dps"), m, c).status,
              SettingsStatus::WriteFailed);
}

}  // namespace
}  // namespace qorva

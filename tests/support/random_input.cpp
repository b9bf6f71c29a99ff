#include "support/random_input.h"

#include <cstdio>

#include "colour/color_filters.h"
#include "persistence/settings_file.h"
#include "settings/method_settings.h"

namespace qorva::test {
namespace {

std::string numberText(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::vector<CurvePoint> randomCurve(RandomInput& random) {
    std::vector<CurvePoint> points;
    const int count = random.between(0, 9);
    for (int i = 0; i < count; ++i) {
        // Mostly inside the panel; a file may hold anything.
        const double spread = random.chance(10) ? 3.0 : 1.0;
        points.push_back(
            {random.between(0, 1000) / 1000.0 * spread, random.between(0, 1000) / 1000.0 * spread});
    }
    return points;
}

std::vector<std::uint8_t> wellFormedSettings(RandomInput& random) {
    MethodSettings method;
    ColorSettings colour;
    method.method = random.chance(90) ? random.between(0, 1)
                                      : random.between(kStoredMethodMin, kStoredMethodMax);
    SelectMethod(method);
    if (const MethodTable* table = methodTable(method.method)) {
        for (const SliderRow& row : table->rows) {
            const int position = random.chance(90)
                                     ? random.between(row.minPosition, row.maxPosition)
                                     : random.between(-10 * row.maxPosition, 10 * row.maxPosition);
            method.value(row.row) = static_cast<double>(position) / row.divisor;
        }
    }
    method.setGamma(random.between(kGammaPositionMin - 20, kGammaPositionMax + 20) / 100.0);
    colour.curvesOn = random.chance(50);
    colour.balanceOn = random.chance(50);
    colour.hueShiftOn = random.chance(50);
    colour.clarityOn = random.chance(30);
    colour.dehazeOn = random.chance(30);
    colour.filterMode = random.chance(90) ? random.below(kFilterCount) : random.between(-3, 40);
    colour.toneCurve.setPoints(randomCurve(random));
    colour.balanceCurve.setPoints(randomCurve(random));
    colour.hueCurve.setPoints(randomCurve(random));
    MemoryByteStream stream;
    storeSettings(stream, method, colour);
    return stream.bytes();
}

}  // namespace

std::string randomEditText(RandomInput& random, double low, double high) {
    static const std::vector<std::string> notNumbers = {
        "", "abc", "1.2.3", "--1", "+-2", "0x10", "nan", "inf", "1e999", "-", ".", "1,5", " "};
    static const std::string keys = "0123456789.-+eE ,aZ";
    switch (random.below(5)) {
        case 0:
        case 1:
            return numberText(low + (high - low) * random.between(0, 1000) / 1000.0,
                              random.between(0, 3));
        case 2:
            return numberText(random.chance(50) ? low - random.between(1, 100000)
                                                : high + random.between(1, 100000),
                              random.between(0, 2));
        case 3:
            return random.pick(notNumbers);
        default: {
            std::string text;
            for (int n = random.between(1, 12); n > 0; --n)
                text += keys[static_cast<std::size_t>(random.below(static_cast<int>(keys.size())))];
            return text;
        }
    }
}

std::vector<std::uint8_t> randomSettingsBytes(RandomInput& random) {
    std::vector<std::uint8_t> bytes;
    switch (random.below(4)) {
        case 0:
            return wellFormedSettings(random);
        case 1:
            bytes = wellFormedSettings(random);
            bytes.resize(static_cast<std::size_t>(random.below(static_cast<int>(bytes.size()))));
            return bytes;
        case 2:
            bytes = wellFormedSettings(random);
            for (int n = random.between(1, 8); n > 0; --n)
                bytes[static_cast<std::size_t>(random.below(static_cast<int>(bytes.size())))] =
                    static_cast<std::uint8_t>(random.below(256));
            return bytes;
        default:
            bytes.resize(static_cast<std::size_t>(random.below(400)));
            for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random.below(256));
            return bytes;
    }
}

}  // namespace qorva::test

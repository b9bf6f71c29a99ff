#include "colour/curve_table.h"

namespace qorva {

CurveTable identityCurveTable() {
    CurveTable t{};
    for (int k = 0; k < 256; ++k) t[k] = static_cast<std::uint8_t>(k);
    return t;
}

CurveTable flatCurveTable() {
    CurveTable t{};
    t.fill(128);
    return t;
}

float LookupCurve(const CurveTable& table, float x, float lo, float hi) {
    float t = (x - lo) / (hi - lo);
    if (!(t >= 0)) t = 0;  // also catches NaN, so any input reads a defined entry
    if (t > 1) t = 1;
    if (t == 1) return table[255];
    const float p = 255 * t;
    int k = static_cast<int>(p);
    if (k > 254) k = 254;
    const float f = p - static_cast<float>(k);
    return table[k] + f * (table[k + 1] - table[k]);
}

}  // namespace qorva

// A 256-entry byte table built by a curve editor and read by the colour pass. Entry k is the
// output for input position k/255 of the table's domain.
#pragma once

#include <array>
#include <cstdint>

namespace qorva {

using CurveTable = std::array<std::uint8_t, 256>;

CurveTable identityCurveTable();    // tone curve at rest: entry k = k
CurveTable flatCurveTable();        // hue-domain curves at rest: 128 everywhere

// The three tables the colour pass reads: tone curve, colour balance and hue shift.
struct CurveTables {
    CurveTable tone = identityCurveTable();
    CurveTable balance = flatCurveTable();
    CurveTable hue = flatCurveTable();
};

// Reads a table whose domain is [lo, hi] with linear interpolation between entries.
float LookupCurve(const CurveTable& table, float x, float lo, float hi);

}  // namespace qorva

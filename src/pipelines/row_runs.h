// Rows of a full-size photo are worked through in runs of a few hundred pixels: the scratch
// arrays of a run (channels, ratios, positions) then stay in the first-level cache, where a
// 6000-pixel row's would stream through the second.
#pragma once

#include <algorithm>

namespace qorva {

constexpr int kRun = 512;

// Calls fn(first, count) for the consecutive runs of a row of width pixels.
template <class Fn>
void forEachRun(int width, Fn&& fn) {
    for (int first = 0; first < width; first += kRun) fn(first, std::min(kRun, width - first));
}

}  // namespace qorva

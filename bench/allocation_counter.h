// Counts the bytes the benchmark process holds through operator new, so that a run's peak
// working memory can be read without the noise of the allocator's own caches.
#pragma once

#include <cstddef>

namespace qorva::bench {

std::size_t liveBytes();
std::size_t peakBytes();
// Starts a new measurement: the peak becomes the bytes held now.
void resetPeak();

}  // namespace qorva::bench

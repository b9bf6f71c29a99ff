// The last step both methods share: the change from stretched to equalised luminance put back
// into a run of colour, and the colour chain over it. Each method works out the colour of a
// pixel its own way (method 0 from the input bytes, method 1 from its global mapping), with its
// own arithmetic, so the colour comes from the caller.
#pragma once

#include <cstdint>

#include "colour/color_pass.h"
#include "pipelines/row_runs.h"

namespace qorva {

// ls, les: the run's stretched and equalised luminance; colourOf(x, ratio, r, g, b) writes the
// colour of pixel x scaled by its luminance ratio. The darkest pixels have no ratio: they stay
// black (their chain input is a harmless 0; the chain's run blacks them out). Writes count
// pixels of bytes at px.
template <class ColourOf>
void putColourBack(const float* ls, const float* les, int count, const ColorChain& chain,
                   std::uint8_t* px, ColourOf&& colourOf) {
    float r[kRun];
    float g[kRun];
    float b[kRun];
    unsigned char black[kRun];
    for (int x = 0; x < count; ++x) {
        const int dark = static_cast<int>(ls[x] == 0);
        const float ratio = les[x] / (dark ? 1.0f : ls[x]);
        float cr = 0, cg = 0, cb = 0;
        colourOf(x, ratio, cr, cg, cb);
        r[x] = dark ? 0.0f : cr;
        g[x] = dark ? 0.0f : cg;
        b[x] = dark ? 0.0f : cb;
        black[x] = static_cast<unsigned char>(dark);
    }
    chain.runRow(r, g, b, black, count, px);
}

}  // namespace qorva

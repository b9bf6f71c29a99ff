// The local contrast equalisation that gives both methods their dramatic light: the luminance
// is equalised per tile with a contrast-limited histogram, and the tile mappings are blended
// bilinearly so that no tile edges show.
#pragma once

#include <functional>

#include "pipelines/float_plane.h"
#include "pipelines/run_context.h"

namespace qorva {

// The three sliders of the local equalisation, which both methods take from the settings the
// same way (see equalizeLocalContrast for their meaning).
struct LocalContrastParams {
    int divisions = 1;
    float strength = 0;
    float smoothness = 0;
};

// source and destination must have the same size (std::invalid_argument otherwise).
// divisions: tiles per side ("Dramatic Light Radius", below 1 uses 1); strength: 0 keeps the
// luminance, 1 applies the pure clipped equalisation ("Dramatic Light Strength"); smoothness:
// 0..1 lowers the clip limit factor from 8.5 to 1.5 ("Surface Smoothness").
// The source is stretched to 0..255 in place, which callers rely on: they divide the result by
// it. Every destination sample receives the equalised luminance on the same 0..255 scale.
// Reports progress 60 once the tile histograms are counted. Throws std::bad_alloc when the
// histograms cannot be allocated.
void equalizeLocalContrast(FloatPlane& source, FloatPlane& destination, int divisions,
                           float strength, float smoothness, const RunContext& context);

// Writes the equalised row y (source width samples) into out; only for rows of its own band.
using EqualisedRowFn = std::function<void(int y, float* out)>;
// Called once for each band of rows [begin, end), on the band's worker thread; the bands cover
// every row exactly once, whatever the thread count.
using EqualisedBandFn = std::function<void(int begin, int end, const EqualisedRowFn& row)>;

// The same equalisation without a destination plane: the pipelines take each equalised row as
// it is made and put the colour back at once, which saves a plane of memory and a pass over it.
// The source is stretched in place before the first band is called.
void equalizeLocalContrastBands(FloatPlane& source, int divisions, float strength, float smoothness,
                                const RunContext& context, const EqualisedBandFn& band);

inline void equalizeLocalContrastBands(FloatPlane& source, const LocalContrastParams& params,
                                       const RunContext& context, const EqualisedBandFn& band) {
    equalizeLocalContrastBands(source, params.divisions, params.strength, params.smoothness,
                               context, band);
}

}  // namespace qorva

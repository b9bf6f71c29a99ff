// What a pipeline run needs from its caller besides its parameter record: the progress hook
// (its only link upward), the curve tables read by the colour pass, and the switches of the
// whole-image passes.
#pragma once

#include <functional>

#include "colour/curve_table.h"

namespace qorva {

struct RunContext {
    std::function<void(int percent)> progress;  // may be empty
    CurveTables curves;
    bool clarityOn = false;
    bool dehazeOn = false;
};

inline void reportProgress(const RunContext& context, int percent) {
    if (context.progress) context.progress(percent);
}

}  // namespace qorva

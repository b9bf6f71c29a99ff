// The frame both methods run in: progress from 0 to 100, nothing to do for an image without
// pixels, the whole-image passes after the method's own work, and false instead of an exception
// when memory runs out.
#pragma once

#include <cstdint>
#include <new>

#include "colour/finishing_passes.h"
#include "pipelines/run_context.h"

namespace qorva {

// work(image, w, h) is the method's own part, up to the colour chain; the planes it holds are
// freed when it returns, so that the whole-image passes can have that memory.
template <class Work>
bool runMethodFrame(const RunContext& context, std::uint8_t* image, int w, int h, int filterMode,
                    Work&& work) {
    try {
        reportProgress(context, 0);
        if (image == nullptr || w <= 0 || h <= 0) {
            reportProgress(context, 100);
            return true;
        }
        work(image, w, h);
        reportProgress(context, 90);
        reportProgress(context, 100);
        runFinishingPasses(context, image, w, h, filterMode);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace qorva

// Runs the engine over a list of planned outputs: read, render through the same render driver
// the dialog uses, write through a temporary file, carry the metadata. A file that fails is
// reported and the others still run.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "cli_options.h"
#include "image_file.h"
#include "output_plan.h"
#include "progress_bar.h"
#include "render/render_driver.h"

namespace qorva::cli {

struct RenderRequest {
    MethodSettings method;
    ColorSettings colour;
    RenderQuality quality = RenderQuality::Final;
    PreviewSize previewSize;
};

// What the plug-in would hand the host (Final) or show in its preview (the other qualities).
// The alpha channel is carried for full-size results only. False when memory ran out.
bool renderImage(const RgbImage& input, const RenderRequest& request,
                 const std::function<void(int)>& progress, RgbImage& result);

struct BatchOptions {
    RenderRequest request;
    int jpegQuality = kDefaultJpegQuality;
    ReadLimits limits;
    bool replaceReadOnly = false;  // --overwrite
    bool skipExisting = false;
    // Threads in all (0: the automatic count). With several inputs, up to three are read,
    // rendered and written side by side, each with its share of the threads.
    int threads = 0;
};

// At most this many images are in memory at once.
constexpr int kMaxImagesInFlight = 3;

// Returns the exit code: 0 when every file was written, 1 when any failed. Messages go to err
// as "qorvahdr: <path>: <reason>", in the order of the inputs whatever order the files finish
// in; each file fails alone.
int runBatch(const OutputPlan& plan, const BatchOptions& options, std::ostream& err,
             ProgressBar& bar);

}  // namespace qorva::cli

#include "batch_runner.h"

#include <filesystem>
#include <new>

#include "atomic_output.h"
#include "image_metadata.h"

namespace qorva::cli {
namespace {

std::string displayName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool writeResult(const PlannedOutput& file, const RgbImage& result, int jpegQuality,
                 std::string& warning, std::string& error) {
    TempOutput temp;
    if (!temp.create(file.output, error)) return false;
    WriteOptions write;
    write.format = file.format;
    write.jpegQuality = jpegQuality;
    if (!writeImageFile(temp.path(), result, write, error)) return false;
    if (formatHoldsMetadata(file.format)) {
        std::string reason;
        if (!copyMetadata(file.input, temp.path(), result.width, result.height, reason))
            warning = "warning: metadata not carried: " + reason;
    }
    return temp.commit(error);
}

}  // namespace

bool renderImage(const RgbImage& input, const RenderRequest& request,
                 const std::function<void(int)>& progress, RgbImage& result) {
    result = RgbImage{};
    MethodSettings method = request.method;
    ColorSettings colour = request.colour;
    FixedPreviewHost host(request.previewSize, progress);
    RenderDriver driver(host, method, colour);
    driver.setHostInput(input.rgb.data(), input.width, input.height);
    if (!driver.Render(request.quality)) return false;
    const WorkingImage& image =
        request.quality == RenderQuality::Final ? driver.renderImage() : driver.displayImage();
    if (!image.hasPixels()) return false;
    try {
        result.width = image.width();
        result.height = image.height();
        result.rgb.assign(image.pixels(), image.pixels() + image.byteSize());
        if (request.quality == RenderQuality::Final) result.alpha = input.alpha;
    } catch (const std::bad_alloc&) {
        result = RgbImage{};
        return false;
    }
    return true;
}

int runBatch(const OutputPlan& plan, const BatchOptions& options, std::ostream& err,
             ProgressBar& bar) {
    if (!plan.folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(plan.folder, ec);
        if (ec) {
            err << "qorvahdr: " << plan.folder
                << ": cannot create the output folder: " << ec.message() << "\n";
            return 1;
        }
    }
    int failures = 0;
    const int count = static_cast<int>(plan.files.size());
    for (int k = 0; k < count; ++k) {
        const PlannedOutput& file = plan.files[static_cast<std::size_t>(k)];
        auto report = [&](const std::string& path, const std::string& text) {
            bar.clear();
            err << "qorvahdr: " << path << ": " << text << "\n";
        };
        bar.startFile(k + 1, count, displayName(file.input));

        RgbImage input;
        ReadInfo info;
        std::string error;
        if (!readImageFile(file.input, input, info, error)) {
            report(file.input, error);
            ++failures;
            continue;
        }
        if (!info.depth.empty())
            report(file.input, "note: " + info.depth +
                                   " samples rounded to 8 bits (the engine "
                                   "works in 8 bits per channel)");
        if (info.droppedChannels > 0)
            report(file.input, "note: " + std::to_string(info.droppedChannels) +
                                   " extra channel(s) not carried");
        if (!input.alpha.empty() && options.request.quality == RenderQuality::Final &&
            !formatHoldsAlpha(file.format))
            report(file.input, std::string("note: alpha channel dropped: ") +
                                   formatName(file.format) + " holds none");

        RgbImage result;
        if (!renderImage(
                input, options.request, [&bar](int p) { bar.update(p); }, result)) {
            report(file.input, "not enough memory to process this image");
            ++failures;
            continue;
        }
        input = RgbImage{};
        std::string warning;
        const bool written = writeResult(file, result, options.jpegQuality, warning, error);
        if (!warning.empty()) report(file.input, warning);
        if (!written) {
            report(file.output, error);
            ++failures;
            continue;
        }
        bar.update(100);
    }
    bar.clear();
    return failures == 0 ? 0 : 1;
}

}  // namespace qorva::cli

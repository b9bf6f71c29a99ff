#include "batch_runner.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "atomic_output.h"
#include "common/parallel.h"
#include "image_metadata.h"
#include "render/fixed_preview_host.h"

namespace qorva::cli {
namespace {

std::string displayName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// What one file gave: its messages, in the order they arose, and whether it failed.
struct FileOutcome {
    std::vector<std::string> lines;
    bool failed = false;
};

class Outcome {
public:
    explicit Outcome(FileOutcome& out) : out_(out) {}
    void say(const std::string& path, const std::string& text) {
        out_.lines.push_back("qorvahdr: " + path + ": " + text);
    }
    void fail(const std::string& path, const std::string& text) {
        say(path, text);
        out_.failed = true;
    }

private:
    FileOutcome& out_;
};

bool writeResult(const PlannedOutput& file, const RgbImage& result, const BatchOptions& options,
                 Outcome& outcome) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    WriteOptions write;
    write.format = file.format;
    write.jpegQuality = options.jpegQuality;
    if (!encodeImage(result, write, bytes, error)) {
        outcome.fail(file.output, error);
        return false;
    }
    if (formatHoldsMetadata(file.format)) {
        std::string warning;
        // What cannot be carried is named; the image is written all the same.
        if (!carryMetadata(file.input, result.width, result.height, bytes, warning))
            outcome.say(file.input, "warning: " + warning);
    }
    TempOutput temp;
    if (!temp.create(file.output, options.replaceReadOnly, error) ||
        !temp.write(bytes.data(), bytes.size(), error) || !temp.commit(error)) {
        outcome.fail(file.output, error);
        return false;
    }
    return true;
}

void processFile(const PlannedOutput& file, const BatchOptions& options,
                 const std::function<void(int)>& progress, FileOutcome& out) {
    Outcome outcome(out);
    RgbImage input;
    ReadInfo info;
    std::string error;
    if (!readImageFile(file.input, input, info, error, options.limits)) {
        outcome.fail(file.input, error);
        return;
    }
    if (!info.depth.empty())
        outcome.say(file.input, "note: " + info.depth +
                                    " samples rounded to 8 bits (the engine "
                                    "works in 8 bits per channel)");
    if (info.droppedChannels > 0)
        outcome.say(file.input, "note: " + std::to_string(info.droppedChannels) +
                                    " extra channel(s) not carried");
    if (info.pages > 1)
        outcome.say(file.input,
                    "note: " + std::to_string(info.pages) + " pages; only the first is processed");
    if (!input.alpha.empty()) {
        if (options.request.quality != RenderQuality::Final)
            outcome.say(file.input, "note: alpha channel dropped: the preview qualities hold none");
        else if (!formatHoldsAlpha(file.format))
            outcome.say(file.input, std::string("note: alpha channel dropped: ") +
                                        formatName(file.format) + " holds none");
    }
    RgbImage result;
    if (!renderImage(input, options.request, progress, result)) {
        outcome.fail(file.input, "not enough memory to process this image");
        return;
    }
    input = RgbImage{};
    if (writeResult(file, result, options, outcome)) progress(100);
}

// Never lets an exception out: a path the file system refuses, or memory that runs out
// outside the guarded steps, fails that file alone.
void processGuarded(const PlannedOutput& file, const BatchOptions& options,
                    const std::function<void(int)>& progress, FileOutcome& out) {
    try {
        processFile(file, options, progress, out);
    } catch (const std::bad_alloc&) {
        Outcome(out).fail(file.input, "not enough memory to process this image");
    } catch (const std::exception& e) {
        Outcome(out).fail(file.input, e.what());
    }
}

bool outputExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool renderImage(const RgbImage& input, const RenderRequest& request,
                 const std::function<void(int)>& progress, RgbImage& result) {
    result = RgbImage{};
    MethodSettings method = request.method;
    ColorSettings colour = request.colour;
    FixedPreviewHost host(request.previewSize.width, request.previewSize.height, progress);
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
    std::vector<const PlannedOutput*> files;
    int skipped = 0;
    for (const PlannedOutput& file : plan.files) {
        if (options.skipExisting && outputExists(file.output)) {
            ++skipped;
            continue;
        }
        files.push_back(&file);
    }
    const int count = static_cast<int>(files.size());
    const int threads = options.threads > 0 ? options.threads : threadCount();
    const int workers = std::max(1, std::min({count, kMaxImagesInFlight, threads}));

    std::vector<std::optional<FileOutcome>> outcomes(files.size());
    std::vector<std::atomic<int>> percent(files.size());
    std::mutex lock;
    std::condition_variable finished;
    std::atomic<int> next{0};
    auto work = [&](int share) {
        setThreadCountOfThisThread(share);
        for (int k = next++; k < count; k = next++) {
            FileOutcome outcome;
            processGuarded(
                *files[static_cast<std::size_t>(k)], options,
                [&percent, k](int p) { percent[static_cast<std::size_t>(k)].store(p); }, outcome);
            const std::lock_guard<std::mutex> guard(lock);
            outcomes[static_cast<std::size_t>(k)] = std::move(outcome);
            finished.notify_all();
        }
        setThreadCountOfThisThread(0);
    };

    // One image at a time uses every thread inside the engine; several side by side share
    // them. Either way the bytes are the same: the engine's results do not depend on threads.
    std::vector<std::thread> pool;
    if (workers > 1) {
        for (int w = 0; w < workers; ++w) pool.emplace_back(work, std::max(1, threads / workers));
    }

    int failures = 0;
    for (int k = 0; k < count; ++k) {
        const PlannedOutput& file = *files[static_cast<std::size_t>(k)];
        bar.startFile(k + 1, count, displayName(file.input));
        if (workers == 1) {
            FileOutcome outcome;
            processGuarded(
                file, options, [&bar](int p) { bar.update(p); }, outcome);
            outcomes[static_cast<std::size_t>(k)] = std::move(outcome);
        } else {
            // The bar follows the oldest file still in progress.
            std::unique_lock<std::mutex> guard(lock);
            while (!outcomes[static_cast<std::size_t>(k)]) {
                finished.wait_for(guard, std::chrono::milliseconds(100));
                const int p = percent[static_cast<std::size_t>(k)].load();
                guard.unlock();
                bar.update(p);
                guard.lock();
            }
        }
        const FileOutcome& outcome = *outcomes[static_cast<std::size_t>(k)];
        if (!outcome.lines.empty()) bar.clear();
        for (const std::string& line : outcome.lines) err << line << "\n";
        if (outcome.failed) ++failures;
        if (workers > 1) outcomes[static_cast<std::size_t>(k)]->lines.clear();
    }
    for (std::thread& t : pool) t.join();
    bar.clear();
    if (skipped > 0)
        err << "qorvahdr: " << skipped << (skipped == 1 ? " output exists" : " outputs exist")
            << " already and " << (skipped == 1 ? "was" : "were") << " skipped\n";
    return failures == 0 ? 0 : 1;
}

}  // namespace qorva::cli

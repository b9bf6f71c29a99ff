// Times the engine on a 24-megapixel photo-like image and on a preview-sized one, with the
// yardsticks of the performance issue measured in the same run where OpenCV is available, and
// prints every figure next to its target. Not part of the test run: timings depend on the
// machine and on whatever else it is doing, so every figure is the median of several runs.
//
//   qorva_bench [--runs N] [--jobs N] [--blur-runs N] [--size WxH] [--only TEXT]
//
// --only keeps the figures whose names contain TEXT, or are exactly TEXT after a leading '='
// (and the yardsticks), for profiling one render; the others are reported without a time.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "colour/finishing_passes.h"
#include "common/parallel.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"
#include "pipelines/run_context.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "support/test_images.h"
#ifdef QORVA_BENCH_OPENCV
#include "opencv_yardsticks.h"
#endif

namespace qorva::bench {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Options {
    int runs = 5;
    int jobs = 2;
    int blurRuns = 3;
    int width = 6000;
    int height = 4000;
    std::string only;  // run only the figures whose names contain this (and the yardsticks)
};

// A preview area whose fitted size for a 3:2 photo is 516 x 344.
constexpr ClientRect kPreviewArea{0, 0, 520, 384};
constexpr int kPreviewWidth = 516;
constexpr int kPreviewHeight = 344;

// What a render is asked to do: the method, its Natural/Saturated mix (method 1) and whether
// clarity, de-haze and the "Orton Effect" filter are on.
struct Look {
    int method = 0;
    double mix = 1.0;
    bool passes = false;
};

std::string describe(const Look& look) {
    std::string s = "method " + std::to_string(look.method);
    if (look.method == 1)
        s += look.mix == 1.0 ? " (mix 1)" : " (mix 0.5)";
    else
        s += " (defaults)";
    if (look.passes) s += " + clarity, de-haze, Orton";
    return s;
}

// One dialog's worth of state around a render driver, fed with a host image.
struct Dialog {
    FixedPreviewHost host{kPreviewArea};
    MethodSettings method;
    ColorSettings colour;
    RenderDriver driver{host, method, colour};

    Dialog(const Bytes& input, int width, int height, const Look& look) {
        method.method = look.method;
        SelectMethod(method);
        if (look.method == 1) method.valueB = look.mix;
        colour.clarityOn = colour.dehazeOn = look.passes;
        colour.filterMode = look.passes ? 4 : 0;
        driver.setHostInput(input.data(), width, height);
    }
};

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "qorva_bench: %s failed\n", what);
        std::exit(1);
    }
}

// Peak bytes held during a Final render beyond the host's input, per pixel, with and without
// the render image (the plug-in's copy that is handed back to the host as the output).
struct MemoryFigure {
    double total;
    double working;
};

MemoryFigure finalMemory(const Bytes& input, int width, int height, const Look& look) {
    Dialog dialog(input, width, height, look);
    const std::size_t before = liveBytes();
    resetPeak();
    check(dialog.driver.Render(RenderQuality::Final), "Render");
    const double pixels = static_cast<double>(width) * height;
    const double total = static_cast<double>(peakBytes() - before) / pixels;
    return {total, total - 3.0};
}

std::string cpuDescription() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) return line.substr(colon + 2);
        }
    }
    return "unknown CPU";
}

// The luminance the method-0 pipeline computes, as floats and truncated to bytes.
void luminanceOf(const Bytes& rgb, std::vector<float>& plane, Bytes& bytes) {
    const std::size_t n = rgb.size() / 3;
    plane.resize(n);
    bytes.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* px = &rgb[i * 3];
        plane[i] = static_cast<float>(0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2]);
        bytes[i] = static_cast<std::uint8_t>(plane[i]);
    }
}

struct Report {
    std::vector<std::string> lines;
    int met = 0;
    int missed = 0;
    int unchecked = 0;

    // ratio < 0: no yardstick in this run. limit: the target as an upper (or, with atLeast,
    // lower) bound on value.
    void add(const std::string& name, double ms, const std::string& against, double ratio,
             const std::string& target, double value, double limit, bool atLeast = false) {
        char buf[256];
        std::string verdict = "";
        if (ms < 0) {
            std::snprintf(buf, sizeof buf, "  %-52s   (not run)", name.c_str());
            lines.push_back(buf);
            return;
        }
        if (!target.empty()) {
            if (value < 0) {
                verdict = "(no yardstick)";
                ++unchecked;
            } else if (atLeast ? value >= limit : value <= limit) {
                verdict = "met";
                ++met;
            } else {
                verdict = "NOT MET";
                ++missed;
            }
        }
        std::string ratioText = ratio < 0 ? "" : std::to_string(ratio).substr(0, 5) + " " + against;
        std::snprintf(buf, sizeof buf, "  %-52s %9.1f ms  %-22s %-16s %s", name.c_str(), ms,
                      ratioText.c_str(), target.c_str(), verdict.c_str());
        lines.push_back(buf);
    }
};

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--runs" && value) {
            o.runs = std::max(1, std::atoi(value)), ++i;
        } else if (arg == "--jobs" && value) {
            o.jobs = std::max(1, std::atoi(value)), ++i;
        } else if (arg == "--blur-runs" && value) {
            o.blurRuns = std::max(0, std::atoi(value)), ++i;
        } else if (arg == "--only" && value) {
            o.only = value, ++i;
        } else if (arg == "--size" && value) {
            if (std::sscanf(value, "%dx%d", &o.width, &o.height) != 2 || o.width < 8 ||
                o.height < 8) {
                std::fprintf(stderr, "qorva_bench: --size wants WxH\n");
                std::exit(2);
            }
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: qorva_bench [--runs N] [--jobs N] [--blur-runs N] "
                         "[--size WxH] [--only TEXT]\n");
            std::exit(2);
        }
    }
    return o;
}

// One timed figure: its work (and the setup before each timing, outside it), and the times of
// every round. The rounds interleave all figures, so that a figure and the yardstick it is
// compared with see the same load on a shared machine.
struct Figure {
    std::string name;
    std::function<void()> setup;
    std::function<void()> work;
    int rounds;  // rounds this figure takes part in (the long yardstick only in the first few)
    std::vector<double> samples;

    double median() const {
        if (samples.empty()) return -1;
        std::vector<double> s = samples;
        std::sort(s.begin(), s.end());
        const std::size_t n = s.size();
        return n % 2 == 1 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
};

int run(const Options& o) {
    // Line by line, so a long run shows its progress when its output goes to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int W = o.width;
    const int H = o.height;
    const double megapixels = W * static_cast<double>(H) / 1e6;
    std::printf("QorvaHDR benchmark: %d x %d photo-like image (%.1f MP), preview %d x %d\n", W, H,
                megapixels, kPreviewWidth, kPreviewHeight);
    std::printf(
        "machine: %s, %u hardware threads; engine on %d threads; median of %d "
        "interleaved rounds\n\n",
        cpuDescription().c_str(), std::thread::hardware_concurrency(), o.jobs, o.runs);

    const Bytes photo = test::makePhotoLikeImage(W, H);
    const Bytes preview = test::makePhotoLikeImage(kPreviewWidth, kPreviewHeight);
    std::vector<float> lumPlane;
    Bytes lumBytes;
    luminanceOf(photo, lumPlane, lumBytes);
    setThreadCount(o.jobs);

    std::vector<Figure> figures;
    auto add = [&](const std::string& name, std::function<void()> setup, std::function<void()> work,
                   int rounds) -> std::size_t {
        const bool yardstick = name.rfind("cv ", 0) == 0;
        const bool exact = !o.only.empty() && o.only[0] == '=';
        const bool chosen = o.only.empty() || (exact ? name == o.only.substr(1)
                                                     : name.find(o.only) != std::string::npos);
        if (!yardstick && !chosen) rounds = 0;
        figures.push_back({name, std::move(setup), std::move(work), rounds, {}});
        return figures.size() - 1;
    };
    auto none = [] {};
    auto withThreads = [](int n, std::function<void()> work) {
        return [n, work] {
            setThreadCount(n);
            work();
        };
    };

    // Yardsticks.
    std::size_t clahe = SIZE_MAX, clahe1 = SIZE_MAX, cvBlur = SIZE_MAX;
#ifdef QORVA_BENCH_OPENCV
    std::printf("yardsticks: OpenCV %s\n", openCvVersion());
    clahe = add(
        "cv CLAHE 8x8 tiles, 8-bit luminance", none,
        [&] { runOpenCvClahe(lumBytes.data(), W, H, o.jobs); }, o.runs);
    clahe1 = add(
        "cv CLAHE 8x8 tiles, 8-bit luminance, 1 thread", none,
        [&] { runOpenCvClahe(lumBytes.data(), W, H, 1); }, o.runs);
    if (o.blurRuns > 0) {
        cvBlur = add(
            "cv GaussianBlur sigma 75, RGB", none,
            [&] { runOpenCvGaussianBlur(photo.data(), W, H, 75, o.jobs); }, o.blurRuns);
    }
#else
    std::printf("yardsticks: OpenCV was not found at configure time; ratios are not shown\n");
#endif
    Bytes copy(photo.size());
    const std::size_t memcpyFigure = add(
        "memcpy of the RGB image, 1 thread", none,
        [&] { std::memcpy(copy.data(), photo.data(), photo.size()); }, o.runs);

    FloatPlane source, destination;
    source.create(W, H);
    destination.create(W, H);
    const RunContext context;
    const std::size_t elc = add(
        "equalizeLocalContrast (6 tiles, defaults)",
        [&] { std::memcpy(source.samples.get(), lumPlane.data(), lumPlane.size() * 4); },
        [&] { equalizeLocalContrast(source, destination, 6, 0.6f, 0.3f, context); }, o.runs);
    Bytes image;
    const std::size_t dehaze = add(
        "DehazePass", [&] { image = photo; }, [&] { DehazePass(image.data(), W, H); }, o.runs);

    const Look m0{0, 1.0, false};
    const Look m0Passes{0, 1.0, true};
    const Look m1{1, 1.0, false};
    const Look m1Passes{1, 1.0, true};
    const Look m1Mix{1, 0.5, false};
    const Look m1MixPasses{1, 0.5, true};
    std::vector<std::unique_ptr<Dialog>> dialogs;
    auto render = [&](const Bytes& input, int w, int h, const Look& look, RenderQuality q) {
        dialogs.push_back(std::make_unique<Dialog>(input, w, h, look));
        Dialog* d = dialogs.back().get();
        return [d, q] { check(d->driver.Render(q), "Render"); };
    };
    struct FinalCase {
        Look look;
        double limit;  // x CLAHE; 0: no target
        std::size_t figure;
    } finals[] = {{m0, 5, 0},       {m0Passes, 20, 0}, {m1, 8, 0},
                  {m1Passes, 0, 0}, {m1Mix, 25, 0},    {m1MixPasses, 0, 0}};
    for (FinalCase& f : finals) {
        f.figure =
            add("Final " + describe(f.look), none,
                withThreads(o.jobs, render(photo, W, H, f.look, RenderQuality::Final)), o.runs);
    }
    struct FastCase {
        Look look;
        bool fromPhoto;
        std::size_t figure;
    } fasts[] = {{m0, true, 0}, {m0, false, 0}, {m1, true, 0}, {m1, false, 0}};
    for (FastCase& f : fasts) {
        const std::string from = f.fromPhoto ? ", from 24 MP" : ", preview-sized input";
        f.figure = add("Fast " + describe(f.look) + from, none,
                       f.fromPhoto ? render(photo, W, H, f.look, RenderQuality::Fast)
                                   : render(preview, kPreviewWidth, kPreviewHeight, f.look,
                                            RenderQuality::Fast),
                       o.runs);
    }

    // The colour-only refresh after a Fast render: a gamma and tone-curve drag, and the same
    // with colour balance and hue shift on (the colour pass then converts every pixel to HLS).
    auto refresher = [&](bool hls) {
        dialogs.push_back(std::make_unique<Dialog>(photo, W, H, m0));
        Dialog* d = dialogs.back().get();
        check(d->driver.Render(RenderQuality::Fast), "Render");
        d->method.gammaPosition = 130;
        d->colour.curvesOn = true;
        d->colour.balanceOn = d->colour.hueShiftOn = hls;
        d->colour.toneCurve.setPoints({{0, 0.05}, {0.4, 0.5}, {1, 0.95}});
        return [d] { check(d->driver.ColorRefresh(), "ColorRefresh"); };
    };
    const std::size_t refreshCurve =
        add("ColorRefresh 516x344: gamma 1.3, tone curve", none, refresher(false), o.runs);
    const std::size_t refreshHls =
        add("ColorRefresh 516x344: + colour balance, hue shift", none, refresher(true), o.runs);

    // Thread scaling of the full render, interleaved with the figures above.
    const std::size_t m0One =
        add("Final method 0 (defaults), 1 thread", none,
            withThreads(1, render(photo, W, H, m0, RenderQuality::Final)), o.runs);
    const std::size_t m1One =
        add("Final method 1 (mix 0.5), 1 thread", none,
            withThreads(1, render(photo, W, H, m1Mix, RenderQuality::Final)), o.runs);

    for (int round = 0; round < o.runs; ++round) {
        for (Figure& f : figures) {
            if (round >= f.rounds) continue;
            setThreadCount(o.jobs);
            f.setup();
            const auto start = std::chrono::steady_clock::now();
            f.work();
            const auto stop = std::chrono::steady_clock::now();
            f.samples.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
        }
        std::printf("  round %d of %d done\n", round + 1, o.runs);
    }
    setThreadCount(o.jobs);

    auto ms = [&](std::size_t i) { return i == SIZE_MAX ? -1.0 : figures[i].median(); };
    auto ratioTo = [](double value, double yardstick) {
        return yardstick > 0 && value >= 0 ? value / yardstick : -1.0;
    };
    std::printf("\n");
    for (std::size_t i : {clahe, clahe1, cvBlur, memcpyFigure}) {
        if (i == SIZE_MAX) continue;
        std::printf("  %-52s %9.1f ms\n", figures[i].name.c_str(), ms(i));
    }
    std::printf("  (memcpy: %.1f GB/s)\n\n", photo.size() / ms(memcpyFigure) / 1e6);

    Report report;
    const double claheMs = ms(clahe);
    {
        const double r = ratioTo(ms(elc), claheMs);
        report.add(figures[elc].name, ms(elc), "x CLAHE", r, "<= 1.5 x CLAHE", r, 1.5);
        const double faster = ms(cvBlur) > 0 ? ms(cvBlur) / ms(dehaze) : -1;
        report.add("DehazePass", ms(dehaze), "x faster than cv blur", faster, ">= 20 x faster",
                   faster, 20, true);
    }
    for (const FinalCase& f : finals) {
        const double r = ratioTo(ms(f.figure), claheMs);
        char target[32] = "";
        if (f.limit > 0) std::snprintf(target, sizeof target, "<= %g x CLAHE", f.limit);
        report.add(figures[f.figure].name, ms(f.figure), "x CLAHE", r, target, r, f.limit);
    }
    for (const FastCase& f : fasts) {
        report.add(figures[f.figure].name, ms(f.figure), "", -1,
                   f.look.method == 0 ? "<= 10 ms" : "", ms(f.figure), 10);
    }
    report.add(figures[refreshCurve].name, ms(refreshCurve), "", -1, "<= 2 ms", ms(refreshCurve),
               2);
    report.add(figures[refreshHls].name, ms(refreshHls), "", -1, "<= 2 ms", ms(refreshHls), 2);
    {
        const double s0 = ms(m0One) / ms(finals[0].figure);
        report.add(figures[m0One].name + " (speed-up)", ms(m0One), "x speed-up", s0, ">= 1.7 x", s0,
                   1.7, true);
        const double s1 = ms(m1One) / ms(finals[4].figure);
        report.add(figures[m1One].name + " (speed-up)", ms(m1One), "x speed-up", s1, ">= 1.7 x", s1,
                   1.7, true);
        const double c = ms(clahe1) / claheMs;
        if (c > 0) std::printf("  (CLAHE's own speed-up from 1 to %d threads: %.2f)\n", o.jobs, c);
    }

    std::printf("figures (%d threads unless stated):\n", o.jobs);
    for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());

    dialogs.clear();
    destination.release();
    source.release();
    image = Bytes();
    if (!o.only.empty()) return 0;
    std::printf("\npeak memory of a Final render beyond the host's input, bytes per pixel:\n");
    for (const Look& look : {m0, m0Passes, m1, m1Passes, m1Mix, m1MixPasses}) {
        const MemoryFigure m = finalMemory(photo, W, H, look);
        const double limit = look.method == 0 ? 20 : 40;
        const bool ok = m.working <= limit;
        std::printf("  %-52s %6.2f total, %6.2f beyond the render image  (<= %g: %s)\n",
                    describe(look).c_str(), m.total, m.working, limit, ok ? "met" : "NOT MET");
        ok ? ++report.met : ++report.missed;
    }
    std::printf("\ntargets: %d met, %d not met, %d without yardstick\n", report.met, report.missed,
                report.unchecked);
    return 0;
}

}  // namespace
}  // namespace qorva::bench

int main(int argc, char** argv) {
    return qorva::bench::run(qorva::bench::parseOptions(argc, argv));
}

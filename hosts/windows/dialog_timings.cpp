// How quickly the shipped dialog answers on a large photograph, measured from outside like the
// tests work it: the first preview after the dialog appears, a method slider's release to the
// repainted preview, one step of a gamma drag to the repainted preview, a press in the preview
// to its sample on screen and a press on a sample to its look restored, each beside the
// engine's own fast render of the same image in the same process as the yardstick; then the
// colour-filter chooser's opening and one step of a tone-curve drag, beside the engine's colour
// refresh; then holding the original in the preview and letting go, and the first 1:1 view
// after an All render, beside the same fast render.
// Run with: qorva_wine_host_test --plugin F.8bf --scripted F.8bf --timings 6000x4000
#include "windows/dialog_timings.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/filter_host.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "settings/method_settings.h"
#include "support/test_images.h"
#include "windows/dialog_driver.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int runDialogTimings(int width, int height) {
    std::printf("dialog timings on a %d x %d photo (%.1f MP)\n", width, height,
                width * static_cast<double>(height) / 1e6);
    Document original{width, height, 3, {}};
    // A photograph of one's own as raw RGB bytes (convert photo.jpg -resize WxH! rgb:photo.rgb),
    // or the generated one.
    if (const char* raw = std::getenv("QORVA_TIMINGS_IMAGE")) {
        std::FILE* file = std::fopen(raw, "rb");
        original.pixels.resize(static_cast<std::size_t>(width) * height * 3);
        const bool read = file && std::fread(original.pixels.data(), 1, original.pixels.size(),
                                             file) == original.pixels.size();
        if (file) std::fclose(file);
        if (!read) {
            std::fprintf(stderr, "%s does not hold %d x %d RGB bytes\n", raw, width, height);
            return 1;
        }
    } else {
        original.pixels = qorva::test::makePhotoLikeImage(width, height, 3);
    }
    PluginLibrary library(windowsPath(testFiles().plugin));
    if (!library.entry()) {
        std::fprintf(stderr, "the plug-in did not load\n");
        return 1;
    }
    FilterHost host(library.entry(), original);

    double firstPreview = 0;
    std::vector<double> sliderRelease, gammaStep, chooserOpen, curveStep, sampleTaken,
        sampleRestored, originalShown, resultShown, actualSize;
    RECT previewClient{};
    DialogDriver driver([&](DialogDriver& d) {
        const Clock::time_point shown = Clock::now();
        while (msSince(shown) < 30000 && !(d.preview() && d.previewStatus().empty()))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        firstPreview = msSince(shown);
        GetClientRect(d.preview(), &previewClient);
        if (const char* path = std::getenv("QORVA_DIALOG_SCREENSHOT")) d.screenshot().saveBmp(path);

        HWND radius = d.item(1091);  // Dramatic Light Radius
        RECT r;
        GetClientRect(radius, &r);
        for (int i = 0; i < 9; ++i) {
            const int x = r.right / 4 + (i % 2) * r.right / 3;
            SendMessageA(radius, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, r.bottom / 2));
            SendMessageA(radius, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 7, r.bottom / 2));
            const Clock::time_point start = Clock::now();
            SendMessageA(radius, WM_LBUTTONUP, 0, MAKELPARAM(x + 7, r.bottom / 2));
            sliderRelease.push_back(msSince(start));
        }

        HWND gamma = d.item(1094);
        GetClientRect(gamma, &r);
        SendMessageA(gamma, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 2));
        for (int i = 1; i <= 21; ++i) {
            const Clock::time_point start = Clock::now();
            SendMessageA(gamma, WM_MOUSEMOVE, MK_LBUTTON,
                         MAKELPARAM(r.right / 2 + (i % 2 ? 3 : -3) * i / 2, r.bottom / 2));
            gammaStep.push_back(msSince(start));
        }
        SendMessageA(gamma, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 2));

        // The filter button's click returns once the twelve thumbnails are on screen.
        for (int i = 0; i < 9; ++i) {
            const Clock::time_point start = Clock::now();
            d.click(1129);
            chooserOpen.push_back(msSince(start));
            d.click(1129);
        }

        // A tone-curve drag with no glow filter repaints the preview at every step.
        d.click(1099);
        HWND curve = d.item(1100);
        GetClientRect(curve, &r);
        SendMessageA(curve, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 2));
        for (int i = 1; i <= 21; ++i) {
            const Clock::time_point start = Clock::now();
            SendMessageA(curve, WM_MOUSEMOVE, MK_LBUTTON,
                         MAKELPARAM(r.right / 2, r.bottom / 2 + (i % 2 ? 2 : -2) * (i % 5)));
            curveStep.push_back(msSince(start));
        }
        SendMessageA(curve, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 2));
        d.click(1099);

        // A press in the preview to its sample on screen (a fast preview before each, so that
        // every press takes one), then a press on a sample to its look restored and previewed.
        RECT area;
        GetClientRect(d.preview(), &area);
        const LPARAM middle = MAKELPARAM(area.right / 2, area.bottom / 2);
        for (int i = 0; i < 5; ++i) {
            d.click(1102);
            const Clock::time_point start = Clock::now();
            SendMessageA(d.preview(), WM_LBUTTONDOWN, MK_LBUTTON, middle);
            sampleTaken.push_back(msSince(start));
            SendMessageA(d.preview(), WM_LBUTTONUP, 0, middle);
        }
        const HWND sampleView = GetDlgItem(FindWindowA("#32770", "Sample #1"), kPreviewId);
        for (int i = 0; sampleView && i < 5; ++i) {
            const Clock::time_point start = Clock::now();
            SendMessageA(sampleView, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
            sampleRestored.push_back(msSince(start));
            SendMessageA(sampleView, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
        }
        // The right button held in the preview and let go: each message returns once the
        // preview is repainted.
        d.click(1102);
        for (int i = 0; i < 9; ++i) {
            Clock::time_point start = Clock::now();
            SendMessageA(d.preview(), WM_RBUTTONDOWN, MK_RBUTTON, middle);
            originalShown.push_back(msSince(start));
            start = Clock::now();
            SendMessageA(d.preview(), WM_RBUTTONUP, 0, middle);
            resultShown.push_back(msSince(start));
        }
        // A wheel step over the preview right after All, to the 1:1 view on screen.
        POINT centre{area.right / 2, area.bottom / 2};
        ClientToScreen(d.preview(), &centre);
        const LPARAM wheelAt = MAKELPARAM(centre.x, centre.y);
        for (int i = 0; i < 5; ++i) {
            d.click(1108);
            const Clock::time_point start = Clock::now();
            SendMessageA(d.preview(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), wheelAt);
            actualSize.push_back(msSince(start));
            SendMessageA(d.preview(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), wheelAt);
        }
        d.click(IDCANCEL);
    });
    host.runFilter();
    for (const std::string& failure : driver.finish())
        std::fprintf(stderr, "%s\n", failure.c_str());

    // The yardstick: the engine's fast render for the same preview size, in this process.
    qorva::MethodSettings method;
    qorva::ColorSettings colour;
    qorva::FixedPreviewHost preview(
        {previewClient.left, previewClient.top, previewClient.right, previewClient.bottom});
    qorva::RenderDriver engine(preview, method, colour);
    engine.setHostInput(original.pixels.data(), width, height);
    std::vector<double> fast, refresh, curveRefresh;
    for (int i = 0; i < 9; ++i) {
        Clock::time_point start = Clock::now();
        engine.Render(qorva::RenderQuality::Fast);
        fast.push_back(msSince(start));
        start = Clock::now();
        engine.ColorRefresh();
        refresh.push_back(msSince(start));
    }
    colour.curvesOn = true;
    colour.toneCurve.setPoints({{0, 0}, {0.5, 0.7}, {1, 1}});
    for (int i = 0; i < 9; ++i) {
        const Clock::time_point start = Clock::now();
        engine.ColorRefresh();
        curveRefresh.push_back(msSince(start));
    }
    const qorva::ImageSize shown = engine.fit(1);

    const double fastMs = median(fast);
    std::printf("engine Fast render (yardstick)        %8.1f ms\n", fastMs);
    std::printf("engine colour refresh                 %8.2f ms\n", median(refresh));
    std::printf("dialog shown -> first preview         %8.1f ms (start-up timer 100 ms)\n",
                firstPreview);
    std::printf("method slider release -> repainted    %8.1f ms (%.2f x Fast)\n",
                median(sliderRelease), fastMs > 0 ? median(sliderRelease) / fastMs : 0);
    std::printf("gamma drag step -> repainted          %8.2f ms\n", median(gammaStep));
    std::printf("preview image                         %4d x %d\n", shown.width, shown.height);
    std::printf("engine colour refresh, tone curve on  %8.2f ms\n", median(curveRefresh));
    std::printf("filter chooser click -> shown         %8.2f ms (twelve thumbnails)\n",
                median(chooserOpen));
    std::printf("tone curve drag step -> repainted     %8.2f ms\n", median(curveStep));
    std::printf("preview press -> sample shown         %8.1f ms\n", median(sampleTaken));
    std::printf("sample press -> restored Fast preview %8.1f ms (%.2f x Fast)\n",
                median(sampleRestored), fastMs > 0 ? median(sampleRestored) / fastMs : 0);
    // The first press makes the shrunk original for this preview size; later ones reuse it.
    std::printf("first right press -> original shown   %8.2f ms (%.2f x Fast)\n",
                originalShown.empty() ? 0 : originalShown.front(),
                fastMs > 0 && !originalShown.empty() ? originalShown.front() / fastMs : 0);
    std::printf("right press -> original shown         %8.2f ms (%.2f x Fast)\n",
                median(originalShown), fastMs > 0 ? median(originalShown) / fastMs : 0);
    std::printf("right release -> result shown         %8.2f ms (%.2f x Fast)\n",
                median(resultShown), fastMs > 0 ? median(resultShown) / fastMs : 0);
    std::printf("wheel after All -> 1:1 view shown     %8.2f ms (%.2f x Fast)\n",
                median(actualSize), fastMs > 0 ? median(actualSize) / fastMs : 0);
    return 0;
}

}  // namespace host

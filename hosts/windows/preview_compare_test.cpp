// Comparing with the original and judging detail at 1:1 in the shipped dialog, worked with the
// real mouse and keyboard: what the preview shows is read off the screen and compared with the
// host's input and with the engine's final render of the same settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/expected_render.h"
#include "common/filter_host.h"
#include "plugin/resample.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "ui/model/preview_zoom.h"
#include "windows/dialog_driver.h"
#include "windows/dialog_run.h"

namespace host {
namespace {

constexpr int kAll = 1108;

// Larger than the preview area, so that the 1:1 view shows a part.
constexpr int kWidth = 1200, kHeight = 800;

// Where the preview puts the fitted picture and how large the 1:1 view's part is, by the
// dialog's own rules for a preview of this client size.
struct PreviewGeometry {
    qorva::ImageSize fitted, area;
};

PreviewGeometry geometryOf(const RECT& client, const Document& document) {
    qorva::FixedPreviewHost preview(client.right, client.bottom);
    qorva::MethodSettings method;
    qorva::ColorSettings colour;
    qorva::RenderDriver driver(preview, method, colour);
    driver.setHostInput(document.pixels.data(), document.width, document.height);
    return {driver.fit(1), driver.previewArea()};
}

RECT clientOf(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    return r;
}

// The picture of a size centred in the preview, as packed RGB, read off a screenshot.
std::vector<std::uint8_t> pictureOnScreen(const Screenshot& shot, const RECT& preview, int w,
                                          int h) {
    const int left = preview.left + (preview.right - preview.left - w) / 2;
    const int top = preview.top + (preview.bottom - preview.top - h) / 2;
    std::vector<std::uint8_t> packed;
    packed.reserve(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t rgb = shot.rgb(left + x, top + y);
            packed.push_back(static_cast<std::uint8_t>(rgb >> 16));
            packed.push_back(static_cast<std::uint8_t>(rgb >> 8));
            packed.push_back(static_cast<std::uint8_t>(rgb));
        }
    }
    return packed;
}

std::vector<std::uint8_t> regionOf(const std::vector<std::uint8_t>& packed, int width, int height,
                                   const qorva::ImageRegion& region) {
    qorva::WorkingImage part;
    if (!qorva::copyRegion(packed.data(), width, height, region, part)) return {};
    return {part.pixels(), part.pixels() + part.byteSize()};
}

bool sampleOpened(DialogDriver& d) {
    return d.waitFor([] { return FindWindowA("#32770", "Sample #1") != nullptr; }, 5000,
                     "the sample window");
}

TEST(PreviewCompare, TheRightButtonHoldsTheOriginalInPlaceOfTheResult) {
    const Document original = photo(kWidth, kHeight);
    std::vector<std::uint8_t> result, held, released;
    PreviewGeometry geometry{};
    bool sampled = false;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        const RECT client = clientOf(d.preview());
        const RECT preview = d.clientRectOf(kPreviewId);
        geometry = geometryOf(client, original);
        const int w = geometry.fitted.width, h = geometry.fitted.height;
        result = pictureOnScreen(d.screenshot(), preview, w, h);
        d.realRightButton(kPreviewId, client.right / 2, client.bottom / 2, true);
        held = pictureOnScreen(d.screenshot(), preview, w, h);
        d.realRightButton(kPreviewId, client.right / 2, client.bottom / 2, false);
        released = pictureOnScreen(d.screenshot(), preview, w, h);
        d.realClick(kPreviewId, client.right / 2, client.bottom / 2);  // still takes a sample
        sampled = sampleOpened(d);
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    // The fast preview's shrinking, straight from the host's input.
    std::vector<std::uint8_t> shrunk(static_cast<std::size_t>(geometry.fitted.width) *
                                     geometry.fitted.height * 3);
    qorva::resamplePixels(original.pixels.data(), kWidth, kHeight, shrunk.data(),
                          geometry.fitted.width, geometry.fitted.height, 3,
                          qorva::kResizeBlockOrBilinear);
    EXPECT_TRUE(held == shrunk);
    EXPECT_TRUE(released == result);
    EXPECT_FALSE(result == shrunk);
    EXPECT_TRUE(sampled);
    EXPECT_TRUE(run.output == engineFinal(original.pixels, kWidth, kHeight, defaultSettings()));
}

TEST(PreviewCompare, AWheelStepAfterAllShowsTheFinalResultAtOneToOne) {
    const Document original = photo(kWidth, kHeight);
    const std::vector<std::uint8_t> final =
        engineFinal(original.pixels, kWidth, kHeight, defaultSettings());
    PreviewGeometry geometry{};
    qorva::ImageRegion region, panned;
    std::vector<std::uint8_t> fitted, actual, actualOriginal, actualPanned, backToFitted;
    bool sampled = false;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        const RECT client = clientOf(d.preview());
        const RECT preview = d.clientRectOf(kPreviewId);
        geometry = geometryOf(client, original);
        const qorva::ImageSize full{kWidth, kHeight};
        d.click(kAll);
        fitted =
            pictureOnScreen(d.screenshot(), preview, geometry.fitted.width, geometry.fitted.height);

        const int px = client.right / 3, py = client.bottom / 3;
        d.realWheel(kPreviewId, px, py, 1);
        const qorva::ImagePoint at = qorva::fullImagePoint({0, 0, client.right, client.bottom},
                                                           geometry.fitted, full, px, py);
        region = qorva::actualSizeRegion(full, geometry.area, at.x, at.y);
        actual = pictureOnScreen(d.screenshot(), preview, region.width, region.height);

        d.realRightButton(kPreviewId, px, py, true);
        actualOriginal = pictureOnScreen(d.screenshot(), preview, region.width, region.height);
        d.realRightButton(kPreviewId, px, py, false);

        d.realKey(VK_RIGHT, true);  // the preview has the keyboard in the 1:1 view
        d.realKey(VK_RIGHT, false);
        panned = qorva::pannedRegion(region, full, region.width / 8, 0);
        actualPanned = pictureOnScreen(d.screenshot(), preview, region.width, region.height);

        d.realKey('Z', true);  // back to the fitted picture
        d.realKey('Z', false);
        backToFitted =
            pictureOnScreen(d.screenshot(), preview, geometry.fitted.width, geometry.fitted.height);
        d.realWheel(kPreviewId, px, py, 1);
        d.realClick(kPreviewId, px, py);  // a sample from the 1:1 view too
        sampled = sampleOpened(d);
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_GT(region.width, 0);
    EXPECT_LT(region.width, kWidth);
    EXPECT_TRUE(actual == regionOf(final, kWidth, kHeight, region));
    EXPECT_TRUE(actualOriginal == regionOf(original.pixels, kWidth, kHeight, region));
    EXPECT_NE(panned.x, region.x);
    EXPECT_TRUE(actualPanned == regionOf(final, kWidth, kHeight, panned));
    EXPECT_TRUE(backToFitted == fitted);
    EXPECT_TRUE(sampled);
    EXPECT_TRUE(run.output == final);
}

}  // namespace
}  // namespace host

// The shipped dialog's curve panels and colour-filter chooser, worked by window messages as a
// user works them, with the confirmed result compared to what the engine (and so the
// command-line tool) makes of the same curves and filter.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "colour/curve_model.h"
#include "common/expected_render.h"
#include "common/filter_host.h"
#include "support/test_images.h"
#include "windows/dialog_driver.h"
#include "windows/dialog_run.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {
namespace {

constexpr int kToneCurve = 1100, kBalanceCurve = 1101;
constexpr int kCurvesOn = 1099, kBalanceOn = 1098;
constexpr int kFilterButton = 1129, kAll = 1108;
constexpr int kChooser = 123457;
constexpr std::uint32_t kSelectionEdge = 0x5698E9;  // the chooser frames the selected item so

RECT clientOf(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    return r;
}

// A press, moves through the rest of the path and (unless held) the release, in client pixels;
// the same gesture replayed on a model gives the points the panel should hold.
struct Gesture {
    std::vector<POINT> path;
    bool release = true;
};

void perform(HWND curve, const Gesture& g) {
    SendMessageA(curve, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(g.path[0].x, g.path[0].y));
    for (std::size_t i = 1; i < g.path.size(); ++i)
        SendMessageA(curve, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(g.path[i].x, g.path[i].y));
    if (g.release) {
        const POINT end = g.path.back();
        SendMessageA(curve, WM_LBUTTONUP, 0, MAKELPARAM(end.x, end.y));
    }
}

std::vector<qorva::CurvePoint> replay(bool hueDomain, HWND curve, const Gesture& g) {
    qorva::CurveModel model(hueDomain);
    const RECT r = clientOf(curve);
    model.setClientSize(r.right, r.bottom);
    model.leftButtonDown(g.path[0].x, g.path[0].y);
    for (std::size_t i = 1; i < g.path.size(); ++i) model.mouseMove(g.path[i].x, g.path[i].y);
    model.leftButtonUp();
    return model.points();
}

// The pixels of a rectangle of the dialog's client area.
std::vector<std::uint32_t> pixelsIn(const Screenshot& shot, const RECT& r) {
    std::vector<std::uint32_t> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) out.push_back(shot.rgb(x, y));
    return out;
}

// Inside the selection frame the chooser draws around the selected thumbnail.
RECT selectedThumbnail(const Screenshot& shot, const RECT& chooser) {
    RECT box{chooser.right, chooser.bottom, chooser.left, chooser.top};
    for (int y = chooser.top; y < chooser.bottom; ++y)
        for (int x = chooser.left; x < chooser.right; ++x)
            if (shot.rgb(x, y) == kSelectionEdge) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    if (box.right <= box.left) return RECT{};
    InflateRect(&box, -3, -3);  // past the frame's width at any scale
    return box;
}

// Opens the chooser and chooses a mode with the keyboard, from whatever was selected.
void chooseByKeys(DialogDriver& d, int mode) {
    d.click(kFilterButton);
    for (int i = 0; i < 11; ++i) d.key(kChooser, VK_LEFT);
    for (int i = 0; i < mode; ++i) d.key(kChooser, VK_RIGHT);
    d.key(kChooser, VK_RETURN);
}

TEST(DialogColour, ToneCurveDragFollowsLiveOnlyWithoutAGlowFilter) {
    const Document original = photo(64, 48);
    for (int filter : {0, 4}) {
        SCOPED_TRACE(filter);
        bool changedDuringDrag = false, changedAtRelease = false;
        std::string caption;
        DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
            if (!d.waitForFirstPreview()) return;
            d.click(kCurvesOn);
            if (filter != 0) chooseByKeys(d, filter);
            caption = d.text(kFilterButton);
            const RECT preview = d.clientRectOf(kPreviewId);
            HWND curve = d.item(kToneCurve);
            const RECT r = clientOf(curve);
            const auto before = pixelsIn(d.screenshot(), preview);
            perform(curve, {{{r.right / 2, r.bottom / 2}, {r.right / 2, r.bottom / 6}}, false});
            const auto during = pixelsIn(d.screenshot(), preview);
            SendMessageA(curve, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 6));
            const auto after = pixelsIn(d.screenshot(), preview);
            changedDuringDrag = during != before;
            changedAtRelease = after != during;
            d.click(IDCANCEL);
        });
        EXPECT_NO_FAILURES(run);
        EXPECT_EQ(caption, filter == 0 ? "Filter: Color" : "Filter: Orton Effect");
        EXPECT_EQ(changedDuringDrag, filter == 0);
        EXPECT_EQ(changedAtRelease, filter != 0);
    }
}

TEST(DialogColour, RightClickDeletesAnInnerPoint) {
    const Document original = photo(48, 36);
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.click(kCurvesOn);
        HWND curve = d.item(kToneCurve);
        const RECT r = clientOf(curve);
        perform(curve, {{{r.right / 2, r.bottom / 2}, {r.right / 2, r.bottom / 5}}});
        SendMessageA(curve, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(r.right / 2, r.bottom / 5));
        SendMessageA(curve, WM_RBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 5));
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_EQ(run.result, 0);
    QorvaScriptedSettings settings = defaultSettings();
    settings.curvesOn = 1;  // with the tone curve back at rest
    EXPECT_EQ(run.output, engineFinal(original.pixels, 48, 36, settings));
}

TEST(DialogColour, BalancePanelShowsTheHuesAndIsGreyerWhenOff) {
    const Document original = photo(32, 24);
    int redOff = 0, redOn = 0, cyanOn = 0;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        const RECT panel = d.clientRectOf(kBalanceCurve);
        const int y = panel.top + 4;
        const auto redness = [&](const Screenshot& shot, int x) {
            const std::uint32_t c = shot.rgb(x, y);
            return static_cast<int>(c >> 16 & 0xFF) - static_cast<int>(c >> 8 & 0xFF);
        };
        redOff = redness(d.screenshot(), panel.left + 3);
        d.click(kBalanceOn);
        const Screenshot on = d.screenshot();
        redOn = redness(on, panel.left + 3);
        cyanOn = -redness(on, (panel.left + panel.right) / 2);
        d.click(IDCANCEL);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_GT(redOn, 60) << "hue 0 at the left edge";
    EXPECT_GT(cyanOn, 60) << "hue 180 in the middle";
    EXPECT_GT(redOff, 5) << "still a hint of red when off";
    EXPECT_LT(redOff, redOn / 2) << "desaturated when off";
}

TEST(DialogColour, ChooserCoversThePreviewAndChoosesByKeysAndMouse) {
    const Document original = photo(64, 48);
    RECT previewRect{}, chooserRect{};
    bool previewHidden = false, chooserFocused = false, bwGrey = false, chooserGone = false;
    bool previewBack = false;
    std::string opened, afterRight, caption;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        SetForegroundWindow(d.dialog());
        previewRect = d.clientRectOf(kPreviewId);
        d.click(kFilterButton);
        if (!d.item(kChooser)) return d.fail("no chooser");
        chooserRect = d.clientRectOf(kChooser);
        previewHidden = !d.visible(kPreviewId);
        chooserFocused = d.waitFor(
            [&] {
                GUITHREADINFO info{};
                info.cbSize = sizeof(info);
                GetGUIThreadInfo(GetWindowThreadProcessId(d.dialog(), nullptr), &info);
                return info.hwndFocus == d.item(kChooser);
            },
            2000, "the focus in the chooser");
        opened = d.text(kChooser);
        d.key(kChooser, VK_RIGHT);
        afterRight = d.text(kChooser);
        const Screenshot shot = d.screenshot();
        if (const char* path = std::getenv("QORVA_DIALOG_SCREENSHOT"))
            shot.saveBmp(std::string(path) + ".chooser.bmp");
        const RECT bw = selectedThumbnail(shot, chooserRect);
        std::set<std::uint32_t> colours;
        bwGrey = bw.right > bw.left;
        for (std::uint32_t c : pixelsIn(shot, bw)) {
            colours.insert(c);
            bwGrey = bwGrey && (c >> 16 & 0xFF) == (c >> 8 & 0xFF) && (c >> 8 & 0xFF) == (c & 0xFF);
        }
        bwGrey = bwGrey && colours.size() > 8;

        // Sepia is selected with the keys and clicked with the real mouse.
        for (int i = 1; i < 8; ++i) d.key(kChooser, VK_RIGHT);
        const RECT sepia = selectedThumbnail(d.screenshot(), chooserRect);
        HWND chooser = d.item(kChooser);
        POINT at{(sepia.left + sepia.right) / 2, (sepia.top + sepia.bottom) / 2};
        MapWindowPoints(d.dialog(), chooser, &at, 1);
        d.realClick(kChooser, at.x, at.y);
        d.waitFor([&] { return d.text(kFilterButton) == "Filter: Sepia"; }, 5000, "the caption");
        caption = d.text(kFilterButton);
        chooserGone = d.item(kChooser) == nullptr;
        previewBack = d.visible(kPreviewId);
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_TRUE(EqualRect(&previewRect, &chooserRect));
    EXPECT_TRUE(previewHidden);
    EXPECT_TRUE(chooserFocused);
    EXPECT_EQ(opened, "Color");
    EXPECT_EQ(afterRight, "B/W");
    EXPECT_TRUE(bwGrey) << "the B/W thumbnail holds only greys";
    EXPECT_EQ(caption, "Filter: Sepia");
    EXPECT_TRUE(chooserGone);
    EXPECT_TRUE(previewBack);
    ASSERT_EQ(run.result, 0);
    QorvaScriptedSettings settings = defaultSettings();
    settings.filterMode = 8;
    EXPECT_EQ(run.output, engineFinal(original.pixels, 64, 48, settings));
}

// After All the cached preview holds gamma and colours; the thumbnails must not show them twice.
TEST(DialogColour, ChooserAfterAnAllRenderMakesItsThumbnailsFromAFastPreview) {
    const Document original = photo(64, 48);
    std::vector<std::uint32_t> fresh, afterAll;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.focus(1095);
        d.setEditText(1095, "2.00");
        d.focus(1103);  // leaving the gamma edit applies it
        const auto colourThumbnail = [&] {
            d.click(kFilterButton);
            const RECT chooser = d.clientRectOf(kChooser);
            const Screenshot shot = d.screenshot();
            const auto pixels = pixelsIn(shot, selectedThumbnail(shot, chooser));
            d.click(kFilterButton);
            return pixels;
        };
        fresh = colourThumbnail();
        d.click(kAll);
        afterAll = colourThumbnail();
        d.click(IDCANCEL);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_GT(fresh.size(), 100u);
    EXPECT_EQ(afterAll, fresh);
}

TEST(DialogColour, OkWritesTheEnginesBytesForTheEditedCurvesAndFilter) {
    const Document original = photo(56, 40);
    CurvePoints points;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.click(kCurvesOn);
        d.click(kBalanceOn);
        HWND tone = d.item(kToneCurve), balance = d.item(kBalanceCurve);
        const RECT t = clientOf(tone), b = clientOf(balance);
        // A point raised in the tone curve's shadows; the balance curve's tied ends lowered.
        const Gesture raise{{{t.right / 3, t.bottom / 2}, {t.right / 4, t.bottom / 3}}};
        const Gesture lower{{{1, b.bottom / 2}, {1, b.bottom * 3 / 4}}};
        perform(tone, raise);
        perform(balance, lower);
        points.tone = replay(false, tone, raise);
        points.balance = replay(true, balance, lower);
        chooseByKeys(d, 10);  // Orton Sepia S
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(points.tone.size(), 3u);
    QorvaScriptedSettings settings = defaultSettings();
    settings.curvesOn = 1;
    settings.balanceOn = 1;
    settings.filterMode = 10;
    EXPECT_EQ(run.output, engineFinal(original.pixels, 56, 40, settings, points));
    EXPECT_NE(run.output, engineFinal(original.pixels, 56, 40, settings)) << "the curves count";
}

}  // namespace
}  // namespace host

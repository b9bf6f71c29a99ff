// The main dialog without its window: the controller against a recording view, the slider's
// arithmetic, the frame's geometry and the control table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "colour/color_filters.h"
#include "persistence/memory_store.h"
#include "plugin/platform_services.h"
#include "plugin/resample.h"
#include "plugin/working_image.h"
#include "support/ini_entries.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"
#include "support/test_images.h"
#include "ui/model/dialog_controls.h"
#include "ui/model/dialog_frame.h"
#include "ui/model/filter_chooser_model.h"
#include "ui/model/hdr_dialog_controller.h"
#include "ui/model/preview_zoom.h"
#include "ui/model/samples_model.h"
#include "ui/model/slider_model.h"

namespace qorva {
namespace {

using N = SliderNotify;
using test::FakePlatform;
using test::RecordingView;

// A dialog on a small generated photograph; open() runs the initialisation and the first
// preview.
struct Dialog {
    RecordingView view;
    FakePlatform platform;
    int width = 64, height = 48;
    std::vector<std::uint8_t> image = test::makePhotoLikeImage(64, 48);
    HdrDialogController dialog{view, &platform};

    Dialog() = default;
    // A larger photograph than the preview area, for the 1:1 view.
    Dialog(int w, int h, ClientRect client)
        : width(w), height(h), image(test::makePhotoLikeImage(w, h)) {
        view.client = client;
    }
    void open() {
        dialog.setHostInput(image.data(), width, height);
        dialog.initialise();
        dialog.timerFired(kStartupTimer);
    }
    void checkBox(int id, bool on) {
        view.checked[id] = on;
        dialog.buttonClicked(id);
    }
    void chooseRadio(int id) {
        for (int r : kMethodRadios) view.checked[r] = r == id;
        dialog.buttonClicked(id);
    }
    // The user drags a slider: the thumb and its edit move, then the slider notifies.
    void scroll(int slider, int position, N code) {
        view.setSliderPosition(slider, position);
        dialog.scrolled(slider, static_cast<int>(code), position);
    }
    void type(int edit, const std::string& text) { view.text[edit] = text; }
};

TEST(DialogController, InitialisesInItsFixedOrderAndPreviewsOnTheTimer) {
    Dialog d;
    d.platform.profile["Settings/Clarity"] = 1;
    d.dialog.setHostInput(d.image.data(), 64, 48);
    d.dialog.initialise();
    // One line per initialisation step.
    // clang-format off
    const std::vector<std::string> steps = {
        "base(0,0)", "check(1021,1)",  // the fields in the controls
        "preview(0,0)", "curve(1101,1)", "curve(1100,0)", "curve(1111,1)",
        "range(1094,40)", "pair(1094,100)", "relative(1094,1)", "position(1094,100)",
        "attach(1099,1100)", "attach(1098,1101)", "attach(1110,1111)",
        "enable(1015,0)", "enable(1045,0)", "text(1009,Eye-Catching)", "text(1014,Ultra-Contrast)",
        "wait(1,0)", "status(Preparing Data, Please Wait...)",
        "text(1085,Brightness)", "range(1087,60)", "show(1119,1)",
        "enable(1101,0)", "repaintCurve(1101,0)", "enable(1100,0)", "enable(1111,0)",
        "startTimer(0,100)", "memoryBar(0,0)", "wait(0,0)"};
    // clang-format on
    auto at = d.view.log.begin();
    for (const std::string& step : steps) {
        at = std::find(at, d.view.log.end(), step);
        ASSERT_NE(at, d.view.log.end()) << "missing or out of order: " << step;
    }
    EXPECT_TRUE(d.view.checked[ctl::kClarity]);
    EXPECT_FALSE(d.view.checked[ctl::kDehaze]);
    EXPECT_EQ(d.view.previews, 0);

    d.view.log.clear();
    d.dialog.timerFired(kStartupTimer);
    EXPECT_EQ(d.view.log.front(), "stopTimer(0,0)");
    EXPECT_EQ(d.view.log.back(), "status()");
    const int first = d.view.previews;
    EXPECT_GT(first, 0);

    // De-haze is stored at once and previewed.
    d.checkBox(ctl::kDehaze, true);
    EXPECT_EQ(d.platform.profile["Settings/Haze"], 1);
    EXPECT_GT(d.view.previews, first);
}

TEST(DialogController, MethodSliderRendersOnlyWithAutoPreviewAtTheEndOfAScroll) {
    struct Case {
        bool autoPreview;
        N code;
        bool renders;
    };
    const Case cases[] = {{false, N::EndScroll, false},
                          {true, N::EndScroll, true},
                          {true, N::ThumbTrack, false},
                          {true, N::LineDown, true},
                          {true, N::PageUp, true}};
    for (const Case& c : cases) {
        Dialog d;
        d.open();
        d.checkBox(ctl::kAutoPreview, c.autoPreview);
        const int before = d.view.previews;
        d.scroll(ctl::kSliderA, 150, c.code);
        EXPECT_EQ(d.dialog.method().valueA, 15.0) << static_cast<int>(c.code);
        EXPECT_EQ(d.view.previews > before, c.renders) << static_cast<int>(c.code);
    }
}

TEST(DialogController, GammaDragRefreshesLiveOnlyWhenCheap) {
    struct Case {
        bool curvesOn;
        int filterMode;
        bool stale;
        N code;
        bool refreshes;
    };
    const Case cases[] = {
        {false, 0, false, N::ThumbTrack, true},  {true, 0, false, N::ThumbTrack, false},
        {false, 4, false, N::ThumbTrack, false}, {false, 3, false, N::ThumbTrack, true},
        {false, 0, true, N::ThumbTrack, false},  {true, 4, false, N::EndScroll, true},
        {false, 0, true, N::EndScroll, true}};
    for (const Case& c : cases) {
        Dialog d;
        d.open();
        d.checkBox(ctl::kCurvesOn, c.curvesOn);
        d.dialog.colour().filterMode = c.filterMode;
        if (c.stale) d.dialog.buttonClicked(ctl::kAll);
        const int before = d.view.previews;
        d.scroll(ctl::kGammaSlider, 160, c.code);
        EXPECT_EQ(d.dialog.method().gammaPosition, 160);
        EXPECT_EQ(d.view.previews > before, c.refreshes)
            << c.curvesOn << " " << c.filterMode << " " << c.stale << " "
            << static_cast<int>(c.code);
    }
}

TEST(DialogController, MethodChangeRelabelsTheRowsAndRestoresTheValuesOnReturn) {
    Dialog d;
    d.open();
    d.type(ctl::kEditA, "12.5");
    d.dialog.editFocusLost(ctl::kEditA);
    EXPECT_EQ(d.view.position[ctl::kSliderA], 125);

    d.chooseRadio(ctl::kMethod1);
    EXPECT_EQ(d.view.text[ctl::kLabelB], "Natural/Saturated");
    for (int id : {ctl::kLabelA, ctl::kEditA, ctl::kSliderA}) EXPECT_FALSE(d.view.enabled[id]);
    EXPECT_EQ(d.view.text[ctl::kEditA], "25.0");
    EXPECT_EQ(d.view.range[ctl::kSliderA], std::make_pair(100, 500));

    d.chooseRadio(ctl::kMethod0);
    EXPECT_EQ(d.view.text[ctl::kLabelB], "Color Saturation");
    EXPECT_TRUE(d.view.enabled[ctl::kSliderA]);
    EXPECT_EQ(d.view.text[ctl::kEditA], "12.5");
    EXPECT_EQ(d.view.position[ctl::kSliderA], 125);
    EXPECT_EQ(d.dialog.method().valueA, 12.5);

    // Clicking the radio that is already checked keeps what the user set.
    d.scroll(ctl::kSliderC, 90, N::EndScroll);
    d.chooseRadio(ctl::kMethod0);
    EXPECT_EQ(d.dialog.method().valueC, 9.0);
    EXPECT_EQ(d.view.text[ctl::kEditC], "9.0");
}

TEST(DialogController, AnEditWithoutANumberIsReportedAndKeepsTheDialogOpen) {
    Dialog d;
    d.open();
    d.type(ctl::kEditB, " abc");
    d.dialog.editFocusLost(ctl::kEditB);  // told once, by the command that reads the values
    EXPECT_TRUE(d.view.messages.empty());

    d.dialog.buttonClicked(ctl::kOk);
    EXPECT_EQ(d.view.ended, -1);
    EXPECT_EQ(d.view.messages, std::vector<std::string>{kEnterNumberMessage});
    EXPECT_EQ(d.view.focused, ctl::kEditB);

    d.type(ctl::kEditB, "7");  // typed numbers are held to the slider's range
    d.dialog.buttonClicked(ctl::kFast);
    EXPECT_EQ(d.dialog.method().valueB, 1.0);
    EXPECT_EQ(d.view.text[ctl::kEditB], "1.00");

    int delivered = 0;
    d.dialog.deliverResult = [&](const WorkingImage& image) {
        EXPECT_EQ(image.width(), 64);
        EXPECT_EQ(image.height(), 48);
        ++delivered;
    };
    d.type(ctl::kEditB, " 0.5 ");
    d.dialog.enterPressed(ctl::kEditB);  // applies the number; the next Enter confirms
    EXPECT_EQ(d.view.position[ctl::kSliderB], 50);
    EXPECT_EQ(d.view.ended, -1);
    d.dialog.enterPressed(ctl::kEditB);
    EXPECT_EQ(d.view.ended, 1);
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(d.dialog.method().valueB, 0.5);
    EXPECT_FALSE(d.dialog.finalRenderFailed());
}

TEST(DialogController, AFinalResultThatCannotBeDeliveredEndsTheDialogAsFailed) {
    Dialog d;
    d.open();
    d.dialog.deliverResult = [](const WorkingImage&) { throw std::bad_alloc(); };
    d.dialog.buttonClicked(ctl::kOk);
    EXPECT_EQ(d.view.ended, 0);
    EXPECT_TRUE(d.dialog.finalRenderFailed());
    d.view.ended = -1;
    d.dialog.buttonClicked(ctl::kOk);  // closed: nothing more is handled
    EXPECT_EQ(d.view.ended, -1);
}

TEST(DialogController, GammaResetOnAStalePreviewRendersWithGammaOne) {
    Dialog d;
    d.open();
    d.scroll(ctl::kGammaSlider, 160, N::EndScroll);
    d.dialog.buttonClicked(ctl::kAll);
    ASSERT_TRUE(d.dialog.driver().previewStale());
    d.dialog.buttonClicked(ctl::kGammaReset);
    EXPECT_FALSE(d.dialog.driver().previewStale());
    EXPECT_EQ(d.dialog.method().gammaPosition, 100);
    EXPECT_EQ(d.dialog.method().gamma, 1.0);
    EXPECT_EQ(d.view.text[ctl::kGammaEdit], "1.00");
}

TEST(DialogController, MessagesDuringAMessageBoxStartNothing) {
    Dialog d;
    d.open();
    d.view.duringMessage = [&] {
        d.dialog.buttonClicked(ctl::kOk);
        d.dialog.cancelRequested();
        d.dialog.editFocusLost(ctl::kEditB);
        d.dialog.timerFired(kStartupTimer);
    };
    d.view.log.clear();
    d.type(ctl::kEditB, "abc");
    d.dialog.enterPressed(ctl::kEditB);
    EXPECT_EQ(d.view.messages.size(), 1u);
    EXPECT_EQ(d.view.ended, -1);
    // The start-up timer that arrived meanwhile is not lost.
    EXPECT_EQ(std::count(d.view.log.begin(), d.view.log.end(), "startTimer(0,100)"), 1);
}

TEST(DialogController, CurvePanelsFollowTheirSwitchesResetsAndNotifications) {
    Dialog d;
    d.open();
    ASSERT_EQ(d.view.curves[ctl::kCurveFrame], &d.dialog.colour().toneCurve);
    EXPECT_FALSE(d.dialog.colour().toneCurve.active());
    EXPECT_EQ(d.dialog.colour().balanceCurve.table()[0], 128);  // flat at the middle

    d.view.log.clear();
    d.checkBox(ctl::kCurvesOn, true);
    EXPECT_TRUE(d.dialog.colour().toneCurve.active());
    EXPECT_TRUE(d.view.enabled[ctl::kCurveFrame]);
    EXPECT_NE(std::find(d.view.log.begin(), d.view.log.end(), "repaintCurve(1100,0)"),
              d.view.log.end());

    // An edited curve refreshes at the end of the change; the reset brings the identity back.
    CurveModel& tone = d.dialog.colour().toneCurve;
    tone.setPoints({{0, 0}, {0.5, 0.8}, {1, 1}});
    int before = d.view.previews;
    d.dialog.scrolled(ctl::kCurveFrame, kScrollEnd, 0);
    EXPECT_GT(d.view.previews, before);
    before = d.view.previews;
    d.dialog.buttonClicked(ctl::kCurveReset);
    EXPECT_EQ(tone.points().size(), 2u);
    EXPECT_EQ(tone.table()[100], 100);
    EXPECT_GT(d.view.previews, before);
}

TEST(DialogController, FilterButtonTogglesTheChooserInPlaceOfThePreview) {
    Dialog d;
    d.open();
    const int previews = d.view.previews;
    d.dialog.buttonClicked(ctl::kFilterButton);
    ASSERT_NE(d.view.chooser, nullptr);
    EXPECT_FALSE(d.view.previewShown);
    EXPECT_EQ(d.view.chooser->items().size(), 12u);
    EXPECT_EQ(d.view.previews, previews) << "a fresh preview needs no render";
    d.dialog.buttonClicked(ctl::kFilterButton);
    EXPECT_EQ(d.view.chooser, nullptr);
    EXPECT_TRUE(d.view.previewShown);

    // Any render closes it first.
    d.dialog.buttonClicked(ctl::kFilterButton);
    d.dialog.buttonClicked(ctl::kFast);
    EXPECT_EQ(d.view.chooser, nullptr);
    EXPECT_TRUE(d.view.previewShown);
}

TEST(DialogController, ChooserMakesAColourNeutralPreviewFirstWhenNeeded) {
    struct Case {
        const char* name;
        bool hostInput, firstPreview, all;
        bool opens;
    };
    const Case cases[] = {{"after All", true, true, true, true},
                          {"before the first preview", true, false, false, true},
                          {"no image at all", false, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d;
        if (c.hostInput) d.dialog.setHostInput(d.image.data(), 64, 48);
        d.dialog.initialise();
        if (c.firstPreview) d.dialog.timerFired(kStartupTimer);
        if (c.all) d.dialog.buttonClicked(ctl::kAll);
        d.dialog.buttonClicked(ctl::kFilterButton);
        EXPECT_EQ(d.view.chooser != nullptr, c.opens);
        EXPECT_EQ(d.view.previewShown, !c.opens);
        if (c.opens) {
            EXPECT_FALSE(d.dialog.driver().previewStale());
        }
    }
}

TEST(DialogController, ChoosingAFilterSetsTheCaptionRefreshesAndClosesTheChooser) {
    struct Case {
        int code, position;
        int mode;
        const char* caption;
    };
    const Case cases[] = {{kChooserChosen, 8, 8, "Filter: Sepia"},
                          {kChooserChosen, 12, 0, "Filter: Color"},
                          {kChooserClosed, 0, 3, "Filter: B/W Hard Light"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        Dialog d;
        d.open();
        d.dialog.colour().filterMode = 3;
        d.view.text[ctl::kFilterButton] = "Filter: B/W Hard Light";
        d.dialog.buttonClicked(ctl::kFilterButton);
        const int previews = d.view.previews;
        d.dialog.scrolled(ctl::kFilterChooser, c.code, c.position);
        EXPECT_EQ(d.dialog.colour().filterMode, c.mode);
        EXPECT_EQ(d.view.text[ctl::kFilterButton], c.caption);
        EXPECT_EQ(d.view.previews > previews, c.code == kChooserChosen);
        EXPECT_EQ(d.view.chooser, nullptr);
        EXPECT_TRUE(d.view.previewShown);
    }
}

// A 300 x 200 photograph in a preview whose area is 120 x 80: fitted, it shows at 120 x 80;
// Fine works at 240 x 160.
constexpr ClientRect kZoomClient{0, 0, 124, 100};

std::vector<std::uint8_t> resampled(const std::uint8_t* from, int w, int h, int toW, int toH) {
    std::vector<std::uint8_t> to(static_cast<std::size_t>(toW) * toH * 3);
    resamplePixels(from, w, h, to.data(), toW, toH, 3, kResizeBlockOrBilinear);
    return to;
}

TEST(PreviewCompare, HoldingShowsTheInputShrunkAsThePreviewWasAndLettingGoTheResult) {
    struct Case {
        int button;
        int workingW, workingH;  // where the input went first, 0 when shrunk at once
    };
    for (const Case& c :
         {Case{ctl::kFast, 0, 0}, Case{ctl::kFine, 240, 160}, Case{ctl::kAll, 0, 0}}) {
        Dialog d(300, 200, kZoomClient);
        d.open();
        d.dialog.buttonClicked(c.button);
        const std::vector<std::uint8_t> result = d.view.shown;
        std::vector<std::uint8_t> expected =
            c.workingW == 0
                ? resampled(d.image.data(), 300, 200, 120, 80)
                : resampled(resampled(d.image.data(), 300, 200, c.workingW, c.workingH).data(),
                            c.workingW, c.workingH, 120, 80);
        d.dialog.timerFired(kOriginalTimer);  // made ahead while the preview is still
        EXPECT_TRUE(d.dialog.driver().originalPreviewReady()) << c.button;
        d.dialog.previewRightPressed(false);
        EXPECT_EQ(d.view.label, kOriginalLabel) << c.button;
        EXPECT_EQ(d.view.shown, expected) << c.button;
        d.dialog.previewRightReleased();
        EXPECT_EQ(d.view.label, "") << c.button;
        EXPECT_EQ(d.view.shown, result) << c.button;
        // The backslash key holds the same way.
        d.dialog.originalKey(true);
        EXPECT_EQ(d.view.shown, expected) << c.button;
        d.dialog.originalKey(false);
        EXPECT_EQ(d.view.shown, result) << c.button;
    }
}

TEST(PreviewZoom, TheActualSizePartStaysInsideTheImageWhereverThePointerIs) {
    const ImageSize image{300, 200};
    const ImageSize shown{120, 80};  // centred in kZoomClient: from (2, 10) to (122, 90)
    struct Case {
        int px, py;
        ImageRegion region;
    };
    const Case cases[] = {
        {0, 0, {0, 0, 120, 80}},        {123, 0, {180, 0, 120, 80}},  {0, 99, {0, 120, 120, 80}},
        {123, 99, {180, 120, 120, 80}}, {62, 50, {91, 61, 120, 80}},  {-40, 500, {0, 120, 120, 80}},
        {2, 50, {0, 61, 120, 80}},      {121, 10, {180, 0, 120, 80}},
    };
    for (const Case& c : cases) {
        const ImagePoint at = fullImagePoint(kZoomClient, shown, image, c.px, c.py);
        EXPECT_EQ(actualSizeRegion(image, {120, 80}, at.x, at.y), c.region) << c.px << "," << c.py;
    }
    // An image smaller than the area is shown whole; panning stops at the edges.
    EXPECT_EQ(actualSizeRegion({100, 50}, {120, 80}, 90, 40), (ImageRegion{0, 0, 100, 50}));
    EXPECT_EQ(pannedRegion({10, 20, 120, 80}, image, -500, 500), (ImageRegion{0, 120, 120, 80}));
    EXPECT_EQ(pannedRegion({10, 20, 120, 80}, image, 1000, -5), (ImageRegion{180, 15, 120, 80}));
}

TEST(PreviewZoom, ShowsTheFinalResultAtOneToOneRendersAllFirstAndStillSamples) {
    Dialog d(300, 200, kZoomClient);
    d.open();
    d.view.log.clear();
    const ImagePoint centre{62, 50};
    d.dialog.previewZoom(true, &centre);  // on a fast preview: All runs first, with the wait
    ASSERT_TRUE(d.dialog.actualSizeShown());
    EXPECT_NE(std::find(d.view.log.begin(), d.view.log.end(), "wait(1,0)"), d.view.log.end());
    EXPECT_EQ(d.view.label, kActualSizeLabel);
    d.dialog.previewPanKey(1, 1);  // an eighth of the view each way
    const ImageRegion region = d.dialog.actualSizeRegion();
    EXPECT_EQ(region, (ImageRegion{106, 71, 120, 80}));
    const std::vector<std::uint8_t> part = d.view.shown;

    d.dialog.previewRightPressed(false);  // the original of the same part
    EXPECT_EQ(d.view.label, kOriginalActualSizeLabel);
    WorkingImage original;
    ASSERT_TRUE(copyRegion(d.image.data(), 300, 200, region, original));
    EXPECT_EQ(d.view.shown, std::vector<std::uint8_t>(original.pixels(),
                                                      original.pixels() + original.byteSize()));
    d.dialog.previewRightReleased();

    d.dialog.previewRightPressed(true);  // with Shift: the picture follows the pointer
    d.dialog.previewRightMoved(30, -10);
    d.dialog.previewRightReleased();
    EXPECT_EQ(d.dialog.actualSizeRegion(), (ImageRegion{76, 81, 120, 80}));
    d.dialog.previewRightPressed(true);
    d.dialog.previewRightMoved(-30, 10);
    d.dialog.previewRightReleased();

    d.dialog.previewPressed();  // a sample of the fitted picture, the view stays
    EXPECT_EQ(d.view.samplesOpened.size(), 1u);
    EXPECT_TRUE(d.dialog.actualSizeShown());

    std::vector<std::uint8_t> final;
    d.dialog.deliverResult = [&](const WorkingImage& image) {
        final.assign(image.pixels(), image.pixels() + image.byteSize());
    };
    d.dialog.buttonClicked(ctl::kOk);
    ASSERT_EQ(final.size(), 300u * 200 * 3);
    ASSERT_TRUE(copyRegion(final.data(), 300, 200, region, original));
    EXPECT_EQ(part, std::vector<std::uint8_t>(original.pixels(),
                                              original.pixels() + original.byteSize()));
}

TEST(PreviewZoom, RendersRefreshesChangesAndResizesReturnToTheFittedView) {
    const std::pair<const char*, std::function<void(Dialog&)>> events[] = {
        {"fast", [](Dialog& d) { d.dialog.buttonClicked(ctl::kFast); }},
        {"fine", [](Dialog& d) { d.dialog.buttonClicked(ctl::kFine); }},
        {"gamma", [](Dialog& d) { d.scroll(ctl::kGammaSlider, 150, N::ThumbTrack); }},
        {"method", [](Dialog& d) { d.chooseRadio(ctl::kMethod1); }},
        {"slider", [](Dialog& d) { d.scroll(ctl::kSliderA, 150, N::EndScroll); }},
        {"curve", [](Dialog& d) { d.checkBox(ctl::kCurvesOn, true); }},
        {"typed",
         [](Dialog& d) {
             d.type(ctl::kEditB, "0.7");
             d.dialog.editFocusLost(ctl::kEditB);
         }},
        {"resize", [](Dialog& d) { d.dialog.previewResized(); }},
    };
    for (const auto& [name, event] : events) {
        Dialog d(300, 200, kZoomClient);
        d.open();
        d.checkBox(ctl::kAutoPreview, false);
        d.dialog.buttonClicked(ctl::kAll);
        d.dialog.previewZoom(true, nullptr);
        ASSERT_TRUE(d.dialog.actualSizeShown()) << name;
        const int before = d.view.previews;
        event(d);
        EXPECT_FALSE(d.dialog.actualSizeShown()) << name;
        EXPECT_FALSE(d.dialog.driver().fullResult().hasPixels()) << name;
        EXPECT_GT(d.view.previews, before) << name;  // the fitted picture is shown again
        EXPECT_EQ(d.view.label, "") << name;
    }
}

TEST(FilterChooserModel, ItemKIsFilterKOfTheBaseThumbnailWithTheCurrentSwitches) {
    const std::vector<std::uint8_t> preview = test::makePhotoLikeImage(80, 60);
    CurveTables tables;
    for (int k = 0; k < 256; ++k) tables.tone[static_cast<std::size_t>(k)] = 255 - k;
    ColorPassParams pass;
    pass.curvesOn = true;
    pass.curves = &tables;
    FilterChooserModel chooser;
    ASSERT_TRUE(chooser.build(preview.data(), 80, 60, pass, 5));
    EXPECT_EQ(chooser.selected(), 5);
    const ThumbnailSize size = chooser.thumbnail();
    ASSERT_EQ(chooser.base().size(), static_cast<std::size_t>(size.width) * size.height * 3);
    ASSERT_EQ(chooser.items().size(), 12u);
    for (int k = 0; k < 12; ++k) {
        std::vector<std::uint8_t> expected = chooser.base();
        FilterThumbnail(expected.data(), expected.data(), size.width, size.height, k, pass);
        EXPECT_EQ(chooser.items()[static_cast<std::size_t>(k)].pixels, expected) << k;
        EXPECT_EQ(chooser.items()[static_cast<std::size_t>(k)].label, filterTable()[k].chooserName);
    }
    EXPECT_FALSE(chooser.build(nullptr, 80, 60, pass, 0));
    EXPECT_TRUE(chooser.items().empty());
}

TEST(FilterChooserModel, BaseThumbnailTakesItsSizeFromThePreview) {
    struct Case {
        int width, height, thumbWidth, thumbHeight;
    };
    for (const Case& c : {Case{400, 300, 101, 76}, Case{400, 200, 120, 60}}) {
        const std::vector<std::uint8_t> preview(static_cast<std::size_t>(c.width) * c.height * 3,
                                                90);
        FilterChooserModel chooser;
        ASSERT_TRUE(chooser.build(preview.data(), c.width, c.height, {}, 0));
        EXPECT_EQ(chooser.thumbnail().width, c.thumbWidth) << c.width << "x" << c.height;
        EXPECT_EQ(chooser.thumbnail().height, c.thumbHeight) << c.width << "x" << c.height;
    }
}

TEST(FilterChooserModel, KeysStepByModeAndByRowAndTheMouseFindsItems) {
    const std::vector<std::uint8_t> preview(400 * 300 * 3, 90);
    FilterChooserModel chooser;
    ASSERT_TRUE(chooser.build(preview.data(), 400, 300, {}, 3));
    chooser.layOut(520, 400, 16, 8);  // room for four 101-pixel columns, not six
    ASSERT_EQ(chooser.columns(), 4);
    struct Step {
        ChooserKey key;
        ChooserAction action;
        int selected;
    };
    const Step steps[] = {{ChooserKey::Right, ChooserAction::Moved, 4},
                          {ChooserKey::Down, ChooserAction::Moved, 8},
                          {ChooserKey::Down, ChooserAction::None, 8},
                          {ChooserKey::Left, ChooserAction::Moved, 7},
                          {ChooserKey::Up, ChooserAction::Moved, 3},
                          {ChooserKey::Up, ChooserAction::None, 3},
                          {ChooserKey::Enter, ChooserAction::Choose, 3},
                          {ChooserKey::Escape, ChooserAction::Close, 3}};
    for (const Step& s : steps) {
        EXPECT_EQ(chooser.key(s.key), s.action) << static_cast<int>(s.key);
        EXPECT_EQ(chooser.selected(), s.selected) << static_cast<int>(s.key);
    }
    for (int k = 0; k < 12; ++k) {
        const ClientRect t = chooser.thumbnailRect(k);
        EXPECT_EQ(chooser.itemAt((t.left + t.right) / 2, (t.top + t.bottom) / 2), k);
        EXPECT_EQ(chooser.itemAt((t.left + t.right) / 2, t.bottom + 8), k) << "its label";
    }
    const ClientRect first = chooser.thumbnailRect(0);
    EXPECT_EQ(chooser.itemAt(first.left - 2, first.top), -1) << "between items";
}

using test::entries;

constexpr int kCell = 11;  // a memory bar of ten cells, 11 pixels each

TEST(DialogController, MemoryStoresWhatTheControlsShowAndRecallsItWithAFastPreview) {
    Dialog d;
    d.open();
    MemoryBarModel& bar = d.dialog.memoryBar();
    bar.setClientSize(10 * kCell, kCell);
    d.chooseRadio(ctl::kMethod1);
    d.type(ctl::kEditB, "0.25");  // typed, not yet applied
    ASSERT_EQ(bar.rightButtonDown(2 * kCell + 3, false), MemoryBarAction::Store);
    d.dialog.memoryBarNotified(true);
    bar.buttonUp();
    EXPECT_EQ(entries(bar.store(), "Memory 2"),
              "Created=1|Mode=1|Mix=2.500000e-001|Brighness=2.500000e+001|Vivid=0.000000e+000|"
              "Radius=5.000000e+000|Value=6.000000e-001|Smooth=2.500000e-001|");

    d.chooseRadio(ctl::kMethod0);
    const int before = d.view.previews;
    ASSERT_EQ(bar.leftButtonDown(2 * kCell + 3, false, false), MemoryBarAction::Recall);
    d.dialog.memoryBarNotified(false);
    EXPECT_TRUE(d.view.checked[ctl::kMethod1]);
    EXPECT_EQ(d.view.text[ctl::kLabelB], "Natural/Saturated");
    EXPECT_EQ(d.view.text[ctl::kEditB], "0.25");
    EXPECT_GT(d.view.previews, before);

    // A memory of a method this dialog does not offer is refused and changes nothing.
    bar.store().SetValue("Memory 4", "Mode", "2", true);
    ASSERT_EQ(bar.leftButtonDown(4 * kCell + 3, false, false), MemoryBarAction::Recall);
    d.dialog.memoryBarNotified(false);
    EXPECT_EQ(d.view.messages, std::vector<std::string>{kForeignMemoryMessage});
    EXPECT_TRUE(d.view.checked[ctl::kMethod1]);
}

TEST(DialogController, MemoryFileIsWrittenBackOnlyWhenItWasRead) {
    test::TempFolder folder;
    const std::string path = folder.file("memory.ini");
    const std::string earlier = "[Memory 7]\r\nMode=1\r\n\r\n";
    {
        std::ofstream(path, std::ios::binary) << earlier;
        // A dialog that never opened must not replace the memories with none.
        Dialog d;
        d.dialog.setMemoryLocation({path, ""});
        d.dialog.saveMemories();
        EXPECT_EQ(test::readFile(path), earlier);
    }
    Dialog d;
    d.dialog.setMemoryLocation({path, ""});
    d.open();
    MemoryBarModel& bar = d.dialog.memoryBar();
    bar.setClientSize(10 * kCell, kCell);
    EXPECT_TRUE(bar.cellStored(7));
    bar.rightButtonDown(7 * kCell, true);  // Ctrl: deleted, the dialog is not asked
    bar.rightButtonDown(0, false);
    d.dialog.memoryBarNotified(true);
    d.dialog.saveMemories();
    const std::string written = test::readFile(path);
    EXPECT_EQ(written.rfind("[Memory 0]\r\nCreated=1\r\nMode=0\r\nBrighness=1.000000e+001\r\n", 0),
              0u)
        << written;
    EXPECT_EQ(written.find("Memory 7"), std::string::npos);
}

TEST(DialogController, SettingsFilesSaveLoadAndTellWhatWentWrong) {
    test::TempFolder folder;
    const std::string look = folder.file("look.dps");
    Dialog d;
    d.open();
    d.chooseRadio(ctl::kMethod1);
    d.scroll(ctl::kSliderC, 90, N::EndScroll);
    d.scroll(ctl::kGammaSlider, 160, N::EndScroll);
    d.dialog.colour().filterMode = 8;
    d.view.chosenFile = look;
    d.dialog.buttonClicked(ctl::kSaveSettings);
    EXPECT_TRUE(d.view.stopMessages.empty());
    // A save that cannot create its file says so, naming it.
    d.view.chosenFile = folder.file("no such folder/look.dps");
    d.dialog.buttonClicked(ctl::kSaveSettings);
    ASSERT_EQ(d.view.stopMessages.size(), 1u);
    EXPECT_NE(d.view.stopMessages[0].find(d.view.chosenFile), std::string::npos);

    Dialog e;
    e.open();
    const std::string cut = folder.file("cut.dps");
    std::ofstream(cut, std::ios::binary) << test::readFile(look).substr(0, 30);
    for (const std::string& file : {std::string(), cut}) {
        e.view.chosenFile = file;  // cancelled, then a file that ends too early
        e.dialog.buttonClicked(ctl::kLoadSettings);
        EXPECT_TRUE(e.view.checked[ctl::kMethod0]);
        EXPECT_EQ(e.view.text[ctl::kEditC], "6.0");
    }
    EXPECT_EQ(e.view.stopMessages, std::vector<std::string>{kPastEndMessage});

    const int before = e.view.previews;
    e.view.chosenFile = look;
    e.dialog.buttonClicked(ctl::kLoadSettings);
    EXPECT_TRUE(e.view.checked[ctl::kMethod1]);
    EXPECT_EQ(e.view.text[ctl::kLabelB], "Natural/Saturated");
    EXPECT_EQ(e.view.text[ctl::kEditC], "9.0");
    EXPECT_EQ(e.view.position[ctl::kGammaSlider], 160);
    EXPECT_EQ(e.view.text[ctl::kFilterButton], "Filter: Sepia");
    EXPECT_GT(e.view.previews, before);
    // The fast render after the load read the controls: they held the loaded settings.
    EXPECT_EQ(e.dialog.method().method, 1);
    EXPECT_EQ(e.dialog.method().valueC, 9.0);
}

TEST(DialogController, SamplesAreNumberedRefusedWhenNothingChangedAndRestoreTheirLook) {
    Dialog d;
    d.dialog.previewPressed();  // nothing shown yet
    d.open();
    d.chooseRadio(ctl::kMethod1);
    d.scroll(ctl::kSliderC, 90, N::EndScroll);
    d.checkBox(ctl::kCurvesOn, true);
    d.dialog.colour().toneCurve.setPoints({{0, 0}, {0.3, 0.6}, {1, 1}});
    d.dialog.colour().filterMode = 8;
    d.checkBox(ctl::kClarity, true);
    d.scroll(ctl::kGammaSlider, 160, N::EndScroll);
    d.dialog.previewPressed();
    d.dialog.previewPressed();
    EXPECT_EQ(d.view.samplesOpened, std::vector<int>{1});
    EXPECT_EQ(d.view.log.back(), "previewMessage(Same data as the Last Sample !)");
    // A colour-only refresh shows a new look too.
    d.scroll(ctl::kGammaSlider, 150, N::EndScroll);
    d.dialog.previewPressed();
    d.dialog.sampleClosed(2);
    d.dialog.buttonClicked(ctl::kFast);
    d.dialog.previewPressed();
    EXPECT_EQ(d.view.samplesOpened, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(d.dialog.samples().openNumbers(), (std::vector<int>{1, 3}));

    d.chooseRadio(ctl::kMethod0);
    d.checkBox(ctl::kCurvesOn, false);
    d.dialog.colour().toneCurve.ResetCurve();
    d.dialog.colour().filterMode = 0;
    d.checkBox(ctl::kClarity, false);
    d.dialog.buttonClicked(ctl::kGammaReset);
    d.checkBox(ctl::kAutoPreview, false);
    const int before = d.view.previews;
    d.dialog.sampleRestoreRequested(1);
    EXPECT_TRUE(d.view.checked[ctl::kMethod1]);
    EXPECT_EQ(d.view.text[ctl::kEditC], "9.0");
    EXPECT_EQ(d.view.position[ctl::kGammaSlider], 160);
    EXPECT_EQ(d.view.text[ctl::kGammaEdit], "1.60");
    EXPECT_TRUE(d.view.checked[ctl::kCurvesOn]);
    EXPECT_TRUE(d.view.enabled[ctl::kCurveFrame]);
    EXPECT_TRUE(d.view.checked[ctl::kClarity]);
    std::vector<std::pair<double, double>> points;
    for (const CurvePoint& p : d.dialog.colour().toneCurve.points()) points.emplace_back(p.x, p.y);
    EXPECT_EQ(points, (std::vector<std::pair<double, double>>{{0, 0}, {0.3, 0.6}, {1, 1}}));
    EXPECT_EQ(d.view.text[ctl::kFilterButton], "Filter: Sepia");
    EXPECT_EQ(d.view.previews, before);  // automatic preview off: the controls only
}

TEST(SamplesModel, ThumbnailFitsTheViewAndNeverVanishes) {
    struct Case {
        int imageWidth, imageHeight, viewWidth, viewHeight, width, height;
    };
    const Case cases[] = {{400, 300, 240, 180, 236, 177}, {300, 400, 240, 180, 132, 176},
                          {10000, 10, 240, 180, 236, 1},  {10, 10000, 240, 180, 1, 176},
                          {400, 300, 3, 3, 1, 1},         {0, 0, 240, 180, 1, 1}};
    for (const Case& c : cases) {
        const ImageSize size =
            sampleThumbnailSize(c.imageWidth, c.imageHeight, c.viewWidth, c.viewHeight);
        EXPECT_EQ(size.width, c.width) << c.imageWidth << "x" << c.imageHeight;
        EXPECT_EQ(size.height, c.height) << c.imageWidth << "x" << c.imageHeight;
    }
}

TEST(SamplesModel, ANewSampleHangsByItsCaptionUnderThePointer) {
    const SamplePlacement p = samplePlacement(500, 300, 241);
    EXPECT_EQ(p.left + p.pressX, 500);
    EXPECT_EQ(p.top + p.pressY, 300);
    EXPECT_EQ(p.pressX, 120);
    EXPECT_EQ(p.pressY, 5);
    EXPECT_EQ(sampleTitle(3), "Sample #3");
}

TEST(SliderModel, KeysWrapAroundAtBothEnds) {
    struct Case {
        int from;
        SliderKey key;
        int to;
        std::vector<N> notes;
    };
    // Range 0..10: line size 1, page size 2.
    const Case cases[] = {{10, SliderKey::Right, 0, {N::LineDown}},
                          {10, SliderKey::Down, 0, {N::LineDown}},
                          {0, SliderKey::Left, 10, {N::LineUp}},
                          {5, SliderKey::Up, 4, {N::LineUp}},
                          {9, SliderKey::PageDown, 0, {N::PageDown}},
                          {1, SliderKey::PageUp, 10, {N::PageUp}},
                          {3, SliderKey::Home, 3, {}},
                          {3, SliderKey::End, 3, {}}};
    for (const Case& c : cases) {
        SliderModel s;
        s.setRange(0, 10);
        s.setPosition(c.from);
        std::vector<N> notes;
        EXPECT_TRUE(s.key(c.key, notes));
        EXPECT_EQ(s.position(), c.to) << c.from;
        EXPECT_EQ(notes, c.notes) << c.from;
    }
    SliderModel s;
    std::vector<N> notes;
    EXPECT_FALSE(s.key(SliderKey::Other, notes));
    EXPECT_TRUE(notes.empty());
    s.setRange(40, 260);
    EXPECT_EQ(s.pageSize(), 44);
}

TEST(SliderModel, APressJumpsNearThePointerWithoutEverDividingByZero) {
    struct Case {
        int x, width, minimum, maximum, expected;
    };
    const Case cases[] = {{30, 119, 0, 99, 25}, {200, 119, 0, 99, 99}, {-50, 119, 0, 99, 0},
                          {12, 10, 0, 99, 99},  {5, 10, 0, 99, 0},     {10, 19, 40, 260, 45},
                          {10, 0, 40, 260, 45}, {0, -5, 0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(sliderPressPosition(c.x, c.width, c.minimum, c.maximum), c.expected)
            << c.x << " " << c.width;

    SliderModel s;
    s.setRange(0, 99);
    EXPECT_EQ(s.press(30, 119), std::vector<N>{N::ThumbTrack});
    EXPECT_EQ(s.position(), 25);
    EXPECT_TRUE(s.drag(30, 119).empty());
    EXPECT_EQ(s.drag(40, 119), std::vector<N>{N::ThumbTrack});
    EXPECT_EQ(s.release(40, 119), std::vector<N>{N::EndScroll});
    EXPECT_TRUE(s.press(40, 119).empty());  // already there
    EXPECT_TRUE(s.release(40, 119).empty());
}

TEST(SliderModel, RelativeDragFollowsThePointerWithinTheRange) {
    SliderModel s;
    s.setRange(40, 260);
    s.setPosition(100);
    s.setRelativeDrag(true, 1.0);
    EXPECT_TRUE(s.press(50, 220).empty());
    EXPECT_EQ(s.position(), 100);
    EXPECT_EQ(s.drag(60, 220), std::vector<N>{N::ThumbTrack});
    EXPECT_EQ(s.position(), 110);
    s.drag(-1000, 220);
    EXPECT_EQ(s.position(), 40);
    EXPECT_EQ(s.release(-1000, 220), (std::vector<N>{N::ThumbTrack, N::EndScroll}));
    EXPECT_EQ(sliderRelativePosition(250, 0, 100000, 220, 40, 260, 1.0), 260);
    // A click without a move still reports the position, but ends no scroll.
    s.press(10, 220);
    EXPECT_EQ(s.release(10, 220), std::vector<N>{N::ThumbTrack});
}

TEST(SliderModel, FormatsTheValueWithTheScalesDecimals) {
    const struct {
        int position, scale;
        const char* text;
    } cases[] = {{100, 10, "10.0"},    {60, 100, "0.60"}, {5, 1, "5"},       {-5, 10, "-0.5"},
                 {-125, 100, "-1.25"}, {0, 100, "0.00"},  {260, 100, "2.60"}};
    for (const auto& c : cases) EXPECT_EQ(formatSliderValue(c.position, c.scale), c.text);
}

TEST(DialogFrame, LayoutShiftBottomBandAndCaptionScaleWithTheDialog) {
    const int h = 500;
    // Far from the bottom; in the band (centred 19 above the bottom); a check box that would
    // land on the button below it in the template; the button itself.
    const std::vector<PixelRect> controls = {
        {10, 100, 50, 120},
        {200, 440, 250, 460},
        {482, 440, 530, 456},
        {482, 468, 532, 490},
        {482, 380, 590, 425}};  // and a panel above the check box that the raised row reaches
    const std::vector<PixelRect> shifted = shiftLayout(controls, h, true, 1.0);
    EXPECT_EQ(shifted[0], (PixelRect{10, 130, 50, 150}));
    EXPECT_EQ(shifted[1], (PixelRect{200, 471, 250, 491}));
    EXPECT_EQ(shifted[2], (PixelRect{482, 444, 530, 460}));  // above the bar (top 462)
    EXPECT_EQ(shifted[3], (PixelRect{482, 470, 532, 492}));
    EXPECT_FALSE(shifted[2].intersects(shifted[3]));
    EXPECT_EQ(shifted[4], (PixelRect{482, 410, 590, 444}));  // ends where the row begins

    // Without a bottom bar everything only moves down.
    EXPECT_EQ(shiftLayout(controls, h, false, 1.0)[3], (PixelRect{482, 498, 532, 520}));

    // At 150 % every length scales: shift 45, band reach 102, line 29.
    const std::vector<PixelRect> big =
        shiftLayout({{10, 100, 50, 120}, {0, 390, 30, 410}}, h, true, 1.5);
    EXPECT_EQ(big[0].top, 145);
    EXPECT_EQ(big[1].top, 500 - 10 - 29);

    // The caption's close box, drag area and the content panel scale likewise.
    EXPECT_EQ(closeBoxRect(600, 1.0), (PixelRect{580, 4, 595, 16}));
    EXPECT_EQ(closeBoxRect(600, 2.0), (PixelRect{560, 8, 590, 32}));
    EXPECT_TRUE(inCaptionDragArea(100, 29, 600, 1.0));
    EXPECT_FALSE(inCaptionDragArea(100, 30, 600, 1.0));
    EXPECT_FALSE(inCaptionDragArea(585, 10, 600, 1.0));
    EXPECT_TRUE(inCaptionDragArea(100, 44, 600, 1.5));
    EXPECT_EQ(contentPanelRect(600, 400, true, 1.0), (PixelRect{8, 30, 592, 362}));
    EXPECT_EQ(contentPanelRect(600, 400, false, 2.0), (PixelRect{16, 60, 584, 384}));
}

TEST(DialogControls, TableHoldsEveryControlOnceInsideItsRow) {
    const std::set<int> ids = {
        1017, 1009, 1014, 1015, 1042, 1106, 1045, 1036, 1020, 1085, 1086, 1087, 1090, 1089,
        1088, 1115, 1097, 1096, 1093, 1092, 1091, 1105, 1104, 1103, 1119, 1118, 1117, 1029,
        1006, 1102, 1109, 1108, 1129, 1094, 1095, 1116, 1099, 1114, 1100, 1098, 1112, 1101,
        1110, 1113, 1111, 1021, 1023, 1135, 1134, 1128, 2,    1,    1018, 1022, 1140, 1026};
    const std::set<int> hidden = {1015, 1042, 1106, 1045, 1018, 1022, 1140, 1026};
    const std::vector<ControlEntry>& table = hdrDialogControls();
    EXPECT_EQ(table.size(), ids.size());
    for (int id : ids) {
        const ControlEntry* c = findControl(id);
        ASSERT_NE(c, nullptr) << id;
        EXPECT_EQ(std::count_if(table.begin(), table.end(),
                                [id](const ControlEntry& s) { return s.id == id; }),
                  1)
            << id;
        EXPECT_EQ(c->hidden, hidden.count(id) == 1) << id;
    }
    for (int id : {1029, 1100, 1101, 1111, 1128})
        EXPECT_EQ(findControl(id)->kind, ControlKind::Frame);
    for (int id : {1017, 1018, 1036}) EXPECT_EQ(findControl(id)->kind, ControlKind::TitleLabel);
    EXPECT_TRUE(findControl(ctl::kMethod0)->groupStart);
    EXPECT_EQ(findControl(ctl::kOk)->kind, ControlKind::DefaultButton);

    const std::map<char, std::pair<int, int>> rowSpan = {{'A', {88, 114}},  {'B', {116, 142}},
                                                         {'E', {143, 170}}, {'C', {170, 197}},
                                                         {'D', {197, 223}}, {'F', {224, 250}}};
    for (const SliderRowControls& row : sliderRowControls()) {
        for (int id : {row.label, row.edit, row.slider}) {
            const ControlEntry* c = findControl(id);
            EXPECT_GE(c->y, rowSpan.at(row.row).first) << id;
            EXPECT_LE(c->y + c->height, rowSpan.at(row.row).second) << id;
            EXPECT_LE(c->x + c->width, findControl(ctl::kPreviewFrame)->x) << id;
        }
        EXPECT_EQ(rowOfSlider(row.slider), &row);
        EXPECT_EQ(rowOfEdit(row.edit), &row);
    }
    EXPECT_EQ(hdrDialogTemplateInfo().width, 599);
    EXPECT_EQ(hdrDialogTemplateInfo().height, 306);
}

}  // namespace
}  // namespace qorva

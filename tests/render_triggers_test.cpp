// What starts a render, and of which quality: the dialog's events against a driver that counts
// its renders, wait cursors and repaints.
#include "render/render_triggers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/recording_preview_host.h"

namespace qorva {
namespace {

using test::bytesOf;

// One case per row of the dialog's table of what starts a render.
class RenderTriggersTest : public ::testing::Test {
protected:
    test::DriverRig f{64, 48, test::areaOf(40, 30)};
    RenderTriggers triggers{f.driver, f.method, f.colour};

    struct Seen {
        int renders, waits, repaints;
    };
    Seen mark() const { return {f.host.renders, f.host.waits, f.host.repaints}; }
    // A fast render: one render without the wait cursor.
    void expectFast(Seen before) const {
        EXPECT_EQ(f.host.renders, before.renders + 1);
        EXPECT_EQ(f.host.waits, before.waits);
        EXPECT_FALSE(f.driver.previewStale());
    }
    void expectRefreshOnly(Seen before) const {
        EXPECT_EQ(f.host.renders, before.renders);
        EXPECT_EQ(f.host.repaints, before.repaints + 1);
    }
    void expectNothing(Seen before) const {
        EXPECT_EQ(f.host.renders, before.renders);
        EXPECT_EQ(f.host.repaints, before.repaints);
    }
};

TEST_F(RenderTriggersTest, StartupTimerRendersFast) {
    const Seen before = mark();
    triggers.startupTimerFired();
    expectFast(before);
    EXPECT_TRUE(f.driver.displayImage().hasPixels());
}

TEST_F(RenderTriggersTest, PreviewButtonsAndOk) {
    Seen before = mark();
    triggers.previewRequested(RenderQuality::Fast);
    expectFast(before);

    before = mark();
    triggers.previewRequested(RenderQuality::Fine);
    EXPECT_EQ(f.host.renders, before.renders + 1);
    EXPECT_EQ(f.host.waits, before.waits + 1);
    EXPECT_FALSE(f.driver.previewStale());

    before = mark();
    triggers.previewRequested(RenderQuality::All);
    EXPECT_EQ(f.host.waits, before.waits + 1);
    EXPECT_TRUE(f.driver.previewStale());

    before = mark();
    EXPECT_TRUE(triggers.confirmed());
    EXPECT_EQ(f.host.renders, before.renders + 1);
    EXPECT_EQ(f.host.repaints, before.repaints);  // the preview is not updated
    EXPECT_EQ(f.driver.renderImage().width(), 64);
}

TEST_F(RenderTriggersTest, MethodSliderRendersAtTheEndOfADragWithAutoPreview) {
    triggers.startupTimerFired();
    Seen before = mark();
    triggers.methodSliderScrolled(kScrollThumbTrack);
    expectNothing(before);
    triggers.methodSliderScrolled(kScrollEnd);
    expectFast(before);

    f.colour.autoPreview = false;
    before = mark();
    triggers.methodSliderScrolled(kScrollEnd);
    expectNothing(before);
}

TEST_F(RenderTriggersTest, MethodSettingsAndPassSwitchesRenderWithAutoPreview) {
    void (RenderTriggers::*events[])() = {&RenderTriggers::methodChanged,
                                          &RenderTriggers::settingsRecalled,
                                          &RenderTriggers::clarityOrDehazeSwitched};
    for (auto event : events) {
        f.colour.autoPreview = true;
        Seen before = mark();
        (triggers.*event)();
        expectFast(before);
        f.colour.autoPreview = false;
        before = mark();
        (triggers.*event)();
        expectNothing(before);
    }
}

TEST_F(RenderTriggersTest, GammaAndCurveDragsRefreshLiveOnlyWhenCheap) {
    struct Case {
        const char* name;
        bool curves, balance, hue;
        int filter;
        bool stale;
        bool liveRefresh;
        bool curveLive;  // a curve is dragged only with its switch on: the switches do not count
    };
    const Case cases[] = {
        {"plain", false, false, false, 0, false, true, true},
        {"filter 3", false, false, false, 3, false, true, true},
        {"orton", false, false, false, 4, false, false, false},
        {"tone curve on", true, false, false, 0, false, false, true},
        {"balance on", false, true, false, 0, false, false, true},
        {"hue shift on", false, false, true, 0, false, false, true},
        {"stale preview", false, false, false, 0, true, false, false},
    };
    for (const Case& c : cases) {
        for (bool gamma : {true, false}) {
            triggers.previewRequested(c.stale ? RenderQuality::All : RenderQuality::Fast);
            f.colour.curvesOn = c.curves;
            f.colour.balanceOn = c.balance;
            f.colour.hueShiftOn = c.hue;
            f.colour.filterMode = c.filter;
            SCOPED_TRACE(std::string(c.name) + (gamma ? " gamma" : " curve"));
            auto move = [&](int code) {
                if (gamma) {
                    triggers.gammaSliderScrolled(code, 150);
                } else {
                    triggers.curveScrolled(code);
                }
            };
            const Seen before = mark();
            move(kScrollThumbTrack);
            if (gamma ? c.liveRefresh : c.curveLive) {
                expectRefreshOnly(before);
            } else {
                expectNothing(before);
            }
            if (gamma) {
                EXPECT_EQ(f.method.gammaPosition, 150);
            }

            // The end of the drag always refreshes (a stale preview through a fast render).
            const Seen atEnd = mark();
            move(kScrollEnd);
            if (c.stale) {
                expectFast(atEnd);
            } else {
                expectRefreshOnly(atEnd);
            }
        }
    }
}

TEST_F(RenderTriggersTest, GammaResetRefreshes) {
    triggers.startupTimerFired();
    f.method.setGamma(2.2);
    const Seen before = mark();
    triggers.gammaReset();
    EXPECT_EQ(f.method.gammaPosition, 100);
    EXPECT_EQ(f.method.gamma, 1.0);
    expectRefreshOnly(before);
    EXPECT_EQ(bytesOf(f.driver.displayImage()), bytesOf(f.driver.renderImage()));
}

TEST_F(RenderTriggersTest, ColourSwitchesRefresh) {
    triggers.startupTimerFired();
    f.colour.curvesOn = true;
    const Seen before = mark();
    triggers.colourSwitchChanged();
    expectRefreshOnly(before);
}

TEST_F(RenderTriggersTest, ChooserOpeningRendersOnlyAStalePreview) {
    triggers.startupTimerFired();
    Seen before = mark();
    triggers.chooserOpening();
    expectNothing(before);
    triggers.previewRequested(RenderQuality::All);
    before = mark();
    triggers.chooserOpening();
    expectFast(before);
}

TEST_F(RenderTriggersTest, ChosenFilterIsStoredAndRefreshed) {
    triggers.startupTimerFired();
    for (auto [chosen, stored] : {std::pair{8, 8}, std::pair{11, 11}, std::pair{12, 0}}) {
        const Seen before = mark();
        triggers.filterChosen(chosen);
        EXPECT_EQ(f.colour.filterMode, stored);
        expectRefreshOnly(before);
    }
}

}  // namespace
}  // namespace qorva

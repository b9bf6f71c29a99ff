// Filter runs through the host interface, shared by the native host and the Windows host.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/expected_render.h"
#include "common/filter_host.h"
#include "common/plugin_under_test.h"
#include "support/test_images.h"

namespace host {
namespace {

constexpr std::int16_t kUserCanceled = -128;
constexpr std::int16_t kReportString = -30904;
const std::string kWrongMode = "This plugin supports only RGB mode";

Document photo(int width, int height, int planes = 3) {
    const std::vector<std::uint8_t> rgb = qorva::test::makePhotoLikeImage(width, height, 7);
    Document d{width, height, planes, {}};
    d.pixels.resize(static_cast<std::size_t>(width) * height * planes);
    for (std::size_t p = 0; p < static_cast<std::size_t>(width) * height; ++p) {
        for (int c = 0; c < planes; ++c) {
            d.pixels[p * planes + c] =
                c < 3 ? rgb[p * 3 + c] : static_cast<std::uint8_t>(p * 37 + 11);
        }
    }
    return d;
}

// Rows of a padded buffer without their padding.
std::vector<std::uint8_t> unpad(const std::vector<std::uint8_t>& buffer, std::size_t rowBytes,
                                std::size_t packedRow, int rows) {
    std::vector<std::uint8_t> packed;
    for (int y = 0; y < rows; ++y) {
        const auto* row = buffer.data() + y * rowBytes;
        packed.insert(packed.end(), row, row + packedRow);
    }
    return packed;
}

// Installs the scripted dialog and the message sink for one test, and records what they saw.
class ScriptedRun : public ::testing::Test {
protected:
    void SetUp() override {
        const PluginUnderTest& plugin = scriptedPlugin();
        ASSERT_NE(plugin.entry, nullptr);
        ASSERT_NE(plugin.installHooks, nullptr);
        entry = plugin.entry;
        QorvaTestHooks hooks{&ScriptedRun::onDialog, &ScriptedRun::onMessage, this};
        plugin.installHooks(&hooks);
    }
    void TearDown() override { scriptedPlugin().installHooks(nullptr); }

    static void onDialog(void* user, QorvaDialogScript* script) {
        auto* self = static_cast<ScriptedRun*>(user);
        ++self->dialogs;
        self->opened = *script;
        script->confirm = self->confirm;
        script->previews = self->previews;
        script->methodAfterPreviews = self->methodAfterPreviews;
        if (self->settings) self->settings(script->settings);
    }
    static void onMessage(void* user, const char* text) {
        static_cast<ScriptedRun*>(user)->messages.emplace_back(text);
    }

    PluginEntry entry = nullptr;
    int dialogs = 0;
    QorvaDialogScript opened{};
    std::vector<std::string> messages;
    int confirm = 1;
    int previews = 0;
    int methodAfterPreviews = QORVA_KEEP_METHOD;
    std::function<void(QorvaScriptedSettings&)> settings;
};

TEST_F(ScriptedRun, RefusesEveryModeButEightBitRgbAndLeavesTheDocument) {
    for (const std::int16_t mode : {1, 4, 9, 11}) {  // grayscale, CMYK, Lab, 16-bit RGB
        SCOPED_TRACE(mode);
        messages.clear();
        const Document original = photo(8, 6);
        FilterHost run(entry, original, {.imageMode = mode});
        EXPECT_EQ(run.runFilter(), 0);
        EXPECT_EQ(messages, std::vector<std::string>{kWrongMode});
        EXPECT_EQ(run.advanceCalls(), 0);
        EXPECT_EQ(run.document().pixels, original.pixels);
    }
    EXPECT_EQ(dialogs, 0);
}

TEST_F(ScriptedRun, DialogOpensOnceInStartAfterParameters) {
    FilterHost run(entry, photo(12, 9));
    EXPECT_EQ(run.call(1), 0);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(run.call(2), 0);
    EXPECT_EQ(run.call(3), 0);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(opened.width, 12);
    EXPECT_EQ(opened.height, 9);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ScriptedRun, CancelReturnsUserCanceledAndWritesNothing) {
    confirm = 0;
    previews = 2;
    const Document original = photo(20, 14);
    FilterHost run(entry, original);
    EXPECT_EQ(run.call(2), 0);
    EXPECT_EQ(run.call(3), kUserCanceled);
    EXPECT_EQ(run.outBuffer(), std::vector<std::uint8_t>(run.outBuffer().size(), kOutSentinel));

    FilterHost again(entry, original);
    EXPECT_EQ(again.runFilter(), kUserCanceled);
    EXPECT_EQ(again.document().pixels, original.pixels);
}

TEST_F(ScriptedRun, FinishAndUnknownSelectorsChangeNothing) {
    FilterHost run(entry, photo(6, 5));
    const std::vector<std::uint8_t> before(run.recordBytes(), run.recordBytes() + run.recordSize());
    for (const std::int16_t selector : {5, 6, 42, -1, 32767, -32768}) {
        SCOPED_TRACE(selector);
        // The result slot says success even when the host left something else in it.
        EXPECT_EQ(run.call(selector, 0x1234), 0);
        EXPECT_EQ(
            std::vector<std::uint8_t>(run.recordBytes(), run.recordBytes() + run.recordSize()),
            before);
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ScriptedRun, NullRecordReportsTheMessageCodeForEverySelector) {
    for (const std::int16_t selector : {0, 1, 2, 3, 4, 5}) {
        EXPECT_EQ(callWithoutRecord(entry, selector), kReportString) << selector;
    }
    EXPECT_EQ(dialogs, 0);
}

TEST_F(ScriptedRun, AboutShowsItsBoxWithoutReadingAFilterRecord) {
    EXPECT_EQ(callAbout(entry), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"About!"});
}

TEST_F(ScriptedRun, PrepareClearsTheSpaceFields) {
    FilterHost run(entry, photo(4, 4));
    run.set32(layout().maxSpace, 777);
    run.set32(layout().bufferSpace, 555);
    EXPECT_EQ(run.call(2), 0);
    EXPECT_EQ(run.get32(layout().maxSpace), 0);
    EXPECT_EQ(run.get32(layout().bufferSpace), 0);
}

// A selection inside an RGB layer with or without transparency: the whole bounding rectangle
// of the three colour planes is requested in one piece and written back; the transparency
// plane and everything outside the rectangle stay as they were.
TEST_F(ScriptedRun, StartRequestsTheWholeAreaOfTheColourPlanes) {
    for (const int planes : {3, 4}) {
        SCOPED_TRACE(planes);
        const Rect16 area{2, 3, 13, 17};
        const Document original = photo(21, 16, planes);
        FilterHost run(entry, original, {.filterRectOverride = true, .filterRect = area});
        ASSERT_EQ(run.call(2), 0);
        ASSERT_EQ(run.call(3), 0);
        const RecordLayout& at = layout();
        EXPECT_EQ(run.getRect(at.inRect), area);
        EXPECT_EQ(run.getRect(at.outRect), area);
        EXPECT_EQ(run.getRect(at.maskRect), area);
        EXPECT_EQ(run.get16(at.inLoPlane), 0);
        EXPECT_EQ(run.get16(at.inHiPlane), 2);
        EXPECT_EQ(run.get16(at.outLoPlane), 0);
        EXPECT_EQ(run.get16(at.outHiPlane), 2);
        EXPECT_EQ(run.get32(at.inputRate), 0x10000);
        EXPECT_EQ(run.get32(at.maskRate), 0x10000);
        EXPECT_EQ(run.get16(at.inputPadding), -2);
        EXPECT_EQ(run.get16(at.outputPadding), -2);
        EXPECT_EQ(run.get16(at.maskPadding), -2);
        EXPECT_EQ(run.get32(at.maxSpace), 2 * 14 * 11 * planes);
        EXPECT_EQ(run.advanceCalls(), 1);

        FilterHost full(entry, original, {.filterRectOverride = true, .filterRect = area});
        ASSERT_EQ(full.runFilter(), 0);
        Document cropped{14, 11, 3, {}};
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                for (int c = 0; c < 3; ++c) {
                    cropped.pixels.push_back(original.pixels[(y * 21 + x) * planes + c]);
                }
            }
        }
        const auto expected = engineFinal(cropped.pixels, 14, 11, defaultSettings());
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 21; ++x) {
                const bool inside =
                    y >= area.top && y < area.bottom && x >= area.left && x < area.right;
                for (int c = 0; c < planes; ++c) {
                    const std::size_t at = (y * 21 + x) * planes + c;
                    const std::uint8_t want =
                        inside && c < 3 ? expected[((y - area.top) * 14 + x - area.left) * 3 + c]
                                        : original.pixels[at];
                    ASSERT_EQ(full.document().pixels[at], want) << x << "," << y << "," << c;
                }
            }
        }
    }
}

TEST_F(ScriptedRun, ContinueEmptiesEveryRectangleToZeros) {
    FilterHost run(entry, photo(9, 7));
    ASSERT_EQ(run.call(3), 0);
    EXPECT_EQ(run.call(4), 0);
    const RecordLayout& at = layout();
    for (const std::size_t rect : {at.inRect, at.outRect, at.maskRect}) {
        EXPECT_EQ(run.getRect(rect), Rect16{});
    }
}

// The whole-area space saturates instead of wrapping; a refusal by advanceState is shown as
// "Error" and ends the run quietly, before any dialog.
TEST_F(ScriptedRun, FailingAdvanceStateShowsErrorAndOpensNoDialog) {
    const Rect16 huge{0, 0, 32000, 32000};
    FilterHost run(entry, photo(4, 4, 4),
                   {.advanceResult = -108, .filterRectOverride = true, .filterRect = huge});
    EXPECT_EQ(run.call(3), 0);
    EXPECT_EQ(run.get32(layout().maxSpace), 2147483647);
    EXPECT_EQ(messages, std::vector<std::string>{"Error"});
    EXPECT_EQ(dialogs, 0);
}

// A host that clips the request serves less than the area, a host without the callback
// serves nothing, and a host may serve other planes or rows than asked (green, blue and
// transparency; the rows one lower): the plug-in must not read or write through such buffers.
TEST_F(ScriptedRun, HostsThatCannotServeTheWholeAreaAreRefused) {
    HostOptions clipping;
    clipping.clipToHalf = true;
    HostOptions withoutCallback;
    withoutCallback.advanceState = false;
    HostOptions otherPlanes;
    otherPlanes.servedInLoPlane = 1;
    otherPlanes.servedInHiPlane = 3;
    HostOptions otherRows;
    otherRows.shiftRows = true;
    otherRows.filterRectOverride = true;
    otherRows.filterRect = {0, 0, 5, 16};
    for (const HostOptions& options : {clipping, withoutCallback, otherPlanes, otherRows}) {
        messages.clear();
        FilterHost run(entry, photo(16, 6, 4), options);
        EXPECT_EQ(run.call(3), 0);
        EXPECT_EQ(messages, std::vector<std::string>{"Error"});
        EXPECT_EQ(run.outBuffer(), std::vector<std::uint8_t>(run.outBuffer().size(), kOutSentinel));
    }
    EXPECT_EQ(dialogs, 0);
}

TEST_F(ScriptedRun, PaddedRowsComeBackCorrectWithPadBytesUntouched) {
    previews = 1;
    const Document original = photo(23, 11);
    FilterHost run(entry, original, {.inRowPadding = 5, .outRowPadding = 7});
    ASSERT_EQ(run.call(3), 0);
    ASSERT_EQ(run.outRowBytes(), 23u * 3 + 7);
    const auto& out = run.outBuffer();
    EXPECT_EQ(unpad(out, run.outRowBytes(), 23 * 3, 11),
              engineFinal(original.pixels, 23, 11, defaultSettings()));
    for (int y = 0; y < 11; ++y) {
        for (std::size_t i = 23 * 3; i < run.outRowBytes(); ++i) {
            ASSERT_EQ(out[y * run.outRowBytes() + i], kPadByte) << "row " << y;
        }
    }
}

TEST_F(ScriptedRun, OwnerWindowIsTheHostsWindow) {
    FilterHost withWindow(entry, photo(5, 5), {.window = 0x5150});
    ASSERT_EQ(withWindow.call(3), 0);
    EXPECT_EQ(opened.ownerWindow, 0x5150);
    FilterHost without(entry, photo(5, 5));
    ASSERT_EQ(without.call(3), 0);
    EXPECT_EQ(opened.ownerWindow, 0);
}

struct ConfirmCase {
    const char* name;
    std::function<void(QorvaScriptedSettings&)> change;
    int previews;
    int methodAfterPreviews;
    bool unprocessed;  // the result is the input itself
};

// OK writes exactly what the engine makes of the same image with the same settings, whatever
// previews came before; a method that renders nothing gives the input back unchanged, even
// when previews left a smaller image behind.
TEST_F(ScriptedRun, OkWritesTheEnginesFinalRender) {
    const std::vector<ConfirmCase> cases = {
        {"defaults", nullptr, 0, QORVA_KEEP_METHOD, false},
        {"defaults after previews", nullptr, 3, QORVA_KEEP_METHOD, false},
        {"ultra-contrast", [](QorvaScriptedSettings& s) { s = methodDefaults(1); }, 1,
         QORVA_KEEP_METHOD, false},
        {"gamma, filter and switches",
         [](QorvaScriptedSettings& s) {
             s.gammaPosition = 160;
             s.filterMode = 2;
             s.values[3] = 0.9;
             s.curvesOn = s.balanceOn = s.hueShiftOn = 1;
         },
         0, QORVA_KEEP_METHOD, false},
        {"stored-only method", [](QorvaScriptedSettings& s) { s.method = 3; }, 0, QORVA_KEEP_METHOD,
         true},
        {"method changed after previews", nullptr, 2, 5, true},
    };
    const Document original = photo(64, 40);
    for (const ConfirmCase& c : cases) {
        SCOPED_TRACE(c.name);
        settings = c.change;
        previews = c.previews;
        methodAfterPreviews = c.methodAfterPreviews;
        FilterHost run(entry, original);
        ASSERT_EQ(run.call(3), 0);
        QorvaScriptedSettings used = defaultSettings();
        if (c.change) c.change(used);
        const auto expected =
            c.unprocessed ? original.pixels : engineFinal(original.pixels, 64, 40, used);
        if (!c.unprocessed) {
            ASSERT_NE(expected, original.pixels) << "the engine changed nothing";
        }
        EXPECT_EQ(run.outBuffer(), expected);
    }
}

}  // namespace
}  // namespace host

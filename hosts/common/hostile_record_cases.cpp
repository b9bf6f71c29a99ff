// Host records that no well-behaved host sends, shared by the native host and the Windows
// host: colour planes the document lacks, empty and inverted filter rectangles, missing host
// services, selectors out of order and a host that unloads the plug-in between calls. None
// may crash the plug-in; each gets a defined result code and leaves the document either as
// it was or holding exactly the engine's render.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/expected_render.h"
#include "common/filter_host.h"
#include "common/plugin_under_test.h"
#include "support/test_images.h"

#if defined(_WIN32)
#include "windows/dialog_driver.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"
#endif

namespace host {
namespace {

constexpr std::int16_t kUserCanceled = -128;

Document photo(int width, int height, int planes = 3) {
    const std::vector<std::uint8_t> rgb = qorva::test::makePhotoLikeImage(width, height, 11);
    Document d{width, height, planes, {}};
    d.pixels.resize(static_cast<std::size_t>(width) * height * planes);
    for (std::size_t p = 0; p < static_cast<std::size_t>(width) * height; ++p) {
        for (int c = 0; c < planes; ++c) {
            d.pixels[p * planes + c] =
                c < 3 ? rgb[p * 3 + c] : static_cast<std::uint8_t>(p * 53 + 7);
        }
    }
    return d;
}

class HostileRecords : public ::testing::Test {
protected:
    void SetUp() override {
        entry = scriptedPlugin().entry;
        ASSERT_NE(entry, nullptr);
        QorvaTestHooks hooks{&HostileRecords::onDialog, &HostileRecords::onMessage, this};
        scriptedPlugin().installHooks(&hooks);
    }
    void TearDown() override { scriptedPlugin().installHooks(nullptr); }

    static void onDialog(void* user, QorvaDialogScript* script) {
        auto* self = static_cast<HostileRecords*>(user);
        ++self->dialogs;
        script->confirm = self->confirm;
    }
    static void onMessage(void* user, const char* text) {
        static_cast<HostileRecords*>(user)->messages.emplace_back(text);
    }

    PluginEntry entry = nullptr;
    int dialogs = 0;
    int confirm = 1;
    std::vector<std::string> messages;
};

// A document with fewer planes than the three colour planes cannot serve the request: the
// host refuses it and the plug-in ends the run with its "Error" box. With three or four
// planes the colour planes are processed and any fourth plane is left alone.
TEST_F(HostileRecords, PlaneCountsOneToFour) {
    for (int planes = 1; planes <= 4; ++planes) {
        SCOPED_TRACE(planes);
        messages.clear();
        dialogs = 0;
        const Document original = photo(10, 7, planes);
        FilterHost run(entry, original);
        EXPECT_EQ(run.runFilter(), 0);
        if (planes < 3) {
            EXPECT_EQ(messages, std::vector<std::string>{"Error"});
            EXPECT_EQ(dialogs, 0);
            EXPECT_EQ(run.document().pixels, original.pixels);
            continue;
        }
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(dialogs, 1);
        const auto expected = qorva::test::makePhotoLikeImage(10, 7, 11);
        EXPECT_EQ(run.document().plane(0, 3), engineFinal(expected, 10, 7, defaultSettings()));
        if (planes == 4) {
            EXPECT_EQ(run.document().plane(3, 1), original.plane(3, 1));
        }
    }
}

// The planes field says whatever it likes about a three-plane document: the run is the
// ordinary one, since only the three colour planes are ever requested.
TEST_F(HostileRecords, NonsensePlaneFieldsChangeNothingButTheSpaceAsked) {
    const Document original = photo(6, 5);
    const auto expected = engineFinal(original.pixels, 6, 5, defaultSettings());
    for (const std::int16_t planes : {0, 1, -3, 32767, -32768}) {
        SCOPED_TRACE(planes);
        FilterHost run(entry, original);
        run.set16(layout().planes, planes);
        EXPECT_EQ(run.runFilter(), 0);
        EXPECT_EQ(run.document().pixels, expected);
    }
}

// Empty and inverted rectangles have no pixels: nothing can be served, so nothing is read or
// written and no dialog opens.
TEST_F(HostileRecords, EmptyAndInvertedFilterRectangles) {
    const Rect16 rects[] = {
        {0, 0, 0, 0},
        {3, 4, 3, 9},
        {3, 4, 8, 4},
        {5, 9, 2, 12},
        {2, 9, 6, 3},
        {8, 8, 2, 2},
        {-32768, -32768, -32768, -32768},
        {0, 0, -1, -1},
    };
    for (const Rect16& rect : rects) {
        SCOPED_TRACE(::testing::Message()
                     << rect.top << "," << rect.left << "," << rect.bottom << "," << rect.right);
        messages.clear();
        const Document original = photo(12, 10);
        FilterHost run(entry, original, {.filterRectOverride = true, .filterRect = rect});
        EXPECT_EQ(run.runFilter(), 0);
        EXPECT_EQ(messages, std::vector<std::string>{"Error"});
        EXPECT_EQ(run.document().pixels, original.pixels);
    }
    EXPECT_EQ(dialogs, 0);
}

// Hosts that offer no error string or no platform data: a run and a cancelled run both end
// with their ordinary codes, and nothing is written through the missing pointers.
TEST_F(HostileRecords, MissingErrorStringAndPlatformData) {
    for (int confirmed : {1, 0}) {
        confirm = confirmed;
        FilterHost run(entry, photo(9, 6), {.window = 0, .errorString = false});
        EXPECT_EQ(run.runFilter(), confirmed ? 0 : kUserCanceled);
    }
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(messages.empty());
}

// Selectors in orders no host should use. Each call returns a defined code and the record
// stays usable: a later ordinary run still writes the engine's render.
TEST_F(HostileRecords, SelectorsOutOfOrder) {
    const struct {
        const char* what;
        std::vector<std::int16_t> selectors;
        int dialogs;
    } cases[] = {
        {"Start without Prepare", {3, 4, 5}, 1},
        {"Continue without Start", {4, 4, 5}, 0},
        {"Finish twice", {2, 3, 4, 5, 5}, 1},
        {"Start twice", {2, 3, 3, 4, 5}, 2},
        {"Continue before Start", {2, 4, 3, 4, 5}, 1},
        {"Finish first", {5, 2, 5, 1, 1}, 0},
        {"About in the middle", {2, 0, 3, 0, 4, 5}, 1},
        {"unknown selectors around", {-1, 2, 6, 3, 32767, 4, -32768, 5}, 1},
    };
    const Document original = photo(14, 9);
    const auto expected = engineFinal(original.plane(0, 3), 14, 9, defaultSettings());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs = 0;
        messages.clear();
        FilterHost run(entry, original);
        // A host that does not clear the result slot still reads success from every call.
        constexpr std::int16_t kUncleared = 0x5A5A;
        for (const std::int16_t selector : c.selectors)
            EXPECT_EQ(run.call(selector, kUncleared), 0) << selector;
        EXPECT_EQ(dialogs, c.dialogs);
        for (const std::string& m : messages) EXPECT_EQ(m, "About!");
        FilterHost after(entry, original);
        ASSERT_EQ(after.runFilter(), 0);
        EXPECT_EQ(after.document().plane(0, 3), expected);
    }
}

// The plug-in file as the host loads it for one call and unloads it after. On Windows every
// call loads and frees the shipped file, so its application object is built and destroyed
// each time; natively the entry is linked in and the sequence runs as it is.
#if defined(_WIN32)
void HOST_PLUGIN_CALL reloadingCall(std::int16_t selector, void* record, std::intptr_t* data,
                                    std::int16_t* result) {
    PluginLibrary library(windowsPath(testFiles().plugin));
    PluginEntry entry = library.loaded() ? library.entry() : nullptr;
    if (entry == nullptr) {
        *result = -9999;  // shows as a failed call
        return;
    }
    entry(selector, record, data, result);
}
#endif

TEST_F(HostileRecords, HostUnloadsAndReloadsBetweenEveryCall) {
    scriptedPlugin().installHooks(nullptr);  // the shipped dialog, confirmed on the defaults
#if defined(_WIN32)
    const PluginEntry perCall = &reloadingCall;
#else
    const PluginEntry perCall = entry;
#endif
    const Document original = photo(16, 10);
    const auto expected = engineFinal(original.pixels, 16, 10, defaultSettings());
    for (int round = 0; round < 5; ++round) {
        FilterHost run(perCall, original);
#if defined(_WIN32)
        // The shipped file opens its dialog: a user confirms it once the preview is shown.
        DialogDriver user([](DialogDriver& d) {
            if (d.waitForFirstPreview()) d.click(1);
        });
        ASSERT_EQ(run.runFilter(), 0) << round;
        ASSERT_TRUE(user.finish().empty()) << round;
#else
        ASSERT_EQ(run.runFilter(), 0) << round;
#endif
        ASSERT_EQ(run.document().pixels, expected) << round;
        ASSERT_EQ(run.call(5), 0) << round;  // a second Finish in a fresh load
    }
}

}  // namespace
}  // namespace host

// A photograph too large for the memory the plug-in can get must end the render cleanly:
// Render returns false and leaves nothing half-made that could be handed to the host. Each
// case runs in a child process whose address space is limited (as a 32-bit host's is), so
// that every allocation from the host copy to the last pass can be the one that fails.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "settings/method_settings.h"
#include "support/child_process.h"
#include "support/recording_view.h"
#include "ui/model/dialog_controls.h"
#include "ui/model/hdr_dialog_controller.h"

namespace qorva {
namespace {

#ifndef QORVA_TEST_ADDRESS_SANITIZER

using test::addressSpaceInUse;

// What the child reports through its exit status.
enum ChildOutcome : int {
    kCleanFailure = 0,
    kRendered = 10,
    kPixelsLeftBehind = 11,
    kNoAddressSpace = 12,  // the input could not even be reserved: nothing was tested
};

// In the child: the host's input is reserved without being backed (untouched pages read as
// black), a few rows get detail so that no pipeline can take a shortcut, then the address
// space is capped at what is in use plus the headroom and the final render runs.
int renderUnderLimit(int width, int height, int methodId, std::size_t headroom) {
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) return kNoAddressSpace;
    auto* input = static_cast<std::uint8_t*>(mapped);
    const std::size_t detail = std::min<std::size_t>(bytes, std::size_t{3} * width * 64);
    for (std::size_t i = 0; i < detail; ++i) input[i] = static_cast<std::uint8_t>(i * 29 + i / 97);

    FixedPreviewHost host(520, 392);
    MethodSettings method;
    method.method = methodId;
    SelectMethod(method);
    ColorSettings colour;
    colour.clarityOn = colour.dehazeOn = true;
    colour.filterMode = 4;  // the Orton glow needs a buffer of its own
    RenderDriver driver(host, method, colour);
    driver.setHostInput(input, width, height);

    if (!test::capAddressSpace(addressSpaceInUse() + headroom)) return kNoAddressSpace;
    if (driver.Render(RenderQuality::Final)) return kRendered;
    return driver.renderImage().hasPixels() ? kPixelsLeftBehind : kCleanFailure;
}

// The child's outcome; -1000 - the signal when one ended it, -1 when it did not run.
int inChild(int width, int height, int methodId, std::size_t headroom) {
    const test::ChildEnd end =
        test::runInChild([&] { return renderUnderLimit(width, height, methodId, headroom); });
    return end.signal != 0 ? -1000 - end.signal : end.exitCode;
}

constexpr std::size_t kMiB = 1024 * 1024;

// The largest filter rectangles a host can send (16-bit coordinates from -32768 to 32767, and
// from the origin): the copy of the input cannot be had.
TEST(OutOfMemory, LargestFilterRectanglesEndTheRenderCleanly) {
    for (const auto& [w, h] : {std::pair{65535, 65535}, std::pair{32767, 32767}}) {
        for (int id : {kMethodEyeCatching, kMethodUltraContrast}) {
            const int outcome = inChild(w, h, id, 256 * kMiB);
            if (outcome == kNoAddressSpace) GTEST_SKIP() << "cannot reserve the input";
            EXPECT_EQ(outcome, kCleanFailure) << w << "x" << h << " method " << id;
        }
    }
}

// A 3-megapixel photograph with less and less room: the failure moves from the passes back
// through the pipelines to the host copy, and it is clean wherever it happens.
TEST(OutOfMemory, FailureAtAnyStageOfAFinalRenderIsClean) {
    int failures = 0;
    for (int id : {kMethodEyeCatching, kMethodUltraContrast}) {
        for (std::size_t headroom :
             {8 * kMiB, 20 * kMiB, 36 * kMiB, 56 * kMiB, 80 * kMiB, 110 * kMiB}) {
            const int outcome = inChild(2000, 1500, id, headroom);
            if (outcome == kNoAddressSpace) GTEST_SKIP() << "cannot reserve the input";
            EXPECT_TRUE(outcome == kCleanFailure || outcome == kRendered)
                << "method " << id << " with " << headroom / kMiB << " MiB: " << outcome;
            failures += outcome == kCleanFailure ? 1 : 0;
        }
    }
    EXPECT_GT(failures, 0);
}

// The dialog on a 6-megapixel photograph whose full-size renders cannot get their memory: the
// All preview fails with the message in the preview's status text and the dialog stays usable
// (a fast preview works once there is room again); OK then fails as well, the dialog closes as
// a failed final render and nothing reaches the host. Nothing renders before the first limit:
// the allocator would otherwise keep reserved arenas that no limit takes back.
int dialogUnderLimit() {
    constexpr int kWidth = 3000, kHeight = 2000;
    const std::size_t bytes = std::size_t{3} * kWidth * kHeight;
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) return kNoAddressSpace;
    test::RecordingView view;
    HdrDialogController dialog(view, nullptr);
    bool delivered = false;
    dialog.deliverResult = [&](const WorkingImage&) { delivered = true; };
    dialog.setHostInput(static_cast<const std::uint8_t*>(mapped), kWidth, kHeight);
    dialog.initialise();
    // The status text last set.
    const auto statusIs = [&view](const std::string& text) {
        for (auto entry = view.log.rbegin(); entry != view.log.rend(); ++entry)
            if (entry->rfind("status(", 0) == 0) return *entry == "status(" + text + ")";
        return false;
    };
    if (!test::capAddressSpace(addressSpaceInUse() + 8 * kMiB)) return kNoAddressSpace;
    dialog.buttonClicked(ctl::kAll);
    if (!statusIs(kPreviewMemoryMessage)) return 20;
    test::liftAddressSpaceCap();
    const int previews = view.previews;
    dialog.buttonClicked(ctl::kFast);
    if (view.previews == previews || !statusIs("")) return 21;
    dialog.buttonClicked(ctl::kOk);
    return view.ended == 1 && delivered ? kCleanFailure : 22;
}

TEST(OutOfMemory, DialogReportsAFailedPreviewInItsStatusTextAndStaysUsable) {
    const test::ChildEnd end = test::runInChild(dialogUnderLimit);
    ASSERT_GE(end.exitCode, 0) << "signal " << end.signal;
    if (end.exitCode == kNoAddressSpace) GTEST_SKIP() << "cannot reserve the input";
    EXPECT_EQ(end.exitCode, kCleanFailure);
}

#else
TEST(OutOfMemory, NotUnderAddressSanitizer) {
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; RLIMIT_AS cannot apply";
}
#endif

}  // namespace
}  // namespace qorva

// The shipped plug-in's setting memories, settings files and samples, worked as a user works
// them: presses on the memory bar, the common file dialogs' own controls, the real mouse in the
// preview, and memory.ini beside the test program as a host's program folder would hold it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/expected_render.h"
#include "common/filter_host.h"
#include "persistence/settings_file.h"
#include "support/test_images.h"
#include "windows/dialog_commands.h"
#include "windows/dialog_driver.h"
#include "windows/dialog_run.h"
#include "windows/message_box_watcher.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {
namespace {

constexpr int kSaveButton = 1135, kLoadButton = 1134, kFilterButton = 1129;

// The tests share one process: every test starts without memories, here and per user.
class Memories : public ::testing::Test {
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }
    static void clean() {
        DeleteFileA(hostMemoryFile().c_str());
        if (const char* appData = std::getenv("APPDATA"))
            DeleteFileA((std::string(appData) + "\\QorvaHDR\\memory.ini").c_str());
    }
};

// The middle of memory cell i (from 0) in the bar's client coordinates.
LPARAM cellPoint(HWND bar, int index) {
    RECT r{};
    GetClientRect(bar, &r);
    return MAKELPARAM(index * r.bottom + r.bottom / 2, r.bottom / 2);
}

void press(HWND window, UINT down, UINT up, WPARAM keys, LPARAM at) {
    SendMessageA(window, down, keys, at);
    SendMessageA(window, up, 0, at);
}

std::string settingsBytes(int method, int filterMode) {
    qorva::MethodSettings m;
    qorva::ColorSettings c;
    m.method = method;
    qorva::SelectMethod(m);
    c.filterMode = filterMode;
    qorva::MemoryByteStream stream;
    qorva::storeSettings(stream, m, c);
    return std::string(stream.bytes().begin(), stream.bytes().end());
}

TEST_F(Memories, RightPressOnCellThreeStoresTheMethodAndCancelStillWritesTheFile) {
    std::uint32_t stored = 0;
    const DialogRun run = runWithDialog(photo(32, 24), [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        HWND bar = childOfClass(d.dialog(), "QorvaMemoryBar");
        if (!bar) return d.fail("no memory bar");
        press(bar, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, cellPoint(bar, 2));
        RECT place{}, client{};
        GetWindowRect(bar, &place);
        MapWindowPoints(HWND_DESKTOP, d.dialog(), reinterpret_cast<POINT*>(&place), 2);
        GetClientRect(bar, &client);
        stored = d.screenshot().rgb(place.left + 2 * client.bottom + 4, place.top + 4);
        // Posted after the bar's own notification, so the memory is written first.
        PostMessageA(d.dialog(), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(run.result, -128);
    EXPECT_EQ(stored, 0x5598E9u) << "the stored cell's colour";
    EXPECT_EQ(readFile(hostMemoryFile()),
              "[Memory 2]\r\nCreated=1\r\nMode=0\r\nBrighness=1.000000e+001\r\n"
              "Saturation=1.000000e+000\r\nVivid=1.000000e-001\r\nRadius=6.000000e+000\r\n"
              "Value=6.000000e-001\r\nSmooth=3.000000e-001\r\n\r\n");
}

TEST_F(Memories, RecallRefusesAForeignMethodTakesTheOtherAndCtrlRightPressDeletes) {
    writeFile(hostMemoryFile(),
              "[Memory 0]\r\nCreated=1\r\nMode=1\r\nMix=5.000000e-001\r\n\r\n"
              "[Memory 1]\r\nCreated=1\r\nMode=2\r\n\r\n");
    MessageBoxWatcher watcher("Qorva HDR");
    bool stillEyeCatching = false, ultraContrast = false;
    std::string rowB, mix;
    const DialogRun run = runWithDialog(photo(32, 24), [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        HWND bar = childOfClass(d.dialog(), "QorvaMemoryBar");
        if (!bar) return d.fail("no memory bar");
        press(bar, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, cellPoint(bar, 1));
        d.waitFor([&] { return !watcher.texts().empty(); }, 10000, "the refusal");
        d.waitFor([] { return noBoxTitled("Qorva HDR"); }, 10000, "the refusal to close");
        stillEyeCatching = d.checked(1009);
        press(bar, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, cellPoint(bar, 0));
        ultraContrast = d.waitFor([&] { return d.checked(1014); }, 10000, "the recall");
        rowB = d.text(1090);
        mix = d.text(1089);
        press(bar, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON | MK_CONTROL, cellPoint(bar, 1));
        PostMessageA(d.dialog(), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(watcher.texts(),
              std::vector<std::string>{"Data Not for this type of mapping (KELMOR)"});
    EXPECT_TRUE(stillEyeCatching);
    EXPECT_TRUE(ultraContrast);
    EXPECT_EQ(rowB, "Natural/Saturated");
    EXPECT_EQ(mix, "0.50");
    const std::string written = readFile(hostMemoryFile());
    EXPECT_NE(written.find("[Memory 0]"), std::string::npos) << written;
    EXPECT_EQ(written.find("[Memory 1]"), std::string::npos) << written;
}

TEST(SettingsFiles, SaveWritesTheDefaultLookIn194Bytes) {
    const std::string path = tempFile("qorva-save-test.dps");
    const DialogRun run = runWithDialog(photo(32, 24), [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        postCommand(d, kSaveButton);
        answerFileDialog(d, "Save Current Method and Color", path);
        d.waitFor([&] { return readFile(path).size() == 194; }, 10000, "the settings file");
        d.waitFor([] { return noBoxTitled("Save Current Method and Color"); }, 10000,
                  "the file dialog to close");
        dismiss("Save Current Method and Color");
        d.click(IDCANCEL);
    });
    EXPECT_NO_FAILURES(run);
    const std::string written = readFile(path);
    DeleteFileA(path.c_str());
    EXPECT_EQ(written.size(), 194u);
    EXPECT_EQ(written, settingsBytes(0, 0));
}

TEST(SettingsFiles, LoadOfACutFileShowsTheMessageAndChangesNothing) {
    const std::string path = tempFile("qorva-cut-test.dps");
    writeFile(path, settingsBytes(1, 8).substr(0, 100));
    MessageBoxWatcher watcher("Qorva HDR");
    const Document original = photo(32, 24);
    bool eyeCatching = false;
    std::string caption;
    const DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        postCommand(d, kLoadButton);
        answerFileDialog(d, "Load Method and Color", path);
        d.waitFor([&] { return !watcher.texts().empty(); }, 10000, "the message");
        d.waitFor([] { return noBoxTitled("Qorva HDR"); }, 10000, "the message to close");
        dismiss("Load Method and Color");
        eyeCatching = d.checked(1009) && !d.checked(1014);
        caption = d.text(kFilterButton);
        d.click(IDOK);
    });
    DeleteFileA(path.c_str());
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(watcher.texts(), std::vector<std::string>{
                                   "An attempt was made to access an unnamed file past its end."});
    EXPECT_TRUE(eyeCatching);
    EXPECT_EQ(caption, "Filter: Color");
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(run.output, engineFinal(original.pixels, 32, 24, defaultSettings()));
}

void mouseButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
}

void pressKey(WORD key) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

HWND visibleSample(int number) {
    const HWND sample = FindWindowA("#32770", ("Sample #" + std::to_string(number)).c_str());
    return sample && IsWindowVisible(sample) ? sample : nullptr;
}

// Pixels inside the preview that turned white (the message's text) between two screenshots.
int newlyWhite(const Screenshot& before, const Screenshot& after, const RECT& preview) {
    int count = 0;
    for (int y = preview.top; y < preview.bottom; ++y)
        for (int x = preview.left; x < preview.right; ++x)
            count += after.rgb(x, y) == 0xFFFFFFu && before.rgb(x, y) != 0xFFFFFFu;
    return count;
}

TEST_F(Memories, APressInThePreviewTakesASampleThatHangsOnThePointerAndASecondOnlyTheMessage) {
    HWND sample = nullptr, owner = nullptr;
    int movedBy = 0, pointerMoved = 0, whiteText = 0;
    bool secondSample = true;
    const DialogRun run = runWithDialog(photo(64, 48), [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        SetForegroundWindow(d.dialog());
        RECT dialog{}, preview{};
        GetWindowRect(d.dialog(), &dialog);
        GetWindowRect(d.preview(), &preview);
        POINT at{(preview.left + preview.right) / 2, (preview.top + preview.bottom) / 2};
        SetCursorPos(at.x, at.y);
        d.screenshot();  // settles the pointer
        mouseButton(MOUSEEVENTF_LEFTDOWN);
        if (!d.waitFor([&] { return (sample = visibleSample(1)) != nullptr; }, 10000, "Sample #1"))
            return mouseButton(MOUSEEVENTF_LEFTUP);
        owner = GetWindow(sample, GW_OWNER);
        d.screenshot();  // the drag has begun
        RECT taken{};
        GetWindowRect(sample, &taken);
        // Dragged off the dialog to its right, dropped by the release.
        const int target = dialog.right + 60 + (taken.right - taken.left) / 2;
        for (int step = 1; step <= 8; ++step) {
            SetCursorPos(at.x + (target - at.x) * step / 8, at.y);
            d.screenshot();
        }
        mouseButton(MOUSEEVENTF_LEFTUP);
        d.screenshot();
        RECT dropped{};
        GetWindowRect(sample, &dropped);
        movedBy = dropped.left - taken.left;
        pointerMoved = target - at.x;

        const RECT area = d.clientRectOf(kPreviewId);
        const Screenshot before = d.screenshot();
        RECT client{};
        GetClientRect(d.preview(), &client);
        press(d.preview(), WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON,
              MAKELPARAM(client.right / 2, client.bottom / 2));
        whiteText = newlyWhite(before, d.screenshot(), area);
        secondSample = visibleSample(2) != nullptr;
        d.click(IDCANCEL);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_NE(sample, nullptr);
    EXPECT_NE(owner, nullptr);
    EXPECT_NEAR(movedBy, pointerMoved, 2) << "the sample follows the pointer until the release";
    EXPECT_FALSE(secondSample);
    EXPECT_GT(whiteText, 20) << "the \"Same data\" message over the preview";
    EXPECT_FALSE(IsWindow(sample)) << "the sample closes with the dialog";
}

TEST_F(Memories, APressOnASampleAfterAFilterChangeRestoresItsLookAndEscapeClosesIt) {
    const std::string path = tempFile("qorva-sepia-test.dps");
    writeFile(path, settingsBytes(1, 8));
    std::string loadedCaption, restoredCaption;
    bool restoredMethod = false, closedByEscape = false;
    const DialogRun run = runWithDialog(photo(48, 36), [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        RECT client{};
        GetClientRect(d.preview(), &client);
        press(d.preview(), WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON,
              MAKELPARAM(client.right / 2, client.bottom / 2));
        HWND sample = nullptr;
        if (!d.waitFor([&] { return (sample = visibleSample(1)) != nullptr; }, 10000, "Sample #1"))
            return d.click(IDCANCEL);
        postCommand(d, kLoadButton);
        answerFileDialog(d, "Load Method and Color", path);
        d.waitFor([&] { return d.text(kFilterButton) == "Filter: Sepia"; }, 10000,
                  "the loaded filter");
        dismiss("Load Method and Color");
        loadedCaption = d.text(kFilterButton);
        HWND view = GetDlgItem(sample, kPreviewId);
        RECT viewClient{};
        GetClientRect(view, &viewClient);
        // The load ends with the chooser opened and closed again by a fast preview; a press
        // that arrives while that still runs is not taken, as any input during a render.
        d.waitFor(
            [&] {
                press(view, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON,
                      MAKELPARAM(viewClient.right / 2, viewClient.bottom / 2));
                return d.text(kFilterButton) == "Filter: Color";
            },
            10000, "the sample's look back");
        restoredCaption = d.text(kFilterButton);
        restoredMethod = d.checked(1009) && !d.checked(1014);
        SetForegroundWindow(sample);
        d.screenshot();
        if (const char* path = std::getenv("QORVA_SAMPLE_SCREENSHOT"))
            windowScreenshot(sample).saveBmp(path);
        pressKey(VK_ESCAPE);
        closedByEscape = d.waitFor([&] { return !IsWindow(sample); }, 5000, "Escape to close");
        d.click(IDCANCEL);
    });
    DeleteFileA(path.c_str());
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(loadedCaption, "Filter: Sepia");
    EXPECT_EQ(restoredCaption, "Filter: Color");
    EXPECT_TRUE(restoredMethod);
    EXPECT_TRUE(closedByEscape);
}

}  // namespace
}  // namespace host

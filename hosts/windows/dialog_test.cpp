// The shipped plug-in's dialog, worked from outside as a user works it: by window messages and
// the real mouse, with the result compared to what the engine (and so the command-line tool)
// makes of the same image and settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/expected_render.h"
#include "common/filter_host.h"
#include "support/test_images.h"
#include "windows/dialog_driver.h"
#include "windows/dialog_run.h"
#include "windows/message_box_watcher.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {
namespace {

const char* const kProfileKey = "Software\\QorvaHDR\\Settings";

TEST(Dialog, OpensOwnedByTheHostWindowShowsTheFirstPreviewAndCancels) {
    HWND hostWindow = CreateWindowExA(0, "STATIC", "host document", WS_POPUP | WS_VISIBLE, 0, 0,
                                      800, 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hostWindow, nullptr);
    const Document original = photo(64, 48);
    HWND owner = nullptr;
    std::string statusAtStart;
    std::uint32_t distinctColours = 0;
    DialogRun run = runWithDialog(original,
                                  [&](DialogDriver& d) {
                                      owner = GetWindow(d.dialog(), GW_OWNER);
                                      statusAtStart = d.previewStatus();
                                      if (!d.waitForFirstPreview()) return;
                                      // The photo is on screen: a generated photograph has many
                                      // colours, the empty preview one.
                                      const Screenshot shot = d.screenshot();
                                      const RECT p = d.clientRectOf(kPreviewId);
                                      std::vector<std::uint32_t> seen;
                                      for (int y = p.top; y < p.bottom; y += 3)
                                          for (int x = p.left; x < p.right; x += 3) {
                                              const std::uint32_t c = shot.rgb(x, y);
                                              bool known = false;
                                              for (std::uint32_t s : seen) known = known || s == c;
                                              if (!known && seen.size() < 64) seen.push_back(c);
                                          }
                                      distinctColours = static_cast<std::uint32_t>(seen.size());
                                      d.click(IDCANCEL);
                                  },
                                  {.window = reinterpret_cast<std::intptr_t>(hostWindow)});
    DestroyWindow(hostWindow);
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(owner, hostWindow);
    // Read so early that the start-up timer may already have run: either text is fine, but
    // never anything else.
    EXPECT_TRUE(statusAtStart == "Preparing Data, Please Wait..." || statusAtStart.empty())
        << statusAtStart;
    EXPECT_GT(distinctColours, 16u);
    EXPECT_EQ(run.result, -128);
    EXPECT_EQ(run.output, original.pixels);
    for (std::uint8_t b : run.outBuffer) ASSERT_EQ(b, kOutSentinel);
}

TEST(Dialog, OkOnTheDefaultsWritesTheEnginesFinalRender) {
    const Document original = photo(48, 32);
    DialogRun run = runWithDialog(original, confirmOnceShown);
    EXPECT_NO_FAILURES(run);
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(run.output, engineFinal(original.pixels, 48, 32, defaultSettings()));
}

TEST(Dialog, UltraContrastRelabelsTheRowsAndRendersWithItsDefaults) {
    const Document original = photo(40, 30);
    std::string rowB, rowA;
    bool rowAEnabled = true, rowFVisible = false;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.click(1014);
        rowA = d.text(1085);
        rowB = d.text(1090);
        rowAEnabled = d.enabled(1087) || d.enabled(1086);
        rowFVisible = d.visible(1117);
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(rowA, "Brightness");
    EXPECT_EQ(rowB, "Natural/Saturated");
    EXPECT_FALSE(rowAEnabled);
    EXPECT_TRUE(rowFVisible);
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(run.output, engineFinal(original.pixels, 40, 30, methodDefaults(1)));
}

TEST(Dialog, SlidersShowTheirValueInTheEditAndTheRenderUsesIt) {
    const Document original = photo(40, 30);
    std::string strength, gamma;
    int gammaPosition = 0;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.key(1103, VK_RIGHT);  // Dramatic Light Strength 0.60 -> 0.61
        strength = d.text(1104);
        // The gamma slider follows the drag relatively: a drag to the right raises it.
        RECT r;
        GetClientRect(d.item(1094), &r);
        d.mouseDrag(1094, r.right / 2, r.right / 2 + r.right / 4);
        gamma = d.text(1095);
        gammaPosition = d.sliderPosition(1094);
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(strength, "0.61");
    EXPECT_GT(gammaPosition, 100);
    char expectedGamma[16];
    std::snprintf(expectedGamma, sizeof expectedGamma, "%d.%02d", gammaPosition / 100,
                  gammaPosition % 100);
    EXPECT_EQ(gamma, expectedGamma);
    ASSERT_EQ(run.result, 0);
    QorvaScriptedSettings settings = defaultSettings();
    settings.values[3] = 0.61;
    settings.gammaPosition = gammaPosition;
    EXPECT_EQ(run.output, engineFinal(original.pixels, 40, 30, settings));
}

TEST(Dialog, TypedNumberMovesItsSliderAndTextThatIsNoNumberIsRefused) {
    const Document original = photo(32, 24);
    MessageBoxWatcher watcher("Qorva HDR");
    int radiusPosition = 0;
    bool focusInEdit = false;
    bool stillOpen = false;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.focus(1092);
        d.setEditText(1092, "9.5");
        d.focus(1103);  // leaving the edit applies it
        radiusPosition = d.sliderPosition(1091);
        d.setEditText(1104, "abc");
        d.click(1102);  // Fast: the exchange refuses the edit
        focusInEdit =
            GetFocus() == d.item(1104) ||
            d.waitFor(
                [&] {
                    GUITHREADINFO info{};
                    info.cbSize = sizeof(info);
                    GetGUIThreadInfo(GetWindowThreadProcessId(d.dialog(), nullptr), &info);
                    return info.hwndFocus == d.item(1104);
                },
                2000, "the focus in the refused edit");
        d.click(IDOK);  // refused again: the dialog stays open
        stillOpen = IsWindowVisible(d.dialog()) != FALSE;
        d.setEditText(1104, "0.6");
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(radiusPosition, 95);
    EXPECT_TRUE(focusInEdit);
    EXPECT_TRUE(stillOpen);
    const std::vector<std::string> texts = watcher.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Please enter a number.");
    ASSERT_EQ(run.result, 0);
    QorvaScriptedSettings settings = defaultSettings();
    settings.values[2] = 9.5;
    EXPECT_EQ(run.output, engineFinal(original.pixels, 32, 24, settings));
}

TEST(Dialog, ClarityIsWrittenToTheProfileAtOnce) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QorvaHDR");
    const Document original = photo(32, 24);
    DWORD afterOn = 7, afterOff = 7;
    const auto read = [](DWORD* value) {
        DWORD size = sizeof(*value);
        RegGetValueA(HKEY_CURRENT_USER, kProfileKey, "Clarity", RRF_RT_REG_DWORD, nullptr, value,
                     &size);
    };
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        d.click(1021);
        read(&afterOn);
        d.click(1021);
        read(&afterOff);
        d.click(1021);
        d.click(IDOK);
    });
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QorvaHDR");
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(afterOn, 1u);
    EXPECT_EQ(afterOff, 0u);
    ASSERT_EQ(run.result, 0);
    QorvaScriptedSettings settings = defaultSettings();
    settings.clarityOn = 1;
    EXPECT_EQ(run.output, engineFinal(original.pixels, 32, 24, settings));
}

TEST(Dialog, RealMouseChoosesTheMethodAndDragsASlider) {
    const Document original = photo(48, 36);
    std::string rowB, strengthBefore, strengthAfter;
    int strength = 0;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        SetForegroundWindow(d.dialog());
        RECT radio;
        GetClientRect(d.item(1014), &radio);
        d.realClick(1014, 6, radio.bottom / 2);
        rowB = d.text(1090);
        RECT slider;
        GetClientRect(d.item(1103), &slider);
        strengthBefore = d.text(1104);
        d.realDrag(1103, slider.right / 2, slider.right / 4, slider.bottom / 2);
        strengthAfter = d.text(1104);
        strength = d.sliderPosition(1103);
        d.realClick(IDOK, 5, 5);
    });
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(rowB, "Natural/Saturated");
    EXPECT_NE(strengthBefore, strengthAfter);
    ASSERT_EQ(run.result, 0);
    QorvaScriptedSettings settings = methodDefaults(1);
    settings.values[3] = strength / 100.0;
    EXPECT_EQ(run.output, engineFinal(original.pixels, 48, 36, settings));
}

TEST(Dialog, LooksAsDesignedOnScreen) {
    const Document original = photo(64, 48);
    Screenshot shot;
    RECT client{}, window{};
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        shot = d.screenshot();
        GetClientRect(d.dialog(), &client);
        GetWindowRect(d.dialog(), &window);
        if (const char* path = std::getenv("QORVA_DIALOG_SCREENSHOT")) shot.saveBmp(path);
        d.click(IDCANCEL);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_GT(shot.width, 0);
    // No platform frame is left around the client area.
    EXPECT_EQ(window.right - window.left, client.right);
    const int w = client.right, h = client.bottom;
    EXPECT_EQ(shot.rgb(0, h / 2), 0x000000u) << "outer frame";
    EXPECT_EQ(shot.rgb(3, h / 2), 0x505564u) << "background";
    EXPECT_EQ(shot.rgb(12, 10), 0x353B49u) << "caption band";
    EXPECT_EQ(shot.rgb(w / 2, 33), 0x848A96u) << "content panel";
    EXPECT_EQ(shot.rgb(w - 3, h - 20), 0x505564u) << "bottom bar";
    // The close box's X, idle.
    bool closeX = false;
    for (int y = 4; y < 16; ++y)
        for (int x = w - 20; x < w - 5; ++x) closeX = closeX || shot.rgb(x, y) == 0xD9DCE2u;
    EXPECT_TRUE(closeX);
}

// What the dialog must look like at any DPI: the frame's lengths scale with it, the bottom row
// sits on its line, no two controls overlap, and OK writes the same bytes.
void checkLayoutAtThisDpi(int expectedDpi) {
    const Document original = photo(40, 30);
    Screenshot shot;
    RECT client{}, ok{};
    std::vector<std::pair<int, RECT>> shown;
    int dpi = 0;
    DialogRun run = runWithDialog(original, [&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        shot = d.screenshot();
        if (const char* path = std::getenv("QORVA_DIALOG_SCREENSHOT"))
            shot.saveBmp(std::string(path) + "." + std::to_string(dpi) + ".bmp");
        GetClientRect(d.dialog(), &client);
        ok = d.clientRectOf(IDOK);
        for (HWND c = GetWindow(d.dialog(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (!IsWindowVisible(c)) continue;
            RECT r;
            GetWindowRect(c, &r);
            MapWindowPoints(HWND_DESKTOP, d.dialog(), reinterpret_cast<POINT*>(&r), 2);
            shown.emplace_back(GetDlgCtrlID(c), r);
        }
        d.click(IDOK);
    });
    EXPECT_NO_FAILURES(run);
    ASSERT_EQ(dpi, expectedDpi);
    const double scale = dpi / 96.0;
    const auto px = [scale](int length) { return static_cast<int>(length * scale + 0.5); };
    EXPECT_EQ(shot.rgb(12, px(20) - 2), 0x353B49u) << "caption band reaches down to 20 px";
    EXPECT_NE(shot.rgb(12, px(27) + 2), 0x353B49u) << "and not much further";
    bool closeX = false;
    for (int y = px(4); y < px(16); ++y)
        for (int x = client.right - px(20); x < client.right - px(5); ++x)
            closeX = closeX || shot.rgb(x, y) == 0xD9DCE2u;
    EXPECT_TRUE(closeX) << "close box";
    EXPECT_NEAR((ok.top + ok.bottom) / 2.0, client.bottom - px(19), 2.0) << "bottom line";
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &shown[i].second, &shown[j].second))
                << shown[i].first << " overlaps " << shown[j].first;
        }
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(run.output, engineFinal(original.pixels, 40, 30, defaultSettings()));
}

TEST(Dialog, LayoutHoldsAt96Dpi) {
    if (std::getenv("QORVA_DPI_CHILD")) GTEST_SKIP() << "run by the parent process";
    checkLayoutAtThisDpi(96);
}

// Wine takes the display's DPI from the registry when a process starts, so each DPI is checked
// in a child process of this program.
TEST(Dialog, LayoutScalesAt150And200Percent) {
    if (const char* child = std::getenv("QORVA_DPI_CHILD")) {
        checkLayoutAtThisDpi(std::atoi(child));
        return;
    }
    const char* const desktop = "Control Panel\\Desktop";
    DWORD previous = 0, size = sizeof(previous);
    const bool hadValue = RegGetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", RRF_RT_REG_DWORD,
                                       nullptr, &previous, &size) == ERROR_SUCCESS;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    for (DWORD dpi : {144u, 192u}) {
        SCOPED_TRACE(dpi);
        ASSERT_EQ(
            RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &dpi, sizeof(dpi)),
            ERROR_SUCCESS);
        SetEnvironmentVariableA("QORVA_DPI_CHILD", std::to_string(dpi).c_str());
        std::string command = std::string("\"") + self + "\" --plugin \"" + testFiles().plugin +
                              "\" --scripted \"" + testFiles().scripted +
                              "\" --gtest_filter=Dialog.LayoutScalesAt150And200Percent";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                            nullptr, nullptr, &startup, &process);
        SetEnvironmentVariableA("QORVA_DPI_CHILD", nullptr);
        DWORD code = 99;
        if (started) {
            WaitForSingleObject(process.hProcess, 300000);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        EXPECT_TRUE(started);
        EXPECT_EQ(code, 0u) << "the check at " << dpi << " DPI failed (its output is above)";
    }
    if (hadValue) {
        RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &previous,
                        sizeof(previous));
    } else {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    }
}

// Hosts load a plug-in for a run and unload it afterwards; nothing of a run (window classes,
// timers, GDI objects) may stay behind in the unloaded file.
TEST(Dialog, FiftyOpenConfirmUnloadRounds) {
    const Document original = photo(16, 12);
    const auto expected = engineFinal(original.pixels, 16, 12, defaultSettings());
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int round = 0; round < 50; ++round) {
        DialogRun run = runWithDialog(original, confirmOnceShown);
        ASSERT_TRUE(run.failures.empty()) << round << ": " << run.failures.front();
        ASSERT_EQ(run.result, 0) << round;
        ASSERT_EQ(run.output, expected) << round;
    }
    // A little slack for what the system itself caches on first use.
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + 8);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore + 8);
}

}  // namespace
}  // namespace host

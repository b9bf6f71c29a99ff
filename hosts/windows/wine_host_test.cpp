// What only a Windows host can check: the plug-in files as real hosts load them, their
// property lists, the Win32 services (message boxes, registry, host folder) and repeated
// loading and unloading.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/expected_pipl.h"
#include "common/expected_render.h"
#include "common/filter_host.h"
#include "support/test_images.h"
#include "windows/dialog_driver.h"
#include "windows/message_box_watcher.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {
namespace {

const char* const kProfileKey = "Software\\QorvaHDR\\Settings";

Document photo(int width, int height) {
    return Document{width, height, 3, qorva::test::makePhotoLikeImage(width, height, 3)};
}

void expectWellFormedList(const std::vector<std::uint8_t>& bytes, const char (&entryKey)[5]) {
    PiplList careful, literal;
    ASSERT_TRUE(parsePipl(bytes, true, careful));
    ASSERT_TRUE(parsePipl(bytes, false, literal));
    EXPECT_EQ(careful.resourceVersion, 1);
    EXPECT_EQ(careful.listVersion, 0);
    EXPECT_EQ(careful.consumed, bytes.size());
    EXPECT_EQ(literal.consumed, bytes.size());
    ASSERT_EQ(careful.properties.size(), 6u);
    ASSERT_EQ(literal.properties.size(), 6u);
    const std::uint32_t keys[] = {fourcc("kind"), fourcc("name"),   fourcc("catg"),
                                  fourcc("vers"), fourcc(entryKey), fourcc("enbl")};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(careful.properties[i].vendor, fourcc("8BIM"));
        EXPECT_EQ(careful.properties[i].key, keys[i]);
        EXPECT_EQ(careful.properties[i].data, literal.properties[i].data);
    }
}

TEST(WindowsHost, SixtyFourBitFilesCarryTheirListUnder8664) {
    for (const std::string& file : {testFiles().plugin, testFiles().scripted}) {
        SCOPED_TRACE(file);
        PluginLibrary library(windowsPath(file));
        ASSERT_TRUE(library.loaded());
        ASSERT_EQ(library.piplIds(), std::vector<std::uintptr_t>{16000});
        EXPECT_EQ(library.piplLanguages(16000), std::vector<WORD>{1033});
        const std::vector<std::uint8_t> bytes = library.piplBytes(16000);
        EXPECT_EQ(bytes, expectedPipl("8664"));
        expectWellFormedList(bytes, "8664");
        EXPECT_NE(library.entry(), nullptr);
    }
}

TEST(WindowsHost, ThirtyTwoBitFileCarriesTheSameListUnderWx86) {
    if (testFiles().plugin32.empty()) GTEST_SKIP() << "no 32-bit plug-in given";
    PluginLibrary library(windowsPath(testFiles().plugin32), true);
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library.piplIds(), std::vector<std::uintptr_t>{16000});
    const std::vector<std::uint8_t> bytes = library.piplBytes(16000);
    EXPECT_EQ(bytes, expectedPipl("wx86"));
    expectWellFormedList(bytes, "wx86");
}

TEST(WindowsHost, MessagesAppearInBoxesTitledWithTheApplicationsName) {
    PluginLibrary library(windowsPath(testFiles().plugin));
    const PluginEntry entry = library.entry();
    ASSERT_NE(entry, nullptr);
    MessageBoxWatcher watcher("Qorva HDR");
    FilterHost gray(entry, photo(8, 8), {.imageMode = 1});
    EXPECT_EQ(gray.call(3), 0);
    EXPECT_EQ(callAbout(entry), 0);
    FilterHost refused(entry, photo(8, 8), {.advanceResult = -1});
    EXPECT_EQ(refused.call(3), 0);
    EXPECT_EQ(watcher.texts(),
              (std::vector<std::string>{"This plugin supports only RGB mode", "About!", "Error"}));
}

TEST(WindowsHost, ClarityAndDehazeSwitchesComeFromTheProfile) {
    const DWORD on = 1;
    ASSERT_EQ(
        RegSetKeyValueA(HKEY_CURRENT_USER, kProfileKey, "Clarity", REG_DWORD, &on, sizeof(on)),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kProfileKey, "Haze", REG_DWORD, &on, sizeof(on)),
              ERROR_SUCCESS);
    PluginLibrary library(windowsPath(testFiles().plugin));
    const Document original = photo(40, 30);
    FilterHost run(library.entry(), original);
    bool boxesChecked = false;
    DialogDriver driver([&](DialogDriver& d) {
        if (!d.waitForFirstPreview()) return;
        boxesChecked = d.checked(1021) && d.checked(1023);
        d.click(IDOK);
    });
    const std::int16_t result = run.runFilter();
    for (const std::string& failure : driver.finish()) ADD_FAILURE() << failure;
    EXPECT_TRUE(boxesChecked);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QorvaHDR");
    ASSERT_EQ(result, 0);
    QorvaScriptedSettings settings = defaultSettings();
    settings.clarityOn = settings.dehazeOn = 1;
    EXPECT_EQ(run.document().pixels, engineFinal(original.pixels, 40, 30, settings));
}

TEST(WindowsHost, DialogLearnsTheHostApplicationsFolder) {
    PluginLibrary library(windowsPath(testFiles().scripted));
    const auto install = library.function<QorvaInstallTestHooksFn>("QorvaInstallTestHooks");
    ASSERT_NE(install, nullptr);
    std::string seen;
    QorvaTestHooks hooks{[](void* user, QorvaDialogScript* script) {
                             *static_cast<std::string*>(user) = script->hostFolder;
                             script->confirm = 0;
                         },
                         nullptr, &seen};
    install(&hooks);
    FilterHost run(library.entry(), photo(4, 4));
    EXPECT_EQ(run.call(3), -128);
    install(nullptr);

    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string folder = exe;
    folder.resize(folder.find_last_of('\\') + 1);
    EXPECT_EQ(seen, folder);
}

}  // namespace
}  // namespace host

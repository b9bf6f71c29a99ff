#include "persistence/memory_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "persistence/memory_location.h"
#include "support/ini_entries.h"
#include "support/temp_folder.h"
#include "ui/model/memory_bar_model.h"

namespace qorva {
namespace {

using test::entries;

void selectMethod(MethodSettings& settings, int id) {
    settings.method = id;
    SelectMethod(settings);
}

TEST(MemoryStore, KeysInMemoryOrder) {
    struct Case {
        int id;
        std::vector<std::string> keys;
    } cases[] = {
        {-1, {"PLcontrast", "PLcolor", "PLgamma"}},
        {0, {"Brighness", "Saturation", "Vivid", "Radius", "Value", "Smooth"}},
        {1, {"Mix", "Brighness", "Vivid", "Radius", "Value", "Smooth"}},
        {4, {"Brighness", "Saturation", "Sharpness", "Vivid"}},
    };
    for (const Case& c : cases) {
        const std::vector<const char*> keys = memoryKeys(c.id);
        EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.end()), c.keys) << c.id;
    }
}

// Store under a method through the bar, write the file, read it into a fresh dialog, recall.
TEST(MemoryStore, RoundTripThroughTheFileForEveryDisplayedMethod) {
    for (int id : {-1, 0, 1}) {
        test::TempFolder folder;
        const MemoryFileLocation location{memoryFilePath(folder.path()), {}};
        MethodSettings before;
        selectMethod(before, id);
        before.valueA = 0.37;
        before.valueB = 0.91;
        before.valueC = 7.0;
        before.valueD = 0.44;
        before.valueE = 0.05;
        before.valueF = 0.62;
        before.setGamma(1.3);
        {
            MemoryBarModel bar;
            bar.setClientSize(110, 11);
            ASSERT_EQ(bar.rightButtonDown(3 * 11 + 5, false), MemoryBarAction::Store);
            StoreToMemory(bar.store(), before);
            ASSERT_TRUE(saveMemoryFile(bar.store(), location));
        }
        MemoryBarModel bar;
        bar.setClientSize(110, 11);
        ASSERT_TRUE(loadMemoryFile(bar.store(), location));
        ASSERT_EQ(bar.leftButtonDown(3 * 11, false, false), MemoryBarAction::Recall);
        MethodSettings after;
        EXPECT_EQ(LoadFromMemory(bar.store(), after), "");
        EXPECT_EQ(after.method, id);
        EXPECT_EQ(after.storedFor(id), before.storedFor(id)) << id;
        EXPECT_EQ(after.valueA, 0.37);
        EXPECT_EQ(after.valueB, 0.91);
        EXPECT_EQ(after.gamma, 1.0);  // memories never carry the dialog's gamma
    }
}

TEST(MemoryStore, FileTextOfMethodOne) {
    MethodSettings settings;
    selectMethod(settings, 1);
    IniStore store;
    store.setCurrentSection(memorySectionName(0));
    store.SetValue("Memory 0", "Created", "1", true);
    StoreToMemory(store, settings);
    EXPECT_EQ(store.SaveText(),
              "[Memory 0]\r\nCreated=1\r\nMode=1\r\nMix=1.000000e+000\r\n"
              "Brighness=2.500000e+001\r\nVivid=0.000000e+000\r\nRadius=5.000000e+000\r\n"
              "Value=6.000000e-001\r\nSmooth=2.500000e-001\r\n\r\n");
}

TEST(MemoryStore, TwoMethodsInOneMemoryKeepBothAndRecallTheLast) {
    IniStore store;
    store.setCurrentSection("Memory 1");
    MethodSettings settings;
    settings.valueB = 0.33;
    StoreToMemory(store, settings);
    selectMethod(settings, 1);
    settings.valueB = 0.66;
    StoreToMemory(store, settings);
    EXPECT_EQ(entries(store, "Memory 1"),
              "Mode=1|Brighness=2.500000e+001|Saturation=3.300000e-001|Vivid=0.000000e+000|"
              "Radius=5.000000e+000|Value=6.000000e-001|Smooth=2.500000e-001|"
              "Mix=6.600000e-001|");

    MethodSettings recalled;
    EXPECT_EQ(LoadFromMemory(store, recalled), "");
    EXPECT_EQ(recalled.method, 1);
    EXPECT_EQ(recalled.valueB, 0.66);
    EXPECT_EQ(recalled.valueA, 25.0);
}

TEST(MemoryStore, RecallRules) {
    struct Case {
        const char* what;
        const char* section;
        int method;           // after the recall
        double valueB;        // after the recall
        const char* message;  // returned
    } cases[] = {
        {"foreign method refused", "Mode=2\nSaturation=0.1\n", 1, 0.4, kForeignMemoryMessage},
        {"id below -1 refused", "Mode=-5\n", 1, 0.4, kForeignMemoryMessage},
        {"no Mode is method 0", "Saturation=0.2\n", 0, 0.2, ""},
        {"missing entry keeps the stored value", "Mode=0\nBrighness=12\n", 0, 0.8, ""},
        {"stored-only method", "Mode=-1\nPLcolor=2.5\n", -1, 2.5, ""},
        // A value too large for a number reads as infinite and is refused like a settings file
        // holding it; a finite one beyond the slider's range is what an edit box may hold.
        {"overflowing value refused", "Mode=0\nSaturation=1e999\n", 1, 0.4, kUnusableMemoryMessage},
        {"negative overflow refused", "Mode=0\nRadius=-1e999\n", 1, 0.4, kUnusableMemoryMessage},
        {"finite value beyond the slider kept", "Mode=0\nSaturation=1e300\n", 0, 1e300, ""},
    };
    for (const Case& c : cases) {
        MethodSettings settings;
        selectMethod(settings, 1);
        settings.storedFor(0)[1] = 0.8;  // stored, not displayed
        settings.valueB = 0.4;
        IniStore store;
        store.LoadText(std::string("[Memory 4]\n") + c.section);
        store.setCurrentSection("Memory 4");
        EXPECT_EQ(LoadFromMemory(store, settings), c.message) << c.what;
        EXPECT_EQ(settings.method, c.method) << c.what;
        EXPECT_EQ(settings.valueB, c.valueB) << c.what;
    }
}

TEST(MemoryFile, MemoriesBeyondTheBarAndDeletionsSurviveAClose) {
    test::TempFolder folder;
    const MemoryFileLocation location{memoryFilePath(folder.path()), {}};
    test::writeFile(location.hostPath,
                    "[Memory 1]\r\nCreated=1\r\nMode=0\r\n\r\n"
                    "[Memory 14]\r\nCreated=1\r\nMode=1\r\nMix=5.000000e-001\r\n\r\n");
    {
        MemoryBarModel bar;
        bar.setClientSize(110, 11);
        ASSERT_TRUE(loadMemoryFile(bar.store(), location));
        EXPECT_EQ(bar.cellAt(14 * 11), -1);
        bar.rightButtonDown(11, true);  // delete memory 1
        bar.buttonUp();
        bar.rightButtonDown(0, false);
        MethodSettings settings;
        StoreToMemory(bar.store(), settings);
        // The dialog was cancelled: the bar still writes what happened while it was open.
        ASSERT_TRUE(saveMemoryFile(bar.store(), location));
    }
    const std::string text = test::readFile(location.hostPath);
    EXPECT_EQ(text.find("[Memory 1]"), std::string::npos);
    EXPECT_NE(text.find("[Memory 14]\r\nCreated=1\r\nMode=1\r\nMix=5.000000e-001\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[Memory 0]\r\nCreated=1\r\nMode=0\r\nBrighness="), std::string::npos);
}

TEST(MemoryFile, UnwritableHostFolderFallsBackToTheUserFolder) {
    test::TempFolder folder;
    test::writeFile(folder.file("host"), "not a folder");
    // A host "folder" that is a file can never be written, whoever runs the test.
    const FixedMemoryFolders folders(folder.file("host"), folder.file("user/qorvahdr"));
    const MemoryFileLocation location = memoryFileLocation(folders);
    {
        IniStore store;
        EXPECT_FALSE(loadMemoryFile(store, location));
        store.SetValue("Memory 0", "Created", "1", true);
        ASSERT_TRUE(saveMemoryFile(store, location));
    }
    EXPECT_EQ(test::readFile(folder.file("user/qorvahdr/memory.ini")),
              "[Memory 0]\r\nCreated=1\r\n\r\n");
    IniStore next;
    ASSERT_TRUE(loadMemoryFile(next, location));
    EXPECT_EQ(next.FindSection("Memory 0"), 0);
}

TEST(MemoryFile, HostFileReadAndNewestWins) {
    test::TempFolder folder;
    std::filesystem::create_directory(folder.file("host"));
    const FixedMemoryFolders folders(folder.file("host"), folder.file("user"));
    const MemoryFileLocation location = memoryFileLocation(folders);
    test::writeFile(location.hostPath, "[Memory 7]\r\nCreated=1\r\n\r\n");
    IniStore store;
    ASSERT_TRUE(loadMemoryFile(store, location));
    EXPECT_EQ(store.FindSection("Memory 7"), 0);

    // A per-user file written later (the host folder was read-only then) is the newer record.
    std::filesystem::create_directory(folder.file("user"));
    test::writeFile(location.userPath, "[Memory 8]\r\nCreated=1\r\n\r\n");
    std::filesystem::last_write_time(
        location.hostPath,
        std::filesystem::last_write_time(location.userPath) - std::chrono::hours(1));
    IniStore newer;
    ASSERT_TRUE(loadMemoryFile(newer, location));
    EXPECT_EQ(newer.FindSection("Memory 7"), -1);
    EXPECT_EQ(newer.FindSection("Memory 8"), 0);

    // Once the host folder takes the file again, the per-user copy goes.
    ASSERT_TRUE(saveMemoryFile(newer, location));
    EXPECT_FALSE(std::filesystem::exists(location.userPath));
    EXPECT_EQ(newer.path(), location.hostPath);
}

TEST(MemoryFile, FolderOfModulePath) {
#ifdef _WIN32
    EXPECT_EQ(folderOfModulePath("C:\\Hosts\\Editor\\editor.exe"), "C:\\Hosts\\Editor");
    EXPECT_EQ(memoryFilePath("C:\\Hosts"), "C:\\Hosts\\memory.ini");
#else
    EXPECT_EQ(folderOfModulePath("/opt/editor/bin/editor"), "/opt/editor/bin");
    EXPECT_EQ(memoryFilePath("/opt/editor"), "/opt/editor/memory.ini");
#endif
    EXPECT_EQ(folderOfModulePath("editor.exe"), "editor.exe");
    EXPECT_EQ(memoryFilePath(""), "");
    EXPECT_FALSE(ProcessMemoryFolders().hostFolder().empty());
}

}  // namespace
}  // namespace qorva

// Files the plug-in reads were written by someone else: a memory.ini edited by hand or by
// another program, a .dps file cut short by a full disk or not a settings file at all. Any of
// them must load without a fault, and nothing the user already has on disk may be lost
// because a folder or a file could not be written or read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "persistence/ini_store.h"
#include "persistence/memory_location.h"
#include "persistence/memory_store.h"
#include "persistence/settings_file.h"
#include "support/temp_folder.h"

namespace qorva {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

std::string randomBytes(std::mt19937& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string memorySection(int index) {
    // Appended piece by piece: GCC 12 warns falsely about a literal on the left of operator+.
    std::string text(1, '[');
    return text + memorySectionName(index) +
           "]\r\nCreated=1\r\nMode=0\r\nBrighness=1.200000e+001\r\nSaturation=5.000000e-001\r\n"
           "Vivid=1.000000e-001\r\nRadius=6.000000e+000\r\nValue=6.000000e-001\r\n"
           "Smooth=3.000000e-001\r\n\r\n";
}

// memory.ini contents that no dialog writes. Each must load, recall every section (or refuse
// it), and save to a text that loads back to the same store.
TEST(HostileMemoryFile, AnyContentLoadsRecallsAndSavesStably) {
    std::mt19937 random(2024);
    std::string manySections;
    for (int i = 0; i < 10000; ++i) manySections += memorySection(i);
    std::string longLine("[Memory 0]\nMode=1\nRadius=");
    longLine += std::string(100000, '7');
    longLine += '\n';
    longLine += std::string(100000, 'x');
    longLine += '=';
    longLine += std::string(100000, ';');
    longLine += "\n[";
    longLine += std::string(100000, '[');
    longLine += "]\n";
    static constexpr char kWithNul[] =
        "[Memory\0 1]\nMode\0=1\nMix=0.\0"
        "5\n\0\0\n";
    const std::string withNul(kWithNul, sizeof kWithNul - 1);
    const std::string badUtf8 =
        "[Memory 2\xFF]\nMode=\xC0\x80"
        "1\n\xE2\x82=\xF0\x9F\x98\n[\xED\xA0\x80]\nRadius=\xC3\n";
    const std::string crOnly = memorySection(3);
    std::string crOnlyEnds;
    for (char c : crOnly)
        if (c != '\n') crOnlyEnds += c;

    struct Case {
        const char* what;
        std::string text;
        int sections;  // expected count, or -1 when any
    } cases[] = {
        {"10 000 sections", manySections, 10000},
        {"100 000-character lines", longLine, -1},
        {"NUL bytes", withNul, -1},
        {"invalid UTF-8", badUtf8, -1},
        {"CR-only line ends", crOnlyEnds, 1},  // one long line: a single entry
        {"random bytes", randomBytes(random, 65536), -1},
        {"empty", "", 0},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        const std::string path = folder.file("memory.ini");
        writeFile(path, c.text);
        IniStore store;
        store.SetPath(path);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(store.Load()) << c.what;
        if (c.sections >= 0) {
            EXPECT_EQ(store.sectionCount(), c.sections) << c.what;
        }
        for (int s = 0; s < store.sectionCount(); ++s) {
            store.setCurrentSection(store.sectionName(s));
            MethodSettings settings;
            LoadFromMemory(store, settings);
        }
        ASSERT_TRUE(store.Save()) << c.what;
        const std::string saved = readFile(path);
        IniStore again;
        again.SetPath(path);
        ASSERT_TRUE(again.Load()) << c.what;
        EXPECT_EQ(again.SaveText(), saved) << c.what;
        // A file of this size opens without a noticeable wait, even on a slow machine.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.what;
    }
}

TEST(HostileMemoryFile, TenThousandSectionsRecallTheRightMemory) {
    IniStore store;
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        text += '[';
        text += memorySectionName(i);
        text += "]\nMode=0\nRadius=";
        text += std::to_string(i % 15);
        text += '\n';
    }
    store.LoadText(text);
    store.setCurrentSection(memorySectionName(9876));
    MethodSettings settings;
    EXPECT_EQ(LoadFromMemory(store, settings), "");
    EXPECT_EQ(settings.valueC, 9876 % 15);
}

// Runs `check` in a child process as an ordinary user, since permission bits mean nothing to
// root (who runs CI). Returns what the check returned, 0 for success.
int asOrdinaryUser(const std::string& folder, const std::function<int()>& check) {
    if (geteuid() == 0) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (lchown(entry.path().c_str(), 65534, 65534) != 0) return 100;
        if (chown(folder.c_str(), 65534, 65534) != 0) return 100;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(101);
        _exit(check());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return 102;
    return WEXITSTATUS(status);
}

const std::string kEarlierMemories = memorySection(3) + memorySection(12);

struct MemoryFolders {
    TempFolder root;
    MemoryFileLocation location;
    MemoryFolders() {
        std::filesystem::create_directory(root.file("host"));
        writeFile(root.file("host/memory.ini"), kEarlierMemories);
        location = memoryFileLocation(FixedMemoryFolders(root.file("host"), root.file("user")));
    }
};

// The dialog's close: whatever it changed is written, and if the host's folder cannot take
// it, the per-user folder does. The host's earlier file is never replaced by less.
TEST(HostileMemoryFile, ReadOnlyHostFolderKeepsTheExistingFile) {
    MemoryFolders f;
    const int result = asOrdinaryUser(f.root.path(), [&] {
        if (chmod(f.root.file("host").c_str(), 0555) != 0) return 1;
        IniStore store;
        if (!loadMemoryFile(store, f.location) || store.FindSection("Memory 12") < 0) return 2;
        store.SetValue("Memory 4", "Created", "1", true);
        if (!saveMemoryFile(store, f.location)) return 3;
        if (readFile(f.location.hostPath) != kEarlierMemories) return 4;
        IniStore next;
        if (!loadMemoryFile(next, f.location)) return 5;
        if (next.FindSection("Memory 3") < 0 || next.FindSection("Memory 4") < 0) return 6;
        return 0;
    });
    chmod(f.root.file("host").c_str(), 0755);
    EXPECT_EQ(result, 0);
}

TEST(HostileMemoryFile, UnreadableFileIsNeverReplacedByAnEmptyStore) {
    MemoryFolders f;
    const int result = asOrdinaryUser(f.root.path(), [&] {
        if (chmod(f.location.hostPath.c_str(), 0200) != 0) return 1;
        IniStore store;
        if (loadMemoryFile(store, f.location)) return 2;
        store.SetValue("Memory 4", "Created", "1", true);
        saveMemoryFile(store, f.location);
        if (chmod(f.location.hostPath.c_str(), 0600) != 0) return 3;
        if (readFile(f.location.hostPath) != kEarlierMemories) return 4;
        // What this run stored went to the per-user file instead of being lost.
        IniStore user;
        user.SetPath(f.location.userPath);
        if (!user.Load() || user.FindSection("Memory 4") < 0) return 5;
        return 0;
    });
    chmod(f.location.hostPath.c_str(), 0644);
    EXPECT_EQ(result, 0);
}

// Blocked whoever runs the test: a folder stands where the temporary file would be written.
TEST(HostileMemoryFile, AWriteThatCannotCompleteKeepsTheExistingFile) {
    MemoryFolders f;
    std::filesystem::create_directory(f.location.hostPath + ".tmp");
    IniStore store;
    ASSERT_TRUE(loadMemoryFile(store, f.location));
    store.DeleteSection("Memory 3");
    store.DeleteSection("Memory 12");
    store.SetPath(f.location.hostPath);
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(readFile(f.location.hostPath), kEarlierMemories);
}

TEST(HostileMemoryFile, MissingHostFolderKeepsThePerUserFile) {
    TempFolder root;
    const MemoryFileLocation location =
        memoryFileLocation(FixedMemoryFolders(root.file("gone"), root.file("user")));
    std::filesystem::create_directory(root.file("user"));
    writeFile(location.userPath, kEarlierMemories);
    IniStore store;
    ASSERT_TRUE(loadMemoryFile(store, location));
    store.SetValue("Memory 4", "Created", "1", true);
    ASSERT_TRUE(saveMemoryFile(store, location));
    IniStore next;
    ASSERT_TRUE(loadMemoryFile(next, location));
    EXPECT_GE(next.FindSection("Memory 3"), 0);
    EXPECT_GE(next.FindSection("Memory 12"), 0);
    EXPECT_GE(next.FindSection("Memory 4"), 0);
}

// The settings a refused load must leave alone, as bytes.
std::vector<std::uint8_t> snapshot(MethodSettings& method, const ColorSettings& colour) {
    MemoryByteStream stream;
    EXPECT_TRUE(storeSettings(stream, method, colour).ok());
    return stream.bytes();
}

TEST(HostileSettingsFile, CutOrRandomFilesAreRefusedWithAMessageAndChangeNothing) {
    TempFolder folder;
    const std::string path = folder.file("look.dps");
    MethodSettings method;
    ColorSettings colour;
    method.method = kMethodUltraContrast;
    SelectMethod(method);
    method.valueD = 0.9;
    method.setGamma(1.4);
    colour.toneCurve.setPoints({{0, 0.2}, {0.5, 0.6}, {1, 1}});
    colour.curvesOn = true;
    colour.filterMode = 7;
    const std::vector<std::uint8_t> before = snapshot(method, colour);
    ASSERT_TRUE(saveSettingsFile(path, method, colour).ok());
    const std::string whole = readFile(path);

    std::vector<std::string> files;
    for (std::size_t length = 0; length < whole.size(); ++length)
        files.push_back(whole.substr(0, length));
    std::mt19937 random(77);
    for (int i = 0; i < 300; ++i) files.push_back(randomBytes(random, random() % 600));
    for (std::size_t i = 0; i < files.size(); ++i) {
        writeFile(path, files[i]);
        const SettingsResult result = loadSettingsFile(path, method, colour);
        EXPECT_FALSE(result.ok()) << "file " << i;
        EXPECT_FALSE(result.message.empty()) << "file " << i;
        ASSERT_EQ(snapshot(method, colour), before) << "file " << i;
    }
}

TEST(HostileSettingsFile, ASaveThatCannotCompleteKeepsTheExistingFile) {
    TempFolder folder;
    const std::string path = folder.file("look.dps");
    writeFile(path, "earlier settings");
    std::filesystem::create_directory(path + ".tmp");
    MethodSettings method;
    ColorSettings colour;
    EXPECT_FALSE(saveSettingsFile(path, method, colour).ok());
    EXPECT_EQ(readFile(path), "earlier settings");
}

}  // namespace
}  // namespace qorva

// Files the plug-in reads were written by someone else: a memory.ini edited by hand or by
// another program, a .dps file cut short by a full disk or not a settings file at all. Any of
// them must load without a fault, and nothing the user already has on disk may be lost
// because a folder or a file could not be written or read.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
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
#include "support/child_process.h"
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
    const test::ChildEnd end = test::runInChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 101;
        return check();
    });
    return end.exitCode < 0 ? 102 : end.exitCode;
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

// Runs `check` in a child process that may write files of at most `fileLimit` bytes (a full
// disk, whoever runs the test) and is ended after `seconds` (a read that hangs fails instead
// of stopping the suite). Returns what the check returned, 0 for success.
int inChild(const std::function<int()>& check, long fileLimit = -1, unsigned seconds = 20) {
    const test::ChildEnd end = test::runInChild([&] {
        alarm(seconds);
        if (fileLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
            const rlimit limit{static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 101;
        }
        return check();
    });
    return end.exitCode < 0 ? 102 : end.exitCode;
}

// The files of a folder, by name.
std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HostileMemoryFile, AWriteThatCannotCompleteKeepsTheExistingFile) {
    MemoryFolders f;
    const int result = inChild(
        [&] {
            IniStore store;
            if (!loadMemoryFile(store, f.location)) return 1;
            store.DeleteSection("Memory 3");
            store.SetValue("Memory 4", "Notes", std::string(4096, 'n'), true);
            store.SetPath(f.location.hostPath);
            std::string reason;
            if (store.Save(reason)) return 2;
            if (reason.find("cannot write to " + f.root.file("host")) != 0) return 3;
            return 0;
        },
        1000);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(f.location.hostPath), kEarlierMemories);
    EXPECT_EQ(entries(f.root.file("host")), std::vector<std::string>{"memory.ini"});
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
    MethodSettings method;
    ColorSettings colour;
    colour.toneCurve.setPoints(std::vector<CurvePoint>(200, CurvePoint{0, 0}));
    const int result = inChild([&] { return saveSettingsFile(path, method, colour).ok(); }, 100);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(path), "earlier settings");
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"look.dps"});
}

// What a save may find at the name a careless temporary file would take: a link planted to
// make the save write elsewhere, or a file of the user's own. Neither is opened or replaced.
TEST(HostileFiles, SavesNeverWriteThroughAPlantedTemporaryName) {
    struct Writer {
        const char* name;
        std::function<bool(const std::string&)> save;
    };
    const Writer writers[] = {
        {"look.dps",
         [](const std::string& path) {
             MethodSettings method;
             ColorSettings colour;
             return saveSettingsFile(path, method, colour).ok();
         }},
        {"memory.ini",
         [](const std::string& path) {
             IniStore store;
             store.SetValue("Memory 1", "Mode", "0", true);
             store.SetPath(path);
             return store.Save();
         }},
    };
    for (const Writer& writer : writers) {
        for (bool link : {true, false}) {
            TempFolder folder;
            const std::string target = folder.file(writer.name);
            const std::string planted = target + ".tmp";
            writeFile(target, "earlier");
            writeFile(folder.file("victim"), "someone else's file");
            if (link)
                std::filesystem::create_symlink(folder.file("victim"), planted);
            else
                writeFile(planted, "the user's own notes");
            ASSERT_TRUE(writer.save(target)) << writer.name;
            EXPECT_EQ(readFile(folder.file("victim")), "someone else's file") << writer.name;
            EXPECT_EQ(std::filesystem::is_symlink(planted), link) << writer.name;
            if (!link) {
                EXPECT_EQ(readFile(planted), "the user's own notes") << writer.name;
            }
            EXPECT_FALSE(std::filesystem::is_symlink(target)) << writer.name;
            EXPECT_NE(readFile(target), "earlier") << writer.name;
            const std::vector<std::string> expected{writer.name, std::string(writer.name) + ".tmp",
                                                    "victim"};
            EXPECT_EQ(entries(folder.path()), expected) << writer.name;
        }
    }
}

// Two hosts closing their dialogs at the same moment: whichever rename comes last wins, and
// every reader in between sees one whole file, never an empty, cut or mixed one.
TEST(HostileMemoryFile, TwoProcessesSavingAtOnceLeaveOneWholeFile) {
    TempFolder folder;
    const MemoryFileLocation location =
        memoryFileLocation(FixedMemoryFolders(folder.path(), std::string()));
    IniStore stores[2];
    for (int i = 0; i < 60; ++i) stores[0].LoadText(memorySection(i));
    stores[1].LoadText(memorySection(7));
    const std::string texts[2] = {stores[0].SaveText(), stores[1].SaveText()};
    writeFile(location.hostPath, texts[1]);

    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        if (writers[w] == 0) {
            alarm(60);
            int failures = 0;
            for (int k = 0; k < 300; ++k)
                if (!saveMemoryFile(stores[w], location)) ++failures;
            _exit(failures > 0 ? 1 : 0);
        }
        ASSERT_GT(writers[w], 0);
    }
    int torn = 0;
    int exited = 0;
    int status[2] = {-1, -1};
    while (exited < 2) {
        const std::string seen = readFile(location.hostPath);
        if (seen != texts[0] && seen != texts[1]) ++torn;
        for (int w = 0; w < 2; ++w) {
            int s = 0;
            if (status[w] == -1 && waitpid(writers[w], &s, WNOHANG) == writers[w]) {
                status[w] = WIFEXITED(s) ? WEXITSTATUS(s) : 100;
                ++exited;
            }
        }
    }
    EXPECT_EQ(status[0], 0) << "a save reported failure";
    EXPECT_EQ(status[1], 0) << "a save reported failure";
    EXPECT_EQ(torn, 0);
    const std::string last = readFile(location.hostPath);
    EXPECT_TRUE(last == texts[0] || last == texts[1]);
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"memory.ini"});
}

// Targets a save must not replace, each refused with a reason that names it; what was there
// stays as it was.
TEST(HostileSettingsFile, SavesRefuseTargetsThatAreNoWritableFileAndSayWhy) {
    TempFolder folder;
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> make;  // false: cannot be made here
        std::string reason;                            // after the path
    };
    const std::string gone = folder.file("gone");
    const Case cases[] = {
        {"folder", [](const std::string& p) { return std::filesystem::create_directory(p); },
         " is a folder"},
        {"pipe", [](const std::string& p) { return mkfifo(p.c_str(), 0644) == 0; },
         " is not a regular file"},
        {"device",
         [](const std::string& p) { return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         " is not a regular file"},
        {"read-only file",
         [](const std::string& p) {
             writeFile(p, "kept");
             return chmod(p.c_str(), 0444) == 0;
         },
         " is read-only"},
    };
    MethodSettings method;
    ColorSettings colour;
    for (const Case& c : cases) {
        const std::string path = folder.file(std::string(c.name) + ".dps");
        if (!c.make(path)) continue;  // a device node needs root
        struct stat before {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        const SettingsResult result = saveSettingsFile(path, method, colour);
        EXPECT_EQ(result.status, SettingsStatus::WriteFailed) << c.name;
        EXPECT_EQ(result.message, path + c.reason) << c.name;
        struct stat after {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
    }
    EXPECT_EQ(saveSettingsFile(gone + "/look.dps", method, colour).message,
              "the folder " + gone + " does not exist");
    EXPECT_EQ(readFile(folder.file("read-only file.dps")), "kept");

    const int readOnlyFolder = asOrdinaryUser(folder.path(), [&] {
        if (chmod(folder.path().c_str(), 0555) != 0) return 1;
        const std::string message =
            saveSettingsFile(folder.file("new.dps"), method, colour).message;
        chmod(folder.path().c_str(), 0755);
        return message == "cannot create a file in " + folder.path() + ": Permission denied" ? 0
                                                                                             : 2;
    });
    EXPECT_EQ(readOnlyFolder, 0);
}

// A replaced file keeps who may read and write it, a read-only one included when the user
// asked for it to be replaced.
TEST(HostileSettingsFile, ReplacedFilesKeepTheirPermissions) {
    TempFolder folder;
    MethodSettings method;
    ColorSettings colour;
    for (mode_t mode : {0640, 0444}) {
        const std::string path = folder.file("look.dps");
        writeFile(path, "earlier");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(saveSettingsFile(path, method, colour, true).ok()) << mode;
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_NE(readFile(path), "earlier");
        std::filesystem::remove(path);
    }
}

// Readers meet devices that never end, pipes that never answer and files no editor wrote.
// Each is refused with a message, before a byte is read.
TEST(HostileFiles, ReadersRefuseSpecialAndOversizedFiles) {
    TempFolder folder;
    const std::string pipe = folder.file("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::filesystem::create_directory(folder.file("host"));
    const std::string hugeIni = folder.file("host/memory.ini");
    const std::string hugeDps = folder.file("huge.dps");
    writeFile(hugeIni, "[Memory 0]\r\nMode=0\r\n");
    std::filesystem::resize_file(hugeIni, kMaxIniFileBytes + 1);
    writeFile(hugeDps, "");
    std::filesystem::resize_file(hugeDps, kMaxSettingsFileBytes + 1);
    const struct {
        std::string ini, dps;
    } cases[] = {{"/dev/zero", "/dev/zero"}, {pipe, pipe}, {hugeIni, hugeDps}};
    for (const auto& c : cases) {
        const int result = inChild([&] {
            IniStore store;
            store.SetPath(c.ini);
            if (store.Load() || store.lastError().empty()) return 1;
            MethodSettings method;
            ColorSettings colour;
            const SettingsResult loaded = loadSettingsFile(c.dps, method, colour);
            if (loaded.status != SettingsStatus::Refused || loaded.message.empty()) return 2;
            return 0;
        });
        EXPECT_EQ(result, 0) << c.ini;
    }
    // The memory bar never replaces a file it could not read: its memories go to the user's.
    IniStore store;
    store.SetValue("Memory 1", "Mode", "0", true);
    const MemoryFileLocation location =
        memoryFileLocation(FixedMemoryFolders(folder.file("host"), folder.file("user")));
    EXPECT_TRUE(saveMemoryFile(store, location));
    EXPECT_EQ(std::filesystem::file_size(hugeIni), kMaxIniFileBytes + 1);
    EXPECT_EQ(readFile(location.userPath), store.SaveText());
}

}  // namespace
}  // namespace qorva

// Two host processes closing their dialogs at the same moment write the same memory.ini:
// whichever save comes last wins, and every reader in between sees one whole file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "persistence/memory_location.h"
#include "windows/memory_writer.h"

namespace host {
namespace {

// False when the file could not be opened at that moment (a rename in progress); an empty
// file that opens is read as empty.
bool readWhole(const std::string& path, std::string& bytes) {
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    std::fclose(file);
    return true;
}

std::string besideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

TEST(ConcurrentSaves, TwoProcessesSavingMemoryIniLeaveOneWholeFile) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "qorva-saves-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\memory.ini";
    const std::string texts[2] = {writerMemories(0).SaveText(), writerMemories(1).SaveText()};
    {
        std::string reason;
        qorva::IniStore first = writerMemories(1);
        first.SetPath(path);
        ASSERT_TRUE(first.Save(reason)) << reason;
    }

    PROCESS_INFORMATION writers[2] = {};
    for (int w = 0; w < 2; ++w) {
        // Appended piece by piece: GCC 12 warns falsely about a literal on the left of +.
        std::string command(1, '"');
        command += besideThisProgram("qorva_wine_memory_writer.exe");
        command += "\" \"";
        command += folder;
        command += "\" ";
        command += std::to_string(w);
        command += " 150";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &writers[w]))
            << command;
    }
    int torn = 0;
    HANDLE handles[2] = {writers[0].hProcess, writers[1].hProcess};
    while (WaitForMultipleObjects(2, handles, TRUE, 0) == WAIT_TIMEOUT) {
        std::string seen;
        if (readWhole(path, seen) && seen != texts[0] && seen != texts[1]) ++torn;
        Sleep(1);  // a reader that looks often, not one that never lets the file go
    }
    for (const PROCESS_INFORMATION& writer : writers) {
        DWORD code = 99;
        GetExitCodeProcess(writer.hProcess, &code);
        EXPECT_EQ(code, 0u) << "a save reported failure";
        CloseHandle(writer.hProcess);
        CloseHandle(writer.hThread);
    }
    EXPECT_EQ(torn, 0);
    std::string last;
    EXPECT_TRUE(readWhole(path, last));
    EXPECT_TRUE(last == texts[0] || last == texts[1]);

    // Nothing but the file is left: every temporary file was renamed or removed.
    WIN32_FIND_DATAA found{};
    int entries = 0;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") ++entries;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_EQ(entries, 1);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace host

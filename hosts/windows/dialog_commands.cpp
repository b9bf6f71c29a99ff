#include "windows/dialog_commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace host {
namespace {

std::string folderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
}

struct FindById {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK findById(HWND child, LPARAM data) {
    auto* find = reinterpret_cast<FindById*>(data);
    if (GetDlgCtrlID(child) != find->id) return TRUE;
    find->found = child;
    return FALSE;
}

}  // namespace

// memory.ini where the plug-in keeps it for this "host": beside the test program.
std::string hostMemoryFile() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    return folderOf(exe) + "\\memory.ini";
}

std::string readFile(const std::string& path) {
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string tempFile(const char* name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    DeleteFileA(path.c_str());
    return path;
}

HWND childOfClass(HWND parent, const char* className) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(c, name, sizeof name);
        if (lstrcmpA(name, className) == 0) return c;
    }
    return nullptr;
}

// The command runs a modal file dialog: it is posted, so that the driver stays free to work it.
void postCommand(DialogDriver& d, int id) {
    PostMessageA(d.dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(d.item(id)));
}

// Types the path into the common dialog's file name box (the edit itself in the classic
// dialog, the edit inside the combo box in the Explorer-style one) and presses its OK.
void answerFileDialog(DialogDriver& d, const char* title, const std::string& path) {
    HWND box = nullptr;
    if (!d.waitFor(
            [&] {
                box = FindWindowA("#32770", title);
                return box && IsWindowVisible(box);
            },
            20000, std::string("the file dialog \"") + title + "\""))
        return;
    FindById name{1148};
    EnumChildWindows(box, findById, reinterpret_cast<LPARAM>(&name));
    HWND edit = name.found;
    if (edit) {
        char className[32] = {};
        GetClassNameA(edit, className, sizeof className);
        if (lstrcmpiA(className, "Edit") != 0) {
            // The Explorer-style box: an edit inside a combo box inside ComboBoxEx32.
            HWND inner = edit;
            edit = nullptr;
            EnumChildWindows(
                inner,
                [](HWND child, LPARAM found) -> BOOL {
                    char name[32] = {};
                    GetClassNameA(child, name, sizeof name);
                    if (lstrcmpiA(name, "Edit") != 0) return TRUE;
                    *reinterpret_cast<HWND*>(found) = child;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&edit));
        }
    }
    if (!edit) {
        std::string seen;
        for (HWND c = FindWindowExA(box, nullptr, nullptr, nullptr); c;
             c = FindWindowExA(box, c, nullptr, nullptr)) {
            char cls[64] = {};
            GetClassNameA(c, cls, sizeof cls);
            seen += std::string(" ") + cls + ":" + std::to_string(GetDlgCtrlID(c));
        }
        d.fail(std::string("no file name box in \"") + title + "\":" + seen);
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    if (const char* shot = std::getenv("QORVA_FILE_DIALOG_SCREENSHOT")) {
        Sleep(800);
        windowScreenshot(box).saveBmp(shot);
    }
    // The box's own OK ("Save", "Open"): a direct child, unlike the list inside the view that
    // shares its id.
    if (HWND ok = GetDlgItem(box, IDOK))
        PostMessageA(ok, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// A box a failed step left open would keep the dialog from ever closing.
void dismiss(const char* title) {
    if (const HWND box = FindWindowA("#32770", title)) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
}

bool noBoxTitled(const char* title) {
    const HWND box = FindWindowA("#32770", title);
    return !box || !IsWindowVisible(box);
}

}  // namespace host

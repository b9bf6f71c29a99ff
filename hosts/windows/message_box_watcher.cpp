#include "windows/message_box_watcher.h"

#include <windows.h>

#include <chrono>

namespace host {
namespace {

BOOL CALLBACK findText(HWND child, LPARAM found) {
    char name[32] = {};
    char text[512] = {};
    GetClassNameA(child, name, sizeof(name));
    if (lstrcmpiA(name, "Static") == 0 && GetWindowTextA(child, text, sizeof(text)) > 0) {
        *reinterpret_cast<std::string*>(found) = text;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(std::string title)
    : title_(std::move(title)), thread_([this] { watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<std::string> MessageBoxWatcher::texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

void MessageBoxWatcher::watch() {
    while (!stop_) {
        HWND box = FindWindowA("#32770", title_.c_str());
        if (box && IsWindowVisible(box)) {
            std::string text;
            EnumChildWindows(box, findText, reinterpret_cast<LPARAM>(&text));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                texts_.push_back(text);
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            while (!stop_ && IsWindow(box))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace host

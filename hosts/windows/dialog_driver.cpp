#include "windows/dialog_driver.h"

#include <chrono>
#include <cstdio>

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Input is asynchronous: wait until the dialog's thread has taken everything queued so far.
void settleWindow(HWND window) {
    DWORD_PTR ignored = 0;
    for (int i = 0; i < 3; ++i) {
        pause(15);
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
    }
}

void sendMouse(DWORD flags, DWORD data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    SendInput(1, &input, sizeof(INPUT));
}

}  // namespace

std::uint32_t Screenshot::rgb(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF;
}

bool Screenshot::saveBmp(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const DWORD bytes = static_cast<DWORD>(pixels.size() * 4);
    // Opaque: viewers read the fourth byte of a 32-bit bitmap as alpha.
    std::vector<std::uint32_t> opaque(pixels);
    for (std::uint32_t& p : opaque) p |= 0xFF000000u;
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(info);
    fileHeader.bfSize = fileHeader.bfOffBits + bytes;
    bool ok = std::fwrite(&fileHeader, sizeof(fileHeader), 1, file) == 1 &&
              std::fwrite(&info, sizeof(info), 1, file) == 1 &&
              std::fwrite(opaque.data(), 1, bytes, file) == bytes;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

DialogDriver::DialogDriver(Script script, int timeoutMs)
    : thread_([this, script = std::move(script), timeoutMs] { run(script, timeoutMs); }) {}

DialogDriver::~DialogDriver() {
    finish();
}

std::vector<std::string> DialogDriver::finish() {
    if (!joined_) {
        thread_.join();
        joined_ = true;
    }
    return failures_;
}

void DialogDriver::fail(const std::string& what) {
    failures_.push_back(what);
}

void DialogDriver::run(const Script& script, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        HWND found = FindWindowA("#32770", kDialogTitle);
        if (found && IsWindowVisible(found)) {
            dialog_ = found;
            break;
        }
        pause(5);
    }
    if (!dialog_) {
        fail("the dialog did not appear");
        return;
    }
    script(*this);
}

HWND DialogDriver::item(int id) const {
    if (!dialog_) return nullptr;
    // The preview and the other controls made over a frame share one id: the first is the
    // preview, the only one made so far.
    return GetDlgItem(dialog_, id);
}

std::string DialogDriver::text(int id) const {
    HWND w = item(id);
    if (!w) return "<no control " + std::to_string(id) + ">";
    char buffer[512] = {};
    SendMessageA(w, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

bool DialogDriver::checked(int id) const {
    return SendMessageA(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool DialogDriver::enabled(int id) const {
    return IsWindowEnabled(item(id)) != FALSE;
}

bool DialogDriver::visible(int id) const {
    return (GetWindowLongA(item(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT DialogDriver::clientRectOf(int id) const {
    RECT r{};
    GetWindowRect(item(id), &r);
    MapWindowPoints(HWND_DESKTOP, dialog_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int DialogDriver::sliderPosition(int id) const {
    return static_cast<int>(SendMessageA(item(id), WM_USER, 0, 0));  // TBM_GETPOS
}

bool DialogDriver::waitFor(const std::function<bool()>& condition, int timeoutMs,
                           const std::string& what) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (condition()) return true;
        pause(5);
    }
    fail("timed out waiting for " + what);
    return false;
}

bool DialogDriver::waitForFirstPreview(int timeoutMs) {
    return waitFor([this] { return item(kPreviewId) && previewStatus().empty(); }, timeoutMs,
                   "the first preview");
}

void DialogDriver::click(int id) {
    SendMessageA(item(id), BM_CLICK, 0, 0);
}

void DialogDriver::setEditText(int id, const std::string& text) {
    SendMessageA(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void DialogDriver::focus(int id) {
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
}

void DialogDriver::key(int id, WORD virtualKey) {
    SendMessageA(item(id), WM_KEYDOWN, virtualKey, 1);
    SendMessageA(item(id), WM_KEYUP, virtualKey, 0xC0000001);
}

void DialogDriver::mouseDrag(int id, int fromX, int toX) {
    HWND w = item(id);
    RECT r;
    GetClientRect(w, &r);
    const int y = r.bottom / 2;
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, y));
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        const int x = fromX + (toX - fromX) * i / steps;
        SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    }
    SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(toX, y));
}

void DialogDriver::realClick(int id, int x, int y) {
    POINT p{x, y};
    ClientToScreen(item(id), &p);
    SetCursorPos(p.x, p.y);
    settleWindow(dialog_);
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    settleWindow(dialog_);
    sendMouse(MOUSEEVENTF_LEFTUP);
    settleWindow(dialog_);
}

void DialogDriver::realDrag(int id, int fromX, int toX, int y, int steps) {
    POINT p{fromX, y};
    ClientToScreen(item(id), &p);
    SetCursorPos(p.x, p.y);
    settleWindow(dialog_);
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    settleWindow(dialog_);
    for (int i = 1; i <= steps; ++i) {
        POINT q{fromX + (toX - fromX) * i / steps, y};
        ClientToScreen(item(id), &q);
        SetCursorPos(q.x, q.y);
        settleWindow(dialog_);
    }
    sendMouse(MOUSEEVENTF_LEFTUP);
    settleWindow(dialog_);
}

void DialogDriver::settle() const {
    settleWindow(dialog_);
}

void DialogDriver::realMoveTo(int id, int x, int y) {
    POINT p{x, y};
    ClientToScreen(item(id), &p);
    SetCursorPos(p.x, p.y);
    settleWindow(dialog_);
}

void DialogDriver::realRightButton(int id, int x, int y, bool down) {
    realMoveTo(id, x, y);
    sendMouse(down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
    settleWindow(dialog_);
}

void DialogDriver::realWheel(int id, int x, int y, int notches) {
    realMoveTo(id, x, y);
    sendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches * WHEEL_DELTA));
    settleWindow(dialog_);
}

void DialogDriver::realKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(INPUT));
    settleWindow(dialog_);
}

Screenshot DialogDriver::screenshot() const {
    // Painting waits until the dialog's queue is empty: have everything painted first.
    settleWindow(dialog_);
    pause(300);
    settleWindow(dialog_);
    return windowScreenshot(dialog_);
}

Screenshot windowScreenshot(HWND window) {
    Screenshot shot;
    RECT r;
    if (!GetWindowRect(window, &r)) return shot;
    shot.width = r.right - r.left;
    shot.height = r.bottom - r.top;
    HDC frame = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(frame);
    HBITMAP bitmap = CreateCompatibleBitmap(frame, shot.width, shot.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, frame, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(shot.height), shot.pixels.data(), &info,
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, frame);
    return shot;
}

}  // namespace host

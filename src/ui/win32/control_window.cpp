#include "ui/win32/control_window.h"

namespace qorva::win32 {

// The backslash's key on the keyboard layout in use: not the same key everywhere.
WPARAM backslashKey() {
    const SHORT scan = VkKeyScanW(L'\\');
    return scan == -1 ? VK_OEM_5 : static_cast<WPARAM>(scan & 0xFF);
}

LPARAM keyTransition(UINT message, LPARAM lParam) {
    if (message == WM_KEYUP) return kKeyReleased;
    return (lParam & (1 << 30)) != 0 ? kKeyRepeated : kKeyPressed;
}

bool isPreviewKey(WPARAM key, bool textField) {
    return key == backslashKey() || (!textField && key == 'Z');
}

bool forwardPreviewKey(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool textField) {
    if (message == WM_CHAR) {
        // The key's character goes nowhere: no field of the dialog holds a backslash.
        return wParam == L'\\';
    }
    if (message != WM_KEYDOWN && message != WM_KEYUP) return false;
    if (!isPreviewKey(wParam, textField)) return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    const HWND parent = GetParent(control);
    if (parent != nullptr)
        SendMessageW(parent, kPreviewKeyMessage, wParam, keyTransition(message, lParam));
    return true;
}

bool registerControlClass(HINSTANCE module, const wchar_t* name, WNDPROC procedure, LPCWSTR cursor,
                          UINT style) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, cursor);
    windowClass.lpszClassName = name;
    if (RegisterClassExW(&windowClass) != 0) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace qorva::win32

#include "ui/win32/control_window.h"

namespace qorva::win32 {

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

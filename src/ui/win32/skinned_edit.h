// The dialogs' edit boxes in the plug-in's look: a plain 1-px frame instead of the sunken
// client edge, and the look's text and background colours. Editing is the standard edit's.
#pragma once

#include <windows.h>

namespace qorva::win32 {

constexpr COLORREF kEditBackground = RGB(214, 217, 224);
constexpr COLORREF kEditText = RGB(0, 0, 0);

// Subclasses a standard "Edit" (normally one with the client-edge style, whose two-pixel
// non-client border the frame replaces).
void skinEdit(HWND edit);

// For the parent's WM_CTLCOLOREDIT (and WM_CTLCOLORSTATIC of read-only or disabled edits):
// sets the colours into dc and returns the background brush, which lives as long as the module.
HBRUSH editColours(HDC dc, HWND edit);

}  // namespace qorva::win32

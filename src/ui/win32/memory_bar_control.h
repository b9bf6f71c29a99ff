// The strip of numbered setting memories below the method controls: paints the cells of its
// model and turns presses into the model's store, recall and delete, telling the dialog to
// store or recall by a posted WM_HSCROLL (SB_ENDSCROLL, high word 1 to store and 0 to recall,
// lParam the bar), so that the dialog acts after the press has been painted.
#pragma once

#include <windows.h>

namespace qorva {
class MemoryBarModel;
}

namespace qorva::win32 {

inline constexpr const wchar_t* kMemoryBarClassName = L"QorvaMemoryBar";
constexpr int kMemoryBarControlId = 123456;

// Once per module, with the module's own instance handle.
bool registerMemoryBarClass(HINSTANCE module);
void unregisterMemoryBarClass(HINSTANCE module);

// Over a placeholder frame: rect in the parent's client coordinates; child, visible,
// clip-children, id kMemoryBarControlId. The model must outlive the window; its cells are set
// from the bar's client size here.
HWND createMemoryBar(HWND parent, const RECT& rectInParentClient, HINSTANCE module,
                     MemoryBarModel& model);

}  // namespace qorva::win32

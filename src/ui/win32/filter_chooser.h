// The colour-filter chooser: a child window over the preview area that shows the twelve
// filter thumbnails with their names, around a FilterChooserModel. A click on an item, or Enter
// on the selected one, chooses it; Escape closes the chooser. The dialog hears of both as a
// horizontal scroll (WM_HSCROLL, lParam the chooser): kChooserChosen with the chosen mode as the
// position, or kChooserClosed.
#pragma once

#include <windows.h>

namespace qorva {
class FilterChooserModel;
}

namespace qorva::win32 {

inline constexpr const wchar_t* kFilterChooserClassName = L"QorvaFilterChooser";

// Once per module, with the module's own instance handle.
bool registerFilterChooserClass(HINSTANCE module);
void unregisterFilterChooserClass(HINSTANCE module);

// Over rect (the parent's client coordinates), above its siblings, with the id of the chooser;
// it lays the model's items out for its size and takes the keyboard focus. The model outlives
// the window. The window text is the selected item's name.
HWND createFilterChooser(HWND parent, const RECT& rectInParentClient, HINSTANCE module,
                         FilterChooserModel& model);

}  // namespace qorva::win32

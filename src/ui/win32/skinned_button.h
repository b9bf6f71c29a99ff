// The dialogs' push buttons, check boxes and radio buttons in the plug-in's look. The standard
// button keeps all its behaviour (clicks, keyboard, check state, radio groups, notifications);
// only its painting is replaced.
#pragma once

#include <windows.h>

namespace qorva::win32 {

// Subclasses a standard "Button" (push, default push, check box or radio button; owner-draw
// buttons and group boxes are left alone). bottomBar gives the darker face of the controls in
// the dialog's bottom bar, which sit on the dialog background instead of a panel.
void skinButton(HWND button, bool bottomBar);

// After a click on the skinned check box has toggled it, control is enabled when the box is
// checked and disabled when not. Setting the check by program changes nothing: the dialog sets
// enabled states itself then.
void attachToCheckBox(HWND checkBox, HWND control);

}  // namespace qorva::win32

// The blue title bars over the dialog's groups: a static whose text is drawn white in Arial
// bold on the title colour.
#pragma once

#include <windows.h>

namespace qorva::win32 {

// Subclasses a standard "Static"; its text and visibility stay the static's.
void makeTitleLabel(HWND staticControl);

}  // namespace qorva::win32

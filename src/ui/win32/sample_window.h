// A sample: a small floating window, owned by the main dialog, that shows a thumbnail of the
// preview as it was when the user pressed it. A press on the thumbnail asks the dialog for the
// sample's settings back; Enter, Escape or the close box close it. The settings themselves stay
// with the dialog, which knows each sample by its number only.
#pragma once

#include <windows.h>

namespace qorva {
class WorkingImage;
}

namespace qorva::win32 {

// What a sample sends its owner; wParam is the sample's number.
constexpr UINT kSampleRestoreMessage = WM_APP + 1;  // its thumbnail was pressed
constexpr UINT kSampleClosedMessage = WM_APP + 2;   // its window is going (lParam)

// Opens sample `number` owned by `owner`, titled "Sample #n", with a bilinear thumbnail of the
// display image. It appears under the pointer and, while the button that took it is still
// held, hangs on the pointer by its caption until the button is released. nullptr when the
// window could not be made.
HWND openSampleWindow(HWND owner, HINSTANCE module, int number, const WorkingImage& display);

}  // namespace qorva::win32

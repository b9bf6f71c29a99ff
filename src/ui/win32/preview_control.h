// The preview area of the dialogs: shows the display image centred, a status text, a transient
// message and a progress bar while a render runs, and tells its parent about presses (which
// take samples). The control keeps its own copy of the image it shows.
#pragma once

#include <windows.h>

#include <string>

namespace qorva {
class WorkingImage;
}

namespace qorva::win32 {

inline constexpr const wchar_t* kPreviewClassName = L"QorvaPreview";
constexpr int kPreviewControlId = 123456;

// Once per module, with the module's own instance handle.
bool registerPreviewClass(HINSTANCE module);
void unregisterPreviewClass(HINSTANCE module);

// Over a placeholder frame: rect in the parent's client coordinates; child, visible,
// clip-children, id kPreviewControlId, above its siblings. Files dropped on it reach the parent
// unchanged once the parent has accepted drops on it (DragAcceptFiles).
HWND createPreviewControl(HWND parent, const RECT& rectInParentClient, HINSTANCE module);

// Copies the image and repaints at once. An image that cannot be copied clears the display.
void previewShowImage(HWND preview, const WorkingImage& image);
void previewClearImage(HWND preview);
// Shown over the image until replaced ("" clears it); also the window text, so that tools can
// read it. Repaints at once.
void previewSetStatusText(HWND preview, const std::string& text);
// Painted at once, then forgotten without a repaint: it stays until the next paint.
void previewShowTransientMessage(HWND preview, const std::string& text);
// 0 to 100; 0 clears. Repaints at once (a render runs on this thread, with no message loop
// meanwhile) and, while set, again every 100 ms whenever messages are let through.
void previewSetProgress(HWND preview, int percent);
int previewProgress(HWND preview);

// When on, the parent gets WM_HSCROLL with SB_THUMBPOSITION on a left press, SB_THUMBTRACK on
// moves while pressed and SB_ENDSCROLL on release; the high word of wParam is the progress
// value and lParam the control.
void previewEnableClicks(HWND preview, bool enabled);
// Ends a press early (the parent took its sample): no further notifications for it.
void previewEndPress(HWND preview);

// The right button, the arrow keys and size changes reach the parent (when clicks are on) as
// this message: wParam a PreviewAction, lParam two signed 16-bit numbers (low x, high y).
constexpr UINT kPreviewViewMessage = WM_APP + 4;
enum PreviewAction : WPARAM {
    kPreviewRightPress = 0,    // x 1 with Shift held, 0 without
    kPreviewRightMove = 1,     // how far the pointer moved since the last report
    kPreviewRightRelease = 2,  // also when the capture was taken away
    kPreviewArrowKey = 3,      // the arrow's direction, -1, 0 or 1 in each
    kPreviewResized = 4,
};

// The short text in the top band that names what is shown; painted with the next repaint.
void previewSetLabel(HWND preview, const std::string& text);

}  // namespace qorva::win32

// A curve panel of the main dialog: the window around a CurveModel. Mouse messages go to the
// model, the picture comes from drawCurve, and the dialog hears of every change as a
// horizontal scroll (WM_HSCROLL, lParam the panel): SB_THUMBTRACK for each step of a drag,
// SB_ENDSCROLL when a drag ends or a point is deleted.
#pragma once

#include <windows.h>

namespace qorva {
class CurveModel;
struct CurvePanelSetup;
}  // namespace qorva

namespace qorva::win32 {

inline constexpr const wchar_t* kCurveClassName = L"QorvaCurve";

// Once per module, with the module's own instance handle.
bool registerCurveClass(HINSTANCE module);
void unregisterCurveClass(HINSTANCE module);

// Over a placeholder frame: rect in the parent's client coordinates, child and visible, above
// its siblings, with the frame's id. The model (which outlives the panel) takes the panel's
// client size; the hue picture is made for that size.
HWND createCurveControl(HWND parent, const RECT& rectInParentClient, int id, HINSTANCE module,
                        CurveModel& model, const CurvePanelSetup& setup);

// Draws the panel again from its model and shows it at once.
void curveRedraw(HWND curve);

}  // namespace qorva::win32

// The dialogs' horizontal slider: an owner-drawn track and thumb around a SliderModel, which
// does the arithmetic. It tells its parent about changes as a standard slider does (WM_HSCROLL
// with the scroll code and the position, lParam the slider), answers the standard slider
// messages for range, position, line and page size, and can keep an edit box showing its value.
#pragma once

#include <windows.h>

namespace qorva::win32 {

inline constexpr const wchar_t* kSliderClassName = L"QorvaSlider";

// Once per module, with the module's own instance handle (the one its dialogs are created
// with). Registering again is harmless; false when the class cannot be registered.
bool registerSliderClass(HINSTANCE module);
void unregisterSliderClass(HINSTANCE module);

// Range and position; setting the position sends no notification, but a paired edit box
// follows it.
void setSliderRange(HWND slider, int minimum, int maximum);
void setSliderPosition(HWND slider, int position);
int sliderPosition(HWND slider);
// The gamma slider's mode: the thumb follows the drag by factor instead of jumping to the
// pointer.
void setSliderRelativeDrag(HWND slider, double factor);

// Afterwards the edit box shows position / scale (formatSliderValue) whenever the position
// changes, by mouse, keys or setSliderPosition.
void pairSliderEdit(HWND slider, HWND edit, int scale);
// Moves the slider to a value typed into its paired edit box, leaving the edit's text as the
// user typed it (no notification).
void setSliderPositionFromEdit(HWND slider, int position);

}  // namespace qorva::win32

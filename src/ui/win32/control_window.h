// What every control class of the dialog shares: a state object that lives in the window from
// WM_NCCREATE to WM_NCDESTROY, a window procedure that reaches it and never lets an exception
// out into the host's message loop, and the class registration.
#pragma once

#include <windows.h>

#include <new>

namespace qorva::win32 {

// The keys that work the preview wherever the keyboard focus is in the dialog reach the dialog
// as this message: wParam the virtual key, lParam kKeyPressed, kKeyRepeated or kKeyReleased.
constexpr LPARAM kKeyReleased = 0, kKeyPressed = 1, kKeyRepeated = 2;
constexpr UINT kPreviewKeyMessage = WM_APP + 3;

// Backslash (the original while held) and, outside text fields where it is a letter, Z (the
// 1:1 view). True when the message is one of them: it has then been sent to the control's
// parent, and the caller drops it.
bool forwardPreviewKey(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool textField);
bool isPreviewKey(WPARAM key, bool textField);
// kKeyPressed, kKeyRepeated or kKeyReleased for a WM_KEYDOWN or WM_KEYUP.
LPARAM keyTransition(UINT message, LPARAM lParam);
WPARAM backslashKey();

template <class State>
State* controlState(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The window procedure of a control class whose messages `Handle` answers with the window's
// state. A state with `bool created(const CREATESTRUCTW&)` takes what its creator passed (false
// refuses the window); one with `void destroying(HWND)` lets go of what it holds in the window
// (timers) before it is deleted.
template <class State, LRESULT (*Handle)(HWND, State&, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* state = new (std::nothrow) State;
            if (state == nullptr) return FALSE;
            if constexpr (requires { state->created(*reinterpret_cast<CREATESTRUCTW*>(lParam)); }) {
                if (!state->created(*reinterpret_cast<const CREATESTRUCTW*>(lParam))) {
                    delete state;
                    return FALSE;
                }
            }
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (message == WM_NCDESTROY) {
            if (State* state = controlState<State>(window)) {
                if constexpr (requires { state->destroying(window); }) state->destroying(window);
                delete state;
            }
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (forwardPreviewKey(window, message, wParam, lParam, false)) return 0;
        State* state = controlState<State>(window);
        if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
        return Handle(window, *state, message, wParam, lParam);
    } catch (...) {
        return message == WM_NCCREATE ? FALSE : 0;
    }
}

// Registers a control class of this module; one registered already counts as success.
bool registerControlClass(HINSTANCE module, const wchar_t* name, WNDPROC procedure, LPCWSTR cursor,
                          UINT style = 0);

}  // namespace qorva::win32

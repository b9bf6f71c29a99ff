#include "ui/win32/sample_window.h"

#include <memory>
#include <new>
#include <vector>

#include "plugin/resample.h"
#include "plugin/working_image.h"
#include "ui/model/samples_model.h"
#include "ui/win32/dialog_base.h"
#include "ui/win32/dialog_template.h"
#include "ui/win32/gdi.h"
#include "ui/win32/preview_control.h"

namespace qorva::win32 {
namespace {

struct SampleWindow {
    explicit SampleWindow(int n, HWND ownerWindow, HINSTANCE instance)
        : number(n), owner(ownerWindow), module(instance) {}
    int number;
    HWND owner;
    HINSTANCE module;
    HWND window = nullptr;
    HWND view = nullptr;
    DialogBase base{DialogBaseOptions{false, true, {}, {}}};
};

// The frame moves below the caption band, and the window grows around it with the template's
// left margin on every side, so that the whole view stays inside the window.
void initialise(SampleWindow& s) {
    s.base.initialise(s.window);
    const HWND frame = GetDlgItem(s.window, kSampleViewFrame);
    if (frame == nullptr) return;
    const RECT place = childRect(s.window, frame);
    RECT outer{0, 0, place.right + place.left, place.bottom + place.left};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(s.window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(s.window, GWL_EXSTYLE)));
    SetWindowPos(s.window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.view = createPreviewControl(s.window, place, s.module);
    if (s.view != nullptr) previewEnableClicks(s.view, true);
}

INT_PTR handle(SampleWindow& s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            initialise(s);
            return FALSE;  // nothing in a sample takes the focus
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == s.view && s.view != nullptr &&
                LOWORD(wParam) == SB_THUMBPOSITION) {
                previewEndPress(s.view);
                if (IsWindow(s.owner)) SendMessageW(s.owner, kSampleRestoreMessage, s.number, 0);
            }
            return TRUE;
        case WM_ACTIVATE:
            // The sample itself takes the keys: left to the dialog manager, the focus would go
            // to the view, which ignores them, or stay in the main dialog, where Escape cancels.
            if (LOWORD(wParam) == WA_INACTIVE) break;
            SetFocus(s.window);
            return TRUE;
        case WM_SETFOCUS:
            return TRUE;  // kept here, not handed on to the view
        case WM_KEYDOWN:
            if (wParam != VK_RETURN && wParam != VK_ESCAPE) break;
            DestroyWindow(s.window);
            return TRUE;
        case WM_COMMAND:
            // Enter and Escape through the dialog manager, and the close box.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(s.window);
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(s.window);
            return TRUE;
        case WM_DESTROY:
            if (IsWindow(s.owner))
                SendMessageW(s.owner, kSampleClosedMessage, s.number,
                             reinterpret_cast<LPARAM>(s.window));
            return FALSE;
        default:
            break;
    }
    INT_PTR result = 0;
    if (s.base.handleMessage(s.window, message, wParam, lParam, &result)) {
        if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN || message == WM_CTLCOLORDLG)
            return result;
        SetWindowLongPtrW(s.window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

// The window owns its state from WM_INITDIALOG on, and frees it when it is gone.
INT_PTR CALLBACK sampleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            auto* holder = reinterpret_cast<std::unique_ptr<SampleWindow>*>(lParam);
            SampleWindow* state = holder->release();
            state->window = window;
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        }
        auto* state = reinterpret_cast<SampleWindow*>(GetWindowLongPtrW(window, DWLP_USER));
        if (state == nullptr) return FALSE;
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, DWLP_USER, 0);
            delete state;
            return FALSE;
        }
        return handle(*state, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

void showThumbnail(HWND view, const WorkingImage& display) {
    if (!display.hasPixels() || display.bitsPerPixel() != 24) return;
    RECT client{};
    GetClientRect(view, &client);
    const ImageSize size =
        sampleThumbnailSize(display.width(), display.height(), client.right, client.bottom);
    WorkingImage thumbnail;
    if (thumbnail.Create(size.width, size.height, 24) != kImageOk) return;
    resamplePixels(display.pixels(), display.width(), display.height(), thumbnail.pixels(),
                   size.width, size.height, 3, kResizeBilinear);
    previewShowImage(view, thumbnail);
}

bool leftButtonHeld() {
    // The physical button: the one that took the sample may be the right one when swapped.
    const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    return (GetAsyncKeyState(button) & 0x8000) != 0;
}

}  // namespace

HWND openSampleWindow(HWND owner, HINSTANCE module, int number, const WorkingImage& display) {
    auto holder =
        std::unique_ptr<SampleWindow>(new (std::nothrow) SampleWindow(number, owner, module));
    if (!holder) return nullptr;
    const std::vector<WORD> sampleTemplate = buildSampleTemplate();
    // Until WM_INITDIALOG the holder owns the state, so a window that is never made leaks none.
    const HWND window =
        CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(sampleTemplate.data()),
                                   owner, sampleProc, reinterpret_cast<LPARAM>(&holder));
    if (window == nullptr) return nullptr;
    const auto* state = reinterpret_cast<const SampleWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    const HWND view = state != nullptr ? state->view : nullptr;
    if (view == nullptr) {
        DestroyWindow(window);
        return nullptr;
    }

    RECT viewClient{};
    GetClientRect(view, &viewClient);
    POINT cursor{};
    GetCursorPos(&cursor);
    const SamplePlacement at = samplePlacement(cursor.x, cursor.y, viewClient.right);
    SetWindowPos(window, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    showThumbnail(view, display);
    SetWindowTextA(window, sampleTitle(number).c_str());
    ShowWindow(window, SW_SHOW);
    InvalidateRect(window, nullptr, FALSE);  // the caption band carries the title

    MSG pending;
    while (PeekMessageW(&pending, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&pending);
        DispatchMessageW(&pending);
    }
    // A press in the caption band starts the caption drag: the sample follows the pointer
    // until the button is let go. A button already let go would leave it stuck to the pointer.
    if (IsWindow(window) && leftButtonHeld())
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.pressX, at.pressY));
    return IsWindow(window) ? window : nullptr;
}

}  // namespace qorva::win32

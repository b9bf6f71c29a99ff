#include "ui/win32/skinned_edit.h"

#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

constexpr wchar_t kOriginalProcProperty[] = L"QorvaSkinnedEdit";

constexpr COLORREF kFrame = RGB(72, 77, 88);
constexpr COLORREF kDisabledBackground = RGB(170, 174, 183);
constexpr COLORREF kDisabledText = RGB(96, 101, 111);

WNDPROC originalOf(HWND edit) {
    return reinterpret_cast<WNDPROC>(GetPropW(edit, kOriginalProcProperty));
}

// The whole non-client border: the outer pixel is the frame (the accent while editing), the
// rest is the edit's own background so the text area looks flat.
void paintFrame(HWND edit) {
    const WindowDC dc(edit, true);
    if (!dc) return;
    // Window coordinates: the border is the part of the window outside the client area.
    RECT screen{};
    GetWindowRect(edit, &screen);
    const RECT window{0, 0, screen.right - screen.left, screen.bottom - screen.top};
    RECT client{};
    GetClientRect(edit, &client);
    POINT origin{0, 0};
    ClientToScreen(edit, &origin);
    OffsetRect(&client, origin.x - screen.left, origin.y - screen.top);

    const bool enabled = IsWindowEnabled(edit) != FALSE;
    const bool readOnly = (GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY) != 0;
    const COLORREF background = enabled && !readOnly ? kEditBackground : kDisabledBackground;
    const COLORREF frame = enabled && GetFocus() == edit ? kAccent : kFrame;

    const Brush fill = solidBrush(background);
    // Only the border ring: the client area is the edit's to paint.
    const Region ring(CreateRectRgnIndirect(&window));
    const Region inner(CreateRectRgnIndirect(&client));
    if (fill && ring && inner &&
        CombineRgn(ring.get(), ring.get(), inner.get(), RGN_DIFF) != ERROR) {
        FillRgn(dc.get(), ring.get(), fill.get());
    }
    frameSolid(dc.get(), window, frame);
}

bool hasScrollBars(HWND edit) {
    return (GetWindowLongPtrW(edit, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL)) != 0;
}

LRESULT CALLBACK editProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC original = originalOf(edit);
    try {
        if (original == nullptr) return DefWindowProcW(edit, message, wParam, lParam);
        if (forwardPreviewKey(edit, message, wParam, lParam, true)) return 0;
        switch (message) {
            case WM_NCPAINT:
                // The system draws scroll bars; the border is ours either way.
                if (hasScrollBars(edit)) CallWindowProcW(original, edit, message, wParam, lParam);
                paintFrame(edit);
                return 0;
            case WM_SETFOCUS:
            case WM_KILLFOCUS:
            case WM_ENABLE:
            case EM_SETREADONLY: {
                const LRESULT result = CallWindowProcW(original, edit, message, wParam, lParam);
                if (IsWindow(edit)) {
                    RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
                }
                return result;
            }
            case WM_NCDESTROY:
                SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
                RemovePropW(edit, kOriginalProcProperty);
                return CallWindowProcW(original, edit, message, wParam, lParam);
            default:
                return CallWindowProcW(original, edit, message, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

}  // namespace

void skinEdit(HWND edit) {
    if (edit == nullptr || originalOf(edit) != nullptr) return;
    const LONG_PTR previous = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    if (previous == 0 ||
        !SetPropW(edit, kOriginalProcProperty, reinterpret_cast<HANDLE>(previous))) {
        return;
    }
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&editProc));
    RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

HBRUSH editColours(HDC dc, HWND edit) {
    // Made once and kept for the module's life: the parent hands it back to the system on every
    // WM_CTLCOLOREDIT, which does not take ownership.
    static const Brush normal = solidBrush(kEditBackground);
    static const Brush inactive = solidBrush(kDisabledBackground);
    const bool enabled = edit == nullptr || IsWindowEnabled(edit) != FALSE;
    const bool readOnly =
        edit != nullptr && (GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY) != 0;
    const bool plain = enabled && !readOnly;
    SetTextColor(dc, enabled ? kEditText : kDisabledText);
    SetBkColor(dc, plain ? kEditBackground : kDisabledBackground);
    return plain ? normal.get() : inactive.get();
}

}  // namespace qorva::win32

#include "ui/win32/title_label.h"

#include <algorithm>
#include <new>
#include <string>

#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

constexpr wchar_t kStateProperty[] = L"QorvaTitleLabel";

struct LabelState {
    WNDPROC original = nullptr;
    ScaledFontCache font;
};

LabelState* stateOf(HWND label) {
    return static_cast<LabelState*>(GetPropW(label, kStateProperty));
}

Font titleFont(HWND, double scale) {
    return arialFont(10, FW_BOLD, scale);
}

void paint(HWND label, LabelState& state, HDC target) {
    RECT client{};
    GetClientRect(label, &client);
    const OffscreenPaint offscreen(target, client);
    const HDC dc = offscreen.dc();
    fillSolid(dc, client, kTitleLabelFill);

    const int length = GetWindowTextLengthW(label);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        std::max(GetWindowTextW(label, text.data(), static_cast<int>(text.size())), 0)));
    if (text.empty()) return;

    RECT area = client;
    area.left += scaledPx(3, windowScale(label));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    const SelectionScope selectFont(dc, state.font.get(label, titleFont));
    UINT flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
    if (GetWindowLongPtrW(label, GWL_STYLE) & SS_NOPREFIX) flags |= DT_NOPREFIX;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, flags);
}

LRESULT CALLBACK labelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    LabelState* state = stateOf(label);
    try {
        if (state == nullptr) return DefWindowProcW(label, message, wParam, lParam);
        const WNDPROC original = state->original;
        switch (message) {
            case WM_PAINT: {
                PAINTSTRUCT ps{};
                const HDC dc = BeginPaint(label, &ps);
                if (dc != nullptr) paint(label, *state, dc);
                EndPaint(label, &ps);
                return 0;
            }
            case WM_PRINTCLIENT:
                paint(label, *state, reinterpret_cast<HDC>(wParam));
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_SETTEXT:
            case WM_ENABLE: {
                // The static repaints itself with its own look on these.
                const LRESULT result = CallWindowProcW(original, label, message, wParam, lParam);
                RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                return result;
            }
            case WM_NCDESTROY:
                SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
                RemovePropW(label, kStateProperty);
                delete state;
                return CallWindowProcW(original, label, message, wParam, lParam);
            default:
                return CallWindowProcW(original, label, message, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

}  // namespace

void makeTitleLabel(HWND staticControl) {
    if (staticControl == nullptr || stateOf(staticControl) != nullptr) return;
    auto* state = new (std::nothrow) LabelState;
    if (state == nullptr) return;
    if (!SetPropW(staticControl, kStateProperty, state)) {
        delete state;
        return;
    }
    state->original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(staticControl, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&labelProc)));
    if (state->original == nullptr) {
        RemovePropW(staticControl, kStateProperty);
        delete state;
        return;
    }
    InvalidateRect(staticControl, nullptr, FALSE);
}

}  // namespace qorva::win32

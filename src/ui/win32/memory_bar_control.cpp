#include "ui/win32/memory_bar_control.h"

#include <new>
#include <string>

#include "ui/model/memory_bar_model.h"
#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

constexpr COLORREF kMemoryStoredFill = RGB(85, 152, 233);
constexpr COLORREF kMemoryRecalledFill = RGB(124, 191, 225);
constexpr COLORREF kMemoryPressedFill = RGB(59, 106, 163);
constexpr int kLabelHeight96 = 9;  // Arial, character height in pixels at 96 DPI

struct MemoryBarWindow {
    MemoryBarModel* model = nullptr;
    ScaledFontCache font;

    // The bar paints and edits the dialog's model, handed over when the window is made.
    bool created(const CREATESTRUCTW& create) {
        model = static_cast<MemoryBarModel*>(create.lpCreateParams);
        return model != nullptr;
    }
};

Font labelFont(HWND, double scale) {
    return arialFont(kLabelHeight96, FW_NORMAL, scale);
}

void paint(HWND bar, MemoryBarWindow& state, HDC target) {
    RECT client{};
    GetClientRect(bar, &client);
    const OffscreenPaint offscreen(target, client);
    const HDC dc = offscreen.dc();
    fillSolid(dc, client, kDialogBackground);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlack);
    const SelectionScope selectFont(dc, state.font.get(bar, labelFont));

    const MemoryBarModel& model = *state.model;
    for (int i = 0; i < model.cellCount(); ++i) {
        const CellRect c = model.cellRect(i);
        RECT r{c.left, c.top, c.right, c.bottom};
        frameSolid(dc, r, kBlack);
        const MemoryCellFill fill = model.cellFill(i);
        if (fill == MemoryCellFill::Stored || fill == MemoryCellFill::Recalled)
            fillSolid(dc, r,
                      fill == MemoryCellFill::Recalled ? kMemoryRecalledFill : kMemoryStoredFill);
        if (model.labelShown(i)) {
            const std::string label = MemoryBarModel::cellLabel(i);
            DrawTextA(dc, label.c_str(), static_cast<int>(label.size()), &r,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        // A memory being stored or deleted shows the press, its label covered.
        if (fill == MemoryCellFill::Pressed) fillSolid(dc, r, kMemoryPressedFill);
        frameSolid(dc, r, kBlack);
    }
}

// The dialog stores or recalls once the press has been handled and painted.
void notifyParent(HWND bar, bool store) {
    if (const HWND parent = GetParent(bar))
        PostMessageW(parent, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, store ? 1 : 0),
                     reinterpret_cast<LPARAM>(bar));
}

int pointerX(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}

LRESULT handle(HWND bar, MemoryBarWindow& state, UINT message, WPARAM wParam, LPARAM lParam) {
    MemoryBarModel& model = *state.model;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(bar, &ps);
            if (dc != nullptr) paint(bar, state, dc);
            EndPaint(bar, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(bar, state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole bar
        case WM_LBUTTONDOWN: {
            // The release belongs to the bar wherever it happens, so the highlight never stays.
            SetCapture(bar);
            const MemoryBarAction action = model.leftButtonDown(
                pointerX(lParam), (wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0);
            if (action == MemoryBarAction::Recall) {
                RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                notifyParent(bar, false);
            }
            return 0;
        }
        case WM_RBUTTONDOWN: {
            SetCapture(bar);
            const MemoryBarAction action =
                model.rightButtonDown(pointerX(lParam), (wParam & MK_CONTROL) != 0);
            InvalidateRect(bar, nullptr, TRUE);
            if (action == MemoryBarAction::Store) notifyParent(bar, true);
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if (GetCapture() == bar) ReleaseCapture();
            model.buttonUp();
            InvalidateRect(bar, nullptr, TRUE);
            return 0;
        case WM_CAPTURECHANGED:
            if (model.highlight() != MemoryHighlight::Idle) {
                model.buttonUp();
                InvalidateRect(bar, nullptr, TRUE);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(bar, message, wParam, lParam);
}

}  // namespace

bool registerMemoryBarClass(HINSTANCE module) {
    return registerControlClass(module, kMemoryBarClassName, &controlProc<MemoryBarWindow, handle>,
                                reinterpret_cast<LPCWSTR>(IDC_ARROW));
}

void unregisterMemoryBarClass(HINSTANCE module) {
    UnregisterClassW(kMemoryBarClassName, module);
}

HWND createMemoryBar(HWND parent, const RECT& rectInParentClient, HINSTANCE module,
                     MemoryBarModel& model) {
    const HWND bar = CreateWindowExW(
        0, kMemoryBarClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
        rectInParentClient.left, rectInParentClient.top,
        rectInParentClient.right - rectInParentClient.left,
        rectInParentClient.bottom - rectInParentClient.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemoryBarControlId)), module, &model);
    if (bar == nullptr) return nullptr;
    // Last among the dialog's children: a lookup of the shared id finds the preview first.
    SetWindowPos(bar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(bar, &client);
    model.setClientSize(client.right - client.left, client.bottom - client.top);
    return bar;
}

}  // namespace qorva::win32

#include "ui/win32/skinned_button.h"

#include <algorithm>
#include <new>
#include <string>

#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

constexpr wchar_t kStateProperty[] = L"QorvaSkinnedButton";

struct ButtonState {
    WNDPROC original = nullptr;
    bool bottomBar = false;
    bool hover = false;
    bool lostFocusWhileDisabled = false;
    HWND attached = nullptr;
    ScaledFontCache font;
};

enum class Kind { Push, CheckBox, Radio };

ButtonState* stateOf(HWND button) {
    return static_cast<ButtonState*>(GetPropW(button, kStateProperty));
}

Kind kindOf(LONG_PTR style) {
    switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return (style & BS_PUSHLIKE) ? Kind::Push : Kind::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return (style & BS_PUSHLIKE) ? Kind::Push : Kind::Radio;
        default:
            return Kind::Push;
    }
}

bool skinnable(LONG_PTR style) {
    switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return (style & BS_FLAT) == 0;
        default:
            return false;  // owner-draw, group boxes, split and command links
    }
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

struct Face {
    COLORREF top, bottom, edge, text;
};

Face pushFace(bool bottomBar, bool enabled, bool pressed, bool hover) {
    if (!enabled) {
        return bottomBar
                   ? Face{RGB(98, 103, 116), RGB(92, 97, 110), RGB(70, 74, 86), RGB(140, 145, 156)}
                   : Face{RGB(146, 151, 162), RGB(140, 145, 156), RGB(110, 115, 126),
                          RGB(98, 103, 113)};
    }
    if (bottomBar) {
        if (pressed) return {RGB(70, 75, 88), RGB(98, 103, 117), RGB(30, 33, 40), kWhite};
        if (hover) return {RGB(140, 146, 160), RGB(100, 106, 120), RGB(36, 40, 48), kWhite};
        return {RGB(122, 128, 142), RGB(88, 93, 106), RGB(36, 40, 48), RGB(238, 240, 244)};
    }
    if (pressed) return {RGB(112, 118, 130), RGB(142, 148, 160), RGB(52, 56, 66), kBlack};
    if (hover) return {RGB(190, 195, 205), RGB(148, 154, 166), RGB(60, 64, 74), kBlack};
    return {RGB(172, 177, 188), RGB(134, 140, 152), RGB(62, 66, 76), kBlack};
}

UINT textFlags(HWND button) {
    const LRESULT cues = SendMessageW(button, WM_QUERYUISTATE, 0, 0);
    return (cues & UISF_HIDEACCEL) ? DT_HIDEPREFIX : 0;
}

bool showFocusCues(HWND button) {
    return (SendMessageW(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

// The rounded-looking 1-px edge: the corners are left to the background.
void drawEdge(HDC dc, const RECT& r, COLORREF colour) {
    fillSolid(dc, RECT{r.left + 1, r.top, r.right - 1, r.top + 1}, colour);
    fillSolid(dc, RECT{r.left + 1, r.bottom - 1, r.right - 1, r.bottom}, colour);
    fillSolid(dc, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, colour);
    fillSolid(dc, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, colour);
}

void paintPush(HDC dc, HWND button, ButtonState& state, const RECT& client, LONG_PTR style,
               LRESULT buttonState, HFONT font) {
    const bool enabled = IsWindowEnabled(button) != FALSE;
    const bool pressed = (buttonState & (BST_PUSHED | BST_CHECKED)) != 0;
    const bool focused = GetFocus() == button;
    const bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    const Face face = pushFace(state.bottomBar, enabled, pressed, state.hover && enabled);

    fillSolid(dc, client, state.bottomBar ? kDialogBackground : kPanelBackground);
    RECT inner = client;
    InflateRect(&inner, -1, -1);
    fillVerticalGradient(dc, inner, face.top, face.bottom);
    if (!pressed && enabled) {
        // A light line under the top edge gives the face its bevel.
        fillSolid(dc, RECT{inner.left + 1, inner.top, inner.right - 1, inner.top + 1},
                  mixColour(face.top, kWhite, 0.45));
    }
    drawEdge(dc, client, (focused && enabled) ? kAccent : face.edge);
    if (isDefault && enabled) {
        RECT ring = client;
        InflateRect(&ring, -1, -1);
        drawEdge(dc, ring, mixColour(face.edge, face.bottom, 0.4));
    }

    RECT text = client;
    if (pressed) OffsetRect(&text, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, face.text);
    const SelectionScope selectFont(dc, font);
    const std::wstring caption = windowText(button);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | textFlags(button));
}

void paintCheck(HDC dc, HWND button, ButtonState& state, const RECT& client, Kind kind,
                LRESULT buttonState, HFONT font) {
    const double scale = windowScale(button);
    const bool enabled = IsWindowEnabled(button) != FALSE;
    const bool pressed = (buttonState & BST_PUSHED) != 0;
    const bool focused = GetFocus() == button;
    const LRESULT check = buttonState & (BST_CHECKED | BST_INDETERMINATE);

    const COLORREF background = state.bottomBar ? kDialogBackground : kPanelBackground;
    fillSolid(dc, client, background);

    const int box = std::min(scaledPx(13, scale), static_cast<int>(client.bottom - client.top));
    const int top = client.top + (client.bottom - client.top - box) / 2;
    const RECT mark{client.left, top, client.left + box, top + box};

    COLORREF fill = RGB(226, 229, 234);
    if (!enabled) {
        fill = RGB(156, 161, 171);
    } else if (pressed) {
        fill = RGB(196, 200, 208);
    } else if (state.hover) {
        fill = RGB(244, 245, 248);
    }
    const COLORREF edge = !enabled ? RGB(108, 113, 124) : focused ? kAccent : RGB(52, 56, 66);
    const COLORREF ink = enabled ? RGB(28, 32, 40) : RGB(96, 101, 111);
    const int ring = std::max(1, scaledPx(1, scale));
    const Pen edgePen = solidPen(edge, ring);
    const Brush fillBrush = solidBrush(fill);

    if (kind == Kind::Radio) {
        const SelectionScope selectPen(dc, edgePen.get());
        const SelectionScope selectBrush(dc, fillBrush.get());
        Ellipse(dc, mark.left, mark.top, mark.right, mark.bottom);
        if (check != 0) {
            const Brush dotBrush = solidBrush(ink);
            const Pen dotPen = solidPen(ink);
            const SelectionScope selectDotPen(dc, dotPen.get());
            const SelectionScope selectDotBrush(dc, dotBrush.get());
            const int inset = std::max(3, box * 3 / 10);
            Ellipse(dc, mark.left + inset, mark.top + inset, mark.right - inset,
                    mark.bottom - inset);
        }
    } else {
        fillSolid(dc, mark, fill);
        for (int i = 0; i < ring; ++i) {
            frameSolid(dc, RECT{mark.left + i, mark.top + i, mark.right - i, mark.bottom - i},
                       edge);
        }
        if (check & BST_INDETERMINATE) {
            RECT square = mark;
            InflateRect(&square, -box / 4, -box / 4);
            fillSolid(dc, square, ink);
        } else if (check & BST_CHECKED) {
            const Pen tick = solidPen(ink, std::max(2, scaledPx(2, scale)));
            const SelectionScope selectTick(dc, tick.get());
            const int x0 = mark.left + box * 3 / 13, y0 = mark.top + box * 7 / 13;
            const int x1 = mark.left + box * 5 / 13, y1 = mark.top + box * 9 / 13;
            const int x2 = mark.left + box * 10 / 13, y2 = mark.top + box * 4 / 13;
            MoveToEx(dc, x0, y0, nullptr);
            LineTo(dc, x1, y1);
            LineTo(dc, x2, y2);
        }
    }

    RECT text{mark.right + scaledPx(5, scale), client.top, client.right, client.bottom};
    SetBkMode(dc, TRANSPARENT);
    COLORREF textColour = state.bottomBar ? RGB(236, 238, 242) : kBlack;
    if (!enabled) textColour = state.bottomBar ? RGB(136, 141, 152) : RGB(92, 97, 107);
    SetTextColor(dc, textColour);
    const SelectionScope selectFont(dc, font);
    const std::wstring caption = windowText(button);
    const UINT flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE | textFlags(button);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, flags);
    if (focused && !caption.empty() && showFocusCues(button)) {
        RECT measured = text;
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
                  flags | DT_CALCRECT);
        const int height = measured.bottom - measured.top;
        measured.top = text.top + (text.bottom - text.top - height) / 2;
        measured.bottom = measured.top + height;
        InflateRect(&measured, 1, 0);
        measured.right = std::min(measured.right, client.right);
        SetTextColor(dc, textColour);
        SetBkColor(dc, background);
        DrawFocusRect(dc, &measured);
    }
}

void paint(HWND button, ButtonState& state, HDC target) {
    RECT client{};
    GetClientRect(button, &client);
    const OffscreenPaint offscreen(target, client);
    const HDC dc = offscreen.dc();
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    const LRESULT buttonState = CallWindowProcW(state.original, button, BM_GETSTATE, 0, 0);
    const HFONT font = state.font.get(button, [](HWND w, double) { return iconTitleFont(w); });
    const Kind kind = kindOf(style);
    if (kind == Kind::Push) {
        paintPush(dc, button, state, client, style, buttonState, font);
    } else {
        paintCheck(dc, button, state, client, kind, buttonState, font);
    }
}

void repaintNow(HWND button) {
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// A disabled control cannot keep the focus: hand it on as a keyboard user would.
void passFocusOn(HWND button) {
    const HWND parent = GetParent(button);
    if (parent == nullptr) return;
    HWND next = GetNextDlgTabItem(parent, button, FALSE);
    if (next == button || (next != nullptr && !IsWindowEnabled(next))) next = nullptr;
    wchar_t className[16] = {};
    GetClassNameW(parent, className, 16);
    const bool isDialog = lstrcmpW(className, L"#32770") == 0;
    if (next != nullptr && isDialog) {
        // Through the dialog manager, so that it also moves the default-button highlight.
        SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    } else {
        SetFocus(next != nullptr ? next : parent);
    }
}

bool isCheckable(HWND button) {
    return kindOf(GetWindowLongPtrW(button, GWL_STYLE)) != Kind::Push;
}

LRESULT handle(HWND button, ButtonState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC original = state.original;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(button, &ps);
            if (dc != nullptr) paint(button, state, dc);
            EndPaint(button, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(button, state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE: {
            if (!state.hover) {
                state.hover = true;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, button, 0};
                TrackMouseEvent(&track);
                repaintNow(button);
            }
            return CallWindowProcW(original, button, message, wParam, lParam);
        }
        case WM_MOUSELEAVE:
            state.hover = false;
            CallWindowProcW(original, button, message, wParam, lParam);
            repaintNow(button);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (GetFocus() != button) SetFocus(button);
            break;
        case WM_KILLFOCUS:
            if (!IsWindowEnabled(button)) state.lostFocusWhileDisabled = true;
            break;
        case WM_ENABLE: {
            const LRESULT result = CallWindowProcW(original, button, message, wParam, lParam);
            if (!wParam) {
                // The system may already have taken the focus away (to nothing) by now.
                const HWND focus = GetFocus();
                if (focus == button || (focus == nullptr && state.lostFocusWhileDisabled)) {
                    passFocusOn(button);
                }
                state.hover = false;
            }
            state.lostFocusWhileDisabled = false;
            repaintNow(button);
            return result;
        }
        case WM_NCDESTROY: {
            SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
            RemovePropW(button, kStateProperty);
            delete &state;
            return CallWindowProcW(original, button, message, wParam, lParam);
        }
        default:
            break;
    }

    // The standard button paints itself outside WM_PAINT for these; our face must win.
    bool repaint = false;
    switch (message) {
        case BM_SETSTATE:
        case BM_SETCHECK:
        case BM_SETSTYLE:
        case BM_CLICK:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SETTEXT:
        case WM_UPDATEUISTATE:
        case WM_CAPTURECHANGED:
            repaint = true;
            break;
        default:
            break;
    }
    if (!repaint) return CallWindowProcW(original, button, message, wParam, lParam);

    // A click (mouse, space bar or BM_CLICK) may toggle an attached check box.
    const bool click = message == WM_LBUTTONUP || message == WM_KEYUP || message == BM_CLICK;
    const HWND attached = state.attached;
    const LRESULT before =
        click && attached != nullptr ? CallWindowProcW(original, button, BM_GETCHECK, 0, 0) : 0;
    const LRESULT result = CallWindowProcW(original, button, message, wParam, lParam);
    // The parent's handler of the click may have destroyed the button.
    if (!IsWindow(button) || stateOf(button) != &state) return result;
    if (click && attached != nullptr && isCheckable(button)) {
        const LRESULT after = CallWindowProcW(original, button, BM_GETCHECK, 0, 0);
        if (after != before && IsWindow(attached)) {
            EnableWindow(attached, after == BST_CHECKED ? TRUE : FALSE);
        }
    }
    repaintNow(button);
    return result;
}

LRESULT CALLBACK buttonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    ButtonState* state = stateOf(button);
    try {
        if (state == nullptr) return DefWindowProcW(button, message, wParam, lParam);
        if (forwardPreviewKey(button, message, wParam, lParam, false)) return 0;
        return handle(button, *state, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

}  // namespace

void skinButton(HWND button, bool bottomBar) {
    if (button == nullptr || stateOf(button) != nullptr) return;
    if (!skinnable(GetWindowLongPtrW(button, GWL_STYLE))) return;
    auto* state = new (std::nothrow) ButtonState;
    if (state == nullptr) return;
    state->bottomBar = bottomBar;
    if (!SetPropW(button, kStateProperty, state)) {
        delete state;
        return;
    }
    state->original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&buttonProc)));
    if (state->original == nullptr) {
        RemovePropW(button, kStateProperty);
        delete state;
        return;
    }
    InvalidateRect(button, nullptr, FALSE);
}

void attachToCheckBox(HWND checkBox, HWND control) {
    if (ButtonState* state = checkBox != nullptr ? stateOf(checkBox) : nullptr) {
        state->attached = control;
    }
}

}  // namespace qorva::win32

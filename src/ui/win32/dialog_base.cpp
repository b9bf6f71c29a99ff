#include "ui/win32/dialog_base.h"

#include <string>
#include <vector>

#include "ui/model/dialog_frame.h"
#include "ui/win32/gdi.h"
#include "ui/win32/skinned_button.h"
#include "ui/win32/skinned_edit.h"
#include "ui/win32/title_label.h"

namespace qorva::win32 {
namespace {

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool skinnableButton(HWND button) {
    const LONG type = GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
    return type != BS_OWNERDRAW && type != BS_GROUPBOX &&
           (GetWindowLongA(button, GWL_STYLE) & BS_FLAT) == 0;
}

bool skinnableEdit(HWND edit) {
    if ((GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0) return false;
    // The edit part of a simple combo box belongs to the combo box's look.
    return className(GetParent(edit)) != "ComboBox";
}

std::vector<HWND> children(HWND dialog) {
    std::vector<HWND> list;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        list.push_back(child);
    return list;
}

PixelRect rectInClient(HWND dialog, HWND child) {
    const RECT r = childRect(dialog, child);
    return {r.left, r.top, r.right, r.bottom};
}

// The DC's own brush: no brush is made and deleted per rectangle.
void fill(HDC dc, const RECT& r, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void frame(HDC dc, const RECT& r, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// The background of the controls' own painting (statics, check boxes): the panel's grey. Lives
// as long as the plug-in file; one brush for every dialog.
HBRUSH panelBrush() {
    static const Brush brush = solidBrush(kPanelBackground);
    return brush.get();
}

}  // namespace

void DialogBase::initialise(HWND dialog) {
    scale_ = windowScale(dialog);

    // The caption band replaces the platform's caption: the window keeps its client size.
    RECT client;
    GetClientRect(dialog, &client);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    LONG exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    style &= ~(WS_CAPTION | WS_THICKFRAME);
    exStyle &= ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    SetWindowLongA(dialog, GWL_STYLE, style);
    SetWindowLongA(dialog, GWL_EXSTYLE, exStyle);
    RECT outer = client;
    AdjustWindowRectEx(&outer, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle));
    SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    GetClientRect(dialog, &client);

    const std::vector<HWND> controls = children(dialog);
    std::vector<PixelRect> before;
    before.reserve(controls.size());
    for (HWND child : controls) before.push_back(rectInClient(dialog, child));
    std::vector<PixelRect> after = before;
    if (options_.layoutShift)
        after = shiftLayout(before, client.bottom, options_.bottomBar, scale_);
    const PixelRect panel =
        contentPanelRect(client.right, client.bottom, options_.bottomBar, scale_);

    for (std::size_t i = 0; i < controls.size(); ++i) {
        HWND child = controls[i];
        const int id = GetDlgCtrlID(child);
        if (options_.titleLabels.count(id)) {
            makeTitleLabel(child);
        } else if (!options_.notSkinned.count(id)) {
            const std::string name = className(child);
            if (name == "Button" && skinnableButton(child)) {
                skinButton(child, options_.bottomBar && after[i].top >= panel.bottom);
            } else if (name == "Edit" && skinnableEdit(child)) {
                skinEdit(child);
            }
        }
        if (!(after[i] == before[i])) {
            SetWindowPos(child, nullptr, after[i].left, after[i].top, after[i].width(),
                         after[i].height(), SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void DialogBase::paintBackground(HWND dialog, HDC target) {
    RECT client;
    GetClientRect(dialog, &client);
    OffscreenPaint paint(target, client);
    HDC dc = paint.dc();
    fill(dc, client, kDialogBackground);

    const PixelRect p = contentPanelRect(client.right, client.bottom, options_.bottomBar, scale_);
    RECT panel{p.left, p.top, p.right, p.bottom};
    fill(dc, panel, kPanelBackground);
    // Edged from the inside out: a light grey, a darker grey, black.
    frame(dc, panel, kPanelEdgeLight);
    InflateRect(&panel, 1, 1);
    frame(dc, panel, kPanelEdgeDark);
    InflateRect(&panel, 1, 1);
    frame(dc, panel, kBlack);

    // Caption band and the shaded strip below it.
    const int captionHeight = scaled(kCaptionHeight, scale_);
    const int shadeBottom = scaled(kCaptionShadeBottom, scale_);
    RECT caption{0, 0, client.right, captionHeight};
    fill(dc, caption, kCaptionShadeFrom);
    const RECT shade{0, captionHeight, client.right, shadeBottom};
    fillVerticalGradient(dc, shade, kCaptionShadeFrom, kCaptionShadeTo);
    frame(dc, caption, RGB(0, 0, 0));

    char title[256] = {};
    GetWindowTextA(dialog, title, sizeof title);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextA(dc, title, -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont) SelectObject(dc, oldFont);

    frame(dc, client, RGB(0, 0, 0));

    // Close box: an X of two-pixel diagonals, about 8 x 8, centred in the box.
    const PixelRect box = closeBoxRect(client.right, scale_);
    const int size = scaled(8, scale_);
    const int cx = (box.left + box.right) / 2;
    const int cy = (box.top + box.bottom) / 2;
    const Pen pen = solidPen(closeBoxHot_ ? kCloseBoxHover : kCloseBoxNormal, scaled(2, scale_));
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    MoveToEx(dc, cx - size / 2, cy - size / 2, nullptr);
    LineTo(dc, cx + size / 2, cy + size / 2);
    MoveToEx(dc, cx + size / 2, cy - size / 2, nullptr);
    LineTo(dc, cx - size / 2, cy + size / 2);
    SelectObject(dc, oldPen);
}

void DialogBase::setCloseBoxHot(HWND dialog, bool hot) {
    if (hot == closeBoxHot_) return;
    closeBoxHot_ = hot;
    RECT client;
    GetClientRect(dialog, &client);
    const PixelRect box = closeBoxRect(client.right, scale_);
    RECT r{box.left, box.top, box.right, box.bottom};
    InvalidateRect(dialog, &r, FALSE);
}

bool DialogBase::handleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                               INT_PTR* result) {
    switch (message) {
        case WM_ERASEBKGND:
            // Painted in one piece in WM_PAINT, so the background never flickers.
            *result = TRUE;
            return true;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dialog, &ps);
            paintBackground(dialog, dc);
            EndPaint(dialog, &ps);
            *result = TRUE;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, kPanelBackground);
            SetTextColor(dc, RGB(0, 0, 0));
            *result = reinterpret_cast<INT_PTR>(panelBrush());
            return true;
        }
        case WM_CTLCOLOREDIT:
            *result = reinterpret_cast<INT_PTR>(
                editColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
            return true;
        case WM_MOUSEMOVE: {
            RECT client;
            GetClientRect(dialog, &client);
            const int x = static_cast<short>(LOWORD(lParam));
            const int y = static_cast<short>(HIWORD(lParam));
            setCloseBoxHot(dialog, closeBoxRect(client.right, scale_).contains(x, y));
            if (!trackingMouse_) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, dialog, 0};
                trackingMouse_ = TrackMouseEvent(&track) != FALSE;
            }
            return false;
        }
        case WM_MOUSELEAVE:
            trackingMouse_ = false;
            setCloseBoxHot(dialog, false);
            return false;
        case WM_LBUTTONDOWN: {
            RECT client;
            GetClientRect(dialog, &client);
            const int x = static_cast<short>(LOWORD(lParam));
            const int y = static_cast<short>(HIWORD(lParam));
            if (closeBoxRect(client.right, scale_).contains(x, y)) {
                // The same road as Escape: the dialog decides whether it may close now.
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                *result = TRUE;
                return true;
            }
            if (inCaptionDragArea(x, y, client.right, scale_)) {
                ReleaseCapture();
                const DWORD at = GetMessagePos();
                SendMessageA(dialog, WM_NCLBUTTONDOWN, HTCAPTION, static_cast<LPARAM>(at));
                *result = TRUE;
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace qorva::win32

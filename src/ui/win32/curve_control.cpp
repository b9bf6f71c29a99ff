#include "ui/win32/curve_control.h"

#include <cstdint>
#include <new>
#include <vector>

#include "colour/curve_drawing.h"
#include "colour/hue_backgrounds.h"
#include "ui/model/dialog_view.h"
#include "ui/win32/control_window.h"

namespace qorva::win32 {
namespace {

struct CurveWindow {
    CurveModel* model = nullptr;
    CurveLook look;
    std::vector<std::uint32_t> pixels;  // the panel's bottom-up 32-bit bitmap
    bool pointerInside = false;
};

CurveWindow* stateOf(HWND curve) {
    return controlState<CurveWindow>(curve);
}

CurveWindow* curveOf(HWND window) {
    if (window == nullptr) return nullptr;
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) == 0 || lstrcmpW(name, kCurveClassName) != 0)
        return nullptr;
    return stateOf(window);
}

void redraw(HWND curve, CurveWindow& state) {
    if (state.model == nullptr) return;
    const std::size_t count =
        static_cast<std::size_t>(state.model->clientWidth()) * state.model->clientHeight();
    if (state.pixels.size() != count) state.pixels.assign(count, 0);
    drawCurve(*state.model, state.look, state.pointerInside, state.pixels.data());
    InvalidateRect(curve, nullptr, FALSE);
    UpdateWindow(curve);
}

void paint(HWND curve, const CurveWindow& state, HDC dc) {
    if (state.model == nullptr || state.pixels.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = state.model->clientWidth();
    info.bmiHeader.biHeight = state.model->clientHeight();  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(info.bmiHeader.biWidth),
                      static_cast<DWORD>(info.bmiHeader.biHeight), 0, 0, 0,
                      static_cast<UINT>(info.bmiHeader.biHeight), state.pixels.data(), &info,
                      DIB_RGB_COLORS);
    (void)curve;
}

// Returns false when the parent's handler has destroyed the panel.
bool notify(HWND curve, CurveWindow& state, int code) {
    const HWND parent = GetParent(curve);
    if (parent == nullptr) return true;
    SendMessageW(parent, WM_HSCROLL, MAKEWPARAM(static_cast<WORD>(code), 0),
                 reinterpret_cast<LPARAM>(curve));
    return IsWindow(curve) && stateOf(curve) == &state;
}

int xOf(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}
int yOf(LPARAM lParam) {
    return static_cast<short>(HIWORD(lParam));
}

// The end of a drag, by the button's release or by a lost capture.
void endDrag(HWND curve, CurveWindow& state) {
    if (!state.model->dragging()) return;
    state.model->leftButtonUp();
    if (GetCapture() == curve) ReleaseCapture();
    redraw(curve, state);
    notify(curve, state, SB_ENDSCROLL);
}

LRESULT handle(HWND curve, CurveWindow& state, UINT message, WPARAM wParam, LPARAM lParam) {
    if (state.model == nullptr) return DefWindowProcW(curve, message, wParam, lParam);
    CurveModel& model = *state.model;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(curve, &ps);
            if (dc != nullptr) paint(curve, state, dc);
            EndPaint(curve, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(curve, state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_ENABLE:
            redraw(curve, state);
            return 0;
        case WM_LBUTTONDOWN:
            model.leftButtonDown(xOf(lParam), yOf(lParam));
            if (model.dragging()) SetCapture(curve);
            redraw(curve, state);
            return 0;
        case WM_MOUSEMOVE: {
            if (!state.pointerInside) {
                state.pointerInside = true;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, curve, 0};
                TrackMouseEvent(&track);
            }
            const bool dragStep = model.dragging() && model.dragIndex() >= 0;
            model.mouseMove(xOf(lParam), yOf(lParam));
            redraw(curve, state);
            if (dragStep) notify(curve, state, SB_THUMBTRACK);
            return 0;
        }
        case WM_MOUSELEAVE:
            state.pointerInside = false;
            redraw(curve, state);
            return 0;
        case WM_LBUTTONUP:
            if (model.dragging()) {
                endDrag(curve, state);
            } else if (GetCapture() == curve) {
                ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            endDrag(curve, state);
            return 0;
        case WM_RBUTTONDOWN: {
            if (model.dragging()) return 0;
            // The point under the click, wherever the last move was seen.
            model.mouseMove(xOf(lParam), yOf(lParam));
            const std::size_t before = model.points().size();
            model.rightButtonDown();
            redraw(curve, state);
            if (model.points().size() != before) notify(curve, state, SB_ENDSCROLL);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(curve, message, wParam, lParam);
}

}  // namespace

bool registerCurveClass(HINSTANCE module) {
    return registerControlClass(module, kCurveClassName, &controlProc<CurveWindow, handle>,
                                reinterpret_cast<LPCWSTR>(IDC_CROSS));
}

void unregisterCurveClass(HINSTANCE module) {
    UnregisterClassW(kCurveClassName, module);
}

HWND createCurveControl(HWND parent, const RECT& rectInParentClient, int id, HINSTANCE module,
                        CurveModel& model, const CurvePanelSetup& setup) {
    const HWND curve =
        CreateWindowExW(0, kCurveClassName, L"", WS_CHILD | WS_VISIBLE, rectInParentClient.left,
                        rectInParentClient.top, rectInParentClient.right - rectInParentClient.left,
                        rectInParentClient.bottom - rectInParentClient.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
    CurveWindow* state = curveOf(curve);
    if (state == nullptr) return curve;
    // Above the placeholder frame, so that the frame's id finds the panel first.
    SetWindowPos(curve, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(curve, &client);
    model.setClientSize(client.right, client.bottom);
    state->look.showFill = setup.showFill;
    state->look.showFill2 = setup.showFill2;
    if (setup.hueBackground) {
        state->look.background =
            makeHueBackground(model.clientWidth(), model.clientHeight(), setup.hueShift);
    }
    state->model = &model;
    redraw(curve, *state);
    return curve;
}

void curveRedraw(HWND curve) {
    if (CurveWindow* state = curveOf(curve)) redraw(curve, *state);
}

}  // namespace qorva::win32

#include "ui/win32/slider_control.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "ui/model/slider_model.h"
#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

// The standard slider's messages (their values in the platform headers), so that tools which
// drive a trackbar can drive this one.
constexpr UINT kGetPos = WM_USER;
constexpr UINT kGetRangeMin = WM_USER + 1;
constexpr UINT kGetRangeMax = WM_USER + 2;
constexpr UINT kSetPos = WM_USER + 5;
constexpr UINT kSetRange = WM_USER + 6;
constexpr UINT kSetRangeMin = WM_USER + 7;
constexpr UINT kSetRangeMax = WM_USER + 8;
constexpr UINT kSetPageSize = WM_USER + 21;
constexpr UINT kGetPageSize = WM_USER + 22;
constexpr UINT kSetLineSize = WM_USER + 23;
constexpr UINT kGetLineSize = WM_USER + 24;

// Where the track starts and ends, as the model's pointer mapping counts it.
constexpr int kTrackInset = 10;

struct SliderWindow {
    SliderModel model;
    HWND edit = nullptr;
    int scale = 1;
    bool writingEdit = false;
    bool editCommit = false;  // the position comes from the edit: leave its text alone
    int lastX = 0;
};

SliderWindow* stateOf(HWND slider) {
    return controlState<SliderWindow>(slider);
}

// Only the slider class's windows: any other handle is left alone.
SliderWindow* sliderOf(HWND window) {
    if (window == nullptr) return nullptr;
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) == 0 || lstrcmpW(name, kSliderClassName) != 0) {
        return nullptr;
    }
    return stateOf(window);
}

int clientWidth(HWND slider) {
    RECT client{};
    GetClientRect(slider, &client);
    return client.right - client.left;
}

int pointerX(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}

// The paired edit box follows the position. Writing the same text again would only make the
// edit tell the parent about a change that is none.
void showInEdit(SliderWindow& state) {
    if (state.edit == nullptr || state.writingEdit || state.editCommit || !IsWindow(state.edit)) {
        return;
    }
    const std::string value = formatSliderValue(state.model.position(), state.scale);
    const std::wstring text(value.begin(), value.end());
    wchar_t current[64] = {};
    GetWindowTextW(state.edit, current, 64);
    if (text == current) return;
    // The parent may read the edit on its change notification and set the slider from it:
    // that must not write the edit again.
    state.writingEdit = true;
    SetWindowTextW(state.edit, text.c_str());
    state.writingEdit = false;
}

void repaintNow(HWND slider) {
    RedrawWindow(slider, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// After a change by mouse or key: the edit and the thumb first, so that they are up to date
// when the parent reads them or starts a render, then the notifications in order.
void changed(HWND slider, SliderWindow& state, const std::vector<SliderNotify>& notifications) {
    showInEdit(state);
    repaintNow(slider);
    const HWND parent = GetParent(slider);
    if (parent == nullptr) return;
    for (const SliderNotify code : notifications) {
        const int position = stateOf(slider) == &state ? state.model.position() : 0;
        SendMessageW(parent, WM_HSCROLL,
                     MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(position)),
                     reinterpret_cast<LPARAM>(slider));
        if (!IsWindow(slider) || stateOf(slider) != &state) return;  // closed by the parent
    }
}

void positionSet(HWND slider, SliderWindow& state, bool redraw) {
    showInEdit(state);
    if (redraw) {
        repaintNow(slider);
    } else {
        InvalidateRect(slider, nullptr, FALSE);
    }
}

int thumbCentre(const SliderModel& model, int width) {
    const int left = kTrackInset;
    const int right = std::max(left, width - kTrackInset);
    const int span = model.maximum() - model.minimum();
    if (span <= 0) return left;
    const int offset = std::clamp(model.position() - model.minimum(), 0, span);
    return left + static_cast<int>(static_cast<long long>(right - left) * offset / span);
}

void paint(HWND slider, const SliderWindow& state, HDC target) {
    RECT client{};
    GetClientRect(slider, &client);
    const OffscreenPaint offscreen(target, client);
    const HDC dc = offscreen.dc();
    const double scale = windowScale(slider);
    const bool enabled = IsWindowEnabled(slider) != FALSE;
    const bool focused = GetFocus() == slider;
    const int width = client.right - client.left;
    const int middle = (client.top + client.bottom) / 2;

    fillSolid(dc, client, kControlBackground);

    // The groove: sunken, filled with the accent up to the thumb.
    const int grooveHeight = std::max(3, scaledPx(4, scale));
    const RECT groove{kTrackInset, middle - grooveHeight / 2,
                      std::max(kTrackInset, width - kTrackInset),
                      middle - grooveHeight / 2 + grooveHeight};
    const int centre = thumbCentre(state.model, width);
    fillSolid(dc, groove, RGB(74, 79, 92));
    const RECT filled{groove.left, groove.top, centre, groove.bottom};
    fillSolid(dc, filled, enabled ? kAccent : RGB(112, 117, 128));
    fillSolid(dc, RECT{groove.left, groove.top, groove.right, groove.top + 1}, RGB(52, 56, 66));
    fillSolid(dc, RECT{groove.left, groove.bottom - 1, groove.right, groove.bottom},
              RGB(168, 173, 183));

    // The thumb: a small bevelled block across the groove.
    const int half = std::max(3, scaledPx(4, scale));
    const int thumbHeight =
        std::min(static_cast<int>(client.bottom - client.top) - 2, scaledPx(16, scale));
    const RECT thumb{centre - half, middle - thumbHeight / 2, centre + half + 1,
                     middle - thumbHeight / 2 + thumbHeight};
    const bool pressed = state.model.pressed();
    COLORREF top = RGB(206, 210, 218), bottom = RGB(150, 156, 168);
    if (!enabled) {
        top = bottom = RGB(150, 155, 165);
    } else if (pressed) {
        top = RGB(150, 156, 168);
        bottom = RGB(196, 200, 210);
    }
    fillVerticalGradient(dc, thumb, top, bottom);
    if (enabled && !pressed) {
        fillSolid(dc, RECT{thumb.left + 1, thumb.top + 1, thumb.right - 1, thumb.top + 2}, kWhite);
    }
    const COLORREF edge = !enabled ? RGB(110, 115, 126) : focused ? kAccent : RGB(44, 48, 58);
    frameSolid(dc, thumb, edge);
    if (focused && enabled) {
        RECT inner = thumb;
        InflateRect(&inner, -1, -1);
        frameSolid(dc, inner, kAccent);
    }
}

bool sliderKey(WPARAM key, SliderKey& out) {
    switch (key) {
        case VK_PRIOR:
            out = SliderKey::PageUp;
            return true;
        case VK_NEXT:
            out = SliderKey::PageDown;
            return true;
        case VK_LEFT:
            out = SliderKey::Left;
            return true;
        case VK_RIGHT:
            out = SliderKey::Right;
            return true;
        case VK_UP:
            out = SliderKey::Up;
            return true;
        case VK_DOWN:
            out = SliderKey::Down;
            return true;
        case VK_HOME:
            out = SliderKey::Home;
            return true;
        case VK_END:
            out = SliderKey::End;
            return true;
        default:
            return false;
    }
}

LRESULT handle(HWND slider, SliderWindow& state, UINT message, WPARAM wParam, LPARAM lParam) {
    SliderModel& model = state.model;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(slider, &ps);
            if (dc != nullptr) paint(slider, state, dc);
            EndPaint(slider, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(slider, state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            InvalidateRect(slider, nullptr, FALSE);
            return 0;

        case WM_LBUTTONDOWN: {
            SetCapture(slider);
            if (GetFocus() != slider) SetFocus(slider);
            if (stateOf(slider) != &state) return 0;
            state.lastX = pointerX(lParam);
            changed(slider, state, model.press(state.lastX, clientWidth(slider)));
            return 0;
        }
        case WM_MOUSEMOVE:
            if (model.pressed() && GetCapture() == slider) {
                state.lastX = pointerX(lParam);
                changed(slider, state, model.drag(state.lastX, clientWidth(slider)));
            }
            return 0;
        case WM_LBUTTONUP:
            if (model.pressed()) {
                state.lastX = pointerX(lParam);
                // The press ends before the capture goes, so losing it is not a second release.
                const std::vector<SliderNotify> notifications =
                    model.release(state.lastX, clientWidth(slider));
                if (GetCapture() == slider) ReleaseCapture();
                changed(slider, state, notifications);
            }
            return 0;
        case WM_CAPTURECHANGED:
            // Capture taken away mid-drag (a message box, another window): end the drag where
            // it stood so the parent still hears the end of it.
            if (model.pressed())
                changed(slider, state, model.release(state.lastX, clientWidth(slider)));
            return 0;

        case WM_KEYDOWN: {
            SliderKey key{};
            std::vector<SliderNotify> notifications;
            if (sliderKey(wParam, key) && model.key(key, notifications)) {
                changed(slider, state, notifications);
                return 0;
            }
            break;
        }

        case kGetPos:
            return model.position();
        case kGetRangeMin:
            return model.minimum();
        case kGetRangeMax:
            return model.maximum();
        case kSetPos:
            model.setPosition(static_cast<int>(lParam));
            positionSet(slider, state, wParam != 0);
            return 0;
        case kSetRange:
            model.setRange(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            positionSet(slider, state, wParam != 0);
            return 0;
        case kSetRangeMin:
            model.setRange(static_cast<int>(lParam),
                           std::max(model.maximum(), static_cast<int>(lParam)));
            positionSet(slider, state, wParam != 0);
            return 0;
        case kSetRangeMax:
            model.setRange(std::min(model.minimum(), static_cast<int>(lParam)),
                           static_cast<int>(lParam));
            positionSet(slider, state, wParam != 0);
            return 0;
        case kSetPageSize: {
            const int previous = model.pageSize();
            model.setPageSize(static_cast<int>(lParam));
            return previous;
        }
        case kGetPageSize:
            return model.pageSize();
        case kSetLineSize: {
            const int previous = model.lineSize();
            model.setLineSize(static_cast<int>(lParam));
            return previous;
        }
        case kGetLineSize:
            return model.lineSize();
        default:
            break;
    }
    return DefWindowProcW(slider, message, wParam, lParam);
}

}  // namespace

bool registerSliderClass(HINSTANCE module) {
    return registerControlClass(module, kSliderClassName, &controlProc<SliderWindow, handle>,
                                reinterpret_cast<LPCWSTR>(IDC_ARROW), CS_HREDRAW | CS_VREDRAW);
}

void unregisterSliderClass(HINSTANCE module) {
    UnregisterClassW(kSliderClassName, module);
}

void setSliderRange(HWND slider, int minimum, int maximum) {
    if (SliderWindow* state = sliderOf(slider)) {
        state->model.setRange(minimum, maximum);
        positionSet(slider, *state, false);
    }
}

void setSliderPosition(HWND slider, int position) {
    if (SliderWindow* state = sliderOf(slider)) {
        state->model.setPosition(position);
        positionSet(slider, *state, false);
    }
}

void setSliderPositionFromEdit(HWND slider, int position) {
    if (SliderWindow* state = sliderOf(slider)) {
        state->editCommit = true;
        state->model.setPosition(position);
        positionSet(slider, *state, false);
        state->editCommit = false;
    }
}

int sliderPosition(HWND slider) {
    const SliderWindow* state = sliderOf(slider);
    return state != nullptr ? state->model.position() : 0;
}

void setSliderRelativeDrag(HWND slider, double factor) {
    if (SliderWindow* state = sliderOf(slider)) state->model.setRelativeDrag(true, factor);
}

void pairSliderEdit(HWND slider, HWND edit, int scale) {
    if (SliderWindow* state = sliderOf(slider)) {
        state->edit = edit;
        state->scale = scale < 1 ? 1 : scale;
        showInEdit(*state);
    }
}

}  // namespace qorva::win32

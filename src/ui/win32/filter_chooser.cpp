#include "ui/win32/filter_chooser.h"

#include <cstdint>
#include <new>
#include <vector>

#include "ui/model/dialog_controls.h"
#include "ui/model/filter_chooser_model.h"
#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

// At 96 DPI: the label line under each thumbnail and the space between items.
constexpr int kLabelHeight = 16;
constexpr int kItemGap = 8;
constexpr int kSelectionWidth = 2;
constexpr COLORREF kChooserBackground = RGB(116, 122, 134);
constexpr COLORREF kHoverEdge = RGB(200, 204, 212);

struct ChooserWindow {
    FilterChooserModel* model = nullptr;
    std::vector<std::vector<std::uint32_t>> thumbnails;  // 32-bit, rows from the top
    int hovered = -1;
    int pressed = -1;
    bool tracking = false;
    ScaledFontCache font;
};

ChooserWindow* stateOf(HWND chooser) {
    return controlState<ChooserWindow>(chooser);
}

RECT toRect(const ClientRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

void showSelection(HWND chooser, const ChooserWindow& state) {
    const auto& items = state.model->items();
    const int selected = state.model->selected();
    if (selected >= 0 && selected < static_cast<int>(items.size()))
        SetWindowTextA(chooser, items[static_cast<std::size_t>(selected)].label.c_str());
    InvalidateRect(chooser, nullptr, FALSE);
    UpdateWindow(chooser);
}

void drawThumbnail(HDC dc, const std::vector<std::uint32_t>& pixels, const RECT& at) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = at.right - at.left;
    info.bmiHeader.biHeight = -(at.bottom - at.top);  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, at.left, at.top, static_cast<DWORD>(at.right - at.left),
                      static_cast<DWORD>(at.bottom - at.top), 0, 0, 0,
                      static_cast<UINT>(at.bottom - at.top), pixels.data(), &info, DIB_RGB_COLORS);
}

void edge(HDC dc, RECT around, int width, COLORREF colour) {
    for (int i = 0; i < width; ++i) {
        InflateRect(&around, 1, 1);
        frameSolid(dc, around, colour);
    }
}

void paint(HWND chooser, ChooserWindow& state, HDC target) {
    RECT client{};
    GetClientRect(chooser, &client);
    const OffscreenPaint offscreen(target, client);
    const HDC dc = offscreen.dc();
    fillSolid(dc, client, kChooserBackground);
    const double scale = windowScale(chooser);
    const HFONT font = state.font.get(chooser, [](HWND w, double) { return iconTitleFont(w); });
    const SelectionScope selectFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    const auto& items = state.model->items();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const RECT thumb = toRect(state.model->thumbnailRect(i));
        drawThumbnail(dc, state.thumbnails[static_cast<std::size_t>(i)], thumb);
        if (i == state.model->selected()) {
            edge(dc, thumb, scaledPx(kSelectionWidth, scale), kAccent);
        } else if (i == state.hovered) {
            edge(dc, thumb, 1, kHoverEdge);
        }
        RECT label = toRect(state.model->labelRect(i));
        const std::string& text = items[static_cast<std::size_t>(i)].label;
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &label,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    frameSolid(dc, client, kPanelEdgeDark);
}

// The dialog closes the chooser in its handler: nothing of the window may be used afterwards.
void notify(HWND chooser, int code, int mode) {
    const HWND parent = GetParent(chooser);
    if (parent == nullptr) return;
    SendMessageW(parent, WM_HSCROLL, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(mode)),
                 reinterpret_cast<LPARAM>(chooser));
}

void choose(HWND chooser, const ChooserWindow& state) {
    const auto& items = state.model->items();
    const int selected = state.model->selected();
    if (selected < 0 || selected >= static_cast<int>(items.size())) return;
    notify(chooser, kChooserChosen, items[static_cast<std::size_t>(selected)].mode);
}

bool keyOf(WPARAM virtualKey, ChooserKey& key) {
    switch (virtualKey) {
        case VK_LEFT:
            key = ChooserKey::Left;
            return true;
        case VK_RIGHT:
            key = ChooserKey::Right;
            return true;
        case VK_UP:
            key = ChooserKey::Up;
            return true;
        case VK_DOWN:
            key = ChooserKey::Down;
            return true;
        case VK_RETURN:
            key = ChooserKey::Enter;
            return true;
        case VK_ESCAPE:
            key = ChooserKey::Escape;
            return true;
        default:
            return false;
    }
}

int xOf(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}
int yOf(LPARAM lParam) {
    return static_cast<short>(HIWORD(lParam));
}

LRESULT handle(HWND chooser, ChooserWindow& state, UINT message, WPARAM wParam, LPARAM lParam) {
    if (state.model == nullptr) return DefWindowProcW(chooser, message, wParam, lParam);
    FilterChooserModel& model = *state.model;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(chooser, &ps);
            if (dc != nullptr) paint(chooser, state, dc);
            EndPaint(chooser, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(chooser, state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETDLGCODE:
            // Arrows, Enter and Escape belong to the chooser while it has the focus.
            return DLGC_WANTALLKEYS | DLGC_WANTARROWS;
        case WM_KEYDOWN: {
            ChooserKey key{};
            if (!keyOf(wParam, key)) break;
            switch (model.key(key)) {
                case ChooserAction::Moved:
                    showSelection(chooser, state);
                    break;
                case ChooserAction::Choose:
                    choose(chooser, state);
                    break;
                case ChooserAction::Close:
                    notify(chooser, kChooserClosed, 0);
                    break;
                case ChooserAction::None:
                    break;
            }
            return 0;
        }
        case WM_MOUSEMOVE: {
            if (!state.tracking) {
                state.tracking = true;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, chooser, 0};
                TrackMouseEvent(&track);
            }
            const int item = model.itemAt(xOf(lParam), yOf(lParam));
            if (item != state.hovered) {
                state.hovered = item;
                InvalidateRect(chooser, nullptr, FALSE);
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            state.tracking = false;
            state.hovered = -1;
            InvalidateRect(chooser, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            if (GetFocus() != chooser) SetFocus(chooser);
            state.pressed = model.itemAt(xOf(lParam), yOf(lParam));
            if (state.pressed >= 0) {
                model.select(state.pressed);
                showSelection(chooser, state);
            }
            return 0;
        case WM_LBUTTONUP: {
            // A click: pressed and released on the same item.
            const int pressed = state.pressed;
            state.pressed = -1;
            if (pressed >= 0 && model.itemAt(xOf(lParam), yOf(lParam)) == pressed)
                choose(chooser, state);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(chooser, message, wParam, lParam);
}

}  // namespace

bool registerFilterChooserClass(HINSTANCE module) {
    return registerControlClass(module, kFilterChooserClassName,
                                &controlProc<ChooserWindow, handle>,
                                reinterpret_cast<LPCWSTR>(IDC_HAND));
}

void unregisterFilterChooserClass(HINSTANCE module) {
    UnregisterClassW(kFilterChooserClassName, module);
}

HWND createFilterChooser(HWND parent, const RECT& rectInParentClient, HINSTANCE module,
                         FilterChooserModel& model) {
    const HWND chooser = CreateWindowExW(
        0, kFilterChooserClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
        rectInParentClient.left, rectInParentClient.top,
        rectInParentClient.right - rectInParentClient.left,
        rectInParentClient.bottom - rectInParentClient.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl::kFilterChooser)), module, nullptr);
    ChooserWindow* state = chooser != nullptr ? stateOf(chooser) : nullptr;
    if (state == nullptr) return chooser;
    const ThumbnailSize size = model.thumbnail();
    for (const ChooserItem& item : model.items()) {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.width) * size.height);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::uint8_t* p = &item.pixels[i * 3];
            pixels[i] = static_cast<std::uint32_t>(p[0]) << 16 |
                        static_cast<std::uint32_t>(p[1]) << 8 | p[2];
        }
        state->thumbnails.push_back(std::move(pixels));
    }
    RECT client{};
    GetClientRect(chooser, &client);
    const double scale = windowScale(chooser);
    model.layOut(client.right, client.bottom, scaledPx(kLabelHeight, scale),
                 scaledPx(kItemGap, scale));
    state->model = &model;
    SetWindowPos(chooser, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetFocus(chooser);
    showSelection(chooser, *state);
    return chooser;
}

}  // namespace qorva::win32

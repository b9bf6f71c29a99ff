#include "ui/win32/preview_control.h"

#include <algorithm>
#include <new>

#include "plugin/working_image.h"
#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace qorva::win32 {
namespace {

// Signed client coordinates from a mouse message.
int pointX(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}
int pointY(LPARAM lParam) {
    return static_cast<short>(HIWORD(lParam));
}

constexpr UINT_PTR kBusyTimer = 1;
constexpr UINT kBusyTimerMs = 100;

// The inset around the image area at 96 DPI: the render driver fits the image into the client
// rectangle less these, and the bottom band holds the progress bar.
constexpr int kSideInset = 2;
constexpr int kBandHeight = 10;

constexpr COLORREF kInset = RGB(116, 122, 134);
constexpr COLORREF kBorderLight = RGB(176, 181, 190);
constexpr COLORREF kProgressTrack = RGB(74, 79, 92);

struct PreviewWindow {
    WorkingImage image;
    std::string status;
    std::string transient;
    int progress = 0;
    unsigned ticks = 0;  // busy timer ticks, which move the progress bar's shimmer
    std::string label;
    bool clicks = false;
    bool pressed = false;
    bool rightPressed = false;
    POINT lastRight{};
    bool timer = false;
    ScaledFontCache font;
    ScaledFontCache labelFont;

    void stopTimer(HWND preview) {
        if (timer) KillTimer(preview, kBusyTimer);
        timer = false;
    }
    void destroying(HWND preview) { stopTimer(preview); }
};

PreviewWindow* stateOf(HWND preview) {
    return controlState<PreviewWindow>(preview);
}

PreviewWindow* previewOf(HWND window) {
    if (window == nullptr) return nullptr;
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) == 0 || lstrcmpW(name, kPreviewClassName) != 0) {
        return nullptr;
    }
    return stateOf(window);
}

void repaintNow(HWND preview) {
    RedrawWindow(preview, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// White text with a dark shadow, so that it reads over any image.
int textHeight(HDC dc, const std::string& text, const RECT& area) {
    RECT measured = area;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured,
              DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    return measured.bottom - measured.top;
}

void drawShadowedText(HDC dc, const std::string& text, RECT area) {
    const UINT flags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    SetBkMode(dc, TRANSPARENT);
    OffsetRect(&area, 1, 1);
    SetTextColor(dc, kBlack);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, flags);
    OffsetRect(&area, -1, -1);
    SetTextColor(dc, kWhite);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, flags);
}

void paintTexts(HDC dc, const PreviewWindow& state, const RECT& area, HFONT font) {
    const SelectionScope selectFont(dc, font);
    const std::string* texts[2] = {&state.status, &state.transient};
    int heights[2] = {0, 0};
    int total = 0;
    for (int i = 0; i < 2; ++i) {
        if (!texts[i]->empty()) heights[i] = textHeight(dc, *texts[i], area);
        total += heights[i];
    }
    if (total == 0) return;
    const int gap = heights[0] > 0 && heights[1] > 0 ? heights[0] / 2 : 0;
    int top = area.top + (area.bottom - area.top - total - gap) / 2;
    for (int i = 0; i < 2; ++i) {
        if (heights[i] == 0) continue;
        drawShadowedText(dc, *texts[i], RECT{area.left, top, area.right, top + heights[i]});
        top += heights[i] + gap;
    }
}

void paintProgress(HDC dc, const PreviewWindow& state, const RECT& band, double scale) {
    const int height = std::max(2, scaledPx(4, scale));
    const int top = band.top + (band.bottom - band.top - height) / 2;
    const RECT track{band.left, top, band.right, top + height};
    if (track.right <= track.left) return;
    fillSolid(dc, track, kProgressTrack);
    const int width = track.right - track.left;
    const int filled = width * std::clamp(state.progress, 0, 100) / 100;
    fillSolid(dc, RECT{track.left, track.top, track.left + filled, track.bottom}, kAccent);
    // A light stripe running along the filled part shows that the render is alive.
    const int stripe = std::max(2, scaledPx(12, scale));
    if (filled > stripe) {
        const int x = track.left + static_cast<int>((state.ticks * static_cast<unsigned>(stripe)) %
                                                    static_cast<unsigned>(filled - stripe + 1));
        fillSolid(dc, RECT{x, track.top, x + stripe, track.bottom},
                  mixColour(kAccent, kWhite, 0.45));
    }
}

// `dirty` is the part that needs painting (the whole client for a print); only that part is
// drawn off screen and copied, so the progress band repaints without redrawing the picture.
void paint(HWND preview, PreviewWindow& state, HDC target, const RECT* dirty = nullptr) {
    RECT client{};
    GetClientRect(preview, &client);
    RECT part = client;
    if (dirty != nullptr && !IntersectRect(&part, &client, dirty)) return;
    const OffscreenPaint offscreen(target, part);
    const HDC dc = offscreen.dc();
    const double scale = windowScale(preview);
    const int side = scaledPx(kSideInset, scale);
    const int band = scaledPx(kBandHeight, scale);

    fillSolid(dc, client, kPanelBackground);
    const RECT area{client.left + side, client.top + band, client.right - side,
                    client.bottom - band};
    if (area.right > area.left && area.bottom > area.top) fillSolid(dc, area, kInset);

    if (state.image.hasPixels()) {
        const int x = client.left + (client.right - client.left - state.image.width()) / 2;
        const int y = client.top + (client.bottom - client.top - state.image.height()) / 2;
        const RECT picture{x, y, x + state.image.width(), y + state.image.height()};
        RECT overlap;
        if (IntersectRect(&overlap, &picture, &part)) drawImage(dc, state.image, x, y);
    }

    const HFONT font = state.font.get(preview, [](HWND w, double) { return iconTitleFont(w); });
    RECT textArea = area;
    InflateRect(&textArea, -scaledPx(8, scale), 0);
    paintTexts(dc, state, textArea, font);

    if (!state.label.empty()) {
        // Small, at the right of the top band, clear of the picture.
        const HFONT small = state.labelFont.get(
            preview, [](HWND, double s) { return arialFont(kBandHeight - 1, FW_NORMAL, s); });
        const SelectionScope selectFont(dc, small);
        RECT labelArea{area.left + scaledPx(4, scale), client.top + 1,
                       area.right - scaledPx(4, scale), area.top};
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kWhite);
        DrawTextA(dc, state.label.c_str(), static_cast<int>(state.label.size()), &labelArea,
                  DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }

    if (state.progress > 0) {
        paintProgress(dc, state, RECT{area.left, client.bottom - band, area.right, client.bottom},
                      scale);
    }

    // A sunken one-pixel border.
    fillSolid(dc, RECT{client.left, client.top, client.right, client.top + 1}, kPanelEdgeDark);
    fillSolid(dc, RECT{client.left, client.top, client.left + 1, client.bottom}, kPanelEdgeDark);
    fillSolid(dc, RECT{client.left, client.bottom - 1, client.right, client.bottom}, kBorderLight);
    fillSolid(dc, RECT{client.right - 1, client.top, client.right, client.bottom}, kBorderLight);
}

void notifyView(HWND preview, const PreviewWindow& state, PreviewAction action, int x = 0,
                int y = 0) {
    const HWND parent = GetParent(preview);
    if (parent == nullptr || !state.clicks) return;
    SendMessageW(parent, kPreviewViewMessage, action,
                 MAKELPARAM(static_cast<WORD>(static_cast<short>(x)),
                            static_cast<WORD>(static_cast<short>(y))));
}

void endRightPress(HWND preview, PreviewWindow& state) {
    if (!state.rightPressed) return;
    state.rightPressed = false;
    notifyView(preview, state, kPreviewRightRelease);
}

// Returns false when the parent's handler has destroyed the control.
bool notify(HWND preview, PreviewWindow& state, int code) {
    const HWND parent = GetParent(preview);
    if (parent == nullptr) return true;
    SendMessageW(parent, WM_HSCROLL,
                 MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(state.progress)),
                 reinterpret_cast<LPARAM>(preview));
    return IsWindow(preview) && stateOf(preview) == &state;
}

LRESULT handle(HWND preview, PreviewWindow& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(preview, &ps);
            if (dc != nullptr) paint(preview, state, dc, &ps.rcPaint);
            EndPaint(preview, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(preview, state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_TIMER:
            if (wParam == kBusyTimer) {
                ++state.ticks;
                RECT client{};
                GetClientRect(preview, &client);
                RECT bar = client;
                bar.top = client.bottom - scaledPx(kBandHeight, windowScale(preview));
                InvalidateRect(preview, &bar, FALSE);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            if (state.clicks) {
                SetCapture(preview);
                state.pressed = true;
                notify(preview, state, SB_THUMBPOSITION);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (state.pressed) notify(preview, state, SB_THUMBTRACK);
            if (state.rightPressed) {
                const POINT at{pointX(lParam), pointY(lParam)};
                const int dx = at.x - state.lastRight.x;
                const int dy = at.y - state.lastRight.y;
                state.lastRight = at;
                if (dx != 0 || dy != 0) notifyView(preview, state, kPreviewRightMove, dx, dy);
            }
            return 0;
        case WM_RBUTTONDOWN:
            if (state.clicks && !state.rightPressed) {
                SetCapture(preview);
                state.rightPressed = true;
                state.lastRight = {pointX(lParam), pointY(lParam)};
                notifyView(preview, state, kPreviewRightPress, (wParam & MK_SHIFT) != 0 ? 1 : 0);
            }
            return 0;
        case WM_RBUTTONUP:
            if (state.rightPressed) {
                endRightPress(preview, state);
                if (!state.pressed && GetCapture() == preview) ReleaseCapture();
            }
            return 0;
        case WM_CONTEXTMENU:
            return 0;
        case WM_GETDLGCODE:
            // The arrows move the 1:1 view rather than the focus.
            return DLGC_WANTARROWS;
        case WM_KEYDOWN: {
            const int dx = wParam == VK_LEFT ? -1 : wParam == VK_RIGHT ? 1 : 0;
            const int dy = wParam == VK_UP ? -1 : wParam == VK_DOWN ? 1 : 0;
            if (dx != 0 || dy != 0) {
                notifyView(preview, state, kPreviewArrowKey, dx, dy);
                return 0;
            }
            break;
        }
        case WM_SIZE:
            notifyView(preview, state, kPreviewResized);
            break;
        case WM_LBUTTONUP:
            if (state.pressed) {
                // Cleared first, so that losing the capture is not taken for another end.
                state.pressed = false;
                if (GetCapture() == preview) ReleaseCapture();
                notify(preview, state, SB_ENDSCROLL);
            } else if (GetCapture() == preview && !state.rightPressed) {
                ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) == preview) return 0;
            if (state.pressed) {
                state.pressed = false;
                notify(preview, state, SB_ENDSCROLL);
            }
            if (IsWindow(preview) && stateOf(preview) == &state) endRightPress(preview, state);
            return 0;
        case WM_DROPFILES: {
            const HWND parent = GetParent(preview);
            return parent != nullptr ? SendMessageW(parent, message, wParam, lParam) : 0;
        }
        case WM_DESTROY:
            state.stopTimer(preview);
            break;
        default:
            break;
    }
    return DefWindowProcW(preview, message, wParam, lParam);
}

}  // namespace

bool registerPreviewClass(HINSTANCE module) {
    return registerControlClass(module, kPreviewClassName, &controlProc<PreviewWindow, handle>,
                                reinterpret_cast<LPCWSTR>(IDC_ARROW), CS_HREDRAW | CS_VREDRAW);
}

void unregisterPreviewClass(HINSTANCE module) {
    UnregisterClassW(kPreviewClassName, module);
}

HWND createPreviewControl(HWND parent, const RECT& rectInParentClient, HINSTANCE module) {
    const HWND preview = CreateWindowExW(
        0, kPreviewClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rectInParentClient.left,
        rectInParentClient.top, rectInParentClient.right - rectInParentClient.left,
        rectInParentClient.bottom - rectInParentClient.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPreviewControlId)), module, nullptr);
    // Above the placeholder frame it covers.
    if (preview != nullptr) {
        SetWindowPos(preview, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return preview;
}

void previewShowImage(HWND preview, const WorkingImage& image) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr) return;
    if (&image != &state->image && state->image.CopyFrom(image) != kImageOk) {
        state->image.Release();
    }
    InvalidateRect(preview, nullptr, FALSE);
    UpdateWindow(preview);
}

void previewClearImage(HWND preview) {
    if (PreviewWindow* state = previewOf(preview)) {
        state->image.Release();
        repaintNow(preview);
    }
}

void previewSetStatusText(HWND preview, const std::string& text) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr) return;
    state->status = text;
    SetWindowTextA(preview, text.c_str());
    repaintNow(preview);
}

void previewShowTransientMessage(HWND preview, const std::string& text) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr) return;
    state->transient = text;
    repaintNow(preview);
    if ((state = previewOf(preview)) != nullptr) state->transient.clear();
}

void previewSetProgress(HWND preview, int percent) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr) return;
    state->progress = std::clamp(percent, 0, 100);
    if (state->progress > 0 && !state->timer) {
        state->timer = SetTimer(preview, kBusyTimer, kBusyTimerMs, nullptr) != 0;
    } else if (state->progress == 0) {
        state->stopTimer(preview);
    }
    // Only the band the bar lives in: the render reports progress often, and repainting the
    // picture each time would cost more than the fast preview itself.
    RECT client{};
    GetClientRect(preview, &client);
    const int band = scaledPx(kBandHeight, windowScale(preview));
    const RECT bar{client.left, client.bottom - band, client.right, client.bottom};
    RedrawWindow(preview, &bar, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

int previewProgress(HWND preview) {
    const PreviewWindow* state = previewOf(preview);
    return state != nullptr ? state->progress : 0;
}

void previewSetLabel(HWND preview, const std::string& text) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr || state->label == text) return;
    state->label = text;
    InvalidateRect(preview, nullptr, FALSE);
}

void previewEnableClicks(HWND preview, bool enabled) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr) return;
    state->clicks = enabled;
    if (!enabled) previewEndPress(preview);
}

void previewEndPress(HWND preview) {
    PreviewWindow* state = previewOf(preview);
    if (state == nullptr) return;
    state->pressed = false;
    if (GetCapture() == preview) ReleaseCapture();
}

}  // namespace qorva::win32

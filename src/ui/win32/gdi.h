// Small owners for the GDI handles the dialog's controls paint with, the colours of the
// plug-in's look, the window's DPI scale and the drawing of a working image. Every handle made
// here is released by its owner, so a paint that returns early leaks nothing.
#pragma once

#include <windows.h>

#include <utility>

namespace qorva {
class WorkingImage;
}

namespace qorva::win32 {

// The look: a dark blue-grey dialog, lighter grey panels and controls.
constexpr COLORREF kDialogBackground = RGB(80, 85, 100);
constexpr COLORREF kPanelBackground = RGB(132, 138, 150);
constexpr COLORREF kControlBackground = kPanelBackground;
constexpr COLORREF kPanelEdgeLight = RGB(120, 126, 136);
constexpr COLORREF kPanelEdgeDark = RGB(92, 97, 105);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCaptionShadeFrom = RGB(53, 59, 73);
constexpr COLORREF kCaptionShadeTo = RGB(80, 85, 100);
constexpr COLORREF kTitleLabelFill = RGB(86, 152, 233);
constexpr COLORREF kCloseBoxHover = RGB(255, 255, 255);
constexpr COLORREF kCloseBoxNormal = RGB(217, 220, 226);
// The accent of focused controls and of filled slider tracks and progress bars.
constexpr COLORREF kAccent = kTitleLabelFill;

// A GDI object (brush, pen, font, bitmap) deleted with its owner. It must not be selected into
// a DC when the owner goes: declare the SelectionScope after the object it selects.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }

    void reset(Handle handle = nullptr) {
        if (handle_ != nullptr) DeleteObject(handle_);
        handle_ = handle;
    }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_ = nullptr;
};

using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

inline Brush solidBrush(COLORREF colour) {
    return Brush(CreateSolidBrush(colour));
}
inline Pen solidPen(COLORREF colour, int width = 1) {
    return Pen(CreatePen(PS_SOLID, width < 1 ? 1 : width, colour));
}

// Selects an object into a DC and puts the previous one back when it goes.
class SelectionScope {
public:
    SelectionScope(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectionScope() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectionScope(const SelectionScope&) = delete;
    SelectionScope& operator=(const SelectionScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A DC from GetDC (the client area) or GetWindowDC (the whole window, for the non-client
// frame), released with the owner.
class WindowDC {
public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    ~WindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Painting off screen: everything is drawn into a memory bitmap the size of the area and copied
// to the target in one BitBlt when the object goes, so a repaint never flickers. Draw into dc()
// with the target's coordinates. When no memory bitmap can be had, dc() is the target itself.
class OffscreenPaint {
public:
    OffscreenPaint(HDC target, const RECT& area);
    ~OffscreenPaint();
    OffscreenPaint(const OffscreenPaint&) = delete;
    OffscreenPaint& operator=(const OffscreenPaint&) = delete;

    HDC dc() const { return memory_ != nullptr ? memory_ : target_; }

private:
    HDC target_;
    RECT area_;
    HDC memory_ = nullptr;
    Bitmap bitmap_;
    HGDIOBJ previousBitmap_ = nullptr;
    POINT previousOrigin_{};
};

// A child window's rectangle in its parent's client coordinates: where a control is placed over
// a template's frame.
RECT childRect(HWND parent, HWND child);

// The window's DPI divided by 96 (1.0 when it cannot be told).
double windowScale(HWND window);
// A length given at 96 DPI at the window's scale, rounded to the nearest pixel.
int scaledPx(int px96, double scale);

// The system's icon-title font at weight 400, sized for the window's DPI: the text font of the
// dialogs and their controls.
Font iconTitleFont(HWND window);

// Arial at a character height given in pixels at 96 DPI (not a cell height), at the window's
// scale: the face of the title bands and the memory cells' labels.
Font arialFont(int characterHeight96, int weight, double scale);

// A font owned by a control, made again only when the control's scale changes.
class ScaledFontCache {
public:
    template <class Make>
    HFONT get(HWND window, Make make) {
        const double scale = windowScale(window);
        if (!font_ || scale != scale_) {
            font_ = make(window, scale);
            scale_ = scale;
        }
        return font_.get();
    }

private:
    Font font_;
    double scale_ = 0.0;
};

void fillSolid(HDC dc, const RECT& rect, COLORREF colour);
void frameSolid(HDC dc, const RECT& rect, COLORREF colour);
// Rows shaded linearly from top to bottom.
void fillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
COLORREF mixColour(COLORREF a, COLORREF b, double t);

// Draws a 24-bit working image (rows top to bottom, R,G,B) with its top left corner at (x, y).
// Other depths and images without pixels draw nothing.
void drawImage(HDC dc, const WorkingImage& image, int x, int y);

}  // namespace qorva::win32

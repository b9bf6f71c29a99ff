#include "ui/win32/gdi.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "plugin/working_image.h"

namespace qorva::win32 {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// Windows 10 1607 and later only; older systems (and some Wine versions) go without it.
GetDpiForWindowFn dpiForWindowFunction() {
    static const GetDpiForWindowFn function = [] {
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (user32 == nullptr) return GetDpiForWindowFn{nullptr};
        const FARPROC address = GetProcAddress(user32, "GetDpiForWindow");
        // Through the generic function type, which the compiler accepts as a cast source.
        return reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(address));
    }();
    return function;
}

int deviceDpi(HWND window) {
    const WindowDC dc(window);
    const int dpi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

OffscreenPaint::OffscreenPaint(HDC target, const RECT& area) : target_(target), area_(area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (target == nullptr || width <= 0 || height <= 0) return;
    memory_ = CreateCompatibleDC(target);
    if (memory_ == nullptr) return;
    bitmap_.reset(CreateCompatibleBitmap(target, width, height));
    if (!bitmap_) {
        DeleteDC(memory_);
        memory_ = nullptr;
        return;
    }
    previousBitmap_ = SelectObject(memory_, bitmap_.get());
    SetViewportOrgEx(memory_, -area.left, -area.top, &previousOrigin_);
}

OffscreenPaint::~OffscreenPaint() {
    if (memory_ == nullptr) return;
    BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top,
           memory_, area_.left, area_.top, SRCCOPY);
    SetViewportOrgEx(memory_, previousOrigin_.x, previousOrigin_.y, nullptr);
    SelectObject(memory_, previousBitmap_);
    DeleteDC(memory_);
}

RECT childRect(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

double windowScale(HWND window) {
    int dpi = 0;
    if (window != nullptr) {
        if (const GetDpiForWindowFn function = dpiForWindowFunction()) {
            dpi = static_cast<int>(function(window));
        }
    }
    if (dpi <= 0) dpi = deviceDpi(window);
    return static_cast<double>(dpi) / USER_DEFAULT_SCREEN_DPI;
}

int scaledPx(int px96, double scale) {
    return static_cast<int>(std::lround(static_cast<double>(px96) * scale));
}

Font iconTitleFont(HWND window) {
    LOGFONTW font{};
    if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0)) {
        font = LOGFONTW{};
        font.lfHeight = -12;
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(font.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
    }
    // The system reports the font at the screen's DPI; the window may be at another.
    const int screenDpi = deviceDpi(nullptr);
    const int dpi = static_cast<int>(std::lround(windowScale(window) * USER_DEFAULT_SCREEN_DPI));
    if (dpi != screenDpi) font.lfHeight = MulDiv(font.lfHeight, dpi, screenDpi);
    font.lfWeight = FW_NORMAL;
    return Font(CreateFontIndirectW(&font));
}

Font arialFont(int characterHeight96, int weight, double scale) {
    LOGFONTW font{};
    font.lfHeight = -scaledPx(characterHeight96, scale);
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = FF_SWISS;
    lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
    return Font(CreateFontIndirectW(&font));
}

void fillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const Brush brush = solidBrush(colour);
    if (brush) FillRect(dc, &rect, brush.get());
}

void frameSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const Brush brush = solidBrush(colour);
    if (brush) FrameRect(dc, &rect, brush.get());
}

COLORREF mixColour(COLORREF a, COLORREF b, double t) {
    const auto channel = [t](int from, int to) {
        return static_cast<BYTE>(std::lround(from + (to - from) * t));
    };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

void fillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
    const int height = rect.bottom - rect.top;
    if (height <= 0 || rect.right <= rect.left) return;
    for (int row = 0; row < height; ++row) {
        const double t = height > 1 ? static_cast<double>(row) / (height - 1) : 0.0;
        const RECT line{rect.left, rect.top + row, rect.right, rect.top + row + 1};
        fillSolid(dc, line, mixColour(top, bottom, t));
    }
}

void drawImage(HDC dc, const WorkingImage& image, int x, int y) {
    if (!image.hasPixels() || image.bitsPerPixel() != 24) return;
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) return;

    // Converted a strip at a time, so that a large image needs no second full-size buffer.
    constexpr std::size_t kStripBytes = 4u << 20;
    const std::size_t rowPixels = static_cast<std::size_t>(width);
    const int stripRows = static_cast<int>(std::clamp<std::size_t>(
        kStripBytes / (rowPixels * 4), 1, static_cast<std::size_t>(height)));
    std::vector<std::uint32_t> strip;
    try {
        strip.resize(rowPixels * static_cast<std::size_t>(stripRows));
    } catch (const std::bad_alloc&) {
        return;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    const std::size_t rowBytes = image.RowBytes();
    for (int top = 0; top < height; top += stripRows) {
        const int rows = std::min(stripRows, height - top);
        for (int row = 0; row < rows; ++row) {
            const std::uint8_t* source =
                image.pixels() + static_cast<std::size_t>(top + row) * rowBytes;
            std::uint32_t* target = strip.data() + static_cast<std::size_t>(row) * rowPixels;
            for (std::size_t column = 0; column < rowPixels; ++column, source += 3) {
                target[column] = static_cast<std::uint32_t>(source[2]) |
                                 static_cast<std::uint32_t>(source[1]) << 8 |
                                 static_cast<std::uint32_t>(source[0]) << 16;
            }
        }
        info.bmiHeader.biHeight = -rows;  // top-down
        StretchDIBits(dc, x, y + top, width, rows, 0, 0, width, rows, strip.data(), &info,
                      DIB_RGB_COLORS, SRCCOPY);
    }
}

}  // namespace qorva::win32

// Works the plug-in's dialog from a second thread, the way a user (or an accessibility tool)
// would: it finds the dialog among the process's windows, reads and sets its controls by
// window messages, moves the real mouse pointer and presses its buttons, and takes
// screenshots. The shipped plug-in carries no test hook: only what any program can see of a
// window is used.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace host {

constexpr const char* kDialogTitle = "HDR effect simulation - QorvaHDR";
constexpr int kPreviewId = 123456;

// A screenshot: 32-bit pixels, top-down, B G R x.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    // R, G, B of a pixel as 0xRRGGBB.
    std::uint32_t rgb(int x, int y) const;
    bool saveBmp(const std::string& path) const;
};

// A window as it is on screen, read in-process (its whole window, frame included).
Screenshot windowScreenshot(HWND window);

class DialogDriver {
public:
    using Script = std::function<void(DialogDriver&)>;

    // Starts the script on its own thread once the dialog is visible; the script ends the
    // dialog (OK, Cancel) itself. A dialog that never appears within timeoutMs is a failure.
    explicit DialogDriver(Script script, int timeoutMs = 60000);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Joins the script's thread; the failures it met, empty when none.
    std::vector<std::string> finish();

    HWND dialog() const { return dialog_; }
    HWND item(int id) const;
    HWND preview() const { return item(kPreviewId); }
    std::string text(int id) const;
    std::string previewStatus() const { return text(kPreviewId); }
    bool checked(int id) const;
    bool enabled(int id) const;
    bool visible(int id) const;
    RECT clientRectOf(int id) const;  // in the dialog's client coordinates
    int sliderPosition(int id) const;

    // Waits until condition() holds; false (and a failure noted) after timeoutMs.
    bool waitFor(const std::function<bool()>& condition, int timeoutMs, const std::string& what);
    // The start-up status text has gone: the first preview has been shown.
    bool waitForFirstPreview(int timeoutMs = 30000);

    // Window messages, synchronous (they return when the dialog has handled them).
    void click(int id);  // BM_CLICK
    void setEditText(int id, const std::string& text);
    void focus(int id);
    void key(int id, WORD virtualKey);           // WM_KEYDOWN + WM_KEYUP to the control
    void mouseDrag(int id, int fromX, int toX);  // press, moves, release in client pixels

    // The real mouse (SendInput): moves the pointer onto a control and presses the left button
    // there, or drags from one point to another inside it.
    void realClick(int id, int x, int y);
    void realDrag(int id, int fromX, int toX, int y, int steps = 8);
    // The right button pressed (and held) or let go at a point of a control; moves with it held
    // to another point.
    void realRightButton(int id, int x, int y, bool down);
    void realMoveTo(int id, int x, int y);
    // The wheel turned by notches at a point of a control (positive: away from the user).
    void realWheel(int id, int x, int y, int notches);
    // A key pressed or let go on the real keyboard, for whatever has the focus.
    void realKey(WORD virtualKey, bool down);

    // Waits until the dialog's thread has taken everything queued so far.
    void settle() const;
    Screenshot screenshot() const;  // the dialog's whole window, in-process
    void fail(const std::string& what);

private:
    void run(const Script& script, int timeoutMs);

    HWND dialog_ = nullptr;
    std::vector<std::string> failures_;
    std::thread thread_;
    bool joined_ = false;
};

}  // namespace host

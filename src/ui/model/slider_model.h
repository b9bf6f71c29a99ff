// The owner-drawn slider without its window: range, position, line and page size, the mouse
// mapping (a press jumps near the pointer; the gamma slider follows the drag relatively), the
// keyboard wrap-around and which notifications the parent gets. The Win32 slider forwards its
// mouse and key messages here and sends what this model returns as WM_HSCROLL.
#pragma once

#include <string>
#include <vector>

namespace qorva {

// Scroll codes as the parent receives them (the platform's SB_* values).
enum class SliderNotify : int {
    LineUp = 0,
    LineDown = 1,
    PageUp = 2,
    PageDown = 3,
    ThumbPosition = 4,
    ThumbTrack = 5,
    EndScroll = 8,
};

enum class SliderKey { PageUp, PageDown, Left, Right, Up, Down, Home, End, Other };

// The pressed position for a pointer at client x: the thumb lands near the pointer, five
// positions to the right of the plain mapping, limited to the range. Never divides by zero,
// whatever the width.
int sliderPressPosition(int clientX, int clientWidth, int minimum, int maximum);
// The position after a relative drag from (pressX, pressPosition) to x, limited to the range.
int sliderRelativePosition(int pressPosition, int pressX, int clientX, int clientWidth, int minimum,
                           int maximum, double factor);
// What a paired edit box shows for a slider position: position / scale with as many decimals
// as the scale has zeros ("10.0" for 100 at scale 10, "0.60" for 60 at scale 100).
std::string formatSliderValue(int position, int scale);

class SliderModel {
public:
    // Sets the range, keeps the position inside it, and resets the page size to a fifth of the
    // range (at least 1) as a standard slider does.
    void setRange(int minimum, int maximum);
    void setPosition(int position);  // limited to the range; no notification
    void setLineSize(int size) { lineSize_ = size < 1 ? 1 : size; }
    void setPageSize(int size) { pageSize_ = size < 1 ? 1 : size; }
    void setRelativeDrag(bool on, double factor = 1.0);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    int lineSize() const { return lineSize_; }
    int pageSize() const { return pageSize_; }
    bool relativeDrag() const { return relative_; }
    bool pressed() const { return pressed_; }

    // Mouse, in client pixels of a slider clientWidth wide. Each returns the notifications to
    // send, in order (possibly none).
    std::vector<SliderNotify> press(int clientX, int clientWidth);
    std::vector<SliderNotify> drag(int clientX, int clientWidth);
    // The release position counts as one more move (as in press and drag); in relative mode the
    // thumb-track notification is always repeated on release.
    std::vector<SliderNotify> release(int clientX, int clientWidth);
    // A key while the slider has the focus; false when the key is not the slider's (default
    // handling), with nothing changed.
    bool key(SliderKey key, std::vector<SliderNotify>& notifications);

private:
    int wrap(int position) const;

    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int lineSize_ = 1;
    int pageSize_ = 20;
    bool relative_ = false;
    double factor_ = 1.0;
    bool pressed_ = false;
    bool changedSincePress_ = false;  // anything changed during this press
    bool changedSinceTrack_ = false;  // changed since the last ThumbTrack was sent
    int pressX_ = 0;
    int pressPosition_ = 0;
};

}  // namespace qorva

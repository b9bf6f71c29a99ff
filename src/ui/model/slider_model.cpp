#include "ui/model/slider_model.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace qorva {
namespace {

// Limits a real position to [low, high] before it becomes an int, so that a pointer far
// outside a narrow slider cannot overflow the conversion.
int limitPosition(double position, int low, int high) {
    if (std::isnan(position) || position < low) return low;
    if (position > high) return high;
    return static_cast<int>(position);
}

int decimalsOf(int scale) {
    int decimals = 0;
    for (int s = scale; s >= 10 && s % 10 == 0; s /= 10) ++decimals;
    return decimals;
}

}  // namespace

int sliderPressPosition(int clientX, int clientWidth, int minimum, int maximum) {
    if (maximum < minimum) maximum = minimum;
    // The track leaves 10 pixels at the left and 9 at the right for the thumb; a slider too
    // narrow for any track still maps instead of dividing by zero.
    double track = static_cast<double>(clientWidth) - 19.0;
    if (track <= 0) track = 1.0;
    const double span = static_cast<double>(maximum) + 1.0 - minimum;
    const double mapped = std::trunc((clientX - 10.0) / (track / span) + minimum) + 5.0;
    const int limited = limitPosition(mapped, minimum, maximum + 1);
    return limited > maximum ? maximum : limited;
}

int sliderRelativePosition(int pressPosition, int pressX, int clientX, int clientWidth, int minimum,
                           int maximum, double factor) {
    if (maximum < minimum) maximum = minimum;
    double width = static_cast<double>(clientWidth) + 1.0;
    if (width <= 0) width = 1.0;
    const double span = static_cast<double>(maximum) - minimum + 1.0;
    const double moved =
        std::trunc(span * factor / width * (static_cast<double>(clientX) - pressX));
    return limitPosition(pressPosition + moved, minimum, maximum);
}

std::string formatSliderValue(int position, int scale) {
    if (scale < 1) scale = 1;
    const int decimals = decimalsOf(scale);
    long long power = 1;
    for (int i = 0; i < decimals; ++i) power *= 10;
    char text[64];
    if (power == scale) {
        // Whole and fractional parts in integers: exact, and the same on every locale.
        const long long value = position;
        const unsigned long long magnitude = static_cast<unsigned long long>(std::llabs(value));
        std::string out = value < 0 ? "-" : "";
        out += std::to_string(magnitude / static_cast<unsigned long long>(scale));
        if (decimals > 0) {
            std::string fraction =
                std::to_string(magnitude % static_cast<unsigned long long>(scale));
            out += '.';
            out.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
            out += fraction;
        }
        return out;
    }
    const auto result =
        std::to_chars(text, text + sizeof text, static_cast<double>(position) / scale,
                      std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

void SliderModel::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum < minimum ? minimum : maximum;
    const int page = (maximum_ - minimum_) / 5;
    pageSize_ = page < 1 ? 1 : page;
    setPosition(position_);
}

void SliderModel::setPosition(int position) {
    position_ = position < minimum_ ? minimum_ : position > maximum_ ? maximum_ : position;
}

void SliderModel::setRelativeDrag(bool on, double factor) {
    relative_ = on;
    factor_ = factor;
}

std::vector<SliderNotify> SliderModel::press(int clientX, int clientWidth) {
    pressed_ = true;
    changedSincePress_ = false;
    changedSinceTrack_ = false;
    pressX_ = clientX;
    pressPosition_ = position_;
    std::vector<SliderNotify> out;
    // The gamma slider does not jump: it follows the drag from where the thumb stands.
    if (relative_) return out;
    const int next = sliderPressPosition(clientX, clientWidth, minimum_, maximum_);
    if (next != position_) {
        position_ = next;
        changedSincePress_ = true;
        out.push_back(SliderNotify::ThumbTrack);
    }
    return out;
}

std::vector<SliderNotify> SliderModel::drag(int clientX, int clientWidth) {
    std::vector<SliderNotify> out;
    if (!pressed_) return out;
    const int next = relative_ ? sliderRelativePosition(pressPosition_, pressX_, clientX,
                                                        clientWidth, minimum_, maximum_, factor_)
                               : sliderPressPosition(clientX, clientWidth, minimum_, maximum_);
    if (next != position_) {
        position_ = next;
        changedSincePress_ = true;
        changedSinceTrack_ = false;
        out.push_back(SliderNotify::ThumbTrack);
    }
    return out;
}

std::vector<SliderNotify> SliderModel::release(int clientX, int clientWidth) {
    std::vector<SliderNotify> out;
    if (!pressed_) return out;
    out = drag(clientX, clientWidth);
    pressed_ = false;
    // The gamma slider's parent always hears the final position, even without a last move.
    if (relative_ && out.empty()) out.push_back(SliderNotify::ThumbTrack);
    if (changedSincePress_) out.push_back(SliderNotify::EndScroll);
    changedSincePress_ = false;
    changedSinceTrack_ = false;
    return out;
}

int SliderModel::wrap(int position) const {
    // The keys run round the range instead of stopping at its ends.
    const long long span = static_cast<long long>(maximum_) + 1 - minimum_;
    long long p = static_cast<long long>(position) - minimum_;
    p %= span;
    if (p < 0) p += span;
    return static_cast<int>(p + minimum_);
}

bool SliderModel::key(SliderKey key, std::vector<SliderNotify>& notifications) {
    long long next = position_;
    SliderNotify code;
    switch (key) {
        case SliderKey::PageUp:
            next -= pageSize_;
            code = SliderNotify::PageUp;
            break;
        case SliderKey::PageDown:
            next += pageSize_;
            code = SliderNotify::PageDown;
            break;
        case SliderKey::Left:
        case SliderKey::Up:
            next -= lineSize_;
            code = SliderNotify::LineUp;
            break;
        case SliderKey::Right:
        case SliderKey::Down:
            next += lineSize_;
            code = SliderNotify::LineDown;
            break;
        case SliderKey::Home:
        case SliderKey::End:
            return true;
        case SliderKey::Other:
        default:
            return false;
    }
    // Only a line or page size beyond the int range could leave it; the wrap is then as good.
    position_ = wrap(static_cast<int>(std::clamp<long long>(next, INT_MIN, INT_MAX)));
    notifications.push_back(code);
    return true;
}

}  // namespace qorva

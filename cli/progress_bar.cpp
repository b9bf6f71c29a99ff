#include "progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace qorva::cli {

ProgressBar::ProgressBar(std::ostream& out, bool enabled, int width)
    : out_(out), enabled_(enabled), width_(std::max(width, 1)) {}

void ProgressBar::startFile(int index, int count, const std::string& name) {
    index_ = index;
    count_ = count;
    // Long names keep their end, which tells files of one camera apart.
    constexpr std::size_t kMaxName = 40;
    name_ = name.size() <= kMaxName ? name : "..." + name.substr(name.size() - (kMaxName - 3));
    percent_ = 0;
    draw();
}

void ProgressBar::update(int percent) {
    percent = std::clamp(percent, 0, 100);
    // The driver sets the indicator back to 0 when a render ends; the bar keeps what was
    // reached instead of jumping back.
    if (percent <= percent_) return;
    percent_ = percent;
    draw();
}

void ProgressBar::clear() {
    if (!enabled_ || drawn_ == 0) return;
    out_ << '\r' << std::string(drawn_, ' ') << '\r' << std::flush;
    drawn_ = 0;
}

std::string ProgressBar::line(int index, int count, const std::string& name, int percent,
                              int width) {
    const int filled = width * std::clamp(percent, 0, 100) / 100;
    char tail[8];
    std::snprintf(tail, sizeof tail, "%4d%%", std::clamp(percent, 0, 100));
    return "[" + std::to_string(index) + "/" + std::to_string(count) + "] " + name + " [" +
           std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), '.') + "]" + tail;
}

void ProgressBar::draw() {
    if (!enabled_) return;
    const std::string text = line(index_, count_, name_, percent_, width_);
    out_ << '\r' << text;
    if (text.size() < drawn_) out_ << std::string(drawn_ - text.size(), ' ');
    out_ << std::flush;
    drawn_ = std::max(drawn_, text.size());
}

}  // namespace qorva::cli

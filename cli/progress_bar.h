// The batch's progress on standard error: file k of n and the current image's percentage as
// the pipelines report it, redrawn in place on one terminal line.
#pragma once

#include <ostream>
#include <string>

namespace qorva::cli {

class ProgressBar {
public:
    // A disabled bar prints nothing (quiet runs, or standard error is not a terminal).
    ProgressBar(std::ostream& out, bool enabled, int width = 30);

    void startFile(int index, int count, const std::string& name);  // index from 1
    void update(int percent);
    // Clears the line, so that messages and the next file start on a clean line.
    void clear();
    bool enabled() const { return enabled_; }

    // The line drawn for a state, without the carriage return: "[2/5] storm.jpg [####....]  40%".
    static std::string line(int index, int count, const std::string& name, int percent, int width);

private:
    void draw();

    std::ostream& out_;
    bool enabled_;
    int width_;
    int index_ = 0;
    int count_ = 0;
    std::string name_;
    int percent_ = -1;
    std::size_t drawn_ = 0;
};

}  // namespace qorva::cli

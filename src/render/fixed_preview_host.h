// The preview window of a render without a dialog: a client rectangle that never changes, and
// the render's progress passed on when someone wants it. The command line, the benchmarks, the
// test hosts and the tests all render through this one; an empty rectangle (the default) is no
// preview area at all, for final renders only.
#pragma once

#include <functional>
#include <utility>

#include "render/render_driver.h"

namespace qorva {

class FixedPreviewHost : public PreviewHost {
public:
    explicit FixedPreviewHost(ClientRect client = {}, std::function<void(int)> progress = {})
        : client_(client), progress_(std::move(progress)) {}
    // A preview window of this client size, placed at the origin.
    FixedPreviewHost(int clientWidth, int clientHeight, std::function<void(int)> progress = {})
        : FixedPreviewHost(ClientRect{0, 0, clientWidth, clientHeight}, std::move(progress)) {}

    ClientRect previewClientRect() const override { return client_; }
    void setProgress(int percent) override {
        if (progress_) progress_(percent);
    }

private:
    ClientRect client_;
    std::function<void(int)> progress_;
};

}  // namespace qorva

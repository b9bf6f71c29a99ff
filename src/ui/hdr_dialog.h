// The seam between the start phase of a filter run and the main dialog. The start phase hands
// the dialog the host's input and a way to write the confirmed result; the dialog runs
// modally and reports whether the user confirmed. The shipped plug-in runs AutoConfirmDialog
// until the window lands; test hosts put a scripted dialog in its place.
#pragma once

#include <cstdint>
#include <memory>

namespace qorva {

class PlatformServices;
class RenderDriver;
class WorkingImage;

// Receives the full-size result exactly once, when the user confirms.
class HostOutput {
public:
    virtual ~HostOutput() = default;
    virtual void writeResult(const WorkingImage& renderImage) = 0;
};

struct DialogHostContext {
    const std::uint8_t* input = nullptr;  // packed RGB rows, width x height, never written
    int width = 0;
    int height = 0;
    std::intptr_t* hostData = nullptr;  // handed on, not used
    std::intptr_t ownerWindow = 0;      // the host's window, or 0 for none
    HostOutput* output = nullptr;
    PlatformServices* platform = nullptr;
};

enum class DialogResult { Confirmed, Cancelled };

class HdrDialog {
public:
    virtual ~HdrDialog() = default;
    virtual DialogResult runModal(DialogHostContext& context) = 0;
};

// Confirmation: the final render from the host input, then the result to the host. Throws
// std::bad_alloc, with nothing written, when the render could not get its memory.
void renderFinalToHost(RenderDriver& driver, HostOutput& output);

// Profile section and values of the persistent clarity and de-haze switches.
constexpr const char* kProfileSection = "Settings";
constexpr const char* kProfileClarity = "Clarity";
constexpr const char* kProfileHaze = "Haze";

}  // namespace qorva

// The pixels between the host's buffers and the plug-in: the input as packed rows for the
// renders, and the confirmed result into outData. Hosts may pad their rows, so rows are
// stepped by inRowBytes and outRowBytes; with packed rows the input is used in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin/host_record.h"
#include "ui/hdr_dialog.h"

namespace qorva {

class HostImageTransfer : public HostOutput {
public:
    // Takes the buffers the host delivered for the whole filter area. False when they are
    // missing or do not match the area, so nothing may be read or written.
    bool attach(const FilterRecord& record);

    const std::uint8_t* input() const { return input_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Writes 3 x width bytes per row into outData. A render image that is not the full-size
    // 24-bit result (the method rendered nothing, or the render failed) is never copied:
    // the untouched input goes back instead.
    void writeResult(const WorkingImage& renderImage) override;

private:
    int width_ = 0;
    int height_ = 0;
    std::size_t packedRowBytes_ = 0;
    const std::uint8_t* input_ = nullptr;
    std::uint8_t* outData_ = nullptr;
    std::size_t outRowBytes_ = 0;
    std::vector<std::uint8_t> packedInput_;  // only for hosts that pad their input rows
};

// Bytes the plug-in asks to hold at once for the whole area: 2 x width x height x planes,
// saturated at the largest value the host's 32-bit field holds.
std::int32_t wholeImageSpace(const Rect& area, std::int16_t planes);

}  // namespace qorva

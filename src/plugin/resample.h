// The two resampling methods the plug-in uses on its working images: the block average that
// makes preview-sized copies quickly, and bilinear interpolation for enlarging and for the
// sample thumbnails.
#pragma once

#include <cstdint>

namespace qorva {

// Writes a w x h copy of the W x H packed image src (channels bytes per pixel, each channel
// resampled on its own) into dst, which holds w x h x channels bytes. All sizes must be at
// least 1. method 0: bilinear whatever the sizes; any other value: plain copy at equal size,
// bilinear when enlarging in either direction, block average when shrinking both ways.
void resamplePixels(const std::uint8_t* src, int W, int H, std::uint8_t* dst, int w, int h,
                    int channels, int method);

}  // namespace qorva

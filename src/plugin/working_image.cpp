#include "plugin/working_image.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "common/large_buffer.h"
#include "common/parallel.h"
#include "plugin/resample.h"

namespace qorva {
namespace {

constexpr std::size_t kSizeMax = std::numeric_limits<std::size_t>::max();
// Larger blocks cannot be indexed by pointer differences; treat them as out of memory.
constexpr std::size_t kLargestBlock =
    static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());

std::size_t blockBytes(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0) return 0;
    const std::size_t row = packedRowBytes(width, bitsPerPixel);
    if (row == 0) return 0;
    return stridedBytes(row, static_cast<std::size_t>(height), row);
}

int channelsOf(int bitsPerPixel) {
    return bitsPerPixel == 24 ? 3 : bitsPerPixel == 8 ? 1 : 0;
}

}  // namespace

std::size_t packedRowBytes(int width, int bitsPerPixel) {
    if (width <= 0) return 0;
    const std::size_t w = static_cast<std::size_t>(width);
    switch (bitsPerPixel) {
        case 1:
            return (w + 7) / 8;
        case 8:
            return w;
        case 24:
            return w > kSizeMax / 3 ? 0 : 3 * w;
        default:
            return 0;
    }
}

WorkingImage::~WorkingImage() {
    Release();
}

void WorkingImage::Release() {
    releaseLargeBlock(pixels_, byteSize());
    pixels_ = nullptr;
    width_ = 0;
    height_ = 0;
    bitsPerPixel_ = 0;
    paletteCount_ = 0;
}

std::size_t WorkingImage::RowBytes() const {
    return packedRowBytes(width_, bitsPerPixel_);
}

std::size_t WorkingImage::byteSize() const {
    return pixels_ ? blockBytes(width_, height_, bitsPerPixel_) : 0;
}

int WorkingImage::Create(int width, int height, int bitsPerPixel) {
    Release();
    // An empty size or an unknown depth gives an image without pixels.
    if (width <= 0 || height <= 0 || packedRowBytes(1, bitsPerPixel) == 0) return kImageNoPixels;
    const std::size_t bytes = blockBytes(width, height, bitsPerPixel);
    // A size that does not fit is refused like a failed allocation, never wrapped around.
    if (bytes == 0 || bytes > kLargestBlock) return kImageOutOfMemory;
    // A full-size render image is as large as the planes of a run: the same huge-page blocks.
    pixels_ = static_cast<std::uint8_t*>(tryAllocateLargeBlock(bytes));
    if (!pixels_) return kImageOutOfMemory;
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    return kImageOk;
}

int WorkingImage::CopyFromHost(const std::uint8_t* source, int width, int height) {
    if (!source) return kImageNoPixels;
    const int rc = Create(width, height, 24);
    if (rc != kImageOk) return rc;
    // In bands of rows: a full-size photo is copied at the speed of both cores, and its fresh
    // pages are faulted in by both.
    const std::size_t rowBytes = RowBytes();
    std::uint8_t* const target = pixels_;
    try {
        parallelRows(height, [&](int begin, int end) {
            const std::size_t first = static_cast<std::size_t>(begin) * rowBytes;
            std::memcpy(target + first, source + first,
                        static_cast<std::size_t>(end - begin) * rowBytes);
        });
    } catch (...) {
        // Only the helper's own bookkeeping can fail, before any band ran: copy here instead.
        std::memcpy(target, source, byteSize());
    }
    return kImageOk;
}

int WorkingImage::CopyFrom(const WorkingImage& other) {
    if (!other.pixels_) return kImageNoPixels;
    if (&other == this) return kImageOk;  // Create would free the very pixels to be copied
    const int rc = Create(other.width_, other.height_, other.bitsPerPixel_);
    if (rc != kImageOk) return rc;
    std::memcpy(pixels_, other.pixels_, byteSize());
    paletteCount_ = other.paletteCount_;
    std::memcpy(palette_, other.palette_, sizeof palette_);
    return kImageOk;
}

int WorkingImage::TakeOver(WorkingImage& other) {
    if (!other.pixels_) return kImageNoPixels;
    if (&other == this) return kImageOk;
    Release();
    pixels_ = other.pixels_;
    width_ = other.width_;
    height_ = other.height_;
    bitsPerPixel_ = other.bitsPerPixel_;
    paletteCount_ = other.paletteCount_;
    std::memcpy(palette_, other.palette_, sizeof palette_);
    other.pixels_ = nullptr;
    other.Release();
    return kImageOk;
}

int WorkingImage::Resize(int width, int height, int method) {
    if (!pixels_) return kImageNoPixels;
    const int channels = channelsOf(bitsPerPixel_);
    if (channels == 0) return kImageNoPixels;  // 1-bit images are never resampled
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    WorkingImage resized;
    const int rc = resized.Create(width, height, bitsPerPixel_);
    if (rc != kImageOk) return rc;
    resamplePixels(pixels_, width_, height_, resized.pixels_, width, height, channels, method);
    resized.paletteCount_ = paletteCount_;
    std::memcpy(resized.palette_, palette_, sizeof palette_);
    return TakeOver(resized);
}

}  // namespace qorva

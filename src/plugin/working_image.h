// The plug-in's own pixel buffer: every render starts from a fresh copy of the host input in
// one of these, and the preview window keeps another. Rows are packed without padding, which
// is exactly the layout of the host's interleaved three-plane buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace qorva {

enum WorkingImageResult : int {
    kImageOk = 0,
    kImageOutOfMemory = 1,
    kImageNoPixels = 5,
};

// Resampling methods understood by Resize.
enum ResizeMethod : int {
    kResizeBilinear = 0,        // bilinear whatever the sizes (sample thumbnails)
    kResizeBlockOrBilinear = 2  // block average when shrinking both ways, else bilinear
};

class WorkingImage {
public:
    WorkingImage() = default;
    ~WorkingImage();
    WorkingImage(const WorkingImage&) = delete;
    WorkingImage& operator=(const WorkingImage&) = delete;

    // Releases the current pixels first. kImageNoPixels for a size below 1 or a depth other
    // than 1, 8 or 24; kImageOutOfMemory when the block cannot be had or its size does not fit,
    // which leaves the image without pixels.
    int Create(int width, int height, int bitsPerPixel);
    // Create(width, height, 24), then copies 3 x width x height packed bytes from source.
    int CopyFromHost(const std::uint8_t* source, int width, int height);
    int CopyFrom(const WorkingImage& other);
    int TakeOver(WorkingImage& other);
    // A resampled copy replaces the pixels (see resample.h for the methods); sizes below 1 become
    // 1. On failure the image is unchanged. 1-bit images are not resampled (kImageNoPixels).
    int Resize(int width, int height, int method);
    void Release();
    std::size_t RowBytes() const;

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    bool hasPixels() const { return pixels_ != nullptr; }
    std::uint8_t* pixels() { return pixels_; }
    const std::uint8_t* pixels() const { return pixels_; }
    std::size_t byteSize() const;
    int paletteCount() const { return paletteCount_; }
    const std::uint8_t* palette() const { return palette_; }

private:
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    int paletteCount_ = 0;
    std::uint8_t palette_[256 * 4] = {};
    std::uint8_t* pixels_ = nullptr;
};

// Row size in bytes of a packed image, or 0 when it would not fit in size_t.
std::size_t packedRowBytes(int width, int bitsPerPixel);

// Bytes from the start of the first of `rows` rows, `stride` bytes apart, to the end of the
// last, `rowBytes` long: (rows - 1) x stride + rowBytes, or 0 when that does not fit in Size.
// Size is size_t in the plug-in, whose 32-bit build must refuse what it cannot address; a
// narrower type shows those limits in a 64-bit test.
template <class Size>
constexpr Size stridedBytes(Size stride, Size rows, Size rowBytes) {
    if (rows == 0 || rowBytes == 0) return 0;
    const Size most = std::numeric_limits<Size>::max();
    if (rows > 1 && stride > (most - rowBytes) / (rows - 1)) return 0;
    return (rows - 1) * stride + rowBytes;
}

}  // namespace qorva

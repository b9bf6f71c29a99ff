#include "plugin/host_image_transfer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "plugin/working_image.h"

namespace qorva {
namespace {

bool sameSize(const Rect& a, const Rect& b) {
    return a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top;
}

// Rows shorter than the filter area's packed row cannot hold its pixels: reading them would
// run past the host's buffer, so such a record is refused.
bool strideFits(std::int32_t rowBytes, std::size_t packed) {
    return rowBytes > 0 && static_cast<std::size_t>(rowBytes) >= packed;
}

}  // namespace

std::int32_t wholeImageSpace(const Rect& area, std::int16_t planes) {
    const std::int64_t width = std::abs(static_cast<std::int64_t>(area.right) - area.left);
    const std::int64_t height = std::abs(static_cast<std::int64_t>(area.bottom) - area.top);
    // At most 2 x 65535 x 65535 x 32767 in magnitude: fits in 64 bits.
    const std::int64_t space = 2 * width * height * planes;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(space > kMax ? kMax : space < kMin ? kMin : space);
}

bool HostImageTransfer::attach(const FilterRecord& record) {
    const Rect area = record.filterRect;
    width_ = area.right - area.left;
    height_ = area.bottom - area.top;
    if (width_ <= 0 || height_ <= 0 || !record.inData || !record.outData) return false;
    // A host that clipped the request serves less than the area; reading the area from it
    // would run past its buffers.
    if (!sameSize(record.inRect, area) || !sameSize(record.outRect, area)) return false;

    packedRowBytes_ = 3 * static_cast<std::size_t>(width_);
    if (!strideFits(record.inRowBytes, packedRowBytes_) ||
        !strideFits(record.outRowBytes, packedRowBytes_))
        return false;
    const auto inStride = static_cast<std::size_t>(record.inRowBytes);
    outRowBytes_ = static_cast<std::size_t>(record.outRowBytes);
    outData_ = static_cast<std::uint8_t*>(record.outData);

    const auto* inData = static_cast<const std::uint8_t*>(record.inData);
    if (inStride == packedRowBytes_) {
        input_ = inData;
        return true;
    }
    packedInput_.resize(packedRowBytes_ * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y) {
        std::memcpy(packedInput_.data() + static_cast<std::size_t>(y) * packedRowBytes_,
                    inData + static_cast<std::size_t>(y) * inStride, packedRowBytes_);
    }
    input_ = packedInput_.data();
    return true;
}

void HostImageTransfer::writeResult(const WorkingImage& renderImage) {
    if (!outData_ || !input_) return;
    const bool fullSize = renderImage.hasPixels() && renderImage.bitsPerPixel() == 24 &&
                          renderImage.width() == width_ && renderImage.height() == height_;
    const std::uint8_t* source = fullSize ? renderImage.pixels() : input_;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(outData_ + static_cast<std::size_t>(y) * outRowBytes_,
                    source + static_cast<std::size_t>(y) * packedRowBytes_, packedRowBytes_);
    }
}

}  // namespace qorva

#include "plugin/host_image_transfer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "plugin/working_image.h"

namespace qorva {
namespace {

bool sameRect(const Rect& a, const Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

// What Start asked for: the area itself, planes 0 to 2, interleaved (a column step of three
// bytes where the host states one). A host that clipped the request, served other rows or
// other planes would have the plug-in read the wrong pixels or past its buffers.
bool servedAsAsked(const FilterRecord& record, const Rect& area) {
    auto interleaved = [](std::int32_t columnBytes, std::int32_t planeBytes) {
        // 0: the host has not set it, as some hosts that serve only this layout leave it.
        return (columnBytes == 0 || columnBytes == 3) && (planeBytes == 0 || planeBytes == 1);
    };
    return sameRect(record.inRect, area) && sameRect(record.outRect, area) &&
           record.inLoPlane == 0 && record.inHiPlane == 2 && record.outLoPlane == 0 &&
           record.outHiPlane == 2 && interleaved(record.inColumnBytes, record.inPlaneBytes) &&
           interleaved(record.outColumnBytes, record.outPlaneBytes);
}

// Rows shorter than the filter area's packed row cannot hold its pixels: reading them would
// run past the host's buffer, so such a record is refused.
bool strideFits(std::int32_t rowBytes, std::size_t packed) {
    return packed > 0 && rowBytes > 0 && static_cast<std::size_t>(rowBytes) >= packed;
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
    if (!servedAsAsked(record, area)) return false;

    packedRowBytes_ = packedRowBytes(width_, 24);
    if (!strideFits(record.inRowBytes, packedRowBytes_) ||
        !strideFits(record.outRowBytes, packedRowBytes_))
        return false;
    const auto inStride = static_cast<std::size_t>(record.inRowBytes);
    outRowBytes_ = static_cast<std::size_t>(record.outRowBytes);
    // Every offset of the row copies, and the packed copy itself, must fit in size_t: in the
    // 32-bit plug-in a 65535 x 65535 area does not, and a wrapped size would allocate a small
    // buffer that the row copies then overrun.
    const auto rows = static_cast<std::size_t>(height_);
    if (stridedBytes(inStride, rows, packedRowBytes_) == 0 ||
        stridedBytes(outRowBytes_, rows, packedRowBytes_) == 0 ||
        stridedBytes(packedRowBytes_, rows, packedRowBytes_) == 0)
        return false;
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

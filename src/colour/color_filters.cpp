#include "colour/color_filters.h"

#include <cstddef>

#include "colour/finishing_passes.h"
#include "common/parallel.h"
#include "kernels/packed_image.h"

namespace qorva {
namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

const std::array<FilterInfo, kFilterCount>& filterTable() {
    return kFilters;
}

int filterModeByName(std::string_view name) {
    for (const FilterInfo& f : kFilters) {
        if (equalsIgnoringCase(name, f.chooserName)) return f.mode;
    }
    return -1;
}

const char* UpdateFilterCaption(int& filterMode) {
    const FilterInfo* filter = filterByMode(filterMode);
    if (filter == nullptr) {
        filterMode = 0;
        filter = &kFilters[0];
    }
    return filter->caption;
}

ThumbnailSize thumbnailSize(int previewWidth, int previewHeight) {
    if (previewWidth <= 0 || previewHeight <= 0) return {};
    const float x = static_cast<float>(previewHeight) / static_cast<float>(previewWidth);
    const int e = static_cast<int>(x * 120);
    ThumbnailSize size;
    if (e < 77) {
        size = {120, e};
    } else {
        size = {static_cast<int>(76 / x), 76};
    }
    // A panorama would otherwise get an empty thumbnail, which cannot be rendered or shown.
    if (size.width < 1) size.width = 1;
    if (size.height < 1) size.height = 1;
    return size;
}

void FilterThumbnail(const std::uint8_t* source, std::uint8_t* target, int width, int height,
                     int mode, const ColorPassParams& pass) {
    if (source == nullptr || target == nullptr || packedImageBytes(width, height, 3) == 0) return;
    ColorPassParams params = pass;
    params.filterMode = mode;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    parallelRows(height, [&](int begin, int end) {
        const std::size_t first = static_cast<std::size_t>(begin) * rowBytes;
        const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
        for (std::size_t i = first; i < last; i += 3) {
            float r = source[i], g = source[i + 1], b = source[i + 2];
            ColorPass(r, g, b, params);
            target[i] = toOutputByte(r);
            target[i + 1] = toOutputByte(g);
            target[i + 2] = toOutputByte(b);
        }
    });
    OrtonPass(target, width, height, mode);
}

}  // namespace qorva

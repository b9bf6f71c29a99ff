#include "common/filter_host.h"

#include <cstring>

namespace host {
namespace {

thread_local FilterHost* current = nullptr;

constexpr RecordLayout kLayout64{28,  32,  34,  56,  60,  64,  72,  74,  76,  84,
                                 86,  88,  96,  100, 108, 116, 144, 156, 216, 280,
                                 301, 302, 304, 306, 312, 316, 440, 480, 556, 272};
constexpr RecordLayout kLayout32{16,  20,  22,  44,  48,  52,  60,  62,  64,  72,
                                 74,  76,  80,  84,  88,  96,  120, 128, 188, 224,
                                 237, 238, 240, 242, 248, 252, 360, 380, 452, 256};

bool isEmpty(const Rect16& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

const RecordLayout& layout() {
    return sizeof(void*) == 8 ? kLayout64 : kLayout32;
}

std::vector<std::uint8_t> Document::plane(int first, int count) const {
    std::vector<std::uint8_t> result;
    result.reserve(static_cast<std::size_t>(width) * height * count);
    for (std::size_t p = 0; p < static_cast<std::size_t>(width) * height; ++p) {
        for (int c = 0; c < count; ++c) result.push_back(pixels[p * planes + first + c]);
    }
    return result;
}

FilterHost::FilterHost(PluginEntry entry, Document document, HostOptions options)
    : entry_(entry),
      document_(std::move(document)),
      options_(options),
      record_(new std::uint8_t[layout().recordBytes]()),
      errorString_(256, 0xEE) {
    const RecordLayout& at = layout();
    set16(at.imageSize, static_cast<std::int16_t>(document_.height));
    set16(at.imageSize + 2, static_cast<std::int16_t>(document_.width));
    set16(at.planes, static_cast<std::int16_t>(document_.planes));
    Rect16 area{0, 0, static_cast<std::int16_t>(document_.height),
                static_cast<std::int16_t>(document_.width)};
    if (options_.filterRectOverride) area = options_.filterRect;
    setRect(at.filterRect, area);
    set16(at.imageMode, options_.imageMode);
    set32(at.depth, 8);
    set32(at.hostSig, 0x3842494D);
    record_[at.supportsPadding] = 1;
    if (options_.advanceState) {
        const auto advance = &FilterHost::advanceStateThunk;
        std::memcpy(record_.get() + at.advanceState, &advance, sizeof(advance));
    }
    if (options_.errorString) setPointer(at.errorString, errorString_.data());
    if (options_.window != 0) {
        platformData_[0] = options_.window;
        setPointer(at.platformData, platformData_);
    }
}

FilterHost::~FilterHost() = default;

std::int16_t FilterHost::get16(std::size_t offset) const {
    std::int16_t v;
    std::memcpy(&v, record_.get() + offset, sizeof(v));
    return v;
}

std::int32_t FilterHost::get32(std::size_t offset) const {
    std::int32_t v;
    std::memcpy(&v, record_.get() + offset, sizeof(v));
    return v;
}

Rect16 FilterHost::getRect(std::size_t offset) const {
    return {get16(offset), get16(offset + 2), get16(offset + 4), get16(offset + 6)};
}

void FilterHost::set16(std::size_t offset, std::int16_t value) {
    std::memcpy(record_.get() + offset, &value, sizeof(value));
}

void FilterHost::set32(std::size_t offset, std::int32_t value) {
    std::memcpy(record_.get() + offset, &value, sizeof(value));
}

void FilterHost::setRect(std::size_t offset, const Rect16& rect) {
    set16(offset, rect.top);
    set16(offset + 2, rect.left);
    set16(offset + 4, rect.bottom);
    set16(offset + 6, rect.right);
}

void FilterHost::setPointer(std::size_t offset, const void* pointer) {
    std::memcpy(record_.get() + offset, &pointer, sizeof(pointer));
}

std::string FilterHost::errorText() const {
    return std::string(reinterpret_cast<const char*>(errorString_.data()) + 1, errorString_[0]);
}

std::int16_t FilterHost::call(std::int16_t selector, std::int16_t preset) {
    current = this;
    std::int16_t result = preset;
    entry_(selector, record_.get(), &data_, &result);
    current = nullptr;
    return result;
}

std::int16_t HOST_PLUGIN_CALL FilterHost::advanceStateThunk() {
    // Called outside a plug-in call: answer with an error rather than crash.
    return current ? current->serve() : static_cast<std::int16_t>(-1);
}

// Fills inData and outData for the requested rectangles and planes, as the host's
// advanceState does: input from the document, output preset to a sentinel so that every byte
// the plug-in writes, and every one it leaves, can be told apart.
std::int16_t FilterHost::serve() {
    ++advanceCalls_;
    if (options_.advanceResult != 0) return options_.advanceResult;
    const RecordLayout& at = layout();
    Rect16 inRect = getRect(at.inRect);
    Rect16 outRect = getRect(at.outRect);
    if (options_.clipToHalf) {
        inRect.right = static_cast<std::int16_t>(inRect.left + (inRect.right - inRect.left) / 2);
        outRect.right =
            static_cast<std::int16_t>(outRect.left + (outRect.right - outRect.left) / 2);
        setRect(at.inRect, inRect);
        setRect(at.outRect, outRect);
    }

    if (options_.shiftRows) {
        ++inRect.top, ++inRect.bottom, ++outRect.top, ++outRect.bottom;
        setRect(at.inRect, inRect);
        setRect(at.outRect, outRect);
    }
    if (options_.servedInLoPlane >= 0) {
        set16(at.inLoPlane, static_cast<std::int16_t>(options_.servedInLoPlane));
        set16(at.inHiPlane, static_cast<std::int16_t>(options_.servedInHiPlane));
    }

    auto fill = [&](const Rect16& rect, int lo, int hi, int padding, bool input,
                    std::vector<std::uint8_t>& buffer, std::size_t& rowBytes) -> void* {
        const int w = rect.right - rect.left, h = rect.bottom - rect.top, n = hi - lo + 1;
        if (w <= 0 || h <= 0 || n <= 0) {
            buffer.clear();
            rowBytes = 0;
            return nullptr;
        }
        rowBytes = static_cast<std::size_t>(w) * n + padding;
        buffer.assign(rowBytes * h, kPadByte);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                for (int c = 0; c < n; ++c) {
                    const std::size_t from =
                        (static_cast<std::size_t>(rect.top + y) * document_.width + rect.left + x) *
                            document_.planes +
                        lo + c;
                    buffer[y * rowBytes + static_cast<std::size_t>(x) * n + c] =
                        input ? document_.pixels[from] : kOutSentinel;
                }
            }
        }
        return buffer.data();
    };

    const int inLo = get16(at.inLoPlane), inHi = get16(at.inHiPlane);
    servedOutLo_ = get16(at.outLoPlane);
    servedOutHi_ = get16(at.outHiPlane);
    if (inLo < 0 || inHi >= document_.planes || servedOutLo_ < 0 ||
        servedOutHi_ >= document_.planes) {
        return -50;  // paramErr: planes the document does not have
    }
    setPointer(at.inData, fill(inRect, inLo, inHi, options_.inRowPadding, true, in_, inRowBytes_));
    set32(at.inRowBytes, static_cast<std::int32_t>(inRowBytes_));
    setPointer(at.outData, fill(outRect, servedOutLo_, servedOutHi_, options_.outRowPadding, false,
                                out_, outRowBytes_));
    set32(at.outRowBytes, static_cast<std::int32_t>(outRowBytes_));
    servedOut_ = outRect;
    return 0;
}

// The output buffer back into the document, planes outLo..outHi only.
void FilterHost::writeBack() {
    if (out_.empty() || isEmpty(servedOut_)) return;
    const int n = servedOutHi_ - servedOutLo_ + 1;
    for (int y = servedOut_.top; y < servedOut_.bottom; ++y) {
        for (int x = servedOut_.left; x < servedOut_.right; ++x) {
            for (int c = 0; c < n; ++c) {
                document_
                    .pixels[(static_cast<std::size_t>(y) * document_.width + x) * document_.planes +
                            servedOutLo_ + c] =
                    out_[(y - servedOut_.top) * outRowBytes_ +
                         static_cast<std::size_t>(x - servedOut_.left) * n + c];
            }
        }
    }
    out_.clear();
}

std::int16_t FilterHost::runFilter(bool withParameters) {
    std::int16_t result = 0;
    if (withParameters && (result = call(1)) != 0) return result;
    if ((result = call(2)) != 0) return result;
    if ((result = call(3)) != 0) return result;
    writeBack();
    const RecordLayout& at = layout();
    for (int round = 0; round < 8; ++round) {
        if (isEmpty(getRect(at.inRect)) && isEmpty(getRect(at.outRect)) &&
            isEmpty(getRect(at.maskRect))) {
            break;
        }
        if ((result = call(4)) != 0) return result;
    }
    return call(5);
}

std::int16_t callAbout(PluginEntry entry) {
    std::unique_ptr<std::uint8_t[]> about(new std::uint8_t[layout().aboutBytes]());
    std::intptr_t data = 0;
    std::int16_t result = kResultPreset;
    entry(0, about.get(), &data, &result);
    return result;
}

std::int16_t callWithoutRecord(PluginEntry entry, std::int16_t selector) {
    std::intptr_t data = 0;
    std::int16_t result = kResultPreset;
    entry(selector, nullptr, &data, &result);
    return result;
}

}  // namespace host

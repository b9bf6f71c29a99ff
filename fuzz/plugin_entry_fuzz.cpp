// The plug-in's entry point as an arbitrary host drives it: any sequence of selectors, any
// values in the host record's own fields, and a host callback that serves what the record asks
// for, refuses it, or serves rows of whatever stride it then claims. Every pointer in the
// record is either null or valid for exactly what the record says about it, so a read or write
// outside it is the plug-in's fault. Whatever happens, outData is either left as the host
// filled it or holds a complete result: a call that fails must not have written half of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "plugin/host_record.h"
#include "plugin/plugin_main.h"

namespace {

using namespace qorva;

// What hosts of the 6.0 era allocate: the fields after this lie beyond their records.
constexpr std::size_t kRecordBytes = offsetof(FilterRecord, iCCprofileData);
constexpr std::size_t kAboutBytes = 2 * sizeof(void*) + 256;
// Keeps each run quick: larger requests are refused by the host, as a host short of memory would.
constexpr long kLargestServedArea = 48 * 48;
constexpr std::uint8_t kOutSentinel = 0xCD;

// Every pointer field up to the end of the record: nulled after raw bytes are copied in, so that
// only pointers the host sets on purpose are ever non-null.
constexpr std::size_t kPointerFields[] = {
    offsetof(FilterRecord, abortProc),     offsetof(FilterRecord, progressProc),
    offsetof(FilterRecord, parameters),    offsetof(FilterRecord, inData),
    offsetof(FilterRecord, outData),       offsetof(FilterRecord, maskData),
    offsetof(FilterRecord, hostProc),      offsetof(FilterRecord, platformData),
    offsetof(FilterRecord, bufferProcs),   offsetof(FilterRecord, resourceProcs),
    offsetof(FilterRecord, processEvent),  offsetof(FilterRecord, displayPixels),
    offsetof(FilterRecord, handleProcs),   offsetof(FilterRecord, premiereHook),
    offsetof(FilterRecord, advanceState),  offsetof(FilterRecord, getPropertyObsolete),
    offsetof(FilterRecord, colorServices), offsetof(FilterRecord, imageServicesProcs),
    offsetof(FilterRecord, propertyProcs), offsetof(FilterRecord, descriptorParameters),
    offsetof(FilterRecord, errorString),   offsetof(FilterRecord, channelPortProcs),
    offsetof(FilterRecord, documentInfo),  offsetof(FilterRecord, sSPBasic),
    offsetof(FilterRecord, plugInRef),
};

// Scalar fields a host may change between calls.
constexpr std::size_t kPokeFields[] = {
    offsetof(FilterRecord, imageMode),      offsetof(FilterRecord, planes),
    offsetof(FilterRecord, filterRect) + 0, offsetof(FilterRecord, filterRect) + 2,
    offsetof(FilterRecord, filterRect) + 4, offsetof(FilterRecord, filterRect) + 6,
    offsetof(FilterRecord, inRect) + 4,     offsetof(FilterRecord, outRect) + 6,
    offsetof(FilterRecord, inLoPlane),      offsetof(FilterRecord, outHiPlane),
    offsetof(FilterRecord, depth),          offsetof(FilterRecord, imageSize),
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::int16_t int16() {
        const std::uint8_t lo = byte();
        return static_cast<std::int16_t>(lo | (byte() << 8));
    }
    void copy(void* target, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) static_cast<std::uint8_t*>(target)[i] = byte();
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The host's side of one filter run.
struct Host {
    std::unique_ptr<std::uint8_t[]> record{new std::uint8_t[kRecordBytes]()};
    std::vector<std::uint8_t> in, out;
    std::uint8_t errorString[256] = {};
    PlatformData platform{0x1234};
    std::intptr_t data = 0;
    int documentPlanes = 3;
    // Behaviour of the next advanceState.
    bool refuse = false;
    bool nullButNoError = false;
    int padding = 0;
    int shortRows = 0;  // bytes the claimed stride falls short of a packed row
    std::uint8_t seed = 0;

    template <class T>
    T get(std::size_t offset) const {
        T v;
        std::memcpy(&v, record.get() + offset, sizeof v);
        return v;
    }
    template <class T>
    void put(std::size_t offset, T v) {
        std::memcpy(record.get() + offset, &v, sizeof v);
    }

    std::int16_t serve();
    // A buffer of `rows` rows of `stride` bytes for the rectangle, or none when it is empty or
    // too large to serve.
    void* fill(const Rect& r, int lo, int hi, std::vector<std::uint8_t>& buffer, bool input,
               std::int32_t& stride);
};

Host* current = nullptr;

std::int16_t advanceStateThunk() {
    return current ? current->serve() : -1;
}

void* Host::fill(const Rect& r, int lo, int hi, std::vector<std::uint8_t>& buffer, bool input,
                 std::int32_t& stride) {
    const long w = static_cast<long>(r.right) - r.left;
    const long h = static_cast<long>(r.bottom) - r.top;
    const int n = hi - lo + 1;
    buffer.clear();
    stride = 0;
    if (w <= 0 || h <= 0 || n <= 0 || w * h > kLargestServedArea) return nullptr;
    const long packed = w * n;
    stride = static_cast<std::int32_t>(packed + padding - shortRows);
    if (stride < 1) stride = 1;
    buffer.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = input ? static_cast<std::uint8_t>(i * 31 + seed) : kOutSentinel;
    return buffer.data();
}

#define FIELD(name) offsetof(FilterRecord, name)

std::int16_t Host::serve() {
    put<void*>(FIELD(inData), nullptr);
    put<void*>(FIELD(outData), nullptr);
    if (refuse) return -108;
    const int inLo = get<std::int16_t>(FIELD(inLoPlane));
    const int inHi = get<std::int16_t>(FIELD(inHiPlane));
    const int outLo = get<std::int16_t>(FIELD(outLoPlane));
    const int outHi = get<std::int16_t>(FIELD(outHiPlane));
    if (inLo < 0 || outLo < 0 || inHi >= documentPlanes || outHi >= documentPlanes) return -50;
    std::int32_t inStride = 0, outStride = 0;
    void* inData = fill(get<Rect>(FIELD(inRect)), inLo, inHi, in, true, inStride);
    void* outData = fill(get<Rect>(FIELD(outRect)), outLo, outHi, out, false, outStride);
    put(FIELD(inData), inData);
    put(FIELD(outData), outData);
    put(FIELD(inRowBytes), inStride);
    put(FIELD(outRowBytes), outStride);
    if ((inData == nullptr || outData == nullptr) && !nullButNoError) return -108;
    return 0;
}

bool untouched(const std::vector<std::uint8_t>& out) {
    for (std::uint8_t b : out)
        if (b != kOutSentinel) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader input(data, size);
    Host host;
    current = &host;

    const std::uint8_t mode = input.byte();
    if (mode & 1) {
        // Raw: every byte of the record as given, pointers then made safe.
        input.copy(host.record.get(), kRecordBytes);
        for (std::size_t offset : kPointerFields) host.put<void*>(offset, nullptr);
    } else {
        // A plausible host: RGB, three planes, a small rectangle anywhere.
        host.put(FIELD(imageMode), plugInModeRGBColor);
        host.put<std::int16_t>(FIELD(planes), 3);
        Rect area{};
        area.top = input.int16();
        area.left = input.int16();
        area.bottom = static_cast<std::int16_t>(area.top + (input.byte() % 40));
        area.right = static_cast<std::int16_t>(area.left + (input.byte() % 40));
        host.put(FIELD(filterRect), area);
        host.put<std::int32_t>(FIELD(depth), 8);
    }
    host.documentPlanes = 1 + (mode >> 1) % 4;
    host.seed = input.byte();

    std::unique_ptr<std::uint8_t[]> about(new std::uint8_t[kAboutBytes]());
    for (int calls = 0; calls < 16 && !input.empty(); ++calls) {
        const std::uint8_t code = input.byte();
        const std::uint8_t flags = input.byte();
        const std::int16_t selector =
            code < 200 ? static_cast<std::int16_t>(code % 9 - 2) : static_cast<std::int8_t>(code);

        host.put<AdvanceStateProc>(FIELD(advanceState), (flags & 1) ? nullptr : &advanceStateThunk);
        host.put<Str255*>(FIELD(errorString), (flags & 2) ? nullptr : &host.errorString);
        host.put<PlatformData*>(FIELD(platformData), (flags & 4) ? nullptr : &host.platform);
        host.refuse = (flags & 8) != 0;
        host.nullButNoError = (flags & 16) != 0;
        host.padding = (flags >> 5) & 3;
        host.shortRows = (flags & 0x80) ? 1 + input.byte() % 8 : 0;
        if (input.byte() & 1) {
            const std::size_t field = kPokeFields[input.byte() % std::size(kPokeFields)];
            host.put<std::int16_t>(field, input.int16());
        }

        void* record = host.record.get();
        if (selector == filterSelectorAbout) record = about.get();
        if (code == 255) record = nullptr;
        std::intptr_t* slot = (flags & 0x40) ? nullptr : &host.data;
        std::int16_t result = 0;
        PluginMain(selector, record, slot, &result);

        // A failed Start must leave outData as the host filled it.
        if (selector == filterSelectorStart && result != 0 && !untouched(host.out)) std::abort();
    }
    current = nullptr;
    return 0;
}

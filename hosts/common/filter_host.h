// A stand-in host for the filter plug-in interface. It never includes the plug-in's own
// declaration of the host record: it builds the record as raw bytes and reads and writes each
// field at the byte offset the hosts use, so a layout mistake in the plug-in shows up as a
// wrong result here instead of being mirrored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/test_hooks_abi.h"

namespace host {

#if defined(_WIN32) && !defined(_WIN64)
#define HOST_PLUGIN_CALL __cdecl
#else
#define HOST_PLUGIN_CALL
#endif

using PluginEntry = void(HOST_PLUGIN_CALL*)(std::int16_t selector, void* record,
                                            std::intptr_t* data, std::int16_t* result);

// Byte offsets of the record's fields (64-bit and 32-bit hosts differ by the pointer size).
struct RecordLayout {
    std::size_t imageSize, planes, filterRect, maxSpace, bufferSpace, inRect, inLoPlane, inHiPlane;
    std::size_t outRect, outLoPlane, outHiPlane, inData, inRowBytes, outData, outRowBytes;
    std::size_t maskRect, hostSig, imageMode, platformData, advanceState, supportsPadding;
    std::size_t inputPadding, outputPadding, maskPadding, inputRate, maskRate, errorString;
    std::size_t depth;
    std::size_t recordBytes;  // what a 6.0-era host allocates
    std::size_t aboutBytes;
};
const RecordLayout& layout();

struct Rect16 {
    std::int16_t top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const Rect16&) const = default;
};

// The host's picture: interleaved planes, packed rows.
struct Document {
    int width = 0;
    int height = 0;
    int planes = 3;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> plane(int first, int count) const;  // packed copy of some planes
};

struct HostOptions {
    std::int16_t imageMode = 3;
    int inRowPadding = 0;   // extra bytes after each row of inData
    int outRowPadding = 0;  // extra bytes after each row of outData
    std::int16_t advanceResult = 0;
    bool clipToHalf = false;   // serve only the left half of a request, as clipping hosts do
    bool shiftRows = false;    // serve rectangles of the requested size one row further down
    int servedInLoPlane = -1;  // when not -1, serve input planes from here to servedInHiPlane
    int servedInHiPlane = -1;
    bool advanceState = true;  // offer the callback at all
    std::intptr_t window = 0;  // platformData->hwnd when not 0
    bool errorString = true;   // offer a Str255 for error messages
    bool filterRectOverride = false;
    Rect16 filterRect{};
};

constexpr std::uint8_t kOutSentinel = 0xCD;  // outData before the plug-in writes
constexpr std::uint8_t kPadByte = 0xA5;      // row padding of inData and outData
constexpr std::int16_t kResultPreset = 0;

class FilterHost {
public:
    FilterHost(PluginEntry entry, Document document, HostOptions options = {});
    ~FilterHost();
    FilterHost(const FilterHost&) = delete;
    FilterHost& operator=(const FilterHost&) = delete;

    // One call of the entry point; returns the result code, preset as a host would.
    std::int16_t call(std::int16_t selector, std::int16_t preset = kResultPreset);
    // Parameters (optional), Prepare, Start, the Continue loop, Finish, with the output written
    // back into the document as real hosts do. Returns the first non-zero result.
    std::int16_t runFilter(bool withParameters = true);

    std::int16_t get16(std::size_t offset) const;
    std::int32_t get32(std::size_t offset) const;
    Rect16 getRect(std::size_t offset) const;
    void set16(std::size_t offset, std::int16_t value);
    void set32(std::size_t offset, std::int32_t value);
    void setRect(std::size_t offset, const Rect16& rect);
    const std::uint8_t* recordBytes() const { return record_.get(); }
    std::size_t recordSize() const { return layout().recordBytes; }

    const Document& document() const { return document_; }
    const std::vector<std::uint8_t>& outBuffer() const { return out_; }
    std::size_t outRowBytes() const { return outRowBytes_; }
    std::size_t inRowBytes() const { return inRowBytes_; }
    int advanceCalls() const { return advanceCalls_; }
    std::string errorText() const;  // the Str255, decoded
    const std::uint8_t* errorBuffer() const { return errorString_.data(); }

private:
    static std::int16_t HOST_PLUGIN_CALL advanceStateThunk();
    std::int16_t serve();
    void writeBack();
    void setPointer(std::size_t offset, const void* pointer);

    PluginEntry entry_;
    Document document_;
    HostOptions options_;
    std::unique_ptr<std::uint8_t[]> record_;  // exactly the host's allocation, nothing spare
    std::vector<std::uint8_t> in_, out_;
    std::size_t inRowBytes_ = 0, outRowBytes_ = 0;
    Rect16 servedOut_;
    int servedOutLo_ = 0, servedOutHi_ = -1;
    std::vector<std::uint8_t> errorString_;
    std::intptr_t platformData_[1] = {};
    std::intptr_t data_ = 0;
    int advanceCalls_ = 0;
};

// Selector 0 with an about record of its real size, so that reading it as a filter record
// would run past it.
std::int16_t callAbout(PluginEntry entry);
// A call with a null record.
std::int16_t callWithoutRecord(PluginEntry entry, std::int16_t selector);

}  // namespace host

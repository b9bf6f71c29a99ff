// The host's parameter block as real hosts lay it out in memory. Hosts allocate the record
// themselves (several of them shorter than this declaration), so the plug-in touches only the
// fields it needs and never depends on sizeof(FilterRecord). Every type has a fixed width; the
// record is packed to 4 bytes exactly as the hosts build it, and the offsets of the fields the
// plug-in reads or writes are checked below for both the 64-bit and the 32-bit plug-in.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QORVA_HOST_CALL __cdecl
#else
#define QORVA_HOST_CALL
#endif

namespace qorva {

using Boolean = std::uint8_t;
using OSErr = std::int16_t;
using Fixed = std::int32_t;  // 16.16; 1.0 = 0x00010000
using OSType = std::uint32_t;
using Handle = char**;
using Str255 = std::uint8_t[256];  // byte 0 is the length

struct Point {
    std::int16_t v;  // row first
    std::int16_t h;
};

// Half-open: right and bottom are exclusive.
struct Rect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

struct RGBColor {
    std::uint16_t red, green, blue;
};

using FilterColor = std::uint8_t[4];

struct PlugInMonitor {
    Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// FilterRecord.platformData points to this; it is not itself the window handle.
struct PlatformData {
    std::intptr_t hwnd;
};

// Suites the plug-in never calls: opaque.
struct BufferProcs;
struct ResourceProcs;
struct HandleProcs;
struct ImageServicesProcs;
struct PropertyProcs;
struct PIDescriptorParameters;
struct ChannelPortProcs;
struct ReadImageDocumentDesc;
struct SPBasicSuite;
struct BigDocumentStruct;

using TestAbortProc = Boolean(QORVA_HOST_CALL*)();
using ProgressProc = void(QORVA_HOST_CALL*)(std::int32_t done, std::int32_t total);
using AdvanceStateProc = OSErr(QORVA_HOST_CALL*)();
using HostCallback = void(QORVA_HOST_CALL*)();  // callbacks the plug-in never calls

#pragma pack(push, 4)
struct FilterRecord {
    std::int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point imageSize;
    std::int16_t planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
    std::int32_t maxSpace;
    std::int32_t bufferSpace;
    Rect inRect;
    std::int16_t inLoPlane;
    std::int16_t inHiPlane;
    Rect outRect;
    std::int16_t outLoPlane;
    std::int16_t outHiPlane;
    void* inData;
    std::int32_t inRowBytes;
    void* outData;
    std::int32_t outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    std::int32_t maskRowBytes;
    FilterColor backColor;
    FilterColor foreColor;
    OSType hostSig;
    HostCallback hostProc;
    std::int16_t imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    PlatformData* platformData;
    BufferProcs* bufferProcs;
    ResourceProcs* resourceProcs;
    HostCallback processEvent;
    HostCallback displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    std::int16_t wantLayout;
    std::int16_t filterCase;
    std::int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    HostCallback getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    std::int16_t inputPadding;
    std::int16_t outputPadding;
    std::int16_t maskPadding;
    char samplingSupport;
    char reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    HostCallback colorServices;
    std::int16_t inLayerPlanes, inTransparencyMask, inLayerMasks, inInvertedLayerMasks,
        inNonLayerPlanes;
    std::int16_t outLayerPlanes, outTransparencyMask, outLayerMasks, outInvertedLayerMasks,
        outNonLayerPlanes;
    std::int16_t absLayerPlanes, absTransparencyMask, absLayerMasks, absInvertedLayerMasks,
        absNonLayerPlanes;
    std::int16_t inPreDummyPlanes, inPostDummyPlanes, outPreDummyPlanes, outPostDummyPlanes;
    std::int32_t inColumnBytes, inPlaneBytes, outColumnBytes, outPlaneBytes;
    ImageServicesProcs* imageServicesProcs;
    PropertyProcs* propertyProcs;
    std::int16_t inTileHeight, inTileWidth;
    Point inTileOrigin;
    std::int16_t absTileHeight, absTileWidth;
    Point absTileOrigin;
    std::int16_t outTileHeight, outTileWidth;
    Point outTileOrigin;
    std::int16_t maskTileHeight, maskTileWidth;
    Point maskTileOrigin;
    PIDescriptorParameters* descriptorParameters;
    Str255* errorString;
    ChannelPortProcs* channelPortProcs;
    ReadImageDocumentDesc* documentInfo;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    std::int32_t depth;
    // Fields from here on lie beyond the records that some hosts allocate: never read them.
    Handle iCCprofileData;
    std::int32_t iCCprofileSize;
    std::int32_t canUseICCProfiles;
    std::int32_t hasImageScrap;
    BigDocumentStruct* bigDocumentData;
    PIDescriptorParameters* input3DScene;
    PIDescriptorParameters* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    std::int32_t iCCWorkingProfileSize;
    std::int64_t bufferSpace64;
    std::int64_t maxSpace64;
    Boolean allowOverrangeColors;
    char reserved[45];
};
#pragma pack(pop)

namespace host_layout {
constexpr bool kWide = sizeof(void*) == 8;
constexpr std::size_t at(std::size_t x64, std::size_t x86) {
    return kWide ? x64 : x86;
}
}  // namespace host_layout

#define QORVA_CHECK_FIELD(field, x64, x86)                                    \
    static_assert(offsetof(FilterRecord, field) == host_layout::at(x64, x86), \
                  "FilterRecord." #field " is not where hosts put it")

// Anchors a natural (unpacked) layout would move, then every field the plug-in touches.
QORVA_CHECK_FIELD(abortProc, 4, 4);
QORVA_CHECK_FIELD(monitor, 176, 148);
QORVA_CHECK_FIELD(planes, 32, 20);
QORVA_CHECK_FIELD(filterRect, 34, 22);
QORVA_CHECK_FIELD(maxSpace, 56, 44);
QORVA_CHECK_FIELD(bufferSpace, 60, 48);
QORVA_CHECK_FIELD(inRect, 64, 52);
QORVA_CHECK_FIELD(inLoPlane, 72, 60);
QORVA_CHECK_FIELD(inHiPlane, 74, 62);
QORVA_CHECK_FIELD(outRect, 76, 64);
QORVA_CHECK_FIELD(outLoPlane, 84, 72);
QORVA_CHECK_FIELD(outHiPlane, 86, 74);
QORVA_CHECK_FIELD(inData, 88, 76);
QORVA_CHECK_FIELD(inRowBytes, 96, 80);
QORVA_CHECK_FIELD(outData, 100, 84);
QORVA_CHECK_FIELD(outRowBytes, 108, 88);
QORVA_CHECK_FIELD(maskRect, 116, 96);
QORVA_CHECK_FIELD(imageMode, 156, 128);
QORVA_CHECK_FIELD(platformData, 216, 188);
QORVA_CHECK_FIELD(advanceState, 280, 224);
QORVA_CHECK_FIELD(inputPadding, 302, 238);
QORVA_CHECK_FIELD(outputPadding, 304, 240);
QORVA_CHECK_FIELD(maskPadding, 306, 242);
QORVA_CHECK_FIELD(inputRate, 312, 248);
QORVA_CHECK_FIELD(maskRate, 316, 252);
QORVA_CHECK_FIELD(errorString, 440, 360);
QORVA_CHECK_FIELD(depth, 480, 380);
QORVA_CHECK_FIELD(maxSpace64, 552, 432);
static_assert(sizeof(FilterRecord) == host_layout::at(608, 488), "FilterRecord tail");
static_assert(sizeof(Rect) == 8 && sizeof(Point) == 4 && sizeof(PlugInMonitor) == 40);

#undef QORVA_CHECK_FIELD

// Selectors.
constexpr std::int16_t filterSelectorAbout = 0;
constexpr std::int16_t filterSelectorParameters = 1;
constexpr std::int16_t filterSelectorPrepare = 2;
constexpr std::int16_t filterSelectorStart = 3;
constexpr std::int16_t filterSelectorContinue = 4;
constexpr std::int16_t filterSelectorFinish = 5;

constexpr std::int16_t plugInModeRGBColor = 3;
constexpr std::int16_t plugInDoesNotWantPadding = -2;
constexpr Fixed kFixedOne = 0x00010000;

// Result codes.
constexpr OSErr noErr = 0;
constexpr OSErr memFullErr = -108;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr errReportString = -30904;

}  // namespace qorva

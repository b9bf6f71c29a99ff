// The global histogram-adjustment tone operator used by "Ultra-Contrast": each pixel's
// luminance becomes a logarithmic brightness code, the codes are counted in a histogram, a
// brightness-to-display mapping is derived from it with a ceiling on every bin, and the codes
// are mapped back to display bytes.
//
// A plain C-style library: the caller owns a state record, every function returns an integer
// error code and reports failures through tmReportError. Nothing here throws or aborts; an
// allocation failure is error 1 and leaves the state as it was.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorva {

// Chromaticities (x, y) of a display's red, green, blue and white.
struct TmPrimaries {
    double red[2];
    double green[2];
    double blue[2];
    double white[2];
};

// The one display the product renders for (the luminance coefficients below belong to it).
extern const TmPrimaries kTmDisplayPrimaries;

// Codes per unit of natural logarithm: code = 128 ln(L).
inline constexpr int kTmBrightnessScale = 128;
// Lowest code that is counted (ln L = -16).
inline constexpr int kTmLowestCode = -2048;
// Code stored for a luminance below kTmMinLuminance; never counted.
inline constexpr int kTmNoLightCode = -2049;
// exp(-16).
inline constexpr double kTmMinLuminance = 1.125352e-7;
// Codes per histogram bin.
inline constexpr int kTmHistogramStep = 8;
// Factor from input RGB (1.0 = white) to luminance units.
inline constexpr double kTmWhiteEfficacy = 179.0;

// Error codes; tmReportError prints the matching message.
enum TmError : int {
    kTmOk = 0,
    kTmOutOfMemory = 1,
    kTmIllegalArgument = 2,
    kTmInvalidMapping = 3,
    kTmCannotCompute = 4,
    kTmBadFile = 5,
    kTmCodeError1 = 6,
    kTmCodeError2 = 7,
};

struct ToneMapper {
    const TmPrimaries* displayPrimaries;
    double displayGamma;
    float clf[3];          // luminance coefficients of R, G, B
    std::int32_t cdiv[3];  // colour byte of a channel at full luminance share
    const TmPrimaries* inputPrimaries;
    double inputScale;    // input RGB to luminance units
    std::int16_t hbrmin;  // histogram code range; min > max while empty
    std::int16_t hbrmax;
    std::int32_t* histo;  // one count per 8 codes from the bin of hbrmin; owned
    std::int16_t mbrmin;  // luminance map code range; min > max while absent
    std::int16_t mbrmax;
    std::uint16_t* lumap;  // display value per code, 256 = level 1.0; owned
    std::int32_t lastError;
    const char* lastFunction;
    bool quiet;  // true suppresses the standard-error line (never set by the product)
};

// A new state for the given display gamma (below 0.75 means 2.2); null when memory runs out.
ToneMapper* tmCreateState(double displayGamma);
// Frees the state with its histogram and map; null is ignored.
void tmDestroyState(ToneMapper* state);

// Records code and name in the state (if any), writes "name: message!" to standard error
// unless the state is quiet, and returns code.
int tmReportError(const char* name, ToneMapper* state, int code);
// The fixed message of an error code.
const char* tmErrorMessage(int code);

// Encodes count RGB float triples (linear, 1.0 = white) as brightness codes and, if
// colourBytes is given, three gamma-encoded chromaticity bytes per pixel.
int tmCvColors(ToneMapper* state, std::int16_t* codes, std::uint8_t* colourBytes,
               const float* input, std::ptrdiff_t count);

// tmCvColors for count packed RGB byte triples, byte b standing for the input value
// byteValue[b]: the same codes and colour bytes as tmCvColors on the triples of those values,
// without a float copy of the image.
int tmCvBytes(ToneMapper* state, std::int16_t* codes, std::uint8_t* colourBytes,
              const std::uint8_t* rgb, std::ptrdiff_t count, const float byteValue[256]);

// Adds weight for every countable code (>= kTmLowestCode), widening the histogram as needed.
int tmAddHisto(ToneMapper* state, const std::int16_t* codes, std::ptrdiff_t count, int weight);

// Makes a luminance map exist for the histogram's code range; false when there is no histogram
// or memory ran out.
bool tmAllocMap(ToneMapper* state);

// A linear mapping: the code's luminance times exposure / 179, raised to 1/gamma.
int tmFixedMapping(ToneMapper* state, double exposure, double gamma);

// The histogram-adjusted mapping for a display of dynamic range lddyn and maximum luminance
// ldmax (0 for both gives 32 and 100); falls back to tmFixedMapping when the histogram is too
// peaked to adjust.
int tmComputeMapping(ToneMapper* state, double gamma, double lddyn, double ldmax);

// Maps codes to display bytes: three per pixel with colour bytes, one per pixel without.
int tmMapPixels(ToneMapper* state, std::uint8_t* out, const std::int16_t* codes,
                const std::uint8_t* colourBytes, std::ptrdiff_t count);

// How many states have been created and how many are still alive in this process: lets tests
// see whether a run used the engine and that it gave every state back.
long tmStatesCreated();
long tmStatesAlive();

}  // namespace qorva

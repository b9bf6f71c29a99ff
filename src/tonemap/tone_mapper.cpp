#include "tonemap/tone_mapper.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#include "common/parallel.h"

namespace qorva {

const TmPrimaries kTmDisplayPrimaries = {
    {0.640, 0.330}, {0.290, 0.600}, {0.150, 0.060}, {0.3333, 0.3333}};

namespace {

constexpr float kDisplayLuminanceCoefficients[3] = {0.265074f, 0.670115f, 0.0648112f};

// The gamut clip pulls a pixel toward the grey of its own luminance until its lowest channel
// sits just above this black limit; the white limit only sets the direction of the grey axis.
constexpr double kBlackLimit = 5.62676e-8;
constexpr double kWhiteLimit = 1.0;

std::atomic<long> gStatesCreated{0};
std::atomic<long> gStatesAlive{0};

int binOf(int code) {
    return (code - kTmLowestCode) / kTmHistogramStep;
}

// Map values are 16-bit; a linear mapping of a very dark image can ask for far more, and
// anything at or above 256 shows as full level anyway, so saturate instead of wrapping.
std::uint16_t toMapValue(double v) {
    if (!(v > 0)) return 0;
    if (v >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(v);
}

// Runs fn(begin, end) over [0, count) in chunks on the shared worker bands. Every pixel is
// independent, so the split never changes a result. Falls back to one call if the helper
// cannot allocate its bookkeeping: nothing here may throw.
template <class Fn>
void forEachChunk(std::ptrdiff_t count, const Fn& fn) {
    constexpr std::ptrdiff_t kChunk = 16384;
    const std::ptrdiff_t chunks = (count + kChunk - 1) / kChunk;
    if (chunks > 1 && chunks <= INT_MAX) {
        try {
            parallelRows(
                static_cast<int>(chunks),
                [&](int begin, int end) {
                    fn(begin * kChunk, std::min<std::ptrdiff_t>(count, end * kChunk));
                },
                4);
            return;
        } catch (...) {
            // Only the helper's own allocations can throw, before any pixel is written.
        }
    }
    fn(0, count);
}

// Lower-limit gamut clip toward grey. Returns whether c changed.
bool clipTowardGrey(double c[3], double lum) {
    const double black[3] = {kBlackLimit, kBlackLimit, kBlackLimit};
    const double white[3] = {kWhiteLimit, kWhiteLimit, kWhiteLimit};
    const double meanBlack = (black[0] + black[1] + black[2]) / 3;
    if (meanBlack > lum) {
        for (int i = 0; i < 3; ++i) c[i] = black[i];
        return true;
    }
    const double meanWhite = (white[0] + white[1] + white[2]) / 3;
    const double t = (lum - meanBlack) / (meanWhite - meanBlack);
    double grey[3];
    for (int i = 0; i < 3; ++i) grey[i] = (1 - t) * black[i] + t * white[i];
    double s = 1;
    bool below = false;
    for (int i = 0; i < 3; ++i) {
        if (c[i] < black[i]) {
            below = true;
            s = std::min(s, (black[i] + 0.0001 - grey[i]) / (c[i] - grey[i]));
        }
    }
    if (!below) return false;
    for (int i = 0; i < 3; ++i) c[i] = (1 - s) * grey[i] + s * c[i];
    return true;
}

double luminanceOf(const ToneMapper& state, const double c[3]) {
    return state.clf[0] * c[0] + state.clf[1] * c[1] + state.clf[2] * c[2];
}

void convertPixel(const ToneMapper& state, const float* in, std::int16_t* code,
                  std::uint8_t* colour) {
    double c[3];
    for (int i = 0; i < 3; ++i) c[i] = in[i] * state.inputScale;
    double lum = luminanceOf(state, c);
    if (clipTowardGrey(c, lum)) lum = luminanceOf(state, c);
    // Written as a negated test so that a pixel without a defined luminance (NaN input) is
    // treated as no light instead of reaching the logarithm.
    if (!(lum >= kTmMinLuminance)) {
        *code = static_cast<std::int16_t>(kTmNoLightCode);
        lum = kTmMinLuminance;
    } else {
        const double scaled = kTmBrightnessScale * std::log(lum);
        *code = scaled >= INT16_MAX ? std::int16_t{INT16_MAX}
                                    : static_cast<std::int16_t>(std::lround(scaled));
    }
    if (!colour) return;
    for (int i = 0; i < 3; ++i) {
        const double v = c[i] * state.clf[i] / lum;
        if (v >= 0.999) {
            colour[i] = 255;
        } else if (v > 0) {
            colour[i] = static_cast<std::uint8_t>(256 * std::pow(v, 1 / state.displayGamma));
        } else {
            // Only a near-black input far below one 8-bit step can push a channel under zero
            // through the clip; it carries no colour.
            colour[i] = 0;
        }
    }
}

}  // namespace

long tmStatesCreated() {
    return gStatesCreated.load();
}
long tmStatesAlive() {
    return gStatesAlive.load();
}

ToneMapper* tmCreateState(double displayGamma) {
    auto* state = new (std::nothrow) ToneMapper{};
    if (!state) return nullptr;
    state->displayPrimaries = &kTmDisplayPrimaries;
    for (int i = 0; i < 3; ++i) state->clf[i] = kDisplayLuminanceCoefficients[i];
    if (!(displayGamma >= 0.75)) displayGamma = 2.2;
    state->displayGamma = displayGamma;
    for (int i = 0; i < 3; ++i) {
        state->cdiv[i] = static_cast<std::int32_t>(256 * std::pow(state->clf[i], 1 / displayGamma));
    }
    state->inputPrimaries = state->displayPrimaries;
    state->inputScale = kTmWhiteEfficacy;
    state->hbrmin = 10;
    state->hbrmax = -10;
    state->histo = nullptr;
    state->mbrmin = 10;
    state->mbrmax = -10;
    state->lumap = nullptr;
    state->lastError = kTmOk;
    state->lastFunction = "NoErr";
    state->quiet = false;
    gStatesCreated++;
    gStatesAlive++;
    return state;
}

void tmDestroyState(ToneMapper* state) {
    if (!state) return;
    std::free(state->histo);
    std::free(state->lumap);
    delete state;
    gStatesAlive--;
}

const char* tmErrorMessage(int code) {
    static const char* const kMessages[] = {"no error",
                                            "out of memory",
                                            "illegal argument value",
                                            "invalid tone mapping",
                                            "cannot compute tone mapping",
                                            "file cannot be opened or is the wrong type",
                                            "code consistency error 1",
                                            "code consistency error 2"};
    if (code < 0 || code >= static_cast<int>(std::size(kMessages))) return "unknown error";
    return kMessages[code];
}

int tmReportError(const char* name, ToneMapper* state, int code) {
    if (!name) name = "";
    if (state) {
        state->lastError = code;
        state->lastFunction = name;
    }
    if (!(state && state->quiet)) std::fprintf(stderr, "%s: %s!\n", name, tmErrorMessage(code));
    return code;
}

int tmCvColors(ToneMapper* state, std::int16_t* codes, std::uint8_t* colourBytes,
               const float* input, std::ptrdiff_t count) {
    static const char kName[] = "tmCvColors";
    if (!state) return tmReportError(kName, nullptr, kTmInvalidMapping);
    if (!codes || !input || count < 0) return tmReportError(kName, state, kTmIllegalArgument);
    forEachChunk(count, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        for (std::ptrdiff_t p = begin; p < end; ++p) {
            convertPixel(*state, input + 3 * p, codes + p,
                         colourBytes ? colourBytes + 3 * p : nullptr);
        }
    });
    return kTmOk;
}

int tmAddHisto(ToneMapper* state, const std::int16_t* codes, std::ptrdiff_t count, int weight) {
    static const char kName[] = "tmAddHisto";
    if (!state) return tmReportError(kName, nullptr, kTmInvalidMapping);
    if (count < 0 || (count > 0 && !codes)) return tmReportError(kName, state, kTmIllegalArgument);
    if (count == 0) return kTmOk;

    int lo, hi;
    int oldOrigin = 0, oldLength = 0;
    if (state->histo) {
        lo = state->hbrmin;
        hi = state->hbrmax;
        oldOrigin = binOf(lo);
        oldLength = binOf(hi) - oldOrigin + 1;
    } else {
        std::ptrdiff_t last = count - 1;
        while (last >= 0 && codes[last] < kTmLowestCode) --last;
        if (last < 0) return kTmOk;  // nothing countable
        lo = hi = codes[last];
    }
    for (std::ptrdiff_t p = 0; p < count; ++p) {
        const int code = codes[p];
        if (code < kTmLowestCode) continue;
        if (code < lo) {
            lo = code;
        } else if (code > hi) {
            hi = code;
        }
    }
    const int origin = binOf(lo);
    const int length = binOf(hi) - origin + 1;
    if (length > oldLength) {
        auto* grown = static_cast<std::int32_t*>(
            std::calloc(static_cast<std::size_t>(length), sizeof(std::int32_t)));
        // The code range is committed only with the array, so a failure leaves the state's
        // range and counts consistent with each other.
        if (!grown) return tmReportError(kName, state, kTmOutOfMemory);
        if (oldLength > 0) {
            std::memcpy(grown + (oldOrigin - origin), state->histo,
                        static_cast<std::size_t>(oldLength) * sizeof(std::int32_t));
        }
        std::free(state->histo);
        state->histo = grown;
    }
    state->hbrmin = static_cast<std::int16_t>(lo);
    state->hbrmax = static_cast<std::int16_t>(hi);
    if (weight != 0) {
        for (std::ptrdiff_t p = 0; p < count; ++p) {
            const int code = codes[p];
            if (code < kTmLowestCode) continue;
            std::int32_t& bin = state->histo[binOf(code) - origin];
            // Saturate rather than overflow: a huge image can hold more pixels in one bin
            // than a 32-bit count reaches.
            const long long sum = static_cast<long long>(bin) + weight;
            bin = static_cast<std::int32_t>(std::clamp<long long>(sum, INT32_MIN, INT32_MAX));
        }
    }
    return kTmOk;
}

bool tmAllocMap(ToneMapper* state) {
    if (!state) return false;
    if (state->lumap && (state->mbrmax - state->mbrmin) != (state->hbrmax - state->hbrmin)) {
        std::free(state->lumap);
        state->lumap = nullptr;
    }
    state->mbrmin = state->hbrmin;
    state->mbrmax = state->hbrmax;
    if (state->mbrmax < state->mbrmin) return false;
    if (!state->lumap) {
        const auto entries = static_cast<std::size_t>(state->mbrmax - state->mbrmin + 1);
        state->lumap = static_cast<std::uint16_t*>(std::calloc(entries, sizeof(std::uint16_t)));
    }
    return state->lumap != nullptr;
}

int tmFixedMapping(ToneMapper* state, double exposure, double gamma) {
    static const char kName[] = "tmFixedMapping";
    if (!state) return tmReportError(kName, nullptr, kTmInvalidMapping);
    if (!tmAllocMap(state)) return tmReportError(kName, state, kTmOutOfMemory);
    if (!(exposure > 0)) exposure = 1;
    if (!(gamma >= 0.75)) gamma = state->displayGamma;
    const double logExposure = std::log(exposure / kTmWhiteEfficacy);
    for (int b = state->mbrmax; b >= state->mbrmin; --b) {
        state->lumap[b - state->mbrmin] = toMapValue(
            256 * std::exp((logExposure + b / static_cast<double>(kTmBrightnessScale)) / gamma));
    }
    return kTmOk;
}

int tmComputeMapping(ToneMapper* state, double gamma, double lddyn, double ldmax) {
    static const char kName[] = "tmComputeMapping";
    if (!state || !state->histo) return tmReportError(kName, state, kTmInvalidMapping);
    if (!(lddyn >= 2)) lddyn = 32;
    if (!(ldmax >= 1)) ldmax = 100;
    if (!(gamma >= 0.75)) gamma = state->displayGamma;
    const double ldmin = ldmax / lddyn;
    const double logLddyn = std::log(lddyn);
    const double ldavg = std::sqrt(ldmax * ldmin);

    const int origin = binOf(state->hbrmin);
    const int histlen = binOf(state->hbrmax) - origin + 1;
    const int brt0 = kTmHistogramStep * origin - 2044;  // centre code of the first bin
    double histot = 0;
    double sum = 0;
    for (int i = 0; i < histlen; ++i) {
        histot += state->histo[i];
        sum += static_cast<double>(static_cast<long long>(state->histo[i]) *
                                   (brt0 + kTmHistogramStep * i));
    }
    // 0.5 % of the counted pixels: below 700 of them the adjustment has nothing to stand on.
    const double threshold = std::trunc(histot * 0.005 + 0.5);
    if (threshold < 4) return tmReportError(kName, state, kTmCannotCompute);
    const double lwavg = std::exp((sum / histot) / kTmBrightnessScale);

    // Working copies first, so that a failure here never leaves a fresh map with undefined
    // contents behind for tmMapPixels.
    auto* counts = new (std::nothrow) double[static_cast<std::size_t>(histlen)];
    auto* cum = new (std::nothrow) float[static_cast<std::size_t>(histlen) + 2];
    if (!counts || !cum || !tmAllocMap(state)) {
        delete[] counts;
        delete[] cum;
        return tmReportError(kName, state, kTmOutOfMemory);
    }
    for (int i = 0; i < histlen; ++i) counts[i] = state->histo[i];
    cum[histlen + 1] = 1;

    for (;;) {
        double running = 0;
        for (int i = 0; i < histlen; ++i) {
            cum[i] = static_cast<float>(running / histot);
            running += counts[i];
        }
        cum[histlen] = 1;
        const double tr = histot * (state->hbrmax - state->hbrmin) / (histlen * 128) / logLddyn;
        const double ceiling = std::trunc(tr + 1);
        double trimmings = 0;
        for (int i = histlen - 1; i >= 0; --i) {
            if (counts[i] > ceiling) {
                trimmings += counts[i] - ceiling;
                counts[i] = ceiling;
            }
        }
        histot -= trimmings;
        if (histot <= threshold) {
            // Too peaked to adjust (one dominant brightness): show the geometric mean of the
            // image at the middle of the display range instead.
            delete[] counts;
            delete[] cum;
            return tmFixedMapping(state, kTmWhiteEfficacy * (ldavg / lwavg) / ldmax, gamma);
        }
        if (trimmings <= threshold) break;
    }

    const int range = state->mbrmax - state->mbrmin;
    for (int i = range; i >= 0; --i) {
        const double d = range > 0 ? static_cast<double>(i) / range * histlen : 0.0;
        const int j = static_cast<int>(d);
        const double f = d - j;
        const double ld = ldmin * std::exp(logLddyn * ((1 - f) * cum[j] + f * cum[j + 1]));
        state->lumap[i] = toMapValue(256 * std::pow((ld - ldmin) / (ldmax - ldmin), 1 / gamma));
    }
    delete[] counts;
    delete[] cum;
    return kTmOk;
}

int tmMapPixels(ToneMapper* state, std::uint8_t* out, const std::int16_t* codes,
                const std::uint8_t* colourBytes, std::ptrdiff_t count) {
    static const char kName[] = "tmMapPixels";
    if (!state || !state->lumap) return tmReportError(kName, state, kTmInvalidMapping);
    if (!out || !codes || count < 0) return tmReportError(kName, state, kTmIllegalArgument);
    const ToneMapper& s = *state;
    forEachChunk(count, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        for (std::ptrdiff_t p = begin; p < end; ++p) {
            const int code = codes[p];
            const int level =
                code < s.mbrmin ? 0 : s.lumap[std::min<int>(code, s.mbrmax) - s.mbrmin];
            if (colourBytes) {
                for (int i = 0; i < 3; ++i) {
                    const int v = level * colourBytes[3 * p + i] / s.cdiv[i];
                    out[3 * p + i] = static_cast<std::uint8_t>(std::min(255, v));
                }
            } else {
                out[p] = static_cast<std::uint8_t>(std::min(255, level));
            }
        }
    });
    return kTmOk;
}

}  // namespace qorva

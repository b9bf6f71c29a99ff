#include "tonemap/tone_mapper.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

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

// The colour byte 256 x v^(1/gamma), truncated, for 0 < v < 0.999, as a search in the values of
// v where the byte steps up: one table per run instead of three powers per pixel. The steps are
// found with the C library's own pow, and the table is used only if pow is seen to step
// cleanly around every one of them, so a pixel gets exactly the byte pow would give it.
class ColourByteTable {
public:
    explicit ColourByteTable(double gamma) : exponent_(1 / gamma) {
        steps_[0] = 0;
        for (int b = 1; b < 256; ++b) steps_[b] = firstReaching(b);
        steps_[256] = HUGE_VAL;
        usable_ = checkSteps();
        if (!usable_) return;
        for (int i = 0; i < kCoarse; ++i) coarse_[i] = search(static_cast<double>(i) / kCoarse);
    }

    bool usable() const { return usable_; }

    // The byte of v: the coarse table gives the byte where v's cell starts (a lower bound, the
    // byte never falling as v grows) and the steps inside the cell, rarely more than one,
    // finish it.
    std::uint8_t byteOf(double v) const {
        int b = coarse_[static_cast<int>(v * kCoarse)];
        while (steps_[b + 1] <= v) ++b;
        return static_cast<std::uint8_t>(b);
    }

private:
    static constexpr double kTop = 0.999;
    static constexpr int kCoarse = 65536;

    int search(double v) const {
        int b = 0;
        for (int step = 128; step > 0; step >>= 1) b = steps_[b + step] <= v ? b + step : b;
        return b;
    }

    // Doubles further than this from a step are beyond any rounding error of pow.
    static constexpr int kCheckedNeighbours = 48;

    int direct(double v) const { return static_cast<int>(256 * std::pow(v, exponent_)); }

    static std::uint64_t bitsOf(double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        return u;
    }
    static double valueOf(std::uint64_t u) {
        double v;
        std::memcpy(&v, &u, sizeof v);
        return v;
    }

    // Smallest positive double below kTop whose byte is at least b (positive doubles order like
    // their bit patterns), or infinity when none is.
    double firstReaching(int b) const {
        std::uint64_t lo = 1;
        std::uint64_t hi = bitsOf(kTop);
        if (direct(valueOf(hi - 1)) < b) return HUGE_VAL;
        while (lo < hi) {
            const std::uint64_t mid = lo + (hi - lo) / 2;
            if (direct(valueOf(mid)) >= b) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        return valueOf(lo);
    }

    bool checkSteps() const {
        for (int b = 1; b < 256; ++b) {
            if (steps_[b] == HUGE_VAL) continue;
            if (b > 1 && !(steps_[b] >= steps_[b - 1])) return false;
            const std::uint64_t at = bitsOf(steps_[b]);
            for (int d = 1; d <= kCheckedNeighbours; ++d) {
                if (at > static_cast<std::uint64_t>(d) && direct(valueOf(at - d)) >= b)
                    return false;
                const double above = valueOf(at + static_cast<std::uint64_t>(d) - 1);
                if (above < kTop && direct(above) < b) return false;
            }
        }
        return true;
    }

    double exponent_;
    double steps_[257];  // steps_[b]: first v of byte b; steps_[256] closes the last byte
    bool usable_ = false;
    std::uint8_t coarse_[kCoarse] = {};
};

void convertChannels(const ToneMapper& state, double c[3], std::int16_t* code, std::uint8_t* colour,
                     const ColourByteTable* table) {
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
            colour[i] = table != nullptr
                            ? table->byteOf(v)
                            : static_cast<std::uint8_t>(256 * std::pow(v, 1 / state.displayGamma));
        } else {
            // Only a near-black input far below one 8-bit step can push a channel under zero
            // through the clip; it carries no colour.
            colour[i] = 0;
        }
    }
}

void convertPixel(const ToneMapper& state, const float* in, std::int16_t* code,
                  std::uint8_t* colour, const ColourByteTable* table) {
    double c[3];
    for (int i = 0; i < 3; ++i) c[i] = in[i] * state.inputScale;
    convertChannels(state, c, code, colour, table);
}

// The table for a run, or none when it cannot be had (then every pixel calls pow).
std::unique_ptr<ColourByteTable> colourTableFor(const ToneMapper& state, bool wanted) {
    if (!wanted) return nullptr;
    std::unique_ptr<ColourByteTable> table(new (std::nothrow) ColourByteTable(state.displayGamma));
    if (table && !table->usable()) table.reset();
    return table;
}

// Adds weight to the bin of every countable code, the image in bands. Adding the same weight
// again and again, saturating at the 32-bit limits, ends where the exact total clamped to those
// limits is: so each band counts in 64 bits and the totals are applied once. False, with the
// histogram untouched, when the bands could not run; the caller then counts on its own.
bool addCounts(std::int32_t* histo, int origin, int length, const std::int16_t* codes,
               std::ptrdiff_t count, int weight) {
    constexpr int kMaxBins = (INT16_MAX - kTmLowestCode) / kTmHistogramStep + 2;
    if (length > kMaxBins) return false;
    try {
        std::vector<std::int64_t> totals(static_cast<std::size_t>(length), 0);
        BandLock lock;
        parallelRows(
            static_cast<int>(std::min<std::ptrdiff_t>((count + 65535) / 65536, INT_MAX)),
            [&](int begin, int end) {
                std::int64_t local[kMaxBins] = {};
                const std::ptrdiff_t first = static_cast<std::ptrdiff_t>(begin) * 65536;
                const std::ptrdiff_t last =
                    std::min<std::ptrdiff_t>(count, static_cast<std::ptrdiff_t>(end) * 65536);
                for (std::ptrdiff_t p = first; p < last; ++p) {
                    const int code = codes[p];
                    if (code >= kTmLowestCode) ++local[binOf(code) - origin];
                }
                std::lock_guard<BandLock> guard(lock);
                for (int b = 0; b < length; ++b) totals[static_cast<std::size_t>(b)] += local[b];
            },
            4);
        for (int b = 0; b < length; ++b) {
            // Far beyond the 32-bit limits either way is as good as the exact product.
            const std::int64_t n = totals[static_cast<std::size_t>(b)];
            const std::int64_t w = weight;
            const std::int64_t added = n > (INT64_C(1) << 40) / (w < 0 ? -w : w)
                                           ? (w < 0 ? -(INT64_C(1) << 40) : (INT64_C(1) << 40))
                                           : n * w;
            const std::int64_t sum = histo[b] + added;
            histo[b] =
                static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
        }
        return true;
    } catch (...) {
        return false;
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
    // Worth building only for a picture of some size: it costs about as much as 50 000 powers.
    const auto table = colourTableFor(*state, colourBytes != nullptr && count >= 65536);
    const ColourByteTable* t = table.get();
    forEachChunk(count, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        for (std::ptrdiff_t p = begin; p < end; ++p) {
            convertPixel(*state, input + 3 * p, codes + p,
                         colourBytes ? colourBytes + 3 * p : nullptr, t);
        }
    });
    return kTmOk;
}

int tmCvBytes(ToneMapper* state, std::int16_t* codes, std::uint8_t* colourBytes,
              const std::uint8_t* rgb, std::ptrdiff_t count, const float byteValue[256]) {
    static const char kName[] = "tmCvBytes";
    if (!state) return tmReportError(kName, nullptr, kTmInvalidMapping);
    if (!codes || !rgb || !byteValue || count < 0) {
        return tmReportError(kName, state, kTmIllegalArgument);
    }
    double scaled[256];
    for (int b = 0; b < 256; ++b) scaled[b] = byteValue[b] * state->inputScale;
    const auto table = colourTableFor(*state, colourBytes != nullptr && count >= 65536);
    const ColourByteTable* t = table.get();
    forEachChunk(count, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        for (std::ptrdiff_t p = begin; p < end; ++p) {
            const std::uint8_t* px = rgb + 3 * p;
            double c[3] = {scaled[px[0]], scaled[px[1]], scaled[px[2]]};
            convertChannels(*state, c, codes + p, colourBytes ? colourBytes + 3 * p : nullptr, t);
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
    // The range of the countable codes: a minimum and a maximum, the same in any order, so
    // the bands' ranges are simply combined. Running a band twice (the helper's fallback)
    // changes nothing.
    BandLock rangeLock;
    const int startLo = lo;
    const int startHi = hi;
    forEachChunk(count, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        int bandLo = startLo, bandHi = startHi;
        for (std::ptrdiff_t p = begin; p < end; ++p) {
            const int code = codes[p];
            const bool countable = code >= kTmLowestCode;
            bandLo = countable && code < bandLo ? code : bandLo;
            bandHi = countable && code > bandHi ? code : bandHi;
        }
        std::lock_guard<BandLock> guard(rangeLock);
        lo = std::min(lo, bandLo);
        hi = std::max(hi, bandHi);
    });
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
    if (weight != 0 && addCounts(state->histo, origin, length, codes, count, weight)) {
        return kTmOk;
    }
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
    // level x colour byte stays below 2^24, where a double quotient truncates to exactly the
    // integer quotient: three multiplications by a reciprocal would not, three divisions of
    // doubles do, and cost far less than integer divisions.
    const bool doubleQuotients = s.cdiv[0] > 0 && s.cdiv[1] > 0 && s.cdiv[2] > 0;
    if (colourBytes && doubleQuotients) {
        const double divisor[3] = {static_cast<double>(s.cdiv[0]), static_cast<double>(s.cdiv[1]),
                                   static_cast<double>(s.cdiv[2])};
        forEachChunk(count, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
            for (std::ptrdiff_t p = begin; p < end; ++p) {
                const int code = codes[p];
                const int level =
                    code < s.mbrmin ? 0 : s.lumap[std::min<int>(code, s.mbrmax) - s.mbrmin];
                for (int i = 0; i < 3; ++i) {
                    const int v = static_cast<int>(level * colourBytes[3 * p + i] / divisor[i]);
                    out[3 * p + i] = static_cast<std::uint8_t>(std::min(255, v));
                }
            }
        });
        return kTmOk;
    }
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

// The recursive Gaussian blur's two passes, with the reading of each sample and the use of
// each blurred result left to the caller. The sharpening kernels and the Orton glow finish
// their work on every blurred run while it is still in the cache, instead of blurring a copy
// of the whole photo and reading it back in a pass of their own.
//
// Internal to the kernels: GaussianBlur, GaussianBlurCopy, UnsharpMask, ClaritySharpen and
// OrtonPass are the interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/wide_vectors.h"

namespace qorva::blur {

struct Coefficients {
    double c0, c1, c2, c3;
};

Coefficients coefficientsFor(double radius);

// Whether the radius and the image size blur at all; otherwise the image stays as it is.
inline bool blurs(double radius, int width, int height) {
    return radius >= 0.62 && width >= 3 && height >= 3;
}

// Truncation toward zero; the clamp only guards against a rounding overshoot wrapping a byte
// around (a white edge turning black), it never changes an in-range value. Blurred bytes stay
// within a few units of 0..255, far inside the int range, so truncating first and clamping the
// integer gives exactly the clamped truncation, in a form the compiler turns into a handful of
// vector instructions.
QORVA_ALWAYS_INLINE std::uint8_t toByte(double y) {
    const int v = static_cast<int>(y);
    const int low = v < 0 ? 0 : v;
    return static_cast<std::uint8_t>(low > 255 ? 255 : low);
}

// The first three steps of a recursion, where the first sample s0 stands in for the samples
// before it: o0 = F(s0, s0, s0, s0), o1 = F(s1, o0, o0, o0), o2 = F(s2, o1, o0, o0), with
// F(x, p1, p2, p3) = c0 x + c1 p1 + c2 p2 + c3 p3 summed in that order. The outputs may be the
// inputs themselves (the forward pass starts in place).
QORVA_ALWAYS_INLINE void startSteps(const Coefficients& c, const double* s0, const double* s1,
                                    const double* s2, double* o0, double* o1, double* o2,
                                    std::size_t lanes) {
    for (std::size_t j = 0; j < lanes; ++j) {
        const double x0 = s0[j];
        const double a = c.c0 * x0 + c.c1 * x0 + c.c2 * x0 + c.c3 * x0;
        const double b = c.c0 * s1[j] + c.c1 * a + c.c2 * a + c.c3 * a;
        const double third = c.c0 * s2[j] + c.c1 * b + c.c2 * a + c.c3 * a;
        o0[j] = a;
        o1[j] = b;
        o2[j] = third;
    }
}

// Forward and backward recursion along `count` samples (at least 3) of `lanes` independent
// lanes at once (the channels of a group of rows, or of neighbouring columns). load(k, x)
// fills x[0..lanes) with sample k of every lane; store(k, y) receives the blurred sample k of
// every lane, from the last sample back to the first. `forward` holds count x lanes doubles,
// `ring` 4 x lanes. Every lane runs exactly the recursion it would run alone, so grouping
// lanes never changes a byte; it only gives the processor independent work for every step,
// and reading and writing inside the recursion spares two passes over the scratch.
template <class Load, class Store>
QORVA_ALWAYS_INLINE void recurse(std::size_t count, std::size_t lanes, const Coefficients& c,
                                 double* __restrict forward, double* __restrict ring, Load&& load,
                                 Store&& store) {
    const double c0 = c.c0, c1 = c.c1, c2 = c.c2, c3 = c.c3;
    const std::size_t n = count;
    const std::size_t l = lanes;
    const auto w = [&](std::size_t k) { return forward + k * l; };

    // Forward; the first sample stands in for the samples before the start.
    load(0, w(0));
    load(1, w(1));
    load(2, w(2));
    startSteps(c, w(0), w(1), w(2), w(0), w(1), w(2), l);
    for (std::size_t k = 3; k < n; ++k) {
        double* __restrict out = w(k);
        load(k, out);
        const double* __restrict p1 = w(k - 1);
        const double* __restrict p2 = w(k - 2);
        const double* __restrict p3 = w(k - 3);
        for (std::size_t j = 0; j < l; ++j)
            out[j] = c0 * out[j] + c1 * p1[j] + c2 * p2[j] + c3 * p3[j];
    }

    // Backward into a ring of four results; the last forward value stands in for the samples
    // after the end.
    const auto y = [&](std::size_t k) { return ring + (k & 3) * l; };
    startSteps(c, w(n - 1), w(n - 2), w(n - 3), y(n - 1), y(n - 2), y(n - 3), l);
    store(n - 1, y(n - 1));
    store(n - 2, y(n - 2));
    store(n - 3, y(n - 3));
    for (std::size_t k = n - 3; k-- > 0;) {
        const double* __restrict in = w(k);
        const double* __restrict p1 = y(k + 1);
        const double* __restrict p2 = y(k + 2);
        const double* __restrict p3 = y(k + 3);
        double* __restrict out = y(k);
        for (std::size_t j = 0; j < l; ++j)
            out[j] = c0 * in[j] + c1 * p1[j] + c2 * p2[j] + c3 * p3[j];
        store(k, static_cast<const double*>(out));
    }
}

// Neighbouring columns recursed together in the vertical pass: each row access then reads a
// run of 48 neighbouring bytes, and the scratch of a group stays near the cache.
constexpr int kColumnGroup = 16;

// Scratch of one thread's vertical pass: the forward values of a group of columns and the ring.
struct ColumnScratch {
    double* forward;
    double* ring;
};

// Horizontal pass: every row of source blurred into the same row of target (which may be
// source itself). With a table, each source byte is read through it first. Only the first three
// bytes of each pixel are written.
void blurRows(const std::uint8_t* source, std::uint8_t* target, int width, int height,
              int bytesPerPixel, const Coefficients& c, const std::uint8_t* table = nullptr);

// Vertical pass driver: calls group(firstColumn, columns, scratch) for every group of up to
// kColumnGroup neighbouring columns, in bands of columns on the threads.
void forEachColumnGroup(int width, int height,
                        const std::function<void(std::size_t firstColumn, std::size_t columns,
                                                 const ColumnScratch& scratch)>& group);

// Rows ahead of the one being read or written that the vertical pass asks the memory for: a
// column group steps a whole image row at a time, a stride the processor's own prefetching does
// not follow, so each run would otherwise wait for memory.
constexpr std::size_t kRowsAhead = 12;

// Asks for the cache lines of a run of bytes; a hint only, it never faults.
QORVA_ALWAYS_INLINE void prefetchRun(const std::uint8_t* run, std::size_t bytes) {
#if defined(__GNUC__)
    __builtin_prefetch(run);
    __builtin_prefetch(run + bytes - 1);
#else
    (void)run;
    (void)bytes;
#endif
}

// Loads row k of a group of columns of a packed RGB image of `rows` rows into the lanes (one
// run of bytes), asking for the run of a later row on the way, in the order the forward
// recursion reads them.
QORVA_ALWAYS_INLINE void loadPackedRun(const std::uint8_t* __restrict first, std::size_t rowBytes,
                                       std::size_t rows, std::size_t lanes, std::size_t k,
                                       double* __restrict x) {
    if (k + kRowsAhead < rows) prefetchRun(first + (k + kRowsAhead) * rowBytes, lanes);
    const std::uint8_t* __restrict in = first + k * rowBytes;
    for (std::size_t j = 0; j < lanes; ++j) x[j] = in[j];
}

// The run of row k of a group of columns that the backward recursion writes, asking for the run
// it writes a few rows later (the rows are written from the last up).
QORVA_ALWAYS_INLINE std::uint8_t* packedRunForWriting(std::uint8_t* first, std::size_t rowBytes,
                                                      std::size_t lanes, std::size_t k) {
    if (k >= kRowsAhead) prefetchRun(first + (k - kRowsAhead) * rowBytes, lanes);
    return first + k * rowBytes;
}

// The vertical pass of a group of columns of packed RGB rows: row k's run of blurred bytes,
// as it leaves the recursion, is handed byte by byte to finish(byte of target, blurred byte),
// whose result replaces the byte of target. source holds the horizontally blurred rows and may
// be target itself (the plain blur); the sharpening and the glow read a separate buffer and
// finish the image in place.
template <class Finish>
QORVA_ALWAYS_INLINE void packedColumnGroup(const std::uint8_t* source, std::uint8_t* target,
                                           std::size_t rowBytes, std::size_t height,
                                           std::size_t firstColumn, std::size_t columns,
                                           const Coefficients& c, const ColumnScratch& s,
                                           Finish&& finish) {
    const std::size_t lanes = columns * 3;
    const std::uint8_t* in = source + firstColumn * 3;
    std::uint8_t* first = target + firstColumn * 3;
    recurse(
        height, lanes, c, s.forward, s.ring,
        [&](std::size_t k, double* __restrict x) {
            loadPackedRun(in, rowBytes, height, lanes, k, x);
        },
        [&](std::size_t k, const double* __restrict y) {
            std::uint8_t* __restrict out = packedRunForWriting(first, rowBytes, lanes, k);
            for (std::size_t j = 0; j < lanes; ++j) out[j] = finish(out[j], toByte(y[j]));
        });
}

}  // namespace qorva::blur

// Hot loops built twice, for the baseline processor and for one with AVX2, the better one chosen
// when the program starts. Every lane still computes its own additions, multiplications and
// divisions one by one in the precision the code states (contraction into fused multiply-adds
// stays off), so the bytes are the same on every processor; only the number of lanes per
// instruction changes. Only where the toolchain can choose at load time (Linux, x86-64); the
// Windows builds keep the baseline code.
#pragma once

#if defined(__linux__) && defined(__x86_64__) && defined(__GNUC__)
#define QORVA_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define QORVA_WIDE_VECTORS
#endif

// For the helpers of such loops: inlined, they are built for each processor with the loop.
#if defined(__GNUC__)
#define QORVA_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define QORVA_ALWAYS_INLINE inline
#endif

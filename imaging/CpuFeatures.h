// The processor's wider vector units, for the pixel loops that have code for them. Such code
// is compiled per function (a target attribute), so the rest of the engine stays at the
// build's baseline and every path gives the same pixels; which path runs is decided once.
#pragma once

// x86-64 builds by GCC or clang have AVX2 variants of some pixel loops, picked at run time.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUARNEL_X86_DISPATCH 1
#include <immintrin.h>
// A function compiled for AVX2; call it only when UseAvx2() says so.
#define QUARNEL_TARGET_AVX2 __attribute__((target("avx2")))
#endif

namespace pavo {

// True when the processor has AVX2 and the environment variable QUARNEL_NO_AVX2 is not set
// (set, it keeps the baseline paths: for tests and for comparing the two).
bool DetectAvx2();

// DetectAvx2, asked once.
inline bool UseAvx2() {
  static const bool use = DetectAvx2();
  return use;
}

}  // namespace pavo

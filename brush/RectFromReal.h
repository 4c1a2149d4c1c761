// Integer rectangles computed from real-valued geometry. Positions and sizes truncate toward
// zero as everywhere in the engine; what a plain cast cannot do safely is handled here:
// a non-finite value gives no rectangle at all, and finite values are held within
// +-kRectLimit. No layer comes near that size, so the clamp never changes a rectangle that
// could touch a layer, and two clamped fields added together (the right edge in a union)
// stay far inside int32.
#pragma once

#include <cmath>
#include <cstdint>

#include "geometry/Rect.h"

namespace pavo {

constexpr int32_t kRectLimit = 1 << 28;

// trunc(v) held within +-kRectLimit; false (out untouched) when v is NaN or infinite.
inline bool TruncCoord(double v, int32_t& out) {
  if (!std::isfinite(v)) return false;
  if (v > kRectLimit) v = kRectLimit;
  if (v < -kRectLimit) v = -kRectLimit;
  out = static_cast<int32_t>(v);
  return true;
}

// (trunc(x), trunc(y), trunc(w), trunc(h)); false when any of the four is not finite.
inline bool TruncRect(double x, double y, double w, double h, NRECT& out) {
  int32_t ix = 0, iy = 0, iw = 0, ih = 0;
  if (!TruncCoord(x, ix) || !TruncCoord(y, iy) || !TruncCoord(w, iw) || !TruncCoord(h, ih))
    return false;
  out.Set(ix, iy, iw, ih);
  return true;
}

// v held within lo .. hi (int64 so that sums of two int32 values can be passed in).
inline int32_t ClampInt(int64_t v, int32_t lo, int32_t hi) {
  return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

// An integer rectangle whose left, top, right and bottom edges are each held within
// +-kRectLimit; the same rectangle for every size a layer can have, negative sizes kept.
inline NRECT ClampRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  const int32_t left = ClampInt(x, -kRectLimit, kRectLimit);
  const int32_t top = ClampInt(y, -kRectLimit, kRectLimit);
  const int32_t right = ClampInt(static_cast<int64_t>(x) + w, -kRectLimit, kRectLimit);
  const int32_t bottom = ClampInt(static_cast<int64_t>(y) + h, -kRectLimit, kRectLimit);
  return NRECT(left, top, right - left, bottom - top);
}

// a + b without wrapping: the sum held within the int32 range.
inline int32_t AddClamped(int32_t a, int32_t b) {
  return ClampInt(static_cast<int64_t>(a) + b, INT32_MIN, INT32_MAX);
}

}  // namespace pavo

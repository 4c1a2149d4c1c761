// Pixel arithmetic: the per-pixel blend rules for 0xAARRGGBB colours (straight alpha) and
// 8-bit coverage bytes, the row compositing of the numbered blend modes, and span fills.
// Every division by 255 truncates. "Channel" means red, green or blue, never alpha.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/Rect.h"

namespace pavo {

// The numbered blend modes of the row operations (TBltInfo::mode). An operation does nothing
// in a mode it has no rule for; 3, 18, 20 and 21 have none in any.
enum TBlendMode : int32_t {
  kBlendCopy = 0,
  kBlendAnd = 1,
  kBlendOr = 2,
  kBlendSubtract = 4,
  kBlendMask = 5,
  kBlendOntoColour = 6,  // normal onto the colour channels, alpha kept
  kBlendAdd = 7,
  kBlendMultiply = 8,
  kBlendOverlay = 9,
  kBlendScreen = 10,
  kBlendInvertedExclusion = 11,
  kBlendLighten = 12,
  kBlendDarken = 13,
  kBlendDifference = 14,
  kBlendDodge = 15,
  kBlendBurn = 16,
  kBlendTint = 17,
  kBlendLowCoverage = 19,  // the paint colour where coverage is low
  kBlendEraseAlpha = 22,
  kBlendEraseInverseAlpha = 23,
  kBlendTowardGrey = 24,
  kBlendKeyed = 25,  // normal onto opaque, skipping the key colour
  kBlendPalette = 26,
  kBlendMaximum = 27,
  kBlendNormal = 28,  // normal over, straight alpha
  kBlendMultiplyAlpha = 29,
  kBlendAddAlpha = 30,
  kBlendOverlayAlpha = 31,
  kBlendScreenAlpha = 32,
  kBlendInvertedExclusionAlpha = 33,
  kBlendLightenAlpha = 34,
  kBlendDarkenAlpha = 35,
  kBlendDifferenceAlpha = 36,
  kBlendDodgeAlpha = 37,
  kBlendBurnAlpha = 38,
};

// The span fills read the same field as modes of their own.
enum TFillMode : int32_t {
  kFillSet = 0,
  kFillBlend = 1,  // 32-bit: onto the colour channels, alpha kept; 8-bit: as kFillPaint
  kFillPaint = 2,
  kFillRaise = 6,  // 8-bit only
};

// Blit parameters of every row operation; TPixel is uint32_t (colour destinations) or
// uint8_t (coverage destinations).
template <class TPixel>
struct TBltInfo {
  int32_t mode = 0;
  uint8_t opacity = 255;
  TPixel colour = 0;  // fill colour of span fills; key colour of mode 25
  TPixel paintColour =
      0;  // painted through coverage (0 paints opaque black); tint of 8-bit mode 17
  TPixel reserved = 0;
  uint8_t reservedFlag = 0;
  int32_t rowBufferIndex = -1;
  NRECT dirty;
  const uint32_t* palette = nullptr;  // 256 colours for mode 26
};

using TBltInfo32 = TBltInfo<uint32_t>;
using TBltInfo8 = TBltInfo<uint8_t>;

// floor(x / 255) for 0 <= x <= 65025, in the shift form.
inline uint32_t Div255(uint32_t x) { return (x + 1 + ((x + 1) >> 8)) >> 8; }

inline uint32_t AlphaOf(uint32_t c) { return c >> 24; }
inline uint32_t RedOf(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t GreenOf(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t BlueOf(uint32_t c) { return c & 0xFF; }
inline uint32_t MakeColour(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Per-pixel operations; d is changed in place, f is a strength 0..255, v a byte 0..255.
// They are inline because every rasteriser calls them once per pixel.

// Colour channels only, d.A kept: g = s.A (f = 255) or floor(s.A f / 255);
// c = floor((s.c g + d.c (255 - g)) / 255).
inline void BlendOntoOpaque(uint32_t& d, uint32_t s, uint32_t f) {
  const uint32_t sa = AlphaOf(s);
  if (f == 0 || sa == 0) return;
  if (sa == 255 && f == 255) {
    d = (d & 0xFF000000u) | (s & 0x00FFFFFFu);
    return;
  }
  const uint32_t g = f == 255 ? sa : Div255(sa * f);
  const uint32_t ig = 255 - g;
  d = (d & 0xFF000000u) | (Div255(RedOf(s) * g + RedOf(d) * ig) << 16) |
      (Div255(GreenOf(s) * g + GreenOf(d) * ig) << 8) | Div255(BlueOf(s) * g + BlueOf(d) * ig);
}

// Straight-alpha s over d with s.A scaled by f: g = s.A f, h = floor(g / 255),
// D = 255 d.A + g - h d.A (255 x the new alpha); c = floor((d.c (255 - h) d.A + s.c g) / D)
// for channels that differ; A = floor(D / 255).
inline void Over(uint32_t& d, uint32_t s, uint32_t f) {
  const uint32_t g = AlphaOf(s) * f;
  const uint32_t h = Div255(g);
  const uint32_t da = AlphaOf(d);
  const uint32_t D = da * 255 + g - h * da;
  if (D == 0) return;
  const uint32_t k = (255 - h) * da;
  uint32_t out = (D / 255) << 24;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t dc = (d >> shift) & 0xFF;
    const uint32_t sc = (s >> shift) & 0xFF;
    out |= (sc == dc ? dc : (dc * k + sc * g) / D) << shift;
  }
  d = out;
}

// One colour painted onto one pixel: empty d takes s with A = floor(s.A (f + 1) / 256) below
// full strength; opaque s at full strength replaces d; opaque d blends colour only; else Over.
inline void PaintOver(uint32_t& d, uint32_t s, uint32_t f) {
  const uint32_t da = AlphaOf(d);
  if (da == 0) {
    d = f == 255 ? s : (s & 0x00FFFFFFu) | (((AlphaOf(s) * (f + 1)) >> 8) << 24);
  } else if (AlphaOf(s) == 255 && f == 255) {
    d = s;
  } else if (da == 255) {
    BlendOntoOpaque(d, s, f);
  } else {
    Over(d, s, f);
  }
}

// f = 0 keeps d, f = 255 gives v, else floor((v f + (255 - f) d) / 255).
inline void Lerp8(uint8_t& d, uint32_t v, uint32_t f) {
  if (f == 0) return;
  d = static_cast<uint8_t>(f == 255 ? v : Div255(v * f + (255 - f) * d));
}

// min(255, d + floor(f v / 255)).
inline void Add8(uint8_t& d, uint32_t v, uint32_t f) {
  const uint32_t t = d + Div255(f * v);
  d = static_cast<uint8_t>(t > 255 ? 255 : t);
}

// max(0, d - floor(f v / 255)).
inline void Sub8(uint8_t& d, uint32_t v, uint32_t f) {
  const uint32_t t = Div255(f * v);
  d = static_cast<uint8_t>(t >= d ? 0 : d - t);
}

// A strength held within 0..255.
inline int32_t ClampStrength(int32_t s) { return s < 0 ? 0 : (s > 255 ? 255 : s); }

// Walks an anti-aliased span (the walk of RowFillAA32 and RowFillAA8, and of the polygon
// fill's sample lines). lo..hi are the ordered bounds; first and last are trunc(lo) and
// trunc(hi), clamped into the row, while the unclamped values decide which end pixels are
// partial. A span within one pixel calls single(x, trunc((frac(hi) - frac(lo)) 255) a / 255);
// otherwise each pixel gets a, the unclamped first (255 - trunc(frac(lo) 255)) a / 255 and the
// unclamped last trunc(frac(hi) 255) a / 255 (frac signed, divisions truncating). The pixels
// at strength a between the two ends go to run(from, end, a) as one run.
// Strengths are kept within 0..255: spans that start inside (-1, 0) or end clamped would
// otherwise yield strengths past either end and wrap the blend arithmetic.
template <class Single, class Each, class Run>
inline void WalkSpan(int32_t rowLength, double xa, double xb, uint32_t a, Single single, Each each,
                     Run run) {
  if (rowLength <= 0 || !std::isfinite(xa) || !std::isfinite(xb)) return;
  const double lo = std::min(xa, xb);
  const double hi = std::max(xa, xb);
  if (hi < 0 || rowLength <= lo) return;
  const double tlo = std::trunc(lo);
  const double thi = std::trunc(hi);
  const double fracLo = lo - tlo;
  const double fracHi = hi - thi;
  // Whole parts beyond -1 or rowLength lie outside the row either way; clamping them first
  // keeps the conversion to int defined for huge positions.
  const double limit = static_cast<double>(rowLength);
  const int32_t rFirst = static_cast<int32_t>(std::clamp(tlo, -1.0, limit));
  const int32_t rLast = static_cast<int32_t>(std::clamp(thi, -1.0, limit));
  const int32_t first = std::max(rFirst, 0);
  const int32_t last = std::min(rLast, rowLength - 1);
  const int32_t ia = static_cast<int32_t>(a);
  if (first == last) {
    const int32_t cov = static_cast<int32_t>(std::trunc((fracHi - fracLo) * 255.0));
    single(first, static_cast<uint32_t>(ClampStrength(cov * ia / 255)));
    return;
  }
  const uint32_t firstStrength = static_cast<uint32_t>(
      ClampStrength((255 - static_cast<int32_t>(std::trunc(fracLo * 255.0))) * ia / 255));
  const uint32_t lastStrength = static_cast<uint32_t>(
      ClampStrength(static_cast<int32_t>(std::trunc(fracHi * 255.0)) * ia / 255));
  // first == rFirst and last == rLast are the only places the partial ends can be (the two
  // differ whenever first <= last).
  int32_t x = first;
  if (x <= last && x == rFirst) each(x++, firstStrength);
  const bool lastPartial = last == rLast;
  const int32_t runEnd = lastPartial ? last : last + 1;
  if (x < runEnd) run(x, runEnd, a);
  if (lastPartial && x <= last) each(last, lastStrength);
}

// Row operations: n pixels, the source starting at column sx, the destination at dx.
// Null rows and unknown modes do nothing.
void RowBlend32(const TBltInfo32& info, const uint32_t* src, int32_t sx, uint32_t* dst, int32_t dx,
                int32_t n);
void RowBlend8To32(const TBltInfo32& info, const uint8_t* cov, int32_t sx, uint32_t* dst,
                   int32_t dx, int32_t n);
void RowBlend8(const TBltInfo8& info, const uint8_t* src, int32_t sx, uint8_t* dst, int32_t dx,
               int32_t n);
void RowFill32(const TBltInfo32& info, uint32_t* row, int32_t x, int32_t n);
void RowFill8(const TBltInfo8& info, uint8_t* row, int32_t x, int32_t n);
// Spans from real position xa to xb (either order) with anti-aliased end pixels; non-finite
// bounds paint nothing.
void RowFillAA32(const TBltInfo32& info, uint32_t* row, int32_t rowLength, double xa, double xb);
void RowFillAA8(const TBltInfo8& info, uint8_t* row, int32_t rowLength, double xa, double xb);

// False for modes 0, 5, 19 and 23, which change the destination even under an empty source.
bool ModeSkipsEmptySource(int32_t mode);

}  // namespace pavo

// Row compositing of the numbered blend modes and the span fills. Every row operation picks
// its mode once, outside the pixel loop: each mode is a small inline per-pixel rule handed to
// a loop template, so the compiler builds one tight loop per mode.
#include "imaging/Blend.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pavo {

namespace {

constexpr uint32_t kRgb = 0x00FFFFFFu;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

inline uint32_t Min255(uint32_t x) { return x > 255 ? 255 : x; }
inline uint32_t WithAlpha(uint32_t c, uint32_t a) { return (c & kRgb) | (a << 24); }

// Applies op(dc, sc) to red, green and blue; alpha is taken from `keepAlpha`.
template <class Op>
inline uint32_t MapRgb(uint32_t d, uint32_t s, uint32_t keepAlpha, Op op) {
  return (keepAlpha << 24) | (op(RedOf(d), RedOf(s)) << 16) | (op(GreenOf(d), GreenOf(s)) << 8) |
         op(BlueOf(d), BlueOf(s));
}

// ---- loops ---------------------------------------------------------------------------------

template <class Op>
inline void Each32(const uint32_t* s, uint32_t* d, int32_t n, Op op) {
  for (int32_t i = 0; i < n; ++i) op(d[i], s[i]);
}
template <class Op>
inline void EachCov(const uint8_t* v, uint32_t* d, int32_t n, Op op) {
  for (int32_t i = 0; i < n; ++i) op(d[i], static_cast<uint32_t>(v[i]));
}
template <class Op>
inline void Each8(const uint8_t* s, uint8_t* d, int32_t n, Op op) {
  for (int32_t i = 0; i < n; ++i) op(d[i], static_cast<uint32_t>(s[i]));
}
template <class Pixel, class Op>
inline void EachDst(Pixel* d, int32_t n, Op op) {
  for (int32_t i = 0; i < n; ++i) op(d[i]);
}

// ---- alpha erasing (modes 22 and 23) -------------------------------------------------------

// e = 255 clears alpha, otherwise A = max(0, A - e); colour channels untouched.
inline void EraseAlpha(uint32_t& d, uint32_t e) {
  const uint32_t da = AlphaOf(d);
  const uint32_t na = e >= 255 ? 0 : (e >= da ? 0 : da - e);
  d = WithAlpha(d, na);
}

// e scaled by the opacity: e when a = 255, else floor(e a / 255).
inline uint32_t Scale(uint32_t e, uint32_t a) { return a == 255 ? e : Div255(e * a); }

// ---- opaque-destination mode results (modes 8 .. 16 without 11) ----------------------------

template <int M>
inline uint32_t ModeResult(uint32_t dc, uint32_t sc) {
  if constexpr (M == kBlendMultiply) {  // floor(s d / 255)
    return Div255(sc * dc);
  } else if constexpr (M == kBlendOverlay) {  // 2ds/255 below 128, else 255 - (511-2d)(255-s)/255
    return dc < 128 ? Div255(2 * dc * sc) : 255 - Div255((511 - 2 * dc) * (255 - sc));
  } else if constexpr (M == kBlendScreen) {  // 255 - (255-d)(255-s)/255
    return 255 - Div255((255 - dc) * (255 - sc));
  } else if constexpr (M == kBlendLighten) {
    return std::max(dc, sc);
  } else if constexpr (M == kBlendDarken) {
    return std::min(dc, sc);
  } else if constexpr (M == kBlendDifference) {  // |d - s|
    return dc > sc ? dc - sc : sc - dc;
  } else if constexpr (M == kBlendDodge) {  // min(255, 256 d / (256 - s))
    return Min255(dc * 256 / (256 - sc));
  } else {  // 255 - min(255, 256 (255 - d) / (s + 1))
    static_assert(M == kBlendBurn);
    return 255 - Min255((255 - dc) * 256 / (sc + 1));
  }
}

// One channel of an opaque-destination operation at strength b (1..255): add is
// min(255, d + floor(s b / 255)); the others blend their result r as
// r (b = 255) or floor((r b + d (255 - b)) / 255).
template <int M>
inline uint32_t OpaqueChannel(uint32_t dc, uint32_t sc, uint32_t b) {
  if constexpr (M == kBlendAdd) {
    return Min255(dc + Div255(sc * b));
  } else {
    const uint32_t r = ModeResult<M>(dc, sc);
    return b == 255 ? r : Div255(r * b + dc * (255 - b));
  }
}

// The opaque-destination operation of mode M (7..16 without 11); d.A never changes.
// Strength 0 and (multiply) a pure white source leave d as it is.
template <int M>
inline void OpaqueOp(uint32_t& d, uint32_t s, uint32_t b) {
  if (b == 0) return;
  if constexpr (M == kBlendMultiply) {
    if ((s & kRgb) == kRgb) return;
  }
  d = MapRgb(d, s, AlphaOf(d),
             [b](uint32_t dc, uint32_t sc) { return OpaqueChannel<M>(dc, sc, b); });
}

// d + q (255 - 2 d) / 255 with the signed division truncated toward zero; q is 0..255, the
// inverted source's share, so the result stays within 0..255.
inline uint32_t ExclusionStep(uint32_t dc, uint32_t q) {
  const int32_t delta = static_cast<int32_t>(q) * (255 - 2 * static_cast<int32_t>(dc)) / 255;
  return static_cast<uint32_t>(static_cast<int32_t>(dc) + delta);
}

// Mode 11 of a 32-bit source with alpha sa at opacity a (strength b = floor(sa a / 255)):
// at sa = a = 255 q = 255 - s.c, otherwise q = floor((255 - s.c) g / 256) with
// g = floor(a (sa + 1) / 256) + 1.
inline void InvertedExclusion(uint32_t& d, uint32_t s, uint32_t a) {
  const uint32_t sa = AlphaOf(s);
  if (Div255(sa * a) == 0) return;
  if (sa == 255 && a == 255) {
    d = MapRgb(d, s, AlphaOf(d),
               [](uint32_t dc, uint32_t sc) { return ExclusionStep(dc, 255 - sc); });
    return;
  }
  const uint32_t g = ((a * (sa + 1)) >> 8) + 1;
  d = MapRgb(d, s, AlphaOf(d),
             [g](uint32_t dc, uint32_t sc) { return ExclusionStep(dc, ((255 - sc) * g) >> 8); });
}

// ---- with-alpha operations (modes 29 .. 38) ------------------------------------------------

// The opaque-destination mode each with-alpha mode mixes in.
constexpr int OpaqueModeOf(int m) {
  return m == kBlendMultiplyAlpha ? kBlendMultiply
         : m == kBlendAddAlpha    ? kBlendAdd
                                  : m - (kBlendOverlayAlpha - kBlendOverlay);
}

// With-alpha operation of mode M at strength k onto a destination with alpha:
// g = s.A k, F = floor(g / 255), D = 255 d.A + g - d.A F (nothing when 0);
// M = the opaque-destination result at strength F; O = floor((d.A (255 - F) d.c + g s.c) / D);
// W = (D + 510) >> 8, scaled by floor(. d.A / 255) below full d.A;
// c = floor(((255 - W) O + W M) / 255) while W <= 254, else M; A = floor(D / 255).
// Mode 33 uses truncating divisions by 255 throughout: its M step is
// d + floor((255 - s.c) F / 255) (255 - 2 d) / 255 and its W base is floor(D / 255).
template <int M>
inline void WithAlphaOp(uint32_t& d, uint32_t s, uint32_t k) {
  const uint32_t g = AlphaOf(s) * k;
  const uint32_t F = Div255(g);
  const uint32_t da = AlphaOf(d);
  const uint32_t D = da * 255 + g - da * F;
  if (D == 0) return;
  bool keep = F == 0;  // the opaque-destination operation does nothing at strength 0
  if constexpr (M == kBlendMultiplyAlpha) keep = keep || (s & kRgb) == kRgb;
  const uint32_t wBase = M == kBlendInvertedExclusionAlpha ? D / 255 : (D + 510) >> 8;
  const uint32_t W = da == 255 ? wBase : wBase * da / 255;
  const uint32_t kO = da * (255 - F);
  d = MapRgb(d, s, D / 255, [=](uint32_t dc, uint32_t sc) {
    uint32_t m = dc;
    if (!keep) {
      if constexpr (M == kBlendInvertedExclusionAlpha) {
        m = ExclusionStep(dc, (255 - sc) * F / 255);
      } else {
        m = OpaqueChannel<OpaqueModeOf(M)>(dc, sc, F);
      }
    }
    if (W > 254) return m;
    const uint32_t o = (kO * dc + g * sc) / D;
    return Div255((255 - W) * o + W * m);
  });
}

// ---- 32 <- 32 rules ------------------------------------------------------------------------

// Mode 28, normal over: transparent s does nothing; empty d takes s with
// A = floor(s.A a / 255); opaque s at a = 255 replaces d; opaque d blends colour with
// h = floor(s.A a / 255); anything else is Over(d, s, a).
inline void NormalOver(uint32_t& d, uint32_t s, uint32_t a) {
  const uint32_t sa = AlphaOf(s);
  if (sa == 0) return;
  const uint32_t da = AlphaOf(d);
  if (da == 0) {
    d = a == 255 ? s : WithAlpha(s, Div255(sa * a));
  } else if (sa == 255 && a == 255) {
    d = s;
  } else if (da == 255) {
    const uint32_t h = Div255(sa * a);
    d = MapRgb(d, s, 255,
               [h](uint32_t dc, uint32_t sc) { return Div255(dc * (255 - h) + sc * h); });
  } else {
    Over(d, s, a);
  }
}

template <int M>
void Row32Opaque(const uint32_t* s, uint32_t* d, int32_t n, uint32_t a) {
  Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) { OpaqueOp<M>(dp, sp, Div255(AlphaOf(sp) * a)); });
}

// Modes 29..38: where s.A > 0, an empty destination takes s with A = floor(s.A a / 255)
// (mode 33's formula already gives that pixel), else the with-alpha operation at strength a.
template <int M>
void Row32WithAlpha(const uint32_t* s, uint32_t* d, int32_t n, uint32_t a) {
  Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) {
    const uint32_t sa = AlphaOf(sp);
    if (sa == 0) return;
    if (M != kBlendInvertedExclusionAlpha && AlphaOf(dp) == 0) {
      dp = WithAlpha(sp, Div255(sa * a));
    } else {
      WithAlphaOp<M>(dp, sp, a);
    }
  });
}

// ---- 32 <- 8 rules (coverage v painting colour C) ------------------------------------------

// Mode 28: empty d takes C with A = v (or floor(v (K + 1) / 256)); opaque C at full v and K
// replaces d; opaque d blends colour with O = floor((K + 1) v / 256) in 256ths; else
// Over(d, C, O).
inline void CoverageOver(uint32_t& d, uint32_t c, uint32_t v, uint32_t K) {
  if (v == 0) return;
  const uint32_t da = AlphaOf(d);
  if (da == 0) {
    d = WithAlpha(c, K == 255 ? v : (v * (K + 1)) >> 8);
    return;
  }
  if (AlphaOf(c) == 255 && K == 255 && v == 255) {
    d = c;
    return;
  }
  const uint32_t o = ((K + 1) * v) >> 8;
  if (da == 255) {
    d = MapRgb(d, c, 255, [o](uint32_t dc, uint32_t cc) { return (dc * (256 - o) + cc * o) >> 8; });
  } else {
    Over(d, c, o);
  }
}

template <int M>
void Cov32Opaque(const uint8_t* v, uint32_t* d, int32_t n, uint32_t c, uint32_t K) {
  EachCov(v, d, n, [c, K](uint32_t& dp, uint32_t cv) {
    if (cv != 0) OpaqueOp<M>(dp, c, Scale(cv, K));
  });
}

// Mode 11 through coverage: t = floor(K (255 - C.c) / 255) per channel; v = K = 255 gives
// d + t (255 - 2 d) / 255, otherwise d + floor(L t / 256) (255 - 2 d) / 255 with
// L = floor(K v / 255) + 1. C.A is not used.
void Cov32InvertedExclusion(const uint8_t* v, uint32_t* d, int32_t n, uint32_t c, uint32_t K) {
  const uint32_t tr = Div255(K * (255 - RedOf(c)));
  const uint32_t tg = Div255(K * (255 - GreenOf(c)));
  const uint32_t tb = Div255(K * (255 - BlueOf(c)));
  const uint32_t t = (tr << 16) | (tg << 8) | tb;
  EachCov(v, d, n, [K, t](uint32_t& dp, uint32_t cv) {
    if (cv == 0) return;
    if (cv == 255 && K == 255) {
      dp = MapRgb(dp, t, AlphaOf(dp),
                  [](uint32_t dc, uint32_t tc) { return ExclusionStep(dc, tc); });
    } else {
      const uint32_t L = Div255(K * cv) + 1;
      dp = MapRgb(dp, t, AlphaOf(dp),
                  [L](uint32_t dc, uint32_t tc) { return ExclusionStep(dc, (L * tc) >> 8); });
    }
  });
}

// Modes 29..38 through coverage: empty d takes C with A = v (or floor(v (K + 1) / 256);
// mode 33 goes through its formula), else the with-alpha operation at floor((K + 1) v / 256).
template <int M>
void Cov32WithAlpha(const uint8_t* v, uint32_t* d, int32_t n, uint32_t c, uint32_t K) {
  EachCov(v, d, n, [c, K](uint32_t& dp, uint32_t cv) {
    if (cv == 0) return;
    if (M != kBlendInvertedExclusionAlpha && AlphaOf(dp) == 0) {
      dp = WithAlpha(c, K == 255 ? cv : (cv * (K + 1)) >> 8);
    } else {
      WithAlphaOp<M>(dp, c, ((K + 1) * cv) >> 8);
    }
  });
}

// Mode 24: t = floor(floor(K v / 255) 127 / 255); each of the four bytes moves by t toward
// the middle, down from 128 and above, up below 128.
inline void TowardGrey(uint32_t& d, uint32_t v, uint32_t K) {
  if (v == 0) return;
  const uint32_t t = Div255(Div255(K * v) * 127);
  if (t == 0) return;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t b = (d >> shift) & 0xFF;
    out |= (b >= 128 ? b - t : b + t) << shift;
  }
  d = out;
}

// ---- 8 <- 8 rules --------------------------------------------------------------------------

// Mode 17: b = s scaled by a; s = a = 255 stores the tint p, else
// floor(((255 - b) d + p b) / 255).
inline void Tint8(uint8_t& d, uint32_t s, uint32_t a, uint32_t p) {
  if (s == 0) return;
  if (s == 255 && a == 255) {
    d = static_cast<uint8_t>(p);
    return;
  }
  const uint32_t b = Scale(s, a);
  d = static_cast<uint8_t>(Div255((255 - b) * d + p * b));
}

// Mode 27: t = Lerp8(d, s, a); d = max(d, t).
inline void Maximum8(uint8_t& d, uint32_t s, uint32_t a) {
  uint8_t t = d;
  Lerp8(t, s, a);
  if (t > d) d = t;
}

// ---- fills ---------------------------------------------------------------------------------

// Mode 2 of RowFill32: opaque P at a = 255 replaces d; empty d takes P with
// A = floor(P.A a / 255); opaque d blends colour only; else Over(d, P, a).
inline void FillPaint(uint32_t& d, uint32_t p, uint32_t a) {
  const uint32_t da = AlphaOf(d);
  if (AlphaOf(p) == 255 && a == 255) {
    d = p;
  } else if (da == 0) {
    d = a == 255 ? p : WithAlpha(p, Div255(AlphaOf(p) * a));
  } else if (da == 255) {
    BlendOntoOpaque(d, p, a);
  } else {
    Over(d, p, a);
  }
}

}  // namespace

// ---- row operations ------------------------------------------------------------------------

void RowBlend32(const TBltInfo32& info, const uint32_t* src, int32_t sx, uint32_t* dst, int32_t dx,
                int32_t n) {
  if (src == nullptr || dst == nullptr || n <= 0) return;
  const uint32_t* s = src + sx;
  uint32_t* d = dst + dx;
  const uint32_t a = info.opacity;
  switch (info.mode) {
    case kBlendCopy:
      std::memmove(d, s, static_cast<size_t>(n) * sizeof(uint32_t));
      break;
    case kBlendAnd:
      Each32(s, d, n, [](uint32_t& dp, uint32_t sp) { dp &= sp; });
      break;
    case kBlendOr:
      Each32(s, d, n, [](uint32_t& dp, uint32_t sp) { dp |= sp; });
      break;
    case kBlendOntoColour:  // colour onto colour, alpha kept: exactly BlendOntoOpaque(d, s, a)
      Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) { BlendOntoOpaque(dp, sp, a); });
      break;
    case kBlendAdd:
      Row32Opaque<kBlendAdd>(s, d, n, a);
      break;
    case kBlendMultiply:
      Row32Opaque<kBlendMultiply>(s, d, n, a);
      break;
    case kBlendOverlay:
      Row32Opaque<kBlendOverlay>(s, d, n, a);
      break;
    case kBlendScreen:
      Row32Opaque<kBlendScreen>(s, d, n, a);
      break;
    case kBlendInvertedExclusion:
      Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) { InvertedExclusion(dp, sp, a); });
      break;
    case kBlendLighten:
      Row32Opaque<kBlendLighten>(s, d, n, a);
      break;
    case kBlendDarken:
      Row32Opaque<kBlendDarken>(s, d, n, a);
      break;
    case kBlendDifference:
      Row32Opaque<kBlendDifference>(s, d, n, a);
      break;
    case kBlendDodge:
      Row32Opaque<kBlendDodge>(s, d, n, a);
      break;
    case kBlendBurn:
      Row32Opaque<kBlendBurn>(s, d, n, a);
      break;
    case kBlendEraseAlpha:  // erase alpha by the source alpha
      Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) {
        const uint32_t sa = AlphaOf(sp);
        if (sa != 0) EraseAlpha(dp, Scale(sa, a));
      });
      break;
    case kBlendEraseInverseAlpha:  // erase alpha by the inverse source alpha
      Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) {
        const uint32_t sa = AlphaOf(sp);
        if (sa != 255) EraseAlpha(dp, Scale(255 - sa, a));
      });
      break;
    case kBlendKeyed: {  // BlendOntoOpaque wherever the source differs from the key colour
      const uint32_t key = info.colour;
      Each32(s, d, n, [a, key](uint32_t& dp, uint32_t sp) {
        if (sp != key) BlendOntoOpaque(dp, sp, a);
      });
      break;
    }
    case kBlendNormal:
      Each32(s, d, n, [a](uint32_t& dp, uint32_t sp) { NormalOver(dp, sp, a); });
      break;
    case kBlendMultiplyAlpha:
      Row32WithAlpha<kBlendMultiplyAlpha>(s, d, n, a);
      break;
    case kBlendAddAlpha:
      Row32WithAlpha<kBlendAddAlpha>(s, d, n, a);
      break;
    case kBlendOverlayAlpha:
      Row32WithAlpha<kBlendOverlayAlpha>(s, d, n, a);
      break;
    case kBlendScreenAlpha:
      Row32WithAlpha<kBlendScreenAlpha>(s, d, n, a);
      break;
    case kBlendInvertedExclusionAlpha:
      Row32WithAlpha<kBlendInvertedExclusionAlpha>(s, d, n, a);
      break;
    case kBlendLightenAlpha:
      Row32WithAlpha<kBlendLightenAlpha>(s, d, n, a);
      break;
    case kBlendDarkenAlpha:
      Row32WithAlpha<kBlendDarkenAlpha>(s, d, n, a);
      break;
    case kBlendDifferenceAlpha:
      Row32WithAlpha<kBlendDifferenceAlpha>(s, d, n, a);
      break;
    case kBlendDodgeAlpha:
      Row32WithAlpha<kBlendDodgeAlpha>(s, d, n, a);
      break;
    case kBlendBurnAlpha:
      Row32WithAlpha<kBlendBurnAlpha>(s, d, n, a);
      break;
    default:
      break;
  }
}

void RowBlend8To32(const TBltInfo32& info, const uint8_t* cov, int32_t sx, uint32_t* dst,
                   int32_t dx, int32_t n) {
  if (cov == nullptr || dst == nullptr || n <= 0) return;
  const uint8_t* v = cov + sx;
  uint32_t* d = dst + dx;
  const uint32_t K = info.opacity;
  const uint32_t c = info.paintColour == 0 ? kOpaqueBlack : info.paintColour;
  switch (info.mode) {
    case kBlendOntoColour:  // C's colour, alpha kept: e = v scaled by K; 255 copies, else
                            // BlendOntoOpaque
      EachCov(v, d, n, [c, K](uint32_t& dp, uint32_t cv) {
        if (cv == 0) return;
        const uint32_t e = Scale(cv, K);
        if (e == 255) {
          dp = (dp & ~kRgb) | (c & kRgb);
        } else {
          BlendOntoOpaque(dp, c, e);
        }
      });
      break;
    case kBlendAdd:
      Cov32Opaque<kBlendAdd>(v, d, n, c, K);
      break;
    case kBlendMultiply:
      Cov32Opaque<kBlendMultiply>(v, d, n, c, K);
      break;
    case kBlendOverlay:
      Cov32Opaque<kBlendOverlay>(v, d, n, c, K);
      break;
    case kBlendScreen:
      Cov32Opaque<kBlendScreen>(v, d, n, c, K);
      break;
    case kBlendInvertedExclusion:
      Cov32InvertedExclusion(v, d, n, c, K);
      break;
    case kBlendLighten:
      Cov32Opaque<kBlendLighten>(v, d, n, c, K);
      break;
    case kBlendDarken:
      Cov32Opaque<kBlendDarken>(v, d, n, c, K);
      break;
    case kBlendDifference:
      Cov32Opaque<kBlendDifference>(v, d, n, c, K);
      break;
    case kBlendDodge:
      Cov32Opaque<kBlendDodge>(v, d, n, c, K);
      break;
    case kBlendBurn:
      Cov32Opaque<kBlendBurn>(v, d, n, c, K);
      break;
    case kBlendLowCoverage:  // C where coverage is low: O = floor(K (255 - v) / 255)
      EachCov(v, d, n, [c, K](uint32_t& dp, uint32_t cv) {
        if (cv == 255) return;
        const uint32_t o = Div255(K * (255 - cv));
        if (o == 255) {
          dp = c;
        } else {
          BlendOntoOpaque(dp, c, o);
        }
      });
      break;
    case kBlendEraseAlpha:
      EachCov(v, d, n, [K](uint32_t& dp, uint32_t cv) {
        if (cv != 0) EraseAlpha(dp, Scale(cv, K));
      });
      break;
    case kBlendEraseInverseAlpha:
      EachCov(v, d, n, [K](uint32_t& dp, uint32_t cv) {
        if (cv != 255) EraseAlpha(dp, Scale(255 - cv, K));
      });
      break;
    case kBlendTowardGrey:
      EachCov(v, d, n, [K](uint32_t& dp, uint32_t cv) { TowardGrey(dp, cv, K); });
      break;
    case kBlendPalette: {  // palette colour chosen by coverage
      const uint32_t* pal = info.palette;
      if (pal == nullptr) break;
      EachCov(v, d, n, [pal, K](uint32_t& dp, uint32_t cv) { BlendOntoOpaque(dp, pal[cv], K); });
      break;
    }
    case kBlendNormal:
      EachCov(v, d, n, [c, K](uint32_t& dp, uint32_t cv) { CoverageOver(dp, c, cv, K); });
      break;
    case kBlendMultiplyAlpha:
      Cov32WithAlpha<kBlendMultiplyAlpha>(v, d, n, c, K);
      break;
    case kBlendAddAlpha:
      Cov32WithAlpha<kBlendAddAlpha>(v, d, n, c, K);
      break;
    case kBlendOverlayAlpha:
      Cov32WithAlpha<kBlendOverlayAlpha>(v, d, n, c, K);
      break;
    case kBlendScreenAlpha:
      Cov32WithAlpha<kBlendScreenAlpha>(v, d, n, c, K);
      break;
    case kBlendInvertedExclusionAlpha:
      Cov32WithAlpha<kBlendInvertedExclusionAlpha>(v, d, n, c, K);
      break;
    case kBlendLightenAlpha:
      Cov32WithAlpha<kBlendLightenAlpha>(v, d, n, c, K);
      break;
    case kBlendDarkenAlpha:
      Cov32WithAlpha<kBlendDarkenAlpha>(v, d, n, c, K);
      break;
    case kBlendDifferenceAlpha:
      Cov32WithAlpha<kBlendDifferenceAlpha>(v, d, n, c, K);
      break;
    case kBlendDodgeAlpha:
      Cov32WithAlpha<kBlendDodgeAlpha>(v, d, n, c, K);
      break;
    case kBlendBurnAlpha:
      Cov32WithAlpha<kBlendBurnAlpha>(v, d, n, c, K);
      break;
    default:
      break;
  }
}

void RowBlend8(const TBltInfo8& info, const uint8_t* src, int32_t sx, uint8_t* dst, int32_t dx,
               int32_t n) {
  if (src == nullptr || dst == nullptr || n <= 0) return;
  const uint8_t* s = src + sx;
  uint8_t* d = dst + dx;
  const uint32_t a = info.opacity;
  switch (info.mode) {
    case kBlendCopy:
      std::memmove(d, s, static_cast<size_t>(n));
      break;
    case kBlendAnd:
      Each8(s, d, n, [](uint8_t& dp, uint32_t sp) { dp = static_cast<uint8_t>(dp & sp); });
      break;
    case kBlendOr:
      Each8(s, d, n, [](uint8_t& dp, uint32_t sp) { dp = static_cast<uint8_t>(dp | sp); });
      break;
    case kBlendSubtract:
      Each8(s, d, n, [a](uint8_t& dp, uint32_t sp) { Sub8(dp, sp, a); });
      break;
    case kBlendMask:  // masking: removes where the source is low
      Each8(s, d, n, [a](uint8_t& dp, uint32_t sp) { Sub8(dp, 255 - sp, a); });
      break;
    case kBlendOntoColour:
      Each8(s, d, n, [a](uint8_t& dp, uint32_t sp) { Lerp8(dp, sp, a); });
      break;
    case kBlendAdd:
      Each8(s, d, n, [a](uint8_t& dp, uint32_t sp) { Add8(dp, sp, a); });
      break;
    case kBlendTint: {
      const uint32_t p = info.paintColour;
      Each8(s, d, n, [a, p](uint8_t& dp, uint32_t sp) { Tint8(dp, sp, a, p); });
      break;
    }
    case kBlendKeyed: {
      const uint32_t key = info.colour;
      Each8(s, d, n, [a, key](uint8_t& dp, uint32_t sp) {
        if (sp != key) Lerp8(dp, sp, a);
      });
      break;
    }
    case kBlendMaximum:
      Each8(s, d, n, [a](uint8_t& dp, uint32_t sp) { Maximum8(dp, sp, a); });
      break;
    default:
      break;
  }
}

void RowFill32(const TBltInfo32& info, uint32_t* row, int32_t x, int32_t n) {
  if (row == nullptr || n <= 0) return;
  uint32_t* d = row + x;
  const uint32_t p = info.colour;
  const uint32_t a = info.opacity;
  switch (info.mode) {
    case kFillSet:
      std::fill(d, d + n, p);
      break;
    case kFillBlend:
      EachDst(d, n, [p, a](uint32_t& dp) { BlendOntoOpaque(dp, p, a); });
      break;
    case kFillPaint:
      EachDst(d, n, [p, a](uint32_t& dp) { FillPaint(dp, p, a); });
      break;
    default:
      break;
  }
}

void RowFill8(const TBltInfo8& info, uint8_t* row, int32_t x, int32_t n) {
  if (row == nullptr || n <= 0) return;
  uint8_t* d = row + x;
  const uint32_t v = info.colour;
  const uint32_t a = info.opacity;
  switch (info.mode) {
    case kFillSet:
      std::memset(d, static_cast<int>(v), static_cast<size_t>(n));
      break;
    case kFillRaise: {  // raise to at least v scaled by a
      const uint8_t floorValue = static_cast<uint8_t>(Scale(v, a));
      EachDst(d, n, [floorValue](uint8_t& dp) {
        if (dp < floorValue) dp = floorValue;
      });
      break;
    }
    case kFillBlend:
    case kFillPaint:
      if (a == 255) {
        std::memset(d, static_cast<int>(v), static_cast<size_t>(n));
      } else {
        EachDst(d, n,
                [v, a](uint8_t& dp) { dp = static_cast<uint8_t>(Div255(v * a + (255 - a) * dp)); });
      }
      break;
    default:
      break;
  }
}

// Single-pixel spans use Over; longer spans blend opaque pixels colour only.
void RowFillAA32(const TBltInfo32& info, uint32_t* row, int32_t rowLength, double xa, double xb) {
  if (row == nullptr) return;
  const uint32_t p = info.colour;
  auto each = [row, p](int32_t x, uint32_t s) {
    if (AlphaOf(row[x]) == 255) {
      BlendOntoOpaque(row[x], p, s);
    } else {
      Over(row[x], p, s);
    }
  };
  WalkSpan(
      rowLength, xa, xb, info.opacity, [row, p](int32_t x, uint32_t s) { Over(row[x], p, s); },
      each,
      [&each](int32_t from, int32_t end, uint32_t s) {
        for (int32_t x = from; x < end; ++x) each(x, s);
      });
}

// Strength 255 stores v, otherwise floor((d (255 - s) + v s) / 255): Lerp8 in both cases.
void RowFillAA8(const TBltInfo8& info, uint8_t* row, int32_t rowLength, double xa, double xb) {
  if (row == nullptr) return;
  const uint32_t v = info.colour;
  auto paint = [row, v](int32_t x, uint32_t s) { Lerp8(row[x], v, s); };
  WalkSpan(rowLength, xa, xb, info.opacity, paint, paint,
           [row, v](int32_t from, int32_t end, uint32_t s) {
             if (s == 255) {
               std::memset(row + from, static_cast<int>(v), static_cast<size_t>(end - from));
             } else if (s != 0) {
               for (int32_t x = from; x < end; ++x) Lerp8(row[x], v, s);
             }
           });
}

bool ModeSkipsEmptySource(int32_t mode) {
  return !(mode == kBlendCopy || mode == kBlendMask || mode == kBlendLowCoverage ||
           mode == kBlendEraseInverseAlpha);
}

}  // namespace pavo

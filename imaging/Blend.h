// Pixel arithmetic: the per-pixel blend rules for 0xAARRGGBB colours (straight alpha) and
// 8-bit coverage bytes, the row compositing of the numbered blend modes, and span fills.
// Every division by 255 truncates.
#pragma once

#include <cstdint>

#include "geometry/Rect.h"

namespace pavo {

// Blit parameters of every row operation; TPixel is uint32_t (colour destinations) or
// uint8_t (coverage destinations).
template <class TPixel>
struct TBltInfo {
  int32_t mode = 0;
  uint8_t opacity = 255;
  TPixel colour = 0;       // fill colour of span fills; key colour of mode 25
  TPixel paintColour = 0;  // painted through coverage (0 paints opaque black); tint of 8-bit mode 17
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

// Per-pixel operations; d is changed in place, f is a strength 0..255.
void BlendOntoOpaque(uint32_t& d, uint32_t s, uint32_t f);
void Over(uint32_t& d, uint32_t s, uint32_t f);
void PaintOver(uint32_t& d, uint32_t s, uint32_t f);
void Lerp8(uint8_t& d, uint32_t v, uint32_t f);
void Add8(uint8_t& d, uint32_t v, uint32_t f);
void Sub8(uint8_t& d, uint32_t v, uint32_t f);

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
void RowFillAA32(const TBltInfo32& info, uint32_t* row, int32_t rowLength, double xa, double xb);
void RowFillAA8(const TBltInfo8& info, uint8_t* row, int32_t rowLength, double xa, double xb);

// False for modes 0, 5, 19 and 23, which change the destination even under an empty source.
bool ModeSkipsEmptySource(int32_t mode);

}  // namespace pavo

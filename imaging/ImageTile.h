// Tiled layers: canvas-sized rasters whose pixels live in 128 x 128 tiles that exist only
// where something non-zero was written. An absent tile reads as all zero. Compositing works
// one row at a time: the affected row blocks are gathered from the tiles into the layer's
// row buffer (position x of the buffer is layer column x), the row operation runs, and the
// destination buffer is scattered back, creating tiles only for blocks that are not all zero.
//
// A tile that cannot be allocated is skipped and the write to it lost; nothing here throws.
// Source and destination of a blit must be different layers (one row buffer each).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "imaging/Blend.h"
#include "imaging/Image.h"

namespace pavo {

// Tiles are kTileSize x kTileSize pixels: pixel (x, y) of a layer is pixel
// (x & kTileMask, y & kTileMask) of tile (x >> kTileShift, y >> kTileShift).
constexpr int32_t kTileShift = 7;
constexpr int32_t kTileSize = 1 << kTileShift;
constexpr int32_t kTileMask = kTileSize - 1;

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
class CImageTile {
 public:
  // uint32_t for colour layers, uint8_t for coverage and 1-bit layers (bit 0 is the pixel).
  using TPixel = std::conditional_t<std::is_same_v<TImage, CImage32>, uint32_t, uint8_t>;
  static_assert(TileSize == kTileSize);

  int32_t width = 0;
  int32_t height = 0;
  // tilesX * 128 pixels; for the 1-bit layer tilesX * 16 bytes of packed bits.
  std::vector<TPixel> rowBuffer;
  std::vector<std::vector<TPixel>> auxRowBuffers;  // selectable by TBltInfo::rowBufferIndex
  int32_t auxRowBufferCount = 0;
  std::vector<std::unique_ptr<TImage>> tiles;  // tile (tx, ty) is entry tx + ty * tilesX
  int32_t tilesX = 0;
  int32_t tilesY = 0;
  int32_t tileCount = 0;

  CImageTile() = default;
  CImageTile(const CImageTile&) = delete;
  CImageTile& operator=(const CImageTile&) = delete;

  // Always releases every tile. False (and a 0 x 0 layer) when the table or row buffer
  // cannot be had.
  bool Resize(int32_t w, int32_t h);
  void FreeTiles();

  TImage* TileAt(int32_t tx, int32_t ty) const;
  // The tile at (tx, ty), created (cleared to zero) if absent; null outside the grid or when
  // it cannot be allocated.
  TImage* CreateTile(int32_t tx, int32_t ty);

  TPixel GetPixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, TPixel value);
  // 32-bit: PaintOver; 8-bit: Lerp8; 1-bit: stores the bit when opacity >= 128.
  void BlendPixel(int32_t x, int32_t y, TPixel value, uint32_t opacity);
  void BlendPixelKeepAlpha(int32_t x, int32_t y, TPixel value, uint32_t opacity);

  bool RowHasTiles(int32_t y) const;
  bool SpanHasTiles(int32_t x, int32_t y, int32_t w) const;
  // Copies the whole 128-pixel blocks that [x, x + w) touches into buffer (null when the
  // row is outside the layer).
  TPixel* GatherRow(TPixel* buffer, int32_t x, int32_t y, int32_t w);
  // Writes those blocks back; true when at least one tile row was written.
  bool ScatterRow(const TPixel* buffer, int32_t x, int32_t y, int32_t w);

  bool FillRect(const TBltInfo<TPixel>& info, int32_t x, int32_t y, int32_t w, int32_t h);

  // Tile columns first .. last (inside the grid) of the tile row that holds row y:
  // visit(tile, tx) with tile (tx, y >> kTileShift), null when it is absent.
  template <class TVisit>
  void ForEachTileOfRow(int32_t y, int64_t first, int64_t last, TVisit visit);
  // Columns [from, to) of row y, all inside the layer, one tile at a time:
  // paint(pixels, runFrom, runTo) with pixels[0] the pixel of column runFrom, for every tile
  // that exists or, with create, can be made; a tile that cannot be had loses its columns.
  // Colour and coverage layers only.
  template <class TPaint>
  void ForEachRowRun(int32_t y, int32_t from, int32_t to, bool create, TPaint paint);
};

// ---- inline accessors ----------------------------------------------------------------------

namespace tile_detail {

// Buffer entries per 128-pixel block: pixels for colour and coverage, packed bytes for bits.
template <class TImage>
struct TFormat {
  static constexpr int32_t kBlock = kTileSize;
  static constexpr bool kBits = false;
};
template <>
struct TFormat<CImage1> {
  static constexpr int32_t kBlock = kTileSize / 8;
  static constexpr bool kBits = true;
};

// The table entry of the tile that holds pixel (x, y) of a layer inside the grid.
inline size_t TileIndex(int32_t x, int32_t y, int32_t tilesX) {
  return static_cast<size_t>(x >> kTileShift) + static_cast<size_t>(y >> kTileShift) * tilesX;
}

// The offset of pixel (x, y) within its tile's pixels, for pixel and byte formats.
inline size_t TileOffset(int32_t x, int32_t y) {
  return static_cast<size_t>(y & kTileMask) * kTileSize + static_cast<size_t>(x & kTileMask);
}

// Unsigned coordinate test: negative values wrap to huge ones and fail.
inline bool InLayer(int32_t x, int32_t y, int32_t w, int32_t h) {
  return static_cast<uint32_t>(x) < static_cast<uint32_t>(w) &&
         static_cast<uint32_t>(y) < static_cast<uint32_t>(h);
}

inline uint32_t ClampOpacity(uint32_t opacity) { return opacity > 255 ? 255 : opacity; }

}  // namespace tile_detail

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
inline TImage* CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::TileAt(int32_t tx,
                                                                        int32_t ty) const {
  if (!tile_detail::InLayer(tx, ty, tilesX, tilesY)) return nullptr;
  return tiles[static_cast<size_t>(tx) + static_cast<size_t>(ty) * tilesX].get();
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
inline typename CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::TPixel
CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::GetPixel(int32_t x, int32_t y) const {
  if (!tile_detail::InLayer(x, y, width, height)) return 0;
  const TImage* t = tiles[tile_detail::TileIndex(x, y, tilesX)].get();
  if (t == nullptr) return 0;
  if constexpr (tile_detail::TFormat<TImage>::kBits) {
    const int32_t px = x & kTileMask, py = y & kTileMask;
    return static_cast<TPixel>(
        (t->pixels[py * tile_detail::TFormat<TImage>::kBlock + (px >> 3)] >> (px & 7)) & 1);
  } else {
    return t->pixels[tile_detail::TileOffset(x, y)];
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
inline void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::SetPixel(int32_t x, int32_t y,
                                                                       TPixel value) {
  if (!tile_detail::InLayer(x, y, width, height)) return;
  TImage* t = tiles[tile_detail::TileIndex(x, y, tilesX)].get();
  constexpr bool kBits = tile_detail::TFormat<TImage>::kBits;
  if (t == nullptr) {
    // An absent tile already reads as zero: no tile is made to hold one.
    if ((kBits ? (value & 1) : value) == 0) return;
    t = CreateTile(x >> kTileShift, y >> kTileShift);
    if (t == nullptr) return;
  }
  if constexpr (kBits) {
    const int32_t px = x & kTileMask, py = y & kTileMask;
    uint8_t& b = t->pixels[py * tile_detail::TFormat<TImage>::kBlock + (px >> 3)];
    const uint8_t m = static_cast<uint8_t>(1u << (px & 7));
    b = static_cast<uint8_t>((b & ~m) | ((value & 1) ? m : 0));
  } else {
    t->pixels[tile_detail::TileOffset(x, y)] = value;
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
inline void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::BlendPixel(int32_t x, int32_t y,
                                                                         TPixel value,
                                                                         uint32_t opacity) {
  if (!tile_detail::InLayer(x, y, width, height)) return;
  opacity = tile_detail::ClampOpacity(opacity);
  if constexpr (tile_detail::TFormat<TImage>::kBits) {
    // A bit is stored only at opacity 128 or more.
    if (opacity >= 128) SetPixel(x, y, value);
  } else {
    TImage* t = tiles[tile_detail::TileIndex(x, y, tilesX)].get();
    if (t == nullptr) {
      if (value == 0) return;
      t = CreateTile(x >> kTileShift, y >> kTileShift);
      if (t == nullptr) return;
    }
    TPixel& d = t->pixels[tile_detail::TileOffset(x, y)];
    if constexpr (std::is_same_v<TPixel, uint32_t>) {
      PaintOver(d, value, opacity);
    } else {
      Lerp8(d, value, opacity);
    }
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
inline void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::BlendPixelKeepAlpha(
    int32_t x, int32_t y, TPixel value, uint32_t opacity) {
  if constexpr (std::is_same_v<TPixel, uint32_t>) {
    if (!tile_detail::InLayer(x, y, width, height)) return;
    TImage* t = tiles[tile_detail::TileIndex(x, y, tilesX)].get();
    if (t == nullptr) {
      if (value == 0) return;
      t = CreateTile(x >> kTileShift, y >> kTileShift);
      if (t == nullptr) return;
    }
    BlendOntoOpaque(t->pixels[tile_detail::TileOffset(x, y)], value,
                    tile_detail::ClampOpacity(opacity));
  } else {
    // Bytes and bits have no alpha to keep.
    BlendPixel(x, y, value, opacity);
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
template <class TVisit>
inline void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::ForEachTileOfRow(int32_t y,
                                                                               int64_t first,
                                                                               int64_t last,
                                                                               TVisit visit) {
  const size_t base = static_cast<size_t>(y >> kTileShift) * tilesX;
  for (int64_t t = first; t <= last; ++t)
    visit(tiles[base + static_cast<size_t>(t)].get(), static_cast<int32_t>(t));
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
template <class TPaint>
inline void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::ForEachRowRun(int32_t y, int32_t from,
                                                                            int32_t to, bool create,
                                                                            TPaint paint) {
  static_assert(!tile_detail::TFormat<TImage>::kBits);
  if (from >= to) return;
  const int32_t ty = y >> kTileShift;
  const size_t row = static_cast<size_t>(y & kTileMask) * kTileSize;
  ForEachTileOfRow(y, from >> kTileShift, (to - 1) >> kTileShift, [&](TImage* tile, int32_t tx) {
    if (tile == nullptr && create) tile = CreateTile(tx, ty);
    if (tile == nullptr) return;
    const int32_t runFrom = std::max(from, tx << kTileShift);
    const int32_t runTo = std::min(to, (tx + 1) << kTileShift);
    paint(tile->pixels + row + (runFrom & kTileMask), runFrom, runTo);
  });
}

// The members above are inline; the rest is compiled once in imaging/ImageTile.cpp.
extern template class CImageTile<CImage32, kTileSize, TBpp32, TBpp32>;
extern template class CImageTile<CImage8, kTileSize, TBpp8, TBpp8>;
extern template class CImageTile<CImage1, kTileSize, TBpp1, TBpp8>;

using CImageTile32 = CImageTile<CImage32, kTileSize, TBpp32, TBpp32>;
using CImageTile8 = CImageTile<CImage8, kTileSize, TBpp8, TBpp8>;
using CImageTile1 = CImageTile<CImage1, kTileSize, TBpp1, TBpp8>;

// Source rectangle (sx, sy, w, h) onto the destination at (dx, dy).
bool BltLayer(CImageTile32& dst, const TBltInfo32& info, int32_t dx, int32_t dy, CImageTile32& src,
              int32_t sx, int32_t sy, int32_t w, int32_t h);
bool BltLayer(CImageTile8& dst, const TBltInfo8& info, int32_t dx, int32_t dy, CImageTile8& src,
              int32_t sx, int32_t sy, int32_t w, int32_t h);
// Coverage painted in info.paintColour with RowBlend8To32.
bool BltCoverage(const TBltInfo32& info, CImageTile32& dst, int32_t dx, int32_t dy,
                 CImageTile8& cov, int32_t sx, int32_t sy, int32_t w, int32_t h);
// A 32-bit layer onto a flat image; extends info.dirty.
bool BltToImage(TBltInfo32& info, CImage32& image, int32_t dx, int32_t dy, CImageTile32& layer,
                int32_t sx, int32_t sy, int32_t w, int32_t h);
bool BltToImage(TBltInfo32& info, CImage32& image, int32_t dx, int32_t dy, CImageTile32& layer);

}  // namespace pavo

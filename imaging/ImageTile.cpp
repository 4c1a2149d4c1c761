// Tiled layers: the three instantiations of CImageTile and their compositing.
#include "imaging/ImageTile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pavo {

namespace {

constexpr int32_t kTile = 128;
// A layer larger than this many tiles is refused; it keeps the table's size and every
// tile index within int32 arithmetic (a 65536 x 65536 canvas is 262144 tiles).
constexpr int64_t kMaxTiles = int64_t(1) << 22;

inline bool Inside(int32_t x, int32_t y, int32_t w, int32_t h) {
  return static_cast<uint32_t>(x) < static_cast<uint32_t>(w) &&
         static_cast<uint32_t>(y) < static_cast<uint32_t>(h);
}

// Bytes of one tile row in the row buffer and in a tile, and the pixels a buffer element
// holds: the 1-bit layer keeps 8 pixels per byte.
template <class TImage>
constexpr int32_t kPixelsPerElement = std::is_same_v<TImage, CImage1> ? 8 : 1;

template <class TPixel>
bool BlockIsZero(const TPixel* p, int32_t n) {
  for (int32_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

}  // namespace

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::Resize(int32_t w, int32_t h) {
  FreeTiles();
  if (w == width && h == height && !rowBuffer.empty()) return true;
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  const int64_t tx = (static_cast<int64_t>(w) + TileSize - 1) / TileSize;
  const int64_t ty = (static_cast<int64_t>(h) + TileSize - 1) / TileSize;
  tiles.clear();
  tiles.shrink_to_fit();
  rowBuffer.clear();
  rowBuffer.shrink_to_fit();
  width = height = tilesX = tilesY = tileCount = 0;
  if (tx * ty > kMaxTiles) return false;
  const int64_t elements = tx * TileSize / kPixelsPerElement<TImage>;
  try {
    tiles.resize(static_cast<size_t>(tx * ty));
    rowBuffer.assign(static_cast<size_t>(elements), TPixel(0));
  } catch (...) {
    tiles.clear();
    rowBuffer.clear();
    return false;
  }
  width = w;
  height = h;
  tilesX = static_cast<int32_t>(tx);
  tilesY = static_cast<int32_t>(ty);
  tileCount = tilesX * tilesY;
  return true;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::FreeTiles() {
  for (auto& t : tiles) t.reset();
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
TImage* CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::TileAt(int32_t tx, int32_t ty) const {
  if (!Inside(tx, ty, tilesX, tilesY)) return nullptr;
  return tiles[static_cast<size_t>(tx) + static_cast<size_t>(ty) * tilesX].get();
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
TImage* CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::CreateTile(int32_t tx, int32_t ty) {
  if (!Inside(tx, ty, tilesX, tilesY)) return nullptr;
  auto& slot = tiles[static_cast<size_t>(tx) + static_cast<size_t>(ty) * tilesX];
  if (slot) return slot.get();
  std::unique_ptr<TImage> tile(new (std::nothrow) TImage());
  if (!tile || !tile->Resize(TileSize, TileSize)) return nullptr;  // the write is lost
  tile->Fill(0);
  slot = std::move(tile);
  return slot.get();
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
auto CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::GetPixel(int32_t x, int32_t y) const
    -> TPixel {
  if (!Inside(x, y, width, height)) return 0;
  const TImage* t = TileAt(x / TileSize, y / TileSize);
  if (t == nullptr) return 0;
  return static_cast<TPixel>(t->GetPixel(x & (TileSize - 1), y & (TileSize - 1)));
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::SetPixel(int32_t x, int32_t y,
                                                                TPixel value) {
  if (!Inside(x, y, width, height)) return;
  TImage* t = TileAt(x / TileSize, y / TileSize);
  if (t == nullptr) {
    if (value == 0) return;  // no tile is created to hold a zero
    t = CreateTile(x / TileSize, y / TileSize);
    if (t == nullptr) return;
  }
  if constexpr (std::is_same_v<TImage, CImage1>) {
    t->SetPixelUnchecked(x & (TileSize - 1), y & (TileSize - 1), value);
  } else {
    t->SetPixelUnchecked(x & (TileSize - 1), y & (TileSize - 1), value);
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::BlendPixel(int32_t x, int32_t y,
                                                                  TPixel value, uint32_t opacity) {
  if (!Inside(x, y, width, height)) return;
  TImage* t = TileAt(x / TileSize, y / TileSize);
  if (t == nullptr) {
    if (value == 0) return;
    t = CreateTile(x / TileSize, y / TileSize);
    if (t == nullptr) return;
  }
  const int32_t lx = x & (TileSize - 1), ly = y & (TileSize - 1);
  if constexpr (std::is_same_v<TImage, CImage32>) {
    PaintOver(*t->PixelAddressUnchecked(lx, ly), value, opacity);
  } else if constexpr (std::is_same_v<TImage, CImage8>) {
    Lerp8(*t->PixelAddress(lx, ly), value, opacity);
  } else {
    t->SetPixelIfOpaque(lx, ly, value, opacity);
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::BlendPixelKeepAlpha(int32_t x, int32_t y,
                                                                           TPixel value,
                                                                           uint32_t opacity) {
  if constexpr (std::is_same_v<TImage, CImage32>) {
    if (!Inside(x, y, width, height)) return;
    TImage* t = TileAt(x / TileSize, y / TileSize);
    if (t == nullptr) {
      if (value == 0) return;
      t = CreateTile(x / TileSize, y / TileSize);
      if (t == nullptr) return;
    }
    BlendOntoOpaque(*t->PixelAddressUnchecked(x & (TileSize - 1), y & (TileSize - 1)), value,
                    opacity);
  } else {
    BlendPixel(x, y, value, opacity);
  }
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::RowHasTiles(int32_t y) const {
  if (!Inside(0, y, 1, height)) return false;
  const int32_t ty = y / TileSize;
  for (int32_t tx = 0; tx < tilesX; ++tx)
    if (TileAt(tx, ty) != nullptr) return true;
  return false;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::SpanHasTiles(int32_t x, int32_t y,
                                                                    int32_t w) const {
  if (x == 0 && w == width) return RowHasTiles(y);
  if (!Inside(0, y, 1, height)) return false;
  const int32_t first = std::max<int32_t>(0, x / TileSize);
  const int64_t end = (static_cast<int64_t>(x) + w) / TileSize;
  const int32_t last = static_cast<int32_t>(std::min<int64_t>(end, tilesX - 1));
  const int32_t ty = y / TileSize;
  for (int32_t tx = first; tx <= last; ++tx)
    if (TileAt(tx, ty) != nullptr) return true;
  return false;
}

// Whole 128-pixel blocks are copied, so buffer positions outside [x, x + w) but inside a
// touched block hold the layer's current pixels too.
template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
auto CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::GatherRow(TPixel* buffer, int32_t x,
                                                                 int32_t y, int32_t w) -> TPixel* {
  if (buffer == nullptr || tilesX == 0) return nullptr;
  int64_t x64 = x, w64 = w;
  if (x64 < 0) {
    w64 += x64;
    if (w64 <= 0) return nullptr;
    x64 = 0;
  }
  if (y < 0 || y >= height) return nullptr;
  const int32_t first = static_cast<int32_t>(std::min<int64_t>(x64 / TileSize, tilesX - 1));
  const int64_t end = x64 + std::min<int64_t>(w64, width - x64);
  const int32_t last = static_cast<int32_t>(std::clamp<int64_t>(end / TileSize, 0, tilesX - 1));
  constexpr int32_t n = TileSize / kPixelsPerElement<TImage>;
  const int32_t ty = y / TileSize, ly = y & (TileSize - 1);
  for (int32_t t = first; t <= last; ++t) {
    TPixel* dst = buffer + static_cast<size_t>(t) * n;
    const TImage* tile = TileAt(t, ty);
    if (tile != nullptr) {
      std::memcpy(dst,
                  tile->pixels + static_cast<size_t>(ly) * tile->stride / sizeof(TPixel) *
                                     (std::is_same_v<TImage, CImage32> ? 1 : 1),
                  n * sizeof(TPixel));
    } else {
      std::memset(dst, 0, n * sizeof(TPixel));
    }
  }
  return buffer;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::ScatterRow(const TPixel* buffer, int32_t x,
                                                                  int32_t y, int32_t w) {
  if (buffer == nullptr || tilesX == 0 || y < 0 || y >= height) return false;
  const int64_t end = static_cast<int64_t>(x) + w;
  const int32_t first =
      x < 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(x / TileSize, tilesX - 1));
  const int32_t last =
      end < 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(end / TileSize, tilesX - 1));
  constexpr int32_t n = TileSize / kPixelsPerElement<TImage>;
  const int32_t ty = y / TileSize, ly = y & (TileSize - 1);
  bool written = false;
  for (int32_t t = first; t <= last; ++t) {
    const TPixel* src = buffer + static_cast<size_t>(t) * n;
    TImage* tile = TileAt(t, ty);
    if (tile == nullptr) {
      if (BlockIsZero(src, n)) continue;
      tile = CreateTile(t, ty);
      if (tile == nullptr) continue;
    }
    std::memcpy(tile->pixels + static_cast<size_t>(ly) * tile->stride / sizeof(TPixel), src,
                n * sizeof(TPixel));
    written = true;
  }
  return written;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::FillRect(const TBltInfo<TPixel>& info,
                                                                int32_t x, int32_t y, int32_t w,
                                                                int32_t h) {
  NRECT r(x, y, w, h);
  if (!ClipRect(width, height, r)) return false;
  if constexpr (std::is_same_v<TImage, CImage1>) {
    for (int32_t row = r.y; row < r.y + r.height; ++row)
      for (int32_t c = r.x; c < r.x + r.width; ++c) SetPixel(c, row, info.colour & 1u);
  } else {
    TPixel* buf = rowBuffer.data();
    for (int32_t row = r.y; row < r.y + r.height; ++row) {
      if (GatherRow(buf, r.x, row, r.width) == nullptr) continue;
      if constexpr (std::is_same_v<TImage, CImage32>) {
        RowFill32(info, buf, r.x, r.width);
      } else {
        RowFill8(info, buf, r.x, r.width);
      }
      ScatterRow(buf, r.x, row, r.width);
    }
  }
  return true;
}

template class CImageTile<CImage32, 128, TBpp32, TBpp32>;
template class CImageTile<CImage8, 128, TBpp8, TBpp8>;
template class CImageTile<CImage1, 128, TBpp1, TBpp8>;

namespace {

// The row loop shared by the layer-to-layer blits: skip rows whose source span is empty when
// the mode allows it, gather both rows, run the row operation, scatter the destination.
template <class TDst, class TSrc, class TInfo, class TRowOp>
bool BltRows(TDst& dst, const TInfo& info, int32_t dx, int32_t dy, TSrc& src, int32_t sx,
             int32_t sy, int32_t w, int32_t h, TRowOp rowOp) {
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(src.width, src.height, dst.width, dst.height, r)) return false;
  const bool skipEmpty = ModeSkipsEmptySource(info.mode);
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const int32_t j = r.sy + (i - r.dy);
    if (skipEmpty && !src.SpanHasTiles(r.sx, j, r.w)) continue;
    auto* s = src.GatherRow(src.rowBuffer.data(), r.sx, j, r.w);
    auto* d = dst.GatherRow(dst.rowBuffer.data(), r.dx, i, r.w);
    if (s == nullptr || d == nullptr) continue;
    rowOp(info, s, r.sx, d, r.dx, r.w);
    dst.ScatterRow(d, r.dx, i, r.w);
  }
  return true;
}

}  // namespace

bool BltLayer(CImageTile32& dst, const TBltInfo32& info, int32_t dx, int32_t dy, CImageTile32& src,
              int32_t sx, int32_t sy, int32_t w, int32_t h) {
  if (&dst == &src) return false;  // one row buffer per layer
  return BltRows(dst, info, dx, dy, src, sx, sy, w, h, RowBlend32);
}

bool BltLayer(CImageTile8& dst, const TBltInfo8& info, int32_t dx, int32_t dy, CImageTile8& src,
              int32_t sx, int32_t sy, int32_t w, int32_t h) {
  if (&dst == &src) return false;
  return BltRows(dst, info, dx, dy, src, sx, sy, w, h, RowBlend8);
}

bool BltCoverage(const TBltInfo32& info, CImageTile32& dst, int32_t dx, int32_t dy,
                 CImageTile8& cov, int32_t sx, int32_t sy, int32_t w, int32_t h) {
  return BltRows(dst, info, dx, dy, cov, sx, sy, w, h, RowBlend8To32);
}

bool BltToImage(TBltInfo32& info, CImage32& image, int32_t dx, int32_t dy, CImageTile32& layer,
                int32_t sx, int32_t sy, int32_t w, int32_t h) {
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(layer.width, layer.height, image.width, image.height, r)) return false;
  uint32_t* buffer = layer.rowBuffer.data();
  if (info.rowBufferIndex != -1) {
    const int32_t k = info.rowBufferIndex;
    buffer = (k >= 0 && k < layer.auxRowBufferCount &&
              static_cast<size_t>(k) < layer.auxRowBuffers.size() &&
              layer.auxRowBuffers[k].size() >= layer.rowBuffer.size())
                 ? layer.auxRowBuffers[k].data()
                 : nullptr;
  }
  const bool skipEmpty = ModeSkipsEmptySource(info.mode);
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const int32_t j = r.sy + (i - r.dy);
    if (skipEmpty && !layer.SpanHasTiles(r.sx, j, r.w)) continue;
    if (buffer == nullptr) continue;  // no such auxiliary buffer: the row is skipped
    const uint32_t* s = layer.GatherRow(buffer, r.sx, j, r.w);
    uint32_t* d = image.RowAddress(i);
    if (s == nullptr || d == nullptr) continue;
    RowBlend32(info, s, r.sx, d, r.dx, r.w);
    info.dirty.UnionPoint(r.dx, i);
    info.dirty.UnionPoint(r.dx + r.w + 1, i);
  }
  return true;
}

bool BltToImage(TBltInfo32& info, CImage32& image, int32_t dx, int32_t dy, CImageTile32& layer) {
  return BltToImage(info, image, dx, dy, layer, 0, 0, layer.width, layer.height);
}

}  // namespace pavo

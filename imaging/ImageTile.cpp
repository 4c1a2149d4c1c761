// Tiled layers: sizing, tile creation, row gathering and scattering by whole 128-pixel
// blocks, and the row-by-row compositing between layers and onto flat images.
#include "imaging/ImageTile.h"

#include <algorithm>
#include <limits>
#include <new>

namespace pavo {

namespace {

// True when all n (>= 1) entries are zero: the first is zero and each equals the next.
template <class T>
inline bool AllZero(const T* p, int32_t n) {
  return p[0] == 0 && std::memcmp(p, p + 1, static_cast<size_t>(n - 1) * sizeof(T)) == 0;
}

// 1-bit span fill: bits x .. x + n - 1 take bit 0 of the fill value when the opacity is at
// least 128 (the 1-bit rule of storing a bit); the mode is not consulted.
inline void RowFill1(const TBltInfo8& info, uint8_t* row, int32_t x, int32_t n) {
  if (row == nullptr || info.opacity < 128) return;
  const bool set = (info.colour & 1) != 0;
  for (int32_t i = x; i < x + n; ++i) {
    const uint8_t m = static_cast<uint8_t>(1u << (i & 7));
    row[i >> 3] = static_cast<uint8_t>(set ? (row[i >> 3] | m) : (row[i >> 3] & ~m));
  }
}

inline void FillRow(const TBltInfo32& info, uint32_t* row, int32_t x, int32_t n, TBpp32) {
  RowFill32(info, row, x, n);
}
inline void FillRow(const TBltInfo8& info, uint8_t* row, int32_t x, int32_t n, TBpp8) {
  RowFill8(info, row, x, n);
}
inline void FillRow(const TBltInfo8& info, uint8_t* row, int32_t x, int32_t n, TBpp1) {
  RowFill1(info, row, x, n);
}

}  // namespace

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::Resize(int32_t w, int32_t h) {
  constexpr int64_t kBlock = tile_detail::TFormat<TImage>::kBlock;
  FreeTiles();
  // A negative size would pass the unsigned coordinate tests for every pixel.
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == width && h == height) return true;
  const int64_t tx = (static_cast<int64_t>(w) + kTileMask) / kTileSize;
  const int64_t ty = (static_cast<int64_t>(h) + kTileMask) / kTileSize;
  const int64_t count = tx * ty;
  std::vector<std::unique_ptr<TImage>>().swap(tiles);
  std::vector<TPixel>().swap(rowBuffer);
  width = height = tilesX = tilesY = tileCount = 0;
  // The table is indexed with int32 arithmetic.
  if (count > std::numeric_limits<int32_t>::max()) return false;
  try {
    tiles.resize(static_cast<size_t>(count));
    rowBuffer.assign(static_cast<size_t>(tx * kBlock), TPixel(0));
  } catch (...) {  // bad_alloc or length_error: the layer stays 0 x 0
    std::vector<std::unique_ptr<TImage>>().swap(tiles);
    std::vector<TPixel>().swap(rowBuffer);
    return false;
  }
  width = w;
  height = h;
  tilesX = static_cast<int32_t>(tx);
  tilesY = static_cast<int32_t>(ty);
  tileCount = static_cast<int32_t>(count);
  return true;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
void CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::FreeTiles() {
  for (auto& t : tiles) t.reset();
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
TImage* CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::CreateTile(int32_t tx, int32_t ty) {
  if (!tile_detail::InLayer(tx, ty, tilesX, tilesY)) return nullptr;
  std::unique_ptr<TImage>& slot = tiles[static_cast<size_t>(tx) + static_cast<size_t>(ty) * tilesX];
  if (slot) return slot.get();
  std::unique_ptr<TImage> t(new (std::nothrow) TImage());
  if (!t || !t->Resize(kTileSize, kTileSize) || t->pixels == nullptr) return nullptr;
  std::memset(t->pixels, 0, sizeof(TPixel) * tile_detail::TFormat<TImage>::kBlock * kTileSize);
  slot = std::move(t);
  return slot.get();
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::RowHasTiles(int32_t y) const {
  if (static_cast<uint32_t>(y) >= static_cast<uint32_t>(height)) return false;
  const size_t base = static_cast<size_t>(y >> kTileShift) * tilesX;
  for (int32_t t = 0; t < tilesX; ++t)
    if (tiles[base + t]) return true;
  return false;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::SpanHasTiles(int32_t x, int32_t y,
                                                                    int32_t w) const {
  if (x == 0 && w == width) return RowHasTiles(y);
  if (static_cast<uint32_t>(y) >= static_cast<uint32_t>(height)) return false;
  // Tile columns max(0, x / 128) .. min((x + w) / 128, tilesX - 1), truncating divisions.
  const int64_t first = std::max<int64_t>(0, x / kTileSize);
  const int64_t last = std::min<int64_t>((static_cast<int64_t>(x) + w) / kTileSize, tilesX - 1);
  const size_t base = static_cast<size_t>(y >> kTileShift) * tilesX;
  for (int64_t t = first; t <= last; ++t)
    if (tiles[base + static_cast<size_t>(t)]) return true;
  return false;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
typename CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::TPixel*
CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::GatherRow(TPixel* buffer, int32_t x, int32_t y,
                                                            int32_t w) {
  constexpr int32_t kBlock = tile_detail::TFormat<TImage>::kBlock;
  if (buffer == nullptr || tilesX < 1) return nullptr;
  int64_t X = x, W = w;
  if (X < 0) {
    W += X;
    if (W <= 0) return nullptr;
    X = 0;
  }
  if (static_cast<uint32_t>(y) >= static_cast<uint32_t>(height)) return nullptr;
  const int64_t first = std::min<int64_t>(X / kTileSize, tilesX - 1);
  const int64_t end = X + std::min<int64_t>(W, width - X);
  const int64_t last = std::clamp<int64_t>(end / kTileSize, 0, tilesX - 1);
  const size_t row = static_cast<size_t>(y & kTileMask) * kBlock;
  ForEachTileOfRow(y, first, last, [&](const TImage* tile, int32_t t) {
    TPixel* dst = buffer + static_cast<size_t>(t) * kBlock;
    if (tile != nullptr)
      std::memcpy(dst, tile->pixels + row, sizeof(TPixel) * kBlock);
    else
      std::memset(dst, 0, sizeof(TPixel) * kBlock);
  });
  return buffer;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::ScatterRow(const TPixel* buffer, int32_t x,
                                                                  int32_t y, int32_t w) {
  constexpr int32_t kBlock = tile_detail::TFormat<TImage>::kBlock;
  // A row outside the layer has no tiles to write (and no table entries to index).
  if (buffer == nullptr || tilesX < 1 || static_cast<uint32_t>(y) >= static_cast<uint32_t>(height))
    return false;
  const int64_t end = static_cast<int64_t>(x) + w;
  const int64_t first = std::min<int64_t>(x < 0 ? 0 : x / kTileSize, tilesX - 1);
  const int64_t last = std::min<int64_t>(end < 0 ? 0 : end / kTileSize, tilesX - 1);
  const size_t row = static_cast<size_t>(y & kTileMask) * kBlock;
  bool wrote = false;
  ForEachTileOfRow(y, first, last, [&](TImage* tile, int32_t t) {
    const TPixel* block = buffer + static_cast<size_t>(t) * kBlock;
    if (tile == nullptr) {
      if (AllZero(block, kBlock)) return;
      tile = CreateTile(t, y >> kTileShift);
      if (tile == nullptr) return;  // no memory: this block's write is lost
    }
    std::memcpy(tile->pixels + row, block, sizeof(TPixel) * kBlock);
    wrote = true;
  });
  return wrote;
}

template <class TImage, int TileSize, class TSrcBpp, class TValueBpp>
bool CImageTile<TImage, TileSize, TSrcBpp, TValueBpp>::FillRect(const TBltInfo<TPixel>& info,
                                                                int32_t x, int32_t y, int32_t w,
                                                                int32_t h) {
  NRECT r(x, y, w, h);
  if (!ClipRect(width, height, r)) return false;
  TPixel* buffer = rowBuffer.data();
  for (int32_t row = r.y; row < r.y + r.height; ++row) {
    if (GatherRow(buffer, r.x, row, r.width) == nullptr) continue;
    FillRow(info, buffer, r.x, r.width, TSrcBpp());
    ScatterRow(buffer, r.x, row, r.width);
  }
  return true;
}

template class CImageTile<CImage32, kTileSize, TBpp32, TBpp32>;
template class CImageTile<CImage8, kTileSize, TBpp8, TBpp8>;
template class CImageTile<CImage1, kTileSize, TBpp1, TBpp8>;

// ---- compositing ---------------------------------------------------------------------------

namespace {

// Layer onto layer, one destination row at a time: gather both rows, run the row operation
// on the buffers, scatter the destination back. Rows whose source span has no tiles are
// skipped when the mode leaves the destination alone under an empty source.
template <class TDst, class TSrc, class TInfo, class TRowOp>
bool BltRows(TDst& dst, const TInfo& info, int32_t dx, int32_t dy, TSrc& src, int32_t sx,
             int32_t sy, int32_t w, int32_t h, TRowOp rowOp) {
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(src.width, src.height, dst.width, dst.height, r)) return false;
  const bool skipEmpty = ModeSkipsEmptySource(info.mode);
  auto* srcBuffer = src.rowBuffer.data();
  auto* dstBuffer = dst.rowBuffer.data();
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const int32_t j = r.sy + (i - r.dy);
    if (skipEmpty && !src.SpanHasTiles(r.sx, j, r.w)) continue;
    if (src.GatherRow(srcBuffer, r.sx, j, r.w) == nullptr) continue;
    if (dst.GatherRow(dstBuffer, r.dx, i, r.w) == nullptr) continue;
    rowOp(info, srcBuffer, r.sx, dstBuffer, r.dx, r.w);
    dst.ScatterRow(dstBuffer, r.dx, i, r.w);
  }
  return true;
}

}  // namespace

bool BltLayer(CImageTile32& dst, const TBltInfo32& info, int32_t dx, int32_t dy, CImageTile32& src,
              int32_t sx, int32_t sy, int32_t w, int32_t h) {
  return BltRows(dst, info, dx, dy, src, sx, sy, w, h, RowBlend32);
}

bool BltLayer(CImageTile8& dst, const TBltInfo8& info, int32_t dx, int32_t dy, CImageTile8& src,
              int32_t sx, int32_t sy, int32_t w, int32_t h) {
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
  // An alternative row buffer is used only when it exists and is as wide as the layer's own;
  // otherwise no row can be gathered and every row is skipped.
  uint32_t* buffer = layer.rowBuffer.data();
  if (info.rowBufferIndex != -1) {
    const int64_t index = info.rowBufferIndex;
    const int64_t count = std::min<int64_t>(layer.auxRowBufferCount,
                                            static_cast<int64_t>(layer.auxRowBuffers.size()));
    buffer = nullptr;
    if (index >= 0 && index < count) {
      auto& aux = layer.auxRowBuffers[static_cast<size_t>(index)];
      if (aux.size() >= layer.rowBuffer.size()) buffer = aux.data();
    }
  }
  const bool skipEmpty = ModeSkipsEmptySource(info.mode);
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const int32_t j = r.sy + (i - r.dy);
    if (skipEmpty && !layer.SpanHasTiles(r.sx, j, r.w)) continue;
    if (layer.GatherRow(buffer, r.sx, j, r.w) == nullptr) continue;
    uint32_t* row = image.RowAddress(i);
    if (row == nullptr) continue;
    RowBlend32(info, buffer, r.sx, row, r.dx, r.w);
    info.dirty.UnionPoint(r.dx, i);
    info.dirty.UnionPoint(r.dx + r.w + 1, i);
  }
  return true;
}

bool BltToImage(TBltInfo32& info, CImage32& image, int32_t dx, int32_t dy, CImageTile32& layer) {
  return BltToImage(info, image, dx, dy, layer, 0, 0, layer.width, layer.height);
}

}  // namespace pavo

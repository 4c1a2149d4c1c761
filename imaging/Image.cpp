// Flat raster images. Every byte count is worked out in 64 bits before anything is
// allocated, so a size from outside can only ever lead to a full block or to no pixels.
#include "imaging/Image.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace pavo {

namespace {

// Largest block handed to the allocator: 2^32 bytes (a 32768 x 32768 image). The tester
// never needs more, and Linux overcommit would grant a larger block only to kill the
// process once its pages are touched; such sizes are refused up front instead.
constexpr int64_t kMaxBytes = int64_t{1} << 32;
static_assert(kMaxBytes <= std::numeric_limits<std::ptrdiff_t>::max());

// Replaces sizes below 1 by 1, as every image is at least one pixel once sized.
inline int32_t AtLeastOne(int32_t v) { return v < 1 ? 1 : v; }

// Bytes of a w x h image whose rows are `stride` bytes, or -1 when the count does not fit.
inline int64_t BlockBytes(int64_t stride, int64_t h) {
  if (stride <= 0 || h <= 0) return -1;
  if (stride > kMaxBytes / h) return -1;  // also keeps stride x h from overflowing
  return stride * h;
}

// Unsigned coordinate test: negative values wrap to huge ones and fail.
inline bool Inside(int32_t x, int32_t y, int32_t w, int32_t h) {
  return static_cast<uint32_t>(x) < static_cast<uint32_t>(w) &&
         static_cast<uint32_t>(y) < static_cast<uint32_t>(h);
}

// v mod m taken into 0..m-1 for any sign of v (m > 0).
inline int32_t PositiveMod(int32_t v, int32_t m) {
  const int32_t r = v % m;
  return r < 0 ? r + m : r;
}

inline uint8_t ClampOpacity(uint32_t opacity) {
  return static_cast<uint8_t>(opacity > 255 ? 255 : opacity);
}

}  // namespace

void CImageBase::SetSize(int32_t w, int32_t h, double bytesPerPixel) {
  width = w;
  height = h;
  // ceil(width x bytes per pixel) in double precision, truncated; callers have checked that
  // the result fits.
  double s = static_cast<double>(w) * bytesPerPixel;
  int64_t si = static_cast<int64_t>(s);
  if (static_cast<double>(si) < s) ++si;
  stride = static_cast<int32_t>(si);
  const uint32_t low31 = static_cast<uint32_t>(w) & 0x7FFFFFFFu;
  isPow2Square = w == h && (low31 & (low31 - 1)) == 0;
  squareMask = w == h ? w - 1 : 0;
}

// ---- clipping ------------------------------------------------------------------------------

bool ClipRect(int32_t W, int32_t H, NRECT& rect) {
  int64_t x = rect.x, y = rect.y, w = rect.width, h = rect.height;
  if (w <= 0 || h <= 0 || x >= W || y >= H || x + w <= 0 || y + h <= 0) return false;
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  if (w > W - x) w = W - x;
  if (h > H - y) h = H - y;
  rect.Set(static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(w),
           static_cast<int32_t>(h));
  return true;
}

bool ClipBlt(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, TBltRect& r) {
  // 64-bit working copies: sums of sizes from outside must not wrap.
  int64_t sx = r.sx, sy = r.sy, w = r.w, h = r.h, dx = r.dx, dy = r.dy;
  if (w + dx <= 0 || h + dy <= 0 || dx >= dstW || dy >= dstH || sx >= srcW || sy >= srcH ||
      sx + w < 0 || sy + h < 0)
    return false;
  if (sx + w >= srcW) w = srcW - sx;
  if (sy + h >= srcH) h = srcH - sy;
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
  if (dx + w > dstW) w = dstW - dx;
  if (dy + h > dstH) h = dstH - dy;
  if (w <= 0 || h <= 0) return false;
  r.sx = static_cast<int32_t>(sx);
  r.sy = static_cast<int32_t>(sy);
  r.w = static_cast<int32_t>(w);
  r.h = static_cast<int32_t>(h);
  r.dx = static_cast<int32_t>(dx);
  r.dy = static_cast<int32_t>(dy);
  return true;
}

// ---- pixel values --------------------------------------------------------------------------

uint32_t Luminance(uint32_t colour) {
  const uint32_t l =
      (RedOf(colour) * 19595u + GreenOf(colour) * 38469u + BlueOf(colour) * 7471u) / 65535u;
  return l > 255 ? 255 : l;
}

uint32_t Average(uint32_t colour) { return (RedOf(colour) + GreenOf(colour) + BlueOf(colour)) / 3; }

// ---- CImage32 ------------------------------------------------------------------------------

CImage32::CImage32() { Resize(1, 1); }

CImage32::CImage32(int32_t w, int32_t h) { Resize(w, h); }

CImage32::CImage32(TNoSize) {}

CImage32::~CImage32() { CImage32::FreeBuffer(); }

void CImage32::FreeBuffer() {
  owned_.reset();
  pixels = nullptr;
  // Without pixels the image is 0 x 0, so that loops over width and height written by
  // callers never reach for a missing row.
  SetSize(0, 0, 4);
}

bool CImage32::Resize(int32_t w, int32_t h) {
  if (pixels != nullptr && w == width && h == height) return true;
  FreeBuffer();
  w = AtLeastOne(w);
  h = AtLeastOne(h);
  // The row of 4 x w bytes must fit the int32 stride.
  if (w > std::numeric_limits<int32_t>::max() / 4) return false;
  const int64_t bytes = BlockBytes(static_cast<int64_t>(w) * 4, h);
  if (bytes < 0) return false;
  owned_.reset(new (std::nothrow) uint32_t[static_cast<size_t>(bytes / 4)]);
  if (!owned_) return false;
  pixels = owned_.get();
  SetSize(w, h, 4);
  return true;
}

uint32_t* CImage32::PixelAddress(int32_t x, int32_t y) {
  if (pixels == nullptr || !Inside(x, y, width, height)) return nullptr;
  return pixels + static_cast<int64_t>(y) * width + x;
}

const uint32_t* CImage32::PixelAddress(int32_t x, int32_t y) const {
  if (pixels == nullptr || !Inside(x, y, width, height)) return nullptr;
  return pixels + static_cast<int64_t>(y) * width + x;
}

uint32_t* CImage32::PixelAddressUnchecked(int32_t x, int32_t y) {
  return pixels + static_cast<int64_t>(y) * width + x;
}

const uint32_t* CImage32::PixelAddressUnchecked(int32_t x, int32_t y) const {
  return pixels + static_cast<int64_t>(y) * width + x;
}

uint32_t CImage32::GetPixel(int32_t x, int32_t y) const {
  const uint32_t* p = PixelAddress(x, y);
  return p ? *p : 0;
}

uint32_t CImage32::GetPixelWrapped(int32_t x, int32_t y) const {
  if (pixels == nullptr || width < 1 || height < 1) return 0;
  return pixels[static_cast<int64_t>(PositiveMod(y, height)) * width + PositiveMod(x, width)];
}

void CImage32::SetPixelUnchecked(int32_t x, int32_t y, uint32_t colour) {
  *PixelAddressUnchecked(x, y) = colour;
}

void CImage32::BlendPixel(int32_t x, int32_t y, uint32_t colour, uint32_t opacity) {
  if (uint32_t* p = PixelAddress(x, y)) PaintOver(*p, colour, ClampOpacity(opacity));
}

void CImage32::BlendPixelKeepAlpha(int32_t x, int32_t y, uint32_t colour, uint32_t opacity) {
  if (uint32_t* p = PixelAddress(x, y)) BlendOntoOpaque(*p, colour, ClampOpacity(opacity));
}

void CImage32::Fill(uint32_t colour) {
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = RowAddress(y);
    if (row == nullptr) return;
    for (int32_t x = 0; x < width; ++x) row[x] = colour;
  }
}

bool CImage32::FillChecker(uint32_t colour1, uint32_t colour2, int32_t size) {
  return FillCheckerRect(0, 0, width, height, colour1, colour2, size, 0, 0);
}

bool CImage32::FillChecker(uint32_t colour1, uint32_t colour2, int32_t size, int32_t offsetX,
                           int32_t offsetY) {
  return FillCheckerRect(0, 0, width, height, colour1, colour2, size, offsetX, offsetY);
}

bool CImage32::FillCheckerRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour1,
                               uint32_t colour2, int32_t size, int32_t offsetX, int32_t offsetY) {
  // A cell size below 1 has no cells (and the offsets no modulus).
  if (size < 1 || pixels == nullptr) return false;
  NRECT r(x, y, w, h);
  if (!ClipRect(width, height, r)) return false;
  const int32_t mask = size - 1;
  const int32_t half = size / 2;
  const int32_t ox = PositiveMod(offsetX, size);
  const int32_t oy = PositiveMod(offsetY, size);
  // A row depends only on its row flag: the first row of each flag is computed, later rows
  // with the same flag are copies of it.
  const uint32_t* made[2] = {nullptr, nullptr};
  for (int32_t row = r.y; row < r.y + r.height; ++row) {
    uint32_t* p = PixelAddress(r.x, row);
    if (p == nullptr) return false;
    const bool rowFlag = ((row - oy) & mask) < half;
    if (const uint32_t* same = made[rowFlag]) {
      std::memcpy(p, same, sizeof(uint32_t) * static_cast<size_t>(r.width));
      continue;
    }
    int32_t counter = r.x - ox;
    for (int32_t c = 0; c < r.width; ++c, ++counter) {
      const bool colFlag = (counter & mask) < half;
      p[c] = colFlag == rowFlag ? colour1 : colour2;
    }
    made[rowFlag] = p;
  }
  return true;
}

bool CImage32::Blt(const TBltInfo32& info, int32_t dx, int32_t dy, const CImage32& src, int32_t sx,
                   int32_t sy, int32_t w, int32_t h) {
  if (pixels == nullptr || src.pixels == nullptr) return false;
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(src.width, src.height, width, height, r)) return false;
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const uint32_t* s = src.PixelAddress(0, r.sy + (i - r.dy));
    uint32_t* d = PixelAddress(0, i);
    RowBlend32(info, s, r.sx, d, r.dx, r.w);
  }
  return true;
}

bool CImage32::Copy(int32_t dx, int32_t dy, const CImage32& src) {
  return Copy(dx, dy, src, 0, 0, src.width, src.height);
}

bool CImage32::Copy(int32_t dx, int32_t dy, const CImage32& src, int32_t sx, int32_t sy, int32_t w,
                    int32_t h) {
  return Blt(TBltInfo32(), dx, dy, src, sx, sy, w, h);
}

bool CImage32::CopyFrom(const CImage32& src) {
  if (src.pixels == nullptr) return false;
  if (!Resize(src.width, src.height)) return false;
  return Copy(0, 0, src);
}

bool CImage32::IsTransparent() const {
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* row = RowAddress(y);
    if (row == nullptr) return true;
    for (int32_t x = 0; x < width; ++x)
      if (AlphaOf(row[x]) != 0) return false;
  }
  return true;
}

// ---- CImage8 -------------------------------------------------------------------------------

CImage8::CImage8() { Resize(1, 1); }

bool CImage8::Resize(int32_t w, int32_t h) {
  if (pixels != nullptr && w == width && h == height) return true;
  FreeBuffer();
  w = AtLeastOne(w);
  h = AtLeastOne(h);
  const int64_t bytes = BlockBytes(w, h);
  if (bytes < 0) return false;
  owned_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
  if (!owned_) return false;
  pixels = owned_.get();
  SetSize(w, h, 1);
  return true;
}

void CImage8::FreeBuffer() {
  owned_.reset();
  pixels = nullptr;
  SetSize(0, 0, 1);
}

uint8_t* CImage8::PixelAddress(int32_t x, int32_t y) {
  if (pixels == nullptr || !Inside(x, y, width, height)) return nullptr;
  return pixels + static_cast<int64_t>(y) * stride + x;
}

const uint8_t* CImage8::PixelAddress(int32_t x, int32_t y) const {
  if (pixels == nullptr || !Inside(x, y, width, height)) return nullptr;
  return pixels + static_cast<int64_t>(y) * stride + x;
}

uint8_t CImage8::GetPixel(int32_t x, int32_t y) const {
  const uint8_t* p = PixelAddress(x, y);
  return p ? *p : 0;
}

uint8_t CImage8::GetPixelWrapped(int32_t x, int32_t y) const {
  if (pixels == nullptr || width < 1 || height < 1) return 0;
  return pixels[static_cast<int64_t>(PositiveMod(y, height)) * stride + PositiveMod(x, width)];
}

void CImage8::Fill(uint8_t v) {
  if (pixels == nullptr) return;
  std::memset(pixels, v, static_cast<size_t>(static_cast<int64_t>(stride) * height));
}

bool CImage8::CopyFrom(const CImage8& src) {
  if (src.pixels == nullptr) return false;
  if (!Resize(src.width, src.height)) return false;
  return Copy(0, 0, src);
}

bool CImage8::Copy(int32_t dx, int32_t dy, const CImage8& src) {
  return Blt(TBltInfo8(), dx, dy, src, 0, 0, src.width, src.height);
}

bool CImage8::Blt(const TBltInfo8& info, int32_t dx, int32_t dy, const CImage8& src, int32_t sx,
                  int32_t sy, int32_t w, int32_t h) {
  if (pixels == nullptr || src.pixels == nullptr) return false;
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(src.width, src.height, width, height, r)) return false;
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const uint8_t* s = src.PixelAddress(0, r.sy + (i - r.dy));
    uint8_t* d = PixelAddress(0, i);
    RowBlend8(info, s, r.sx, d, r.dx, r.w);
  }
  return true;
}

void CImage8::BlendPixel(int32_t x, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* p = PixelAddress(x, y);
  if (p == nullptr) return;
  const uint32_t a = ClampOpacity(opacity);
  // v at full opacity, else floor((a v + (255 - a) old) / 255).
  *p = a == 255 ? v : static_cast<uint8_t>((a * v + (255 - a) * *p) / 255);
}

void CImage8::BlendPixelLerp(int32_t x, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* p = PixelAddress(x, y);
  if (p == nullptr || opacity == 0) return;
  Lerp8(*p, v, ClampOpacity(opacity));
}

bool CImage8::FillSpan(int32_t x0, int32_t x1, int32_t y, uint8_t v, uint32_t opacity) {
  if (pixels == nullptr || static_cast<uint32_t>(y) >= static_cast<uint32_t>(height)) return false;
  if (x1 < x0) std::swap(x0, x1);
  if (x1 < 0 || x0 >= width) return false;
  if (x0 < 0) x0 = 0;
  if (x1 > width - 1) x1 = width - 1;
  TBltInfo8 info;
  info.mode = kFillBlend;
  info.colour = v;
  info.opacity = ClampOpacity(opacity);
  RowFill8(info, PixelAddress(0, y), x0, x1 - x0 + 1);
  return true;
}

bool CImage8::FillSpanAA(double x0, double x1, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* row = PixelAddress(0, y);
  if (row == nullptr) return false;
  TBltInfo8 info;
  info.mode = kFillBlend;
  info.colour = v;
  info.opacity = ClampOpacity(opacity);
  RowFillAA8(info, row, width, x0, x1);
  return true;
}

bool CImage8::IsAll(uint8_t v) const {
  if (pixels == nullptr) return true;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<int64_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x)
      if (row[x] != v) return false;
  }
  return true;
}

// ---- CImage1 -------------------------------------------------------------------------------

CImage1::CImage1() { Resize(1, 1); }

bool CImage1::Resize(int32_t w, int32_t h) {
  if (pixels != nullptr && w == width && h == height) return true;
  FreeBuffer();
  w = AtLeastOne(w);
  h = AtLeastOne(h);
  const int64_t bytes = BlockBytes((static_cast<int64_t>(w) + 7) / 8, h);
  if (bytes < 0) return false;
  owned_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
  if (!owned_) return false;
  pixels = owned_.get();
  SetSize(w, h, 1.0 / 8.0);
  return true;
}

void CImage1::FreeBuffer() {
  owned_.reset();
  pixels = nullptr;
  SetSize(0, 0, 1.0 / 8.0);
}

uint8_t* CImage1::ByteAddress(int32_t x, int32_t y) {
  if (pixels == nullptr || !Inside(x, y, width, height)) return nullptr;
  return pixels + static_cast<int64_t>(y) * stride + (x >> 3);
}

uint8_t* CImage1::ByteAddress(int32_t x, int32_t y, int32_t& bit) {
  bit = x & 7;
  return ByteAddress(x, y);
}

void CImage1::SetPixel(int32_t x, int32_t y, uint32_t bit) {
  if (pixels == nullptr || !Inside(x, y, width, height)) return;
  SetPixelUnchecked(x, y, bit);
}

void CImage1::SetPixelUnchecked(int32_t x, int32_t y, uint32_t bit) {
  uint8_t& b = pixels[static_cast<int64_t>(y) * stride + (x >> 3)];
  const uint8_t m = static_cast<uint8_t>(1u << (x & 7));
  b = static_cast<uint8_t>((b & ~m) | ((bit & 1) ? m : 0));
}

void CImage1::SetPixelIfOpaque(int32_t x, int32_t y, uint32_t bit, uint32_t alpha) {
  if (alpha >= 128) SetPixel(x, y, bit);
}

uint8_t CImage1::GetPixel(int32_t x, int32_t y) const {
  if (pixels == nullptr || !Inside(x, y, width, height)) return 0;
  return (pixels[static_cast<int64_t>(y) * stride + (x >> 3)] >> (x & 7)) & 1;
}

uint8_t CImage1::GetPixelWrapped(int32_t x, int32_t y) const {
  if (pixels == nullptr || width < 1 || height < 1) return 0;
  return GetPixel(PositiveMod(x, width), PositiveMod(y, height));
}

void CImage1::Fill(uint32_t bit) {
  if (pixels == nullptr) return;
  std::memset(pixels, (bit & 1) ? 0xFF : 0x00,
              static_cast<size_t>(static_cast<int64_t>(stride) * height));
}

}  // namespace pavo

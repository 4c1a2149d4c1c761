// Flat raster images.
#include "imaging/Image.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace pavo {

namespace {

// Pixel memory larger than this is refused: no preview or layer tile comes near it, and it
// keeps every byte count of a row or an image representable.
constexpr int64_t kMaxImageBytes = int64_t(1) << 34;  // 16 GiB

// Unsigned comparison: any negative coordinate is outside.
inline bool Inside(int32_t x, int32_t y, int32_t w, int32_t h) {
  return static_cast<uint32_t>(x) < static_cast<uint32_t>(w) &&
         static_cast<uint32_t>(y) < static_cast<uint32_t>(h);
}

// x mod m taken into 0 .. m-1.
inline int32_t WrapIndex(int32_t x, int32_t m) {
  const int32_t r = x % m;
  return r < 0 ? r + m : r;
}

template <class T>
bool AllocatePixels(std::unique_ptr<T[]>& owned, T*& pixels, int64_t count) {
  if (count <= 0 || count * static_cast<int64_t>(sizeof(T)) > kMaxImageBytes) return false;
  owned.reset(new (std::nothrow) T[static_cast<size_t>(count)]);
  pixels = owned.get();
  return pixels != nullptr;
}

}  // namespace

void CImageBase::SetSize(int32_t w, int32_t h, double bytesPerPixel) {
  width = w;
  height = h;
  stride = static_cast<int32_t>(std::ceil(static_cast<double>(w) * bytesPerPixel));
  const uint32_t bits = static_cast<uint32_t>(w) & 0x7FFFFFFFu;
  isPow2Square = w == h && (bits & (bits - 1)) == 0;
  squareMask = w == h ? w - 1 : 0;
}

bool ClipRect(int32_t W, int32_t H, NRECT& r) {
  if (r.width <= 0 || r.height <= 0 || r.x >= W || r.y >= H) return false;
  if (static_cast<int64_t>(r.x) + r.width <= 0 || static_cast<int64_t>(r.y) + r.height <= 0)
    return false;
  if (r.x < 0) {
    r.width += r.x;
    r.x = 0;
  }
  if (r.y < 0) {
    r.height += r.y;
    r.y = 0;
  }
  if (r.width > W - r.x) r.width = W - r.x;
  if (r.height > H - r.y) r.height = H - r.y;
  return true;
}

bool ClipBlt(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, TBltRect& r) {
  // 64-bit sums: rectangles come from scripts and may sit near the int32 limits.
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
  r = TBltRect{static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(w),
               static_cast<int32_t>(h),  static_cast<int32_t>(dx), static_cast<int32_t>(dy)};
  return true;
}

uint32_t Luminance(uint32_t c) {
  const uint32_t l = (RedOf(c) * 19595 + GreenOf(c) * 38469 + BlueOf(c) * 7471) / 65535;
  return l > 255 ? 255 : l;
}

uint32_t Average(uint32_t c) { return (RedOf(c) + GreenOf(c) + BlueOf(c)) / 3; }

// ---- CImage32 ------------------------------------------------------------------------------

CImage32::CImage32() { CImage32::Resize(1, 1); }
CImage32::CImage32(int32_t w, int32_t h) { CImage32::Resize(w, h); }
CImage32::CImage32(TNoSize) {}
CImage32::~CImage32() { CImage32::FreeBuffer(); }

void CImage32::FreeBuffer() {
  owned_.reset();
  pixels = nullptr;
}

bool CImage32::Resize(int32_t w, int32_t h) {
  if (w == width && h == height && pixels != nullptr) return true;
  FreeBuffer();
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  SetSize(w, h, 4.0);
  return AllocatePixels(owned_, pixels, static_cast<int64_t>(w) * h);
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
  return pixels[static_cast<int64_t>(WrapIndex(y, height)) * width + WrapIndex(x, width)];
}

void CImage32::SetPixelUnchecked(int32_t x, int32_t y, uint32_t colour) {
  *PixelAddressUnchecked(x, y) = colour;
}

void CImage32::BlendPixel(int32_t x, int32_t y, uint32_t colour, uint32_t opacity) {
  if (uint32_t* p = PixelAddress(x, y)) PaintOver(*p, colour, opacity);
}

void CImage32::BlendPixelKeepAlpha(int32_t x, int32_t y, uint32_t colour, uint32_t opacity) {
  if (uint32_t* p = PixelAddress(x, y)) BlendOntoOpaque(*p, colour, opacity);
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

// The cell test uses a bit mask, not a remainder: with size 5 the mask is 4 and half 2, so
// pixel (x, y) takes colour1 exactly when bit 2 of x equals bit 2 of y (4 x 4 cells).
bool CImage32::FillCheckerRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour1,
                               uint32_t colour2, int32_t size, int32_t offsetX, int32_t offsetY) {
  if (size < 1) return false;
  NRECT r(x, y, w, h);
  if (!ClipRect(width, height, r)) return false;
  const int32_t mask = size - 1;
  const int32_t half = size / 2;
  const int32_t ox = WrapIndex(offsetX, size);
  const int32_t oy = WrapIndex(offsetY, size);
  for (int32_t row = r.y; row < r.y + r.height; ++row) {
    uint32_t* p = PixelAddress(r.x, row);
    if (p == nullptr) return false;
    const bool rowFlag = ((row - oy) & mask) < half;
    int32_t counter = r.x - ox;
    for (int32_t c = 0; c < r.width; ++c, ++counter) {
      const bool colFlag = (counter & mask) < half;
      p[c] = colFlag == rowFlag ? colour1 : colour2;
    }
  }
  return true;
}

bool CImage32::Blt(const TBltInfo32& info, int32_t dx, int32_t dy, const CImage32& src, int32_t sx,
                   int32_t sy, int32_t w, int32_t h) {
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(src.width, src.height, width, height, r)) return false;
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const uint32_t* s = src.PixelAddress(0, r.sy + (i - r.dy));
    uint32_t* d = PixelAddress(0, i);
    if (s == nullptr || d == nullptr) return false;
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

void CImage8::FreeBuffer() {
  owned_.reset();
  pixels = nullptr;
}

bool CImage8::Resize(int32_t w, int32_t h) {
  if (w == width && h == height && pixels != nullptr) return true;
  FreeBuffer();
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  SetSize(w, h, 1.0);
  return AllocatePixels(owned_, pixels, static_cast<int64_t>(stride) * h);
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
  if (pixels == nullptr) return 0;
  return pixels[static_cast<int64_t>(WrapIndex(y, height)) * stride + WrapIndex(x, width)];
}

void CImage8::Fill(uint8_t v) {
  if (pixels != nullptr) std::memset(pixels, v, static_cast<size_t>(stride) * height);
}

bool CImage8::CopyFrom(const CImage8& src) {
  if (!Resize(src.width, src.height)) return false;
  return Copy(0, 0, src);
}

bool CImage8::Copy(int32_t dx, int32_t dy, const CImage8& src) {
  return Blt(TBltInfo8(), dx, dy, src, 0, 0, src.width, src.height);
}

bool CImage8::Blt(const TBltInfo8& info, int32_t dx, int32_t dy, const CImage8& src, int32_t sx,
                  int32_t sy, int32_t w, int32_t h) {
  TBltRect r{sx, sy, w, h, dx, dy};
  if (!ClipBlt(src.width, src.height, width, height, r)) return false;
  for (int32_t i = r.dy; i < r.dy + r.h; ++i) {
    const uint8_t* s = src.PixelAddress(0, r.sy + (i - r.dy));
    uint8_t* d = PixelAddress(0, i);
    if (s == nullptr || d == nullptr) return false;
    RowBlend8(info, s, r.sx, d, r.dx, r.w);
  }
  return true;
}

// v at full opacity, else (opacity v + (255 - opacity) old) / 255.
void CImage8::BlendPixel(int32_t x, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* p = PixelAddress(x, y);
  if (p == nullptr) return;
  if (opacity >= 255) {
    *p = v;
  } else {
    *p = static_cast<uint8_t>((opacity * v + (255 - opacity) * *p) / 255);
  }
}

void CImage8::BlendPixelLerp(int32_t x, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* p = PixelAddress(x, y);
  if (p == nullptr || opacity == 0) return;
  Lerp8(*p, v, opacity > 255 ? 255 : opacity);
}

bool CImage8::FillSpan(int32_t x0, int32_t x1, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* row = PixelAddress(0, y);
  if (row == nullptr) return false;
  if (x1 < x0) std::swap(x0, x1);
  if (x1 < 0 || x0 >= width) return false;
  if (x0 < 0) x0 = 0;
  if (x1 > width - 1) x1 = width - 1;
  TBltInfo8 info;
  info.mode = 1;
  info.colour = v;
  info.opacity = static_cast<uint8_t>(opacity > 255 ? 255 : opacity);
  RowFill8(info, row, x0, x1 - x0 + 1);
  return true;
}

bool CImage8::FillSpanAA(double x0, double x1, int32_t y, uint8_t v, uint32_t opacity) {
  uint8_t* row = PixelAddress(0, y);
  if (row == nullptr) return false;
  TBltInfo8 info;
  info.colour = v;
  info.opacity = static_cast<uint8_t>(opacity > 255 ? 255 : opacity);
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

void CImage1::FreeBuffer() {
  owned_.reset();
  pixels = nullptr;
}

bool CImage1::Resize(int32_t w, int32_t h) {
  if (w == width && h == height && pixels != nullptr) return true;
  FreeBuffer();
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  SetSize(w, h, 1.0 / 8.0);
  return AllocatePixels(owned_, pixels, static_cast<int64_t>(stride) * h);
}

uint8_t* CImage1::ByteAddress(int32_t x, int32_t y) {
  if (pixels == nullptr || !Inside(x, y, width, height)) return nullptr;
  return pixels + static_cast<int64_t>(y) * stride + x / 8;
}

uint8_t* CImage1::ByteAddress(int32_t x, int32_t y, int32_t& bit) {
  bit = x & 7;
  return ByteAddress(x, y);
}

void CImage1::SetPixelUnchecked(int32_t x, int32_t y, uint32_t bit) {
  uint8_t& b = pixels[static_cast<int64_t>(y) * stride + x / 8];
  b = static_cast<uint8_t>((b & ~(1u << (x & 7))) | ((bit & 1u) << (x & 7)));
}

void CImage1::SetPixel(int32_t x, int32_t y, uint32_t bit) {
  if (ByteAddress(x, y) != nullptr) SetPixelUnchecked(x, y, bit);
}

void CImage1::SetPixelIfOpaque(int32_t x, int32_t y, uint32_t bit, uint32_t alpha) {
  if (alpha >= 128) SetPixel(x, y, bit);
}

uint8_t CImage1::GetPixel(int32_t x, int32_t y) const {
  if (pixels == nullptr || !Inside(x, y, width, height)) return 0;
  return (pixels[static_cast<int64_t>(y) * stride + x / 8] >> (x & 7)) & 1u;
}

uint8_t CImage1::GetPixelWrapped(int32_t x, int32_t y) const {
  if (pixels == nullptr) return 0;
  return GetPixel(WrapIndex(x, width), WrapIndex(y, height));
}

void CImage1::Fill(uint32_t bit) {
  if (pixels != nullptr)
    std::memset(pixels, (bit & 1u) ? 0xFF : 0x00, static_cast<size_t>(stride) * height);
}

}  // namespace pavo

// Flat raster images: 32-bit colour (CImage32, the only class with virtual operations so
// that a window view can supply its own pixel memory), 8-bit coverage (CImage8) and 1-bit
// (CImage1). Rows are stored top row first, `stride` bytes apart, nothing between rows.
//
// Sizes come from outside (window size, renderer options): byte counts are computed in
// 64-bit arithmetic and a size whose memory cannot be had leaves the image without pixels
// (Resize returns false); every accessor then reports nothing and nothing is written.
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/Blend.h"

namespace pavo {

// Pixel format tags.
struct TBpp32 {};
struct TBpp8 {};
struct TBpp1 {};

class CImageBase {
 public:
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  bool isPow2Square = false;
  int32_t squareMask = 0;

 protected:
  // Writes all five fields for a w x h image of the given bytes per pixel.
  void SetSize(int32_t w, int32_t h, double bytesPerPixel);
};

// Source x, source y, width, height, destination x, destination y of a blit.
struct TBltRect {
  int32_t sx = 0, sy = 0, w = 0, h = 0, dx = 0, dy = 0;
};

// Clips rect to a W x H image; false when nothing is left.
bool ClipRect(int32_t W, int32_t H, NRECT& rect);
// Clips a blit between a srcW x srcH source and a dstW x dstH destination.
bool ClipBlt(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, TBltRect& r);

// (red 19595 + green 38469 + blue 7471) / 65535, capped at 255.
uint32_t Luminance(uint32_t colour);
// (red + green + blue) / 3.
uint32_t Average(uint32_t colour);

class CImage32 : public CImageBase {
 public:
  uint32_t* pixels = nullptr;

  CImage32();  // 1 x 1
  CImage32(int32_t w, int32_t h);
  struct TNoSize {};
  explicit CImage32(TNoSize);  // for views: sizes nothing
  CImage32(const CImage32&) = delete;
  CImage32& operator=(const CImage32&) = delete;

  virtual ~CImage32();
  virtual void FreeBuffer();
  virtual bool Resize(int32_t w, int32_t h);
  virtual uint32_t* PixelAddress(int32_t x, int32_t y);
  virtual const uint32_t* PixelAddress(int32_t x, int32_t y) const;
  virtual uint32_t* PixelAddressUnchecked(int32_t x, int32_t y);
  virtual const uint32_t* PixelAddressUnchecked(int32_t x, int32_t y) const;

  uint32_t* RowAddress(int32_t y) { return PixelAddress(0, y); }
  const uint32_t* RowAddress(int32_t y) const { return PixelAddress(0, y); }
  uint32_t GetPixel(int32_t x, int32_t y) const;
  uint32_t GetPixelWrapped(int32_t x, int32_t y) const;
  void SetPixelUnchecked(int32_t x, int32_t y, uint32_t colour);
  void BlendPixel(int32_t x, int32_t y, uint32_t colour, uint32_t opacity);
  void BlendPixelKeepAlpha(int32_t x, int32_t y, uint32_t colour, uint32_t opacity);
  void Fill(uint32_t colour);
  bool FillChecker(uint32_t colour1, uint32_t colour2, int32_t size);
  bool FillChecker(uint32_t colour1, uint32_t colour2, int32_t size, int32_t offsetX,
                   int32_t offsetY);
  bool FillCheckerRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour1,
                       uint32_t colour2, int32_t size, int32_t offsetX, int32_t offsetY);
  bool Blt(const TBltInfo32& info, int32_t dx, int32_t dy, const CImage32& src, int32_t sx,
           int32_t sy, int32_t w, int32_t h);
  bool Copy(int32_t dx, int32_t dy, const CImage32& src);
  bool Copy(int32_t dx, int32_t dy, const CImage32& src, int32_t sx, int32_t sy, int32_t w,
            int32_t h);
  bool CopyFrom(const CImage32& src);
  bool IsTransparent() const;

 private:
  std::unique_ptr<uint32_t[]> owned_;
};

class CImage8 : public CImageBase {
 public:
  uint8_t* pixels = nullptr;

  CImage8();  // 1 x 1
  CImage8(const CImage8&) = delete;
  CImage8& operator=(const CImage8&) = delete;

  bool Resize(int32_t w, int32_t h);
  void FreeBuffer();
  uint8_t* PixelAddress(int32_t x, int32_t y);
  const uint8_t* PixelAddress(int32_t x, int32_t y) const;
  void SetPixelUnchecked(int32_t x, int32_t y, uint8_t v) {
    pixels[static_cast<int64_t>(y) * stride + x] = v;
  }
  uint8_t GetPixel(int32_t x, int32_t y) const;
  uint8_t GetPixelWrapped(int32_t x, int32_t y) const;
  void Fill(uint8_t v);
  bool CopyFrom(const CImage8& src);
  bool Copy(int32_t dx, int32_t dy, const CImage8& src);
  bool Blt(const TBltInfo8& info, int32_t dx, int32_t dy, const CImage8& src, int32_t sx,
           int32_t sy, int32_t w, int32_t h);
  void BlendPixel(int32_t x, int32_t y, uint8_t v, uint32_t opacity);
  void BlendPixelLerp(int32_t x, int32_t y, uint8_t v, uint32_t opacity);
  bool FillSpan(int32_t x0, int32_t x1, int32_t y, uint8_t v, uint32_t opacity);
  bool FillSpanAA(double x0, double x1, int32_t y, uint8_t v, uint32_t opacity);
  bool IsAll(uint8_t v) const;
  bool IsEmpty() const { return IsAll(0); }

 private:
  std::unique_ptr<uint8_t[]> owned_;
};

class CImage1 : public CImageBase {
 public:
  uint8_t* pixels = nullptr;

  CImage1();  // 1 x 1
  CImage1(const CImage1&) = delete;
  CImage1& operator=(const CImage1&) = delete;

  bool Resize(int32_t w, int32_t h);
  void FreeBuffer();
  // Pixel (x, y) is bit (x AND 7) of byte y * stride + x / 8 (least significant bit leftmost).
  uint8_t* ByteAddress(int32_t x, int32_t y);
  uint8_t* ByteAddress(int32_t x, int32_t y, int32_t& bit);
  void SetPixel(int32_t x, int32_t y, uint32_t bit);
  void SetPixelUnchecked(int32_t x, int32_t y, uint32_t bit);
  void SetPixelIfOpaque(int32_t x, int32_t y, uint32_t bit, uint32_t alpha);
  uint8_t GetPixel(int32_t x, int32_t y) const;
  uint8_t GetPixelWrapped(int32_t x, int32_t y) const;
  void Fill(uint32_t bit);

 private:
  std::unique_ptr<uint8_t[]> owned_;
};

}  // namespace pavo

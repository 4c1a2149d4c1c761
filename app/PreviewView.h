// The window's preview image: a CImage32 that owns one top-down block of width x height
// 0xAARRGGBB values, 4 * width bytes per row, so that the window can hand the memory to
// QImage (Format_ARGB32 has the same layout on little-endian machines) and paint it without
// converting a pixel.
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/Image.h"

class QImage;

namespace quarnel {

class CImageViewQt : public pavo::CImage32 {
 public:
  CImageViewQt();  // 8 x 8
  ~CImageViewQt() override;

  // Releases the pixels; the size becomes 0 x 0 so that no accessor reaches into them.
  void FreeBuffer() override;
  // Sizes below 1 become 1. The current size with pixels present keeps them as they are.
  // When the memory cannot be had, or the block would pass INT_MAX bytes, the view is left
  // without pixels (0 x 0) and false is returned: nothing is painted into it or copied from
  // it then.
  bool Resize(int32_t w, int32_t h) override;

  bool HasPixels() const { return pixels != nullptr; }
  // A QImage over the view's memory (no copy; valid until the next Resize or FreeBuffer);
  // a null QImage when the view has no pixels.
  QImage Wrap() const;

 private:
  std::unique_ptr<uint32_t[]> memory_;
};

}  // namespace quarnel

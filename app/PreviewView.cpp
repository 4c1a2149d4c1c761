#include "app/PreviewView.h"

#include <QImage>
#include <climits>
#include <new>

namespace quarnel {

CImageViewQt::CImageViewQt() : pavo::CImage32(TNoSize{}) {
  pixels = nullptr;
  SetSize(0, 0, 4);
  Resize(8, 8);
}

CImageViewQt::~CImageViewQt() { FreeBuffer(); }

void CImageViewQt::FreeBuffer() {
  memory_.reset();
  pixels = nullptr;
  SetSize(0, 0, 4);
}

bool CImageViewQt::Resize(int32_t w, int32_t h) {
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  if (pixels != nullptr && w == width && h == height) return true;
  FreeBuffer();
  // The block is counted in 64 bits. A preview of more than INT_MAX bytes is larger than any
  // screen by far and only comes from a broken size; it is refused before the allocator is
  // asked, as is a row whose byte count would not fit QImage's int.
  if (w > INT_MAX / 4) return false;
  const int64_t count = static_cast<int64_t>(w) * h;
  if (count > INT_MAX / 4) return false;
  memory_.reset(new (std::nothrow) uint32_t[static_cast<size_t>(count)]);
  if (!memory_) return false;
  pixels = memory_.get();
  SetSize(w, h, 4);
  return true;
}

QImage CImageViewQt::Wrap() const {
  if (pixels == nullptr) return QImage();
  return QImage(reinterpret_cast<const uchar*>(pixels), width, height, stride,
                QImage::Format_ARGB32);
}

}  // namespace quarnel

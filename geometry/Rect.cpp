#include "geometry/Rect.h"

namespace pavo {

void NRECT::Union(const NRECT& other) {
  if (other.IsEmpty()) return;
  if (IsEmpty()) {
    *this = other;
    return;
  }
  if (x > other.x) {
    width += x - other.x;
    x = other.x;
  }
  if (y > other.y) {
    height += y - other.y;
    y = other.y;
  }
  if (other.x + other.width > x + width) width = other.x + other.width - x;
  if (other.y + other.height > y + height) height = other.y + other.height - y;
}

void NRECT::Inflate(int32_t dx, int32_t dy) {
  if (IsEmpty()) return;
  x -= dx;
  y -= dy;
  width += 2 * dx;
  height += 2 * dy;
}

int32_t FloorToMultiple(int32_t a, int32_t g) {
  if (a > 0) return g * (a / g);
  // a % g rather than (-a) % g: the same test, and defined for the most negative int.
  if (a % g != 0) return g * (a / g) - g;
  return a;
}

int32_t CeilToMultiple(int32_t a, int32_t g) {
  if (a % g != 0) return g * (a / g) + g;
  return a;
}

void NRECT::SnapToGrid(int32_t g) {
  if (IsEmpty()) return;
  const int32_t newX = FloorToMultiple(x, g);
  const int32_t newY = FloorToMultiple(y, g);
  width = CeilToMultiple(x + width - newX, g);
  height = CeilToMultiple(y + height - newY, g);
  x = newX;
  y = newY;
}

void NRECT::Divide(int32_t n) {
  x /= n;
  y /= n;
  width /= n;
  height /= n;
}

void NRECTD::AddPoint(double px, double py) {
  if (IsEmpty()) {
    x = px;
    y = py;
    width = 0.0;
    height = 0.0;
    return;
  }
  if (px < x) {
    width += x - px;
    x = px;
  }
  if (py < y) {
    height += y - py;
    y = py;
  }
  if (px > x + width) width = px - x;
  if (py > y + height) height = py - y;
}

}  // namespace pavo

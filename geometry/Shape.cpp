#include "geometry/Shape.h"

#include <algorithm>
#include <cmath>

namespace pavo {

namespace {

constexpr int kMinEllipseVertices = 32;
constexpr int kMaxEllipseVertices = 512;

// One vertex per 8 pixels of the circumference of the circle of radius r:
// trunc(r * 2 pi * 0.125), clamped to 32..512. The clamp is applied before the conversion so
// that huge, negative or NaN radii stay defined (they end at one of the limits).
inline int EllipseVertexCount(double r) {
  const double perimeterSteps = r * 6.283185307179586 * 0.125;
  if (!(perimeterSteps >= kMinEllipseVertices)) return kMinEllipseVertices;
  if (perimeterSteps >= kMaxEllipseVertices) return kMaxEllipseVertices;
  return static_cast<int>(perimeterSteps);
}

}  // namespace

void CShape::SetEllipse(double cx, double cy, double width, double height, double angle) {
  const double rx = width * 0.5;
  const double ry = height * 0.5;
  const int count = EllipseVertexCount(std::max(rx, ry));
  const double ca = std::cos(angle);
  const double sa = std::sin(angle);
  points.clear();
  points.reserve(count);
  for (int i = 0; i < count; ++i) {
    // Growing theta runs clockwise on screen (y points down), starting at the end of the
    // rx axis.
    const double theta = static_cast<double>(i) / count * 2 * 3.141592653589793;
    const double px = std::cos(theta) * rx;
    const double py = std::sin(theta) * ry;
    points.emplace_back(cx + px * ca - py * sa, cy + px * sa + py * ca);
  }
}

}  // namespace pavo

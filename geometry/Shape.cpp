#include "geometry/Shape.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

// cos and sin of theta_i = i / count * 2 pi for i < count, for the vertex count of the last
// ellipse made on this thread; most ellipses of a stroke share their count, and the values
// are the same as computing them again.
struct TUnitCircle {
  int count = 0;
  std::vector<double> cosines, sines;

  // False when the tables cannot be had (the caller computes the values itself).
  bool Prepare(int n) {
    if (n == count) return true;
    count = 0;
    try {
      cosines.resize(static_cast<size_t>(n));
      sines.resize(static_cast<size_t>(n));
    } catch (...) {
      return false;
    }
    for (int i = 0; i < n; ++i) {
      const double theta = static_cast<double>(i) / n * 2 * 3.141592653589793;
      cosines[static_cast<size_t>(i)] = std::cos(theta);
      sines[static_cast<size_t>(i)] = std::sin(theta);
    }
    count = n;
    return true;
  }
};

}  // namespace

void CShape::SetEllipse(double cx, double cy, double width, double height, double angle) {
  const double rx = width * 0.5;
  const double ry = height * 0.5;
  const int count = EllipseVertexCount(std::max(rx, ry));
  const double ca = std::cos(angle);
  const double sa = std::sin(angle);
  points.clear();
  points.reserve(count);
  thread_local TUnitCircle circle;
  const bool tabled = circle.Prepare(count);
  for (int i = 0; i < count; ++i) {
    // Growing theta runs clockwise on screen (y points down), starting at the end of the
    // rx axis.
    double c, s;
    if (tabled) {
      c = circle.cosines[static_cast<size_t>(i)];
      s = circle.sines[static_cast<size_t>(i)];
    } else {
      const double theta = static_cast<double>(i) / count * 2 * 3.141592653589793;
      c = std::cos(theta);
      s = std::sin(theta);
    }
    const double px = c * rx;
    const double py = s * ry;
    points.emplace_back(cx + px * ca - py * sa, cy + px * sa + py * ca);
  }
}

}  // namespace pavo

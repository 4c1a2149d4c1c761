#include "brush/Stroke.h"

#include <cmath>

#include "geometry/Bezier.h"
#include "geometry/Clock.h"

namespace pavo {

namespace {

// Tangent factor of the spline through the stroke points.
constexpr double kSplineTangent = 0.2;

// The point at index clamped into 0 .. size - 1; a zero point when there is none. Taken as
// 64 bits so that the neighbours i - 1 and i + 2 of any 32-bit segment index cannot overflow.
TStrokePoint ClampedPoint(const std::vector<TStrokePoint>& points, int64_t index) {
  if (points.empty()) return TStrokePoint();
  if (index < 0) return points.front();
  if (index >= static_cast<int64_t>(points.size())) return points.back();
  return points[static_cast<size_t>(index)];
}

// Straight-line distance between two points: sqrt(dx^2 + dy^2).
inline double PointDistance(const TStrokePoint& a, const TStrokePoint& b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  return std::sqrt(dx * dx + dy * dy);
}

// Seven identical points start a stroke begun with `first`.
constexpr int kFirstPointCopies = 6;
// Fewer accepted points than this are never thinned.
constexpr size_t kThinningFrom = 8;

}  // namespace

bool CStroke::AddPoint(const TStrokePoint& point, double scale, bool force, bool first) {
  const size_t n = points.size();
  if (n > 0) {
    const TStrokePoint& last = points.back();
    // An exact repeat of the last position is never kept, whatever force says.
    if (point.x == last.x && point.y == last.y) return false;
    if (n >= kThinningFrom && !force) {
      // Thinned only when both strictly sooner than minIntervalMs (wrapping tick difference)
      // and strictly closer than minDistance scaled pixels.
      const uint32_t elapsed = MilliClock() - last.time;
      const bool onTime = elapsed >= minIntervalMs;
      const bool onDistance = !(scale * PointDistance(last, point) < minDistance);
      if (!onTime && !onDistance) return false;
    }
  }
  points.push_back(point);
  if (first && n == 0) points.insert(points.end(), kFirstPointCopies, point);
  return true;
}

TStrokePoint CStroke::PointAt(int32_t index) const { return ClampedPoint(points, index); }

bool CStroke::SampleSpline(int32_t segment, double t, double& x, double& y, double& pressure,
                           double& length) const {
  const int64_t i = segment;
  const TStrokePoint pm = ClampedPoint(points, i - 1);
  const TStrokePoint p0 = ClampedPoint(points, i);
  const TStrokePoint p1 = ClampedPoint(points, i + 1);
  const TStrokePoint p2 = ClampedPoint(points, i + 2);
  CBezier bx;
  CBezier by;
  CBezier::FromCatmullRom(CVector2<double>(pm.x, pm.y), CVector2<double>(p0.x, p0.y),
                          CVector2<double>(p1.x, p1.y), CVector2<double>(p2.x, p2.y),
                          kSplineTangent, bx, by);
  x = bx.Evaluate(t);
  y = by.Evaluate(t);
  // Pressure follows the straight line between the two points, not the curve.
  pressure = p0.pressure + (p1.pressure - p0.pressure) * t;
  // The chord, not the length of the curve.
  length = PointDistance(p0, p1);
  return true;
}

}  // namespace pavo

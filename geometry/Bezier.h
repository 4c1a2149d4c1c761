// Cubic bezier curves in one coordinate (CBezier) and 2-D outlines built from them
// (CBezierPath), with the flattening into polygons that the fills consume.
#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include "geometry/Rect.h"
#include "geometry/Vector2.h"

namespace pavo {

struct CBezier {
  double start = 0.0;
  double control1 = 0.0;
  double control2 = 0.0;
  double end = 0.0;

  // (1-t)^3 start + 3 (1-t)^2 t control1 + 3 (1-t) t^2 control2 + t^3 end
  double Evaluate(double t) const;
  // start == control1 and control2 == end, compared exactly.
  bool IsStraight() const;
  void Translate(double d);

  // Length of the 2-D segment (bx, by) measured by n chords; 0 when n is 0.
  static double ChordLength(const CBezier& bx, const CBezier& by, int n);
  // The cubics of the segment from p1 to p2 with tangent factor k.
  static void FromCatmullRom(const CVector2<double>& p0, const CVector2<double>& p1,
                             const CVector2<double>& p2, const CVector2<double>& p3, double k,
                             CBezier& bx, CBezier& by);
};

class CBezierPath {
 public:
  int mode = 0;  // 1: every segment is flattened with three times the steps
  CVector2<double> current;
  NRECT bounds;  // kept for layout; nothing reads it
  std::vector<CBezier> xs;
  std::vector<CBezier> ys;
  std::vector<bool> starts;  // true for a MoveTo segment (opens a contour)

  size_t Count() const { return xs.size(); }

  void Clear();
  void SetCurrent(double x, double y);
  void MoveTo(double x, double y);
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void CurveToV(double x2, double y2, double x3, double y3);
  void CurveToY(double x1, double y1, double x3, double y3);
  void LineTo(double x, double y);
  void Move(double dx, double dy);
  void MoveCenter();
  void Mul(double sx, double sy);
  void Rotate(double a);
  void SetMode(int m) { mode = m; }
  bool HasContourStarts() const;
  NRECTD ControlBounds() const;
  int SegmentSteps(size_t i) const;
  // The flattening appends no point once points (for contours: all contours together) hold
  // maxPoints, so that an outline of absurd segments stays within a bounded size.
  static constexpr size_t kUnbounded = std::numeric_limits<size_t>::max();
  void FlattenSegment(size_t i, TPolygon& points, size_t maxPoints = kUnbounded) const;
  void Flatten(TPolygon& points, size_t maxPoints = kUnbounded) const;
  void FlattenContours(TContours& contours, size_t maxPoints = kUnbounded) const;
};

}  // namespace pavo

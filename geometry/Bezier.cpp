#include "geometry/Bezier.h"

#include <cmath>

namespace pavo {

namespace {

// Base flattening steps above which a segment lies far outside any canvas (about 650 000
// pixels of chord). Capping there keeps the double-to-int conversion defined for huge or
// infinite script coordinates and the flattened outline bounded in size.
constexpr double kMaxBaseSteps = 65536.0;

// Length of the straight line from (ax, ay) to (bx, by): sqrt(dx^2 + dy^2).
inline double Distance(double ax, double ay, double bx, double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  return std::sqrt(dx * dx + dy * dy);
}

// The four control values of a cubic, by index 0..3.
inline double& ValueAt(CBezier& b, int k) {
  return k == 0 ? b.start : k == 1 ? b.control1 : k == 2 ? b.control2 : b.end;
}

}  // namespace

double CBezier::Evaluate(double t) const {
  const double u = 1.0 - t;
  return u * u * u * start + 3.0 * u * u * t * control1 + 3.0 * u * t * t * control2 +
         t * t * t * end;
}

bool CBezier::IsStraight() const { return start == control1 && control2 == end; }

void CBezier::Translate(double d) {
  start += d;
  control1 += d;
  control2 += d;
  end += d;
}

double CBezier::ChordLength(const CBezier& bx, const CBezier& by, int n) {
  if (n <= 0) return 0.0;
  // t advances by repeated addition of 1/n, so the last chord ends where the sum lands.
  const double dt = 1.0 / n;
  double t = 0.0;
  double length = 0.0;
  for (int k = 0; k < n; ++k) {
    const double ax = bx.Evaluate(t);
    const double ay = by.Evaluate(t);
    t += dt;
    length += Distance(ax, ay, bx.Evaluate(t), by.Evaluate(t));
  }
  return length;
}

void CBezier::FromCatmullRom(const CVector2<double>& p0, const CVector2<double>& p1,
                             const CVector2<double>& p2, const CVector2<double>& p3, double k,
                             CBezier& bx, CBezier& by) {
  bx.start = p1.x;
  bx.control1 = p1.x + k * (p2.x - p0.x);
  bx.control2 = p2.x - k * (p3.x - p1.x);
  bx.end = p2.x;
  by.start = p1.y;
  by.control1 = p1.y + k * (p2.y - p0.y);
  by.control2 = p2.y - k * (p3.y - p1.y);
  by.end = p2.y;
}

void CBezierPath::Clear() {
  xs.clear();
  ys.clear();
  starts.clear();
  mode = 0;
}

void CBezierPath::SetCurrent(double x, double y) { current = CVector2<double>(x, y); }

void CBezierPath::MoveTo(double x, double y) {
  xs.push_back(CBezier{x, x, x, x});
  ys.push_back(CBezier{y, y, y, y});
  starts.push_back(true);
  current = CVector2<double>(x, y);
}

void CBezierPath::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  xs.push_back(CBezier{current.x, x1, x2, x3});
  ys.push_back(CBezier{current.y, y1, y2, y3});
  starts.push_back(false);
  current = CVector2<double>(x3, y3);
}

void CBezierPath::CurveToV(double x2, double y2, double x3, double y3) {
  CurveTo(current.x, current.y, x2, y2, x3, y3);
}

void CBezierPath::CurveToY(double x1, double y1, double x3, double y3) {
  CurveTo(x1, y1, x3, y3, x3, y3);
}

void CBezierPath::LineTo(double x, double y) { CurveTo(current.x, current.y, x, y, x, y); }

// Transforms change the stored cubics only; the current point keeps its value.
void CBezierPath::Move(double dx, double dy) {
  for (CBezier& b : xs) b.Translate(dx);
  for (CBezier& b : ys) b.Translate(dy);
}

void CBezierPath::MoveCenter() {
  if (xs.empty()) return;
  // The centre is the mean of all four values of every cubic, MoveTo segments included.
  double sumX = 0.0;
  double sumY = 0.0;
  for (size_t i = 0; i < xs.size(); ++i) {
    sumX += xs[i].start + xs[i].control1 + xs[i].control2 + xs[i].end;
    sumY += ys[i].start + ys[i].control1 + ys[i].control2 + ys[i].end;
  }
  const double values = 4.0 * static_cast<double>(xs.size());
  Move(-(sumX / values), -(sumY / values));
}

void CBezierPath::Mul(double sx, double sy) {
  for (size_t i = 0; i < xs.size(); ++i) {
    for (int k = 0; k < 4; ++k) {
      ValueAt(xs[i], k) *= sx;
      ValueAt(ys[i], k) *= sy;
    }
  }
}

void CBezierPath::Rotate(double a) {
  const double c = std::cos(a);
  const double s = std::sin(a);
  for (size_t i = 0; i < xs.size(); ++i) {
    for (int k = 0; k < 4; ++k) {
      double& x = ValueAt(xs[i], k);
      double& y = ValueAt(ys[i], k);
      const double rx = x * c - y * s;
      const double ry = x * s + y * c;
      x = rx;
      y = ry;
    }
  }
}

bool CBezierPath::HasContourStarts() const {
  for (bool s : starts) {
    if (s) return true;
  }
  return false;
}

NRECTD CBezierPath::ControlBounds() const {
  NRECTD box;
  for (size_t i = 0; i < xs.size(); ++i) {
    box.AddPoint(xs[i].start, ys[i].start);
    box.AddPoint(xs[i].control1, ys[i].control1);
    box.AddPoint(xs[i].control2, ys[i].control2);
    box.AddPoint(xs[i].end, ys[i].end);
  }
  return box;
}

int CBezierPath::SegmentSteps(size_t i) const {
  if (i >= xs.size()) return 0;
  const double length = CBezier::ChordLength(xs[i], ys[i], 5);
  // One step per 10 pixels of chord above 40 pixels, else 5: lengths in (40, 50) get 4.
  int steps = 5;
  if (length > 40.0) {
    const double base = length * 0.1;
    steps = base < kMaxBaseSteps ? static_cast<int>(base) : static_cast<int>(kMaxBaseSteps);
  }
  if (mode == 1) steps *= 3;
  return steps;
}

void CBezierPath::FlattenSegment(size_t i, TPolygon& points, size_t maxPoints) const {
  if (i >= xs.size() || points.size() >= maxPoints) return;
  const CBezier& bx = xs[i];
  const CBezier& by = ys[i];
  if (points.empty()) points.emplace_back(bx.start, by.start);
  if (bx.IsStraight() && by.IsStraight()) {
    if (points.size() < maxPoints) points.emplace_back(bx.end, by.end);
    return;
  }
  // t is accumulated, not recomputed from the step index: for some step counts (15, 6, 7,
  // 10) the sum stays just below 1.0 and one more point lands practically on the end point.
  const double dt = 1.0 / SegmentSteps(i);
  for (double t = dt; t < 1.0 && points.size() < maxPoints; t += dt) {
    points.emplace_back(bx.Evaluate(t), by.Evaluate(t));
  }
}

void CBezierPath::Flatten(TPolygon& points, size_t maxPoints) const {
  for (size_t i = 0; i < xs.size() && points.size() < maxPoints; ++i) {
    FlattenSegment(i, points, maxPoints);
  }
}

void CBezierPath::FlattenContours(TContours& contours, size_t maxPoints) const {
  // A MoveTo opens a new contour and adds no point itself, so a path that begins with
  // MoveTo yields an empty first contour (the fill skips it).
  contours.clear();
  contours.emplace_back();
  size_t used = 0;  // points in all contours
  for (size_t i = 0; i < xs.size(); ++i) {
    if (starts[i]) {
      contours.emplace_back();
    } else {
      TPolygon& contour = contours.back();
      const size_t before = contour.size();
      FlattenSegment(i, contour, before + (maxPoints - used));
      used += contour.size() - before;
    }
  }
}

}  // namespace pavo

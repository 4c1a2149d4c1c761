#include "geometry/Bezier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace pavo {
namespace {

constexpr double kPi = 3.141592653589793;

void ExpectCubic(const CBezier& b, double s, double c1, double c2, double e,
                 const std::string& what) {
  EXPECT_DOUBLE_EQ(b.start, s) << what;
  EXPECT_DOUBLE_EQ(b.control1, c1) << what;
  EXPECT_DOUBLE_EQ(b.control2, c2) << what;
  EXPECT_DOUBLE_EQ(b.end, e) << what;
}

TEST(CBezierTest, EvaluateWeighsEachControlValue) {
  const CBezier b{2, 4, 8, 16};
  EXPECT_EQ(b.Evaluate(0.0), 2.0);
  EXPECT_EQ(b.Evaluate(1.0), 16.0);
  // t = 0.5: weights 1/8, 3/8, 3/8, 1/8 -> 0.25 + 1.5 + 3 + 2.
  EXPECT_EQ(b.Evaluate(0.5), 6.75);
  // t = 0.25: weights 27/64, 27/64, 9/64, 1/64 -> 0.84375 + 1.6875 + 1.125 + 0.25.
  EXPECT_EQ(b.Evaluate(0.25), 3.90625);
}

TEST(CBezierTest, IsStraightComparesBothEnds) {
  EXPECT_TRUE((CBezier{1, 1, 5, 5}.IsStraight()));
  EXPECT_TRUE((CBezier{}.IsStraight()));
  EXPECT_FALSE((CBezier{1, 1, 4, 5}.IsStraight()));
  EXPECT_FALSE((CBezier{1, 2, 5, 5}.IsStraight()));
}

TEST(CBezierTest, ChordLength) {
  const CBezier bx{0, 0, 0, 10};
  const CBezier by{0, 10, 10, 10};
  EXPECT_EQ(CBezier::ChordLength(bx, by, 0), 0.0);
  EXPECT_DOUBLE_EQ(CBezier::ChordLength(bx, by, 1), std::sqrt(200.0));
  // The midpoint is (10/8, 70/8) = (1.25, 8.75): two chords of sqrt(1.25^2 + 8.75^2).
  EXPECT_DOUBLE_EQ(CBezier::ChordLength(bx, by, 2), 2 * std::sqrt(78.125));
  // A straight run from (0, 0) to (3, 4) measures 5 however it is parameterised.
  EXPECT_NEAR(CBezier::ChordLength(CBezier{0, 0, 3, 3}, CBezier{0, 0, 4, 4}, 5), 5.0, 1e-12);
}

TEST(CBezierTest, FromCatmullRomSpansTheMiddlePoints) {
  CBezier bx, by;
  CBezier::FromCatmullRom({0, 0}, {10, 0}, {20, 10}, {30, 30}, 0.2, bx, by);
  // control1 = p1 + 0.2 (p2 - p0), control2 = p2 - 0.2 (p3 - p1).
  ExpectCubic(bx, 10, 14, 16, 20, "x");
  ExpectCubic(by, 0, 2, 4, 10, "y");
}

TEST(CBezierPathTest, CommandsStoreTheirCubics) {
  CBezierPath path;
  EXPECT_EQ(path.Count(), 0u);
  EXPECT_EQ(path.current, CVector2<double>(0, 0));
  path.SetCurrent(1, 2);
  EXPECT_EQ(path.Count(), 0u);
  path.MoveTo(3, 4);
  path.CurveTo(5, 6, 7, 8, 9, 10);
  path.CurveToV(11, 12, 13, 14);
  path.CurveToY(15, 16, 17, 18);
  path.LineTo(19, 20);
  ASSERT_EQ(path.Count(), 5u);
  ASSERT_EQ(path.ys.size(), 5u);
  ASSERT_EQ(path.starts.size(), 5u);

  ExpectCubic(path.xs[0], 3, 3, 3, 3, "MoveTo x");
  ExpectCubic(path.ys[0], 4, 4, 4, 4, "MoveTo y");
  ExpectCubic(path.xs[1], 3, 5, 7, 9, "CurveTo x");
  ExpectCubic(path.ys[1], 4, 6, 8, 10, "CurveTo y");
  ExpectCubic(path.xs[2], 9, 9, 11, 13, "CurveToV x");
  ExpectCubic(path.ys[2], 10, 10, 12, 14, "CurveToV y");
  ExpectCubic(path.xs[3], 13, 15, 17, 17, "CurveToY x");
  ExpectCubic(path.ys[3], 14, 16, 18, 18, "CurveToY y");
  ExpectCubic(path.xs[4], 17, 17, 19, 19, "LineTo x");
  ExpectCubic(path.ys[4], 18, 18, 20, 20, "LineTo y");
  EXPECT_TRUE(path.starts[0]);
  for (size_t i = 1; i < 5; ++i) EXPECT_FALSE(path.starts[i]) << i;
  EXPECT_EQ(path.current, CVector2<double>(19, 20));
  EXPECT_TRUE(path.HasContourStarts());

  path.SetMode(1);
  path.Clear();
  EXPECT_EQ(path.Count(), 0u);
  EXPECT_EQ(path.ys.size(), 0u);
  EXPECT_EQ(path.starts.size(), 0u);
  EXPECT_EQ(path.mode, 0);
  EXPECT_EQ(path.current, CVector2<double>(19, 20));  // kept by Clear
  EXPECT_FALSE(path.HasContourStarts());
}

TEST(CBezierPathTest, PathBegunWithSetCurrentHasNoContourStarts) {
  CBezierPath path;
  path.SetCurrent(4, 5);
  path.LineTo(8, 5);
  ExpectCubic(path.xs[0], 4, 4, 8, 8, "x");
  EXPECT_FALSE(path.HasContourStarts());
}

TEST(CBezierPathTest, TransformsLeaveTheCurrentPoint) {
  struct Case {
    const char* name;
    std::function<void(CBezierPath&)> transform;
  };
  const Case cases[] = {
      {"Move", [](CBezierPath& p) { p.Move(5, 5); }},
      {"Mul", [](CBezierPath& p) { p.Mul(2, 3); }},
      {"Rotate", [](CBezierPath& p) { p.Rotate(kPi / 2); }},
      {"MoveCenter", [](CBezierPath& p) { p.MoveCenter(); }},
  };
  for (const Case& c : cases) {
    CBezierPath path;
    path.SetCurrent(0, 0);
    path.LineTo(10, 0);
    c.transform(path);
    // The stored segment did change...
    EXPECT_FALSE(path.xs[0].end == 10 && path.ys[0].end == 0) << c.name;
    EXPECT_EQ(path.current, CVector2<double>(10, 0)) << c.name;
    // ...but the next one starts from the old current point.
    path.LineTo(20, 0);
    ExpectCubic(path.xs[1], 10, 10, 20, 20, c.name);
    ExpectCubic(path.ys[1], 0, 0, 0, 0, c.name);
  }
}

TEST(CBezierPathTest, MoveMulAndRotateActOnEveryControlValue) {
  CBezierPath path;
  path.SetCurrent(1, 2);
  path.CurveTo(3, 4, 5, 6, 7, 8);

  CBezierPath moved = path;
  moved.Move(10, -1);
  ExpectCubic(moved.xs[0], 11, 13, 15, 17, "Move x");
  ExpectCubic(moved.ys[0], 1, 3, 5, 7, "Move y");

  CBezierPath scaled = path;
  scaled.Mul(2, -0.5);
  ExpectCubic(scaled.xs[0], 2, 6, 10, 14, "Mul x");
  ExpectCubic(scaled.ys[0], -1, -2, -3, -4, "Mul y");

  // A quarter turn maps (x, y) to (-y, x), clockwise on screen.
  CBezierPath turned = path;
  turned.Rotate(kPi / 2);
  const double ex[] = {-2, -4, -6, -8};
  const double ey[] = {1, 3, 5, 7};
  const CBezier& tx = turned.xs[0];
  const CBezier& ty = turned.ys[0];
  const double gx[] = {tx.start, tx.control1, tx.control2, tx.end};
  const double gy[] = {ty.start, ty.control1, ty.control2, ty.end};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(gx[k], ex[k], 1e-12) << k;
    EXPECT_NEAR(gy[k], ey[k], 1e-12) << k;
  }
}

TEST(CBezierPathTest, MoveCenterUsesAllFourValuesOfEveryCubic) {
  CBezierPath line;
  line.MoveTo(0, 0);
  line.LineTo(10, 0);
  line.MoveCenter();
  // Mean of the x values 0, 0, 0, 0 and 0, 0, 10, 10 is 2.5.
  ExpectCubic(line.xs[0], -2.5, -2.5, -2.5, -2.5, "MoveTo x");
  ExpectCubic(line.xs[1], -2.5, -2.5, 7.5, 7.5, "LineTo x");
  ExpectCubic(line.ys[1], 0, 0, 0, 0, "LineTo y");

  CBezierPath curve;
  curve.MoveTo(0, 0);
  curve.CurveTo(10, 8, 12, 0, 2, 4);
  curve.MoveCenter();
  // x: (0 * 4 + 0 + 10 + 12 + 2) / 8 = 3 (end points alone would give 0.5);
  // y: (0 * 4 + 0 + 8 + 0 + 4) / 8 = 1.5 (end points alone would give 1).
  ExpectCubic(curve.xs[0], -3, -3, -3, -3, "MoveTo x");
  ExpectCubic(curve.ys[0], -1.5, -1.5, -1.5, -1.5, "MoveTo y");
  ExpectCubic(curve.xs[1], -3, 7, 9, -1, "CurveTo x");
  ExpectCubic(curve.ys[1], -1.5, 6.5, -1.5, 2.5, "CurveTo y");
  EXPECT_EQ(curve.current, CVector2<double>(2, 4));
}

TEST(CBezierPathTest, ControlBounds) {
  CBezierPath path;
  NRECTD box = path.ControlBounds();
  EXPECT_EQ(box.x, 0.0);
  EXPECT_EQ(box.y, 0.0);
  EXPECT_EQ(box.width, -1.0);
  EXPECT_EQ(box.height, -1.0);

  path.MoveTo(5, 5);
  box = path.ControlBounds();
  EXPECT_EQ(box.x, 5.0);
  EXPECT_EQ(box.y, 5.0);
  EXPECT_EQ(box.width, 0.0);
  EXPECT_EQ(box.height, 0.0);

  // Control points (15, 20) and (8, -10) lie outside the drawn curve and widen the box to
  // x 5..15, y -10..20.
  path.CurveTo(8, -10, 15, 20, 10, 5);
  box = path.ControlBounds();
  EXPECT_EQ(box.x, 5.0);
  EXPECT_EQ(box.y, -10.0);
  EXPECT_EQ(box.width, 10.0);
  EXPECT_EQ(box.height, 30.0);
}

// A curve from (0, 0) along a straight run of the given length in direction (dx, dy), with
// its inner control values at the midpoint: not straight in the IsStraight sense, but every
// chord lies on the line, so its chord length is the run length.
CBezierPath RunCurve(double length, double dx = 1.0, double dy = 0.0) {
  CBezierPath path;
  path.SetCurrent(0, 0);
  const double ex = length * dx;
  const double ey = length * dy;
  path.CurveTo(ex / 2, ey / 2, ex / 2, ey / 2, ex, ey);
  return path;
}

TEST(CBezierPathTest, SegmentStepsTable) {
  struct Case {
    double length;
    int steps;
  };
  // 5 up to 40 pixels, then trunc(length / 10): the step down to 4 just above 40.
  const Case cases[] = {{30, 5}, {39, 5}, {41, 4}, {45, 4}, {55, 5}, {65, 6}, {125, 12}};
  for (const Case& c : cases) {
    CBezierPath path = RunCurve(c.length);
    EXPECT_EQ(path.SegmentSteps(0), c.steps) << c.length;
    path.SetMode(1);
    EXPECT_EQ(path.SegmentSteps(0), 3 * c.steps) << c.length << " fine";
  }
  // Both coordinates count: 75 across and 100 down is 125 long.
  EXPECT_EQ(RunCurve(125, 0.6, 0.8).SegmentSteps(0), 12);
}

TEST(CBezierPathTest, SegmentStepsAreCappedForHugeCoordinates) {
  // 10 000 pixels is still counted exactly; ten million would be a million steps, and 1e300
  // overflows the chord to infinity: both are held at 65536 base steps.
  EXPECT_EQ(RunCurve(1e4).SegmentSteps(0), 1000);
  EXPECT_EQ(RunCurve(1e7).SegmentSteps(0), 65536);
  EXPECT_EQ(RunCurve(1e300).SegmentSteps(0), 65536);
}

TEST(CBezierPathTest, FlattenSegmentCountsFollowTheAccumulatedT) {
  struct Case {
    double length;
    int mode;
    size_t points;
  };
  const Case cases[] = {
      // 15 steps: 15 additions of 1/15 stay just below 1.0, so a fifteenth point lands
      // practically on the end point (15 * (1.0 / 15) would be exactly 1.0: 14 points).
      {30, 1, 15},
      // 12 steps: the twelfth sum is exactly 1.0, so 11 points.
      {45, 1, 12 - 1},
      // 36 steps: 35 points.
      {125, 1, 36 - 1},
      // Coarse mode: 5 and 4 steps reach 1.0 exactly.
      {30, 0, 5 - 1},
      {45, 0, 4 - 1},
  };
  for (const Case& c : cases) {
    CBezierPath path = RunCurve(c.length);
    path.SetMode(c.mode);
    TPolygon pts{{-1, -1}};  // non-empty: the start point is not added again
    path.FlattenSegment(0, pts);
    ASSERT_EQ(pts.size(), 1 + c.points) << c.length << " mode " << c.mode;
    // The first sample is at t = 1 / steps.
    const double t1 = 1.0 / path.SegmentSteps(0);
    EXPECT_DOUBLE_EQ(pts[1].x, path.xs[0].Evaluate(t1)) << c.length;
  }
  // The fifteenth point of the 15-step curve is within rounding of the end point.
  CBezierPath path = RunCurve(30);
  path.SetMode(1);
  TPolygon pts{{-1, -1}};
  path.FlattenSegment(0, pts);
  EXPECT_NEAR(pts.back().x, 30.0, 1e-9);
}

TEST(CBezierPathTest, FlattenSegmentStartsAnEmptyListWithTheStartPoint) {
  CBezierPath path = RunCurve(30);  // 5 steps, 4 samples
  TPolygon pts;
  path.FlattenSegment(0, pts);
  ASSERT_EQ(pts.size(), 5u);
  EXPECT_EQ(pts[0], CVector2<double>(0, 0));
}

TEST(CBezierPathTest, OnlyFullyStraightCurvesAddJustTheirEndPoint) {
  CBezierPath straight;
  straight.SetCurrent(0, 0);
  straight.CurveTo(0, 0, 50, 20, 50, 20);  // control1 == start, control2 == end
  TPolygon pts;
  straight.FlattenSegment(0, pts);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_EQ(pts[0], CVector2<double>(0, 0));
  EXPECT_EQ(pts[1], CVector2<double>(50, 20));

  // control1 == start but control2 differs from end: sampled, end point not appended.
  CBezierPath bent;
  bent.SetCurrent(0, 0);
  bent.CurveTo(0, 0, 10, 0, 20, 0);
  TPolygon samples;
  bent.FlattenSegment(0, samples);
  EXPECT_EQ(samples.size(), 1u + 4u);  // start point and 4 samples of 5 steps (length 20)
  EXPECT_NE(samples.back(), CVector2<double>(20, 0));

  // Straight in x only is not straight.
  CBezierPath half;
  half.SetCurrent(0, 0);
  half.CurveTo(0, 5, 20, 0, 20, 0);
  TPolygon halfPts;
  half.FlattenSegment(0, halfPts);
  EXPECT_GT(halfPts.size(), 2u);
}

TEST(CBezierPathTest, FlattenASquareBegunWithSetCurrent) {
  CBezierPath path;
  path.SetCurrent(0, 0);
  path.LineTo(10, 0);
  path.LineTo(10, 10);
  path.LineTo(0, 10);
  TPolygon pts;
  path.Flatten(pts);
  const TPolygon expected{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_EQ(pts, expected);
}

TEST(CBezierPathTest, FlattenContoursSplitsAtMoveTo) {
  const TPolygon square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  CBezierPath path;
  path.MoveTo(0, 0);
  path.LineTo(10, 0);
  path.LineTo(10, 10);
  path.LineTo(0, 10);
  TContours contours{{{99, 99}}};  // emptied first
  path.FlattenContours(contours);
  ASSERT_EQ(contours.size(), 2u);
  EXPECT_TRUE(contours[0].empty());
  EXPECT_EQ(contours[1], square);

  // Two MoveTo in a row leave an empty contour between them; segments before the first
  // MoveTo go into the first contour.
  CBezierPath multi;
  multi.SetCurrent(1, 1);
  multi.LineTo(2, 1);
  multi.MoveTo(0, 0);
  multi.MoveTo(5, 5);
  multi.LineTo(6, 5);
  multi.FlattenContours(contours);
  ASSERT_EQ(contours.size(), 3u);
  EXPECT_EQ(contours[0], (TPolygon{{1, 1}, {2, 1}}));
  EXPECT_TRUE(contours[1].empty());
  EXPECT_EQ(contours[2], (TPolygon{{5, 5}, {6, 5}}));

  CBezierPath empty;
  empty.FlattenContours(contours);
  ASSERT_EQ(contours.size(), 1u);
  EXPECT_TRUE(contours[0].empty());
}

TEST(CBezierPathTest, BoundedFlatteningKeepsTheFirstPointsOnly) {
  // Polygon: the square's corners, cut after maxPoints of them.
  CBezierPath square;
  square.SetCurrent(0, 0);
  square.LineTo(10, 0);
  square.LineTo(10, 10);
  square.LineTo(0, 10);
  const TPolygon corners{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  for (const size_t maxPoints : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{9}}) {
    TPolygon pts;
    square.Flatten(pts, maxPoints);
    const size_t kept = maxPoints < 4 ? maxPoints : 4;
    EXPECT_EQ(pts, TPolygon(corners.begin(), corners.begin() + kept)) << maxPoints;
  }

  // A curve of ten million pixels in fill mode is 3 * 65536 steps, about 196 600 samples
  // after the start point: bounded to 1000 it keeps the start point and the first 999.
  CBezierPath far = RunCurve(1e7);
  far.SetMode(1);
  TPolygon all;
  far.Flatten(all);
  ASSERT_GT(all.size(), 196000u);
  TPolygon cut;
  far.Flatten(cut, 1000);
  EXPECT_EQ(cut, TPolygon(all.begin(), all.begin() + 1000));

  // Contours share one bound: 4 corners of the first square, then 2 of the second; a contour
  // opened past the bound stays empty.
  CBezierPath two;
  two.MoveTo(0, 0);
  two.LineTo(10, 0);
  two.LineTo(10, 10);
  two.LineTo(0, 10);
  two.MoveTo(20, 0);
  two.LineTo(30, 0);
  two.LineTo(30, 10);
  two.MoveTo(40, 0);
  two.LineTo(50, 0);
  TContours contours;
  two.FlattenContours(contours, 6);
  ASSERT_EQ(contours.size(), 4u);
  EXPECT_TRUE(contours[0].empty());
  EXPECT_EQ(contours[1], corners);
  EXPECT_EQ(contours[2], (TPolygon{{20, 0}, {30, 0}}));
  EXPECT_TRUE(contours[3].empty());
}

}  // namespace
}  // namespace pavo

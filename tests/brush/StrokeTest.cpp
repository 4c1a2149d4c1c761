#include "brush/Stroke.h"

#include <gtest/gtest.h>

#include <cmath>

#include "brush/BrushInfo.h"
#include "geometry/Clock.h"

namespace pavo {
namespace {

TStrokePoint Pt(double x, double y, double pressure = 1.0, uint32_t time = 0) {
  TStrokePoint p;
  p.x = x;
  p.y = y;
  p.pressure = pressure;
  p.time = time;
  return p;
}

uint32_t g_now = 0;
uint32_t FakeClock() { return g_now; }

class StrokeTest : public ::testing::Test {
 protected:
  void SetUp() override { SetClockSource(FakeClock); }
  void TearDown() override { SetClockSource(nullptr); }

  // n accepted points 10 px apart along x, the last at (10 (n - 1), 0) taken at lastTime.
  static CStroke Stroke(int n, uint32_t lastTime) {
    CStroke s;
    for (int i = 0; i < n; ++i) {
      EXPECT_TRUE(s.AddPoint(Pt(10.0 * i, 0, 1, lastTime), 1.0, true, false));
    }
    return s;
  }
};

TEST_F(StrokeTest, FreshStroke) {
  CBrushStroke s;
  EXPECT_EQ(s.Count(), 0);
  EXPECT_TRUE(s.dirtyRect.IsEmpty());
  EXPECT_EQ(s.minIntervalMs, 50u);
  EXPECT_EQ(s.minDistance, 5.0);
  EXPECT_EQ(s.GetBrushInfo(), nullptr);
  CBrushInfo info;
  s.SetBrushInfo(&info);
  EXPECT_EQ(s.GetBrushInfo(), &info);
}

TEST_F(StrokeTest, SamePositionIsRejectedEvenWhenForced) {
  CStroke s;
  EXPECT_TRUE(s.AddPoint(Pt(3, 4, 0.5), 1.0, true, false));
  EXPECT_FALSE(s.AddPoint(Pt(3, 4, 0.5), 1.0, true, false));
  EXPECT_FALSE(s.AddPoint(Pt(3, 4, 0.9), 1.0, true, false));  // pressure alone differs
  EXPECT_TRUE(s.AddPoint(Pt(3, 4.5, 0.9), 1.0, false, false));
  EXPECT_EQ(s.Count(), 2);
}

TEST_F(StrokeTest, FirstPointIsRepeatedSevenTimesOnlyOnAnEmptyStroke) {
  CStroke s;
  EXPECT_TRUE(s.AddPoint(Pt(1, 2, 0.3), 1.0, false, true));
  ASSERT_EQ(s.Count(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(s.points[i].x, 1.0);
    EXPECT_EQ(s.points[i].y, 2.0);
    EXPECT_EQ(s.points[i].pressure, 0.3);
  }
  EXPECT_TRUE(s.AddPoint(Pt(20, 2), 1.0, false, true));
  EXPECT_EQ(s.Count(), 8);
}

TEST_F(StrokeTest, ThinningStartsAtEightPoints) {
  // Seven points: a point 1 px away and 1 ms later is still kept, making eight.
  CStroke s = Stroke(7, 1000);
  g_now = 1001;
  EXPECT_TRUE(s.AddPoint(Pt(61, 0, 1, 1001), 1.0, false, false));
  // Now eight: the same kind of point is thinned, unless forced.
  g_now = 1002;
  EXPECT_FALSE(s.AddPoint(Pt(62, 0, 1, 1002), 1.0, false, false));
  EXPECT_EQ(s.Count(), 8);
  EXPECT_TRUE(s.AddPoint(Pt(62, 0, 1, 1002), 1.0, true, false));
  EXPECT_EQ(s.Count(), 9);
}

TEST_F(StrokeTest, ThinningNeedsBothCloserAndSooner) {
  struct Case {
    double x, y;  // the last accepted point is (70, 0) at time 1000
    uint32_t now;
    double scale;
    bool accepted;
  };
  const Case cases[] = {
      {74.9, 0, 1049, 1.0, false},  // 4.9 px, 49 ms
      {75, 0, 1049, 1.0, true},     // exactly 5.0 px
      {73, 4, 1049, 1.0, true},     // 3-4-5: Euclidean 5.0 (its larger coordinate is only 4)
      {72.9, 4, 1049, 1.0, false},  // about 4.92 px
      {74.9, 0, 1050, 1.0, true},   // exactly 50 ms
      {74.9, 0, 1051, 1.0, true},
      {72.5, 0, 1049, 2.0, true},   // 2.5 px scaled by 2 is 5.0
      {72.4, 0, 1049, 2.0, false},  // 4.8 scaled px
      // A clock reading behind the point's time wraps to a huge difference: on time.
      {70, 4.9, 999, 1.0, true},
  };
  for (const Case& c : cases) {
    CStroke s = Stroke(8, 1000);
    g_now = c.now;
    EXPECT_EQ(s.AddPoint(Pt(c.x, c.y, 1, c.now), c.scale, false, false), c.accepted)
        << c.x << "," << c.y << " at " << c.now << " scale " << c.scale;
    EXPECT_EQ(s.Count(), c.accepted ? 9 : 8);
  }
}

TEST_F(StrokeTest, ThinningTimeWrapsAt32Bits) {
  // Last point at 0xFFFFFFF0: 0x21 is 49 ms later across the wrap, 0x22 is 50 ms.
  CStroke s = Stroke(8, 0xFFFFFFF0u);
  g_now = 0x21;
  EXPECT_FALSE(s.AddPoint(Pt(71, 0), 1.0, false, false));
  g_now = 0x22;
  EXPECT_TRUE(s.AddPoint(Pt(71, 0), 1.0, false, false));
}

TEST_F(StrokeTest, PointAtClamps) {
  CStroke empty;
  const TStrokePoint none = empty.PointAt(3);
  EXPECT_EQ(none.x, 0.0);
  EXPECT_EQ(none.y, 0.0);
  EXPECT_EQ(none.pressure, 0.0);

  CStroke s = Stroke(3, 0);  // x = 0, 10, 20
  EXPECT_EQ(s.PointAt(-5).x, 0.0);
  EXPECT_EQ(s.PointAt(-1).x, 0.0);
  EXPECT_EQ(s.PointAt(1).x, 10.0);
  EXPECT_EQ(s.PointAt(3).x, 20.0);
  EXPECT_EQ(s.PointAt(INT32_MAX).x, 20.0);
}

// Four points away from the origin, so that a missing neighbour read as a zero point would
// show: A (100, 50) p 0.2, B (110, 50) p 0.6, C (120, 60) p 1.0, D (120, 70) p 0.
CStroke FourPoints() {
  CStroke s;
  s.AddPoint(Pt(100, 50, 0.2), 1.0, true, false);
  s.AddPoint(Pt(110, 50, 0.6), 1.0, true, false);
  s.AddPoint(Pt(120, 60, 1.0), 1.0, true, false);
  s.AddPoint(Pt(120, 70, 0.0), 1.0, true, false);
  return s;
}

TEST_F(StrokeTest, SampleSplineTable) {
  struct Case {
    int32_t segment;
    double t, x, y, pressure, length;
  };
  // Bezier weights: t 0.5 -> 1/8, 3/8, 3/8, 1/8; t 0.25 -> 27/64, 27/64, 9/64, 1/64.
  const Case cases[] = {
      // Segment 0, Pm clamped to A: x (100, 100 + 0.2 (110 - 100) = 102, 110 - 0.2 (120 - 100)
      // = 106, 110), y (50, 50, 50 - 0.2 (60 - 50) = 48, 50).
      {0, 0.5, 104.25, 49.25, 0.4, 10},
      {0, 0.25, 101.84375, 49.71875, 0.3, 10},
      {0, 0.0, 100, 50, 0.2, 10},
      // Segment 1: x (110, 110 + 0.2 (120 - 100) = 114, 120 - 0.2 (120 - 110) = 118, 120),
      // y (50, 50 + 0.2 (60 - 50) = 52, 60 - 0.2 (70 - 50) = 56, 60); chord sqrt(200).
      {1, 0.5, 115.75, 54.25, 0.8, std::sqrt(200.0)},
      // Last real segment, P2 clamped to D: x (120, 120 + 0.2 (120 - 110) = 122,
      // 120 - 0.2 (120 - 120) = 120, 120), y (60, 60 + 0.2 (70 - 50) = 64,
      // 70 - 0.2 (70 - 60) = 68, 70).
      {2, 0.5, 120.75, 65.75, 0.5, 10},
      {2, 1.0, 120, 70, 0.0, 10},
      // Segment n - 1 starts and ends on the last point; its chord is 0.
      {3, 0.0, 120, 70, 0.0, 0},
      {3, 1.0, 120, 70, 0.0, 0},
      {50, 0.0, 120, 70, 0.0, 0},
      // A negative segment samples from point 0.
      {-1, 0.0, 100, 50, 0.2, 0},
      {-1, 1.0, 100, 50, 0.2, 0},
  };
  const CStroke s = FourPoints();
  for (const Case& c : cases) {
    double x = -1, y = -1, p = -1, len = -1;
    EXPECT_TRUE(s.SampleSpline(c.segment, c.t, x, y, p, len));
    EXPECT_DOUBLE_EQ(x, c.x) << c.segment << " @ " << c.t;
    EXPECT_DOUBLE_EQ(y, c.y) << c.segment << " @ " << c.t;
    EXPECT_NEAR(p, c.pressure, 1e-15) << c.segment << " @ " << c.t;
    EXPECT_DOUBLE_EQ(len, c.length) << c.segment << " @ " << c.t;
  }
}

TEST_F(StrokeTest, SplineThroughCollinearPointsStaysOnTheLine) {
  // Evenly spaced on y = 2x + 1.
  CStroke s;
  for (int i = 0; i < 4; ++i) s.AddPoint(Pt(10.0 * i, 20.0 * i + 1), 1.0, true, false);
  for (int segment = 0; segment < 3; ++segment) {
    for (double t : {0.0, 0.1, 0.37, 0.5, 0.9, 1.0}) {
      double x, y, p, len;
      s.SampleSpline(segment, t, x, y, p, len);
      EXPECT_NEAR(y, 2 * x + 1, 1e-9) << segment << " @ " << t;
      EXPECT_GE(x, 10.0 * segment - 1e-9);
      EXPECT_LE(x, 10.0 * (segment + 1) + 1e-9);
      EXPECT_DOUBLE_EQ(len, std::sqrt(500.0));
    }
  }
}

TEST_F(StrokeTest, SamplingAnEmptyStrokeGivesZeros) {
  const CStroke s;
  double x = -1, y = -1, p = -1, len = -1;
  EXPECT_TRUE(s.SampleSpline(0, 0.5, x, y, p, len));
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(y, 0.0);
  EXPECT_EQ(p, 0.0);
  EXPECT_EQ(len, 0.0);
}

}  // namespace
}  // namespace pavo

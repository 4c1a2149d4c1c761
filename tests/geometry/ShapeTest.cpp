#include "geometry/Shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace pavo {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(CShapeTest, EllipseVertexCountTable) {
  struct Case {
    double width, height;
    size_t count;
  };
  const Case cases[] = {
      {20, 10, 32},                     // r 10: 2 pi 10 / 8 = 7.85, raised to the minimum
      {1000, 200, 392},                 // r 500: 392.7
      {200, 300, 117},                  // r 150 from the height: 117.8
      {2000, 100, 512},                 // r 1000: 785.4, lowered to the maximum
      {0, 0, 32},       {NAN, 10, 32},  // no radius to count with: the minimum
  };
  for (const Case& c : cases) {
    CShape shape;
    shape.SetEllipse(0, 0, c.width, c.height, 0);
    EXPECT_EQ(shape.points.size(), c.count) << c.width << " x " << c.height;
  }
}

TEST(CShapeTest, VerticesStartOnTheXAxisAndTurnClockwise) {
  CShape shape;
  shape.SetEllipse(100, 50, 20, 10, 0);
  ASSERT_EQ(shape.points.size(), 32u);
  // Vertex 0 at theta 0: (100 + 10, 50). Vertex 8 at theta pi/2: (100, 50 + 5), below the
  // centre on screen, so the order runs clockwise. Vertices 16 and 24 mirror them.
  EXPECT_DOUBLE_EQ(shape.points[0].x, 110);
  EXPECT_DOUBLE_EQ(shape.points[0].y, 50);
  EXPECT_NEAR(shape.points[8].x, 100, 1e-12);
  EXPECT_NEAR(shape.points[8].y, 55, 1e-12);
  EXPECT_NEAR(shape.points[16].x, 90, 1e-12);
  EXPECT_NEAR(shape.points[16].y, 50, 1e-12);
  EXPECT_NEAR(shape.points[24].x, 100, 1e-12);
  EXPECT_NEAR(shape.points[24].y, 45, 1e-12);
  // Vertex 4 at theta pi/4: (100 + 10 cos, 50 + 5 sin).
  EXPECT_NEAR(shape.points[4].x, 100 + 10 * std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(shape.points[4].y, 50 + 5 * std::sqrt(0.5), 1e-12);
}

TEST(CShapeTest, QuarterTurnSwapsTheAxes) {
  CShape shape;
  shape.SetEllipse(100, 50, 20, 10, kPi / 2);
  ASSERT_EQ(shape.points.size(), 32u);
  // (px, py) turns to (-py, px): vertex 0 goes from (+10, 0) to (0, +10).
  EXPECT_NEAR(shape.points[0].x, 100, 1e-12);
  EXPECT_NEAR(shape.points[0].y, 60, 1e-12);
  auto [minX, maxX] = std::minmax_element(shape.points.begin(), shape.points.end(),
                                          [](auto& a, auto& b) { return a.x < b.x; });
  auto [minY, maxY] = std::minmax_element(shape.points.begin(), shape.points.end(),
                                          [](auto& a, auto& b) { return a.y < b.y; });
  EXPECT_NEAR(maxX->x - minX->x, 10, 1e-12);
  EXPECT_NEAR(maxY->y - minY->y, 20, 1e-12);
}

TEST(CShapeTest, ZeroHeightLiesOnOneLineAndIsReplacedOnReuse) {
  CShape shape;
  shape.SetEllipse(0, 0, 2000, 100, 0);
  ASSERT_EQ(shape.points.size(), 512u);
  shape.SetEllipse(7, 3, 30, 0, 0);
  ASSERT_EQ(shape.points.size(), 32u);  // the earlier outline is gone
  for (const auto& p : shape.points) EXPECT_EQ(p.y, 3.0);
  EXPECT_DOUBLE_EQ(shape.points[0].x, 22);
  EXPECT_NEAR(shape.points[16].x, -8, 1e-12);
}

}  // namespace
}  // namespace pavo

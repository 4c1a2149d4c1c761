#include "geometry/Rect.h"

#include <gtest/gtest.h>

#include <climits>

namespace pavo {
namespace {

TEST(NRectTest, OnlyAllZeroIsEmpty) {
  EXPECT_TRUE(NRECT().IsEmpty());
  EXPECT_TRUE(NRECT(0, 0, 0, 0).IsEmpty());
  EXPECT_FALSE(NRECT(0, 0, 0, 1).IsEmpty());
  EXPECT_FALSE(NRECT(4, 4, 0, 0).IsEmpty());
  EXPECT_FALSE(NRECT(3, 3, -2, 4).IsEmpty());
}

struct UnionCase {
  NRECT a, b, expected;
};

TEST(NRectTest, UnionTable) {
  const UnionCase cases[] = {
      // The empty rectangle is the neutral element on either side.
      {{0, 0, 0, 0}, {3, 4, 5, 6}, {3, 4, 5, 6}},
      {{3, 4, 5, 6}, {0, 0, 0, 0}, {3, 4, 5, 6}},
      // A zero-size rectangle away from the origin is real: it spans from 10 to the far
      // edge 21 of the pixel at 20, so width and height 11.
      {{10, 10, 0, 0}, {20, 20, 1, 1}, {10, 10, 11, 11}},
      {{20, 20, 1, 1}, {10, 10, 0, 0}, {10, 10, 11, 11}},
      // Left edge moves first (width 5 + 8 = 13 from x 2, right edge 15 stays), the bottom
      // edge then reaches 12 + 20 = 32, so height 32 - 10 = 22.
      {{10, 10, 5, 5}, {2, 12, 3, 20}, {2, 10, 13, 22}},
      // Contained rectangle: no change.
      {{0, 0, 100, 100}, {10, 10, 5, 5}, {0, 0, 100, 100}},
      // Negative width is taken as stored: width -2 + 3 = 1 from x 0; height 4 + 3 = 7.
      {{3, 3, -2, 4}, {0, 0, 1, 1}, {0, 0, 1, 7}},
  };
  for (const UnionCase& c : cases) {
    NRECT r = c.a;
    r.Union(c.b);
    EXPECT_EQ(r, c.expected) << "(" << c.a.x << "," << c.a.y << "," << c.a.width << ","
                             << c.a.height << ") U (" << c.b.x << "," << c.b.y << "," << c.b.width
                             << "," << c.b.height << ")";
  }
}

TEST(NRectTest, UnionPointBuildsBoundingBox) {
  NRECT r;
  r.UnionPoint(5, 7);
  EXPECT_EQ(r, NRECT(5, 7, 1, 1));
  r.UnionPoint(2, 9);
  // Columns 2..5, rows 7..9.
  EXPECT_EQ(r, NRECT(2, 7, 4, 3));
  r.UnionPoint(-1, -1);
  EXPECT_EQ(r, NRECT(-1, -1, 7, 11));
}

TEST(NRectTest, Inflate) {
  NRECT empty;
  empty.Inflate(2, 2);
  EXPECT_EQ(empty, NRECT(0, 0, 0, 0));

  NRECT pixel(10, 10, 1, 1);
  pixel.Inflate(2, 2);
  EXPECT_EQ(pixel, NRECT(8, 8, 5, 5));

  NRECT zeroSize(4, 4, 0, 0);
  zeroSize.Inflate(1, 3);
  EXPECT_EQ(zeroSize, NRECT(3, 1, 2, 6));
}

struct SnapCase {
  NRECT in, expected;
};

TEST(NRectTest, SnapToGridTable) {
  const SnapCase cases[] = {
      {{0, 0, 128, 128}, {0, 0, 128, 128}},
      {{127, 127, 2, 2}, {0, 0, 256, 256}},
      // floor(-1 / 128) = -1 tile; extent -1 + 1 + 128 = 128.
      {{-1, 0, 1, 1}, {-128, 0, 128, 128}},
      // y: floor(-5) = -128, extent -5 + 10 + 128 = 133 -> 256.
      {{130, -5, 10, 10}, {128, -128, 128, 256}},
      // -128 is already on the grid; -129 floors to -256, extent -129 + 1 + 256 = 128.
      {{-128, -129, 1, 1}, {-128, -256, 128, 128}},
      // x: floor(-200) = -256, extent -200 + 300 + 256 = 356 -> 384;
      // y: floor(-1) = -128, extent -1 + 2 + 128 = 129 -> 256.
      {{-200, -1, 300, 2}, {-256, -128, 384, 256}},
      // Zero size away from the origin is not empty: x 5 -> 0 with extent 5 -> 128.
      {{5, 7, 0, 0}, {0, 0, 128, 128}},
      {{0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const SnapCase& c : cases) {
    NRECT r = c.in;
    r.SnapToGrid(128);
    EXPECT_EQ(r, c.expected) << "(" << c.in.x << "," << c.in.y << "," << c.in.width << ","
                             << c.in.height << ")";
  }
}

TEST(NRectTest, FloorAndCeilToMultiple) {
  EXPECT_EQ(FloorToMultiple(-1, 128), -128);
  EXPECT_EQ(FloorToMultiple(-128, 128), -128);
  EXPECT_EQ(FloorToMultiple(-129, 128), -256);
  EXPECT_EQ(FloorToMultiple(0, 128), 0);
  EXPECT_EQ(FloorToMultiple(255, 128), 128);
  EXPECT_EQ(FloorToMultiple(INT32_MIN, 128), INT32_MIN);  // a multiple of 128 already
  EXPECT_EQ(CeilToMultiple(0, 128), 0);
  EXPECT_EQ(CeilToMultiple(1, 128), 128);
  EXPECT_EQ(CeilToMultiple(128, 128), 128);
  EXPECT_EQ(CeilToMultiple(129, 128), 256);
}

TEST(NRectTest, DivideTruncatesTowardZero) {
  NRECT r(-130, 130, 256, -1);
  r.Divide(128);
  // -130 / 128 is -1 (a floor would give -2); -1 / 128 is 0.
  EXPECT_EQ(r, NRECT(-1, 1, 2, 0));

  NRECT tiles(-300, 5, 10, 10);
  // x floors to -384, extent -300 + 10 + 384 = 94 -> 128: (-384, 0, 128, 128), tile (-3, 0).
  tiles.SnapToGrid(128);
  tiles.Divide(128);
  EXPECT_EQ(tiles, NRECT(-3, 0, 1, 1));
}

TEST(NRectDTest, AddPointGrowsFromEmpty) {
  NRECTD box;
  EXPECT_TRUE(box.IsEmpty());
  EXPECT_EQ(box.x, 0.0);
  EXPECT_EQ(box.y, 0.0);
  EXPECT_EQ(box.width, -1.0);
  EXPECT_EQ(box.height, -1.0);

  box.AddPoint(2.5, -1);
  EXPECT_FALSE(box.IsEmpty());
  EXPECT_EQ(box.x, 2.5);
  EXPECT_EQ(box.y, -1.0);
  EXPECT_EQ(box.width, 0.0);
  EXPECT_EQ(box.height, 0.0);

  // x moves left by 1.5 (width 1.5); y 3 lies below the box: height 3 - (-1) = 4.
  box.AddPoint(1, 3);
  EXPECT_EQ(box.x, 1.0);
  EXPECT_EQ(box.y, -1.0);
  EXPECT_EQ(box.width, 1.5);
  EXPECT_EQ(box.height, 4.0);

  // Inside: unchanged. Right of it: width 6 - 1 = 5.
  box.AddPoint(2, 0);
  box.AddPoint(6, 0);
  EXPECT_EQ(box.x, 1.0);
  EXPECT_EQ(box.width, 5.0);
  EXPECT_EQ(box.height, 4.0);
}

TEST(NRectDTest, NegativeExtentIsEmpty) {
  NRECTD a;
  a.width = 0;
  a.height = -0.5;
  EXPECT_TRUE(a.IsEmpty());
  a.height = 0;
  EXPECT_FALSE(a.IsEmpty());
}

}  // namespace
}  // namespace pavo

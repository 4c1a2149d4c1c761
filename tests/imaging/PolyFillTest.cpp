// Polygon and contour fills: spans, sampling lines, winding rules and the degenerate inputs
// scripts hand them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/PolyFill.h"

namespace pavo {
namespace {

constexpr uint32_t kBlack = 0xff000000;

// The painted pixels of an 8-bit layer as a bounding box and a count.
struct TPainted {
  int count = 0, x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};

TPainted Painted(const CImageTile8& layer) {
  TPainted p;
  for (int y = 0; y < layer.height; ++y)
    for (int x = 0; x < layer.width; ++x)
      if (layer.GetPixel(x, y) != 0) {
        ++p.count;
        p.x0 = std::min(p.x0, x);
        p.y0 = std::min(p.y0, y);
        p.x1 = std::max(p.x1, x);
        p.y1 = std::max(p.y1, y);
      }
  return p;
}

TPolygon Pentagram(double cx, double cy, double r) {
  TPolygon p;
  for (int k = 0; k < 5; ++k) {
    const double a = -M_PI / 2 + k * 4 * M_PI / 5;
    p.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return p;
}

TPolygon Rect(double x0, double y0, double x1, double y1) {
  return TPolygon{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

TEST(PolyFill, SquareWithoutAntiAliasCoversItsHalfOpenPixels) {
  // Row 10 is sampled at 10.00123456789 (inside), row 20 at 20.00123456789 (below the bottom
  // edge); the span 10..20 rounds to columns trunc(10.5) .. trunc(20.5) - 1 = 10 .. 19.
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(40, 40));
  EXPECT_TRUE(FillPolygon(layer, Rect(10, 10, 20, 20), kBlack, 255, false));
  int count = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x <= 19 && y >= 10 && y <= 19;
      EXPECT_EQ(layer.GetPixel(x, y), inside ? kBlack : 0u) << x << "," << y;
      count += layer.GetPixel(x, y) != 0;
    }
  EXPECT_EQ(count, 100);
}

TEST(PolyFill, SpanEndsRoundToTheNearestColumnEdge) {
  struct TCase {
    double left, right;
    int first, last;
  };
  // start = trunc(left + 0.5), end = trunc(right + 0.5); columns start .. end - 1, or start
  // alone when the two are equal.
  const TCase cases[] = {{2.4, 5.6, 2, 5}, {3.6, 3.9, 4, 4}, {-7.2, 1.2, 0, 0}, {36.2, 45, 36, 39}};
  for (const TCase& c : cases) {
    CImageTile8 layer;
    ASSERT_TRUE(layer.Resize(40, 8));
    FillPolygon(layer, Rect(c.left, 2, c.right, 5), 255, 255, false);
    const TPainted p = Painted(layer);
    EXPECT_EQ(p.x0, c.first) << c.left;
    EXPECT_EQ(p.x1, c.last) << c.left;
    EXPECT_EQ(p.y0, 2);
    EXPECT_EQ(p.y1, 4);
  }
}

TEST(PolyFill, PentagramIsSolidUnderWindingAndHollowUnderEvenOdd) {
  const TPolygon star = Pentagram(50, 50, 40);
  CImageTile8 winding, evenOdd;
  ASSERT_TRUE(winding.Resize(100, 100));
  ASSERT_TRUE(evenOdd.Resize(100, 100));
  FillPolygon(winding, star, 255, 255, false);
  FillContours(evenOdd, TContours{star}, 255, 255, false);
  EXPECT_EQ(winding.GetPixel(50, 50), 255);  // the centre is wound twice
  EXPECT_EQ(evenOdd.GetPixel(50, 50), 0);
  EXPECT_EQ(winding.GetPixel(50, 20), 255);  // the top arm, wound once
  EXPECT_EQ(evenOdd.GetPixel(50, 20), 255);
}

TEST(PolyFill, NestedContoursMakeARing) {
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(40, 40));
  EXPECT_TRUE(
      FillContours(layer, TContours{Rect(5, 5, 35, 35), Rect(15, 15, 25, 25)}, 255, 255, true));
  EXPECT_EQ(layer.GetPixel(20, 20), 0);
  EXPECT_EQ(layer.GetPixel(10, 20), 255);
  EXPECT_EQ(layer.GetPixel(30, 30), 255);
}

TEST(PolyFill, HalfRowRectangleGetsTwoOfFourSampleLines) {
  // Row 10's sample lines are 10.125, 10.375, 10.625, 10.875 (+0.00123456789); the rectangle
  // ends at 10.5, so two lines cross: coverage (opacity + opacity + 0 + 0) / 4.
  // 8-bit: Lerp8(0, 255, 100) = 100. 32-bit: PaintOver onto a transparent pixel gives the
  // colour with alpha floor(255 * (100 + 1) / 256) = 100.
  CImageTile8 layer8;
  CImageTile32 layer32;
  ASSERT_TRUE(layer8.Resize(30, 30));
  ASSERT_TRUE(layer32.Resize(30, 30));
  const TPolygon rect = Rect(5, 10, 15, 10.5);
  FillPolygon(layer8, rect, 255, 200, true);
  FillPolygon(layer32, rect, kBlack, 200, true);
  for (int x = 0; x < 30; ++x) {
    const bool inside = x >= 5 && x <= 14;  // the right edge's pixel 15 gets weight 0
    EXPECT_EQ(layer8.GetPixel(x, 10), inside ? 100 : 0) << x;
    EXPECT_EQ(layer32.GetPixel(x, 10), inside ? 0x64000000u : 0u) << x;
    EXPECT_EQ(layer8.GetPixel(x, 9), 0);
    EXPECT_EQ(layer8.GetPixel(x, 11), 0);
  }
}

TEST(PolyFill, AntiAliasedRowsWriteCoverageZeroFromColumnZero) {
  // Every vertex has y in (-1, 0): all edges are culled, yet rows -1 .. 1 are scanned and
  // column 0 of rows 0 and 1 is written with coverage 0. With a non-zero colour that creates
  // the tile and leaves the colour at alpha floor(255 * 1 / 256) = 0.
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(300, 300));
  EXPECT_TRUE(
      FillPolygon(layer, TPolygon{{5, -0.5}, {50, -0.9}, {20, -0.2}}, 0xffff0000, 255, true));
  EXPECT_NE(layer.TileAt(0, 0), nullptr);
  EXPECT_EQ(layer.GetPixel(0, 0), 0x00ff0000u);
  EXPECT_EQ(layer.GetPixel(1, 0), 0u);
}

TEST(PolyFill, OutlinesOutsideTheLayerPaintNothing) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(100, 100));
  EXPECT_FALSE(FillPolygon(layer, Rect(10, -30, 20, -1), kBlack, 255, true));   // above
  EXPECT_FALSE(FillPolygon(layer, Rect(10, 101, 20, 130), kBlack, 255, true));  // below
  EXPECT_FALSE(FillPolygon(layer, TPolygon{{1, 1}, {5, 5}}, kBlack, 255, true));
  for (int i = 0; i < layer.tileCount; ++i) EXPECT_EQ(layer.tiles[i], nullptr);
  // Contours far below the layer are not scanned row by row (a billion rows would not finish).
  EXPECT_TRUE(FillContours(layer, TContours{Rect(0, 1e7, 50, 2e9)}, kBlack, 255, true));
  for (int i = 0; i < layer.tileCount; ++i) EXPECT_EQ(layer.tiles[i], nullptr);
}

TEST(PolyFill, CombOf128TeethStopsAtTheFirstOverfullLine) {
  // A bar from y 0 to 10 with 128 teeth hanging down to y 20: every sample line through the
  // teeth meets 256 vertical edges. Rows 0..9 are painted, row 10 stops the fill.
  TPolygon comb{{0, 0}, {512, 0}, {512, 10}};
  for (int i = 127; i >= 0; --i) {
    comb.emplace_back(4 * i + 2, 10);
    comb.emplace_back(4 * i + 2, 20);
    comb.emplace_back(4 * i, 20);
    comb.emplace_back(4 * i, 10);
  }
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(600, 40));
  EXPECT_FALSE(FillPolygon(layer, comb, 255, 255, false));
  EXPECT_EQ(layer.GetPixel(0, 5), 255);
  EXPECT_EQ(layer.GetPixel(511, 9), 255);
  EXPECT_EQ(layer.GetPixel(1, 15), 0);
  EXPECT_EQ(Painted(layer).y1, 9);
}

TEST(PolyFill, NonFiniteAndHugeCoordinatesAreHarmless) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(64, 64));
  EXPECT_FALSE(FillPolygon(layer, TPolygon{{nan, 1}, {20, 20}, {1, 30}}, kBlack, 255, true));
  EXPECT_FALSE(FillPolygon(layer, TPolygon{{1, 1}, {inf, 20}, {1, 30}}, kBlack, 255, false));
  EXPECT_TRUE(FillContours(layer, TContours{{{1, 1}, {20, -inf}, {1, 30}}}, kBlack, 255, true));
  for (int i = 0; i < layer.tileCount; ++i) EXPECT_EQ(layer.tiles[i], nullptr);
  // Huge but finite vertices clip: a triangle covering the whole layer paints all of it.
  const TPolygon huge{{-1e308, -1e308}, {1e308, -1e308}, {0, 1e308}};
  FillPolygon(layer, huge, kBlack, 255, false);
  EXPECT_EQ(layer.GetPixel(32, 32), kBlack);
  FillContours(layer, TContours{huge}, kBlack, 255, true);
  FillPolygon(layer, TPolygon{{0, 0}, {1e300, 1e-300}, {0, 1e-299}}, kBlack, 255, true);
}

TEST(PolyFill, CollectBandTakesEdgesMeetingTheClosedInterval) {
  const TPolygon v{{0, 0}, {0, 10}, {5, 16}, {5, 40}};
  CPolySides all;
  all.AddSide(&v[0], &v[1]);  // 0..10
  all.AddSide(&v[1], &v[2]);  // 10..16
  all.AddSide(&v[3], &v[2]);  // 40..16, upwards
  CPolySides band;
  band.CollectBand(all, 16, 16);  // [16, 32]
  ASSERT_EQ(band.sides.size(), 2u);
  EXPECT_EQ(band.sides[0].from, &v[1]);
  band.Prepare();
  EXPECT_FALSE(band.sides[1].down);
  double x = 0;
  EXPECT_TRUE(band.CrossingX(1, 20, x));  // slope 0, x stays 5
  EXPECT_DOUBLE_EQ(x, 5);
  EXPECT_FALSE(band.CrossingX(0, 16, x));  // 16.0012 lies below the edge's end at 16
}

}  // namespace
}  // namespace pavo

// The painting primitives in both draw modes, with the rectangles they add to dabRect.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "brush/MangaBrush.h"
#include "imaging/DiscFill.h"

namespace pavo {
namespace {

constexpr uint32_t kRed = 0xffff0000;
constexpr uint32_t kBlack = 0xff000000;

class DabShapesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas.Resize(64, 64));
    ASSERT_TRUE(base.Resize(64, 64));
    ASSERT_TRUE(stroke.Resize(64, 64));
    brush.SetLayers(&canvas, &base, &stroke, nullptr);
    // What a script load makes for a bound brush: the canvas-sized scratch layer.
    brush.work8 = std::make_unique<CImageTile8>();
    ASSERT_TRUE(brush.work8->Resize(64, 64));
    drawMode = 0;
  }
  void TearDown() override { drawMode = 0; }

  bool ScratchEmpty() const {
    for (const auto& tile : brush.work8->tiles)
      if (tile) return false;
    return true;
  }
  int CountCanvas() const {
    int n = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) n += canvas.GetPixel(x, y) != 0;
    return n;
  }

  CImageTile32 canvas, base;
  CImageTile8 stroke;
  CMangaBrush brush;
};

TEST_F(DabShapesTest, RectInCanvasModeIsExact) {
  brush.PaintRect(10, 10, 5, 5, kRed, 255);
  for (int y = 8; y < 17; ++y)
    for (int x = 8; x < 17; ++x) {
      const bool inside = x >= 10 && x < 15 && y >= 10 && y < 15;
      EXPECT_EQ(canvas.GetPixel(x, y), inside ? kRed : 0u) << x << "," << y;
    }
  EXPECT_EQ(brush.dabRect, NRECT(10, 10, 5, 5));
  // Half strength over transparent: alpha floor(255 * 128 / 255) = 128.
  brush.PaintRect(20, 20, 1, 1, kRed, 128);
  EXPECT_EQ(canvas.GetPixel(20, 20), 0x80ff0000u);
  EXPECT_EQ(brush.dabRect, NRECT(10, 10, 11, 11));
  EXPECT_EQ(stroke.GetPixel(12, 12), 0);
}

TEST_F(DabShapesTest, CoverageModeKeepsTheMaximum) {
  drawMode = 1;
  brush.PaintRect(10, 10, 5, 5, kRed, 128);
  brush.PaintRect(10, 10, 5, 5, kRed, 128);
  EXPECT_EQ(stroke.GetPixel(10, 10), 128);  // maximum, not sum
  EXPECT_EQ(stroke.GetPixel(14, 14), 128);
  EXPECT_EQ(stroke.GetPixel(15, 14), 0);
  EXPECT_EQ(CountCanvas(), 0);  // the canvas waits for the merge
  EXPECT_TRUE(ScratchEmpty());

  // A disc at 200 (its centre pixel (40, 40) is fully covered: 255 * 200 / 255), then a
  // rectangle at 100 over it and beside it.
  brush.PaintDisc(40.5, 40.5, 6.0, kRed, 200, false, 1.0);
  EXPECT_EQ(stroke.GetPixel(40, 40), 200);
  brush.PaintRect(38, 38, 20, 5, kRed, 100);
  EXPECT_EQ(stroke.GetPixel(40, 40), 200);
  EXPECT_EQ(stroke.GetPixel(55, 40), 100);
  EXPECT_TRUE(ScratchEmpty());
  EXPECT_EQ(CountCanvas(), 0);
}

// Vertices (0.5, 0.5), (10.7, 0.5), (10.7, 9.9): B = (0, 0, 11, 10), inflated by 2.
TEST_F(DabShapesTest, PolygonRectangleInEveryMode) {
  const TPolygon triangle = {{0.5, 0.5}, {10.7, 0.5}, {10.7, 9.9}};
  for (int mode : {0, 1}) {
    drawMode = mode;
    brush.dabRect = NRECT();
    brush.FillShape(triangle, kBlack, 255);
    EXPECT_EQ(brush.dabRect, NRECT(-2, -2, 15, 14)) << mode;
  }
  // Pixel (9, 2) lies wholly inside (the long edge is at y 8.8 there); (1, 8) wholly outside.
  EXPECT_EQ(canvas.GetPixel(9, 2), kBlack);
  EXPECT_EQ(canvas.GetPixel(1, 8), 0u);
  EXPECT_EQ(stroke.GetPixel(9, 2), 255);
  EXPECT_EQ(stroke.GetPixel(1, 8), 0);
  EXPECT_TRUE(ScratchEmpty());

  CMangaBrush unbound;  // as during discovery: paints nothing, still reports
  unbound.FillShape(triangle, kBlack, 255);
  EXPECT_EQ(unbound.dabRect, NRECT(-2, -2, 15, 14));

  // Negative vertices truncate toward zero: -3.7 gives -3 and -0.5 gives 0 (floor would give
  // -4 and -1). B = columns -3 .. 4, rows 0 .. 5 = (-3, 0, 8, 6).
  brush.dabRect = NRECT();
  brush.FillShape({{-3.7, -0.5}, {4.2, 1.0}, {0.0, 5.9}}, kBlack, 255);
  EXPECT_EQ(brush.dabRect, NRECT(-5, -2, 12, 10));
  brush.dabRect = NRECT();
  brush.FillShape({}, kBlack, 255);  // no vertices: nothing to add
  EXPECT_TRUE(brush.dabRect.IsEmpty());
}

// Even-odd over all contours; the rectangle covers the vertices of every contour.
TEST_F(DabShapesTest, PathOfTwoContours) {
  const TContours rings = {{{10, 10}, {30, 10}, {30, 30}, {10, 30}},
                           {{15, 15}, {25, 15}, {25, 25}, {15, 25}}};
  for (int mode : {0, 1}) {
    drawMode = mode;
    brush.dabRect = NRECT();
    brush.FillPath(rings, kBlack, 255);
    EXPECT_EQ(brush.dabRect, NRECT(8, 8, 25, 25)) << mode;
  }
  EXPECT_EQ(canvas.GetPixel(12, 12), kBlack);
  EXPECT_EQ(canvas.GetPixel(20, 20), 0u);  // the hole
  EXPECT_EQ(stroke.GetPixel(12, 12), 255);
  EXPECT_EQ(stroke.GetPixel(20, 20), 0);
  EXPECT_TRUE(ScratchEmpty());
}

TEST_F(DabShapesTest, PixelWritesAndReads) {
  brush.PaintPixel(3, 4, 0x110, 0x20, 0x30, 255);  // low 8 bits of each component
  EXPECT_EQ(brush.ReadPixel(3, 4), 0xff102030u);
  EXPECT_EQ(brush.ReadPixelAlpha(3, 4), 255u);
  brush.PaintPixel(7, 7, 0, 0, 0, 0);  // opacity 0: nothing but the rectangle
  EXPECT_EQ(brush.ReadPixel(7, 7), 0u);
  EXPECT_EQ(brush.dabRect, NRECT(3, 4, 5, 4));
  EXPECT_EQ(brush.ReadPixel(-1, 5), 0u);
  EXPECT_EQ(brush.ReadPixel(64, 5), 0u);
  brush.PaintPixel(9, 9, 0, 0, 0, 255);
  EXPECT_EQ(brush.ReadPixel(9, 9), kBlack);

  drawMode = 1;
  brush.PaintPixel(20, 20, 255, 0, 0, 128);
  brush.PaintPixel(20, 20, 255, 0, 0, 128);
  EXPECT_EQ(stroke.GetPixel(20, 20), 128);
  brush.PaintPixel(20, 20, 255, 0, 0, 100);  // lower: kept at 128
  EXPECT_EQ(stroke.GetPixel(20, 20), 128);
  brush.PaintPixel(21, 20, 255, 0, 0, 0);
  EXPECT_EQ(stroke.GetPixel(21, 20), 0);
  EXPECT_EQ(brush.ReadPixel(20, 20), 0u);  // reads see the canvas only
  EXPECT_EQ(brush.dabRect, NRECT(3, 4, 19, 17));

  CMangaBrush unbound;
  unbound.PaintPixel(5, 5, 0, 0, 0, 255);
  EXPECT_EQ(unbound.ReadPixel(5, 5), 0u);
  EXPECT_EQ(unbound.dabRect, NRECT(5, 5, 1, 1));
}

// Mode-1 shapes without a scratch layer (a brush that was not bound when its script loaded)
// paint nothing but still report their rectangles.
TEST_F(DabShapesTest, CoverageWithoutScratchLayerPaintsNothing) {
  brush.work8.reset();
  drawMode = 1;
  brush.PaintRect(10, 10, 5, 5, kRed, 255);
  brush.FillShape({{0.5, 0.5}, {10.7, 0.5}, {10.7, 9.9}}, kRed, 255);
  EXPECT_EQ(stroke.GetPixel(12, 12), 0);
  EXPECT_EQ(stroke.GetPixel(9, 2), 0);
  EXPECT_EQ(brush.dabRect, NRECT(-2, -2, 17, 17));
}

// The disc rectangle is (trunc(cx - r - 1), trunc(cy - r - 1), trunc(2r + 2) square), also for
// radii the fill refuses.
TEST_F(DabShapesTest, DiscRectangle) {
  struct Case {
    double cx, cy, r;
    NRECT expected;
  } cases[] = {
      {20.5, 30.5, 5.0, {14, 24, 12, 12}},
      {20.5, 30.5, 0.0, {19, 29, 2, 2}},  // nothing painted
      {20.5, 30.5, 2500.0, {-2480, -2470, 5002, 5002}},
      {-3.5, 4.0, 1.0, {-5, 2, 4, 4}},  // -5.5 truncates to -5
  };
  for (const Case& c : cases) {
    CMangaBrush unbound;
    unbound.PaintDisc(c.cx, c.cy, c.r, kRed, 255, false, 1.0);
    EXPECT_EQ(unbound.dabRect, c.expected) << c.cx << " " << c.r;
  }
  brush.PaintDisc(20.5, 30.5, 2500.0, kRed, 255, false, 1.0);
  EXPECT_EQ(CountCanvas(), 0);
}

// A script disc is the disc fill with sampling grid g(r) (9 below radius 2, 7 below 3, 5
// below 5, then 4) and steps 1. The expected image is the fill with that grid; the test also
// makes sure a neighbouring grid would have looked different.
TEST_F(DabShapesTest, DiscGridFollowsTheRadius) {
  struct Case {
    double r;
    int grid;
    int otherGrid;
  } cases[] = {{1.5, 9, 7}, {1.99, 9, 7}, {2.0, 7, 9}, {2.5, 7, 5},
               {3.0, 5, 7}, {4.0, 5, 4},  {5.0, 4, 5}, {10.0, 4, 5}};
  const double cx = 30.3, cy = 31.7;
  for (const Case& c : cases) {
    for (int mode : {0, 1}) {
      CImageTile32 painted;
      CImageTile8 coverage;
      ASSERT_TRUE(painted.Resize(64, 64));
      ASSERT_TRUE(coverage.Resize(64, 64));
      brush.SetLayers(&painted, &base, &coverage, nullptr);
      drawMode = mode;
      brush.PaintDisc(cx, cy, c.r, kRed, 255, false, 1.0);

      CImageTile32 expected32, other32;
      CImageTile8 expected8, other8;
      ASSERT_TRUE(expected32.Resize(64, 64) && other32.Resize(64, 64));
      ASSERT_TRUE(expected8.Resize(64, 64) && other8.Resize(64, 64));
      TDiscInfo info;
      info.colour = kRed;
      info.grid = c.grid;
      info.maxMode = mode == 1;
      TDiscInfo other = info;
      other.grid = c.otherGrid;
      if (mode == 0) {
        FillDiscRows(expected32, cx, cy, c.r, info);
        FillDiscRows(other32, cx, cy, c.r, other);
      } else {
        FillDiscRows(expected8, cx, cy, c.r, info);
        FillDiscRows(other8, cx, cy, c.r, other);
      }
      bool same = true, differs = false;
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
          if (mode == 0) {
            same = same && painted.GetPixel(x, y) == expected32.GetPixel(x, y);
            differs = differs || other32.GetPixel(x, y) != expected32.GetPixel(x, y);
          } else {
            same = same && coverage.GetPixel(x, y) == expected8.GetPixel(x, y);
            differs = differs || other8.GetPixel(x, y) != expected8.GetPixel(x, y);
          }
        }
      EXPECT_TRUE(same) << "r " << c.r << " mode " << mode;
      EXPECT_TRUE(differs) << "r " << c.r << " cannot tell grid " << c.grid << " from "
                           << c.otherGrid;
    }
  }
}

// The circular dab of the plain brush: rectangle (trunc(x - r - 2), trunc(y - r - 2),
// trunc(2r + 4) square) into the dab state, full coverage in the stroke layer.
TEST_F(DabShapesTest, CircularDabRectangleAndCoverage) {
  struct Case {
    double x, y, r;
    NRECT expected;
  } cases[] = {
      {20.5, 30.5, 5.0, {13, 23, 14, 14}},
      {20.5, 30.5, 0.1, {18, 28, 4, 4}},
      {-3.7, 10.0, 1.0, {-6, 7, 6, 6}},  // -6.7 truncates to -6
  };
  TStrokeOptions options;
  for (const Case& c : cases) {
    TDabState dab;
    dab.options = &options;
    dab.x = c.x;
    dab.y = c.y;
    dab.halfWidth = c.r;
    bool drawn = false;
    brush.PaintCircularDab(dab, 1.0, drawn);
    EXPECT_TRUE(drawn);
    EXPECT_EQ(dab.rect, c.expected) << c.r;
  }
  EXPECT_EQ(stroke.GetPixel(20, 30), 255);  // centre pixel of the radius-5 dab
  EXPECT_EQ(stroke.GetPixel(27, 30), 0);
  EXPECT_EQ(CountCanvas(), 0);  // coverage only

  // Once a dab has been drawn, a move below 0.1 radius paints nothing.
  brush.firstDabPending = false;
  TDabState dab;
  dab.options = &options;
  dab.x = 50.5;
  dab.y = 50.5;
  dab.halfWidth = 5.0;
  bool drawn = false;
  brush.PaintCircularDab(dab, 0.099, drawn);
  EXPECT_FALSE(drawn);
  EXPECT_TRUE(dab.rect.IsEmpty());
  EXPECT_EQ(stroke.GetPixel(50, 50), 0);
  brush.PaintCircularDab(dab, 0.1, drawn);
  EXPECT_TRUE(drawn);
  EXPECT_EQ(stroke.GetPixel(50, 50), 255);
}

// Coordinates beyond any layer: NaN or infinite positions add no rectangle and paint nothing;
// huge finite ones are held at +-2^28 so that unions cannot wrap.
TEST_F(DabShapesTest, NonFiniteAndHugeCoordinates) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  brush.PaintDisc(nan, 5.0, 3.0, kRed, 255, false, 1.0);
  brush.PaintDisc(5.0, 5.0, inf, kRed, 255, false, 1.0);
  EXPECT_TRUE(brush.dabRect.IsEmpty());
  brush.FillShape({{nan, 1.0}, {20.0, 1.0}, {20.0, 20.0}}, kRed, 255);
  EXPECT_EQ(brush.dabRect, NRECT(18, -1, 5, 24));  // the two finite vertices only
  EXPECT_EQ(CountCanvas(), 0);

  constexpr int32_t kLimit = 1 << 28;
  brush.dabRect = NRECT();
  brush.PaintDisc(0.0, 0.0, 1e300, kRed, 255, false, 1.0);
  EXPECT_EQ(brush.dabRect, NRECT(-kLimit, -kLimit, kLimit, kLimit));
  brush.dabRect = NRECT();
  brush.PaintRect(INT32_MAX - 5, 0, 100, 2, kRed, 255);
  EXPECT_EQ(brush.dabRect, NRECT(kLimit, 0, 0, 2));
  brush.PaintRect(10, 10, 2, 2, kRed, 255);  // ordinary rectangles are unaffected
  EXPECT_EQ(canvas.GetPixel(11, 11), kRed);

  TStrokeOptions options;
  TDabState dab;
  dab.options = &options;
  dab.x = nan;
  dab.y = 10.0;
  dab.halfWidth = 5.0;
  bool drawn = false;
  brush.PaintCircularDab(dab, 1.0, drawn);
  EXPECT_TRUE(dab.rect.IsEmpty());
}

}  // namespace
}  // namespace pavo

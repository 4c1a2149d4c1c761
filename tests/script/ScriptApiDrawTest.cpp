// The drawing functions on a brush bound to 64 x 48 layers, in both draw modes.
#include <gtest/gtest.h>

#include <string>

#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

class ScriptDraw : public ::testing::Test {
 protected:
  TBoundBrush b{64, 48, ""};

  void SetUp() override {
    LoadScript(b.brush, b.stroke);  // empty path: a state with the functions, nothing loaded
    ASSERT_NE(b.brush.lua, nullptr);
    b.brush.antiAlias = true;
    b.brush.dabRect = NRECT();
  }
  // Runs a snippet with dabRect emptied first, as every dab does.
  std::vector<double> Draw(const std::string& snippet) {
    b.brush.dabRect = NRECT();
    return Eval(b.brush, snippet);
  }
  uint32_t Canvas(int32_t x, int32_t y) const { return b.canvas.GetPixel(x, y); }
  uint32_t Coverage(int32_t x, int32_t y) const { return b.strokeLayer.GetPixel(x, y); }
};

TEST_F(ScriptDraw, RectPaintsWholePixelsIntoTheCanvas) {
  Draw("bs_rect(10, 10, 5, 5, 255, 0, 0, 255)");
  EXPECT_EQ(b.brush.dabRect, NRECT(10, 10, 5, 5));
  for (int32_t y = 8; y < 17; ++y) {
    for (int32_t x = 8; x < 17; ++x) {
      const bool inside = x >= 10 && x < 15 && y >= 10 && y < 15;
      EXPECT_EQ(Canvas(x, y), inside ? 0xFFFF0000u : 0u) << x << "," << y;
    }
  }
  EXPECT_EQ(Coverage(12, 12), 0u);
  const std::vector<double> px = Draw("return bs_pixel_get(12, 12)");
  EXPECT_EQ(px, (std::vector<double>{255, 0, 0, 255}));
  EXPECT_EQ(Draw("return bs_pixel_get_alpha(14, 14)"), std::vector<double>{255});
  EXPECT_EQ(Draw("return bs_pixel_get(15, 14)"), (std::vector<double>{0, 0, 0, 0}));
}

// Colour components and opacity use their low 8 bits after rounding halves to even. Opacity
// 256 is 0: nothing visible, alpha stays 0 (the span fill still stores the colour bits into
// an empty pixel).
TEST_F(ScriptDraw, ColourAndOpacityWrap) {
  const struct {
    const char* args;  // r, g, b, a
    uint32_t pixel;
  } cases[] = {
      {"256, 0, 0, 255", 0xFF000000},   {"-1, 0, 0, 255", 0xFFFF0000},
      {"0, 0, 255, 256", 0x000000FF},   {"0, 0, 255, -1", 0xFF0000FF},
      {"255.5, 0, 0, 255", 0xFF000000}, {"254.5, 0, 0, 255", 0xFFFE0000},
      {"1, 2, 3, 511", 0xFF010203},     {"'16', 32, 48, 255", 0xFF102030},
  };
  int32_t x = 0;
  for (const auto& c : cases) {
    Draw("bs_rect(" + std::to_string(x) + ", 0, 1, 1, " + c.args + ")");
    EXPECT_EQ(Canvas(x, 0), c.pixel) << c.args;
    x += 2;
  }
}

TEST_F(ScriptDraw, IntegerPositionsRoundHalvesToEven) {
  Draw("bs_rect(2.5, 0, 1, 1, 0, 0, 0, 255) bs_rect(3.5, 2, 1.5, 1, 0, 0, 0, 255)");
  EXPECT_NE(Canvas(2, 0), 0u);
  EXPECT_EQ(Canvas(3, 0), 0u);
  EXPECT_EQ(Canvas(3, 2), 0u);
  EXPECT_NE(Canvas(4, 2), 0u);  // x 3.5 -> 4, width 1.5 -> 2
  EXPECT_NE(Canvas(5, 2), 0u);
  EXPECT_EQ(Canvas(6, 2), 0u);
}

TEST_F(ScriptDraw, ModeOneKeepsTheLargerCoverageAndLeavesTheCanvas) {
  Draw("bs_setmode(1) bs_rect(10, 10, 5, 5, 255, 0, 0, 128) bs_rect(10, 10, 5, 5, 0, 0, 0, 128)");
  EXPECT_EQ(drawMode, 1);
  EXPECT_EQ(Coverage(12, 12), 128u);
  EXPECT_EQ(Canvas(12, 12), 0u);
  EXPECT_EQ(Draw("return bs_pixel_get_alpha(12, 12)"), std::vector<double>{0});
  Draw("bs_setmode(2)");
  EXPECT_EQ(drawMode, 1);
  Draw("bs_rect(12, 12, 5, 5, 0, 0, 0, 100)");
  EXPECT_EQ(Coverage(13, 13), 128u);  // maximum, not sum
  EXPECT_EQ(Coverage(16, 16), 100u);
  Draw("bs_setmode(0.4)");  // rounds to 0
  EXPECT_EQ(drawMode, 0);
}

// Opacity 0 or below paints nothing; above 0 its low 8 bits paint. Mode 0: onto a
// transparent pixel alpha = floor(255 (f + 1) / 256), so 300 (f = 44) gives 44.
TEST_F(ScriptDraw, PixelSetOpacityRules) {
  Draw("bs_pixel_set(3, 4, 0, 255, 0, 0)");
  EXPECT_EQ(Canvas(3, 4), 0u);
  EXPECT_EQ(b.brush.dabRect, NRECT(3, 4, 1, 1));
  Draw("bs_pixel_set(3, 4, 0, 255, 0, -5)");
  EXPECT_EQ(Canvas(3, 4), 0u);
  Draw("bs_pixel_set(3, 4, 0, 255, 0, 255) bs_pixel_set(5, 4, 0, 255, 0, 300)");
  EXPECT_EQ(Canvas(3, 4), 0xFF00FF00u);
  EXPECT_EQ(Canvas(5, 4), 0x2C00FF00u);
  EXPECT_EQ(b.brush.dabRect, NRECT(3, 4, 3, 1));
  Draw("bs_pixel_set(-1, 0, 0, 0, 0, 255)");  // outside: nothing, but the area is counted
  EXPECT_EQ(b.brush.dabRect, NRECT(-1, 0, 1, 1));

  // Mode 1 raises the stroke pixel to a when below it; a is stored as its low 8 bits.
  Draw("bs_setmode(1) bs_pixel_set(7, 7, 0, 0, 0, 300)");
  EXPECT_EQ(Coverage(7, 7), 44u);
  Draw("bs_pixel_set(7, 7, 0, 0, 0, 100) bs_pixel_set(7, 7, 0, 0, 0, 50)");
  EXPECT_EQ(Coverage(7, 7), 100u);
  EXPECT_EQ(Canvas(7, 7), 0u);
}

// A circle is a disc: rectangle (trunc(cx - r - 1), trunc(cy - r - 1), trunc(2r + 2)) with
// r = w / 2. Anything else is the ellipse polygon: its vertex box inflated by 2.
TEST_F(ScriptDraw, EllipseIsADiscOnlyForCirclesUpTo2000) {
  Draw("bs_ellipse(50.5, 60.5, 100, 100, 0, 0, 0, 0, 255)");
  EXPECT_EQ(b.brush.dabRect, NRECT(0, 9, 102, 102));  // r = 50: trunc(-0.5), trunc(9.5)
  Draw("bs_ellipse(20, 20, 40, 40, 1.3, 0, 0, 0, 255)");
  EXPECT_EQ(b.brush.dabRect, NRECT(-1, -1, 42, 42));  // the angle plays no part
  EXPECT_EQ(Canvas(20, 20), 0xFF000000u);
  // 40 x 41: 32 vertices, x from 30 to 70, y from 29.5 to 70.5 -> box (30, 29, 41, 42).
  Draw("bs_ellipse(50, 50, 40, 41, 0, 0, 0, 0, 255)");
  EXPECT_EQ(b.brush.dabRect, NRECT(28, 27, 45, 46));
  // 2001 x 2001 at (50, 50): 512 vertices from -950.5 to 1050.5 -> box (-950, -950, 2001).
  Draw("bs_ellipse(50, 50, 2001, 2001, 0, 0, 0, 0, 255)");
  EXPECT_EQ(b.brush.dabRect, NRECT(-952, -952, 2005, 2005));
  EXPECT_EQ(Canvas(63, 47), 0xFF000000u);
}

TEST_F(ScriptDraw, AirIsASoftDisc) {
  Draw("bs_air(30, 20, 20, 2, 0, 0, 255, 255)");
  EXPECT_EQ(b.brush.dabRect, NRECT(19, 9, 22, 22));  // r = 10
  const uint32_t centre = Canvas(30, 20) >> 24;
  const uint32_t rim = Canvas(37, 20) >> 24;
  EXPECT_GT(centre, 0u);
  EXPECT_GT(centre, rim);
  EXPECT_EQ(Canvas(30, 20) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(ScriptDraw, PolygonBuilders) {
  const struct {
    const char* snippet;
    std::vector<double> box;
  } cases[] = {
      {"return bs_polygon_region()", {0, 0, -1, -1}},
      {"bs_polygon(3, 4) return bs_polygon_region()", {3, 4, 0, 0}},
      {"bs_polygon(1, 2) bs_polygon(5, -1) return bs_polygon_region()", {1, -1, 4, 3}},
      {"bs_polygon(0, 0) bs_polygon(4, 0) bs_polygon(4, 2) bs_polygon_move_center() "
       "return bs_polygon_region()",
       {-8.0 / 3, -2.0 / 3, 4, 2}},
      {"bs_polygon(1, 1) bs_polygon(2, 3) bs_polygon_move(10, -1) return bs_polygon_region()",
       {11, 0, 1, 2}},
      {"bs_polygon(1, 1) bs_polygon(2, 3) bs_polygon_mul(2, -1) return bs_polygon_region()",
       {2, -3, 2, 2}},
      {"bs_polygon(2, 0) bs_polygon_rotate(math.pi / 2) return bs_polygon_region()", {0, 2, 0, 0}},
      {"bs_polygon_move_center() return bs_polygon_region()", {0, 0, -1, -1}},
  };
  for (const auto& c : cases) {
    Draw("bs_polygon_clear()");
    const std::vector<double> got = Draw(c.snippet);
    ASSERT_EQ(got.size(), 4u) << c.snippet;
    for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(got[k], c.box[k], 1e-12) << c.snippet;
  }
  // Centring moves the mean point to the origin: (-8/3, -2/3), (4/3, -2/3), (4/3, 4/3).
  Draw(
      "bs_polygon_clear() bs_polygon(0, 0) bs_polygon(4, 0) bs_polygon(4, 2) "
      "bs_polygon_move_center()");
  ASSERT_EQ(b.brush.polygon.size(), 3u);
  EXPECT_NEAR(b.brush.polygon[1].x, 4.0 / 3, 1e-12);
  EXPECT_NEAR(b.brush.polygon[2].y, 4.0 / 3, 1e-12);
  EXPECT_EQ(b.brush.dabRect, NRECT());  // building touches no pixels
}

TEST_F(ScriptDraw, FillPaintsThePolygonKeptAcrossCallsThenEmptiesIt) {
  Draw("bs_polygon(10, 10) bs_polygon(20, 10)");
  Draw("bs_polygon(20, 20) bs_polygon(10, 20) bs_fill(0, 0, 255, 255)");
  EXPECT_EQ(Canvas(15, 15), 0xFF0000FFu);
  EXPECT_EQ(Canvas(25, 15), 0u);
  EXPECT_EQ(b.brush.dabRect, NRECT(8, 8, 15, 15));  // box (10, 10, 11, 11) inflated by 2
  EXPECT_TRUE(b.brush.polygon.empty());
  Draw("bs_fill(255, 0, 0, 255)");  // nothing built: nothing painted
  EXPECT_EQ(b.brush.dabRect, NRECT());
  EXPECT_EQ(Canvas(15, 15), 0xFF0000FFu);
}

TEST_F(ScriptDraw, FillPaintsPolygonAndPathOneAfterTheOther) {
  Draw(
      "bs_polygon(0, 0) bs_polygon(20, 0) bs_polygon(20, 20) bs_polygon(0, 20) "
      "bs_bezier_begin(10, 10) bs_bezier_l(30, 10) bs_bezier_l(30, 30) bs_bezier_l(10, 30) "
      "bs_fill(0, 0, 0, 128)");
  const uint32_t once = Canvas(5, 5) >> 24;
  const uint32_t twice = Canvas(15, 15) >> 24;
  EXPECT_GT(once, 0u);
  EXPECT_EQ(Canvas(25, 25) >> 24, once);
  EXPECT_GT(twice, once);
  EXPECT_EQ(Draw("return bs_bezier_region()"), (std::vector<double>{0, 0, -1, -1}));
}

// With contour starts every contour is filled together by the even-odd rule, so an inner
// square is a hole; without them the outline is one polygon.
TEST_F(ScriptDraw, PathContoursFillEvenOdd) {
  Draw(
      "bs_bezier_m(0, 0) bs_bezier_l(40, 0) bs_bezier_l(40, 40) bs_bezier_l(0, 40) "
      "bs_bezier_m(10, 10) bs_bezier_l(30, 10) bs_bezier_l(30, 30) bs_bezier_l(10, 30) "
      "bs_fill(0, 0, 0, 255)");
  EXPECT_EQ(Canvas(5, 5), 0xFF000000u);
  EXPECT_EQ(Canvas(20, 20), 0u);
  EXPECT_EQ(b.brush.dabRect, NRECT(-2, -2, 45, 45));
  Draw(
      "bs_bezier_begin(50, 5) bs_bezier_l(60, 5) bs_bezier_l(60, 15) bs_bezier_l(50, 15) "
      "bs_fill(0, 0, 0, 255)");
  EXPECT_EQ(Canvas(55, 10), 0xFF000000u);
  EXPECT_EQ(b.brush.dabRect, NRECT(48, 3, 15, 15));
}

TEST_F(ScriptDraw, BezierRegionIsTheBoxOfTheControlPoints) {
  const std::vector<double> box =
      Draw("bs_bezier_begin(0, 0) bs_bezier_c(10, -5, 20, 5, 30, 0) return bs_bezier_region()");
  EXPECT_EQ(box, (std::vector<double>{0, -5, 30, 10}));
  Draw("bs_bezier_clear()");
  EXPECT_EQ(b.brush.path.Count(), 0u);
}

}  // namespace
}  // namespace pavo::test

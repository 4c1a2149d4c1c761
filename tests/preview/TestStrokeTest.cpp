// The preview of the test stroke, pixel by pixel. Scripts are written to a temporary file so
// that each test shows the brush it paints with.
#include "preview/TestStroke.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "brush/BrushInfo.h"
#include "imaging/Image.h"
#include "tests/preview/PreviewTestSupport.h"

namespace {

using pavo::CBrushInfo;
using pavo::CImage32;
using pavo::DrawTestStroke;
using pavo::TStrokePoint;

constexpr uint32_t kWhite = 0xffffffff;
constexpr uint32_t kGrey = 0xffe8e8e8;
constexpr uint32_t kBlack = 0xff000000;
constexpr uint32_t kRed = 0xffff0000;

// The empty preview: white where bit 2 of x equals bit 2 of y, light grey elsewhere.
uint32_t Checker(int32_t x, int32_t y) { return ((x >> 2) & 1) == ((y >> 2) & 1) ? kWhite : kGrey; }

class TestStrokeFixture : public preview_test::CFolderTest {
 protected:
  // A script brush reading the given source, as the window leaves it after a drop: type 11,
  // the path set, the size slider's width.
  CBrushInfo ScriptBrush(const std::string& source, double width = 15.0) {
    CBrushInfo info;
    info.SetType(11);
    info.scriptPath = Script(source);
    info.width = width;
    return info;
  }
};

bool SameImage(const CImage32& a, const CImage32& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int32_t y = 0; y < a.height; ++y) {
    for (int32_t x = 0; x < a.width; ++x) {
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    }
  }
  return true;
}

bool IsPlainChecker(const CImage32& image) {
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      if (image.GetPixel(x, y) != Checker(x, y)) return false;
    }
  }
  return true;
}

TEST(TestStrokePoints, LayoutFollowsThePreviewSize) {
  struct Case {
    int32_t w, h;
    double x[4], y[4];
  };
  // M = h / 2 and A = h / 4 by integer division; the third point sits A / 2 (truncated) below.
  const Case cases[] = {
      // 492 x 296: M 148, A 74, third point 148 + 37.
      {492, 296, {24.6, 196.8, 369.0, 492.0}, {148, 74, 185, 148}},
      // height 3: M 1, A 0, every point on row 1.
      {20, 3, {1.0, 8.0, 15.0, 20.0}, {1, 1, 1, 1}},
      // height 150: M 75, A 37 (odd), third point 75 + 18, not 75 + 18.5.
      {100, 150, {5.0, 40.0, 75.0, 100.0}, {75, 38, 93, 75}},
      // height 1: M 0, A 0.
      {1, 1, {0.05, 0.4, 0.75, 1.0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TStrokePoint points[4];
    pavo::TestStrokePoints(c.w, c.h, points);
    const double pressures[4] = {0.0, 0.6, 1.0, 0.0};
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " point " +
                   std::to_string(i + 1));
      EXPECT_DOUBLE_EQ(points[i].x, c.x[i]);
      EXPECT_EQ(points[i].y, c.y[i]);
      EXPECT_EQ(points[i].pressure, pressures[i]);
      EXPECT_EQ(points[i].time, 0u);
    }
  }
}

TEST_F(TestStrokeFixture, ScriptThatDrawsNothingLeavesThePlainCheckerboard) {
  CBrushInfo info = ScriptBrush("function main(x, y, p) end\nfunction last(x, y, p) end\n");
  CImage32 image(492, 296);
  image.Fill(0xff123456);  // stale content must be replaced everywhere
  DrawTestStroke(info, image, 0);
  EXPECT_EQ(image.GetPixel(0, 0), kWhite);
  EXPECT_EQ(image.GetPixel(3, 0), kWhite);
  EXPECT_EQ(image.GetPixel(4, 0), kGrey);
  EXPECT_EQ(image.GetPixel(0, 4), kGrey);
  EXPECT_EQ(image.GetPixel(4, 4), kWhite);
  EXPECT_EQ(image.GetPixel(491, 295), Checker(491, 295));
  EXPECT_TRUE(IsPlainChecker(image));
}

TEST_F(TestStrokeFixture, DrawModeOneCoverageOverWhiteAndGreyCells) {
  // Two writes of 128 at one pixel keep 128 in the stroke layer (maximum, not sum). The merge
  // makes the transparent canvas pixel black with alpha 128; composited in mode 28 over an
  // opaque cell, h = 128 * 255 / 255 = 128 and each channel is floor(c * 127 / 255):
  // white 255 -> 127, grey 232 -> floor(29464 / 255) = 115. Full coverage gives plain black.
  CBrushInfo info = ScriptBrush(
      "bs_setmode(1)\n"
      "function main(x, y, p)\n"
      "  bs_pixel_set(10, 10, 0, 0, 0, 128)\n"  // bit 2 of 10 is 0 in x and y: white cell
      "  bs_pixel_set(10, 10, 0, 0, 0, 128)\n"
      "  bs_pixel_set(4, 10, 255, 0, 0, 128)\n"  // bit 2 of x 4 is 1, of y 10 is 0: grey
      "  bs_pixel_set(12, 20, 0, 0, 0, 255)\n"
      "end\n");
  CImage32 image(492, 296);
  DrawTestStroke(info, image, 0);
  EXPECT_EQ(image.GetPixel(10, 10), 0xff7f7f7fu);
  EXPECT_EQ(image.GetPixel(4, 10), 0xff737373u);  // the colour argument is ignored in mode 1
  EXPECT_EQ(image.GetPixel(12, 20), kBlack);
  EXPECT_EQ(image.GetPixel(11, 10), Checker(11, 10));
}

TEST_F(TestStrokeFixture, ScriptThatFailsToLoadShowsARedCrossAtTheFirstPoint) {
  // The first dab is at (24.6, 148) with a half width below 20, so D = 20: two bands 5.7
  // pixels wide crossing at the point, reaching 0.5 D = 10 pixels out along each diagonal.
  CBrushInfo info = ScriptBrush("this is not a brush script\n");
  CImage32 image(492, 296);
  DrawTestStroke(info, image, 0);
  EXPECT_EQ(image.GetPixel(24, 148), kRed);
  EXPECT_EQ(image.GetPixel(20, 152), kRed);  // on the band from upper right to lower left
  EXPECT_EQ(image.GetPixel(28, 152), kRed);  // on the other band
  EXPECT_EQ(image.GetPixel(24, 140), Checker(24, 140));  // between the arms
  EXPECT_EQ(image.GetPixel(24, 100), Checker(24, 100));  // well above the stroke
  EXPECT_EQ(image.GetPixel(0, 0), kWhite);
}

TEST_F(TestStrokeFixture, CanvasAndLastPointReachTheScript) {
  // last is called once with the stroke's end, x = W, y = M, p = 0, and paints in mode 0
  // straight into the canvas; the canvas the script sees is the preview at 150 dpi.
  CBrushInfo info = ScriptBrush(
      "function main(x, y, p) end\n"
      "function last(x, y, p)\n"
      "  if x == 492 and y == 148 and p == 0 then bs_rect(x - 10, y - 2, 5, 5, 255, 0, 0, 255) "
      "end\n"
      "  if bs_canvas_width() == 492 and bs_canvas_height() == 296 and bs_canvas_dpi() == 150 "
      "then\n"
      "    bs_rect(100, 10, 2, 2, 0, 0, 255, 255)\n"
      "  end\n"
      "end\n");
  CImage32 image(492, 296);
  DrawTestStroke(info, image, 0);
  EXPECT_EQ(image.GetPixel(482, 146), kRed);
  EXPECT_EQ(image.GetPixel(486, 150), kRed);
  EXPECT_EQ(image.GetPixel(487, 150), Checker(487, 150));
  EXPECT_EQ(image.GetPixel(101, 11), 0xff0000ffu);
}

TEST_F(TestStrokeFixture, SeedMakesTheRandomNumbersRepeatable) {
  // One opaque square at a random place per stroke.
  CBrushInfo info = ScriptBrush(
      "function main(x, y, p)\n"
      "  if not done then\n"
      "    done = true\n"
      "    bs_rect(math.random(0, 400), math.random(0, 200), 20, 20, 0, 0, 0, 255)\n"
      "    bs_rect(bs_grand(200, 80), bs_grand(100, 40), 20, 20, 0, 0, 0, 255)\n"
      "  end\n"
      "end\n");
  CImage32 first(492, 296), again(492, 296), other(492, 296);
  DrawTestStroke(info, first, 7);
  DrawTestStroke(info, again, 7);
  DrawTestStroke(info, other, 8);
  EXPECT_FALSE(IsPlainChecker(first));
  EXPECT_TRUE(SameImage(first, again));
  EXPECT_FALSE(SameImage(first, other));
}

TEST(TestStroke, PlainBrushFollowsSizeAndPressure) {
  // Type 0 paints black coverage discs. At the third point (369, 185) the pressure is 1 and
  // the radius 7.5, so the pixel is covered fully. At the first point (24.6, 148) the
  // pressure is 0: with the pressure box ticked the dab there is a speck of radius 0.1, so
  // (20, 148), 4.1 pixels from it, is untouched; unticked, the radius is 7.5 there too.
  CBrushInfo info;
  info.width = 15.0;
  CImage32 image(492, 296);
  DrawTestStroke(info, image, 0);
  EXPECT_EQ(image.GetPixel(369, 185), kBlack);
  EXPECT_EQ(image.GetPixel(20, 148), Checker(20, 148));
  EXPECT_EQ(image.GetPixel(369, 175), Checker(369, 175));  // 10 pixels off the line

  info.pressureSize = false;
  DrawTestStroke(info, image, 0);
  EXPECT_EQ(image.GetPixel(20, 148), kBlack);
  EXPECT_EQ(image.GetPixel(369, 185), kBlack);
}

TEST(TestStroke, ImageWithoutPixelsIsLeftAlone) {
  CBrushInfo info;
  CImage32 none(CImage32::TNoSize{});
  DrawTestStroke(info, none, 0);  // must neither crash nor allocate pixels for it
  EXPECT_EQ(none.pixels, nullptr);

  // The smallest preview is still painted and composited over the opaque checkerboard.
  CImage32 tiny(1, 1);
  tiny.Fill(0);
  DrawTestStroke(info, tiny, 0);
  EXPECT_EQ(tiny.GetPixel(0, 0) >> 24, 0xffu);
}

TEST_F(TestStrokeFixture, DebugTextOfTheStrokeIsHandedBack) {
  CBrushInfo info = ScriptBrush(
      "bs_debug('loaded')\n"
      "function main(x, y, p) if not done then done = true bs_debug('first') end end\n"
      "function last(x, y, p) bs_debug('end') end\n");
  CImage32 image(50, 20);
  std::string text = "stale";
  DrawTestStroke(info, image, 0, &text);
  EXPECT_EQ(text, "loaded\r\nfirst\r\nend\r\n");
}

}  // namespace

// Merging the stroke layer's coverage into the canvas over an area R.
#include <gtest/gtest.h>

#include "brush/MangaBrush.h"

namespace pavo {
namespace {

class StrokeMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas.Resize(64, 48));
    ASSERT_TRUE(base.Resize(64, 48));
    ASSERT_TRUE(stroke.Resize(64, 48));
    brush.SetLayers(&canvas, &base, &stroke, nullptr);
  }

  CImageTile32 canvas, base;
  CImageTile8 stroke;
  CMangaBrush brush;
  TStrokeOptions options;  // black paint
};

// Coverage v under paint C over a transparent canvas gives C with alpha v; over an opaque
// pixel each channel is floor((d.c (256 - v) + C.c v) / 256) at alpha 255.
TEST_F(StrokeMergeTest, PaintsForeColourThroughCoverage) {
  struct Case {
    uint32_t basePixel;
    uint8_t coverage;
    uint32_t foreColor;
    uint32_t expected;
  } cases[] = {
      {0x00000000, 128, 0xff000000, 0x80000000},  // black at alpha 128
      {0x00000000, 255, 0xff000000, 0xff000000},
      {0x00000000, 255, 0x00000000, 0xff000000},  // colour 0 paints opaque black
      // white under 128: floor(255 * 128 / 256) = 127 per channel
      {0xffffffff, 128, 0xff000000, 0xff7f7f7f},
      // red under 64 over opaque blue: red floor(255 * 64 / 256) = 63, blue 255 * 192 / 256
      // = 191
      {0xff0000ff, 64, 0xffff0000, 0xff3f00bf},
  };
  for (const Case& c : cases) {
    base.SetPixel(5, 6, c.basePixel);
    stroke.SetPixel(5, 6, c.coverage);
    options.foreColor = c.foreColor;
    MergeStrokeLayer(brush, NRECT(0, 0, 64, 48), options);
    EXPECT_EQ(canvas.GetPixel(5, 6), c.expected) << std::hex << c.basePixel << " " << c.foreColor;
  }
}

TEST_F(StrokeMergeTest, EmptyStrokeLayerRestoresBaseInsideROnly) {
  base.SetPixel(10, 10, 0xff112233);
  canvas.SetPixel(10, 10, 0xff000000);  // inside R, over a base pixel
  canvas.SetPixel(12, 11, 0xff445566);  // inside R, base transparent there
  canvas.SetPixel(30, 30, 0xff778899);  // outside R
  MergeStrokeLayer(brush, NRECT(8, 8, 8, 8), options);
  EXPECT_EQ(canvas.GetPixel(10, 10), 0xff112233u);
  EXPECT_EQ(canvas.GetPixel(12, 11), 0u);
  EXPECT_EQ(canvas.GetPixel(30, 30), 0xff778899u);
}

TEST_F(StrokeMergeTest, RepeatingTheMergeChangesNothing) {
  base.SetPixel(3, 3, 0xffffffff);
  for (int x = 0; x < 10; ++x) stroke.SetPixel(x, 3, static_cast<uint8_t>(20 * x + 10));
  const NRECT r(0, 0, 16, 8);
  MergeStrokeLayer(brush, r, options);
  uint32_t first[10];
  for (int x = 0; x < 10; ++x) first[x] = canvas.GetPixel(x, 3);
  // Black under coverage 70 over white: floor(255 * 186 / 256) = 185 per channel.
  EXPECT_EQ(first[3], 0xffb9b9b9u);
  MergeStrokeLayer(brush, r, options);
  MergeStrokeLayer(brush, r, options);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(canvas.GetPixel(x, 3), first[x]) << x;
}

// The stroke layer is addressed at canvas position + layer offset.
TEST_F(StrokeMergeTest, ReadsCoverageAtTheLayerOffset) {
  brush.SetLayerOffset(3, 2);
  stroke.SetPixel(13, 12, 255);
  MergeStrokeLayer(brush, NRECT(0, 0, 32, 32), options);
  EXPECT_EQ(canvas.GetPixel(10, 10), 0xff000000u);
  EXPECT_EQ(canvas.GetPixel(13, 12), 0u);
}

TEST_F(StrokeMergeTest, UnboundLayersMergeNothing) {
  CMangaBrush unbound;
  MergeStrokeLayer(unbound, NRECT(0, 0, 8, 8), options);  // must not touch anything
  brush.SetLayers(&canvas, nullptr, &stroke, nullptr);
  stroke.SetPixel(1, 1, 255);
  MergeStrokeLayer(brush, NRECT(0, 0, 8, 8), options);
  EXPECT_EQ(canvas.GetPixel(1, 1), 0u);
}

}  // namespace
}  // namespace pavo

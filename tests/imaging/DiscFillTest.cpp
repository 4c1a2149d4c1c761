// The disc rasteriser: radius limits, rim sampling, max mode, falloff, the threaded path.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/DiscFill.h"

namespace pavo {
namespace {

TDiscInfo MaxInfo(uint8_t opacity = 255) {
  TDiscInfo info;
  info.value = 255;
  info.opacity = opacity;
  info.maxMode = true;
  return info;
}

bool AnyTile(const CImageTile8& layer) {
  for (const auto& t : layer.tiles)
    if (t) return true;
  return false;
}

TEST(DiscFill, RadiusOutsideZeroTo2000PaintsNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct TCase {
    double cx, cy, r;
  };
  const TCase nothing[] = {{50, 50, 0},   {50, 50, -3},  {50, 50, 2000.5}, {50, 50, nan},
                           {nan, 50, 10}, {50, inf, 10}, {1e308, 50, 10},  {-1e308, -1e308, 1}};
  for (const TCase& c : nothing) {
    CImageTile8 layer;
    ASSERT_TRUE(layer.Resize(100, 100));
    EXPECT_FALSE(FillDiscRows(layer, c.cx, c.cy, c.r, MaxInfo())) << c.cx << " " << c.r;
    EXPECT_FALSE(FillDisc(layer, c.cx, c.cy, c.r, MaxInfo()));
    EXPECT_FALSE(AnyTile(layer));
  }
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(100, 100));
  EXPECT_TRUE(FillDiscRows(layer, 50, 50, 2000, MaxInfo()));
  EXPECT_EQ(layer.GetPixel(0, 0), 255);  // the whole layer lies deep inside
}

TEST(DiscFill, RimPixelsWithoutAntiAliasAreFullFromHalfTheSamples) {
  // Grid 5, steps 1: 25 samples at px = sx + 5x - trunc(5 cx), py = 5y + sy - trunc(5 cy),
  // inside when px^2 + py^2 < trunc(5 r)^2.
  // Disc (10.3, 10.6) r 4.7: grid radius 23 (529), grid centre (51, 53). Pixel (8, 6):
  // px = sx - 11, py = sy - 23. sy 4: 361 + (11 - sx)^2 < 529 for all 5; sy 3: 400 + 121 = 521
  // already for sx 0, so all 5; sy 2: (11 - sx)^2 < 88 for sx 2..4 (3); sy 1: < 45 needs
  // sx >= 5 (none); sy 0: none. 13 of 25, coverage 13 * 255 / 25 = 132.
  // It is a rim pixel: centre in eighths (82, 84), corners (-18, -36), (-10, -36), (-18, -28),
  // (-10, -28) give 1620, 1396, 1108, 884 against radiusSq8 37^2 = 1369: 2 inside.
  // Disc (20, 20) r 6: grid radius 30 (900), grid centre (100, 100). Pixel (25, 17):
  // px = 25 + sx, py = sy - 15. sx 0: 625 + (15 - sy)^2 < 900 for all 5; sx 1: 676, needs
  // 15 - sy <= 14, sy 1..4 (4); sx 2: 729, 15 - sy <= 13, sy 2..4 (3); sx 3: 784, needs
  // (15 - sy)^2 < 116, none; sx 4: none. 12 of 25, coverage 122 < 128: skipped.
  // Its corners (40, -24), (48, -24), (40, -16), (48, -16) give 2176, 2880, 1856, 2560
  // against 48^2 = 2304: 2 inside, and 2176 is not below innerSq8 32^2, so it is sampled.
  TDiscInfo info = MaxInfo();
  info.grid = 5;
  info.antiAlias = false;
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(64, 64));
  FillDiscRows(layer, 10.3, 10.6, 4.7, info);
  EXPECT_EQ(layer.GetPixel(8, 6), 255);
  FillDiscRows(layer, 20, 20, 6, info);
  EXPECT_EQ(layer.GetPixel(25, 17), 0);
  // With anti-aliasing the same pixels take count * 255 / 25.
  info.antiAlias = true;
  CImageTile8 smooth;
  ASSERT_TRUE(smooth.Resize(64, 64));
  FillDiscRows(smooth, 10.3, 10.6, 4.7, info);
  FillDiscRows(smooth, 20, 20, 6, info);
  EXPECT_EQ(smooth.GetPixel(8, 6), 13 * 255 / 25);
  EXPECT_EQ(smooth.GetPixel(25, 17), 12 * 255 / 25);
  EXPECT_EQ(smooth.GetPixel(20, 20), 255);  // inside the disc shrunk by 2: full
}

TEST(DiscFill, MaxModeKeepsTheStrongerValue) {
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(64, 64));
  FillDiscRows(layer, 32, 32, 10, MaxInfo(200));
  EXPECT_EQ(layer.GetPixel(32, 32), 200);  // maxValue = 255 * 200 / 255
  FillDiscRows(layer, 32, 32, 10, MaxInfo(100));
  EXPECT_EQ(layer.GetPixel(32, 32), 200);
  FillDiscRows(layer, 32, 32, 10, MaxInfo(230));
  EXPECT_EQ(layer.GetPixel(32, 32), 230);
}

TEST(DiscFill, FalloffPeaksAtTheCentreAndReaches46AtHalfTheRadius) {
  // r 32 at (64.5, 64.5): centre in eighths 516, radiusSq8 256^2, tableScale 128.
  // Pixel (64, 64): ex = 516 - 512 - 4 = 0, index 0, entry trunc(255 * 1 / 255 * 255) = 255.
  // Pixel (80, 64): ex = -128, d2 = 16384, index 128 * (16384 >> 8) / (65536 >> 8) = 32,
  // s = sqrt(32 / 128) = 0.5, trunc(255 exp(-0.25 / 0.14609203798392983)) = 46.
  TDiscInfo info = MaxInfo();
  info.falloff = true;
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(128, 128));
  FillDiscRows(layer, 64.5, 64.5, 32, info);
  EXPECT_EQ(layer.GetPixel(64, 64), 255);
  EXPECT_EQ(layer.GetPixel(80, 64), 46);
  EXPECT_EQ(layer.GetPixel(64 + 32, 64), 0);  // at the rim: d2 >= radiusSq8, skipped
  const std::vector<int32_t> table = BuildFalloffTable(32, 255, 1);
  EXPECT_EQ(table.size(), size_t((32 + 5) * 4));
  EXPECT_EQ(table[0], 255);
  EXPECT_EQ(table[32], 46);
  EXPECT_DOUBLE_EQ(Falloff(0, 3), 1.0);
}

TEST(DiscFill, LargeFalloffDiscIndexesItsTableWithoutOverflow) {
  // r 1500 centred at (-1099.5, 100.5): centre in eighths (-8796, 804), radiusSq8 12000^2 =
  // 144000000, tableScale 6000. Pixel (100, 100): ex = -8796 - 800 - 4 = -9600, ey = 0,
  // d2 = 92160000 (0.8 r). Index 6000 * (d2 >> 8) / (radiusSq8 >> 8) = 6000 * 360000 / 562500
  // = 3840; the product 2160000000 does not fit 32 bits. Entry 3840: s = sqrt(0.64) = 0.8,
  // trunc(255 exp(-0.64 / 0.14609203798392983)) = trunc(3.19) = 3.
  // Wrapped to 32 bits the index would turn negative and the pixel be skipped.
  TDiscInfo info = MaxInfo();
  info.falloff = true;
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(200, 200));
  EXPECT_TRUE(FillDiscRows(layer, -1099.5, 100.5, 1500, info));
  EXPECT_EQ(layer.GetPixel(100, 100), 3);
}

TEST(DiscFill, RowWithoutTileCreationSkipsMissingTiles) {
  // The threaded workers paint with createTiles off: a missing tile must stay missing (the
  // tile table is shared between them), while an existing one is painted.
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(256, 128));
  ASSERT_NE(layer.CreateTile(1, 0), nullptr);
  CFillLineInfo<TBpp8> line;
  line.createTiles = false;
  line.maxMode = true;
  line.maxValue = 255;
  line.radiusSq8 = 1 << 30;  // every corner inside: full pixels
  line.innerSq8 = 1 << 30;
  line.rect = NRECT(100, 0, 60, 1);
  FillDiscRow(layer, line, 5);
  EXPECT_EQ(layer.TileAt(0, 0), nullptr);
  EXPECT_EQ(layer.GetPixel(128, 5), 255);
  EXPECT_EQ(layer.GetPixel(159, 5), 255);
  EXPECT_EQ(layer.GetPixel(160, 5), 0);
}

TEST(DiscFill, ColourDiscPaintsTheRuleOfASpanFill) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(64, 64));
  TDiscInfo info;
  info.colour = 0xffff0000;
  info.opacity = 255;
  EXPECT_TRUE(FillDiscRows(layer, 32, 32, 10, info));
  EXPECT_EQ(layer.GetPixel(32, 32), 0xffff0000u);
  info.colour = 0xff0000ff;
  info.opacity = 128;  // opaque pixel: floor((255 * 128 + 0 * 127) / 255) = 128 blue, 127 red
  FillDiscRows(layer, 32, 32, 10, info);
  EXPECT_EQ(layer.GetPixel(32, 32), 0xff7f0080u);
}

TEST(DiscFill, ClippedBoundingBoxCreatesEveryTileItMeets) {
  // Centre left of the layer: the box (-110, 40, 122, 122) clips to (0, 40, 12, 122), which
  // meets tiles (0, 0) and (0, 1); the disc itself leaves the top rows of the box empty.
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(300, 300));
  EXPECT_TRUE(FillDiscRows(layer, -50, 100, 60, MaxInfo()));
  EXPECT_NE(layer.TileAt(0, 0), nullptr);
  EXPECT_NE(layer.TileAt(0, 1), nullptr);
  EXPECT_EQ(layer.TileAt(1, 0), nullptr);
  EXPECT_EQ(layer.GetPixel(5, 100), 255);
  EXPECT_EQ(layer.GetPixel(11, 41), 0);
}

TEST(DiscFill, ThreadedFillEqualsTheSerialFill) {
  TDiscInfo info = MaxInfo(230);
  info.grid = 16;
  info.stepX = 4;
  const double radii[] = {100, 150.7, 263.25};
  for (const int threads : {1, 2, 8}) {
    for (const double r : radii) {
      CImageTile8 serial, parallel;
      ASSERT_TRUE(serial.Resize(700, 650));
      ASSERT_TRUE(parallel.Resize(700, 650));
      // Pre-existing paint, so that max mode has something to keep.
      FillDiscRows(serial, 300, 300, 40, MaxInfo(250));
      FillDiscRows(parallel, 300, 300, 40, MaxInfo(250));
      FillDiscRows(serial, 330.3, 310.9, r, info);
      FillDiscParallel(parallel, 330.3, 310.9, r, info, threads);
      for (int y = 0; y < 650; ++y)
        for (int x = 0; x < 700; ++x)
          ASSERT_EQ(serial.GetPixel(x, y), parallel.GetPixel(x, y))
              << "r " << r << " threads " << threads << " at " << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace pavo

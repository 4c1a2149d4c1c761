// Tiled layers: the tile grid, lazily created zero tiles, row gathering and scattering by
// whole 128-pixel blocks, layer and image blits, rectangle fills, and the equality of every
// blit into tiles with the same blit into flat images on seeded random content.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "imaging/ImageTile.h"

namespace pavo {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

std::string Hex(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", c);
  return buf;
}

template <class TLayer>
int PresentTiles(const TLayer& layer) {
  int n = 0;
  for (int32_t ty = 0; ty < layer.tilesY; ++ty)
    for (int32_t tx = 0; tx < layer.tilesX; ++tx) n += layer.TileAt(tx, ty) != nullptr;
  return n;
}

// ---- grid and pixels ---------------------------------------------------------------------

TEST(LayerGrid, TileGridAndRowBufferFollowTheSize) {
  const struct {
    int32_t w, h, tx, ty;
  } cases[] = {{300, 200, 3, 2}, {128, 128, 1, 1}, {129, 1, 2, 1}, {1, 257, 1, 3}, {0, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    CImageTile32 l32;
    CImageTile8 l8;
    CImageTile1 l1;
    ASSERT_TRUE(l32.Resize(c.w, c.h));
    ASSERT_TRUE(l8.Resize(c.w, c.h));
    ASSERT_TRUE(l1.Resize(c.w, c.h));
    EXPECT_EQ(l32.tilesX, c.tx);
    EXPECT_EQ(l32.tilesY, c.ty);
    EXPECT_EQ(l32.tileCount, c.tx * c.ty);
    EXPECT_EQ(l32.tiles.size(), size_t(c.tx * c.ty));
    // One buffer position per layer column of the grid: 128 pixels per tile column, the
    // 1-bit layer packing 8 pixels into a byte.
    EXPECT_EQ(l32.rowBuffer.size(), size_t(c.tx * 128));
    EXPECT_EQ(l8.rowBuffer.size(), size_t(c.tx * 128));
    EXPECT_EQ(l1.rowBuffer.size(), size_t(c.tx * 16));
    EXPECT_EQ(l8.tileCount, c.tx * c.ty);
    EXPECT_EQ(l1.tileCount, c.tx * c.ty);
    EXPECT_EQ(PresentTiles(l32), 0);
  }
}

TEST(LayerPixels, SettingCreatesTilesOnlyForNonZeroValues) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(300, 200));
  layer.SetPixel(5, 5, 0);
  EXPECT_EQ(PresentTiles(layer), 0);
  layer.SetPixel(5, 5, 0xFF000000);
  ASSERT_NE(layer.TileAt(0, 0), nullptr);
  EXPECT_EQ(PresentTiles(layer), 1);
  EXPECT_EQ(layer.GetPixel(5, 5), 0xFF000000u);
  EXPECT_EQ(layer.GetPixel(6, 5), 0u);  // the new tile was created cleared
  EXPECT_EQ(layer.TileAt(0, 0)->width, 128);
  EXPECT_EQ(layer.TileAt(0, 0)->height, 128);

  // Layer pixel (x, y) is pixel (x AND 127, y AND 127) of tile (x / 128, y / 128); the
  // bottom-right tile is a full tile although the layer ends inside it.
  layer.SetPixel(299, 199, 0x12345678);
  ASSERT_NE(layer.TileAt(2, 1), nullptr);
  EXPECT_EQ(layer.TileAt(2, 1)->GetPixel(43, 71), 0x12345678u);
  EXPECT_EQ(layer.TileAt(2, 1)->width, 128);

  // A zero into a present tile is stored.
  layer.SetPixel(5, 5, 0);
  EXPECT_EQ(layer.GetPixel(5, 5), 0u);
  EXPECT_NE(layer.TileAt(0, 0), nullptr);

  // Outside: nothing, and reads give 0.
  for (const auto& p : {std::pair{-1, 0}, std::pair{300, 0}, std::pair{0, 200}, std::pair{0, -1},
                        std::pair{INT32_MIN, 5}}) {
    layer.SetPixel(p.first, p.second, 0xFFFFFFFF);
    layer.BlendPixel(p.first, p.second, 0xFFFFFFFF, 255);
    EXPECT_EQ(layer.GetPixel(p.first, p.second), 0u);
  }
  EXPECT_EQ(PresentTiles(layer), 2);
  EXPECT_EQ(layer.TileAt(-1, 0), nullptr);
  EXPECT_EQ(layer.TileAt(3, 0), nullptr);
}

TEST(LayerPixels, BlendRulesOfTheThreeLayers) {
  CImageTile32 l32;
  ASSERT_TRUE(l32.Resize(200, 10));
  l32.BlendPixel(130, 1, 0, 255);  // nothing to paint: no tile
  EXPECT_EQ(PresentTiles(l32), 0);
  // PaintOver on an empty pixel: A = 200*201/256 = 157 (0x9D).
  l32.BlendPixel(130, 1, 0xC8FF0000, 200);
  EXPECT_EQ(Hex(l32.GetPixel(130, 1)), Hex(0x9DFF0000));
  EXPECT_NE(l32.TileAt(1, 0), nullptr);
  // Keep alpha on 0x40AABBCC with an opaque source at full strength: colour replaced.
  l32.SetPixel(131, 1, 0x40AABBCC);
  l32.BlendPixelKeepAlpha(131, 1, 0xFF112233, 255);
  EXPECT_EQ(Hex(l32.GetPixel(131, 1)), Hex(0x40112233));

  CImageTile8 l8;
  ASSERT_TRUE(l8.Resize(200, 10));
  l8.BlendPixel(3, 3, 200, 128);  // Lerp8 onto 0: 200*128/255 = 100
  EXPECT_EQ(l8.GetPixel(3, 3), 100);
  l8.BlendPixel(3, 3, 0, 128);  // (0*128 + 127*100)/255 = 49
  EXPECT_EQ(l8.GetPixel(3, 3), 49);

  CImageTile1 l1;
  ASSERT_TRUE(l1.Resize(200, 10));
  l1.BlendPixel(150, 2, 1, 127);  // the bit is stored only from opacity 128 on
  EXPECT_EQ(l1.GetPixel(150, 2), 0);
  l1.BlendPixel(150, 2, 1, 128);
  EXPECT_EQ(l1.GetPixel(150, 2), 1);
  l1.SetPixel(151, 2, 1);
  EXPECT_EQ(l1.GetPixel(151, 2), 1);
  EXPECT_EQ(l1.GetPixel(152, 2), 0);
  EXPECT_NE(l1.TileAt(1, 0), nullptr);
  EXPECT_EQ(l1.TileAt(0, 0), nullptr);
  l1.SetPixel(5, 5, 0);
  EXPECT_EQ(l1.TileAt(0, 0), nullptr);
}

TEST(LayerGrid, ResizeAndFreeTilesEmptyTheLayer) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(300, 200));
  layer.SetPixel(10, 10, 0xFFFFFFFF);
  layer.SetPixel(290, 190, 0xFFFFFFFF);
  ASSERT_TRUE(layer.Resize(300, 200));  // same size: cleared, grid kept
  EXPECT_EQ(PresentTiles(layer), 0);
  EXPECT_EQ(layer.GetPixel(10, 10), 0u);
  EXPECT_EQ(layer.tilesX, 3);
  EXPECT_EQ(layer.rowBuffer.size(), 384u);

  layer.SetPixel(10, 10, 0xFFFFFFFF);
  layer.FreeTiles();
  EXPECT_EQ(PresentTiles(layer), 0);
  EXPECT_EQ(layer.width, 300);
  EXPECT_EQ(layer.tileCount, 6);

  layer.SetPixel(10, 10, 0xFFFFFFFF);
  ASSERT_TRUE(layer.Resize(129, 129));
  EXPECT_EQ(layer.tilesX, 2);
  EXPECT_EQ(layer.tilesY, 2);
  EXPECT_EQ(PresentTiles(layer), 0);
  EXPECT_EQ(layer.GetPixel(10, 10), 0u);
}

// A large canvas costs only its tile table until something is painted.
TEST(LayerGrid, HugeLayersAreRefusedOrLazy) {
  CImageTile32 big;
  ASSERT_TRUE(big.Resize(100000, 100000));
  EXPECT_EQ(big.tilesX, 782);
  big.SetPixel(99999, 99999, 0xFF0000FF);
  EXPECT_EQ(big.GetPixel(99999, 99999), 0xFF0000FFu);
  EXPECT_EQ(PresentTiles(big), 1);

  CImageTile32 layer;
  ASSERT_FALSE(layer.Resize(kMax, kMax));
  EXPECT_EQ(layer.width, 0);
  EXPECT_EQ(layer.height, 0);
  // Every operation on the refused layer is harmless.
  layer.SetPixel(0, 0, 0xFFFFFFFF);
  layer.BlendPixel(0, 0, 0xFFFFFFFF, 255);
  EXPECT_EQ(layer.GetPixel(0, 0), 0u);
  EXPECT_FALSE(layer.RowHasTiles(0));
  EXPECT_FALSE(layer.FillRect(TBltInfo32(), 0, 0, 10, 10));
  uint32_t buf[128] = {};
  EXPECT_EQ(layer.GatherRow(buf, 0, 0, 10), nullptr);
  EXPECT_FALSE(layer.ScatterRow(buf, 0, 0, 10));
  CImageTile32 other;
  ASSERT_TRUE(other.Resize(10, 10));
  other.SetPixel(1, 1, 0xFFFFFFFF);
  EXPECT_FALSE(BltLayer(layer, TBltInfo32(), 0, 0, other, 0, 0, 10, 10));
  EXPECT_FALSE(BltLayer(other, TBltInfo32(), 0, 0, layer, 0, 0, 10, 10));
  CImage32 image(10, 10);
  TBltInfo32 info;
  EXPECT_FALSE(BltToImage(info, image, 0, 0, layer));
  EXPECT_EQ(other.GetPixel(1, 1), 0xFFFFFFFFu);

  CImageTile8 l8;
  EXPECT_FALSE(l8.Resize(kMax, kMax));
  l8.SetPixel(0, 0, 1);
  EXPECT_EQ(l8.GetPixel(0, 0), 0);
}

// ---- rows --------------------------------------------------------------------------------

TEST(LayerRows, GatherCopiesWholeBlocks) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(300, 10));
  layer.SetPixel(130, 3, 0xAAAAAAAA);
  layer.SetPixel(250, 3, 0xBBBBBBBB);
  layer.SetPixel(5, 3, 0xCCCCCCCC);
  std::vector<uint32_t> buf(384, 0xDEADBEEF);

  // (140, 3, 5) touches block 1 only (columns 128..255): all of it is copied.
  ASSERT_EQ(layer.GatherRow(buf.data(), 140, 3, 5), buf.data());
  EXPECT_EQ(buf[130], 0xAAAAAAAAu);
  EXPECT_EQ(buf[250], 0xBBBBBBBBu);
  EXPECT_EQ(buf[200], 0u);
  EXPECT_EQ(buf[5], 0xDEADBEEFu);    // block 0 not touched
  EXPECT_EQ(buf[300], 0xDEADBEEFu);  // block 2 not touched

  // An absent block reads as zeros.
  ASSERT_NE(layer.GatherRow(buf.data(), 260, 3, 10), nullptr);
  EXPECT_EQ(buf[260], 0u);
  EXPECT_EQ(buf[383], 0u);

  // A negative x is cut off: (-10, 3, 20) is (0, 3, 10).
  ASSERT_NE(layer.GatherRow(buf.data(), -10, 3, 20), nullptr);
  EXPECT_EQ(buf[5], 0xCCCCCCCCu);

  EXPECT_EQ(layer.GatherRow(buf.data(), -10, 3, 10), nullptr);  // nothing left
  EXPECT_EQ(layer.GatherRow(buf.data(), 0, -1, 10), nullptr);
  EXPECT_EQ(layer.GatherRow(buf.data(), 0, 10, 10), nullptr);
}

TEST(LayerRows, ScatterCreatesTilesOnlyForNonZeroBlocks) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(300, 10));
  std::vector<uint32_t> buf(384, 0);

  // A zero block aimed at an absent tile creates nothing.
  EXPECT_FALSE(layer.ScatterRow(buf.data(), 10, 2, 50));
  EXPECT_EQ(PresentTiles(layer), 0);

  // A non-zero block creates its tile; the whole block is written, also beyond (x, w).
  buf[140] = 0x11111111;
  buf[250] = 0x22222222;
  EXPECT_TRUE(layer.ScatterRow(buf.data(), 140, 2, 1));
  EXPECT_EQ(PresentTiles(layer), 1);
  EXPECT_EQ(layer.GetPixel(140, 2), 0x11111111u);
  EXPECT_EQ(layer.GetPixel(250, 2), 0x22222222u);

  // A zero block into a present tile overwrites the tile row; the tile stays.
  buf[140] = buf[250] = 0;
  EXPECT_TRUE(layer.ScatterRow(buf.data(), 200, 2, 4));
  EXPECT_NE(layer.TileAt(1, 0), nullptr);
  EXPECT_EQ(layer.GetPixel(140, 2), 0u);
  EXPECT_EQ(layer.GetPixel(250, 2), 0u);

  EXPECT_FALSE(layer.ScatterRow(buf.data(), 0, 10, 10));
  EXPECT_FALSE(layer.ScatterRow(buf.data(), 0, -1, 10));
}

TEST(LayerRows, SpanHasTilesLooksAtTheTouchedTileColumns) {
  CImageTile8 layer;
  ASSERT_TRUE(layer.Resize(400, 300));
  layer.SetPixel(200, 140, 9);  // tile (1, 1)
  EXPECT_TRUE(layer.RowHasTiles(130));
  EXPECT_FALSE(layer.RowHasTiles(10));
  EXPECT_FALSE(layer.RowHasTiles(300));
  EXPECT_FALSE(layer.RowHasTiles(-1));
  EXPECT_TRUE(layer.SpanHasTiles(0, 255, 400));
  EXPECT_TRUE(layer.SpanHasTiles(130, 129, 10));
  EXPECT_FALSE(layer.SpanHasTiles(0, 129, 100));  // columns 0..99: tile column 0
  EXPECT_TRUE(layer.SpanHasTiles(0, 129, 128));   // (0 + 128) / 128 = 1 counts too
  EXPECT_FALSE(layer.SpanHasTiles(256, 129, 100));
  EXPECT_TRUE(layer.SpanHasTiles(-50, 129, 200));
  EXPECT_FALSE(layer.SpanHasTiles(130, 10, 10));
}

// ---- compositing -------------------------------------------------------------------------

TEST(LayerBlt, EmptySourceInSkippingAndCopyingModes) {
  CImageTile32 src, dst;
  ASSERT_TRUE(src.Resize(300, 200));
  ASSERT_TRUE(dst.Resize(300, 200));
  const struct {
    int32_t x, y;
    bool inRect;
  } pts[] = {{5, 5, false},     {99, 60, false},  {100, 49, false}, {100, 50, true},
             {127, 127, true},  {260, 140, true}, {279, 149, true}, {280, 140, false},
             {290, 140, false}, {270, 150, false}};
  for (const auto& p : pts) dst.SetPixel(p.x, p.y, 0xFF445566);
  ASSERT_EQ(PresentTiles(dst), 2);  // tiles (0, 0) and (2, 1)

  // Mode 28 skips every row of the empty source: nothing changes, no tile appears.
  TBltInfo32 over;
  over.mode = 28;
  ASSERT_TRUE(BltLayer(dst, over, 100, 50, src, 100, 50, 180, 100));
  EXPECT_EQ(PresentTiles(dst), 2);
  for (const auto& p : pts) EXPECT_EQ(dst.GetPixel(p.x, p.y), 0xFF445566u);

  // Mode 0 copies the zeros of every row of columns 100..279, rows 50..149: present tiles
  // are cleared inside the rectangle only; absent tiles stay absent.
  ASSERT_TRUE(BltLayer(dst, TBltInfo32(), 100, 50, src, 100, 50, 180, 100));
  EXPECT_EQ(PresentTiles(dst), 2);
  EXPECT_NE(dst.TileAt(0, 0), nullptr);
  EXPECT_NE(dst.TileAt(2, 1), nullptr);
  for (const auto& p : pts)
    EXPECT_EQ(dst.GetPixel(p.x, p.y), p.inRect ? 0u : 0xFF445566u) << p.x << "," << p.y;

  EXPECT_FALSE(BltLayer(dst, TBltInfo32(), 300, 0, src, 0, 0, 10, 10));
}

// Modes that skip empty source spans leave those rows alone even where the row operation
// would change the destination (AND with zero, 8-bit lerp toward zero); rows whose span has
// a tile are processed in full, zeros of absent source tiles included.
TEST(LayerBlt, SkippedRowsAreNotTouchedEvenWhereTheModeWouldChangeThem) {
  CImageTile32 src, dst;
  ASSERT_TRUE(src.Resize(200, 200));
  ASSERT_TRUE(dst.Resize(200, 200));
  src.SetPixel(150, 130, 0xFFFFFFFF);  // only tile (1, 1) of the source
  dst.SetPixel(10, 10, 0xFF123456);
  dst.SetPixel(10, 130, 0xFF123456);
  TBltInfo32 andInfo;
  andInfo.mode = 1;
  ASSERT_TRUE(BltLayer(dst, andInfo, 0, 0, src, 0, 0, 200, 200));
  EXPECT_EQ(dst.GetPixel(10, 10), 0xFF123456u);  // tile row 0 of the source is empty
  EXPECT_EQ(dst.GetPixel(10, 130), 0u);          // AND with an absent (zero) source pixel

  CImageTile8 s8, d8;
  ASSERT_TRUE(s8.Resize(200, 200));
  ASSERT_TRUE(d8.Resize(200, 200));
  s8.SetPixel(150, 130, 1);
  d8.SetPixel(10, 10, 200);
  d8.SetPixel(10, 130, 200);
  TBltInfo8 lerp;
  lerp.mode = 6;
  ASSERT_TRUE(BltLayer(d8, lerp, 0, 0, s8, 0, 0, 200, 200));
  EXPECT_EQ(d8.GetPixel(10, 10), 200);
  EXPECT_EQ(d8.GetPixel(10, 130), 0);  // Lerp8 toward 0 at full opacity
}

// A span that ends exactly on a tile edge also gathers the block after it (end / 128), so
// scattering that block back writes the next tile's own pixels, not stale buffer content.
TEST(LayerBlt, SpanEndingOnATileEdgeKeepsTheNextTile) {
  CImageTile32 src, dst;
  ASSERT_TRUE(src.Resize(300, 4));
  ASSERT_TRUE(dst.Resize(300, 4));
  for (int32_t y = 0; y < 4; ++y) {
    src.SetPixel(200 + y, y, 0xFF00FF00);
    dst.SetPixel(260, y, 0xFF000010u + uint32_t(y));
  }
  TBltInfo32 info;
  info.mode = 28;
  ASSERT_TRUE(BltLayer(dst, info, 200, 0, src, 200, 0, 56, 4));  // columns 200..255
  ASSERT_TRUE(dst.FillRect(info, 128, 0, 128, 4));               // columns 128..255, colour 0
  for (int32_t y = 0; y < 4; ++y) {
    EXPECT_EQ(dst.GetPixel(200 + y, y), 0xFF00FF00u) << y;
    EXPECT_EQ(dst.GetPixel(260, y), 0xFF000010u + uint32_t(y)) << y;
  }
}

TEST(LayerBlt, CopyMovesPixelsAcrossTileEdges) {
  CImageTile32 src, dst;
  ASSERT_TRUE(src.Resize(300, 300));
  ASSERT_TRUE(dst.Resize(300, 300));
  src.SetPixel(0, 0, 0xFF000001);
  src.SetPixel(10, 5, 0xFF000002);
  src.SetPixel(127, 127, 0xFF000003);
  // Source (-3, -2, 130, 130) at (125, 126): clipped to source (0, 0, 127, 128) at
  // (128, 128); source (x, y) lands on (x + 128, y + 128).
  ASSERT_TRUE(BltLayer(dst, TBltInfo32(), 125, 126, src, -3, -2, 130, 130));
  EXPECT_EQ(dst.GetPixel(128, 128), 0xFF000001u);
  EXPECT_EQ(dst.GetPixel(138, 133), 0xFF000002u);
  EXPECT_EQ(dst.GetPixel(255, 255), 0u);  // source column 127 is outside the clipped width
  EXPECT_EQ(dst.GetPixel(127, 128), 0u);
  EXPECT_EQ(PresentTiles(dst), 1);  // rows 128..255, columns 128..254: tile (1, 1)
}

TEST(LayerBlt, CoverageInModeTwentyEightPaintsOpaqueBlackWithoutPaintColour) {
  CImageTile8 cov;
  CImageTile32 dst;
  ASSERT_TRUE(cov.Resize(300, 200));
  ASSERT_TRUE(dst.Resize(300, 200));
  cov.SetPixel(130, 5, 255);
  cov.SetPixel(131, 5, 128);
  cov.SetPixel(132, 5, 128);
  dst.SetPixel(132, 5, 0xFFFFFFFF);
  TBltInfo32 info;
  info.mode = 28;  // paintColour 0: C = 0xFF000000
  ASSERT_TRUE(BltCoverage(info, dst, 0, 0, cov, 0, 0, 300, 200));
  // empty d: C with A = v
  EXPECT_EQ(Hex(dst.GetPixel(130, 5)), Hex(0xFF000000));
  EXPECT_EQ(Hex(dst.GetPixel(131, 5)), Hex(0x80000000));
  // opaque d: O = 256*128/256 = 128, c = (255*128 + 0*128)/256 = 127
  EXPECT_EQ(Hex(dst.GetPixel(132, 5)), Hex(0xFF7F7F7F));
  EXPECT_EQ(dst.GetPixel(133, 5), 0u);
  EXPECT_EQ(PresentTiles(dst), 1);
  EXPECT_NE(dst.TileAt(1, 0), nullptr);
}

TEST(LayerBlt, FillRectModeTwoAcrossTileEdges) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(300, 200));
  layer.SetPixel(127, 127, 0xFF0000FF);  // opaque blue
  layer.SetPixel(128, 128, 0x80FF0000);  // half-transparent red
  TBltInfo32 info;
  info.mode = 2;
  info.colour = 0x8000FF00;  // P: green, alpha 128
  ASSERT_TRUE(layer.FillRect(info, 120, 120, 20, 20));
  // empty d: d = P.
  EXPECT_EQ(Hex(layer.GetPixel(120, 120)), Hex(0x8000FF00));
  EXPECT_EQ(Hex(layer.GetPixel(139, 139)), Hex(0x8000FF00));
  EXPECT_EQ(Hex(layer.GetPixel(128, 127)), Hex(0x8000FF00));
  // opaque d, BlendOntoOpaque with g = 128: G 255*128/255 = 128, B 255*127/255 = 127.
  EXPECT_EQ(Hex(layer.GetPixel(127, 127)), Hex(0xFF00807F));
  // Over: g = 32640, h = 128, D = 32640 + 32640 - 16384 = 48896, k = 127*128 = 16256;
  // R 255*16256/48896 = 84, G 255*32640/48896 = 170, A 48896/255 = 191.
  EXPECT_EQ(Hex(layer.GetPixel(128, 128)), Hex(0xBF54AA00));
  for (const auto& p :
       {std::pair{140, 139}, std::pair{119, 120}, std::pair{130, 119}, std::pair{130, 140}})
    EXPECT_EQ(layer.GetPixel(p.first, p.second), 0u) << p.first << "," << p.second;
  EXPECT_EQ(PresentTiles(layer), 4);

  // Opacity 200 with P.A = 200 on an empty pixel: A = 200*200/255 = 156 (0x9C).
  info.colour = 0xC800FF00;
  info.opacity = 200;
  ASSERT_TRUE(layer.FillRect(info, 290, 190, 50, 50));  // clipped to 290..299 x 190..199
  EXPECT_EQ(Hex(layer.GetPixel(299, 199)), Hex(0x9C00FF00));
  EXPECT_EQ(Hex(layer.GetPixel(290, 190)), Hex(0x9C00FF00));
  EXPECT_EQ(layer.GetPixel(289, 190), 0u);

  EXPECT_FALSE(layer.FillRect(info, 300, 0, 10, 10));
  EXPECT_FALSE(layer.FillRect(info, 0, 0, 0, 10));

  // Mode 0 with colour 0 into absent tiles stores zeros nowhere.
  CImageTile32 empty;
  ASSERT_TRUE(empty.Resize(300, 200));
  ASSERT_TRUE(empty.FillRect(TBltInfo32(), 0, 0, 300, 200));
  EXPECT_EQ(PresentTiles(empty), 0);

  // 8-bit mode 6 raises every byte to at least v.
  CImageTile8 l8;
  ASSERT_TRUE(l8.Resize(300, 10));
  l8.SetPixel(127, 0, 250);
  l8.SetPixel(128, 0, 30);
  TBltInfo8 i8;
  i8.mode = 6;
  i8.colour = 100;
  ASSERT_TRUE(l8.FillRect(i8, 120, 0, 20, 1));
  EXPECT_EQ(l8.GetPixel(120, 0), 100);
  EXPECT_EQ(l8.GetPixel(127, 0), 250);
  EXPECT_EQ(l8.GetPixel(128, 0), 100);
  EXPECT_EQ(l8.GetPixel(139, 0), 100);
  EXPECT_EQ(l8.GetPixel(140, 0), 0);
}

TEST(LayerBlt, BltToImageExtendsDirtyAndSkipsEmptyRows) {
  CImageTile32 layer;
  ASSERT_TRUE(layer.Resize(10, 5));
  layer.SetPixel(3, 2, 0xFF00FF00);
  CImage32 image(20, 20);
  image.Fill(0xFF0000FF);

  TBltInfo32 info;
  info.mode = 28;
  ASSERT_TRUE(BltToImage(info, image, 0, 0, layer));
  // Points (0, i) and (0 + 10 + 1, i) for rows 0..4: columns 0..11.
  EXPECT_EQ(info.dirty, NRECT(0, 0, 12, 5));
  EXPECT_EQ(image.GetPixel(3, 2), 0xFF00FF00u);
  EXPECT_EQ(image.GetPixel(4, 2), 0xFF0000FFu);  // transparent source: nothing

  TBltInfo32 moved;
  moved.mode = 28;
  ASSERT_TRUE(BltToImage(moved, image, 4, 3, layer));
  EXPECT_EQ(moved.dirty, NRECT(4, 3, 12, 5));  // columns 4..15, rows 3..7
  EXPECT_EQ(image.GetPixel(7, 5), 0xFF00FF00u);

  // An empty layer in a skipping mode writes no row and leaves dirty empty.
  CImageTile32 empty;
  ASSERT_TRUE(empty.Resize(10, 5));
  TBltInfo32 none;
  none.mode = 28;
  ASSERT_TRUE(BltToImage(none, image, 0, 0, empty));
  EXPECT_TRUE(none.dirty.IsEmpty());

  // An auxiliary row buffer that does not exist: every row is skipped.
  TBltInfo32 aux;
  aux.rowBufferIndex = 0;
  ASSERT_TRUE(BltToImage(aux, image, 0, 0, layer));
  EXPECT_TRUE(aux.dirty.IsEmpty());
  EXPECT_EQ(image.GetPixel(0, 0), 0xFF0000FFu);

  TBltInfo32 outside;
  EXPECT_FALSE(BltToImage(outside, image, 20, 0, layer));
  EXPECT_TRUE(outside.dirty.IsEmpty());
}

// ---- tiles against flat images -----------------------------------------------------------

// Seeded random content: some tiles left entirely empty, the rest a mix of zero, opaque
// and partly transparent pixels, so that every fast path and the empty-row skip are hit.
template <class TPixel>
TPixel RandomPixel(std::mt19937& rng) {
  const uint32_t v = rng();
  if constexpr (sizeof(TPixel) == 1) {
    switch (rng() % 4) {
      case 0:
        return 0;
      case 1:
        return 255;
      default:
        return static_cast<TPixel>(v);
    }
  } else {
    switch (rng() % 4) {
      case 0:
        return 0;
      case 1:
        return v | 0xFF000000u;
      default:
        return v;
    }
  }
}

template <class TLayer, class TImage>
void FillBoth(std::mt19937& rng, TLayer& layer, TImage& flat, int32_t w, int32_t h) {
  ASSERT_TRUE(layer.Resize(w, h));
  ASSERT_TRUE(flat.Resize(w, h));
  flat.Fill(0);
  for (int32_t ty = 0; ty < layer.tilesY; ++ty)
    for (int32_t tx = 0; tx < layer.tilesX; ++tx) {
      if (rng() % 3 == 0) continue;  // an absent tile
      for (int32_t y = ty * 128; y < std::min(h, ty * 128 + 128); ++y)
        for (int32_t x = tx * 128; x < std::min(w, tx * 128 + 128); ++x) {
          const auto p = RandomPixel<typename TLayer::TPixel>(rng);
          layer.SetPixel(x, y, p);
          flat.SetPixelUnchecked(x, y, p);
        }
    }
}

template <class TLayer, class TImage>
void ExpectSame(const TLayer& layer, const TImage& flat, const std::string& what) {
  for (int32_t y = 0; y < flat.height; ++y)
    for (int32_t x = 0; x < flat.width; ++x)
      if (uint32_t(layer.GetPixel(x, y)) != uint32_t(flat.GetPixel(x, y))) {
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " layer "
                      << Hex(layer.GetPixel(x, y)) << " flat " << Hex(flat.GetPixel(x, y));
        return;
      }
}

struct RandomRect {
  int32_t sx, sy, w, h, dx, dy;
};

// Rectangles that start before, inside or after tile edges and may stick out of either
// layer on any side.
RandomRect MakeRect(std::mt19937& rng, int32_t w, int32_t h) {
  std::uniform_int_distribution<int32_t> px(-60, w + 20), py(-60, h + 20), ext(1, 300);
  return {px(rng), py(rng), ext(rng), ext(rng), px(rng), py(rng)};
}

// Modes whose result does not depend on whether an empty source row is processed (zero
// source pixels leave the destination alone, or the mode never skips), so the flat blit,
// which runs every row, must give the same pixels.
constexpr int32_t kModes32[] = {0, 2, 6, 8, 22, 23, 28, 29};
constexpr int32_t kModes8[] = {0, 2, 4, 5, 7, 27};
constexpr uint8_t kOpacities[] = {255, 128, 37};

TEST(LayerEquivalence, ColourLayerBltEqualsFlatBlt) {
  std::mt19937 rng(20261210);
  const int32_t SW = 300, SH = 260, DW = 270, DH = 300;
  for (int32_t mode : kModes32)
    for (uint8_t opacity : kOpacities)
      for (int trial = 0; trial < 3; ++trial) {
        CImageTile32 src, dst;
        CImage32 fsrc, fdst;
        FillBoth(rng, src, fsrc, SW, SH);
        FillBoth(rng, dst, fdst, DW, DH);
        const RandomRect r = MakeRect(rng, SW, SH);
        TBltInfo32 info;
        info.mode = mode;
        info.opacity = opacity;
        const std::string what =
            "mode " + std::to_string(mode) + " opacity " + std::to_string(opacity) + " rect " +
            std::to_string(r.sx) + "," + std::to_string(r.sy) + "," + std::to_string(r.w) + "," +
            std::to_string(r.h) + " at " + std::to_string(r.dx) + "," + std::to_string(r.dy);
        const bool a = BltLayer(dst, info, r.dx, r.dy, src, r.sx, r.sy, r.w, r.h);
        const bool b = fdst.Blt(info, r.dx, r.dy, fsrc, r.sx, r.sy, r.w, r.h);
        EXPECT_EQ(a, b) << what;
        ExpectSame(dst, fdst, what);
        ExpectSame(src, fsrc, what + " (source)");
      }
}

TEST(LayerEquivalence, CoverageLayerBltEqualsFlatBlt) {
  std::mt19937 rng(77);
  const int32_t SW = 290, SH = 300, DW = 300, DH = 270;
  for (int32_t mode : kModes8)
    for (uint8_t opacity : kOpacities)
      for (int trial = 0; trial < 3; ++trial) {
        CImageTile8 src, dst;
        CImage8 fsrc, fdst;
        FillBoth(rng, src, fsrc, SW, SH);
        FillBoth(rng, dst, fdst, DW, DH);
        const RandomRect r = MakeRect(rng, SW, SH);
        TBltInfo8 info;
        info.mode = mode;
        info.opacity = opacity;
        const std::string what = "mode " + std::to_string(mode) + " opacity " +
                                 std::to_string(opacity) + " trial " + std::to_string(trial);
        const bool a = BltLayer(dst, info, r.dx, r.dy, src, r.sx, r.sy, r.w, r.h);
        const bool b = fdst.Blt(info, r.dx, r.dy, fsrc, r.sx, r.sy, r.w, r.h);
        EXPECT_EQ(a, b) << what;
        ExpectSame(dst, fdst, what);
      }
}

TEST(LayerEquivalence, BltToImageEqualsFlatBlt) {
  std::mt19937 rng(4242);
  const int32_t SW = 300, SH = 260, DW = 280, DH = 290;
  for (int32_t mode : kModes32)
    for (uint8_t opacity : kOpacities)
      for (int trial = 0; trial < 3; ++trial) {
        CImageTile32 src;
        CImage32 fsrc, img, fimg;
        FillBoth(rng, src, fsrc, SW, SH);
        ASSERT_TRUE(img.Resize(DW, DH));
        ASSERT_TRUE(fimg.Resize(DW, DH));
        for (int32_t y = 0; y < DH; ++y)
          for (int32_t x = 0; x < DW; ++x) {
            const uint32_t p = RandomPixel<uint32_t>(rng);
            img.SetPixelUnchecked(x, y, p);
            fimg.SetPixelUnchecked(x, y, p);
          }
        const RandomRect r = MakeRect(rng, SW, SH);
        TBltInfo32 info;
        info.mode = mode;
        info.opacity = opacity;
        const std::string what = "mode " + std::to_string(mode) + " opacity " +
                                 std::to_string(opacity) + " trial " + std::to_string(trial);
        const bool a = BltToImage(info, img, r.dx, r.dy, src, r.sx, r.sy, r.w, r.h);
        const bool b = fimg.Blt(info, r.dx, r.dy, fsrc, r.sx, r.sy, r.w, r.h);
        EXPECT_EQ(a, b) << what;
        for (int32_t y = 0; y < DH; ++y)
          for (int32_t x = 0; x < DW; ++x)
            if (img.GetPixel(x, y) != fimg.GetPixel(x, y)) {
              ADD_FAILURE() << what << ": pixel " << x << "," << y;
              y = DH;
              break;
            }
      }
}

// The coverage blit has no flat counterpart among the image operations; the reference runs
// the 32 <- 8 row operation row by row over a flat coverage image and a flat colour image.
TEST(LayerEquivalence, CoverageIntoColourLayerEqualsRowByRowFlatBlend) {
  std::mt19937 rng(99);
  const int32_t SW = 300, SH = 280, DW = 290, DH = 300;
  // 19 paints where coverage is low, so it never skips an empty coverage row.
  for (int32_t mode : {6, 8, 19, 22, 28})
    for (uint8_t opacity : kOpacities)
      for (int trial = 0; trial < 3; ++trial) {
        CImageTile8 cov;
        CImage8 fcov;
        CImageTile32 dst;
        CImage32 fdst;
        FillBoth(rng, cov, fcov, SW, SH);
        FillBoth(rng, dst, fdst, DW, DH);
        const RandomRect r = MakeRect(rng, SW, SH);
        TBltInfo32 info;
        info.mode = mode;
        info.opacity = opacity;
        info.paintColour = trial % 2 ? 0 : 0x9033CC66;
        const std::string what = "mode " + std::to_string(mode) + " opacity " +
                                 std::to_string(opacity) + " trial " + std::to_string(trial);
        const bool a = BltCoverage(info, dst, r.dx, r.dy, cov, r.sx, r.sy, r.w, r.h);
        TBltRect c{r.sx, r.sy, r.w, r.h, r.dx, r.dy};
        const bool b = ClipBlt(SW, SH, DW, DH, c);
        EXPECT_EQ(a, b) << what;
        if (b)
          for (int32_t i = c.dy; i < c.dy + c.h; ++i)
            RowBlend8To32(info, fcov.PixelAddress(0, c.sy + (i - c.dy)), c.sx,
                          fdst.PixelAddress(0, i), c.dx, c.w);
        ExpectSame(dst, fdst, what);
      }
}

}  // namespace
}  // namespace pavo

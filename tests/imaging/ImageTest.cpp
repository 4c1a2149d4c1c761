// Flat images: sizing (including sizes whose memory cannot be had), pixel addressing and
// bit layout, checkerboards, clipping and blits.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "imaging/Image.h"

namespace pavo {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFFE8E8E8u;

// ---- sizing --------------------------------------------------------------------------------

TEST(ImageSize, SizesBelowOneBecomeOnePixel) {
  CImage32 img(5, 5);
  ASSERT_TRUE(img.Resize(0, -3));
  EXPECT_EQ(img.width, 1);
  EXPECT_EQ(img.height, 1);
  EXPECT_EQ(img.stride, 4);
  EXPECT_NE(img.pixels, nullptr);
}

TEST(ImageSize, SameSizeKeepsThePixels) {
  CImage32 img(5, 4);
  img.Fill(0x12345678u);
  uint32_t* before = img.pixels;
  ASSERT_TRUE(img.Resize(5, 4));
  EXPECT_EQ(img.pixels, before);
  EXPECT_EQ(img.GetPixel(4, 3), 0x12345678u);
}

TEST(ImageSize, StrideAndSquareFields) {
  struct Case {
    int32_t w, h;
    int32_t stride32, stride8, stride1;
    bool pow2Square;
    int32_t mask;
  };
  // stride: 4 w, w, ceil(w / 8); pow2 square: equal sides with at most one bit set.
  const Case cases[] = {{8, 8, 32, 8, 1, true, 7},   {6, 6, 24, 6, 1, false, 5},
                        {8, 4, 32, 8, 1, false, 0},  {1, 1, 4, 1, 1, true, 0},
                        {9, 9, 36, 9, 2, false, 8},  {16, 16, 64, 16, 2, true, 15},
                        {17, 3, 68, 17, 3, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    CImage32 a;
    CImage8 b;
    CImage1 d;
    ASSERT_TRUE(a.Resize(c.w, c.h));
    ASSERT_TRUE(b.Resize(c.w, c.h));
    ASSERT_TRUE(d.Resize(c.w, c.h));
    EXPECT_EQ(a.stride, c.stride32);
    EXPECT_EQ(b.stride, c.stride8);
    EXPECT_EQ(d.stride, c.stride1);
    EXPECT_EQ(a.isPow2Square, c.pow2Square);
    EXPECT_EQ(d.isPow2Square, c.pow2Square);
    EXPECT_EQ(a.squareMask, c.mask);
    EXPECT_EQ(b.squareMask, c.mask);
  }
}

// Sizes whose byte count overflows or cannot be allocated leave the image without pixels;
// everything afterwards is harmless and a later sensible size works again.
TEST(ImageSize, ImpossibleSizesLeaveNoPixels) {
  const int32_t sizes[][2] = {
      {INT_MAX, INT_MAX}, {INT_MAX / 4 + 1, 1}, {1 << 28, 1 << 28}, {1, INT_MAX}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << " x " << s[1]);
    CImage32 img(4, 4);
    CImage32 other(4, 4);
    other.Fill(0xFF00FF00u);
    EXPECT_FALSE(img.Resize(s[0], s[1]));
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(img.PixelAddress(0, 0), nullptr);
    EXPECT_EQ(img.RowAddress(0), nullptr);
    EXPECT_EQ(img.GetPixel(0, 0), 0u);
    EXPECT_EQ(img.GetPixelWrapped(3, 3), 0u);
    img.Fill(0xFFFFFFFFu);
    img.BlendPixel(0, 0, 0xFFFFFFFFu, 255);
    img.BlendPixelKeepAlpha(0, 0, 0xFFFFFFFFu, 255);
    EXPECT_FALSE(img.FillChecker(kWhite, kGrey, 5));
    EXPECT_FALSE(img.Copy(0, 0, other));
    EXPECT_FALSE(other.Copy(0, 0, img));
    EXPECT_EQ(other.GetPixel(0, 0), 0xFF00FF00u);
    EXPECT_FALSE(other.CopyFrom(img));
    EXPECT_EQ(other.width, 4);
    // Asking again for the same impossible size must not report success.
    EXPECT_FALSE(img.Resize(s[0], s[1]));
    ASSERT_TRUE(img.Resize(3, 2));
    EXPECT_NE(img.PixelAddress(2, 1), nullptr);
  }

  CImage8 b;
  EXPECT_FALSE(b.Resize(1 << 30, 1 << 30));
  EXPECT_EQ(b.pixels, nullptr);
  b.Fill(7);
  b.BlendPixel(0, 0, 7, 255);
  EXPECT_FALSE(b.FillSpan(0, 5, 0, 9, 255));
  EXPECT_FALSE(b.FillSpanAA(0.0, 5.0, 0, 9, 255));
  EXPECT_EQ(b.GetPixel(0, 0), 0);
  EXPECT_EQ(b.GetPixelWrapped(1, 1), 0);

  CImage1 d;
  EXPECT_FALSE(d.Resize(INT_MAX, INT_MAX));
  EXPECT_EQ(d.pixels, nullptr);
  d.SetPixel(0, 0, 1);
  d.Fill(1);
  EXPECT_EQ(d.ByteAddress(0, 0), nullptr);
  EXPECT_EQ(d.GetPixel(0, 0), 0);
}

// ---- addressing ----------------------------------------------------------------------------

TEST(ImagePixels, OutsideReadsNothingAndWrapsTowardPositive) {
  CImage32 img(4, 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) img.SetPixelUnchecked(x, y, 0xFF000000u | (y * 16 + x));
  EXPECT_EQ(img.PixelAddress(-1, 0), nullptr);
  EXPECT_EQ(img.PixelAddress(0, -1), nullptr);
  EXPECT_EQ(img.PixelAddress(4, 0), nullptr);
  EXPECT_EQ(img.GetPixel(4, 0), 0u);
  EXPECT_EQ(img.GetPixel(0, 3), 0u);
  EXPECT_EQ(img.PixelAddress(3, 2), img.pixels + 2 * 4 + 3);
  // (-1, -1) -> (3, 2); (5, -5) -> (1, 1) since -5 = -2 x 3 + 1.
  EXPECT_EQ(img.GetPixelWrapped(-1, -1), 0xFF000023u);
  EXPECT_EQ(img.GetPixelWrapped(5, -5), 0xFF000011u);

  CImage8 b;
  ASSERT_TRUE(b.Resize(4, 3));
  b.Fill(0);
  b.SetPixelUnchecked(3, 2, 77);
  EXPECT_EQ(b.GetPixelWrapped(-1, -1), 77);
  EXPECT_EQ(b.GetPixel(-1, 2), 0);
  EXPECT_EQ(b.PixelAddress(4, 2), nullptr);
}

TEST(ImagePixels, OneBitLayout) {
  CImage1 img;
  ASSERT_TRUE(img.Resize(9, 2));
  ASSERT_EQ(img.stride, 2);
  img.Fill(0);
  img.SetPixel(8, 0, 1);  // bit 0 of byte 1
  img.SetPixel(3, 0, 1);  // bit 3 of byte 0
  img.SetPixel(2, 1, 1);  // bit 2 of byte 2 (row 1)
  img.SetPixel(9, 0, 1);  // outside
  img.SetPixel(-1, 0, 1);
  EXPECT_EQ(img.pixels[0], 0x08);
  EXPECT_EQ(img.pixels[1], 0x01);
  EXPECT_EQ(img.pixels[2], 0x04);
  EXPECT_EQ(img.pixels[3], 0x00);
  int32_t bit = -1;
  EXPECT_EQ(img.ByteAddress(8, 1, bit), img.pixels + 3);
  EXPECT_EQ(bit, 0);
  EXPECT_EQ(img.ByteAddress(9, 1), nullptr);
  EXPECT_EQ(img.GetPixel(8, 0), 1);
  EXPECT_EQ(img.GetPixel(7, 0), 0);
  EXPECT_EQ(img.GetPixelWrapped(-1, -2), 1);  // (8, 0)

  img.SetPixel(3, 0, 2);  // only bit 0 of the value counts: clears
  EXPECT_EQ(img.pixels[0], 0x00);
  img.SetPixelIfOpaque(5, 0, 1, 127);
  EXPECT_EQ(img.GetPixel(5, 0), 0);
  img.SetPixelIfOpaque(5, 0, 1, 128);
  EXPECT_EQ(img.GetPixel(5, 0), 1);
  img.Fill(1);
  EXPECT_EQ(img.pixels[3], 0xFF);
}

TEST(ImagePixels, LuminanceAndAverage) {
  EXPECT_EQ(Luminance(0xFFFFFFFFu), 255u);
  EXPECT_EQ(Luminance(0xFF000000u), 0u);
  // 255 x 38469 / 65535 = 149.68
  EXPECT_EQ(Luminance(0xFF00FF00u), 149u);
  // (10 x 19595 + 20 x 38469 + 30 x 7471) / 65535 = 1189460 / 65535 = 18.15
  EXPECT_EQ(Luminance(0x000A141Eu), 18u);
  EXPECT_EQ(Average(0x00010203u), 2u);
  EXPECT_EQ(Average(0x00FF0001u), 85u);  // 256 / 3
}

TEST(ImagePixels, BlendPixelRules) {
  CImage32 img(2, 1);
  img.Fill(0);
  // Empty pixel: takes the colour, alpha floor(255 x (127 + 1) / 256) = 127.
  img.BlendPixel(0, 0, 0xFF102030u, 127);
  EXPECT_EQ(img.GetPixel(0, 0), 0x7F102030u);
  img.SetPixelUnchecked(1, 0, 0x400000FFu);
  // Alpha is kept: g = floor(255 x 51 / 255) = 51; blue floor(255 x 204 / 255) = 204,
  // red floor(255 x 51 / 255) = 51.
  img.BlendPixelKeepAlpha(1, 0, 0xFFFF0000u, 51);
  EXPECT_EQ(img.GetPixel(1, 0), 0x403300CCu);
  img.BlendPixel(2, 0, 0xFFFFFFFFu, 255);  // outside: nothing, no crash
  img.BlendPixel(-1, 0, 0xFFFFFFFFu, 255);

  CImage8 b;
  ASSERT_TRUE(b.Resize(2, 1));
  b.Fill(50);
  // (100 x 200 + 155 x 50) / 255 = 27750 / 255 = 108.8
  b.BlendPixel(0, 0, 200, 100);
  EXPECT_EQ(b.GetPixel(0, 0), 108);
  b.BlendPixel(1, 0, 200, 255);
  EXPECT_EQ(b.GetPixel(1, 0), 200);
  b.SetPixelUnchecked(1, 0, 50);
  b.BlendPixelLerp(1, 0, 200, 0);
  EXPECT_EQ(b.GetPixel(1, 0), 50);
  b.BlendPixelLerp(1, 0, 200, 100);
  EXPECT_EQ(b.GetPixel(1, 0), 108);
  b.BlendPixelLerp(5, 0, 200, 100);
}

TEST(ImagePixels, TransparencyAndUniformity) {
  CImage32 img(3, 2);
  img.Fill(0x00FFFFFFu);
  EXPECT_TRUE(img.IsTransparent());
  img.SetPixelUnchecked(2, 1, 0x01000000u);
  EXPECT_FALSE(img.IsTransparent());

  CImage8 b;
  ASSERT_TRUE(b.Resize(3, 2));
  b.Fill(0);
  EXPECT_TRUE(b.IsEmpty());
  b.SetPixelUnchecked(2, 1, 1);
  EXPECT_FALSE(b.IsEmpty());
  b.Fill(9);
  EXPECT_TRUE(b.IsAll(9));
  EXPECT_FALSE(b.IsAll(0));
}

// ---- spans of coverage images --------------------------------------------------------------

TEST(ImageSpans, FillSpanClipsAndOrdersItsEnds) {
  struct Case {
    int32_t x0, x1, y;
    bool result;
    int32_t first, last;  // painted columns of row 1
  };
  const Case cases[] = {{2, 7, 1, true, 2, 7},     {7, 2, 1, true, 2, 7},
                        {-5, 3, 1, true, 0, 3},    {8, 20, 1, true, 8, 9},
                        {10, 12, 1, false, 0, -1}, {-3, -1, 1, false, 0, -1},
                        {0, 9, 3, false, 0, -1},   {0, 9, -1, false, 0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x0 << ".." << c.x1 << " row " << c.y);
    CImage8 b;
    ASSERT_TRUE(b.Resize(10, 3));
    b.Fill(0);
    EXPECT_EQ(b.FillSpan(c.x0, c.x1, c.y, 200, 255), c.result);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const bool in = y == 1 && x >= c.first && x <= c.last;
        EXPECT_EQ(b.GetPixel(x, y), in ? 200 : 0) << x << "," << y;
      }
  }
}

TEST(ImageSpans, FillSpanBlendsBelowFullOpacity) {
  CImage8 b;
  ASSERT_TRUE(b.Resize(4, 1));
  b.Fill(50);
  ASSERT_TRUE(b.FillSpan(1, 2, 0, 200, 100));
  // floor((200 x 100 + 155 x 50) / 255) = 108
  EXPECT_EQ(b.GetPixel(0, 0), 50);
  EXPECT_EQ(b.GetPixel(1, 0), 108);
  EXPECT_EQ(b.GetPixel(2, 0), 108);
  EXPECT_EQ(b.GetPixel(3, 0), 50);
}

TEST(ImageSpans, AntiAliasedSpanInsideOnePixel) {
  CImage8 b;
  ASSERT_TRUE(b.Resize(10, 2));
  b.Fill(0);
  // Only pixel 2: strength trunc(0.5 x 255) = 127; floor(255 x 127 / 255) = 127.
  ASSERT_TRUE(b.FillSpanAA(2.25, 2.75, 1, 255, 255));
  for (int32_t x = 0; x < 10; ++x) {
    EXPECT_EQ(b.GetPixel(x, 1), x == 2 ? 127 : 0) << x;
    EXPECT_EQ(b.GetPixel(x, 0), 0) << x;
  }
  EXPECT_FALSE(b.FillSpanAA(0.0, 5.0, 2, 255, 255));
}

// ---- checkerboards -------------------------------------------------------------------------

TEST(ImageChecker, EightByEightWithSizeFive) {
  CImage32 img(8, 8);
  ASSERT_TRUE(img.FillChecker(kWhite, kGrey, 5));
  // mask 4, half 2: white exactly where bit 2 of x equals bit 2 of y.
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool firstHalfRow = y < 4, firstHalfCol = x < 4;
      EXPECT_EQ(img.GetPixel(x, y), firstHalfRow == firstHalfCol ? kWhite : kGrey) << x << "," << y;
    }
}

TEST(ImageChecker, PowerOfTwoSizeAndOffsets) {
  CImage32 img(16, 16);
  ASSERT_TRUE(img.FillChecker(1u, 2u, 8));
  // mask 7, half 4: cells of 4 pixels.
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      ASSERT_EQ(img.GetPixel(x, y), ((x & 7) < 4) == ((y & 7) < 4) ? 1u : 2u) << x << "," << y;

  // Offset -1 with size 5 is offset 4: the column counter starts at -4, whose bit 2 is
  // set, so row 0 begins with four pixels of colour 2.
  CImage32 a(8, 8), b(8, 8);
  ASSERT_TRUE(a.FillChecker(1u, 2u, 5, -1, 0));
  ASSERT_TRUE(b.FillChecker(1u, 2u, 5, 4, 0));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y));
  EXPECT_EQ(a.GetPixel(0, 0), 2u);
  EXPECT_EQ(a.GetPixel(3, 0), 2u);
  EXPECT_EQ(a.GetPixel(4, 0), 1u);
  // Offset 5 is offset 0.
  ASSERT_TRUE(b.FillChecker(1u, 2u, 5, 0, 5));
  EXPECT_EQ(b.GetPixel(0, 0), 1u);
  EXPECT_EQ(b.GetPixel(0, 4), 2u);
}

TEST(ImageChecker, RectangleIsClipped) {
  CImage32 img(8, 8);
  img.Fill(0);
  ASSERT_TRUE(img.FillCheckerRect(-2, -2, 4, 3, kWhite, kGrey, 5, 0, 0));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(img.GetPixel(x, y), (x < 2 && y < 1) ? kWhite : 0u) << x << "," << y;
  EXPECT_FALSE(img.FillCheckerRect(8, 0, 4, 4, kWhite, kGrey, 5, 0, 0));
  EXPECT_FALSE(img.FillCheckerRect(0, 0, 0, 4, kWhite, kGrey, 5, 0, 0));
  // No cells without a size: refused rather than dividing by zero.
  EXPECT_FALSE(img.FillChecker(kWhite, kGrey, 0));
  EXPECT_EQ(img.GetPixel(5, 5), 0u);
}

// ---- clipping ------------------------------------------------------------------------------

TEST(ImageClip, ClipRectTable) {
  struct Case {
    NRECT in;
    bool result;
    NRECT out;
  };
  const Case cases[] = {{{-3, 2, 5, 20}, true, {0, 2, 2, 8}},
                        {{8, 8, 5, 5}, true, {8, 8, 2, 2}},
                        {{0, 0, 10, 10}, true, {0, 0, 10, 10}},
                        {{10, 0, 3, 3}, false, {}},
                        {{0, 0, 0, 3}, false, {}},
                        {{-5, 0, 5, 3}, false, {}},
                        {{0, -3, 5, 3}, false, {}},
                        {{2, 3, INT_MAX, INT_MAX}, true, {2, 3, 8, 7}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.in.x << "," << c.in.y << " " << c.in.width << "x" << c.in.height);
    NRECT r = c.in;
    ASSERT_EQ(ClipRect(10, 10, r), c.result);
    if (c.result) {
      EXPECT_EQ(r, c.out);
    }
  }
}

TEST(ImageClip, ClipBltTable) {
  struct Case {
    int32_t srcW, srcH, dstW, dstH;
    TBltRect in;  // sx, sy, w, h, dx, dy
    bool result;
    TBltRect out;
  };
  const Case cases[] = {
      // Source corner left of and above the source: dx 1 + 3, w 5 - 3; dy 1 + 2, h 5 - 2.
      {10, 10, 10, 10, {-3, -2, 5, 5, 1, 1}, true, {0, 0, 2, 3, 4, 3}},
      // Destination corner outside: sx 2 + 3, w 5 - 3; sy 0 + 1, h 4 - 1.
      {10, 10, 6, 6, {2, 0, 5, 4, -3, -1}, true, {5, 1, 2, 3, 0, 0}},
      // Cut by the source (w 10 - 6, h 10 - 7), then by the destination (w 8 - 5).
      {10, 10, 8, 8, {6, 7, 10, 10, 5, 2}, true, {6, 7, 3, 3, 5, 2}},
      // Sizes near the int32 limit must not wrap around.
      {10, 10, 8, 8, {0, 0, INT_MAX, INT_MAX, 5, 6}, true, {0, 0, 3, 2, 5, 6}},
      {10, 10, 8, 8, {0, 0, 4, 4, 8, 0}, false, {}},
      {10, 10, 8, 8, {0, 0, 4, 4, 0, 8}, false, {}},
      {10, 10, 8, 8, {10, 0, 4, 4, 0, 0}, false, {}},
      {10, 10, 8, 8, {-6, 0, 5, 4, 0, 0}, false, {}},  // sx + w < 0
      {10, 10, 8, 8, {-5, 0, 5, 4, 0, 0}, false, {}},  // passes the first test, width 0
      {10, 10, 8, 8, {0, 0, 5, 4, -5, 0}, false, {}},  // w + dx <= 0
      {10, 10, 8, 8, {0, 0, 5, 4, 0, -4}, false, {}},  // h + dy <= 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "in " << c.in.sx << "," << c.in.sy << " " << c.in.w << "x"
                                    << c.in.h << " at " << c.in.dx << "," << c.in.dy);
    TBltRect r = c.in;
    ASSERT_EQ(ClipBlt(c.srcW, c.srcH, c.dstW, c.dstH, r), c.result);
    if (!c.result) continue;
    EXPECT_EQ(r.sx, c.out.sx);
    EXPECT_EQ(r.sy, c.out.sy);
    EXPECT_EQ(r.w, c.out.w);
    EXPECT_EQ(r.h, c.out.h);
    EXPECT_EQ(r.dx, c.out.dx);
    EXPECT_EQ(r.dy, c.out.dy);
  }
}

// ---- blits ---------------------------------------------------------------------------------

// Source pixel (x, y) is opaque with blue y x 16 + x, so every pixel is recognisable.
void FillNumbered(CImage32& img) {
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      img.SetPixelUnchecked(x, y, 0xFF000000u | static_cast<uint32_t>(y * 16 + x));
}

TEST(ImageBlt, SourceCornerOutsideMovesTheDestinationCorner) {
  CImage32 src(4, 4), dst(8, 8);
  FillNumbered(src);
  dst.Fill(0);
  // Source rectangle (-1, -2, 3, 4) at (2, 2): one column and two rows fall outside the
  // source, so source (0, 0) lands at (3, 4) and a 2 x 2 block is copied.
  ASSERT_TRUE(dst.Copy(2, 2, src, -1, -2, 3, 4));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      uint32_t expect = 0;
      if (x >= 3 && x <= 4 && y >= 4 && y <= 5)
        expect = 0xFF000000u | static_cast<uint32_t>((y - 4) * 16 + (x - 3));
      EXPECT_EQ(dst.GetPixel(x, y), expect) << x << "," << y;
    }
  EXPECT_FALSE(dst.Copy(8, 0, src));
  EXPECT_FALSE(dst.Copy(0, 0, src, 4, 0, 2, 2));
}

TEST(ImageBlt, ModeAndOpacityReachTheRows) {
  CImage32 src(2, 2), dst(3, 3);
  src.Fill(0xFF0000FFu);
  dst.Fill(0xFFFF0000u);
  TBltInfo32 info;
  info.mode = 28;
  info.opacity = 128;
  ASSERT_TRUE(dst.Blt(info, 1, 1, src, 0, 0, 2, 2));
  // Opaque destination: h = floor(255 x 128 / 255) = 128; red floor(255 x 127 / 255) = 127,
  // blue floor(255 x 128 / 255) = 128.
  EXPECT_EQ(dst.GetPixel(1, 1), 0xFF7F0080u);
  EXPECT_EQ(dst.GetPixel(2, 2), 0xFF7F0080u);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(dst.GetPixel(2, 0), 0xFFFF0000u);

  CImage8 a, b;
  ASSERT_TRUE(a.Resize(3, 1));
  ASSERT_TRUE(b.Resize(3, 1));
  a.Fill(100);
  b.Fill(150);
  b.SetPixelUnchecked(0, 0, 50);
  TBltInfo8 max;
  max.mode = 27;
  ASSERT_TRUE(b.Blt(max, 0, 0, a, 0, 0, 3, 1));
  EXPECT_EQ(b.GetPixel(0, 0), 100);
  EXPECT_EQ(b.GetPixel(1, 0), 150);
}

TEST(ImageBlt, CopyFromTakesSizeAndContent) {
  CImage32 src(5, 3), dst(2, 2);
  FillNumbered(src);
  ASSERT_TRUE(dst.CopyFrom(src));
  EXPECT_EQ(dst.width, 5);
  EXPECT_EQ(dst.height, 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(dst.GetPixel(x, y), src.GetPixel(x, y));

  CImage8 a, b;
  ASSERT_TRUE(a.Resize(3, 2));
  a.Fill(0);
  a.SetPixelUnchecked(2, 1, 42);
  ASSERT_TRUE(b.CopyFrom(a));
  EXPECT_EQ(b.width, 3);
  EXPECT_EQ(b.GetPixel(2, 1), 42);
  EXPECT_EQ(b.GetPixel(0, 0), 0);
}

}  // namespace
}  // namespace pavo

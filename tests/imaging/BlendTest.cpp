// Blend rules, row compositing per mode, span fills. Every expected pixel below is worked out
// from the blend formulas by hand; the comment of each row gives the working. Divisions
// truncate. Channels are written R, G, B (alpha separately as A).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "imaging/Blend.h"

namespace pavo {
namespace {

std::string Hex(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", c);
  return buf;
}

TEST(Div255, ShiftFormIsTheTruncatedQuotientOverTheWholeRange) {
  for (uint32_t x = 0; x <= 65025; ++x) ASSERT_EQ(Div255(x), x / 255) << x;
}

// ---- per-pixel rules ---------------------------------------------------------------------

struct PixelCase {
  const char* note;
  uint32_t d, s, f, want;
};

TEST(PixelRules, BlendOntoOpaque) {
  const PixelCase cases[] = {
      {"f = 0: nothing", 0x80102030, 0xFFFFFFFF, 0, 0x80102030},
      {"s.A = 0: nothing", 0x80102030, 0x00FFFFFF, 255, 0x80102030},
      {"opaque s, f 255: colour copied, d.A 0x40 kept", 0x40AABBCC, 0xFF112233, 255, 0x40112233},
      {"g = s.A = 128: R 255*128/255=128, B 255*127/255=127", 0xFF0000FF, 0x80FF0000, 255,
       0xFF80007F},
      {"g = 255*128/255 = 128 as above, d.A 0x7F kept", 0x7F0000FF, 0xFFFF0000, 128, 0x7F80007F},
      // g = 128*100/255 = 50; R (200*50+30*205)/255 = 63, G (100*50+60*205)/255 = 67,
      // B (50*50+90*205)/255 = 82
      {"general", 0xFF1E3C5A, 0x80C86432, 100, 0xFF3F4352},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    uint32_t d = c.d;
    BlendOntoOpaque(d, c.s, c.f);
    EXPECT_EQ(Hex(d), Hex(c.want));
  }
}

TEST(PixelRules, Over) {
  const PixelCase cases[] = {
      {"D = 0 (empty d, empty s): nothing", 0x00000000, 0x00FFFFFF, 255, 0x00000000},
      {"f = 0 keeps d: D = 128*255, channels d.c*k/D = d.c", 0x80123456, 0xFFFFFFFF, 0, 0x80123456},
      // g 32640, h 128, D = 32640 + 32640 - 16384 = 48896, A = 191; equal channels unchanged
      {"same colour changes only alpha", 0x80FF0000, 0x80FF0000, 255, 0xBFFF0000},
      // k = 127*128 = 16256; R 255*32640/48896 = 170, B 255*16256/48896 = 84
      {"two colours", 0x800000FF, 0x80FF0000, 255, 0xBFAA0054},
      // g = 200*100 = 20000, h = 78, D = 16320 + 20000 - 4992 = 31328, k = 177*64 = 11328;
      // R (32k + 255g)/D = 174, G (64k + 255g)/D = 185, B (96k + 255g)/D = 197, A 31328/255 = 122
      {"source alpha scaled by f", 0x40204060, 0xC8FFFFFF, 100, 0x7AAEB9C5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    uint32_t d = c.d;
    Over(d, c.s, c.f);
    EXPECT_EQ(Hex(d), Hex(c.want));
  }
}

TEST(PixelRules, PaintOver) {
  const PixelCase cases[] = {
      {"empty d, f 255: d = s", 0x00ABCDEF, 0x80FF0000, 255, 0x80FF0000},
      {"empty d: A = 128*129/256 = 64", 0x00ABCDEF, 0x80FF0000, 128, 0x40FF0000},
      {"empty d: A = 200*201/256 = 157 (not 200*200/255 = 156)", 0x00000000, 0xC8FF0000, 200,
       0x9DFF0000},
      {"opaque s at full strength replaces d", 0x80000000, 0xFF123456, 255, 0xFF123456},
      {"opaque d: BlendOntoOpaque, R 128 B 127", 0xFF0000FF, 0x80FF0000, 255, 0xFF80007F},
      {"half d: Over", 0x800000FF, 0x80FF0000, 255, 0xBFAA0054},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    uint32_t d = c.d;
    PaintOver(d, c.s, c.f);
    EXPECT_EQ(Hex(d), Hex(c.want));
  }
}

TEST(PixelRules, ByteOperations) {
  struct Case {
    const char* note;
    void (*op)(uint8_t&, uint32_t, uint32_t);
    uint8_t d;
    uint32_t v, f;
    uint8_t want;
  };
  const Case cases[] = {
      {"Lerp8 f 0 keeps d", Lerp8, 100, 200, 0, 100},
      {"Lerp8 f 255 gives v", Lerp8, 100, 200, 255, 200},
      {"Lerp8 (200*100 + 155*100)/255 = 139", Lerp8, 100, 200, 100, 139},
      {"Add8 200 + 100 clamps at 255", Add8, 200, 100, 255, 255},
      {"Add8 10 + 100*128/255 = 10 + 50", Add8, 10, 100, 128, 60},
      {"Sub8 10 - 100 clamps at 0", Sub8, 10, 100, 255, 0},
      {"Sub8 100 - 200*100/255 = 100 - 78", Sub8, 100, 200, 100, 22},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    uint8_t d = c.d;
    c.op(d, c.v, c.f);
    EXPECT_EQ(int(d), int(c.want));
  }
}

// ---- 32 <- 32 ----------------------------------------------------------------------------

// Shared numbers of the mode tables: destination channels R 64, G 128, B 192 and source
// channels R 96, G 160, B 32. At full strength the per-mode results r are
//   add       160, min(255, 288) = 255, 224
//   multiply  96*64/255 = 24, 160*128/255 = 80, 32*192/255 = 24
//   overlay   2*64*96/255 = 48, 255 - 255*95/255 = 160, 255 - 127*223/255 = 144
//   screen    255 - 191*159/255 = 136, 255 - 127*95/255 = 208, 255 - 63*223/255 = 200
//   inv. excl 64 + 159*127/255 = 143, 128 + (95*-1)/255 = 128, 192 + 223*-129/255 = 80
//             (signed divisions truncate toward zero: -0.37 -> 0, -112.8 -> -112)
//   lighten   96, 160, 192;  darken 64, 128, 32;  difference 32, 32, 160
//   dodge     16384/160 = 102, 32768/96 -> 255, 49152/224 = 219
//   burn      255 - min(255, 48896/97) = 0, 255 - 32512/161 = 54, 255 - min(255, 16128/33) = 0
// At strength 128 each becomes (r*128 + d*127)/255 (add: d + s*128/255):
//   add 112, 208, 208; multiply 43, 103, 107; overlay 55, 144, 167; screen 100, 168, 196;
//   lighten 80, 144, 192; darken 64, 128, 111; difference 47, 79, 175; dodge 83, 191, 205;
//   burn 31, 90, 95.
// Inverted exclusion at s.A 128, opacity 255: g = 255*129/256 + 1 = 129,
//   q = (255 - s.c)*129/256 = 80, 47, 112; d + q(255 - 2d)/255 = 64+39, 128+0, 192-56.
constexpr uint32_t kD = 0x004080C0;
constexpr uint32_t kS = 0x0060A020;

struct RowCase {
  const char* note;
  int32_t mode;
  uint32_t d, s;
  uint8_t opacity;
  uint32_t want;
  uint32_t colour = 0;
};

void CheckRow32(const RowCase& c) {
  SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ": " << c.note);
  TBltInfo32 info;
  info.mode = c.mode;
  info.opacity = c.opacity;
  info.colour = c.colour;
  uint32_t d = c.d;
  RowBlend32(info, &c.s, 0, &d, 0, 1);
  EXPECT_EQ(Hex(d), Hex(c.want));
}

TEST(RowBlend32, CopyLogicAndNormalModes) {
  const RowCase cases[] = {
      {"copy, alpha included", 0, 0xFFFFFFFF, 0x00123456, 0, 0x00123456},
      {"AND", 1, 0xF0F0F0F0, 0x3C3C3C3C, 0, 0x30303030},
      {"OR", 2, 0xF0F0F0F0, 0x0F000F00, 0, 0xFFF0FFF0},
      {"transparent source: nothing", 28, 0x80123456, 0x00FFFFFF, 255, 0x80123456},
      {"empty d takes s", 28, 0x00000000, 0x80FF0000, 255, 0x80FF0000},
      {"empty d, opacity 128: A = 128*128/255 = 64", 28, 0x00000000, 0x80FF0000, 128, 0x40FF0000},
      {"opaque s full opacity replaces d", 28, 0x80123456, 0xFFABCDEF, 255, 0xFFABCDEF},
      {"opaque d: h 128, R 128, B 127", 28, 0xFF0000FF, 0x80FF0000, 255, 0xFF80007F},
      {"opaque d: h = 255*100/255 = 100, R 100, B 155", 28, 0xFF0000FF, 0xFFFF0000, 100,
       0xFF64009B},
      {"half d: Over (see PixelRules.Over)", 28, 0x800000FF, 0x80FF0000, 255, 0xBFAA0054},
      {"mode 6 transparent source: nothing", 6, 0x80123456, 0x00FFFFFF, 255, 0x80123456},
      {"mode 6 opaque s: colour copied, alpha kept", 6, 0x40000000, 0xFF112233, 255, 0x40112233},
      // h = 51*255/255 = 51; R 255*51/255 = 51, G 255*204/255 = 204
      {"mode 6 general, alpha kept", 6, 0x2000FF00, 0xFFFF0000, 51, 0x2033CC00},
  };
  for (const auto& c : cases) CheckRow32(c);
}

TEST(RowBlend32, EraseAndKeyModes) {
  const RowCase cases[] = {
      {"transparent source: nothing", 22, 0xFF123456, 0x00FFFFFF, 255, 0xFF123456},
      {"e 255 clears alpha, colour kept", 22, 0xFF123456, 0xFF000000, 255, 0x00123456},
      {"200 - 100", 22, 0xC8123456, 0x64000000, 255, 0x64123456},
      {"e = 200*128/255 = 100 > 80: 0", 22, 0x50123456, 0xC8000000, 128, 0x00123456},
      {"e = 255*128/255 = 128: 255 - 128", 22, 0xFF123456, 0xFF000000, 128, 0x7F123456},
      {"opaque source: nothing", 23, 0xFF123456, 0xFF000000, 255, 0xFF123456},
      {"transparent source erases all", 23, 0xFF123456, 0x00000000, 255, 0x00123456},
      {"e = 255 - 155 = 100", 23, 0xC8123456, 0x9B000000, 255, 0x64123456},
      {"e = 255*100/255 = 100", 23, 0xC8123456, 0x00000000, 100, 0x64123456},
      {"key colour skipped", 25, 0xFF000000, 0xFF00FF00, 255, 0xFF000000, 0xFF00FF00},
      {"other colour: BlendOntoOpaque, alpha kept", 25, 0x80000000, 0xFFFF0000, 255, 0x80FF0000,
       0xFF00FF00},
      {"default key 0 skips 0", 25, 0xFF0000FF, 0x00000000, 255, 0xFF0000FF},
      {"BlendOntoOpaque g 128: R 128, B 127", 25, 0xFF0000FF, 0x80FF0000, 255, 0xFF80007F},
  };
  for (const auto& c : cases) CheckRow32(c);
}

TEST(RowBlend32, OpaqueDestinationModes) {
  const RowCase cases[] = {
      // Full strength: s.A 255, opacity 255 -> b 255, the results r of the table above.
      {"add", 7, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFFA0FFE0},
      {"multiply", 8, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF185018},
      {"overlay", 9, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF30A090},
      {"screen", 10, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF88D0C8},
      {"inverted exclusion", 11, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF8F8050},
      {"lighten", 12, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF60A0C0},
      {"darken", 13, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF408020},
      {"difference", 14, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF2020A0},
      {"dodge", 15, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF66FFDB},
      {"burn", 16, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF003600},
      // Strength b = 128*255/255 = 128 from the source alpha; d.A 0x80 is never changed.
      {"add b 128", 7, 0x80000000 | kD, 0x80000000 | kS, 255, 0x8070D0D0},
      {"multiply b 128", 8, 0x80000000 | kD, 0x80000000 | kS, 255, 0x802B676B},
      {"overlay b 128", 9, 0x80000000 | kD, 0x80000000 | kS, 255, 0x803790A7},
      {"screen b 128", 10, 0x80000000 | kD, 0x80000000 | kS, 255, 0x8064A8C4},
      {"inverted exclusion g 129", 11, 0x80000000 | kD, 0x80000000 | kS, 255, 0x80678088},
      {"lighten b 128", 12, 0x80000000 | kD, 0x80000000 | kS, 255, 0x805090C0},
      {"darken b 128", 13, 0x80000000 | kD, 0x80000000 | kS, 255, 0x8040806F},
      {"difference b 128", 14, 0x80000000 | kD, 0x80000000 | kS, 255, 0x802F4FAF},
      {"dodge b 128", 15, 0x80000000 | kD, 0x80000000 | kS, 255, 0x8053BFCD},
      {"burn b 128", 16, 0x80000000 | kD, 0x80000000 | kS, 255, 0x801F5A5F},
      // b = 255*128/255 = 128 from the opacity gives the same pixel as s.A 128.
      {"lighten, opacity 128", 12, 0x80000000 | kD, 0xFF000000 | kS, 128, 0x805090C0},
      {"add ignores colour of a transparent source", 7, 0x80000000 | kD, 0x00FFFFFF, 255,
       0x80000000 | kD},
      // b = 1*128/255 = 0: nothing, although g = 128*2/256 + 1 = 2 would add 1 to R = 0.
      {"inverted exclusion at strength 0", 11, 0xFF000000, 0x01000000, 128, 0xFF000000},
  };
  for (const auto& c : cases) CheckRow32(c);
}

// With-alpha modes at d = 0x80 (64, 128, 192), s = 0x80 (96, 160, 32), opacity 255:
//   g = 128*255 = 32640, F = 128, D = 32640 + 32640 - 128*128 = 48896, A = 191 (0xBF);
//   O = (128*127*d.c + g*s.c)/D = 85, 149, 85;
//   W = ((D + 510) >> 8)*128/255 = 192*128/255 = 96; c = (159*O + 96*M)/255 with M the
//   strength-128 results of the opaque table above.
// Mode 33 divides by 255 throughout: W = (48896/255)*128/255 = 191*128/255 = 95,
//   M = d + ((255 - s.c)*128/255)(255 - 2d)/255 = 64 + 79*127/255, 128 + 0, 192 - 111*129/255
//     = 103, 128, 136; c = (160*O + 95*M)/255 = 91, 141, 104.
TEST(RowBlend32, WithAlphaModes) {
  const uint32_t d = 0x80000000 | kD;
  const uint32_t s = 0x80000000 | kS;
  const RowCase cases[] = {
      {"multiply: (159*85 + 96*43)/255 = 69, ..131, ..93", 29, d, s, 255, 0xBF45835D},
      {"add: M 112, 208, 208", 30, d, s, 255, 0xBF5FAB83},
      {"overlay: M 55, 144, 167", 31, d, s, 255, 0xBF499373},
      {"screen: M 100, 168, 196", 32, d, s, 255, 0xBF5A9C7E},
      {"inverted exclusion, own divisions", 33, d, s, 255, 0xBF5B8D68},
      {"lighten: M 80, 144, 192", 34, d, s, 255, 0xBF53937D},
      {"darken: M 64, 128, 111", 35, d, s, 255, 0xBF4D8D5E},
      {"difference: M 47, 79, 175", 36, d, s, 255, 0xBF467A76},
      {"dodge: M 83, 191, 205", 37, d, s, 255, 0xBF54A482},
      {"burn: M 31, 90, 95", 38, d, s, 255, 0xBF407E58},
      // Opaque d: D = 65025 + 32640 - 255*128 = 65025, W = 65535 >> 8 = 255 > 254 -> M.
      {"opaque d gives the opaque-destination result", 31, 0xFF000000 | kD, s, 255, 0xFF3790A7},
      // Full strength everywhere: F 255, O = s.c, W 255 -> M = full-strength r.
      {"full strength multiply", 29, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF185018},
      {"full strength inverted exclusion", 33, 0xFF000000 | kD, 0xFF000000 | kS, 255, 0xFF8F8050},
      // d.A 254, opaque s: g = 65025, F 255, D = 65025, W = 255*254/255 = 254 (still mixed):
      // O = s.c = 32, 48, 64; M = max = 64, 128, 192; (O + 254 M)/255 = 63, 127, 191.
      {"W 254 still mixes the over colour", 34, 0xFE000000 | kD, 0xFF203040, 255, 0xFF3F7FBF},
      // Black onto black, A 128 each: O = 0, M = 0 + (255*128/255)*255/255 = 128;
      // W = (48896/255)*128/255 = 95 -> 95*128/255 = 47 (the shift form's W 96 would give 48).
      {"mode 33 weight from D / 255", 33, 0x80000000, 0x80000000, 255, 0xBF2F2F2F},
      {"transparent source: nothing", 29, d, 0x00FFFFFF, 255, d},
      {"empty d takes s with A = 200*128/255 = 100", 30, 0x00FFFFFF, 0xC8102030, 128, 0x64102030},
      // Mode 33 through its formula: D = g = 25600, O = s.c, W = 0, A = 25600/255 = 100.
      {"mode 33 on empty d gives the same pixel", 33, 0x00FFFFFF, 0xC8102030, 128, 0x64102030},
  };
  for (const auto& c : cases) CheckRow32(c);
}

TEST(RowBlend32, WholeRowWithOffsets) {
  TBltInfo32 info;
  const uint32_t src[4] = {1, 2, 3, 4};
  uint32_t dst[5] = {9, 9, 9, 9, 9};
  RowBlend32(info, src, 1, dst, 2, 2);  // copy source columns 1..2 to destination 2..3
  EXPECT_EQ(std::vector<uint32_t>(dst, dst + 5), (std::vector<uint32_t>{9, 9, 2, 3, 9}));

  info.mode = 28;
  const uint32_t over[3] = {0x00FFFFFF, 0x80FF0000, 0xFF00FF00};
  uint32_t row[4] = {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF};
  RowBlend32(info, over, 0, row, 1, 3);
  // column 0 untouched; transparent source; h 128 (R 128, B 127); opaque source copied
  EXPECT_EQ(Hex(row[0]), Hex(0xFF0000FF));
  EXPECT_EQ(Hex(row[1]), Hex(0xFF0000FF));
  EXPECT_EQ(Hex(row[2]), Hex(0xFF80007F));
  EXPECT_EQ(Hex(row[3]), Hex(0xFF00FF00));
}

// ---- 32 <- 8 -----------------------------------------------------------------------------

struct CovCase {
  const char* note;
  int32_t mode;
  uint32_t d;
  uint8_t v, opacity;
  uint32_t paint, want;
};

void CheckCov(const CovCase& c, const uint32_t* palette = nullptr) {
  SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ": " << c.note);
  TBltInfo32 info;
  info.mode = c.mode;
  info.opacity = c.opacity;
  info.paintColour = c.paint;
  info.palette = palette;
  uint32_t d = c.d;
  RowBlend8To32(info, &c.v, 0, &d, 0, 1);
  EXPECT_EQ(Hex(d), Hex(c.want));
}

TEST(RowBlend8To32, NormalAndColourModes) {
  const CovCase cases[] = {
      {"no coverage: nothing", 28, 0x80123456, 0, 255, 0, 0x80123456},
      {"paint colour 0 paints opaque black", 28, 0x00000000, 255, 255, 0, 0xFF000000},
      {"empty d: A = v, C.A not used", 28, 0x00000000, 200, 255, 0x80FF0000, 0xC8FF0000},
      {"empty d: A = 200*101/256 = 78", 28, 0x00000000, 200, 100, 0xFF00FF00, 0x4E00FF00},
      {"opaque C at full coverage replaces d", 28, 0x80123456, 255, 255, 0xFFABCDEF, 0xFFABCDEF},
      // O = 256*128/256 = 128; R 255*128/256 = 127, B 255*128/256 = 127
      {"opaque d blends in 256ths", 28, 0xFF0000FF, 128, 255, 0xFFFF0000, 0xFF7F007F},
      {"opaque d: C.A not used", 28, 0xFF0000FF, 128, 255, 0x10FF0000, 0xFF7F007F},
      // Over(d, C, 128): g 32640, h 128, D 48896, R 170, B 84, A 191
      {"half d: Over", 28, 0x800000FF, 128, 255, 0xFFFF0000, 0xBFAA0054},
      {"mode 6 no coverage", 6, 0x40123456, 0, 255, 0xFFFF0000, 0x40123456},
      {"mode 6 e 255 copies C's colour, C.A ignored", 6, 0x40123456, 255, 255, 0x80FF0000,
       0x40FF0000},
      // BlendOntoOpaque(d, C, 128): g 128, R 128, B 127
      {"mode 6 e 128", 6, 0x400000FF, 128, 255, 0xFFFF0000, 0x4080007F},
      {"mode 6 e = 255*128/255 = 128", 6, 0x400000FF, 255, 128, 0xFFFF0000, 0x4080007F},
      {"mode 0 does nothing here", 0, 0x40123456, 255, 255, 0xFFFF0000, 0x40123456},
  };
  for (const auto& c : cases) CheckCov(c);
}

TEST(RowBlend8To32, OpaqueDestinationModes) {
  // Same numbers as the 32 <- 32 table, with C = (96, 160, 32) and strength from coverage.
  const uint32_t d = 0x80000000 | kD;
  const uint32_t C = 0xFF000000 | kS;
  const CovCase cases[] = {
      {"add at v 255", 7, d, 255, 255, C, 0x80A0FFE0},
      {"overlay at v 128", 9, d, 128, 255, C, 0x803790A7},
      {"burn at v 255", 16, d, 255, 255, C, 0x80003600},
      {"difference at 255*128/255 = 128", 14, d, 255, 128, C, 0x802F4FAF},
      {"screen: no coverage, nothing", 10, d, 0, 255, C, d},
      // t = 159, 95, 223; d + t(255 - 2d)/255 as the full-strength source
      {"inverted exclusion at full coverage", 11, d, 255, 255, C, 0x808F8050},
      // L = 128 + 1; q = 129 t / 256 = 80, 47, 112 -> 103, 128, 136
      {"inverted exclusion at v 128", 11, d, 128, 255, C, 0x80678088},
      // t = 128*(159, 95, 223)/255 = 79, 47, 111; L = 129; q = 39, 23, 55;
      // 64 + 39*127/255 = 83, 128 + 0, 192 - 55*129/255 = 192 - 27 = 165
      {"inverted exclusion at opacity 128, C.A not used", 11, d, 255, 128, 0x0060A020, 0x805380A5},
  };
  for (const auto& c : cases) CheckCov(c);
}

TEST(RowBlend8To32, WithAlphaModes) {
  const CovCase cases[] = {
      {"empty d takes C with A = v", 30, 0x00000000, 200, 255, 0xFF102030, 0xC8102030},
      {"empty d: A = 200*101/256 = 78", 30, 0x00000000, 200, 100, 0xFF102030, 0x4E102030},
      // Strength (255 + 1)*255/256 = 255: the same numbers as RowBlend32.WithAlphaModes.
      {"multiply at full coverage", 29, 0x80000000 | kD, 255, 255, 0x80000000 | kS, 0xBF45835D},
      {"inverted exclusion at full coverage", 33, 0x80000000 | kD, 255, 255, 0x80000000 | kS,
       0xBF5B8D68},
      // Strength 200, g = 51000, D = g, O = C.c, W = 0, A = 51000/255 = 200.
      {"mode 33 on empty d through its formula", 33, 0x00FFFFFF, 200, 255, 0xFF102030, 0xC8102030},
      {"no coverage: nothing", 38, 0x80000000 | kD, 0, 255, 0xFF000000, 0x80000000 | kD},
  };
  for (const auto& c : cases) CheckCov(c);
}

TEST(RowBlend8To32, LowCoverageEraseAndGreyModes) {
  const CovCase cases[] = {
      {"19: full coverage, nothing", 19, 0x00000000, 255, 255, 0, 0x00000000},
      {"19: O 255 sets d = C (opaque black)", 19, 0x00000000, 0, 255, 0, 0xFF000000},
      // O = 255*100/255 = 100; BlendOntoOpaque g 100: R 100, B 155
      {"19: O 100", 19, 0xFF0000FF, 155, 255, 0xFFFF0000, 0xFF64009B},
      {"22: no coverage, nothing", 22, 0xFF123456, 0, 255, 0, 0xFF123456},
      {"22: full coverage clears alpha", 22, 0xFF123456, 255, 255, 0, 0x00123456},
      {"22: 200 - 100", 22, 0xC8123456, 100, 255, 0, 0x64123456},
      {"22: e = 255*128/255 = 128", 22, 0xFF123456, 255, 128, 0, 0x7F123456},
      {"23: full coverage, nothing", 23, 0xFF123456, 255, 255, 0, 0xFF123456},
      {"23: no coverage clears alpha", 23, 0xFF123456, 0, 255, 0, 0x00123456},
      {"23: e = 255 - 155 = 100", 23, 0xC8123456, 155, 255, 0, 0x64123456},
      // t = 255*127/255 = 127: A 255 -> 128, R 128 -> 1, G 0 -> 127, B 127 -> 254
      {"24: full coverage", 24, 0xFF80007F, 255, 255, 0, 0x80017FFE},
      // t = 128*127/255 = 63: A 64 -> 127, R 192 -> 129, G 16 -> 79, B 32 -> 95
      {"24: v 128", 24, 0x40C01020, 128, 255, 0, 0x7F814F5F},
      {"24: t = 1*127/255 = 0, nothing", 24, 0x40C01020, 1, 255, 0, 0x40C01020},
      {"24: no coverage", 24, 0x40C01020, 0, 255, 0, 0x40C01020},
  };
  for (const auto& c : cases) CheckCov(c);
}

TEST(RowBlend8To32, PaletteMode) {
  uint32_t palette[256];
  for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000 | (i << 16);  // red = index
  const CovCase withPalette[] = {
      {"palette[200] copied", 26, 0xFF0000FF, 200, 255, 0, 0xFFC80000},
      // g = 255*51/255 = 51; R 200*51/255 = 40, B 255*204/255 = 204
      {"palette[200] at opacity 51", 26, 0xFF0000FF, 200, 51, 0, 0xFF2800CC},
      {"coverage 0 picks palette[0] too", 26, 0xFF0000FF, 0, 255, 0, 0xFF000000},
  };
  for (const auto& c : withPalette) CheckCov(c, palette);
  CheckCov({"no palette: nothing", 26, 0xFF0000FF, 200, 255, 0, 0xFF0000FF});
}

TEST(RowBlend8To32, WholeRowWithOffsets) {
  TBltInfo32 info;
  info.mode = 28;
  const uint8_t cov[4] = {9, 0, 255, 255};
  uint32_t row[3] = {0x12345678, 0x12345678, 0x00000000};
  RowBlend8To32(info, cov, 1, row, 0, 3);  // coverage 0, 255, 255 onto columns 0..2
  EXPECT_EQ(Hex(row[0]), Hex(0x12345678));
  EXPECT_EQ(Hex(row[1]), Hex(0xFF000000));
  EXPECT_EQ(Hex(row[2]), Hex(0xFF000000));
}

// ---- 8 <- 8 ------------------------------------------------------------------------------

TEST(RowBlend8, EveryMode) {
  struct Case {
    const char* note;
    int32_t mode;
    uint8_t d, s, opacity, colour, paint, want;
  };
  const Case cases[] = {
      {"copy ignores opacity", 0, 10, 200, 0, 0, 0, 200},
      {"AND", 1, 0xF0, 0x3C, 255, 0, 0, 0x30},
      {"OR", 2, 0xF0, 0x0F, 255, 0, 0, 0xFF},
      {"Sub8 100 - 78", 4, 100, 200, 100, 0, 0, 22},
      {"Sub8 clamps at 0", 4, 100, 200, 255, 0, 0, 0},
      {"masking: 100 - (255 - 200)", 5, 100, 200, 255, 0, 0, 45},
      {"masking: empty source removes all", 5, 100, 0, 255, 0, 0, 0},
      {"Lerp8 139", 6, 100, 200, 100, 0, 0, 139},
      {"Add8 10 + 50", 7, 10, 100, 128, 0, 0, 60},
      {"Add8 clamps at 255", 7, 200, 100, 255, 0, 0, 255},
      {"tint: no source, nothing", 17, 50, 0, 255, 0, 200, 50},
      {"tint: full source stores the tint", 17, 50, 255, 255, 0, 200, 200},
      {"tint: b 100, (155*50 + 200*100)/255 = 108", 17, 50, 100, 255, 0, 200, 108},
      {"tint: b = 255*100/255 = 100", 17, 50, 255, 100, 0, 200, 108},
      {"tint: b = 200*128/255 = 100", 17, 50, 200, 128, 0, 200, 108},
      {"key byte skipped", 25, 50, 200, 255, 200, 0, 50},
      {"other byte lerped fully", 25, 50, 100, 255, 200, 0, 100},
      {"other byte: (100*100 + 155*50)/255 = 69", 25, 50, 100, 100, 200, 0, 69},
      {"maximum raises to Lerp8 result 139", 27, 100, 200, 100, 0, 0, 139},
      {"maximum keeps the larger destination", 27, 200, 100, 255, 0, 0, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ": " << c.note);
    TBltInfo8 info;
    info.mode = c.mode;
    info.opacity = c.opacity;
    info.colour = c.colour;
    info.paintColour = c.paint;
    uint8_t d = c.d;
    RowBlend8(info, &c.s, 0, &d, 0, 1);
    EXPECT_EQ(int(d), int(c.want));
  }
}

TEST(RowBlend8, MaximumNeverLowersAByte) {
  for (int opacity : {0, 1, 127, 128, 254, 255}) {
    TBltInfo8 info;
    info.mode = 27;
    info.opacity = static_cast<uint8_t>(opacity);
    for (int d = 0; d < 256; ++d) {
      uint8_t src[256], row[256];
      for (int s = 0; s < 256; ++s) {
        src[s] = static_cast<uint8_t>(s);
        row[s] = static_cast<uint8_t>(d);
      }
      RowBlend8(info, src, 0, row, 0, 256);
      for (int s = 0; s < 256; ++s) {
        ASSERT_GE(row[s], d) << "opacity " << opacity << " s " << s;
        // At full opacity the maximum is exact.
        if (opacity == 255) {
          ASSERT_EQ(row[s], std::max(d, s)) << "s " << s;
        }
      }
    }
  }
}

// ---- fills -------------------------------------------------------------------------------

TEST(RowFill32, Modes) {
  struct Case {
    const char* note;
    int32_t mode;
    uint32_t d, p;
    uint8_t opacity;
    uint32_t want;
  };
  const Case cases[] = {
      {"mode 0 stores P", 0, 0xFFFFFFFF, 0x00123456, 0, 0x00123456},
      {"mode 1 BlendOntoOpaque g 128, alpha kept", 1, 0x800000FF, 0xFFFF0000, 128, 0x8080007F},
      {"mode 2 opaque P replaces d", 2, 0x80123456, 0xFFABCDEF, 255, 0xFFABCDEF},
      {"mode 2 empty d takes P", 2, 0x00000000, 0xC8FF0000, 255, 0xC8FF0000},
      {"mode 2 empty d: A = 200*200/255 = 156", 2, 0x00000000, 0xC8FF0000, 200, 0x9CFF0000},
      {"mode 2 opaque d: g 100, R 100, B 155", 2, 0xFF0000FF, 0xFFFF0000, 100, 0xFF64009B},
      {"mode 2 half d: Over", 2, 0x800000FF, 0x80FF0000, 255, 0xBFAA0054},
      {"mode 6 is not a fill", 6, 0x80123456, 0xFFFFFFFF, 255, 0x80123456},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ": " << c.note);
    TBltInfo32 info;
    info.mode = c.mode;
    info.opacity = c.opacity;
    info.colour = c.p;
    uint32_t d = c.d;
    RowFill32(info, &d, 0, 1);
    EXPECT_EQ(Hex(d), Hex(c.want));
  }
  TBltInfo32 info;
  info.colour = 0xFF00FF00;
  uint32_t row[5] = {1, 1, 1, 1, 1};
  RowFill32(info, row, 1, 3);
  EXPECT_EQ(std::vector<uint32_t>(row, row + 5),
            (std::vector<uint32_t>{1, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 1}));
}

TEST(RowFill8, Modes) {
  struct Case {
    const char* note;
    int32_t mode;
    uint8_t d, v, opacity, want;
  };
  const Case cases[] = {
      {"mode 0 stores v", 0, 10, 200, 0, 200},
      {"mode 6 raises to v", 6, 10, 200, 255, 200},
      {"mode 6 never lowers", 6, 250, 200, 255, 250},
      {"mode 6 raises to 200*128/255 = 100", 6, 10, 200, 128, 100},
      {"mode 6 keeps 150 above 100", 6, 150, 200, 128, 150},
      {"mode 1 full opacity stores v", 1, 10, 200, 255, 200},
      {"mode 1 (200*100 + 155*10)/255 = 84", 1, 10, 200, 100, 84},
      {"mode 2 the same blend", 2, 10, 200, 100, 84},
      {"mode 7 is not a fill", 7, 10, 200, 255, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ": " << c.note);
    TBltInfo8 info;
    info.mode = c.mode;
    info.opacity = c.opacity;
    info.colour = c.v;
    uint8_t d = c.d;
    RowFill8(info, &d, 0, 1);
    EXPECT_EQ(int(d), int(c.want));
  }
  TBltInfo8 info;
  info.colour = 7;
  uint8_t row[5] = {1, 1, 1, 1, 1};
  RowFill8(info, row, 2, 2);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 5), (std::vector<uint8_t>{1, 1, 7, 7, 1}));
}

// ---- anti-aliased spans ------------------------------------------------------------------

std::vector<int> Span8(double xa, double xb, uint8_t opacity = 255, int length = 10,
                       uint8_t value = 200) {
  TBltInfo8 info;
  info.colour = value;
  info.opacity = opacity;
  std::vector<uint8_t> row(static_cast<size_t>(length), 0);
  RowFillAA8(info, row.data(), length, xa, xb);
  return std::vector<int>(row.begin(), row.end());
}

TEST(RowFillAA8, Spans) {
  // One pixel: strength trunc((0.75 - 0.25)*255) = 127; Lerp8(0, 255, 127) = 127.
  EXPECT_EQ(Span8(2.25, 2.75, 255, 10, 255), (std::vector<int>{0, 0, 127, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Span8(2.75, 2.25, 255, 10, 255), (std::vector<int>{0, 0, 127, 0, 0, 0, 0, 0, 0, 0}));
  // First 1: 255 - trunc(63.75) = 192 -> 200*192/255 = 150; 2, 3 full; last 4:
  // trunc(127.5) = 127 -> 200*127/255 = 99.
  EXPECT_EQ(Span8(1.25, 4.5), (std::vector<int>{0, 150, 200, 200, 99, 0, 0, 0, 0, 0}));
  // Opacity 128: first 192*128/255 = 96 -> 200*96/255 = 75; middle 128 -> 100;
  // last 127*128/255 = 63 -> 200*63/255 = 49.
  EXPECT_EQ(Span8(1.25, 4.5, 128), (std::vector<int>{0, 75, 100, 100, 49, 0, 0, 0, 0, 0}));
  // Last clamped from 12 to 9: 8 and 9 full; first 7: 255 - 127 = 128 -> 200*128/255 = 100.
  EXPECT_EQ(Span8(7.5, 12.25), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 100, 200, 200}));
  // Outside the row.
  EXPECT_EQ(Span8(-2.5, -0.5), std::vector<int>(10, 0));
  EXPECT_EQ(Span8(10.0, 12.0), std::vector<int>(10, 0));
}

TEST(RowFillAA8, HostileBoundsPaintSanely) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Span8(nan, 3.0), std::vector<int>(10, 0));
  EXPECT_EQ(Span8(1.0, nan), std::vector<int>(10, 0));
  EXPECT_EQ(Span8(-inf, inf), std::vector<int>(10, 0));
  // Huge finite bounds: both ends clamped, every pixel full.
  EXPECT_EQ(Span8(-1e300, 1e300), std::vector<int>(10, 200));
  // Huge start: pixels 0, 1 full; last 2 at trunc(0.5*255) = 127 -> 99.
  EXPECT_EQ(Span8(-1e300, 2.5), (std::vector<int>{200, 200, 99, 0, 0, 0, 0, 0, 0, 0}));
  // A start inside (-1, 0) truncates to pixel 0, whose strength 255 - trunc(-127.5) = 382
  // is held at 255; the last pixel 3 has fraction 0, strength 0.
  EXPECT_EQ(Span8(-0.5, 3.0, 255, 4), (std::vector<int>{200, 200, 200, 0}));
  // Both ends clamped onto pixel 9: the fraction difference 0.1 - 0.2 is negative; the
  // strength is held at 0 instead of wrapping.
  EXPECT_EQ(Span8(9.2, 12.1), std::vector<int>(10, 0));
  // A zero-length row or a null row is left alone.
  TBltInfo8 info;
  RowFillAA8(info, nullptr, 10, 1.0, 5.0);
  uint8_t one = 3;
  RowFillAA8(info, &one, 0, -1.0, 5.0);
  EXPECT_EQ(one, 3);
}

TEST(RowFillAA32, Spans) {
  TBltInfo32 info;
  info.colour = 0xFFFFFFFF;
  uint32_t row[4] = {0, 0, 0, 0};
  RowFillAA32(info, row, 4, -3.5, 1.5);
  // Pixel 0 clamped from -3: full strength, Over onto empty = P. Pixel 1: strength 127,
  // Over(0, white, 127): D = 32385, channels 255, A = 127.
  EXPECT_EQ(Hex(row[0]), Hex(0xFFFFFFFF));
  EXPECT_EQ(Hex(row[1]), Hex(0x7FFFFFFF));
  EXPECT_EQ(row[2], 0u);
  EXPECT_EQ(row[3], 0u);

  // A single pixel always uses Over, also on an opaque pixel: strength 127, P.A 128:
  // g = 16256, h = 63, D = 65025 + 16256 - 16065 = 65216, k = 192*255 = 48960;
  // R 255*16256/65216 = 63, B 255*48960/65216 = 191, A 65216/255 = 255.
  info.colour = 0x80FF0000;
  uint32_t one[4] = {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF};
  RowFillAA32(info, one, 4, 2.25, 2.75);
  EXPECT_EQ(Hex(one[2]), Hex(0xFF3F00BF));
  EXPECT_EQ(Hex(one[1]), Hex(0xFF0000FF));

  // Longer spans blend opaque pixels colour only: 1.75..3.25 gives strengths
  // 255 - 191 = 64, 255, 63; BlendOntoOpaque with g = 128*64/255 = 32, 128, 128*63/255 = 31.
  uint32_t span[5] = {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF};
  RowFillAA32(info, span, 5, 1.75, 3.25);
  EXPECT_EQ(Hex(span[0]), Hex(0xFF0000FF));
  EXPECT_EQ(Hex(span[1]), Hex(0xFF2000DF));
  EXPECT_EQ(Hex(span[2]), Hex(0xFF80007F));
  EXPECT_EQ(Hex(span[3]), Hex(0xFF1F00E0));
  EXPECT_EQ(Hex(span[4]), Hex(0xFF0000FF));

  uint32_t untouched[2] = {5, 5};
  RowFillAA32(info, untouched, 2, std::nan(""), 1.0);
  EXPECT_EQ(untouched[0], 5u);
  EXPECT_EQ(untouched[1], 5u);
}

// ---- dispatch ----------------------------------------------------------------------------

TEST(Dispatch, NullRowsAndUnknownModesDoNothing) {
  uint32_t d32 = 0x80123456;
  const uint32_t s32 = 0xFFFFFFFF;
  uint8_t d8 = 77;
  const uint8_t s8 = 255;
  for (int32_t mode : {-1, 3, 18, 20, 21, 39, 1000}) {
    SCOPED_TRACE(mode);
    TBltInfo32 i32;
    i32.mode = mode;
    i32.colour = 0xFFFFFFFF;
    TBltInfo8 i8;
    i8.mode = mode;
    i8.colour = 255;
    RowBlend32(i32, &s32, 0, &d32, 0, 1);
    RowBlend8To32(i32, &s8, 0, &d32, 0, 1);
    RowFill32(i32, &d32, 0, 1);
    RowBlend8(i8, &s8, 0, &d8, 0, 1);
    RowFill8(i8, &d8, 0, 1);
    EXPECT_EQ(Hex(d32), Hex(0x80123456));
    EXPECT_EQ(d8, 77);
  }
  TBltInfo32 copy;
  TBltInfo8 copy8;
  RowBlend32(copy, nullptr, 0, &d32, 0, 1);
  RowBlend32(copy, &s32, 0, nullptr, 0, 1);
  RowBlend8To32(copy, nullptr, 0, &d32, 0, 1);
  RowBlend8(copy8, nullptr, 0, &d8, 0, 1);
  RowBlend8(copy8, &s8, 0, nullptr, 0, 1);
  RowFill32(copy, nullptr, 0, 1);
  RowFill8(copy8, nullptr, 0, 1);
  RowFillAA32(copy, nullptr, 4, 0.0, 3.0);
  EXPECT_EQ(Hex(d32), Hex(0x80123456));
  EXPECT_EQ(d8, 77);
}

TEST(Dispatch, ModesThatChangeTheDestinationUnderAnEmptySource) {
  for (int32_t mode : {0, 5, 19, 23}) EXPECT_FALSE(ModeSkipsEmptySource(mode)) << mode;
  for (int32_t mode : {1, 2, 4, 6, 7, 11, 17, 22, 24, 25, 26, 27, 28, 33, 38})
    EXPECT_TRUE(ModeSkipsEmptySource(mode)) << mode;
}

TEST(Dispatch, DefaultRecord) {
  const TBltInfo32 info;
  EXPECT_EQ(info.mode, 0);
  EXPECT_EQ(info.opacity, 255);
  EXPECT_EQ(info.colour, 0u);
  EXPECT_EQ(info.paintColour, 0u);
  EXPECT_EQ(info.rowBufferIndex, -1);
  EXPECT_TRUE(info.dirty.IsEmpty());
  EXPECT_EQ(info.palette, nullptr);
}

}  // namespace
}  // namespace pavo

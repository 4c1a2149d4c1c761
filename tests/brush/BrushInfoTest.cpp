#include "brush/BrushInfo.h"

#include <gtest/gtest.h>

namespace pavo {
namespace {

TEST(CBrushInfoTest, FreshRecord) {
  const CBrushInfo info;
  EXPECT_EQ(info.type, 0);
  EXPECT_EQ(info.name, "NONAME");
  EXPECT_EQ(info.width, 10.0);
  EXPECT_EQ(info.defaultWidth, 10.0);
  EXPECT_EQ(info.opacity, 1.0);
  EXPECT_EQ(info.minWidthRatio, 0.0);
  EXPECT_TRUE(info.pressureSize);
  EXPECT_FALSE(info.pressureOpacity);
  EXPECT_EQ(info.pressureGamma, 1.0);
  EXPECT_TRUE(info.scriptPath.empty());
  EXPECT_FALSE(info.useBase);
  EXPECT_EQ(info.property.count, 0);
  for (int i = 0; i < kParamSlots; ++i) {
    EXPECT_EQ(info.property.name[i], "name") << i;
    EXPECT_EQ(info.property.hint[i], "hint") << i;
    EXPECT_EQ(info.property.minimum[i], 0) << i;
    EXPECT_EQ(info.property.maximum[i], 100) << i;
    EXPECT_EQ(info.property.value[i], 50) << i;
    EXPECT_EQ(info.property.defaultValue[i], 50) << i;
  }
}

TEST(CBrushInfoTest, SetTypeZeroesTheCountOnlyOnChange) {
  CBrushInfo info;
  info.property.count = 4;
  info.SetType(11);
  EXPECT_EQ(info.type, 11);
  EXPECT_EQ(info.property.count, 0);

  info.property.count = 3;
  info.SetType(11);
  EXPECT_EQ(info.type, 11);
  EXPECT_EQ(info.property.count, 3);
}

TEST(CBrushInfoTest, PressureToWidthTable) {
  struct Case {
    bool pressureSize;
    double ratio, size, pressure, expected;
  };
  const Case cases[] = {
      // (1 - 0.25) * 20 * p + 20 * 0.25
      {true, 0.25, 20, 0, 5},
      {true, 0.25, 20, 1, 20},
      {true, 0.25, 20, 0.5, 12.5},
      {true, 0.0, 20, 0.5, 10},
      // Not clamped: 0.75 * 20 * 2 + 5.
      {true, 0.25, 20, 2, 35},
      {false, 0.25, 20, 0, 20},
      {false, 0.25, 20, 1, 20},
  };
  for (const Case& c : cases) {
    CBrushInfo info;
    info.pressureSize = c.pressureSize;
    info.minWidthRatio = c.ratio;
    EXPECT_DOUBLE_EQ(info.ApplyPressureToWidth(c.size, c.pressure), c.expected)
        << c.pressureSize << " " << c.ratio << " " << c.pressure;
  }
  CBrushInfo info;
  info.width = 40;
  info.minWidthRatio = 0.5;
  EXPECT_DOUBLE_EQ(info.WidthAtPressure(0.0), 20.0);  // reads width: 40 * 0.5
  EXPECT_DOUBLE_EQ(info.WidthAtPressure(1.0), 40.0);
}

TEST(CBrushInfoTest, ApplyGammaTable) {
  struct Case {
    double gamma, pressure, expected;
  };
  const Case cases[] = {
      {1.0, -0.5, 0.0}, {0.5, -0.01, 0.0}, {0.5, 0.25, 0.5},
      {2.0, 0.5, 0.25}, {1.0, 0.3, 0.3},   {2.0, 1.5, 2.25},  // not clamped above 1
  };
  for (const Case& c : cases) {
    CBrushInfo info;
    info.pressureGamma = c.gamma;
    EXPECT_DOUBLE_EQ(info.ApplyGamma(c.pressure), c.expected) << c.gamma << " " << c.pressure;
  }
}

TEST(CBrushPropertyTest, ResetSlotAndResetAll) {
  CBrushProperty p;
  p.count = 5;
  p.name[3] = "size";
  p.hint[3] = "h";
  p.minimum[3] = 10;
  p.maximum[3] = 20;
  p.defaultValue[3] = 15;
  p.value[3] = 12;
  p.value[0] = 7;
  p.ResetSlot(3);
  EXPECT_EQ(p.name[3], "name");
  EXPECT_EQ(p.hint[3], "hint");
  EXPECT_EQ(p.minimum[3], 0);
  EXPECT_EQ(p.maximum[3], 100);
  EXPECT_EQ(p.defaultValue[3], 50);
  EXPECT_EQ(p.value[3], 50);
  EXPECT_EQ(p.value[0], 7);  // other slots untouched
  EXPECT_EQ(p.count, 5);

  // Out-of-range slots are ignored.
  p.ResetSlot(-1);
  p.ResetSlot(kParamSlots);
  EXPECT_EQ(p.value[0], 7);

  p.ResetAll();
  EXPECT_EQ(p.count, 0);
  EXPECT_EQ(p.value[0], 50);
}

TEST(CBrushPropertyTest, ClampValuesTable) {
  struct Case {
    int32_t minimum, maximum, value, expected;
  };
  const Case cases[] = {
      {10, 90, 5, 10},
      {10, 90, 95, 90},
      {10, 90, 50, 50},
      {10, 90, 10, 10},
      {10, 90, 90, 90},
      // Minimum above maximum: raised to 80 first, then lowered to 20.
      {80, 20, 50, 20},
      {80, 20, 10, 20},
      {80, 20, 100, 20},
  };
  static_assert(sizeof(cases) / sizeof(cases[0]) <= kParamSlots);
  CBrushProperty p;
  int slot = 0;
  for (const Case& c : cases) {
    p.minimum[slot] = c.minimum;
    p.maximum[slot] = c.maximum;
    p.value[slot] = c.value;
    ++slot;
  }
  p.ClampValues();
  slot = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(p.value[slot], c.expected) << c.minimum << ".." << c.maximum << " " << c.value;
    ++slot;
  }
  // Untouched slots are within 0..100 already.
  EXPECT_EQ(p.value[kParamSlots - 1], 50);
}

}  // namespace
}  // namespace pavo

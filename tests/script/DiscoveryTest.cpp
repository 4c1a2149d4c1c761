// Parameter discovery: what the twelve queries store in the brush settings.
#include <gtest/gtest.h>

#include <string>

#include "geometry/Random.h"
#include "script/Discovery.h"
#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

std::string Discover(CBrushInfo& info, const std::string& name, const std::string& text) {
  info.SetType(11);
  info.scriptPath = WriteScript(name, text);
  return DiscoverScript(info);
}

struct TSlotCase {
  const char* what;
  const char* script;  // defines param1
  bool answered;
  const char* label;
  int32_t minimum, maximum, value;
};

// value is after ClampValues; a slot that did not answer keeps the constructor's "name",
// 0..100 and 50.
TEST(Discovery, ParameterAnswersAreRoundedSwappedAndClamped) {
  const TSlotCase cases[] = {
      {"plain", "return 'Density', 10, 90, 30", true, "Density", 10, 90, 30},
      {"swapped then clamped", "return 'Angle', 360, -20, 500", true, "Angle", 0, 100, 100},
      {"default above range", "return 'D', 0, 50, 120", true, "D", 0, 50, 50},
      {"default below range", "return 'D', 20, 50, 3", true, "D", 20, 50, 20},
      // 2.5 -> 2, 3.5 -> 4, -0.5 -> 0 (halves to the even neighbour)
      {"halves to even", "return 'R', -0.5, 3.5, 2.5", true, "R", 0, 4, 2},
      {"just past a half", "return 'R', 0.5000001, 99.4999, 3.5", true, "R", 1, 99, 4},
      {"number label", "return 12.5, 0, 10, 5", true, "12.5", 0, 10, 5},
      {"numeric strings", "return 'S', '7', '9.5', ' 8 '", true, "S", 7, 10, 8},
      {"non-numbers read 0", "return 'N', {}, 'x', nil", true, "N", 0, 0, 0},
      // A first result without a text form gives an empty label; the slot still answers.
      {"nil label", "return nil, 0, 10, 5", true, "", 0, 10, 5},
      {"nothing returned", "return", true, "", 0, 0, 0},
      {"extra results", "return 'E', 1, 2, 2, 'more', 9", true, "E", 1, 2, 2},
      {"huge numbers", "return 'H', -1e300, 1e300, 0/0", true, "H", 0, 100, 0},
      {"raises", "error('no')", false, "name", 0, 100, 50},
  };
  for (const TSlotCase& c : cases) {
    CBrushInfo info;
    const std::string status =
        Discover(info, "slot.bs", std::string("function param1() ") + c.script + " end");
    EXPECT_EQ(status, "") << c.what;
    EXPECT_EQ(info.property.count, c.answered ? 1 : 0) << c.what;
    EXPECT_EQ(info.property.name[0], c.label) << c.what;
    EXPECT_EQ(info.property.minimum[0], c.minimum) << c.what;
    EXPECT_EQ(info.property.maximum[0], c.maximum) << c.what;
    EXPECT_EQ(info.property.value[0], c.value) << c.what;
  }
}

TEST(Discovery, CountIsTheNumberOfAnswersNotTheLastIndex) {
  CBrushInfo info;
  info.property.name[1] = "kept";
  info.property.maximum[1] = 70;
  info.SetType(11);
  info.scriptPath = FixturePath("gaps.bs");
  EXPECT_EQ(DiscoverScript(info), "");
  EXPECT_EQ(info.property.count, 2);
  EXPECT_EQ(info.property.name[0], "First");
  EXPECT_EQ(info.property.value[0], 10);
  EXPECT_EQ(info.property.name[1], "kept");  // not answered: label and range stay
  EXPECT_EQ(info.property.maximum[1], 70);
  EXPECT_EQ(info.property.name[2], "Third");
  EXPECT_EQ(info.property.minimum[2], 20);
  EXPECT_EQ(info.property.value[2], 30);
  EXPECT_EQ(info.property.name[3], "name");
}

TEST(Discovery, TenthParameterIsAskedAsParam10) {
  CBrushInfo info;
  Discover(info, "ten.bs", "function param10() return 'Last', 1, 9, 4 end");
  EXPECT_EQ(info.property.count, 1);
  EXPECT_EQ(info.property.name[9], "Last");
  EXPECT_EQ(info.property.value[9], 4);
}

TEST(Discovery, DefaultSizeIsClampedAndResetWhenMissing) {
  struct {
    const char* script;
    double size, ratio;
  } const cases[] = {
      {"function default_size() return 3000, 1.5 end", 2000.0, 1.0},
      {"function default_size() return 0.5 end", 1.0, 0.0},
      {"function default_size() return 24.5, 0.25 end", 24.5, 0.25},
      {"function default_size() return -4, -0.5 end", 1.0, 0.0},
      {"function default_size() return 0/0, 0/0 end", 1.0, 0.0},  // NaN reads as 0
      {"function default_size() error('x') end", 10.0, 0.0},
      {"default_size = 30", 10.0, 0.0},
      {"", 10.0, 0.0},
  };
  for (const auto& c : cases) {
    CBrushInfo info;
    info.width = 50.0;  // proposed by an earlier script
    info.defaultWidth = 50.0;
    info.minWidthRatio = 0.5;
    Discover(info, "size.bs", c.script);
    EXPECT_EQ(info.width, c.size) << c.script;
    EXPECT_EQ(info.defaultWidth, c.size) << c.script;
    EXPECT_EQ(info.minWidthRatio, c.ratio) << c.script;
  }
}

TEST(Discovery, UseBaseIsTheTruthOfAnAnswer) {
  struct {
    const char* script;
    bool flag;
  } const cases[] = {
      {"function use_base() return 0 end", true},  // 0 is a true value
      {"function use_base() return 'no' end", true},
      {"function use_base() return false end", false},
      {"function use_base() end", false},
      {"use_base = true", false},  // not callable: the call fails
      {"function use_base() error('x') end", false},
  };
  for (const auto& c : cases) {
    CBrushInfo info;
    info.useBase = true;
    Discover(info, "base.bs", c.script);
    EXPECT_EQ(info.useBase, c.flag) << c.script;
  }
}

TEST(Discovery, ABrokenScriptReportsItsMessageAndAnswersNothing) {
  CBrushInfo info;
  info.property.count = 3;
  info.width = 40.0;
  info.useBase = true;
  info.SetType(11);
  info.scriptPath = FixturePath("syntax_error.bs");
  EXPECT_EQ(DiscoverScript(info), "[string \"local a = 1...\"]:3: unexpected symbol near '='");
  EXPECT_EQ(info.property.count, 0);
  EXPECT_EQ(info.width, 10.0);
  EXPECT_EQ(info.minWidthRatio, 0.0);
  EXPECT_FALSE(info.useBase);
}

TEST(Discovery, OnlyScriptBrushesAreAsked) {
  CBrushInfo info;
  info.scriptPath = FixturePath("gaps.bs");
  info.property.count = 4;
  EXPECT_EQ(DiscoverScript(info), "");  // type 0
  EXPECT_EQ(info.property.count, 4);
  EXPECT_EQ(info.property.name[0], "name");
}

// Every query loads the script anew (the counter restarts), on an unbound brush that
// describes a 1 x 1 canvas at 600 dpi and paints nothing.
TEST(Discovery, EachQueryRunsInAFreshUnboundState) {
  CBrushInfo info;
  Discover(info, "fresh.bs", R"(
    loads = (loads or 0) + 1
    bs_rect(0, 0, 10, 10, 255, 0, 0, 255)
    function param1() return "Loads", 0, 100, loads end
    function param2() return "Canvas", 0, 100, bs_canvas_width() * 10 + bs_canvas_height() end
    function param3() return "Dpi", 0, 100, bs_canvas_dpi() / 10 end
  )");
  EXPECT_EQ(info.property.count, 3);
  EXPECT_EQ(info.property.value[0], 1);
  EXPECT_EQ(info.property.value[1], 11);
  EXPECT_EQ(info.property.value[2], 60);
}

// Each load draws 48 numbers through bs_grand, so the generator shows the number of loads.
TEST(Discovery, MakesTwelveLoads) {
  CBrushInfo info;
  SeedRandom(99);
  const uint32_t start = RandomState();
  Discover(info, "twelve.bs", "bs_grand(0, 1)");
  const uint32_t after = RandomState();
  SetRandomState(start);
  for (int i = 0; i < 12 * 48; ++i) DrawRandom();
  EXPECT_EQ(after, RandomState());
}

TEST(Discovery, ParameterValuesOfTheSettingsReachTheScript) {
  CBrushInfo info;
  info.property.value[4] = 77;
  Discover(info, "echo.bs", "function param1() return 'Echo', 0, 100, bs_param5() end");
  EXPECT_EQ(info.property.value[0], 77);
}

}  // namespace
}  // namespace pavo::test

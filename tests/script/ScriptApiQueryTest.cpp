// The query functions, the shared rules of argument reading, and the registration table.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "script/LuaNumbers.h"
#include "script/ScriptApi.h"
#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(LuaNumbers, RoundsHalvesToEvenAndStaysInRange) {
  const struct {
    double in;
    int32_t out;
  } cases[] = {
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {0.49999999999999994, 0},
      {1.5000000000000002, 2},
      {-2.7, -3},
      {7.0, 7},
      {2147483646.5, 2147483646},
      {2147483647.0, INT32_MAX},
      {1e10, INT32_MAX},
      {-2147483648.5, INT32_MIN},
      {-1e300, INT32_MIN},
      {INFINITY, INT32_MAX},
      {-INFINITY, INT32_MIN},
      {NAN, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundToInt(c.in), c.out) << c.in;
}

TEST(ScriptApi, TableHoldsTheFiftyEightFunctionsInRegistrationOrder) {
  const char* const names[] = {
      "bs_param1",
      "bs_param2",
      "bs_param3",
      "bs_param4",
      "bs_param5",
      "bs_param6",
      "bs_param7",
      "bs_param8",
      "bs_param9",
      "bs_param10",
      "bs_debug",
      "bs_setmode",
      "bs_canvas_width",
      "bs_canvas_height",
      "bs_canvas_dpi",
      "bs_canvas_angle",
      "bs_width",
      "bs_width_max",
      "bs_width_min",
      "bs_opaque",
      "bs_distance",
      "bs_grand",
      "bs_atan",
      "bs_rotate",
      "bs_ms",
      "bs_count",
      "bs_base",
      "bs_fore",
      "bs_bg",
      "bs_forebg",
      "bs_pixel_get",
      "bs_pixel_get_alpha",
      "bs_pixel_set",
      "bs_rect",
      "bs_ellipse",
      "bs_air",
      "bs_dir",
      "bs_normal",
      "bs_polygon",
      "bs_polygon_move",
      "bs_polygon_move_center",
      "bs_polygon_rotate",
      "bs_polygon_mul",
      "bs_polygon_region",
      "bs_polygon_clear",
      "bs_bezier_begin",
      "bs_bezier_m",
      "bs_bezier_c",
      "bs_bezier_v",
      "bs_bezier_y",
      "bs_bezier_l",
      "bs_bezier_move",
      "bs_bezier_move_center",
      "bs_bezier_rotate",
      "bs_bezier_mul",
      "bs_bezier_region",
      "bs_bezier_clear",
      "bs_fill",
  };
  static_assert(sizeof names / sizeof names[0] == 58);
  ASSERT_EQ(kScriptFunctionCount, 58u);
  TLoadedScript s("");
  s.Load();
  lua_State* L = s.brush.lua;
  for (size_t i = 0; i < kScriptFunctionCount; ++i) {
    EXPECT_STREQ(kScriptFunctions[i].name, names[i]) << i;
    lua_getglobal(L, names[i]);
    EXPECT_EQ(lua_tocfunction(L, -1), kScriptFunctions[i].function) << names[i];
    lua_pop(L, 1);
  }
}

struct TEvalCase {
  const char* snippet;
  std::vector<double> expected;
};

void ExpectResults(CMangaBrush& brush, const TEvalCase* cases, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const std::vector<double> got = Eval(brush, cases[i].snippet);
    ASSERT_EQ(got.size(), cases[i].expected.size()) << cases[i].snippet;
    for (size_t k = 0; k < got.size(); ++k) {
      EXPECT_NEAR(got[k], cases[i].expected[k], 1e-12) << cases[i].snippet << " #" << k;
    }
  }
}

// Arguments are the last N values; missing ones are the leading ones and read 0.
TEST(ScriptApi, GeometryFunctionsAndArgumentReading) {
  TLoadedScript s("");
  s.Load();
  const TEvalCase cases[] = {
      {"return bs_distance(3, 4)", {5.0}},
      {"return bs_distance(0, 0)", {0.0}},
      {"return bs_distance(0/0, 1)", {0.0}},
      {"return bs_distance(99, 3, 4)", {5.0}},  // extra leading argument ignored
      {"return bs_distance('3', '4')", {5.0}},  // numeric strings convert
      {"return bs_distance({}, 4)", {4.0}},     // anything else reads 0
      {"return bs_atan(0, 0)", {0.0}},
      {"return bs_atan(0, -3)", {-kPi / 2}},
      {"return bs_atan(0, 2)", {kPi / 2}},
      {"return bs_atan(-1, 0)", {kPi}},
      {"return bs_atan(1, 1)", {kPi / 4}},
      {"return bs_atan(1)", {kPi / 2}},  // reads x = 0, y = 1
      {"return bs_atan()", {0.0}},
      {"return bs_rotate(1, 0, math.pi / 2)", {0.0, 1.0}},
      {"return bs_rotate(2, 1, math.pi)", {-2.0, -1.0}},
      {"return bs_rotate(0, 5)", {0.0, 0.0}},  // x = 0, y = 0, angle 5
      {"return bs_param3(77)", {50.0}},        // the argument is ignored
      {"return bs_base()", {-1.0, -1.0}},
      {"return bs_canvas_angle()", {0.0}},
  };
  s.brush.paramValue[2] = 50;
  ExpectResults(s.brush, cases, sizeof cases / sizeof cases[0]);
}

TEST(ScriptApi, BaseIsRelativeToTheLayerOnceSet) {
  TLoadedScript s("");
  s.Load();
  s.brush.baseX = 10.0;
  s.brush.baseY = -1.0;
  s.brush.dabOffsetX = 3;
  s.brush.dabOffsetY = 4;
  const std::vector<double> v = Eval(s.brush, "return bs_base()");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0], 7.0);
  EXPECT_EQ(v[1], -5.0);
}

TEST(ScriptApi, GrandSumsFortyEightDraws) {
  TLoadedScript s("");
  s.Load();
  SeedRandom(5);
  const uint32_t start = RandomState();
  EXPECT_EQ(EvalOne(s.brush, "return bs_grand(10, 0)"), 10.0);
  const uint32_t after = RandomState();
  SetRandomState(start);
  for (int i = 0; i < 48; ++i) DrawRandom();
  EXPECT_EQ(after, RandomState());
}

// S has standard deviation 2 and mean 0, so bs_grand(mean, spread) has mean `mean` and
// standard deviation `spread`; 4000 samples put both within a few hundredths.
TEST(ScriptApi, GrandIsCentredOnTheMeanWithTheGivenSpread) {
  TLoadedScript s("");
  s.Load();
  SeedRandom(11);
  const std::vector<double> v = Eval(s.brush, R"(
    local n, sum, squares = 4000, 0, 0
    for i = 1, n do
      local g = bs_grand(3, 2)
      sum = sum + g
      squares = squares + g * g
    end
    local mean = sum / n
    return mean, math.sqrt(squares / n - mean * mean)
  )");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_NEAR(v[0], 3.0, 0.1);
  EXPECT_NEAR(v[1], 2.0, 0.1);
}

uint32_t fixedClock() { return 0x80000005u; }

TEST(ScriptApi, CountersAndClock) {
  TLoadedScript s("");
  s.Load();
  strokeCounter = 41;
  EXPECT_EQ(EvalOne(s.brush, "return bs_count()"), 41.0);
  SetClockSource(fixedClock);
  EXPECT_EQ(EvalOne(s.brush, "return bs_ms()"), -2147483643.0);  // signed 32-bit
  SetClockSource(nullptr);
}

TEST(ScriptApi, DebugAppendsTextAndLineBreaks) {
  TLoadedScript s("");
  s.Load();
  Eval(s.brush,
       "bs_debug('abc') bs_debug(12) bs_debug(nil) bs_debug({}) bs_debug() "
       "bs_debug('a\\0b') bs_debug('ignored', 'last')");
  const std::string log(s.brush.debugLog.Text(), s.brush.debugLog.Length());
  EXPECT_EQ(log, std::string("abc\r\n12\r\na\0b\r\nlast\r\n", 20));
  s.Load();
  EXPECT_EQ(s.brush.debugLog.Length(), 0u);  // cleared by every load
}

TEST(ScriptApi, PixelReadsOfAnUnboundBrushAreZero) {
  TLoadedScript s("");
  s.Load();
  const TEvalCase cases[] = {
      {"return bs_pixel_get(0, 0)", {0, 0, 0, 0}},
      {"return bs_pixel_get(-1, 5)", {0, 0, 0, 0}},
      {"return bs_pixel_get_alpha(0, 0)", {0}},
  };
  ExpectResults(s.brush, cases, sizeof cases / sizeof cases[0]);
}

// Every function, with no arguments and with twenty of mixed kinds, on an unbound and on
// a bound brush: nothing raises and nothing crashes.
TEST(ScriptApi, AnyArgumentsAreSafe) {
  const std::string calls[] = {"", "1/0, -1/0, 0/0, 1e308, 1/0, -1/0, 0/0, 1e308, 1/0",
                               "1e308, -1e308, 0/0, 1/0, -1/0, 'x', {}, nil, true, "
                               "2.5, 3.5, -1, 256, 1e9, -1e9, 0, 5, 5, 100, 100"};
  TLoadedScript unbound("");
  unbound.Load();
  TBoundBrush bound(64, 48, "");
  LoadScript(bound.brush, bound.stroke);
  for (CMangaBrush* brush : {&unbound.brush, &bound.brush}) {
    LoadScript(*brush, brush == &unbound.brush ? unbound.stroke : bound.stroke);
    for (const std::string& args : calls) {
      for (const TScriptFunction& f : kScriptFunctions) {
        const std::string snippet = std::string(f.name) + "(" + args + ")";
        lua_State* L = brush->lua;
        ASSERT_EQ(luaL_loadstring(L, snippet.c_str()), 0) << snippet;
        EXPECT_EQ(lua_pcall(L, 0, 0, 0), 0) << snippet << ": " << lua_tostring(L, -1);
        lua_settop(L, 0);
      }
      Eval(*brush, "bs_fill(0, 0, 0, 255) bs_setmode(1) bs_rect(1, 1, 5, 5, 0, 0, 0, 255)");
    }
  }
}

}  // namespace
}  // namespace pavo::test

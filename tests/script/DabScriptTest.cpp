// The dab callback over whole strokes and single steps: calls of main and last, the values
// the script sees, the skip rule, swallowed errors and the marks of a broken script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/DabScript.h"
#include "script/ScriptSinks.h"
#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

double Number(CMangaBrush& brush, const std::string& expression) {
  return EvalOne(brush, "return " + expression);
}

void AddPoints(CBrushStroke& stroke, const std::vector<TStrokePoint>& points) {
  for (const TStrokePoint& p : points) stroke.AddPoint(p, 1.0, true, false);
}

TStrokePoint Point(double x, double y, double p) {
  TStrokePoint point;
  point.x = x;
  point.y = y;
  point.pressure = p;
  return point;
}

// The preview's stroke: four points across 492 x 296 layers, width 10.
struct TTestStroke : TBoundBrush {
  TStrokeOptions options;

  explicit TTestStroke(const std::string& script) : TBoundBrush(492, 296, script) {
    info.opacity = 0.75;
    AddPoints(stroke,
              {Point(24.6, 148, 0), Point(196.8, 74, 0.6), Point(369, 185, 1), Point(492, 148, 0)});
    options.width = info.WidthAtPressure(1.0);
  }
  bool Draw() {
    NRECT r;
    return brush.StrokeDraw(stroke, r, options, 0, 3);
  }
};

// 301 steps from t = 0 to just below 3; every one moves far more than 1 % of the half width
// (at least 0.1 px against at most 0.05), so main runs at each of them.
TEST(DabScript, MainRunsOncePerStepWithinOneFreshStatePerStroke) {
  TTestStroke s(FixturePath("counting.bs"));
  const int32_t before = strokeCounter;
  EXPECT_FALSE(s.Draw());  // main paints nothing
  EXPECT_EQ(strokeCounter, before + 1);
  EXPECT_EQ(Number(s.brush, "calls"), 301.0);
  EXPECT_EQ(Number(s.brush, "first.count"), before + 1.0);
  EXPECT_EQ(Number(s.brush, "first.x"), 24.6);
  EXPECT_EQ(Number(s.brush, "first.y"), 148.0);
  EXPECT_EQ(Number(s.brush, "first.p"), 0.0);
  // Pressure 0 and no minimum ratio: half width 0 raised to 0.1, so the dab is 0.2 wide.
  EXPECT_DOUBLE_EQ(Number(s.brush, "first.width"), 0.2);
  EXPECT_EQ(Number(s.brush, "first.width_max"), 10.0);
  EXPECT_EQ(Number(s.brush, "first.width_min"), 0.0);
  EXPECT_EQ(Number(s.brush, "first.opaque"), 0.75);
  lua_State* L = s.brush.lua;
  EXPECT_EQ(luaL_dostring(L, "fore_text, bg_text = first.fore, first.bg"), 0);
  EXPECT_EQ(GlobalText(s.brush, "fore_text"), "0,0,0");
  EXPECT_EQ(GlobalText(s.brush, "bg_text"), "255,255,255");

  // Drawing the stroke again restarts it: a new load, so the count starts over.
  s.Draw();
  EXPECT_EQ(Number(s.brush, "calls"), 301.0);
  EXPECT_EQ(strokeCounter, before + 2);

  TTestStroke next(FixturePath("counting.bs"));
  next.Draw();
  EXPECT_EQ(Number(next.brush, "calls"), 301.0);
  EXPECT_EQ(Number(next.brush, "first.count"), before + 3.0);
}

TEST(DabScript, HorizontalStrokeHasDirectionRightAndNormalDown) {
  TBoundBrush b(300, 100, FixturePath("direction.bs"));
  AddPoints(b.stroke, {Point(10, 50, 1), Point(110, 50, 1), Point(210, 50, 1)});
  TStrokeOptions options;
  NRECT r;
  b.brush.StrokeDraw(b.stroke, r, options, 0, 2);
  EXPECT_NEAR(Number(b.brush, "dx50"), 1.0, 1e-12);
  EXPECT_NEAR(Number(b.brush, "dy50"), 0.0, 1e-12);
  EXPECT_NEAR(Number(b.brush, "nx50"), 0.0, 1e-12);
  EXPECT_NEAR(Number(b.brush, "ny50"), 1.0, 1e-12);
}

// A right angle at (100, 0): at t = 0.995 the second sample lies at fraction 0.005 of the
// next segment, about (100.30, 0.30) against the first at (99.70, -0.30), so the direction
// is about (0.7, 0.7). Sampling the same segment again would point back to the start.
TEST(DabScript, DirectionTakesItsSecondSampleFromTheNextSegmentAtTheEnd) {
  TBoundBrush b(200, 200, FixturePath("direction.bs"));
  AddPoints(b.stroke, {Point(0, 0, 1), Point(100, 0, 1), Point(100, 100, 1)});
  TStrokeOptions options;
  TDabState dab;
  dab.stroke = &b.stroke;
  dab.options = &options;
  dab.halfWidth = 5.0;
  bool drawn = false;
  RunDabScript(b.brush, dab, 0, 1.0, 0.995, drawn);
  EXPECT_TRUE(drawn);
  EXPECT_TRUE(dab.scriptStep);
  EXPECT_GT(b.brush.dirX, 0.6);
  EXPECT_GT(b.brush.dirY, 0.6);
  EXPECT_NEAR(b.brush.dirX * b.brush.dirX + b.brush.dirY * b.brush.dirY, 1.0, 1e-12);
  EXPECT_NEAR(b.brush.normalX, -b.brush.dirY, 1e-12);
  EXPECT_NEAR(b.brush.normalY, b.brush.dirX, 1e-12);
}

TEST(DabScript, StepsBelowOnePercentOfTheHalfWidthAreSkippedExceptTheFirst) {
  TBoundBrush b(200, 200, FixturePath("direction.bs"));
  AddPoints(b.stroke, {Point(0, 0, 1), Point(100, 0, 1)});
  TStrokeOptions options;
  TDabState dab;
  dab.stroke = &b.stroke;
  dab.options = &options;
  dab.halfWidth = 5.0;
  dab.halfWidthMax = 5.0;
  dab.halfWidthMin = 1.5;
  bool drawn = false;
  RunDabScript(b.brush, dab, 0, 0.0, 0.0, drawn);  // first dab: ratio not looked at
  EXPECT_TRUE(drawn);
  EXPECT_EQ(Number(b.brush, "calls"), 1.0);
  EXPECT_EQ(b.brush.dabWidthMin, 3.0);
  b.brush.firstDabPending = false;
  drawn = false;
  dab.scriptStep = false;
  RunDabScript(b.brush, dab, 0, 0.0099, 0.01, drawn);
  EXPECT_FALSE(drawn);
  EXPECT_TRUE(dab.scriptStep);
  EXPECT_EQ(Number(b.brush, "calls"), 1.0);
  RunDabScript(b.brush, dab, 0, 0.01, 0.02, drawn);
  EXPECT_TRUE(drawn);
  EXPECT_EQ(Number(b.brush, "calls"), 2.0);

  b.brush.SetBrushType(0);  // other brush types are not the callback's business
  dab.scriptStep = false;
  drawn = false;
  RunDabScript(b.brush, dab, 0, 1.0, 0.03, drawn);
  EXPECT_FALSE(dab.scriptStep);
  EXPECT_FALSE(drawn);
}

std::vector<std::string> reported;
void CollectError(void*, const char* text, size_t length) noexcept {
  try {
    reported.emplace_back(text, length);
  } catch (...) {
  }
}

TEST(DabScript, ErrorsInMainAreSwallowedAndWhatWasDrawnStays) {
  TTestStroke s(FixturePath("failing_main.bs"));
  reported.clear();
  TScriptSinks sinks;
  sinks.error = CollectError;
  SetScriptSinks(sinks);
  EXPECT_TRUE(s.Draw());
  RunLastScript(s.brush, s.stroke, 492, 148, 0);  // last is a table: not called
  SetScriptSinks(TScriptSinks());
  // The first rect is at (25, 148): 24.6 rounds to 25; later dabs lie further right.
  EXPECT_EQ(s.canvas.GetPixel(25, 148), 0xFF000000u);
  EXPECT_EQ(s.canvas.GetPixel(24, 148), 0u);
  ASSERT_EQ(reported.size(), 301u);
  EXPECT_NE(reported[0].find("after drawing"), std::string::npos) << reported[0];
}

TEST(DabScript, LastGetsTheLastPointAndFullWidths) {
  TTestStroke s(FixturePath("direction.bs"));
  s.info.minWidthRatio = 0.25;
  s.options.width = s.info.WidthAtPressure(1.0);
  // No dab drawn yet: the script is loaded for last.
  RunLastScript(s.brush, s.stroke, 492, 148, 0.5);
  ASSERT_TRUE(s.brush.scriptLoaded);
  EXPECT_EQ(Number(s.brush, "lx"), 492.0);
  EXPECT_EQ(Number(s.brush, "ly"), 148.0);
  EXPECT_EQ(Number(s.brush, "lp"), 0.5);
  EXPECT_EQ(Number(s.brush, "lw"), 10.0);
  EXPECT_EQ(Number(s.brush, "lmax"), 10.0);
  EXPECT_EQ(Number(s.brush, "lmin"), 2.5);
  EXPECT_EQ(Number(s.brush, "lop"), 0.75);
  EXPECT_EQ(Number(s.brush, "calls"), 0.0);
}

// A script that failed to load is marked by red crosses of size D = max(half width, 20)
// = 20 here, the first centred on the first point. Its arms are bands about 5.7 px wide
// along the diagonals; (32, 148) lies 8 px to its right, more than 5 px from either
// diagonal, and the next cross is more than 26 px further on.
TEST(DabScript, ABrokenScriptPaintsRedCrosses) {
  TTestStroke s(FixturePath("syntax_error.bs"));
  EXPECT_TRUE(s.Draw());
  EXPECT_FALSE(s.brush.scriptLoaded);
  EXPECT_EQ(s.canvas.GetPixel(24, 148), 0xFFFF0000u);
  EXPECT_EQ(s.canvas.GetPixel(32, 148) >> 24, 0u);     // alpha: nothing visible
  EXPECT_EQ(s.canvas.GetPixel(20, 142), 0xFFFF0000u);  // on the arm towards (x - 6, y - 10)
}

}  // namespace
}  // namespace pavo::test

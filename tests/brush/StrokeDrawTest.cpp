// Walking a stroke: stepping, radii, sampling choice, the output rectangle and the merge.
#include <gtest/gtest.h>

#include <lua.hpp>

#include <cmath>
#include <fstream>
#include <string>

#include "brush/BrushInfo.h"
#include "brush/MangaBrush.h"
#include "brush/StrokeStep.h"

namespace pavo {
namespace {

struct TPoint {
  double x, y, p;
};

// Layers, settings and a stroke as the preview builds them: width w at full pressure, the
// width following the pressure with no minimum, opacity 1.
class StrokeDrawTest : public ::testing::Test {
 protected:
  void Bind(int32_t w, int32_t h) {
    ASSERT_TRUE(canvas.Resize(w, h));
    ASSERT_TRUE(base.Resize(w, h));
    ASSERT_TRUE(coverage.Resize(w, h));
    brush.SetCanvasInfo(w, h, 150, 0.0);
    brush.SetLayers(&canvas, &base, &coverage, nullptr);
  }
  void AddPoints(std::initializer_list<TPoint> points) {
    stroke.SetBrushInfo(&info);
    for (const TPoint& q : points) {
      TStrokePoint point;
      point.x = q.x;
      point.y = q.y;
      point.pressure = q.p;
      stroke.AddPoint(point, 1.0, true, false);
    }
  }
  void TearDown() override { drawMode = 0; }

  CImageTile32 canvas, base;
  CImageTile8 coverage;
  CBrushInfo info;
  CBrushStroke stroke;
  CMangaBrush brush;
  TStrokeOptions options;
  NRECT r;
};

// The preview's stroke with the plain brush, width 15, in 492 x 296 layers.
TEST_F(StrokeDrawTest, PreviewStrokeWithThePlainBrush) {
  Bind(492, 296);
  options.width = info.width = 15.0;
  AddPoints({{24.6, 148, 0.0}, {196.8, 74, 0.6}, {369, 185, 1.0}, {492, 148, 0.0}});
  brush.SetBrushType(0);
  ASSERT_TRUE(brush.StrokeDraw(stroke, r, options, 0, 3));

  // The first dab has pressure 0, so radius 0.1: (trunc(24.6 - 2.1), trunc(148 - 2.1), 4, 4);
  // the stroke then moves right faster than the radius grows, so it is the leftmost.
  EXPECT_EQ(r.x, 22);
  EXPECT_EQ(stroke.dirtyRect, r);
  EXPECT_EQ(brush.lastDrawRect, r);
  EXPECT_FALSE(brush.firstDabPending);

  // Every coverage lies inside r, and the merge over the empty base made each covered canvas
  // pixel black at alpha = coverage.
  int outside = 0, mismatched = 0;
  for (int y = 0; y < 296; ++y)
    for (int x = 0; x < 492; ++x) {
      const uint8_t v = coverage.GetPixel(x, y);
      const bool inR = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
      if (v != 0 && !inR) ++outside;
      if (canvas.GetPixel(x, y) != static_cast<uint32_t>(v) << 24) ++mismatched;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(mismatched, 0);

  // Dabs lie about 0.2 radius apart, so the pixels at the points of pressure 0.6 (radius 4.5)
  // and 1.0 (radius 7.5) are fully inside some dab.
  EXPECT_EQ(canvas.GetPixel(196, 74), 0xff000000u);
  EXPECT_EQ(canvas.GetPixel(369, 185), 0xff000000u);
  EXPECT_EQ(canvas.GetPixel(300, 20), 0u);
  // At x = 369 the stroke runs at slope 74 / 295.2 with radius 7.5: a vertical extent of
  // about 2 * 7.5 / cos(14 degrees) = 15.5 pixels.
  int opaque = 0, touched = 0;
  for (int y = 150; y < 220; ++y) {
    opaque += coverage.GetPixel(369, y) == 255;
    touched += coverage.GetPixel(369, y) != 0;
  }
  EXPECT_GE(opaque, 13);
  EXPECT_LE(opaque, 16);
  EXPECT_GE(touched, 15);
  EXPECT_LE(touched, 18);
}

// A straight segment of 100 pixels at full pressure, width 10: radius 5, parameter step
// 0.01 * 20 * 5 / 100 = 0.01, 100 steps from t = 0 to 0.99. x(t) = 10.5 + 100 s(t) with
// s(t) = 0.6 t (1 - t)^2 + 2.4 t^2 (1 - t) + t^3 (controls 0, 0.2, 0.8, 1 of the end
// segment): s(0.99) = 0.0000594 + 0.0235224 + 0.970299 = 0.9938808.
TEST_F(StrokeDrawTest, StraightSegmentSteps) {
  Bind(128, 64);
  AddPoints({{10.5, 20.5, 1.0}, {110.5, 20.5, 1.0}});
  brush.SetBrushType(0);
  ASSERT_TRUE(brush.StrokeDraw(stroke, r, options, 0, 1));
  EXPECT_NEAR(brush.lastDabX, 10.5 + 99.38808, 1e-9);
  EXPECT_DOUBLE_EQ(brush.lastDabY, 20.5);
  // Union of the dab rectangles, not grown: first (3, 13, 14, 14), last (102, 13, 14, 14).
  EXPECT_EQ(r, NRECT(3, 13, 113, 14));
}

// Pressure is clamped to 0..1 before it sets the radius; radius 0 is raised to 0.1.
TEST_F(StrokeDrawTest, PressureOutsideTheRange) {
  struct Case {
    double pressure;
    NRECT expected;  // radius 5: y trunc(20.5 - 7) = 13, 14 high; radius 0.1: 18, 4 high
  } cases[] = {
      {1.2, {3, 13, 113, 14}},
      {1.0, {3, 13, 113, 14}},
      {-0.3, {8, 18, 104, 4}},
      {0.0, {8, 18, 104, 4}},
  };
  uint8_t full[128];
  for (const Case& c : cases) {
    CImageTile32 canvasLayer, baseLayer;
    CImageTile8 strokeLayer;
    ASSERT_TRUE(canvasLayer.Resize(128, 64) && baseLayer.Resize(128, 64) &&
                strokeLayer.Resize(128, 64));
    CMangaBrush b;
    b.SetLayers(&canvasLayer, &baseLayer, &strokeLayer, nullptr);
    b.SetBrushType(0);
    CBrushStroke s;
    s.SetBrushInfo(&info);
    TStrokePoint p;
    p.x = 10.5;
    p.y = 20.5;
    p.pressure = c.pressure;
    s.AddPoint(p, 1.0, true, false);
    p.x = 110.5;
    s.AddPoint(p, 1.0, true, false);
    NRECT painted;
    ASSERT_TRUE(b.StrokeDraw(s, painted, options, 0, 1));
    EXPECT_EQ(painted, c.expected) << c.pressure;
    if (c.pressure == 1.2) {
      for (int x = 0; x < 128; ++x) full[x] = strokeLayer.GetPixel(x, 17);
    } else if (c.pressure == 1.0) {
      for (int x = 0; x < 128; ++x) EXPECT_EQ(strokeLayer.GetPixel(x, 17), full[x]) << x;
    }
  }
}

// 0.01 * factor * max(hw, 0.2) / len, factor 20 below radius 15 and 2 from 15 on; the script
// brush always steps 0.01.
TEST(StrokeStepTest, ParameterStep) {
  struct Case {
    bool script;
    double hw, len, expected;
  } cases[] = {
      {false, 5.0, 100.0, 0.01},    // width 10: one pixel
      {false, 15.0, 100.0, 0.003},  // width 30: 0.3 pixel
      {false, 14.5, 100.0, 0.029},  // still factor 20
      {false, 0.1, 100.0, 0.0004},  // radius raised to 0.2
      {false, 5.0, 0.1, 10.0},      // the shortest chord the walk uses
      {true, 5.0, 100.0, 0.01},    {true, 300.0, 3.0, 0.01},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(ParameterStep(c.script, c.hw, c.len), c.expected, 1e-15) << c.hw;
}

// Grid 25 and step 5 along the dominant axis below a width of 250, grid 16 and step 4 (both
// reset to 1 first) from 250 on, grid 11 when no axis dominates. Below 250 the step of the
// other axis stays as an earlier step left it.
TEST(StrokeStepTest, SamplingFollowsTheMovement) {
  struct Move {
    double adx, ady, hw;
  };
  struct Case {
    std::vector<Move> moves;
    int grid, stepX, stepY;
  } cases[] = {
      {{{3, 1, 124.5}}, 25, 5, 1},  // width 249
      {{{3, 1, 125.0}}, 16, 4, 1},  // width 250
      {{{1, 3, 125.0}}, 16, 1, 4},
      {{{2, 2, 124.5}}, 11, 1, 1},             // no axis dominates
      {{{0, 0, 125.0}}, 11, 1, 1},             // the first step: distance 0
      {{{3, 1, 5}, {1, 3, 5}}, 25, 5, 5},      // horizontal, then vertical
      {{{3, 1, 5}, {2, 2, 5}}, 11, 5, 1},      // steps kept when none dominates
      {{{3, 1, 5}, {1, 3, 125.0}}, 16, 1, 4},  // 250 resets the step of x
      {{{3, 1, 125.0}, {1, 3, 5}}, 25, 4, 5},  // below 250 x keeps its 4
  };
  for (const Case& c : cases) {
    TDabState dab;
    for (const Move& m : c.moves) ChooseSampling(dab, m.adx, m.ady, m.hw);
    EXPECT_EQ(dab.sampleGrid, c.grid) << c.moves.size() << " " << c.moves.back().hw;
    EXPECT_EQ(dab.sampleStepX, c.stepX) << c.moves.size() << " " << c.moves.back().hw;
    EXPECT_EQ(dab.sampleStepY, c.stepY) << c.moves.size() << " " << c.moves.back().hw;
  }
}

// A walk in which no step draws leaves the recorded rectangles alone.
TEST_F(StrokeDrawTest, NothingDrawnReportsFalse) {
  Bind(64, 64);
  AddPoints({{10, 10, 1}, {50, 10, 1}});
  brush.lastDrawRect = NRECT(1, 2, 3, 4);
  stroke.dirtyRect = NRECT(5, 6, 7, 8);
  ASSERT_EQ(brush.GetBrushType(), 16);  // no renderer for this type
  EXPECT_FALSE(brush.StrokeDraw(stroke, r, options, 1, 2));
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(brush.lastDrawRect, NRECT(1, 2, 3, 4));
  EXPECT_EQ(stroke.dirtyRect, NRECT(5, 6, 7, 8));
  EXPECT_TRUE(brush.firstDabPending);

  CBrushStroke bare;  // no brush settings: nothing to draw with
  EXPECT_FALSE(brush.StrokeDraw(bare, r, options, 0, 1));
}

// A stroke whose chord is too long for the step to move t would never end; the walk stops.
TEST_F(StrokeDrawTest, WalkEndsWhenTheStepVanishes) {
  Bind(64, 64);
  AddPoints({{10, 10, 1}, {1e300, 10, 1}});
  brush.SetBrushType(0);
  EXPECT_TRUE(brush.StrokeDraw(stroke, r, options, 0, 1));  // the first dab, then it stops
  EXPECT_EQ(coverage.GetPixel(10, 10), 255);
}

class ScriptStrokeTest : public StrokeDrawTest {
 protected:
  void UseScript(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    info.SetType(11);
    info.scriptPath = path;
    brush.SetBrushType(11);
  }
  double Global(const char* name) {
    lua_getfield(brush.lua, LUA_GLOBALSINDEX, name);
    const double v = lua_tonumber(brush.lua, -1);
    lua_settop(brush.lua, 0);
    return v;
  }
};

// t advances by repeated addition of 0.01: from 0 to 3 that is 301 steps, the last just below
// 3.0. A script that paints nothing still makes every step count as drawn.
TEST_F(ScriptStrokeTest, WalkCountsStepsAndStrokes) {
  Bind(492, 296);
  UseScript("brush_count_steps.bs",
            "steps = 0\nfunction main(x, y, p)\n  steps = steps + 1\n  lastx = x\nend\n");
  AddPoints({{24.6, 148, 0.0}, {196.8, 74, 0.6}, {369, 185, 1.0}, {492, 148, 0.0}});
  const int32_t before = strokeCounter;
  brush.lastDrawRect = NRECT(1, 1, 1, 1);
  EXPECT_FALSE(brush.StrokeDraw(stroke, r, options, 0, 3));
  ASSERT_NE(brush.lua, nullptr);
  EXPECT_EQ(Global("steps"), 301);
  EXPECT_GT(Global("lastx"), 491.0);
  EXPECT_EQ(strokeCounter, before + 1);
  EXPECT_FALSE(brush.firstDabPending);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(brush.lastDrawRect, NRECT(1, 1, 1, 1));
  EXPECT_TRUE(stroke.dirtyRect.IsEmpty());

  // Starting again at 0 restarts the stroke: a new count, a freshly loaded script.
  EXPECT_FALSE(brush.StrokeDraw(stroke, r, options, 0, 3));
  EXPECT_EQ(strokeCounter, before + 2);
  EXPECT_EQ(Global("steps"), 301);
  EXPECT_TRUE(brush.lastDrawRect.IsEmpty());  // cleared by the restart
}

// A stroke drawn in two pieces is one stroke: counted once, the script loaded once.
TEST_F(ScriptStrokeTest, PiecesContinueTheStroke) {
  Bind(492, 296);
  UseScript("brush_count_pieces.bs", "steps = 0\nfunction main(x, y, p) steps = steps + 1 end\n");
  AddPoints({{24.6, 148, 0.0}, {196.8, 74, 0.6}, {369, 185, 1.0}, {492, 148, 0.0}});
  const int32_t before = strokeCounter;
  brush.StrokeDraw(stroke, r, options, 0, 1);
  EXPECT_EQ(Global("steps"), 100);  // 100 additions of 0.01 pass 1.0
  brush.StrokeDraw(stroke, r, options, 1, 3);
  EXPECT_GE(Global("steps"), 300);
  EXPECT_EQ(strokeCounter, before + 1);
}

// The script's area is what its drawing functions touched, grown by 2 on every side. In
// draw mode 1 the stroke layer is merged (restoring the base inside R first); in draw mode 0
// the paint is already in the canvas and nothing is merged.
TEST_F(ScriptStrokeTest, ScriptAreaAndMergeByDrawMode) {
  for (int mode : {0, 1}) {
    CImageTile32 canvasLayer, baseLayer;
    CImageTile8 strokeLayer;
    ASSERT_TRUE(canvasLayer.Resize(64, 64) && baseLayer.Resize(64, 64) &&
                strokeLayer.Resize(64, 64));
    baseLayer.SetPixel(9, 9, 0xffffffff);
    CMangaBrush b;
    b.SetLayers(&canvasLayer, &baseLayer, &strokeLayer, nullptr);
    UseScript("brush_area.bs",
              std::string(mode == 1 ? "bs_setmode(1)\n" : "") +
                  "function main(x, y, p) bs_rect(10, 10, 5, 5, 0, 0, 0, 255) end\n");
    b.SetBrushType(11);
    CBrushStroke s;
    s.SetBrushInfo(&info);
    TStrokePoint p;
    p.x = 20;
    p.y = 20;
    p.pressure = 1;
    s.AddPoint(p, 1.0, true, false);
    p.x = 40;
    s.AddPoint(p, 1.0, true, false);
    NRECT painted;
    EXPECT_TRUE(b.StrokeDraw(s, painted, options, 0, 1)) << mode;
    EXPECT_EQ(painted, NRECT(8, 8, 9, 9)) << mode;
    EXPECT_EQ(s.dirtyRect, painted);
    EXPECT_EQ(b.lastDrawRect, painted);
    EXPECT_EQ(canvasLayer.GetPixel(10, 10), 0xff000000u) << mode;
    EXPECT_EQ(canvasLayer.GetPixel(15, 10), 0u) << mode;
    EXPECT_EQ(strokeLayer.GetPixel(10, 10), mode == 1 ? 255 : 0);
    EXPECT_EQ(canvasLayer.GetPixel(9, 9), mode == 1 ? 0xffffffffu : 0u) << mode;
    drawMode = 0;
  }
}

}  // namespace
}  // namespace pavo

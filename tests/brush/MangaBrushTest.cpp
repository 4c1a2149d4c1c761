// The brush engine object: its state after construction, binding, and the stroke count that
// outlives every brush.
#include <gtest/gtest.h>

#include "brush/BrushInfo.h"
#include "brush/MangaBrush.h"

namespace pavo {
namespace {

TEST(MangaBrushTest, FreshBrush) {
  CMangaBrush b;
  EXPECT_EQ(b.type, 16);
  EXPECT_EQ(b.targetDepth, 0);
  EXPECT_EQ(b.canvasLayer, nullptr);
  EXPECT_EQ(b.baseLayer, nullptr);
  EXPECT_EQ(b.strokeLayer, nullptr);
  EXPECT_EQ(b.maskLayer, nullptr);
  EXPECT_EQ(b.layerOffsetX, 0);
  EXPECT_EQ(b.layerOffsetY, 0);
  EXPECT_TRUE(b.lastDrawRect.IsEmpty());
  EXPECT_EQ(b.lastEndIndex, 0);
  EXPECT_TRUE(b.firstDabPending);
  EXPECT_EQ(b.lua, nullptr);
  EXPECT_FALSE(b.scriptLoaded);
  EXPECT_TRUE(b.dabRect.IsEmpty());
  EXPECT_EQ(b.work32, nullptr);
  EXPECT_EQ(b.work8, nullptr);
  EXPECT_EQ(b.work1, nullptr);
  EXPECT_EQ(b.dirX, 0.0);
  EXPECT_EQ(b.normalY, 0.0);
  EXPECT_TRUE(b.polygon.empty());
  EXPECT_EQ(b.path.Count(), 0);
  EXPECT_EQ(b.canvasWidth, 1);
  EXPECT_EQ(b.canvasHeight, 1);
  EXPECT_EQ(b.canvasDpi, 600);
  EXPECT_EQ(b.canvasAngle, 0.0);
  EXPECT_EQ(b.baseX, -1.0);
  EXPECT_EQ(b.baseY, -1.0);
  EXPECT_EQ(b.dabOffsetX, 0);
  EXPECT_EQ(b.dabOffsetY, 0);
  EXPECT_TRUE(b.loadError.empty());
}

TEST(MangaBrushTest, SettersStoreTheirValues) {
  CMangaBrush b;
  b.SetCanvasInfo(492, 296, 150, 0.25);
  EXPECT_EQ(b.canvasWidth, 492);
  EXPECT_EQ(b.canvasHeight, 296);
  EXPECT_EQ(b.canvasDpi, 150);
  EXPECT_EQ(b.canvasAngle, 0.25);
  b.SetLayerOffset(-3, 7);
  EXPECT_EQ(b.layerOffsetX, -3);
  EXPECT_EQ(b.layerOffsetY, 7);
  b.SetBrushType(11);
  EXPECT_EQ(b.GetBrushType(), 11);
}

// Binding replaces every layer of an earlier binding, the mask included.
TEST(MangaBrushTest, SetLayersRebindsEverything) {
  CImageTile32 canvas, base;
  CImageTile8 stroke, mask;
  CMangaBrush b;
  b.SetLayers(&canvas, &base, &stroke, &mask);
  EXPECT_EQ(b.targetDepth, 32);
  EXPECT_EQ(b.canvasLayer, &canvas);
  EXPECT_EQ(b.baseLayer, &base);
  EXPECT_EQ(b.strokeLayer, &stroke);
  EXPECT_EQ(b.maskLayer, &mask);
  b.SetLayers(&canvas, nullptr, nullptr, nullptr);
  EXPECT_EQ(b.targetDepth, 32);
  EXPECT_EQ(b.baseLayer, nullptr);
  EXPECT_EQ(b.strokeLayer, nullptr);
  EXPECT_EQ(b.maskLayer, nullptr);
}

// Each brush that begins a script-brush stroke adds one to the process-wide count; a brush
// without a script path still begins its stroke (and marks it with red crosses).
TEST(MangaBrushTest, StrokeCountOutlivesBrushes) {
  CBrushInfo info;
  info.SetType(11);
  const int32_t before = strokeCounter;
  for (int i = 0; i < 2; ++i) {
    CImageTile32 canvas, base;
    CImageTile8 stroke;
    ASSERT_TRUE(canvas.Resize(100, 60) && base.Resize(100, 60) && stroke.Resize(100, 60));
    CMangaBrush b;
    b.SetBrushType(11);
    b.SetLayers(&canvas, &base, &stroke, nullptr);
    CBrushStroke s;
    s.SetBrushInfo(&info);
    TStrokePoint p;
    p.x = 10;
    p.y = 30;
    s.AddPoint(p, 1.0, true, false);
    p.x = 90;
    s.AddPoint(p, 1.0, true, false);
    TStrokeOptions options;
    NRECT r;
    EXPECT_TRUE(b.StrokeDraw(s, r, options, 0, 1));
    EXPECT_EQ(strokeCounter, before + i + 1);
    EXPECT_FALSE(b.scriptLoaded);
    EXPECT_EQ(canvas.GetPixel(10, 30), 0xffff0000u);  // centre of the first cross
  }
  // A plain-brush stroke is not counted.
  CMangaBrush plain;
  plain.SetBrushType(0);
  CBrushInfo plainInfo;
  CBrushStroke s;
  s.SetBrushInfo(&plainInfo);
  TStrokePoint p;
  s.AddPoint(p, 1.0, true, false);
  TStrokeOptions options;
  NRECT r;
  plain.StrokeDraw(s, r, options, 0, 1);
  EXPECT_EQ(strokeCounter, before + 2);
}

}  // namespace
}  // namespace pavo

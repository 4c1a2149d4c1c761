// The test stroke: new layers, a new stroke and a new brush for every repaint, so nothing of
// one preview leaks into the next except the shared random generator's state.
#include "preview/TestStroke.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "brush/MangaBrush.h"
#include "geometry/Random.h"
#include "imaging/ImageTile.h"
#include "script/DabScript.h"
#include "script/ScriptGuard.h"

namespace pavo {

namespace {

constexpr uint32_t kCheckerLight = 0xffffffff;
constexpr uint32_t kCheckerDark = 0xffe8e8e8;
constexpr int32_t kCheckerSize = 5;  // bit mask 4: cells of 4 x 4 pixels
constexpr int32_t kScriptBrush = 11;

}  // namespace

void TestStrokePoints(int32_t w, int32_t h, TStrokePoint points[4]) {
  // Middle row M = h / 2 and amplitude A = h / 4, both integer divisions; the third point's
  // offset A / 2 is truncated as well.
  const int32_t m = h / 2;
  const int32_t a = h / 4;
  const double xs[4] = {w * 0.05, w * 0.4, w * 0.75, w * 1.0};
  const int32_t ys[4] = {m, m - a, m + a / 2, m};
  const double pressures[4] = {0.0, 0.6, 1.0, 0.0};
  for (int i = 0; i < 4; ++i) {
    points[i] = TStrokePoint{};
    points[i].x = xs[i];
    points[i].y = ys[i];
    points[i].pressure = pressures[i];
  }
}

void DrawTestStroke(CBrushInfo& info, CImage32& image, int32_t seed) {
  DrawTestStroke(info, image, seed, nullptr);
}

void DrawTestStroke(CBrushInfo& info, CImage32& image, int32_t seed, std::string* debugText) {
  // The whole repaint, load and last included, shares one time budget.
  CScriptJob job("the repaint");
  if (debugText != nullptr) debugText->clear();
  // An image without pixels (a view whose surface could not be had) is never painted into.
  if (image.width < 1 || image.height < 1 || image.pixels == nullptr) return;
  const int32_t w = image.width;
  const int32_t h = image.height;

  CImageTile32 canvas;
  CImageTile32 base;  // stays transparent: the unpainted state the stroke merge restores from
  CImageTile8 strokeLayer;
  const bool layersReady = canvas.Resize(w, h) && base.Resize(w, h) && strokeLayer.Resize(w, h);

  if (layersReady) {
    SeedRandom(static_cast<uint32_t>(seed));

    CBrushStroke stroke;
    stroke.SetBrushInfo(&info);
    NRECT painted;

    auto brush = std::make_unique<CMangaBrush>();
    brush->SetCanvasInfo(w, h, 150, 0.0);

    TStrokeOptions options;
    options.width = info.WidthAtPressure(1.0);
    options.foreColor = 0xff000000;
    options.backColor = 0xffffffff;
    options.antiAlias = true;

    TStrokePoint points[4];
    TestStrokePoints(w, h, points);
    for (const TStrokePoint& point : points) stroke.AddPoint(point, 1.0, true, false);

    brush->SetBrushType(info.type);
    brush->SetLayers(&canvas, &base, &strokeLayer, nullptr);
    brush->StrokeDraw(stroke, painted, options, 0, 3);
    if (info.type == kScriptBrush) {
      RunLastScript(*brush, stroke, points[3].x, points[3].y, 0.0);
    }
    if (debugText != nullptr && brush->debugLog.Text() != nullptr) {
      debugText->assign(brush->debugLog.Text(), brush->debugLog.Length());
    }
    brush.reset();  // closes the script state before the preview is composed
  }

  FillPreviewBackground(image);
  if (layersReady) {
    TBltInfo32 blt;
    blt.mode = 28;  // normal over, straight alpha
    blt.opacity = 255;
    BltToImage(blt, image, 0, 0, canvas);
  }
}

void FillPreviewBackground(CImage32& image) {
  image.FillChecker(kCheckerLight, kCheckerDark, kCheckerSize);
}

void ShowOverBackground(CImage32& image, const CImage32& shown) {
  if (image.pixels == nullptr) return;
  FillPreviewBackground(image);
  if (shown.pixels == nullptr) return;
  const int32_t w = std::min(image.width, shown.width);
  const int32_t h = std::min(image.height, shown.height);
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(image.RowAddress(y), shown.RowAddress(y), static_cast<size_t>(w) * 4);
  }
}

}  // namespace pavo

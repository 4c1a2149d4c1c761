// The fixed test stroke of the preview: a gentle S across the preview with the pressure
// rising from nothing to full and falling back, painted with the current brush and
// composited over a light checkerboard. Free of any window system.
#pragma once

#include <cstdint>
#include <string>

#include "brush/BrushInfo.h"
#include "brush/Stroke.h"
#include "imaging/Image.h"

namespace pavo {

// The four stroke points for a preview of w x h pixels.
void TestStrokePoints(int32_t w, int32_t h, TStrokePoint points[4]);
// Repaints image from scratch; seed is handed to the shared random generator.
void DrawTestStroke(CBrushInfo& info, CImage32& image, int32_t seed);
// The same; when debugText is not null it receives the text the script collected with
// bs_debug while the stroke was painted (the window never shows it; the renderer's --log does).
void DrawTestStroke(CBrushInfo& info, CImage32& image, int32_t seed, std::string* debugText);

// The preview's background: cells of 4 x 4 pixels, white where bit 2 of x equals bit 2 of y,
// light grey 0xffe8e8e8 elsewhere.
void FillPreviewBackground(CImage32& image);
// The background, then the pixels of `shown` copied over it at the top left as far as both
// reach: a preview painted at another size, shown until it is painted again.
void ShowOverBackground(CImage32& image, const CImage32& shown);

}  // namespace pavo

// The scratchpad's canvas: the author's own strokes painted by the brush engine onto one
// canvas, each stroke with a new brush and script state, composited over the preview's
// checkerboard. A stroke is painted whole (a replay, a stroke file) or in pieces as its points
// arrive (the pen on the pad); both give the same pixels.
//
// Kept points are the points the stroke model accepted, exactly as it accepted them (the
// repeats of a stroke's first point included), so they are appended as they are: no thinning,
// no repeating, no dropping of equal neighbours. A piece draws every segment whose shape is
// known: segment k samples points k - 1 .. k + 2, and a script's direction at its end looks
// into segment k + 1, which needs point k + 3. The pieces continue the walk where the last one
// stopped, so they step exactly where one call over the whole stroke would.
//
// Like the preview, a replay starts from a clear canvas with the generator seeded and the
// stroke counter at 0; the strokes that follow take both up where the last one left them, so
// painting a stroke live and replaying the strokes give the same numbers to the script.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "brush/BrushInfo.h"
#include "brush/MangaBrush.h"
#include "brush/Stroke.h"
#include "imaging/Image.h"
#include "imaging/ImageTile.h"

namespace quarnel {

// A point of a kept stroke: position in pad pixels, pressure (0..1, stored as given) and the
// millisecond time it was taken.
struct TPadPoint {
  double x = 0.0;
  double y = 0.0;
  double pressure = 0.0;
  uint32_t time = 0;
  bool operator==(const TPadPoint&) const = default;
};
using TPadStroke = std::vector<TPadPoint>;

class CPadCanvas {
 public:
  CPadCanvas();
  ~CPadCanvas();
  CPadCanvas(const CPadCanvas&) = delete;
  CPadCanvas& operator=(const CPadCanvas&) = delete;

  // A clear canvas of w x h pixels, the generator seeded with `seed` and the stroke counter at
  // 0. False when the layers cannot be had.
  bool Reset(int32_t w, int32_t h, uint32_t seed);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  // A whole stroke: its points, drawn from the first index to the last, then the script's
  // last with the last point.
  void PaintStroke(const pavo::CBrushInfo& info, const TPadStroke& points);

  // A stroke in pieces: begun, extended by the points accepted since (drawing what they
  // shape), and finished (the rest drawn, then last). A stroke stopped by the budget (in any
  // piece) draws no more; Finish still closes it.
  void Begin(const pavo::CBrushInfo& info);
  void Extend(const TPadStroke& points);
  void Finish();
  bool Drawing() const { return brush_ != nullptr; }

  // The checkerboard, then the canvas over it: the pad as the window shows it.
  void Compose(pavo::CImage32& image) const;

  // The generator state and stroke counter the pad's strokes run on, kept between strokes.
  uint32_t randomState = 0;
  int32_t strokeCounter = 0;

 private:
  void DrawTo(int32_t end);

  int32_t width_ = 0;
  int32_t height_ = 0;
  pavo::CImageTile32 canvas_;
  pavo::CImageTile32 base_;  // the canvas before the stroke: what its merges restore from
  pavo::CImageTile8 coverage_;
  // The stroke being drawn.
  pavo::CBrushInfo info_;
  std::unique_ptr<pavo::CBrushStroke> stroke_;
  std::unique_ptr<pavo::CMangaBrush> brush_;
  pavo::TStrokeOptions options_;
  int32_t drawnTo_ = 0;   // the index the last piece drew up to
  bool stopped_ = false;  // the budget stopped the stroke: nothing more of it runs
};

}  // namespace quarnel

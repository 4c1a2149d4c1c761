// Merging the stroke layer into the canvas: a re-composite from the unpainted copy, so that
// repeating it after every drawing call never paints an area twice.
#include "brush/MangaBrush.h"
#include "brush/RectFromReal.h"

namespace pavo {

void MergeStrokeLayer(CMangaBrush& brush, const NRECT& r, const TStrokeOptions& options) {
  // The merge needs all three layers; a brush bound without them has nothing to merge.
  if (brush.canvasLayer == nullptr || brush.baseLayer == nullptr || brush.strokeLayer == nullptr)
    return;

  // Restore: a copy rewrites every row of r, so the canvas inside r equals the base exactly,
  // transparent pixels included.
  TBltInfo32 restore;
  restore.mode = kBlendCopy;
  BltLayer(*brush.canvasLayer, restore, r.x, r.y, *brush.baseLayer, r.x, r.y, r.width, r.height);

  // Paint: the foreground colour through the coverage, normal over.
  TBltInfo32 paint;
  paint.mode = kBlendNormal;
  paint.paintColour = options.foreColor;
  BltCoverage(paint, *brush.canvasLayer, r.x, r.y, *brush.strokeLayer,
              AddClamped(r.x, brush.layerOffsetX), AddClamped(r.y, brush.layerOffsetY), r.width,
              r.height);
}

}  // namespace pavo

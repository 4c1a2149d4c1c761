// The painting primitives of the brush: the plain brush's circular dab and the shapes, discs
// and pixels behind the script's drawing functions.
//
// Draw mode 0 paints the colour straight into the canvas layer. Draw mode 1 paints coverage
// into the stroke layer, merged by maximum so that overlapping shapes of one stroke do not
// build up: polygons and rectangles are rasterised into the empty scratch layer work8, whose
// rectangle A is then combined into the stroke layer (mode 27) and emptied again; discs and
// pixels take the maximum themselves.
//
// Every primitive grows dabRect by its rectangle whether or not anything was painted. The
// script primitives paint only while a canvas layer is bound (never during discovery). A
// rectangle that cannot be computed because a coordinate is NaN or infinite is not added,
// and such a shape is not painted.
#include <algorithm>
#include <cmath>
#include <type_traits>

#include "brush/MangaBrush.h"
#include "brush/RectFromReal.h"
#include "imaging/DiscFill.h"
#include "imaging/PolyFill.h"

namespace pavo {

namespace {

constexpr uint8_t kFullCoverage = 255;

// Sampling grid of a script disc of radius r: 9 below 2, 7 below 3, 5 below 5, then 4.
inline int32_t DiscGrid(double r) {
  if (r < 2.0) return 9;
  if (r < 3.0) return 7;
  if (r < 5.0) return 5;
  return 4;
}

// Opacity of a dab as a byte: held within 0..255 rather than wrapped.
inline uint8_t OpacityByte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// B: the union of the 1 x 1 rectangles at the truncated vertices. False when a vertex is not
// finite (those vertices stay out of B). The union of such rectangles is their bounding box,
// added to B at once.
bool AddVertexBounds(const TPolygon& polygon, NRECT& bounds) {
  bool finite = true, any = false;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  for (const CVector2<double>& v : polygon) {
    int32_t vx = 0, vy = 0;
    if (TruncCoord(v.x, vx) && TruncCoord(v.y, vy)) {
      if (!any) {
        left = right = vx;
        top = bottom = vy;
        any = true;
      } else {
        left = std::min(left, vx);
        right = std::max(right, vx);
        top = std::min(top, vy);
        bottom = std::max(bottom, vy);
      }
    } else {
      finite = false;
    }
  }
  if (any) bounds.Union(NRECT(left, top, right - left + 1, bottom - top + 1));
  return finite;
}

// Combines rectangle a of the scratch layer into the stroke layer by maximum and empties the
// scratch layer.
void CombineScratch(CMangaBrush& brush, const NRECT& a) {
  TBltInfo8 info;
  info.mode = kBlendMaximum;
  BltLayer(*brush.strokeLayer, info, AddClamped(a.x, brush.layerOffsetX),
           AddClamped(a.y, brush.layerOffsetY), *brush.work8, a.x, a.y, a.width, a.height);
  brush.work8->FreeTiles();
}

// Paints a script primitive where the draw mode sends it, only while a canvas layer is bound:
// toCanvas(canvas layer) in draw mode 0, toCoverage() in draw mode 1. A primitive whose
// rasterising runs out of memory loses its pixels, as a tile that cannot be had does.
template <class TCanvas, class TCoverage>
void PaintByDrawMode(CMangaBrush& brush, TCanvas toCanvas, TCoverage toCoverage) noexcept {
  if (brush.canvasLayer == nullptr) return;
  try {
    if (drawMode == kDrawCoverage) {
      toCoverage();
    } else {
      toCanvas(*brush.canvasLayer);
    }
  } catch (...) {
  }
}

// A shape that fill(layer, value) rasterises: in colour into the canvas, or in draw mode 1 as
// full coverage into the scratch layer, whose rectangle a is then combined into the stroke
// layer. Coverage needs the scratch layer (made by the script load for a bound brush) and the
// stroke layer; without them nothing is painted.
template <class TFill>
void PaintShape(CMangaBrush& brush, const NRECT& a, uint32_t colour, TFill fill) {
  PaintByDrawMode(
      brush, [&](CImageTile32& canvas) { fill(canvas, colour); },
      [&] {
        if (brush.work8 == nullptr || brush.strokeLayer == nullptr) return;
        fill(*brush.work8, kFullCoverage);
        CombineScratch(brush, a);
      });
}

}  // namespace

void CMangaBrush::PaintCircularDab(TDabState& dab, double ratio, bool& drawn) {
  // Paints only after the brush has moved 0.1 radius since the last dab.
  if (!firstDabPending && ratio < 0.1) return;
  const double r = dab.halfWidth;
  NRECT a;
  if (TruncRect(dab.x - r - 2.0, dab.y - r - 2.0, 2.0 * r + 4.0, 2.0 * r + 4.0, a)) {
    dab.rect.Union(a);
  }
  if (strokeLayer != nullptr && std::isfinite(dab.x) && std::isfinite(dab.y)) {
    TDiscInfo disc;
    disc.value = kFullCoverage;
    disc.opacity = OpacityByte(dab.opacity);
    disc.maxMode = true;
    disc.antiAlias = dab.options != nullptr ? dab.options->antiAlias : antiAlias;
    disc.grid = dab.sampleGrid;
    disc.stepX = dab.sampleStepX;
    disc.stepY = dab.sampleStepY;
    disc.falloff = false;
    disc.falloffPower = 1.0;
    FillDisc(*strokeLayer, dab.x + layerOffsetX, dab.y + layerOffsetY, r, disc);
  }
  drawn = true;
}

void CMangaBrush::FillShape(const TPolygon& shape, uint32_t colour, uint8_t opacity) {
  NRECT a;
  const bool finite = AddVertexBounds(shape, a);
  a.Inflate(2, 2);
  if (finite) {
    PaintShape(*this, a, colour, [&](auto& layer, auto value) {
      FillPolygon(layer, shape, value, opacity, antiAlias);
    });
  }
  dabRect.Union(a);
}

void CMangaBrush::FillPath(const TContours& contours, uint32_t colour, uint8_t opacity) {
  NRECT a;
  bool finite = true;
  for (const TPolygon& contour : contours) finite = AddVertexBounds(contour, a) && finite;
  a.Inflate(2, 2);
  if (finite) {
    PaintShape(*this, a, colour, [&](auto& layer, auto value) {
      FillContours(layer, contours, value, opacity, antiAlias);
    });
  }
  dabRect.Union(a);
}

void CMangaBrush::PaintRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
                            uint8_t opacity) {
  // The rectangle as given; only edges beyond any layer are pulled in, so that its right and
  // bottom edges never wrap.
  const NRECT a = ClampRect(x, y, w, h);
  PaintShape(*this, a, colour, [&](auto& layer, auto value) {
    TBltInfo<typename std::remove_reference_t<decltype(layer)>::TPixel> fill;
    fill.mode = kFillPaint;
    fill.colour = value;
    fill.opacity = opacity;
    layer.FillRect(fill, a.x, a.y, a.width, a.height);
  });
  dabRect.Union(a);
}

void CMangaBrush::PaintDisc(double cx, double cy, double r, uint32_t colour, uint8_t opacity,
                            bool falloff, double falloffPower) {
  NRECT a;
  if (!TruncRect(cx - r - 1.0, cy - r - 1.0, 2.0 * r + 2.0, 2.0 * r + 2.0, a)) return;
  TDiscInfo disc;
  disc.opacity = opacity;
  disc.antiAlias = antiAlias;
  disc.grid = DiscGrid(r);
  disc.stepX = 1;
  disc.stepY = 1;
  disc.falloff = falloff;
  disc.falloffPower = falloffPower;
  PaintByDrawMode(
      *this,
      [&](CImageTile32& canvas) {
        disc.colour = colour;
        FillDiscRows(canvas, cx, cy, r, disc);
      },
      [&] {
        // The disc keeps the maximum itself: no scratch layer.
        if (strokeLayer == nullptr) return;
        disc.value = kFullCoverage;
        disc.maxMode = true;
        FillDiscRows(*strokeLayer, cx + layerOffsetX, cy + layerOffsetY, r, disc);
      });
  dabRect.Union(a);
}

void CMangaBrush::PaintPixel(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue,
                             int32_t opacity) {
  // 0xff000000 + (red & 255) * 65536 + (green & 255) * 256 + (blue & 255)
  const uint32_t colour = 0xff000000u | ((static_cast<uint32_t>(red) & 255u) << 16) |
                          ((static_cast<uint32_t>(green) & 255u) << 8) |
                          (static_cast<uint32_t>(blue) & 255u);
  const uint32_t low = static_cast<uint32_t>(opacity) & 255u;
  if (opacity > 0) {
    PaintByDrawMode(
        *this, [&](CImageTile32& canvas) { canvas.BlendPixel(x, y, colour, low); },
        [&] {
          if (strokeLayer == nullptr) return;
          const int32_t sx = AddClamped(x, layerOffsetX);
          const int32_t sy = AddClamped(y, layerOffsetY);
          // Raised to the opacity's low byte when below the whole opacity.
          if (strokeLayer->GetPixel(sx, sy) < opacity) {
            strokeLayer->SetPixel(sx, sy, static_cast<uint8_t>(low));
          }
        });
  }
  dabRect.Union(ClampRect(x, y, 1, 1));
}

uint32_t CMangaBrush::ReadPixel(int32_t x, int32_t y) const {
  return canvasLayer != nullptr ? canvasLayer->GetPixel(x, y) : 0u;
}

uint32_t CMangaBrush::ReadPixelAlpha(int32_t x, int32_t y) const { return ReadPixel(x, y) >> 24; }

}  // namespace pavo

// The bs_ functions with which a script paints: the draw mode, direct shapes, the polygon
// and bezier outline under construction, and the fill of what was built. Painting itself is
// done by the brush's primitives, which also grow dabRect.
#include <lua.hpp>

#include <cmath>
#include <cstdint>

#include "brush/MangaBrush.h"
#include "geometry/Shape.h"
#include "script/LuaNumbers.h"
#include "script/ScriptApi.h"

namespace pavo {

namespace {

// Most points of the polygon and most segments of the bezier outline under construction: a
// script that adds points without ever filling cannot take the host's memory; further
// points are dropped.
constexpr size_t kMaxOutlinePoints = size_t{1} << 20;
// Most points of the path flattened for a fill. A segment of absurd length is flattened into
// 196 608 points, so a short path of such segments would otherwise take gigabytes in the
// fill; points past this are dropped. Ordinary outlines stay far below it: 2 Mi points are
// 140 000 curves of the smallest step count.
constexpr size_t kMaxFlattenedPoints = size_t{1} << 21;

// Scratch outlines reused from fill to fill so that a dab allocates nothing once they have
// grown; used by the painting thread only, like currentBrush.
CShape scratchEllipse;
TPolygon scratchPolygon;
TContours scratchContours;

// Four numbers x, y, width, height of a bounding box.
int PushBox(lua_State* L, const NRECTD& box) {
  lua_pushnumber(L, box.x);
  lua_pushnumber(L, box.y);
  lua_pushnumber(L, box.width);
  lua_pushnumber(L, box.height);
  return 4;
}

}  // namespace

// Only kDrawCanvas and kDrawCoverage are modes; other values are ignored.
int bs_setmode(lua_State* L) {
  const int32_t mode = ArgInt(L, 1, 0);
  if (mode == kDrawCanvas || mode == kDrawCoverage) drawMode = mode;
  return 0;
}

// The opacity is passed whole: the primitive paints only when it is above 0 and then uses
// its low 8 bits.
int bs_pixel_set(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  int32_t v[6];
  for (int k = 0; k < 6; ++k) v[k] = ArgInt(L, 6, k);
  try {
    b->PaintPixel(v[0], v[1], v[2], v[3], v[4], v[5]);
  } catch (...) {
  }
  return 0;
}

int bs_rect(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  int32_t v[8];
  for (int k = 0; k < 8; ++k) v[k] = ArgInt(L, 8, k);
  try {
    b->PaintRect(v[0], v[1], v[2], v[3], OpaqueColour(v[4], v[5], v[6]),
                 static_cast<uint8_t>(LowByte(v[7])));
  } catch (...) {
  }
  return 0;
}

// A circle (w == h, w <= 2000) is a disc of radius w / 2 whatever the angle; everything else
// is the ellipse polygon turned by angle.
int bs_ellipse(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  double n[5];
  for (int k = 0; k < 5; ++k) n[k] = ArgNumber(L, 9, k);
  int32_t v[4];
  for (int k = 0; k < 4; ++k) v[k] = ArgInt(L, 9, 5 + k);
  const uint32_t colour = OpaqueColour(v[0], v[1], v[2]);
  const uint8_t opacity = static_cast<uint8_t>(LowByte(v[3]));
  try {
    if (n[2] == n[3] && n[2] <= 2000.0) {
      b->PaintDisc(n[0], n[1], n[2] / 2.0, colour, opacity, false, 1.0);
    } else {
      scratchEllipse.SetEllipse(n[0], n[1], n[2], n[3], n[4]);
      b->FillShape(scratchEllipse.points, colour, opacity);
    }
  } catch (...) {
  }
  return 0;
}

// A soft spot of diameter size whose edge falls off with the given power.
int bs_air(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  double n[4];
  for (int k = 0; k < 4; ++k) n[k] = ArgNumber(L, 8, k);
  int32_t v[4];
  for (int k = 0; k < 4; ++k) v[k] = ArgInt(L, 8, 4 + k);
  try {
    b->PaintDisc(n[0], n[1], n[2] / 2.0, OpaqueColour(v[0], v[1], v[2]),
                 static_cast<uint8_t>(LowByte(v[3])), true, n[3]);
  } catch (...) {
  }
  return 0;
}

// A point that cannot be stored (no memory) is dropped.
int bs_polygon(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double x = ArgNumber(L, 2, 0);
  const double y = ArgNumber(L, 2, 1);
  if (b->polygon.size() >= kMaxOutlinePoints) return 0;
  try {
    b->polygon.emplace_back(x, y);
  } catch (...) {
  }
  return 0;
}

int bs_polygon_move(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double dx = ArgNumber(L, 2, 0);
  const double dy = ArgNumber(L, 2, 1);
  for (CVector2<double>& p : b->polygon) {
    p.x += dx;
    p.y += dy;
  }
  return 0;
}

// Moves the mean point (sum of x / count, sum of y / count) to (0, 0).
int bs_polygon_move_center(lua_State*) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr || b->polygon.empty()) return 0;
  double sx = 0.0;
  double sy = 0.0;
  for (const CVector2<double>& p : b->polygon) {
    sx += p.x;
    sy += p.y;
  }
  const double n = static_cast<double>(b->polygon.size());
  const double mx = sx / n;
  const double my = sy / n;
  for (CVector2<double>& p : b->polygon) {
    p.x -= mx;
    p.y -= my;
  }
  return 0;
}

// (x, y) -> (x cos a - y sin a, x sin a + y cos a) about (0, 0).
int bs_polygon_rotate(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double a = ArgNumber(L, 1, 0);
  const double c = std::cos(a);
  const double s = std::sin(a);
  for (CVector2<double>& p : b->polygon) {
    const double x = p.x;
    const double y = p.y;
    p.x = x * c - y * s;
    p.y = x * s + y * c;
  }
  return 0;
}

int bs_polygon_mul(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double sx = ArgNumber(L, 2, 0);
  const double sy = ArgNumber(L, 2, 1);
  for (CVector2<double>& p : b->polygon) {
    p.x *= sx;
    p.y *= sy;
  }
  return 0;
}

// Bounding box grown point by point from the empty box: 0, 0, -1, -1 without points.
int bs_polygon_region(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  NRECTD box;
  for (const CVector2<double>& p : b->polygon) box.AddPoint(p.x, p.y);
  return PushBox(L, box);
}

int bs_polygon_clear(lua_State*) {
  CMangaBrush* b = currentBrush;
  if (b != nullptr) b->polygon.clear();
  return 0;
}

// Starts a new outline at (x, y) without adding a segment.
int bs_bezier_begin(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double x = ArgNumber(L, 2, 0);
  const double y = ArgNumber(L, 2, 1);
  b->path.Clear();
  b->path.SetCurrent(x, y);
  return 0;
}

// The path operations append to vectors; a segment that cannot be stored is dropped.
int bs_bezier_m(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double x = ArgNumber(L, 2, 0);
  const double y = ArgNumber(L, 2, 1);
  if (b->path.Count() >= kMaxOutlinePoints) return 0;
  try {
    b->path.MoveTo(x, y);
  } catch (...) {
  }
  return 0;
}

int bs_bezier_c(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  double n[6];
  for (int k = 0; k < 6; ++k) n[k] = ArgNumber(L, 6, k);
  if (b->path.Count() >= kMaxOutlinePoints) return 0;
  try {
    b->path.CurveTo(n[0], n[1], n[2], n[3], n[4], n[5]);
  } catch (...) {
  }
  return 0;
}

int bs_bezier_v(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  double n[4];
  for (int k = 0; k < 4; ++k) n[k] = ArgNumber(L, 4, k);
  if (b->path.Count() >= kMaxOutlinePoints) return 0;
  try {
    b->path.CurveToV(n[0], n[1], n[2], n[3]);
  } catch (...) {
  }
  return 0;
}

int bs_bezier_y(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  double n[4];
  for (int k = 0; k < 4; ++k) n[k] = ArgNumber(L, 4, k);
  if (b->path.Count() >= kMaxOutlinePoints) return 0;
  try {
    b->path.CurveToY(n[0], n[1], n[2], n[3]);
  } catch (...) {
  }
  return 0;
}

int bs_bezier_l(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double x = ArgNumber(L, 2, 0);
  const double y = ArgNumber(L, 2, 1);
  if (b->path.Count() >= kMaxOutlinePoints) return 0;
  try {
    b->path.LineTo(x, y);
  } catch (...) {
  }
  return 0;
}

int bs_bezier_move(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double dx = ArgNumber(L, 2, 0);
  const double dy = ArgNumber(L, 2, 1);
  b->path.Move(dx, dy);
  return 0;
}

int bs_bezier_move_center(lua_State*) {
  CMangaBrush* b = currentBrush;
  if (b != nullptr) b->path.MoveCenter();
  return 0;
}

int bs_bezier_rotate(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  b->path.Rotate(ArgNumber(L, 1, 0));
  return 0;
}

int bs_bezier_mul(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double sx = ArgNumber(L, 2, 0);
  const double sy = ArgNumber(L, 2, 1);
  b->path.Mul(sx, sy);
  return 0;
}

// Box of all control values (not the tight box of the curve): 0, 0, -1, -1 when empty.
int bs_bezier_region(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  return PushBox(L, b->path.ControlBounds());
}

int bs_bezier_clear(lua_State*) {
  CMangaBrush* b = currentBrush;
  if (b != nullptr) b->path.Clear();
  return 0;
}

// Fills the polygon (non-zero winding) if it has a point, empties it, then fills the path
// flattened with three times the steps: one polygon, or with contour starts every contour
// together by the even-odd rule; the path is cleared in every case.
int bs_fill(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  int32_t v[4];
  for (int k = 0; k < 4; ++k) v[k] = ArgInt(L, 4, k);
  const uint32_t colour = OpaqueColour(v[0], v[1], v[2]);
  const uint8_t opacity = static_cast<uint8_t>(LowByte(v[3]));
  try {
    if (!b->polygon.empty()) b->FillShape(b->polygon, colour, opacity);
  } catch (...) {
  }
  b->polygon.clear();
  try {
    if (b->path.Count() > 0) {
      b->path.SetMode(1);
      if (b->path.HasContourStarts()) {
        b->path.FlattenContours(scratchContours, kMaxFlattenedPoints);
        b->FillPath(scratchContours, colour, opacity);
      } else {
        scratchPolygon.clear();
        b->path.Flatten(scratchPolygon, kMaxFlattenedPoints);
        b->FillShape(scratchPolygon, colour, opacity);
      }
    }
  } catch (...) {
  }
  b->path.Clear();
  return 0;
}

}  // namespace pavo

// The 58 bs_ functions and their registration table. Each function is a body of its own
// (the query functions first, then the drawing functions) that the table registers through
// Entry, which fetches the brush and keeps exceptions from the interpreter.
#include "script/ScriptApi.h"

#include <lua.hpp>

#include <array>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "brush/MangaBrush.h"
#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "geometry/Shape.h"
#include "imaging/Blend.h"
#include "script/LuaNumbers.h"
#include "script/ScriptHost.h"
#include "script/ScriptLoad.h"
#include "script/ScriptSinks.h"

namespace pavo {

namespace {

// The bs_ function with body F. A body F(L, brush) works on the brush that loaded last, and
// the function returns no results while there is none; a body F(L) needs no brush. An
// exception that leaves the body (no memory for a point or a log line) ends the call with no
// results and what the body did before it kept. The try block has no destructor for the
// interpreter's longjmp to skip.
template <auto F>
int Entry(lua_State* L) noexcept {
  try {
    if constexpr (std::is_invocable_v<decltype(F), lua_State*, CMangaBrush&>) {
      CMangaBrush* brush = currentBrush;
      if (brush == nullptr) return 0;
      return F(L, *brush);
    } else {
      return F(L);
    }
  } catch (...) {
    return 0;
  }
}

// Arguments first .. first + K - 1 of a function taking n, as numbers and as integers.
template <size_t K>
std::array<double, K> Numbers(lua_State* L, int n = K, int first = 0) {
  std::array<double, K> values;
  for (size_t k = 0; k < K; ++k) values[k] = ArgNumber(L, n, first + static_cast<int>(k));
  return values;
}
template <size_t K>
std::array<int32_t, K> Ints(lua_State* L, int n = K, int first = 0) {
  std::array<int32_t, K> values;
  for (size_t k = 0; k < K; ++k) values[k] = ArgInt(L, n, first + static_cast<int>(k));
  return values;
}

int PushPair(lua_State* L, double x, double y) {
  lua_pushnumber(L, x);
  lua_pushnumber(L, y);
  return 2;
}

// Red, green and blue of 0xAARRGGBB as three integers.
int PushRgb(lua_State* L, uint32_t c) {
  lua_pushinteger(L, (c >> 16) & 0xFF);
  lua_pushinteger(L, (c >> 8) & 0xFF);
  lua_pushinteger(L, c & 0xFF);
  return 3;
}

// Four numbers x, y, width, height of a bounding box.
int PushBox(lua_State* L, const NRECTD& box) {
  lua_pushnumber(L, box.x);
  lua_pushnumber(L, box.y);
  lua_pushnumber(L, box.width);
  lua_pushnumber(L, box.height);
  return 4;
}

// ---- queries -------------------------------------------------------------------------------

constexpr double kHalfPi = 1.5707963267948966;
constexpr size_t kMaxDebugLog = size_t{16} << 20;

// Value of parameter slot S as loaded with the script.
template <int S>
int Param(lua_State* L, CMangaBrush& b) {
  lua_pushinteger(L, b.paramValue[S]);
  return 1;
}

// A canvas or dab value of the brush, as a number.
template <auto Member>
int BrushNumber(lua_State* L, CMangaBrush& b) {
  lua_pushnumber(L, b.*Member);
  return 1;
}

// Appends the text form of the argument and "\r\n" to the brush's log; an argument without
// a text form (nil, a table, none at all) appends nothing. The log holds at most kMaxDebugLog
// bytes; lines past that are dropped, so a script logging in a loop cannot take the host's
// memory. A log that cannot grow keeps its old text. An entry the log kept goes to the debug
// sink too.
int Debug(lua_State* L, CMangaBrush& b) {
  if (lua_gettop(L) < 1) return 0;
  size_t length = 0;
  // May convert a number in place and raise a memory error; nothing of ours is alive here.
  const char* text = lua_tolstring(L, -1, &length);
  if (text == nullptr) return 0;
  if (length > kMaxDebugLog || b.debugLog.Length() > kMaxDebugLog - length) return 0;
  if (!b.debugLog.Append(text, length) || !b.debugLog.AppendLineBreak()) return 0;
  const TScriptSinks& sinks = GetScriptSinks();
  if (sinks.debug != nullptr) sinks.debug(sinks.context, text, length);
  return 0;
}

// sqrt(dx^2 + dy^2); 0 when the sum is not above 0 (NaN included).
int Distance(lua_State* L) {
  const auto [dx, dy] = Numbers<2>(L);
  const double s = dx * dx + dy * dy;
  lua_pushnumber(L, s > 0.0 ? std::sqrt(s) : 0.0);
  return 1;
}

// mean + spread * 0.5 * S with S the sum of 48 terms r / 32767 - 0.5 over draws r of the
// shared generator, added one at a time in double; S has standard deviation 2.
int Grand(lua_State* L) {
  const auto [mean, spread] = Numbers<2>(L);
  double sum = 0.0;
  for (int i = 0; i < 48; ++i) sum += static_cast<double>(DrawRandom()) / 32767.0 - 0.5;
  lua_pushnumber(L, mean + spread * 0.5 * sum);
  return 1;
}

// atan2(y, x), with the axis cases answered directly: (0, 0) -> 0, (0, +) -> pi/2,
// (0, -) -> -pi/2.
int Atan(lua_State* L) {
  const auto [x, y] = Numbers<2>(L);
  double a;
  if (x == 0.0 && y == 0.0) {
    a = 0.0;
  } else if (x == 0.0 && y > 0.0) {
    a = kHalfPi;
  } else if (x == 0.0 && y < 0.0) {
    a = -kHalfPi;
  } else {
    a = std::atan2(y, x);
  }
  lua_pushnumber(L, a);
  return 1;
}

// (x cos a - y sin a, x sin a + y cos a): clockwise on screen for a positive angle.
int Rotate(lua_State* L) {
  const auto [x, y, a] = Numbers<3>(L);
  const double c = std::cos(a);
  const double s = std::sin(a);
  return PushPair(L, x * c - y * s, x * s + y * c);
}

// The millisecond clock as a signed 32-bit value (negative after about 24.8 days).
int Ms(lua_State* L) {
  lua_pushinteger(L, static_cast<int32_t>(MilliClock()));
  return 1;
}

int Count(lua_State* L) {
  lua_pushinteger(L, strokeCounter);
  return 1;
}

// The base point relative to the layer, or (-1, -1) while it is unset.
int Base(lua_State* L, CMangaBrush& b) {
  if (b.baseX == -1.0 && b.baseY == -1.0) return PushPair(L, -1.0, -1.0);
  return PushPair(L, b.baseX - b.dabOffsetX, b.baseY - b.dabOffsetY);
}

int Fore(lua_State* L, CMangaBrush& b) { return PushRgb(L, b.foreColor); }
int Bg(lua_State* L, CMangaBrush& b) { return PushRgb(L, b.backColor); }

// The background with the foreground painted onto it at strength k = low 8 bits of
// trunc(mix * 255); mixes above 1 therefore wrap (1.5 -> 382 -> 126).
int ForeBg(lua_State* L, CMangaBrush& b) {
  const double mix = ArgNumber(L, 1, 0);
  const uint32_t k = static_cast<uint32_t>(TruncToInt64(mix * 255.0)) & 0xFFu;
  uint32_t c = b.backColor;
  BlendOntoOpaque(c, b.foreColor, k);
  return PushRgb(L, c);
}

// Red, green, blue and alpha of the canvas pixel; 0, 0, 0, 0 where nothing can be read.
int PixelGet(lua_State* L, CMangaBrush& b) {
  const auto [x, y] = Ints<2>(L);
  const uint32_t c = b.ReadPixel(x, y);
  PushRgb(L, c);
  lua_pushinteger(L, c >> 24);
  return 4;
}

int PixelGetAlpha(lua_State* L, CMangaBrush& b) {
  const auto [x, y] = Ints<2>(L);
  lua_pushinteger(L, b.ReadPixelAlpha(x, y));
  return 1;
}

int Dir(lua_State* L, CMangaBrush& b) { return PushPair(L, b.dirX, b.dirY); }
int Normal(lua_State* L, CMangaBrush& b) { return PushPair(L, b.normalX, b.normalY); }

// ---- drawing -------------------------------------------------------------------------------
// Painting itself is done by the brush's primitives, which also grow dabRect.

// Most points of the polygon and most segments of the bezier outline under construction: a
// script that adds points without ever filling cannot take the host's memory; further
// points are dropped.
constexpr size_t kMaxOutlinePoints = size_t{1} << 20;
// Most points of the path flattened for a fill. A segment of absurd length is flattened into
// 196 608 points, so a short path of such segments would otherwise take gigabytes in the
// fill; points past this are dropped. Ordinary outlines stay far below it: 2 Mi points are
// 140 000 curves of the smallest step count.
constexpr size_t kMaxFlattenedPoints = size_t{1} << 21;

// Only kDrawCanvas and kDrawCoverage are modes; other values are ignored.
int SetMode(lua_State* L) {
  const int32_t mode = ArgInt(L, 1, 0);
  if (mode == kDrawCanvas || mode == kDrawCoverage) drawMode = mode;
  return 0;
}

// The opacity is passed whole: the primitive paints only when it is above 0 and then uses
// its low 8 bits.
int PixelSet(lua_State* L, CMangaBrush& b) {
  const auto v = Ints<6>(L);
  b.PaintPixel(v[0], v[1], v[2], v[3], v[4], v[5]);
  return 0;
}

int Rect(lua_State* L, CMangaBrush& b) {
  const auto v = Ints<8>(L);
  b.PaintRect(v[0], v[1], v[2], v[3], OpaqueColour(v[4], v[5], v[6]),
              static_cast<uint8_t>(LowByte(v[7])));
  return 0;
}

// A circle (w == h, w <= 2000) is a disc of radius w / 2 whatever the angle; everything else
// is the ellipse polygon turned by angle.
int Ellipse(lua_State* L, CMangaBrush& b) {
  const auto n = Numbers<5>(L, 9);
  const auto v = Ints<4>(L, 9, 5);
  const uint32_t colour = OpaqueColour(v[0], v[1], v[2]);
  const uint8_t opacity = static_cast<uint8_t>(LowByte(v[3]));
  if (n[2] == n[3] && n[2] <= 2000.0) {
    b.PaintDisc(n[0], n[1], n[2] / 2.0, colour, opacity, false, 1.0);
  } else {
    CShape& ellipse = ScriptHost().scratch.ellipse;
    ellipse.SetEllipse(n[0], n[1], n[2], n[3], n[4]);
    b.FillShape(ellipse.points, colour, opacity);
  }
  return 0;
}

// A soft spot of diameter size whose edge falls off with the given power.
int Air(lua_State* L, CMangaBrush& b) {
  const auto n = Numbers<4>(L, 8);
  const auto v = Ints<4>(L, 8, 4);
  b.PaintDisc(n[0], n[1], n[2] / 2.0, OpaqueColour(v[0], v[1], v[2]),
              static_cast<uint8_t>(LowByte(v[3])), true, n[3]);
  return 0;
}

int Polygon(lua_State* L, CMangaBrush& b) {
  const auto [x, y] = Numbers<2>(L);
  if (b.polygon.size() < kMaxOutlinePoints) b.polygon.emplace_back(x, y);
  return 0;
}

int PolygonMove(lua_State* L, CMangaBrush& b) {
  const auto [dx, dy] = Numbers<2>(L);
  for (CVector2<double>& p : b.polygon) {
    p.x += dx;
    p.y += dy;
  }
  return 0;
}

// Moves the mean point (sum of x / count, sum of y / count) to (0, 0).
int PolygonMoveCenter(lua_State*, CMangaBrush& b) {
  if (b.polygon.empty()) return 0;
  double sx = 0.0;
  double sy = 0.0;
  for (const CVector2<double>& p : b.polygon) {
    sx += p.x;
    sy += p.y;
  }
  const double n = static_cast<double>(b.polygon.size());
  const double mx = sx / n;
  const double my = sy / n;
  for (CVector2<double>& p : b.polygon) {
    p.x -= mx;
    p.y -= my;
  }
  return 0;
}

// (x, y) -> (x cos a - y sin a, x sin a + y cos a) about (0, 0).
int PolygonRotate(lua_State* L, CMangaBrush& b) {
  const double a = ArgNumber(L, 1, 0);
  const double c = std::cos(a);
  const double s = std::sin(a);
  for (CVector2<double>& p : b.polygon) {
    const double x = p.x;
    const double y = p.y;
    p.x = x * c - y * s;
    p.y = x * s + y * c;
  }
  return 0;
}

int PolygonMul(lua_State* L, CMangaBrush& b) {
  const auto [sx, sy] = Numbers<2>(L);
  for (CVector2<double>& p : b.polygon) {
    p.x *= sx;
    p.y *= sy;
  }
  return 0;
}

// Bounding box grown point by point from the empty box: 0, 0, -1, -1 without points.
int PolygonRegion(lua_State* L, CMangaBrush& b) {
  NRECTD box;
  for (const CVector2<double>& p : b.polygon) box.AddPoint(p.x, p.y);
  return PushBox(L, box);
}

int PolygonClear(lua_State*, CMangaBrush& b) {
  b.polygon.clear();
  return 0;
}

// Starts a new outline at (x, y) without adding a segment.
int BezierBegin(lua_State* L, CMangaBrush& b) {
  const auto [x, y] = Numbers<2>(L);
  b.path.Clear();
  b.path.SetCurrent(x, y);
  return 0;
}

// A segment appended by Append from as many arguments as it takes; past kMaxOutlinePoints
// segments further ones are dropped.
template <class... A>
constexpr size_t ParameterCount(void (CBezierPath::*)(A...)) {
  return sizeof...(A);
}
template <auto Append>
int AddSegment(lua_State* L, CMangaBrush& b) {
  const auto n = Numbers<ParameterCount(Append)>(L);
  if (b.path.Count() < kMaxOutlinePoints) {
    std::apply([&](auto... v) { (b.path.*Append)(v...); }, n);
  }
  return 0;
}

int BezierMove(lua_State* L, CMangaBrush& b) {
  const auto [dx, dy] = Numbers<2>(L);
  b.path.Move(dx, dy);
  return 0;
}

int BezierMoveCenter(lua_State*, CMangaBrush& b) {
  b.path.MoveCenter();
  return 0;
}

int BezierRotate(lua_State* L, CMangaBrush& b) {
  b.path.Rotate(ArgNumber(L, 1, 0));
  return 0;
}

int BezierMul(lua_State* L, CMangaBrush& b) {
  const auto [sx, sy] = Numbers<2>(L);
  b.path.Mul(sx, sy);
  return 0;
}

// Box of all control values (not the tight box of the curve): 0, 0, -1, -1 when empty.
int BezierRegion(lua_State* L, CMangaBrush& b) { return PushBox(L, b.path.ControlBounds()); }

int BezierClear(lua_State*, CMangaBrush& b) {
  b.path.Clear();
  return 0;
}

// Fills the polygon (non-zero winding) if it has a point, empties it, then fills the path
// flattened with three times the steps: one polygon, or with contour starts every contour
// together by the even-odd rule. The path is emptied in every case, also when it cannot be
// flattened for want of memory.
int Fill(lua_State* L, CMangaBrush& b) {
  const auto v = Ints<4>(L);
  const uint32_t colour = OpaqueColour(v[0], v[1], v[2]);
  const uint8_t opacity = static_cast<uint8_t>(LowByte(v[3]));
  if (!b.polygon.empty()) b.FillShape(b.polygon, colour, opacity);
  b.polygon.clear();
  struct TEmptyPath {
    CBezierPath& path;
    ~TEmptyPath() { path.Clear(); }
  } emptyPath{b.path};
  if (b.path.Count() == 0) return 0;
  b.path.SetMode(1);
  TScriptScratch& scratch = ScriptHost().scratch;
  if (b.path.HasContourStarts()) {
    b.path.FlattenContours(scratch.contours, kMaxFlattenedPoints);
    b.FillPath(scratch.contours, colour, opacity);
  } else {
    scratch.polygon.clear();
    b.path.Flatten(scratch.polygon, kMaxFlattenedPoints);
    b.FillShape(scratch.polygon, colour, opacity);
  }
  return 0;
}

}  // namespace

// Scripts see the functions under these names; the order is the registration order.
const TScriptFunction kScriptFunctions[kScriptFunctionCount] = {
    {"bs_param1", Entry<Param<0>>, 0},
    {"bs_param2", Entry<Param<1>>, 0},
    {"bs_param3", Entry<Param<2>>, 0},
    {"bs_param4", Entry<Param<3>>, 0},
    {"bs_param5", Entry<Param<4>>, 0},
    {"bs_param6", Entry<Param<5>>, 0},
    {"bs_param7", Entry<Param<6>>, 0},
    {"bs_param8", Entry<Param<7>>, 0},
    {"bs_param9", Entry<Param<8>>, 0},
    {"bs_param10", Entry<Param<9>>, 0},
    {"bs_debug", Entry<Debug>, 1},
    {"bs_setmode", Entry<SetMode>, 1},
    {"bs_canvas_width", Entry<BrushNumber<&CMangaBrush::canvasWidth>>, 0},
    {"bs_canvas_height", Entry<BrushNumber<&CMangaBrush::canvasHeight>>, 0},
    {"bs_canvas_dpi", Entry<BrushNumber<&CMangaBrush::canvasDpi>>, 0},
    {"bs_canvas_angle", Entry<BrushNumber<&CMangaBrush::canvasAngle>>, 0},
    {"bs_width", Entry<BrushNumber<&CMangaBrush::dabWidth>>, 0},
    {"bs_width_max", Entry<BrushNumber<&CMangaBrush::dabWidthMax>>, 0},
    {"bs_width_min", Entry<BrushNumber<&CMangaBrush::dabWidthMin>>, 0},
    {"bs_opaque", Entry<BrushNumber<&CMangaBrush::dabOpacity>>, 0},
    {"bs_distance", Entry<Distance>, 2},
    {"bs_grand", Entry<Grand>, 2},
    {"bs_atan", Entry<Atan>, 2},
    {"bs_rotate", Entry<Rotate>, 3},
    {"bs_ms", Entry<Ms>, 0},
    {"bs_count", Entry<Count>, 0},
    {"bs_base", Entry<Base>, 0},
    {"bs_fore", Entry<Fore>, 0},
    {"bs_bg", Entry<Bg>, 0},
    {"bs_forebg", Entry<ForeBg>, 1},
    {"bs_pixel_get", Entry<PixelGet>, 2},
    {"bs_pixel_get_alpha", Entry<PixelGetAlpha>, 2},
    {"bs_pixel_set", Entry<PixelSet>, 6},
    {"bs_rect", Entry<Rect>, 8},
    {"bs_ellipse", Entry<Ellipse>, 9},
    {"bs_air", Entry<Air>, 8},
    {"bs_dir", Entry<Dir>, 0},
    {"bs_normal", Entry<Normal>, 0},
    {"bs_polygon", Entry<Polygon>, 2},
    {"bs_polygon_move", Entry<PolygonMove>, 2},
    {"bs_polygon_move_center", Entry<PolygonMoveCenter>, 0},
    {"bs_polygon_rotate", Entry<PolygonRotate>, 1},
    {"bs_polygon_mul", Entry<PolygonMul>, 2},
    {"bs_polygon_region", Entry<PolygonRegion>, 0},
    {"bs_polygon_clear", Entry<PolygonClear>, 0},
    {"bs_bezier_begin", Entry<BezierBegin>, 2},
    {"bs_bezier_m", Entry<AddSegment<&CBezierPath::MoveTo>>, 2},
    {"bs_bezier_c", Entry<AddSegment<&CBezierPath::CurveTo>>, 6},
    {"bs_bezier_v", Entry<AddSegment<&CBezierPath::CurveToV>>, 4},
    {"bs_bezier_y", Entry<AddSegment<&CBezierPath::CurveToY>>, 4},
    {"bs_bezier_l", Entry<AddSegment<&CBezierPath::LineTo>>, 2},
    {"bs_bezier_move", Entry<BezierMove>, 2},
    {"bs_bezier_move_center", Entry<BezierMoveCenter>, 0},
    {"bs_bezier_rotate", Entry<BezierRotate>, 1},
    {"bs_bezier_mul", Entry<BezierMul>, 2},
    {"bs_bezier_region", Entry<BezierRegion>, 0},
    {"bs_bezier_clear", Entry<BezierClear>, 0},
    {"bs_fill", Entry<Fill>, 4},
};

// Each function becomes a global: a closure without upvalues stored into the globals table.
// The pushes allocate and may raise; LoadScript calls this in protected mode.
void RegisterScriptApi(lua_State* L) {
  for (const TScriptFunction& f : kScriptFunctions) {
    lua_pushcclosure(L, f.function, 0);
    lua_setfield(L, LUA_GLOBALSINDEX, f.name);
  }
}

}  // namespace pavo

// The bs_ functions that report the state of the dab, the canvas and the brush, or compute
// values, without drawing.
#include <lua.hpp>

#include <cmath>
#include <cstdint>

#include "brush/MangaBrush.h"
#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "imaging/Blend.h"
#include "script/LuaNumbers.h"
#include "script/ScriptApi.h"
#include "script/ScriptSinks.h"

namespace pavo {

namespace {

constexpr double kHalfPi = 1.5707963267948966;

// Value of parameter slot i as loaded with the script.
int PushParam(lua_State* L, int slot) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  lua_pushinteger(L, b->paramValue[slot]);
  return 1;
}

int PushNumber(lua_State* L, double CMangaBrush::*member) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  lua_pushnumber(L, b->*member);
  return 1;
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

}  // namespace

int bs_param1(lua_State* L) { return PushParam(L, 0); }
int bs_param2(lua_State* L) { return PushParam(L, 1); }
int bs_param3(lua_State* L) { return PushParam(L, 2); }
int bs_param4(lua_State* L) { return PushParam(L, 3); }
int bs_param5(lua_State* L) { return PushParam(L, 4); }
int bs_param6(lua_State* L) { return PushParam(L, 5); }
int bs_param7(lua_State* L) { return PushParam(L, 6); }
int bs_param8(lua_State* L) { return PushParam(L, 7); }
int bs_param9(lua_State* L) { return PushParam(L, 8); }
int bs_param10(lua_State* L) { return PushParam(L, 9); }

constexpr size_t kMaxDebugLog = size_t{16} << 20;

// Appends the text form of the argument and "\r\n" to the brush's log; an argument without
// a text form (nil, a table, none at all) appends nothing.
int bs_debug(lua_State* L) {
  CMangaBrush* b = currentBrush;
  if (b == nullptr || lua_gettop(L) < 1) return 0;
  size_t length = 0;
  // May convert a number in place and raise a memory error; nothing of ours is alive here.
  const char* text = lua_tolstring(L, -1, &length);
  if (text == nullptr) return 0;
  // The log holds at most kMaxDebugLog bytes; lines past that are dropped, so a script
  // logging in a loop cannot take the host's memory.
  if (length > kMaxDebugLog || b->debugLog.Length() > kMaxDebugLog - length) return 0;
  bool kept = false;
  try {
    kept = b->debugLog.Append(text, length) && b->debugLog.AppendLineBreak();
  } catch (...) {
    // A log that cannot grow keeps its old text.
  }
  const TScriptSinks& sinks = GetScriptSinks();
  if (kept && sinks.debug != nullptr) sinks.debug(sinks.context, text, length);
  return 0;
}

int bs_canvas_width(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  lua_pushnumber(L, b->canvasWidth);
  return 1;
}

int bs_canvas_height(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  lua_pushnumber(L, b->canvasHeight);
  return 1;
}

int bs_canvas_dpi(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  lua_pushnumber(L, b->canvasDpi);
  return 1;
}

int bs_canvas_angle(lua_State* L) { return PushNumber(L, &CMangaBrush::canvasAngle); }
int bs_width(lua_State* L) { return PushNumber(L, &CMangaBrush::dabWidth); }
int bs_width_max(lua_State* L) { return PushNumber(L, &CMangaBrush::dabWidthMax); }
int bs_width_min(lua_State* L) { return PushNumber(L, &CMangaBrush::dabWidthMin); }
int bs_opaque(lua_State* L) { return PushNumber(L, &CMangaBrush::dabOpacity); }

// sqrt(dx^2 + dy^2); 0 when the sum is not above 0 (NaN included).
int bs_distance(lua_State* L) {
  const double dx = ArgNumber(L, 2, 0);
  const double dy = ArgNumber(L, 2, 1);
  const double s = dx * dx + dy * dy;
  lua_pushnumber(L, s > 0.0 ? std::sqrt(s) : 0.0);
  return 1;
}

// mean + spread * 0.5 * S with S the sum of 48 terms r / 32767 - 0.5 over draws r of the
// shared generator, added one at a time in double; S has standard deviation 2.
int bs_grand(lua_State* L) {
  const double mean = ArgNumber(L, 2, 0);
  const double spread = ArgNumber(L, 2, 1);
  double sum = 0.0;
  for (int i = 0; i < 48; ++i) sum += static_cast<double>(DrawRandom()) / 32767.0 - 0.5;
  lua_pushnumber(L, mean + spread * 0.5 * sum);
  return 1;
}

// atan2(y, x), with the axis cases answered directly: (0, 0) -> 0, (0, +) -> pi/2,
// (0, -) -> -pi/2.
int bs_atan(lua_State* L) {
  const double x = ArgNumber(L, 2, 0);
  const double y = ArgNumber(L, 2, 1);
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
int bs_rotate(lua_State* L) {
  const double x = ArgNumber(L, 3, 0);
  const double y = ArgNumber(L, 3, 1);
  const double a = ArgNumber(L, 3, 2);
  const double c = std::cos(a);
  const double s = std::sin(a);
  return PushPair(L, x * c - y * s, x * s + y * c);
}

// The millisecond clock as a signed 32-bit value (negative after about 24.8 days).
int bs_ms(lua_State* L) {
  lua_pushinteger(L, static_cast<int32_t>(MilliClock()));
  return 1;
}

int bs_count(lua_State* L) {
  lua_pushinteger(L, strokeCounter);
  return 1;
}

// The base point relative to the layer, or (-1, -1) while it is unset.
int bs_base(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  if (b->baseX == -1.0 && b->baseY == -1.0) return PushPair(L, -1.0, -1.0);
  return PushPair(L, b->baseX - b->dabOffsetX, b->baseY - b->dabOffsetY);
}

int bs_fore(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  return PushRgb(L, b->foreColor);
}

int bs_bg(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  return PushRgb(L, b->backColor);
}

// The background with the foreground painted onto it at strength k = low 8 bits of
// trunc(mix * 255); mixes above 1 therefore wrap (1.5 -> 382 -> 126).
int bs_forebg(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const double mix = ArgNumber(L, 1, 0);
  const uint32_t k = static_cast<uint32_t>(TruncToInt64(mix * 255.0)) & 0xFFu;
  uint32_t c = b->backColor;
  BlendOntoOpaque(c, b->foreColor, k);
  return PushRgb(L, c);
}

// Red, green, blue and alpha of the canvas pixel; 0, 0, 0, 0 where nothing can be read.
int bs_pixel_get(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const int32_t x = ArgInt(L, 2, 0);
  const int32_t y = ArgInt(L, 2, 1);
  const uint32_t c = b->ReadPixel(x, y);
  PushRgb(L, c);
  lua_pushinteger(L, c >> 24);
  return 4;
}

int bs_pixel_get_alpha(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  const int32_t x = ArgInt(L, 2, 0);
  const int32_t y = ArgInt(L, 2, 1);
  lua_pushinteger(L, b->ReadPixelAlpha(x, y));
  return 1;
}

int bs_dir(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  return PushPair(L, b->dirX, b->dirY);
}

int bs_normal(lua_State* L) {
  const CMangaBrush* b = currentBrush;
  if (b == nullptr) return 0;
  return PushPair(L, b->normalX, b->normalY);
}

}  // namespace pavo

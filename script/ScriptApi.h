// The 58 bs_ host functions through which a brush script queries the dab and draws, and
// their registration table.
//
// Rules shared by all of them: each works on the brush that loaded last (currentBrush) and
// does nothing (returning no results) when there is none; none raises an interpreter error
// or checks argument counts or types (arguments are read as LuaNumbers.h describes). The
// interpreter is the C build, whose errors unwind by longjmp: the functions read their
// arguments into plain values first, do their work with no interpreter call while any
// object with a destructor is alive, catch every exception of their own, and push their
// results last.
#pragma once

#include <cstddef>

struct lua_State;

namespace pavo {

struct TScriptFunction {
  const char* name;
  int (*function)(lua_State*);
};

constexpr size_t kScriptFunctionCount = 58;
// In registration order.
extern const TScriptFunction kScriptFunctions[kScriptFunctionCount];

// Query functions (ScriptApiQuery.cpp).
int bs_param1(lua_State* L);
int bs_param2(lua_State* L);
int bs_param3(lua_State* L);
int bs_param4(lua_State* L);
int bs_param5(lua_State* L);
int bs_param6(lua_State* L);
int bs_param7(lua_State* L);
int bs_param8(lua_State* L);
int bs_param9(lua_State* L);
int bs_param10(lua_State* L);
int bs_debug(lua_State* L);
int bs_canvas_width(lua_State* L);
int bs_canvas_height(lua_State* L);
int bs_canvas_dpi(lua_State* L);
int bs_canvas_angle(lua_State* L);
int bs_width(lua_State* L);
int bs_width_max(lua_State* L);
int bs_width_min(lua_State* L);
int bs_opaque(lua_State* L);
int bs_distance(lua_State* L);
int bs_grand(lua_State* L);
int bs_atan(lua_State* L);
int bs_rotate(lua_State* L);
int bs_ms(lua_State* L);
int bs_count(lua_State* L);
int bs_base(lua_State* L);
int bs_fore(lua_State* L);
int bs_bg(lua_State* L);
int bs_forebg(lua_State* L);
int bs_pixel_get(lua_State* L);
int bs_pixel_get_alpha(lua_State* L);
int bs_dir(lua_State* L);
int bs_normal(lua_State* L);

// Drawing functions (ScriptApiDraw.cpp).
int bs_setmode(lua_State* L);
int bs_pixel_set(lua_State* L);
int bs_rect(lua_State* L);
int bs_ellipse(lua_State* L);
int bs_air(lua_State* L);
int bs_polygon(lua_State* L);
int bs_polygon_move(lua_State* L);
int bs_polygon_move_center(lua_State* L);
int bs_polygon_rotate(lua_State* L);
int bs_polygon_mul(lua_State* L);
int bs_polygon_region(lua_State* L);
int bs_polygon_clear(lua_State* L);
int bs_bezier_begin(lua_State* L);
int bs_bezier_m(lua_State* L);
int bs_bezier_c(lua_State* L);
int bs_bezier_v(lua_State* L);
int bs_bezier_y(lua_State* L);
int bs_bezier_l(lua_State* L);
int bs_bezier_move(lua_State* L);
int bs_bezier_move_center(lua_State* L);
int bs_bezier_rotate(lua_State* L);
int bs_bezier_mul(lua_State* L);
int bs_bezier_region(lua_State* L);
int bs_bezier_clear(lua_State* L);
int bs_fill(lua_State* L);

}  // namespace pavo

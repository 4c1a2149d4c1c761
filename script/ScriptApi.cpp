// The registration table of the bs_ functions and its registration into a state.
#include "script/ScriptApi.h"

#include <lua.hpp>

#include "script/ScriptLoad.h"

namespace pavo {

// Scripts see the functions under these names; the order is the registration order.
const TScriptFunction kScriptFunctions[kScriptFunctionCount] = {
    {"bs_param1", bs_param1},
    {"bs_param2", bs_param2},
    {"bs_param3", bs_param3},
    {"bs_param4", bs_param4},
    {"bs_param5", bs_param5},
    {"bs_param6", bs_param6},
    {"bs_param7", bs_param7},
    {"bs_param8", bs_param8},
    {"bs_param9", bs_param9},
    {"bs_param10", bs_param10},
    {"bs_debug", bs_debug},
    {"bs_setmode", bs_setmode},
    {"bs_canvas_width", bs_canvas_width},
    {"bs_canvas_height", bs_canvas_height},
    {"bs_canvas_dpi", bs_canvas_dpi},
    {"bs_canvas_angle", bs_canvas_angle},
    {"bs_width", bs_width},
    {"bs_width_max", bs_width_max},
    {"bs_width_min", bs_width_min},
    {"bs_opaque", bs_opaque},
    {"bs_distance", bs_distance},
    {"bs_grand", bs_grand},
    {"bs_atan", bs_atan},
    {"bs_rotate", bs_rotate},
    {"bs_ms", bs_ms},
    {"bs_count", bs_count},
    {"bs_base", bs_base},
    {"bs_fore", bs_fore},
    {"bs_bg", bs_bg},
    {"bs_forebg", bs_forebg},
    {"bs_pixel_get", bs_pixel_get},
    {"bs_pixel_get_alpha", bs_pixel_get_alpha},
    {"bs_pixel_set", bs_pixel_set},
    {"bs_rect", bs_rect},
    {"bs_ellipse", bs_ellipse},
    {"bs_air", bs_air},
    {"bs_dir", bs_dir},
    {"bs_normal", bs_normal},
    {"bs_polygon", bs_polygon},
    {"bs_polygon_move", bs_polygon_move},
    {"bs_polygon_move_center", bs_polygon_move_center},
    {"bs_polygon_rotate", bs_polygon_rotate},
    {"bs_polygon_mul", bs_polygon_mul},
    {"bs_polygon_region", bs_polygon_region},
    {"bs_polygon_clear", bs_polygon_clear},
    {"bs_bezier_begin", bs_bezier_begin},
    {"bs_bezier_m", bs_bezier_m},
    {"bs_bezier_c", bs_bezier_c},
    {"bs_bezier_v", bs_bezier_v},
    {"bs_bezier_y", bs_bezier_y},
    {"bs_bezier_l", bs_bezier_l},
    {"bs_bezier_move", bs_bezier_move},
    {"bs_bezier_move_center", bs_bezier_move_center},
    {"bs_bezier_rotate", bs_bezier_rotate},
    {"bs_bezier_mul", bs_bezier_mul},
    {"bs_bezier_region", bs_bezier_region},
    {"bs_bezier_clear", bs_bezier_clear},
    {"bs_fill", bs_fill},
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

// Loading a brush script into a fresh interpreter state owned by one brush.
#include "script/ScriptLoad.h"

#include <lua.hpp>

#include "brush/MangaBrush.h"

namespace pavo {

void CloseScript(CMangaBrush& brush) {
  if (brush.lua != nullptr) {
    lua_close(brush.lua);
    brush.lua = nullptr;
    brush.scriptLoaded = false;
  }
  brush.work32.reset();
  brush.work8.reset();
  brush.work1.reset();
}

void LoadScript(CMangaBrush& brush, CBrushStroke& stroke) {
  (void)stroke;
  CloseScript(brush);
}

void RegisterScriptApi(lua_State* L) { (void)L; }

}  // namespace pavo

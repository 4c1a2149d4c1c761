#include "script/ScriptSinks.h"

#include <lua.hpp>

#include "script/ScriptHost.h"

namespace pavo {

void SetScriptSinks(const TScriptSinks& s) { ScriptHost().sinks = s; }

const TScriptSinks& GetScriptSinks() { return ScriptHost().sinks; }

int ScriptPrint(lua_State* L) {
  if (GetScriptSinks().print == nullptr) return 0;
  // Built on the Lua stack as one growing string, so an error raised by a __tostring leaves
  // nothing of ours behind.
  const int n = lua_gettop(L);
  lua_getglobal(L, "tostring");
  const int tostring = n + 1;
  lua_pushliteral(L, "");
  for (int i = 1; i <= n; ++i) {
    if (i > 1) {
      lua_pushliteral(L, "\t");
      lua_concat(L, 2);
    }
    lua_pushvalue(L, tostring);
    lua_pushvalue(L, i);
    lua_call(L, 1, 1);
    if (lua_type(L, -1) != LUA_TSTRING && lua_type(L, -1) != LUA_TNUMBER) {
      return luaL_error(L, "'tostring' must return a string to 'print'");
    }
    lua_concat(L, 2);
  }
  lua_pushliteral(L, "\n");
  lua_concat(L, 2);
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  const TScriptSinks& sinks = GetScriptSinks();
  sinks.print(sinks.context, text, length);
  return 0;
}

void InstallScriptPrint(lua_State* L) {
  lua_pushcfunction(L, ScriptPrint);
  lua_setglobal(L, "print");
}

}  // namespace pavo

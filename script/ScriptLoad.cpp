// Loading a brush script into a fresh interpreter state owned by one brush.
//
// The interpreter is the C build: an error raised outside protected mode would end the
// process through the panic handler. Everything that can raise (opening the libraries,
// registering functions, compiling, running) therefore runs under lua_cpcall, luaL_loadstring
// or lua_pcall, and the error message is read without letting the interpreter allocate.
#include "script/ScriptLoad.h"

#include <lua.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "brush/MangaBrush.h"
#include "geometry/Random.h"
#include "imaging/ImageTile.h"
#include "script/LuaNumbers.h"
#include "script/ScriptSinks.h"

namespace pavo {

namespace {

StateFactory stateFactory = nullptr;

void SetOutOfMemory(std::string& message) {
  try {
    message = "not enough memory";
  } catch (...) {
  }
}

// math.random drawing from the shared generator: r = (draw mod 32767) / 32767; with one
// argument m an integer floor(r m) + 1 in 1..m, with two m, n one floor(r (n - m + 1)) + m in
// m..n. The draw is made before the arguments are checked. The interval width is computed in
// double, so extreme bounds cannot overflow.
int MathRandom(lua_State* L) {
  const double r = static_cast<double>(DrawRandom() % 32767u) / 32767.0;
  switch (lua_gettop(L)) {
    case 0:
      lua_pushnumber(L, r);
      break;
    case 1: {
      const int32_t u = RoundToInt(luaL_checknumber(L, 1));
      luaL_argcheck(L, 1 <= u, 1, "interval is empty");
      lua_pushnumber(L, std::floor(r * u) + 1.0);
      break;
    }
    case 2: {
      const int32_t l = RoundToInt(luaL_checknumber(L, 1));
      const int32_t u = RoundToInt(luaL_checknumber(L, 2));
      luaL_argcheck(L, l <= u, 2, "interval is empty");
      lua_pushnumber(L, std::floor(r * (static_cast<double>(u) - l + 1.0)) + l);
      break;
    }
    default:
      return luaL_error(L, "wrong number of arguments");
  }
  return 1;
}

// math.randomseed(x) seeds the shared generator with x rounded to an integer.
int MathRandomSeed(lua_State* L) {
  SeedRandom(static_cast<uint32_t>(RoundToInt(luaL_checknumber(L, 1))));
  return 0;
}

// Opens base (with coroutine), math, string, table and debug in this order, each called
// with its name as an ordinary function; no io, os or package. Then the random functions
// are replaced, print is routed to the print sink (so a script never writes to standard
// output) and the bs_ functions registered. Runs under lua_cpcall.
int SetUpState(lua_State* L) {
  static const luaL_Reg kLibraries[] = {
      {"", luaopen_base},
      {LUA_MATHLIBNAME, luaopen_math},
      {LUA_STRLIBNAME, luaopen_string},
      {LUA_TABLIBNAME, luaopen_table},
      {LUA_DBLIBNAME, luaopen_debug},
  };
  for (const luaL_Reg& lib : kLibraries) {
    lua_pushcfunction(L, lib.func);
    lua_pushstring(L, lib.name);
    lua_call(L, 1, 0);
  }
  lua_getfield(L, LUA_GLOBALSINDEX, LUA_MATHLIBNAME);
  lua_pushcfunction(L, MathRandom);
  lua_setfield(L, -2, "random");
  lua_pushcfunction(L, MathRandomSeed);
  lua_setfield(L, -2, "randomseed");
  lua_pop(L, 1);
  InstallScriptPrint(L);
  RegisterScriptApi(L);
  return 0;
}

}  // namespace

void ScriptErrorText(lua_State* L, std::string& out) {
  try {
    if (lua_type(L, -1) == LUA_TSTRING) {
      size_t length = 0;
      const char* text = lua_tolstring(L, -1, &length);  // a string: no conversion, no raise
      out.assign(text, length);
    } else if (lua_type(L, -1) == LUA_TNUMBER) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, LUA_NUMBER_FMT, lua_tonumber(L, -1));
      out = buffer;
    } else {
      out.clear();
    }
  } catch (...) {
    out.clear();
  }
}

namespace {

// The 8-bit work layer of a 32-bit target, sized like the canvas; left absent when it cannot
// be had (the coverage primitives then paint nothing).
void CreateWorkLayers(CMangaBrush& brush) {
  if (brush.targetDepth != 32 || brush.canvasLayer == nullptr) return;
  std::unique_ptr<CImageTile8> layer(new (std::nothrow) CImageTile8());
  if (layer == nullptr) return;
  try {
    if (!layer->Resize(brush.canvasLayer->width, brush.canvasLayer->height)) return;
  } catch (...) {
    return;
  }
  brush.work8 = std::move(layer);
}

}  // namespace

void SetStateFactory(StateFactory factory) { stateFactory = factory; }

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
  CloseScript(brush);
  currentBrush = &brush;
  drawMode = 0;
  // What the main chunk and the discovery queries see; every dab overwrites them.
  brush.dabWidth = 1.0;
  brush.dabWidthMax = 1.0;
  brush.dabWidthMin = 0.5;
  brush.dabOpacity = 1.0;
  const CBrushInfo* info = stroke.GetBrushInfo();
  for (int i = 0; i < kParamSlots; ++i) {
    brush.paramValue[i] = info != nullptr ? info->property.value[i] : 0;
  }
  brush.debugLog.Clear();
  CreateWorkLayers(brush);

  brush.scriptLoaded = false;
  brush.loadError.clear();
  lua_State* L = stateFactory != nullptr ? stateFactory() : luaL_newstate();
  brush.lua = L;
  if (L == nullptr) {
    SetOutOfMemory(brush.loadError);
    return;
  }
  if (lua_cpcall(L, SetUpState, nullptr) != 0) {
    ScriptErrorText(L, brush.loadError);
    lua_settop(L, 0);
    return;
  }
  if (info == nullptr || info->scriptPath.empty()) return;

  // The file's bytes unchanged (no byte-order mark removed, no conversion); a file that
  // cannot be read is an empty script. The text ends at the first zero byte.
  CFileRead file;
  file.Read(info->scriptPath);
  std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<size_t>(file.size) + 1]);
  if (text == nullptr) {
    SetOutOfMemory(brush.loadError);
    return;
  }
  if (file.size > 0) std::memcpy(text.get(), file.data.get(), file.size);
  text[file.size] = '\0';

  // The chunk is named by its own text, so messages read [string "first line..."]:LINE: ...
  int status = luaL_loadstring(L, text.get());
  if (status == 0) status = lua_pcall(L, 0, LUA_MULTRET, 0);
  if (status != 0) {
    ScriptErrorText(L, brush.loadError);
  } else {
    brush.scriptLoaded = true;
  }
  lua_settop(L, 0);
}

}  // namespace pavo

// Loading a brush script into a fresh interpreter state owned by one brush.
//
// The interpreter is the C build: an error raised outside protected mode would end the
// process through the panic handler. Everything that can raise (opening the libraries,
// registering functions, compiling, running) therefore runs under lua_cpcall, luaL_loadstring
// or lua_pcall, and the error message is read without letting the interpreter allocate.
#include "script/ScriptLoad.h"

#include <sys/stat.h>
#include <lua.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "brush/MangaBrush.h"
#include "geometry/Random.h"
#include "imaging/ImageTile.h"
#include "script/LuaNumbers.h"
#include "script/ScriptGuard.h"
#include "script/ScriptHost.h"
#include "script/ScriptSinks.h"

namespace pavo {

namespace {

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

// The first byte of a precompiled chunk. The interpreter's undump trusts its input, so a
// crafted chunk can crash it; only source text is accepted.
inline bool IsPrecompiled(const char* text, size_t length) {
  return length > 0 && text[0] == LUA_SIGNATURE[0];
}

const char kPrecompiledRefusal[] =
    "precompiled chunks are not accepted: a brush script and what it loads must be Lua source "
    "text";

// Pushes nil and the message (the failure results of the load functions).
int LoadFailure(lua_State* L, const char* message) {
  lua_pushnil(L);
  lua_pushstring(L, message);
  return 2;
}

// Pushes the compiled function, or nil and the interpreter's message.
int LoadResults(lua_State* L, int status) {
  if (status == 0) return 1;
  lua_pushnil(L);
  lua_insert(L, -2);
  return 2;
}

// loadstring(s [, chunkname]) of the base library, refusing precompiled chunks.
int GuardedLoadString(lua_State* L) {
  size_t length = 0;
  const char* text = luaL_checklstring(L, 1, &length);
  const char* name = luaL_optstring(L, 2, text);
  if (IsPrecompiled(text, length)) return LoadFailure(L, kPrecompiledRefusal);
  return LoadResults(L, luaL_loadbuffer(L, text, length, name));
}

struct TPieceReader {
  bool first = true;
  bool refused = false;
};

// The reader of load(f): each call of f gives the next piece (nil or "" ends the chunk).
// The piece is kept in stack slot 3 while the interpreter reads it.
const char* ReadPiece(lua_State* L, void* context, size_t* size) {
  TPieceReader* reader = static_cast<TPieceReader*>(context);
  luaL_checkstack(L, 2, "too many nested functions");
  lua_pushvalue(L, 1);
  lua_call(L, 0, 1);
  if (lua_isnil(L, -1)) {
    *size = 0;
    return nullptr;
  }
  if (!lua_isstring(L, -1)) luaL_error(L, "reader function must return a string");
  lua_replace(L, 3);
  const char* piece = lua_tolstring(L, 3, size);
  if (reader->first && *size > 0) {
    reader->first = false;
    if (IsPrecompiled(piece, *size)) {
      reader->refused = true;
      *size = 0;
      return nullptr;
    }
  }
  return piece;
}

// load(f [, chunkname]) of the base library, refusing precompiled chunks.
int GuardedLoad(lua_State* L) {
  const char* name = luaL_optstring(L, 2, "=(load)");
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_settop(L, 3);
  TPieceReader reader;
  const int status = lua_load(L, ReadPiece, &reader, name);
  if (reader.refused) return LoadFailure(L, kPrecompiledRefusal);
  return LoadResults(L, status);
}

// Compiles the regular file `path` as the base library's loadfile does (a first line
// starting with '#' is skipped, line numbers kept; chunk "@path"), leaving the function or
// the message on the stack. Without a name there is nothing to read: standard input is not
// the script's to take. Devices, pipes and directories are refused, so a load never blocks.
// Returns 0 when compiled.
int CompileFile(lua_State* L, const char* path) {
  char message[512];
  if (path == nullptr) {
    lua_pushliteral(L, "a file name is needed: scripts cannot read standard input");
    return 1;
  }
  int status = 0;
  {
    // No interpreter call that can raise while the buffer is alive: a raise would skip its
    // destructor. luaL_loadbuffer runs the compiler protected and only returns a status.
    CFileRead file;
    bool read = false;
    try {
      read = file.Read(path);
    } catch (...) {
      read = false;
    }
    struct stat st;
    const bool emptyFile = !read && stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
    if (!read && !emptyFile) {
      std::snprintf(message, sizeof message, "cannot read %s: not a readable, non-empty file",
                    path);
      status = -1;
    } else if (static_cast<int64_t>(file.size) > ScriptMemoryLimit() && ScriptMemoryLimit() > 0) {
      std::snprintf(message, sizeof message, "cannot read %s: not enough memory", path);
      status = -1;
    } else {
      const char* text = reinterpret_cast<const char*>(file.data.get());
      size_t length = file.size;
      size_t skipped = 0;
      if (length > 0 && text[0] == '#') {
        while (skipped < length && text[skipped] != '\n') ++skipped;
        // The line break stays, so that line numbers are those of the file.
      }
      if (IsPrecompiled(text + skipped, length - skipped)) {
        std::snprintf(message, sizeof message, "%s: %s", path, kPrecompiledRefusal);
        status = -1;
      } else {
        std::snprintf(message, sizeof message, "@%s", path);
        status = luaL_loadbuffer(L, text + skipped, length - skipped, message);
      }
    }
  }
  if (status == -1) lua_pushstring(L, message);
  return status;
}

// loadfile([filename]) of the base library.
int GuardedLoadFile(lua_State* L) {
  const char* path = luaL_optstring(L, 1, nullptr);
  return LoadResults(L, CompileFile(L, path));
}

// dofile([filename]) of the base library: compiles and calls, errors raised.
int GuardedDoFile(lua_State* L) {
  const char* path = luaL_optstring(L, 1, nullptr);
  const int n = lua_gettop(L);
  if (CompileFile(L, path) != 0) lua_error(L);
  lua_call(L, 0, LUA_MULTRET);
  return lua_gettop(L) - n;
}

// The string library's matcher recurses once per repetition item ('?', '*', '+', '-') and
// per capture parenthesis of a pattern, on the C stack and without a depth limit: a pattern
// with hundreds of thousands of them overflows the stack. Patterns with more than
// kMaxPatternItems such characters are refused with an error (literal '%*' and the like are
// counted too: no real pattern comes near the limit). The library's functions are kept in
// C variables, not as upvalues, so the debug library cannot hand them to a script.
constexpr size_t kMaxPatternItems = 2000;

enum { kFind, kMatch, kGmatch, kGsub };
static_assert(kGsub + 1 == kPatternFunctions);
const char* const kPatternFunctionNames[kPatternFunctions] = {"find", "match", "gmatch", "gsub"};

void CheckPattern(lua_State* L) {
  size_t length = 0;
  const char* pattern = lua_tolstring(L, 2, &length);
  if (pattern == nullptr) return;  // the library reports the missing pattern itself
  size_t items = 0;
  for (size_t i = 0; i < length; ++i) {
    const char c = pattern[i];
    if (c == '?' || c == '*' || c == '+' || c == '-' || c == '(' || c == ')') ++items;
  }
  if (items > kMaxPatternItems) {
    luaL_error(L, "pattern too complex (more than %d repetitions and captures)",
               static_cast<int>(kMaxPatternItems));
  }
}

template <int F>
int GuardedPatternFunction(lua_State* L) {
  CheckPattern(L);
  return ScriptHost().patternFunctions[F](L);
}

const lua_CFunction kGuardedPatternFunctions[kPatternFunctions] = {
    GuardedPatternFunction<kFind>, GuardedPatternFunction<kMatch>, GuardedPatternFunction<kGmatch>,
    GuardedPatternFunction<kGsub>};

// Replaces string.find, match, gmatch and gsub (also reached as methods of strings) by
// versions that refuse patterns too deep for the C stack.
void InstallPatternGuard(lua_State* L) {
  lua_getfield(L, LUA_GLOBALSINDEX, LUA_STRLIBNAME);
  for (int f = 0; f < kPatternFunctions; ++f) {
    lua_getfield(L, -1, kPatternFunctionNames[f]);
    lua_CFunction original = lua_tocfunction(L, -1);
    lua_pop(L, 1);
    if (original == nullptr) continue;
    ScriptHost().patternFunctions[f] = original;
    lua_pushcfunction(L, kGuardedPatternFunctions[f]);
    lua_setfield(L, -2, kPatternFunctionNames[f]);
  }
  lua_pop(L, 1);
}

// The error handler given to xpcall, wrapped: once the job is stopped the script's handler is
// not called. The stop is raised from inside the count hook, where the interpreter runs
// hooks switched off, and a handler called from there could loop with nothing to stop it.
int GuardedErrorHandler(lua_State* L) {
  if (ScriptJobStopped()) return 1;
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  return 1;
}

// xpcall(f, handler) of the base library with the handler wrapped.
int GuardedXpcall(lua_State* L) {
  luaL_checkany(L, 2);
  lua_settop(L, 2);
  lua_pushcclosure(L, GuardedErrorHandler, 1);
  lua_insert(L, 1);  // the wrapped handler below the function
  const int status = lua_pcall(L, 0, LUA_MULTRET, 1);
  lua_pushboolean(L, status == 0);
  lua_replace(L, 1);
  return lua_gettop(L);
}

// Replaces the base library's loadstring, load, loadfile, dofile and xpcall by the guarded
// ones.
void InstallGuardedLoaders(lua_State* L) {
  static const luaL_Reg kLoaders[] = {
      {"loadstring", GuardedLoadString}, {"load", GuardedLoad},     {"loadfile", GuardedLoadFile},
      {"dofile", GuardedDoFile},         {"xpcall", GuardedXpcall},
  };
  for (const luaL_Reg& loader : kLoaders) {
    lua_pushcfunction(L, loader.func);
    lua_setfield(L, LUA_GLOBALSINDEX, loader.name);
  }
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
  InstallGuardedLoaders(L);
  InstallPatternGuard(L);
  RegisterScriptApi(L);
  return 0;
}

}  // namespace

size_t ScriptTextCut(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t cut = limit;
  // Back to the first byte of a sequence (continuation bytes are 10xxxxxx), at most three.
  for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++i) {
    --cut;
  }
  return cut;
}

void ScriptErrorText(lua_State* L, std::string& out) {
  try {
    if (lua_type(L, -1) == LUA_TSTRING) {
      size_t length = 0;
      const char* text = lua_tolstring(L, -1, &length);  // a string: no conversion, no raise
      out.assign(text, ScriptTextCut(text, length, kMaxScriptText));
    } else if (lua_type(L, -1) == LUA_TNUMBER) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, LUA_NUMBER_FMT, lua_tonumber(L, -1));
      out = buffer;
    } else {
      // Lua's own wording for a value without text; an empty message would read as success.
      out = "(error object is a ";
      out += lua_typename(L, lua_type(L, -1));
      out += " value)";
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

void SetStateFactory(StateFactory factory) { ScriptHost().stateFactory = factory; }

void CloseScript(CMangaBrush& brush) {
  if (brush.lua != nullptr) {
    CloseLimitedState(brush.lua);
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
  drawMode = kDrawCanvas;
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
  // A job stopped by its time budget loads nothing more: every further load fails at once
  // with the same message, as a script that fails to load.
  if (ScriptJobStopped()) {
    try {
      brush.loadError = ScriptStopMessage();
    } catch (...) {
      SetOutOfMemory(brush.loadError);
    }
    return;
  }
  const StateFactory factory = ScriptHost().stateFactory;
  lua_State* L = factory != nullptr ? factory() : NewLimitedState();
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

  // The file's bytes unchanged (no byte-order mark removed, no conversion); an empty file is
  // an empty script, one that cannot be read fails to load. The text ends at the first zero
  // byte.
  CFileRead file;
  if (!file.Read(info->scriptPath) && file.error != 0) {
    try {
      brush.loadError = CannotReadMessage(info->scriptPath, file.error);
    } catch (...) {
      SetOutOfMemory(brush.loadError);
    }
    return;
  }
  std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<size_t>(file.size) + 1]);
  if (text == nullptr) {
    SetOutOfMemory(brush.loadError);
    return;
  }
  if (file.size > 0) std::memcpy(text.get(), file.data.get(), file.size);
  text[file.size] = '\0';

  if (IsPrecompiled(text.get(), file.size)) {
    try {
      brush.loadError = kPrecompiledRefusal;
    } catch (...) {
      SetOutOfMemory(brush.loadError);
    }
    return;
  }

  // The chunk is named by its own text, so messages read [string "first line..."]:LINE: ...
  ArmScriptHook(L, "the main chunk");
  const auto start = std::chrono::steady_clock::now();
  int status = luaL_loadstring(L, text.get());
  if (status == 0) status = lua_pcall(L, 0, LUA_MULTRET, 0);
  AddScriptRun("the main chunk",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  if (status != 0) {
    ScriptErrorText(L, brush.loadError);
  } else if (ScriptJobStopped()) {
    // Stopped inside a C function that swallowed the error: still a stop.
    try {
      brush.loadError = ScriptStopMessage();
    } catch (...) {
      SetOutOfMemory(brush.loadError);
    }
  } else {
    brush.scriptLoaded = true;
  }
  lua_settop(L, 0);
}

}  // namespace pavo

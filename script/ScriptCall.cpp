// Protected calls of a script's global functions.
#include "script/ScriptCall.h"

#include <chrono>

#include "script/ScriptGuard.h"
#include "script/ScriptLoad.h"
#include "script/ScriptSinks.h"

namespace pavo {

namespace {

// Runs under lua_cpcall: the only value of its stack is the light userdata of the call.
int RunCall(lua_State* L) {
  const TScriptCall* call = static_cast<const TScriptCall*>(lua_touserdata(L, 1));
  if (call->onlyFunction) {
    lua_getfield(L, LUA_GLOBALSINDEX, call->name);
    const bool isFunction = lua_type(L, -1) == LUA_TFUNCTION;
    lua_pop(L, 1);
    if (!isFunction) return 0;
  }
  lua_getfield(L, LUA_GLOBALSINDEX, call->name);
  for (int i = 0; i < call->argCount; ++i) lua_pushnumber(L, call->args[i]);
  lua_call(L, call->argCount, call->resultCount);
  if (call->read != nullptr) call->read(L, call->context);
  return 0;
}

}  // namespace

bool CallScriptGlobal(lua_State* L, const TScriptCall& call, bool reportFailure) {
  if (L == nullptr) return false;
  const int top = lua_gettop(L);
  // Once the job is stopped by its budget nothing more runs: the call fails with the stop
  // message at once.
  const bool allowed = ArmScriptHook(L, call.name);
  bool ok = false;
  if (allowed) {
    const auto start = std::chrono::steady_clock::now();
    ok = lua_cpcall(L, RunCall, const_cast<TScriptCall*>(&call)) == 0;
    AddScriptRun(call.name,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  // A stop swallowed by a C function of the script still fails the call.
  if (ok && ScriptJobStopped()) ok = false;
  if (!ok && reportFailure) {
    const TScriptSinks& sinks = GetScriptSinks();
    if (sinks.error != nullptr) {
      try {
        std::string text;
        if (ScriptJobStopped()) {
          text = ScriptStopMessage();
        } else {
          ScriptErrorText(L, text);
        }
        sinks.error(sinks.context, text.data(), text.size());
      } catch (...) {
        // A message that cannot be copied is not reported.
      }
    }
  }
  lua_settop(L, top);
  return ok;
}

}  // namespace pavo

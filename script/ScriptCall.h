// Calling a global function of a loaded script in protected mode. The fetch of the global
// runs protected as well: a script can give the globals table an __index that raises, and
// under the C build of the interpreter an unprotected error would end the process.
#pragma once

#include <lua.hpp>

#include <string>

namespace pavo {

// Fetches the global `name` and calls it with `argCount` numbers from `args` and
// `resultCount` results (missing results are nil), then hands the results to `read` while
// they are on the stack (at -resultCount .. -1). With `onlyFunction`, a global that is not a
// function is not called and the call counts as done. `read` runs inside the protected call;
// it may use interpreter functions that raise, but must catch its own exceptions.
// Returns true when the call succeeded; the stack is as before in every case. A failure
// is handed to the error sink, if one is set.
struct TScriptCall {
  const char* name = "";
  double args[3] = {0.0, 0.0, 0.0};
  int argCount = 0;
  int resultCount = 0;
  bool onlyFunction = false;
  void (*read)(lua_State* L, void* context) = nullptr;
  void* context = nullptr;
};

bool CallScriptGlobal(lua_State* L, const TScriptCall& call, bool reportFailure);

}  // namespace pavo

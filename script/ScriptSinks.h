// Optional observers for a host that shows what the tester keeps silent: errors raised by a
// script's main or last while a stroke is painted, and the text of its print calls. Both are
// null by default, and then errors are swallowed and print output is discarded: a script's
// print never reaches standard output. Process-wide, used by the painting thread only, like
// the rest of the script state.
#pragma once

#include <cstddef>

struct lua_State;

namespace pavo {

// Called from inside the interpreter: a sink must not throw (the type says so).
using TScriptTextSink = void (*)(void* context, const char* text, size_t length) noexcept;

struct TScriptSinks {
  TScriptTextSink error = nullptr;  // one failed call of main or last: its error text
  TScriptTextSink print = nullptr;  // the text of one print call, final "\n" included
  TScriptTextSink debug = nullptr;  // the text of one bs_debug entry the brush's log kept
  void* context = nullptr;
};

void SetScriptSinks(const TScriptSinks& sinks);
const TScriptSinks& GetScriptSinks();

// The replacement of the base library's print: the arguments converted with tostring,
// separated by tabs and ended by a line break, handed to the print sink (or dropped).
int ScriptPrint(lua_State* L);
// Installs ScriptPrint as the global print of a state whose base library is open.
void InstallScriptPrint(lua_State* L);

}  // namespace pavo

// The 58 bs_ host functions through which a brush script queries the dab and draws, and
// their registration table.
//
// Rules shared by all of them: each that reports or changes the brush works on the brush
// that loaded last (currentBrush) and does nothing (returning no results) when there is none;
// none raises an interpreter error or checks argument counts or types (arguments are read as
// LuaNumbers.h describes). The interpreter is the C build, whose errors unwind by longjmp: the
// functions read their arguments into plain values first, do their work with no interpreter
// call while any object with a destructor is alive, and push their results last; no
// exception of ours reaches the interpreter (ScriptApi.cpp registers every function through
// one entry that catches them).
#pragma once

#include <cstddef>

struct lua_State;

namespace pavo {

struct TScriptFunction {
  const char* name;
  int (*function)(lua_State*);
  // How many arguments the function reads. The README's table and the editor definitions
  // give the same numbers (tests/editor compares them).
  int arguments;
};

constexpr size_t kScriptFunctionCount = 58;
// In registration order.
extern const TScriptFunction kScriptFunctions[kScriptFunctionCount];

}  // namespace pavo

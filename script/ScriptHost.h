// The script host's process-wide state beyond the three values the brush engine keeps
// (currentBrush, drawMode, strokeCounter): one record, used by the painting thread only. A
// test starts from the state a program starts with by ResetScriptHost; `limits` holds plain
// values, so that a caller can hand them to a worker process as they stand.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "geometry/Shape.h"
#include "geometry/Vector2.h"
#include "script/ScriptSinks.h"

struct lua_State;

namespace pavo {

constexpr int64_t kDefaultScriptMemory = int64_t{512} << 20;  // bytes per interpreter state
constexpr double kDefaultScriptSeconds = 2.0;                 // per discovery, per repaint

struct TScriptLimits {
  int64_t memoryBytes = kDefaultScriptMemory;  // per interpreter state created; 0: none
  double seconds = kDefaultScriptSeconds;      // per job the engine starts itself; 0: none
};

// What the scripts of a job have cost: the calls of main, and the time spent running script
// code (the main chunk with its compilation, every call of a global).
struct TScriptJobCost {
  int64_t mainCalls = 0;
  double seconds = 0.0;
};

// The running job of ScriptGuard.h.
struct TScriptJobState {
  int depth = 0;  // jobs begun and not yet ended; the outermost one is the job
  bool timed = false;
  bool stopped = false;
  double seconds = 0.0;
  std::chrono::steady_clock::time_point deadline;
  const char* name = "";
  const char* call = "";  // the script function the host called last
  std::string message;
  const std::atomic<uint32_t>* cancelWord = nullptr;
  uint32_t cancelId = 0;
  TScriptJobCost cost;
};

// Outlines reused from call to call, so that a dab allocates nothing once they have grown;
// nothing in them counts between calls.
struct TScriptScratch {
  CShape ellipse;
  TPolygon polygon;
  TContours contours;
  TPolygon crossArm;  // the failed script's cross
};

constexpr int kPatternFunctions = 4;  // string.find, match, gmatch, gsub

struct TScriptHost {
  TScriptLimits limits;
  TScriptJobState job;
  TScriptSinks sinks;
  lua_State* (*stateFactory)() = nullptr;  // tests' replacement of NewLimitedState
  // The string library's own pattern functions, the same C functions in every state, kept
  // here rather than as upvalues so that the debug library cannot hand them to a script.
  int (*patternFunctions[kPatternFunctions])(lua_State*) = {};
  TScriptScratch scratch;
};

TScriptHost& ScriptHost();
// Everything as at program start, except the pattern functions, which states set up before
// the reset still call.
void ResetScriptHost();

}  // namespace pavo

// Limits on what a script may cost the host: a memory limit per interpreter state and a time
// budget per job (one discovery, one repaint).
//
// The time budget is enforced from inside by an instruction-count hook that the host sets
// again before every call into a script, so a script that clears it with the debug library
// gets it back at its next call. Once the budget is spent every further instruction raises
// the stop message, and loads and calls of the same job fail at once with it. What the hook
// cannot reach (a single C call that runs practically forever, a hook or finalizer of the
// script's own, which run with hooks switched off) is left to the worker process, which is
// killed from outside.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "script/ScriptHost.h"

struct lua_State;

namespace pavo {

// Memory limit of every interpreter state created from now on; 0 or less means none.
void SetScriptMemoryLimit(int64_t bytes);
int64_t ScriptMemoryLimit();

// A new interpreter state whose allocations fail past the memory limit (the interpreter then
// raises its own "not enough memory" error); nullptr when even the state cannot be had.
lua_State* NewLimitedState();
// Closes a state made by NewLimitedState or luaL_newstate.
void CloseLimitedState(lua_State* L);

// Budget of the jobs the engine starts itself (DiscoverScript, the test stroke's repaint);
// 0 or less means none.
void SetScriptTimeLimit(double seconds);
double ScriptTimeLimit();

// Starts the time budget of one job; `job` names it in the stop message ("discovery",
// "repaint"). seconds <= 0 means no budget. A job begun while one runs is part of it: the
// running job's budget, name and stop hold, and only the end of the outermost job ends it
// (a worker's job runs DiscoverScript and DrawTestStroke, which begin their own for callers
// without one).
void BeginScriptJob(double seconds, const char* job);
void EndScriptJob();
// The running job is cancelled once *word rises above `id` (a newer job replaced it; the word
// may be written by another process through shared memory): it stops where a spent budget
// would stop it, and nothing of it is shown. Cleared by EndScriptJob.
void WatchScriptJobCancel(const std::atomic<uint32_t>* word, uint32_t id);

// A job over the lifetime of a scope, with the budget of SetScriptTimeLimit.
class CScriptJob {
 public:
  explicit CScriptJob(const char* job) { BeginScriptJob(ScriptTimeLimit(), job); }
  ~CScriptJob() { EndScriptJob(); }
  CScriptJob(const CScriptJob&) = delete;
  CScriptJob& operator=(const CScriptJob&) = delete;
};

// True once the budget of the running job is spent; the message says what ran too long and,
// when known, where ("the script was stopped: it ran longer than the 2 s allowed for the
// repaint (in main, line 7)").
bool ScriptJobStopped();
const std::string& ScriptStopMessage();
// Marks the running job as stopped with the given message (a worker that had to be killed):
// its remaining loads and calls fail at once, as after a stop by the budget.
void StopScriptJob(const std::string& message);

// What the scripts of the running job have cost so far (TScriptJobCost).
const TScriptJobCost& ScriptJobCost();
// Adds one run of script code; `call` names it as for ArmScriptHook.
void AddScriptRun(const char* call, double seconds);

// Sets the count hook on L again before the host calls into the script; `call` names what
// is called ("main", "the main chunk") for the stop message. False (nothing may be called)
// once the job is stopped.
bool ArmScriptHook(lua_State* L, const char* call);

}  // namespace pavo

// The memory limit of interpreter states and the time budget of script jobs.
#include "script/ScriptGuard.h"

#include <lua.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace pavo {

namespace {

using Clock = std::chrono::steady_clock;

// Instructions between two looks at the clock: about ten microseconds of a busy loop, so a
// stop comes promptly and the clock costs nothing measurable.
constexpr int kHookCount = 1000;

struct TStateMemory {
  size_t used = 0;
  size_t limit = 0;  // 0: none
};

// The allocator of a limited state: growth past the limit fails, which the interpreter turns
// into its "not enough memory" error. Shrinking never fails (the interpreter relies on it):
// a block that cannot be moved to a smaller size stays where it is.
void* LimitedAlloc(void* ud, void* block, size_t oldSize, size_t newSize) {
  TStateMemory* memory = static_cast<TStateMemory*>(ud);
  if (newSize == 0) {
    std::free(block);
    memory->used -= oldSize;
    return nullptr;
  }
  if (newSize > oldSize && memory->limit > 0 && newSize - oldSize > memory->limit - memory->used) {
    return nullptr;
  }
  void* moved = std::realloc(block, newSize);
  if (moved == nullptr) return newSize <= oldSize ? block : nullptr;
  memory->used = memory->used - oldSize + newSize;
  return moved;
}

// The interpreter's last resort for an error outside protected mode; the host runs every
// script step protected, so reaching it is a fault of ours.
int Panic(lua_State* L) {
  std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n",
               lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "?");
  return 0;
}

// "the script was stopped: it ran longer than the 2 s allowed for the repaint (in main,
// line 7)"; the place is left out when the interpreter does not know it.
void ComposeStopMessage(lua_State* L, lua_Debug* ar) {
  TScriptJobState& job = ScriptHost().job;
  char where[160] = "";
  if (ar != nullptr && lua_getinfo(L, "Sl", ar) != 0 && ar->currentline > 0) {
    if (job.call[0] != '\0') {
      std::snprintf(where, sizeof where, " (in %s, line %d)", job.call, ar->currentline);
    } else {
      std::snprintf(where, sizeof where, " (line %d)", ar->currentline);
    }
  } else if (job.call[0] != '\0') {
    std::snprintf(where, sizeof where, " (in %s)", job.call);
  }
  char text[320];
  std::snprintf(text, sizeof text,
                "the script was stopped: it ran longer than the %g s allowed for %s%s", job.seconds,
                job.name, where);
  try {
    job.message = text;
  } catch (...) {
    job.message.clear();
  }
}

bool Cancelled() {
  TScriptJobState& job = ScriptHost().job;
  return job.cancelWord != nullptr &&
         job.cancelWord->load(std::memory_order_relaxed) > job.cancelId;
}

void StopCancelled() {
  TScriptJobState& job = ScriptHost().job;
  job.stopped = true;
  try {
    job.message = "the script was stopped: a newer request replaced ";
    job.message += job.name;
  } catch (...) {
    job.message.clear();
  }
}

// Whether the job must stop now: its budget is spent or it was cancelled.
bool DueToStop(lua_State* L, lua_Debug* ar) {
  TScriptJobState& job = ScriptHost().job;
  if (Cancelled()) {
    StopCancelled();
    return true;
  }
  if (!job.timed || Clock::now() < job.deadline) return false;
  job.stopped = true;
  ComposeStopMessage(L, ar);
  return true;
}

void CountHook(lua_State* L, lua_Debug* ar) {
  TScriptJobState& job = ScriptHost().job;
  if (!job.stopped && !DueToStop(L, ar)) return;
  // From now on every instruction raises, so a script that catches the error cannot go on.
  lua_sethook(L, CountHook, LUA_MASKCOUNT, 1);
  lua_pushlstring(L, job.message.data(), job.message.size());
  lua_error(L);
}

}  // namespace

void SetScriptMemoryLimit(int64_t bytes) {
  ScriptHost().limits.memoryBytes = bytes > 0 ? bytes : 0;
}
int64_t ScriptMemoryLimit() { return ScriptHost().limits.memoryBytes; }

lua_State* NewLimitedState() {
  TStateMemory* memory = new (std::nothrow) TStateMemory;
  if (memory == nullptr) return nullptr;
  memory->limit = static_cast<size_t>(ScriptMemoryLimit());
  lua_State* L = lua_newstate(LimitedAlloc, memory);
  if (L == nullptr) {
    delete memory;
    return nullptr;
  }
  lua_atpanic(L, Panic);
  return L;
}

void CloseLimitedState(lua_State* L) {
  if (L == nullptr) return;
  void* ud = nullptr;
  const lua_Alloc alloc = lua_getallocf(L, &ud);
  lua_close(L);
  if (alloc == LimitedAlloc) delete static_cast<TStateMemory*>(ud);
}

void SetScriptTimeLimit(double seconds) {
  ScriptHost().limits.seconds = seconds > 0.0 ? seconds : 0.0;
}
double ScriptTimeLimit() { return ScriptHost().limits.seconds; }

void BeginScriptJob(double seconds, const char* name) {
  TScriptJobState& job = ScriptHost().job;
  if (job.depth++ > 0) return;
  job.stopped = false;
  job.message.clear();
  job.call = "";
  job.name = name != nullptr ? name : "";
  job.timed = seconds > 0.0;
  job.seconds = seconds;
  job.cancelWord = nullptr;
  job.cost = TScriptJobCost{};
  if (job.timed) {
    job.deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(seconds));
  }
}

void EndScriptJob() {
  TScriptJobState& job = ScriptHost().job;
  if (job.depth == 0 || --job.depth > 0) return;
  job.timed = false;
  job.stopped = false;
  job.call = "";
  job.cancelWord = nullptr;
}

void WatchScriptJobCancel(const std::atomic<uint32_t>* word, uint32_t id) {
  TScriptJobState& job = ScriptHost().job;
  job.cancelWord = word;
  job.cancelId = id;
}

void StopScriptJob(const std::string& message) {
  TScriptJobState& job = ScriptHost().job;
  job.stopped = true;
  try {
    job.message = message;
  } catch (...) {
    job.message.clear();
  }
}

const TScriptJobCost& ScriptJobCost() { return ScriptHost().job.cost; }

void AddScriptRun(const char* call, double seconds) {
  TScriptJobState& job = ScriptHost().job;
  if (call != nullptr && std::strcmp(call, "main") == 0) ++job.cost.mainCalls;
  job.cost.seconds += seconds;
}

bool ScriptJobStopped() { return ScriptHost().job.stopped; }
const std::string& ScriptStopMessage() { return ScriptHost().job.message; }

bool ArmScriptHook(lua_State* L, const char* call) {
  TScriptJobState& job = ScriptHost().job;
  if (job.stopped) return false;
  job.call = call != nullptr ? call : "";
  if (!job.timed && job.cancelWord == nullptr) return true;
  // The clock is read here too: calls of fewer instructions than the hook's count, each
  // spending its time in a library function, would otherwise never meet the hook.
  if (DueToStop(L, nullptr)) return false;
  // The hook is set again only when the script changed it, so that its count carries on
  // from call to call.
  if (L != nullptr && (lua_gethook(L) != CountHook || lua_gethookmask(L) != LUA_MASKCOUNT ||
                       lua_gethookcount(L) != kHookCount)) {
    lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookCount);
  }
  return true;
}

}  // namespace pavo

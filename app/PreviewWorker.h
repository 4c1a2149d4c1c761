// Discovery and repaint in a worker process, so that no script can freeze or crash the
// program that shows its preview.
//
// Each job forks a worker that runs exactly the in-process code (the same pixels) with the
// script limits set, and sends its result back through a pipe. The worker is killed when it
// overruns the time budget, which stops even what the interpreter's count hook cannot: a
// single C call that runs practically forever, or a hook or finalizer of the script's own.
// A worker that is killed or dies gives the result of a script that failed to load with a
// message naming the cause: nothing answered by discovery, the red crosses in the preview.
// The shared random generator and the stroke counter come back from the worker, so a
// sequence of jobs sees the same numbers as it would in process.
#pragma once

#include <cstdint>
#include <string>

#include "brush/BrushInfo.h"
#include "imaging/Image.h"
#include "script/ScriptGuard.h"

namespace quarnel {

struct TJobLimits {
  double seconds = pavo::kDefaultScriptSeconds;      // per job; 0: none
  int64_t memoryBytes = pavo::kDefaultScriptMemory;  // per interpreter state; 0: none
  bool isolate = true;                               // false: run in this process
};

// pavo::DiscoverScript under the limits; returns its status text (empty when the script
// loads, else the interpreter's or the stop message).
// `stopped`, when given, tells whether the script was stopped (by the budget, or by dying):
// such a script is not run again until it changes; RepaintAfterStop shows it.
std::string DiscoverInWorker(pavo::CBrushInfo& info, const TJobLimits& limits,
                             bool* stopped = nullptr);

// pavo::DrawTestStroke under the limits; returns an empty text, or the message saying why the
// script was stopped (what it painted before the stop stays where the worker could still
// send it; otherwise the preview shows the crosses).
std::string RepaintInWorker(pavo::CBrushInfo& info, pavo::CImage32& image, int32_t seed,
                            std::string* debugText, const TJobLimits& limits);

// The repaint of a script stopped before, without running it: the crosses of a script that
// fails to load.
void RepaintAfterStop(pavo::CBrushInfo& info, pavo::CImage32& image, int32_t seed,
                      const std::string& message);

}  // namespace quarnel

// One job of the worker: a parameter discovery or a repaint of the test stroke, as a request
// record the caller sends and a result record the worker answers with, and the code that runs
// a request. The worker program runs it; so does the caller itself when there is no worker
// (the same code, the same pixels).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "brush/BrushInfo.h"
#include "imaging/Image.h"
#include "preview/PadCanvas.h"
#include "preview/WireFormat.h"
#include "script/ScriptGuard.h"
#include "script/ScriptSinks.h"

namespace quarnel {

// What a job may cost; each discovery and each repaint is one job.
struct TJobLimits {
  double seconds = pavo::kDefaultScriptSeconds;      // 0: none
  int64_t memoryBytes = pavo::kDefaultScriptMemory;  // per interpreter state; 0: none
  bool isolate = true;                               // false: jobs run in the caller
};

// Discovery and the test stroke's repaint; on the scratchpad, a repaint of all its strokes
// from a clear pad, and a piece of the stroke the pen is painting.
enum class EJob : int32_t { kDiscovery = 1, kRepaint = 2, kPadReplay = 3, kPadPiece = 4 };

// Every job but discovery answers with pixels.
inline bool PaintsPixels(EJob kind) { return kind != EJob::kDiscovery; }

// A piece of a pen stroke: whether it begins the stroke, ends it, or both.
constexpr int32_t kPieceBegins = 1;
constexpr int32_t kPieceEnds = 2;

template <class A>
void Fields(A& a, TPadPoint& p) {
  a(p.x);
  a(p.y);
  a(p.pressure);
  a(p.time);
}

// The stop message of a job names it: "... allowed for parameter discovery", "... for the
// repaint".
const char* JobName(EJob kind);

struct TJobRequest {
  uint32_t id = 0;
  EJob kind = EJob::kRepaint;
  double seconds = 0.0;
  int64_t memoryBytes = 0;
  bool collectPrint = false;  // print text is sent back (else print converts nothing)
  bool collectErrors = false;
  bool collectDebug = false;  // bs_debug entries are sent back, and the log with the result
  // The process-wide values a job reads and changes, handed over as they stand when the
  // request is sent, so that a sequence of jobs sees what it would in one process.
  uint32_t randomState = 0;
  int32_t strokeCounter = 0;
  pavo::CBrushInfo info;
  // Repaint: the preview's size and seed. A stop message here makes the repaint one of a
  // script stopped before: it is not run, and shows as a script that fails to load.
  int32_t width = 0;
  int32_t height = 0;
  int32_t seed = 0;
  std::string stopMessage;
  // Scratchpad: the pad's generation (a replay starts a new one; pieces name the one they
  // belong to), the strokes of a replay or the new points of a piece, and the piece's flags.
  uint32_t padGeneration = 0;
  std::vector<TPadStroke> strokes;
  int32_t piece = 0;
};

template <class A>
void Fields(A& a, TJobRequest& r) {
  a(r.id);
  auto kind = static_cast<int32_t>(r.kind);
  a(kind);
  r.kind = static_cast<EJob>(kind);
  a(r.seconds);
  a(r.memoryBytes);
  a(r.collectPrint);
  a(r.collectErrors);
  a(r.collectDebug);
  a(r.randomState);
  a(r.strokeCounter);
  Fields(a, r.info);
  a(r.width);
  a(r.height);
  a(r.seed);
  a(r.stopMessage);
  a(r.padGeneration);
  a(r.strokes);
  a(r.piece);
}

// A request is acceptable when its kind is known and its preview size can be painted.
bool ValidRequest(const TJobRequest& request);

// The text a script gave while the job ran, in the order it came: print output, bs_debug
// entries and the errors raised by main or last (one entry per failed call). Bounded: past
// kMaxBytes of text the rest is only counted.
class CScriptOutput {
 public:
  static constexpr size_t kMaxBytes = size_t{16} << 20;

  enum class EKind : uint8_t { kPrint, kDebug, kError };
  struct TEntry {
    EKind kind;
    std::string text;
  };

  void Add(EKind kind, std::string_view text) noexcept;
  void Clear();
  const std::vector<TEntry>& Entries() const { return entries_; }
  uint64_t DroppedBytes() const { return dropped_; }
  // Sinks that add to this output.
  pavo::TScriptSinks Sinks(bool print, bool errors, bool debug);

 private:
  std::vector<TEntry> entries_;
  size_t bytes_ = 0;
  uint64_t dropped_ = 0;
};

struct TJobResult {
  uint32_t id = 0;
  EJob kind = EJob::kRepaint;
  // Discovery: the status ("" when the script loads, else the interpreter's message or the
  // stop message). Repaint: the stop message, "" when the script was not stopped.
  std::string message;
  bool stopped = false;   // by the budget, or the worker had to be killed or died
  pavo::CBrushInfo info;  // discovery: the settings as discovery left them
  std::string debugText;  // the stroke's bs_debug log, when asked for
  // Repaint: the preview's pixels (none when the worker was lost: the caller paints them).
  std::unique_ptr<pavo::CImage32> image;
  uint32_t randomState = 0;
  int32_t strokeCounter = 0;
  // What the script cost: calls of main, seconds spent running script code.
  int64_t mainCalls = 0;
  double scriptSeconds = 0.0;
  // A piece for a pad the worker does not have (it was restarted, or a newer replay came):
  // nothing was painted.
  bool padLost = false;
  // Filled by the caller: what the script printed, logged and raised while the job ran.
  CScriptOutput output;
  double seconds = 0.0;     // from sending the request to having the result
  bool workerLost = false;  // the worker was killed or died: the result was made here
};

template <class A>
void Fields(A& a, TJobResult& r) {
  a(r.id);
  auto kind = static_cast<int32_t>(r.kind);
  a(kind);
  r.kind = static_cast<EJob>(kind);
  a(r.message);
  a(r.stopped);
  Fields(a, r.info);
  a(r.debugText);
  TPixelField pixels{r.image.get()};
  a(pixels);
  a(r.randomState);
  a(r.strokeCounter);
  a(r.mainCalls);
  a(r.scriptSeconds);
  a(r.padLost);
}

// Runs the request in this process under its limits: the shared values taken over from the
// request, the job run, its outcome and the shared values written into the result. The job is
// cancelled once *cancelWord (when given) rises above the request's id.
void RunJob(const TJobRequest& request, TJobResult& result, const pavo::TScriptSinks& sinks,
            const std::atomic<uint32_t>* cancelWord = nullptr);

}  // namespace quarnel

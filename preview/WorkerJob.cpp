#include "preview/WorkerJob.h"

#include "brush/MangaBrush.h"
#include "geometry/Random.h"
#include "preview/TestStroke.h"
#include "script/Discovery.h"

namespace quarnel {

namespace {

// A repaint's pixels travel in one frame, whose length is 32 bits: previews above this many
// bytes are painted by the caller itself.
constexpr uint64_t kMaxRepaintBytes = uint64_t{1} << 30;

void AddPrint(void* context, const char* text, size_t length) noexcept {
  static_cast<CScriptOutput*>(context)->Add(CScriptOutput::EKind::kPrint, {text, length});
}

void AddError(void* context, const char* text, size_t length) noexcept {
  static_cast<CScriptOutput*>(context)->Add(CScriptOutput::EKind::kError, {text, length});
}

void AddDebug(void* context, const char* text, size_t length) noexcept {
  static_cast<CScriptOutput*>(context)->Add(CScriptOutput::EKind::kDebug, {text, length});
}

// The scratchpad of this process: its canvas lives from job to job.
CPadCanvas pad;
uint32_t padGeneration = 0;

void RunPadJob(const TJobRequest& request, TJobResult& result) {
  if (request.kind == EJob::kPadReplay) {
    padGeneration = request.padGeneration;
    pad.Reset(request.width, request.height, static_cast<uint32_t>(request.seed));
    for (const TPadStroke& stroke : request.strokes) {
      if (pavo::ScriptJobStopped()) break;  // what the stop left is what the pad shows
      pad.PaintStroke(result.info, stroke);
    }
  } else if (padGeneration != request.padGeneration || pad.Width() != request.width ||
             pad.Height() != request.height) {
    result.padLost = true;
  } else {
    if ((request.piece & kPieceBegins) != 0) pad.Begin(result.info);
    pad.Extend(request.strokes.front());
    if ((request.piece & kPieceEnds) != 0) pad.Finish();
  }
  pad.Compose(*result.image);
}

}  // namespace

const char* JobName(EJob kind) {
  switch (kind) {
    case EJob::kDiscovery:
      return "parameter discovery";
    case EJob::kPadReplay:
      return "the scratchpad's repaint";
    case EJob::kPadPiece:
      return "the stroke on the scratchpad";
    case EJob::kRepaint:
      break;
  }
  return "the repaint";
}

bool ValidRequest(const TJobRequest& r) {
  if (r.kind == EJob::kDiscovery) return true;
  const bool painting =
      r.kind == EJob::kRepaint || r.kind == EJob::kPadReplay || r.kind == EJob::kPadPiece;
  if (!painting || r.width < 1 || r.height < 1) return false;
  if (r.kind == EJob::kPadPiece && r.strokes.size() != 1) return false;
  return static_cast<uint64_t>(r.width) * static_cast<uint64_t>(r.height) * 4 <= kMaxRepaintBytes;
}

void CScriptOutput::Add(EKind kind, std::string_view text) noexcept {
  if (text.size() > kMaxBytes - bytes_) {
    dropped_ += text.size();
    return;
  }
  try {
    // Print text of consecutive calls is one entry: a script printing a line per dab makes
    // one entry, not thousands.
    if (kind == EKind::kPrint && !entries_.empty() && entries_.back().kind == EKind::kPrint) {
      entries_.back().text.append(text.data(), text.size());
    } else {
      entries_.push_back({kind, std::string(text)});
    }
    bytes_ += text.size();
  } catch (...) {
    dropped_ += text.size();
  }
}

void CScriptOutput::Clear() {
  entries_.clear();
  bytes_ = 0;
  dropped_ = 0;
}

pavo::TScriptSinks CScriptOutput::Sinks(bool print, bool errors, bool debug) {
  pavo::TScriptSinks sinks;
  sinks.print = print ? AddPrint : nullptr;
  sinks.error = errors ? AddError : nullptr;
  sinks.debug = debug ? AddDebug : nullptr;
  sinks.context = this;
  return sinks;
}

void RunJob(const TJobRequest& request, TJobResult& result, const pavo::TScriptSinks& sinks,
            const std::atomic<uint32_t>* cancelWord) {
  result.id = request.id;
  result.kind = request.kind;
  result.message.clear();
  result.stopped = false;
  result.debugText.clear();
  result.info = request.info;

  result.padLost = false;
  const bool onPad = request.kind == EJob::kPadReplay || request.kind == EJob::kPadPiece;
  // The pad's strokes run on its own generator and counter, kept with its canvas.
  if (!onPad) {
    pavo::SetRandomState(request.randomState);
    pavo::strokeCounter = request.strokeCounter;
  }
  const pavo::TScriptSinks savedSinks = pavo::GetScriptSinks();
  const int64_t savedMemory = pavo::ScriptMemoryLimit();
  pavo::SetScriptSinks(sinks);
  pavo::SetScriptMemoryLimit(request.memoryBytes);

  pavo::BeginScriptJob(request.seconds, JobName(request.kind));
  if (cancelWord != nullptr) pavo::WatchScriptJobCancel(cancelWord, request.id);
  if (!request.stopMessage.empty()) pavo::StopScriptJob(request.stopMessage);
  if (request.kind == EJob::kDiscovery) {
    result.message = pavo::DiscoverScript(result.info);
    result.stopped = pavo::ScriptJobStopped();
  } else {
    if (result.image == nullptr)
      result.image = std::make_unique<pavo::CImage32>(pavo::CImage32::TNoSize{});
    pavo::CImage32& image = *result.image;
    if (image.width != request.width || image.height != request.height || image.pixels == nullptr) {
      image.Resize(request.width, request.height);
    }
    if (onPad) {
      RunPadJob(request, result);
    } else {
      pavo::DrawTestStroke(result.info, image, request.seed,
                           request.collectDebug ? &result.debugText : nullptr);
    }
    result.stopped = pavo::ScriptJobStopped();
    if (result.stopped) result.message = pavo::ScriptStopMessage();
  }
  result.mainCalls = pavo::ScriptJobCost().mainCalls;
  result.scriptSeconds = pavo::ScriptJobCost().seconds;
  pavo::EndScriptJob();

  pavo::SetScriptMemoryLimit(savedMemory);
  pavo::SetScriptSinks(savedSinks);
  result.randomState = pavo::RandomState();
  result.strokeCounter = pavo::strokeCounter;
}

}  // namespace quarnel

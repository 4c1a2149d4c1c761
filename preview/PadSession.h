// The scratchpad as its front ends see it, without Qt: the strokes the author painted, kept as
// the stroke model accepted their points, painted live in pieces while the pen moves and
// repainted all together whenever the brush changes, in a worker of its own.
//
// Pen input goes through the stroke model as a painting program feeds it: AddPoint with the
// point's time, scale 1.0, force clear, first set for a stroke's first point. Each accepted
// point is sent at once as a piece of the stroke (queued, never superseded), so the worker
// paints what the points shape while the pen is still down. A replay paints every kept stroke
// from a clear pad in one job and supersedes the replays before it; one asked for while the
// pen is down waits for the pen to lift. Seeds are handled as the preview handles them: drawn
// from the clock for each replay, or the fixed one.
//
// The pad keeps its size once it holds strokes (a window resize does not move them); an empty
// pad takes the size it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "brush/BrushInfo.h"
#include "brush/Stroke.h"
#include "imaging/Image.h"
#include "preview/StrokeFile.h"
#include "preview/WorkerClient.h"

namespace quarnel {

class CPadSession {
 public:
  explicit CPadSession(const TJobLimits& limits = TJobLimits());
  CPadSession(const CPadSession&) = delete;
  CPadSession& operator=(const CPadSession&) = delete;

  std::optional<uint32_t> fixedSeed;
  // Print text, bs_debug entries and errors come back with each job (LastOutput).
  bool collectOutput = false;
  CWorkerClient& Worker() { return worker_; }

  // The image the pad is shown in, owned by the front end; it is kept at the pad's size.
  void SetImage(pavo::CImage32* image) { image_ = image; }
  // The size an empty pad takes (the view's); a pad with strokes keeps its own. Painted at
  // once once the pad has a brush.
  void SetViewSize(int32_t w, int32_t h);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  // The brush the strokes are painted with; a change repaints every kept stroke.
  void SetBrush(const pavo::CBrushInfo& info);
  const pavo::CBrushInfo& Brush() const { return info_; }

  // The pen. Times are milliseconds on the millisecond clock.
  void PenDown(double x, double y, double pressure, uint32_t time);
  void PenMove(double x, double y, double pressure, uint32_t time);
  void PenUp();
  bool PenIsDown() const { return penDown_; }

  const std::vector<TPadStroke>& Strokes() const { return strokes_; }
  // The stroke being painted, as accepted so far.
  const TPadStroke& CurrentStroke() const { return current_; }
  void Clear();
  void Undo();
  // The strokes and size of a stroke file (painted at once); the file of the pad as it is.
  void Load(const TStrokeFile& file);
  TStrokeFile File() const;

  // Paints every kept stroke again from a clear pad.
  void Replay();

  void HandleEvents();
  void WaitIdle();
  bool Busy() const { return worker_.Busy(); }
  int EventFd() const { return worker_.EventFd(); }

  // The message of the last stop ("" after a job that was not stopped).
  const std::string& Status() const { return status_; }
  const CScriptOutput& LastOutput() const { return output_; }
  int ReplayCount() const { return replays_; }
  double LastReplaySeconds() const { return replaySeconds_; }
  // Called when the image holds new pixels or the status changed.
  std::function<void()> onChanged;

 private:
  void Submit(TJobRequest request, CWorkerClient::ESubmit how);
  void SendPiece(int32_t flags, TPadStroke points);
  void Apply(TJobResult& result);
  bool ResizeImage();

  CWorkerClient worker_;
  pavo::CImage32* image_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  pavo::CBrushInfo info_;
  bool haveBrush_ = false;
  std::vector<TPadStroke> strokes_;
  TPadStroke current_;
  pavo::CStroke filter_;  // the stroke model the pen's points go through
  bool penDown_ = false;
  bool replayWanted_ = false;
  bool padValid_ = false;  // the worker holds this pad (after a replay that was not lost)
  uint32_t generation_ = 0;
  std::string status_;
  CScriptOutput output_;
  int replays_ = 0;
  double replaySeconds_ = 0.0;
};

}  // namespace quarnel

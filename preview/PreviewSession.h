// The preview cycle that the window and the renderer share: the brush settings, the size
// slider, the ten parameter sliders, the pressure box, the change cache, the script path and
// the state of a stopped script, and Update, which repaints the test stroke when the controls
// changed since the last repaint (rediscovering the script's parameters first on a reload).
//
// The work runs in the worker program and never blocks: Update submits a job and returns; the
// result comes in through EventFd, and HandleEvents applies it (the status and the sliders
// after a discovery, the pixels after a repaint) and calls the front end back. A newer job
// supersedes an older one still running. A program without an event loop calls WaitIdle.
//
// A script stopped by the budget (or lost with its worker) stays stopped: after a stop in
// discovery it is not run again until it is reloaded (the preview shows the crosses of a
// script that fails to load); after a stop in a repaint the preview keeps what the script
// painted before the stop, on this and every later repaint, until it is reloaded or one of its
// sliders (or the pressure box) is set to something else: the author can always move a
// parameter off the value that made the script run too long.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "brush/BrushInfo.h"
#include "imaging/Image.h"
#include "preview/Slider.h"
#include "preview/WorkerClient.h"

namespace quarnel {

class CPreviewSession {
 public:
  explicit CPreviewSession(const TJobLimits& limits = TJobLimits());
  CPreviewSession(const CPreviewSession&) = delete;
  CPreviewSession& operator=(const CPreviewSession&) = delete;

  // The controls. The front end moves them as the user does; a discovery sets up the
  // parameter sliders and moves the size slider.
  TSlider size{kSizeSliderMin, kSizeSliderMax, kSizeSliderStart, true, std::string()};
  TSlider params[pavo::kParamSlots];
  bool pressure = true;

  // Seeds of the repaints: drawn from the millisecond clock (a draw of the shared generator
  // modulo 100 after seeding it with the clock), or this one when set.
  std::optional<uint32_t> fixedSeed;
  // What the script gives besides pixels that the front end wants back, from discovery and
  // from repaints: print text, errors of main and last, the bs_debug entries (and a repaint's
  // whole log).
  bool collectPrint = false;
  bool collectErrors = false;
  bool collectDebug = false;

  CWorkerClient& Worker() { return worker_; }

  // The image the repaints land in, owned by the front end; its size is the preview's.
  void SetPreview(pavo::CImage32* image) { preview_ = image; }
  // Resizes the preview image (sizes below 1 become 1). What it showed stays at its top left
  // over the checkerboard until the next repaint, so a window never shows blank area while a
  // repaint runs. False when the image could not be had (it then has no pixels).
  bool ResizePreview(int32_t w, int32_t h);

  // The script to load on the next reload (accepted by the front end's own rules).
  void SetScript(const std::string& path) { scriptPath_ = path; }
  const std::string& ScriptPath() const { return scriptPath_; }

  // Forgets the positions seen at the last repaint, so that the next Update repaints.
  void ResetChangeCache();
  // The preview cycle, in the order the window's update runs it: the size caption; nothing
  // more when no control changed since the last repaint; else the positions are cached and
  // copied into the settings, a reload rediscovers the script (the sliders are set up from its
  // answers, the size slider takes its size) and the test stroke is repainted. A discovery
  // still running defers an update without reload, which the next one then makes.
  void Update(bool reload);
  // The reload of a script saved again: as Update(true), but the author's settings stay. Each
  // parameter slider whose slot keeps its label keeps its position (clamped into the slot's
  // new range), the others start at their defaults, the size slider stays where it is, and the
  // one repaint after the discovery paints with these positions. A reload in which the script
  // fails to load keeps them for the next one that loads it.
  void ReloadKeepingPositions();
  // Update(false) for controls the user is moving: a repaint begun less than kFollowPatience
  // ago is let finish and the newest positions are painted as soon as it has landed, so that
  // the preview follows a drag at the script's own pace instead of each move cancelling the
  // repaint of the one before; a repaint running longer is superseded at once, as by Update.
  void Follow();
  static constexpr std::chrono::milliseconds kFollowPatience{250};
  // The reload's discovery alone (no repaint), waited for; for a report of the parameters.
  void DiscoverNow();
  // Applies what has come in from the worker, without blocking.
  void HandleEvents();
  // Blocks until no job is running or waiting.
  void WaitIdle();
  bool Busy() const { return discovering_ || worker_.Busy(); }
  int EventFd() const { return worker_.EventFd(); }

  // "15 [px]": the size slider's position when Update last ran.
  const std::string& SizeCaption() const { return sizeCaption_; }
  // The status: "OK", the interpreter's message, or the stop message (bytes).
  const std::string& Status() const { return status_; }
  const pavo::CBrushInfo& Settings() const { return settings_; }
  // The settings a repaint would paint with now: the size slider's width, the pressure box,
  // the parameter sliders' positions.
  pavo::CBrushInfo SettledSettings() const;
  bool ScriptStopped() const { return discoveryStopped_ || repaintStop_.has_value(); }

  // The last repaint shown: its count, brush width and seed, what the script printed and
  // raised, its bs_debug log (when collected) and its time from request to result.
  int RepaintCount() const { return repaintCount_; }
  double LastRepaintWidth() const { return lastWidth_; }
  int32_t LastRepaintSeed() const { return lastSeed_; }
  const CScriptOutput& LastOutput() const { return lastOutput_; }
  const CScriptOutput& LastDiscoveryOutput() const { return discoveryOutput_; }
  const std::string& LastDebugText() const { return lastDebug_; }
  double LastRepaintSeconds() const { return lastSeconds_; }
  // Calls of main and seconds spent in script code by the last repaint shown.
  int64_t LastMainCalls() const { return lastMainCalls_; }
  double LastScriptSeconds() const { return lastScriptSeconds_; }

  // Called back from Update, HandleEvents and WaitIdle.
  std::function<void()> onDiscovered;  // the status and the sliders are new
  std::function<void()> onRepainted;   // the preview holds a new repaint
  std::function<void()> onStatus;      // the status changed without a discovery

 private:
  // The positions a repaint was made with; a stop in a repaint holds for these.
  struct TPositions {
    int32_t size = -1;
    int32_t params[pavo::kParamSlots] = {};
    bool pressure = false;
    bool operator==(const TPositions&) const = default;
  };
  TPositions Positions() const;
  void Cycle(bool reload);
  void SetUpSliders();
  // A job of this kind for the current settings, collecting what the session is asked to.
  TJobRequest NewRequest(EJob kind) const;
  void StartDiscovery();
  void Dispatch(TJobResult& result);
  void AfterDiscovery(TJobResult& result);
  void Repaint();
  void AfterRepaint(TJobResult& result);
  void ShowStopped(double width, int32_t seed);
  void Repainted(double width, int32_t seed);
  void SetStatus(const std::string& status);

  CWorkerClient worker_;
  pavo::CImage32* preview_ = nullptr;
  std::string scriptPath_;
  pavo::CBrushInfo settings_;
  int32_t cachedSize_ = -1;
  int32_t cachedParams_[pavo::kParamSlots];
  std::string sizeCaption_;
  std::string status_;
  std::string discoveryStatus_;

  bool discovering_ = false;
  bool paintAfterDiscovery_ = true;
  // The discovery running or next is a reload keeping the author's positions; kept_ holds the
  // parameter sliders of the last discovery that loaded the script, for such a reload.
  bool keepPositions_ = false;
  bool discoveryLoaded_ = false;
  TSlider kept_[pavo::kParamSlots];
  bool discoveryStopped_ = false;
  std::string discoveryStopMessage_;
  // A stop in a repaint: its message, the positions it holds for, what was painted.
  struct TRepaintStop {
    std::string message;
    TPositions positions;
    std::unique_ptr<pavo::CImage32> painted;
  };
  std::optional<TRepaintStop> repaintStop_;
  // The repaint submitted last, and whether it is still to land (when it was sent).
  TPositions submitted_;
  bool repaintInFlight_ = false;
  std::chrono::steady_clock::time_point repaintSentAt_;
  bool followPending_ = false;  // Follow waits for the repaint in flight
  double submittedWidth_ = 0.0;
  int32_t submittedSeed_ = 0;

  bool shownAny_ = false;  // a repaint has landed in the preview
  int repaintCount_ = 0;
  double lastWidth_ = 0.0;
  int32_t lastSeed_ = -1;
  CScriptOutput lastOutput_;
  CScriptOutput discoveryOutput_;
  std::string lastDebug_;
  double lastSeconds_ = 0.0;
  int64_t lastMainCalls_ = 0;
  double lastScriptSeconds_ = 0.0;
};

}  // namespace quarnel

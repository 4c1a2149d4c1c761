#include "preview/PreviewSession.h"

#include <cstring>
#include <utility>

#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "preview/TestStroke.h"

namespace quarnel {

namespace {

constexpr int32_t kScriptBrush = 11;

std::unique_ptr<pavo::CImage32> CopyOf(const pavo::CImage32& image) {
  auto copy = std::make_unique<pavo::CImage32>(pavo::CImage32::TNoSize{});
  if (image.pixels == nullptr || !copy->Resize(image.width, image.height)) return copy;
  pavo::ShowOverBackground(*copy, image);
  return copy;
}

}  // namespace

CPreviewSession::CPreviewSession(const TJobLimits& limits) : worker_(limits) { ResetChangeCache(); }

bool CPreviewSession::ResizePreview(int32_t w, int32_t h) {
  if (preview_ == nullptr) return false;
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  if (preview_->pixels != nullptr && preview_->width == w && preview_->height == h) return true;
  // Before the first repaint the image holds nothing worth keeping.
  std::unique_ptr<pavo::CImage32> shown;
  if (shownAny_) shown = CopyOf(*preview_);
  if (!preview_->Resize(w, h) || preview_->pixels == nullptr) return false;
  if (shown != nullptr) {
    pavo::ShowOverBackground(*preview_, *shown);
  } else {
    pavo::FillPreviewBackground(*preview_);
  }
  return true;
}

void CPreviewSession::ResetChangeCache() {
  cachedSize_ = -1;
  for (int32_t& p : cachedParams_) p = -1;
}

CPreviewSession::TPositions CPreviewSession::Positions() const {
  TPositions p;
  p.size = size.position;
  for (int i = 0; i < pavo::kParamSlots; ++i) p.params[i] = params[i].position;
  p.pressure = pressure;
  return p;
}

void CPreviewSession::Update(bool reload) {
  if (reload) keepPositions_ = false;
  Cycle(reload);
}

void CPreviewSession::ReloadKeepingPositions() {
  keepPositions_ = true;
  ResetChangeCache();
  Cycle(true);
}

void CPreviewSession::Follow() {
  if (repaintInFlight_ && !discovering_ && worker_.Busy() &&
      std::chrono::steady_clock::now() - repaintSentAt_ < kFollowPatience) {
    sizeCaption_ = std::to_string(size.position) + " [px]";
    followPending_ = true;
    return;
  }
  Update(false);
}

void CPreviewSession::Cycle(bool reload) {
  sizeCaption_ = std::to_string(size.position) + " [px]";
  if (discovering_) {
    // A reload waits for its discovery; a newer reload starts over with the file as it is now.
    if (reload) StartDiscovery();
    return;
  }

  bool unchanged = cachedSize_ == size.position;
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    unchanged = unchanged && cachedParams_[i] == params[i].position;
  }
  if (unchanged) return;
  cachedSize_ = size.position;
  for (int i = 0; i < pavo::kParamSlots; ++i) cachedParams_[i] = params[i].position;

  settings_.width = size.position;
  settings_.pressureSize = pressure;
  if (!scriptPath_.empty()) {
    settings_.SetType(kScriptBrush);
    settings_.scriptPath = scriptPath_;
    if (reload) {
      paintAfterDiscovery_ = true;
      StartDiscovery();
      return;  // continued by AfterDiscovery
    }
    for (int i = 0; i < pavo::kParamSlots; ++i) settings_.property.value[i] = params[i].position;
  }
  Repaint();
}

pavo::CBrushInfo CPreviewSession::SettledSettings() const {
  pavo::CBrushInfo info = settings_;
  info.width = size.position;
  info.pressureSize = pressure;
  if (!scriptPath_.empty()) {
    for (int i = 0; i < pavo::kParamSlots; ++i) info.property.value[i] = params[i].position;
  }
  return info;
}

void CPreviewSession::DiscoverNow() {
  sizeCaption_ = std::to_string(size.position) + " [px]";
  settings_.width = size.position;
  settings_.pressureSize = pressure;
  settings_.SetType(kScriptBrush);
  settings_.scriptPath = scriptPath_;
  paintAfterDiscovery_ = false;
  keepPositions_ = false;
  StartDiscovery();
  WaitIdle();
}

TJobRequest CPreviewSession::NewRequest(EJob kind) const {
  TJobRequest request;
  request.kind = kind;
  request.collectPrint = collectPrint;
  request.collectErrors = collectErrors;
  request.collectDebug = collectDebug;
  request.info = settings_;
  return request;
}

void CPreviewSession::StartDiscovery() {
  if (!keepPositions_) {
    // Another script, or the defaults wanted: no position of before is put back.
    discoveryLoaded_ = false;
    for (TSlider& k : kept_) k = TSlider();
  }
  discovering_ = true;
  repaintInFlight_ = false;
  followPending_ = false;
  discoveryStopped_ = false;
  repaintStop_.reset();
  worker_.Submit(NewRequest(EJob::kDiscovery));
}

void CPreviewSession::HandleEvents() {
  TJobResult result;
  while (worker_.Poll(result)) Dispatch(result);
}

void CPreviewSession::WaitIdle() {
  TJobResult result;
  while (Busy() && worker_.Wait(result)) Dispatch(result);
}

void CPreviewSession::Dispatch(TJobResult& result) {
  if (result.kind == EJob::kDiscovery) {
    AfterDiscovery(result);
  } else {
    AfterRepaint(result);
  }
}

void CPreviewSession::AfterDiscovery(TJobResult& result) {
  discovering_ = false;
  settings_ = std::move(result.info);
  discoveryOutput_ = std::move(result.output);
  discoveryStatus_ = result.message.empty() ? "OK" : result.message;
  discoveryStopped_ = result.stopped;
  discoveryStopMessage_ = result.stopped ? result.message : std::string();
  status_ = discoveryStatus_;

  SetUpSliders();
  discoveryLoaded_ = result.message.empty();
  if (onDiscovered) onDiscovered();
  if (!paintAfterDiscovery_) return;
  for (int i = 0; i < pavo::kParamSlots; ++i) settings_.property.value[i] = params[i].position;
  if (keepPositions_) {
    // The author's positions are painted at once, and the next update has nothing to repaint.
    settings_.width = size.position;
    cachedSize_ = size.position;
    for (int i = 0; i < pavo::kParamSlots; ++i) cachedParams_[i] = params[i].position;
  }
  Repaint();
}

// The sliders from the discovery's answers: the answered slots enabled with their ranges,
// labels and defaults, the others disabled at 0 of 0..100, the size slider at the script's
// size. A reload keeping positions puts back those of the slots that kept their labels, as
// they were at the last discovery that loaded the script, and leaves the size slider alone.
void CPreviewSession::SetUpSliders() {
  if (keepPositions_ && discoveryLoaded_) {
    for (int j = 0; j < pavo::kParamSlots; ++j) kept_[j] = params[j];
  }
  const pavo::CBrushProperty& property = settings_.property;
  for (int j = 0; j < pavo::kParamSlots; ++j) {
    TSlider& slider = params[j];
    if (j < property.count) {
      slider.enabled = true;
      slider.SetRange(property.minimum[j], property.maximum[j]);
      slider.SetPosition(property.value[j]);
      slider.label = property.name[j];
      if (kept_[j].enabled && kept_[j].label == slider.label) {
        slider.SetPosition(kept_[j].position);
      }
    } else {
      slider.enabled = false;
      slider.SetRange(0, 100);
      slider.SetPosition(0);
      slider.label.clear();
    }
  }
  if (!keepPositions_) size.SetPosition(SizeSliderPosition(settings_.defaultWidth));
}

void CPreviewSession::Repaint() {
  int32_t seed = 0;
  if (fixedSeed) {
    seed = static_cast<int32_t>(*fixedSeed);
  } else {
    pavo::SeedRandom(pavo::MilliClock());
    seed = static_cast<int32_t>(pavo::DrawRandom() % 100);
  }
  const TPositions now = Positions();
  const bool script = settings_.type == kScriptBrush;
  if (script && repaintStop_ && repaintStop_->positions == now) {
    ShowStopped(settings_.width, seed);
    return;
  }
  repaintStop_.reset();
  if (preview_ == nullptr || preview_->pixels == nullptr) {
    // Nothing to paint into: the repaint happens without pixels.
    worker_.CancelAll();
    Repainted(settings_.width, seed);
    return;
  }

  TJobRequest request = NewRequest(EJob::kRepaint);
  request.width = preview_->width;
  request.height = preview_->height;
  request.seed = seed;
  submitted_ = now;
  submittedWidth_ = settings_.width;
  submittedSeed_ = seed;
  if (script && discoveryStopped_) {
    // Not run again until reloaded: painted here as a script that fails to load, which runs
    // nothing of it.
    worker_.CancelAll();
    request.stopMessage = discoveryStopMessage_;
    TJobResult result;
    result.image = std::make_unique<pavo::CImage32>(pavo::CImage32::TNoSize{});
    RunJob(request, result, pavo::TScriptSinks{});
    result.stopped = false;  // the stop is discovery's, shown as its status already
    AfterRepaint(result);
    return;
  }
  worker_.Submit(std::move(request));
  repaintInFlight_ = true;
  repaintSentAt_ = std::chrono::steady_clock::now();
}

void CPreviewSession::AfterRepaint(TJobResult& result) {
  const pavo::CImage32* painted = result.image.get();
  if (preview_ != nullptr && painted != nullptr && painted->pixels != nullptr &&
      preview_->pixels != nullptr && preview_->width == painted->width &&
      preview_->height == painted->height) {
    for (int32_t y = 0; y < painted->height; ++y) {
      std::memcpy(preview_->RowAddress(y), painted->RowAddress(y),
                  static_cast<size_t>(painted->width) * 4);
    }
  }
  lastOutput_ = std::move(result.output);
  lastDebug_ = std::move(result.debugText);
  lastSeconds_ = result.seconds;
  lastMainCalls_ = result.mainCalls;
  lastScriptSeconds_ = result.scriptSeconds;
  if (result.stopped && settings_.type == kScriptBrush) {
    repaintStop_ =
        TRepaintStop{result.message, submitted_, painted != nullptr ? CopyOf(*painted) : nullptr};
    SetStatus(result.message);
  } else if (settings_.type == kScriptBrush) {
    SetStatus(discoveryStatus_);
  }
  Repainted(submittedWidth_, submittedSeed_);
}

// The repaint of a script stopped in an earlier repaint at the same positions: what it
// painted then, shown again.
void CPreviewSession::ShowStopped(double width, int32_t seed) {
  worker_.CancelAll();
  if (preview_ != nullptr && repaintStop_->painted != nullptr) {
    pavo::ShowOverBackground(*preview_, *repaintStop_->painted);
  }
  SetStatus(repaintStop_->message);
  Repainted(width, seed);
}

void CPreviewSession::Repainted(double width, int32_t seed) {
  repaintInFlight_ = false;
  shownAny_ = preview_ != nullptr && preview_->pixels != nullptr;
  ++repaintCount_;
  lastWidth_ = width;
  lastSeed_ = seed;
  if (onRepainted) onRepainted();
  // Positions a Follow held back while this repaint ran.
  if (followPending_) {
    followPending_ = false;
    Update(false);
  }
}

void CPreviewSession::SetStatus(const std::string& status) {
  if (status == status_) return;
  status_ = status;
  if (onStatus) onStatus();
}

}  // namespace quarnel

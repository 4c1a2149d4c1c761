#include "preview/PadSession.h"

#include <cstring>
#include <utility>

#include "geometry/Clock.h"
#include "geometry/Random.h"

namespace quarnel {

namespace {

// The preview's seed for a repaint: the generator seeded with the clock, one draw modulo 100;
// taken without disturbing the generator the preview runs on.
uint32_t ClockSeed() {
  const uint32_t saved = pavo::RandomState();
  pavo::SeedRandom(pavo::MilliClock());
  const uint32_t seed = pavo::DrawRandom() % 100;
  pavo::SetRandomState(saved);
  return seed;
}

TPadPoint Kept(const pavo::TStrokePoint& p) { return TPadPoint{p.x, p.y, p.pressure, p.time}; }

}  // namespace

CPadSession::CPadSession(const TJobLimits& limits) : worker_(limits) {
  worker_.SetSharesProcessState(false);
}

void CPadSession::SetViewSize(int32_t w, int32_t h) {
  if (!strokes_.empty() || penDown_ || (w == width_ && h == height_)) return;
  width_ = w;
  height_ = h;
  if (haveBrush_) Replay();
}

void CPadSession::SetBrush(const pavo::CBrushInfo& info) {
  info_ = info;
  haveBrush_ = true;
  Replay();
}

void CPadSession::Submit(TJobRequest request, CWorkerClient::ESubmit how) {
  request.info = info_;
  request.width = width_;
  request.height = height_;
  request.padGeneration = generation_;
  request.collectPrint = request.collectErrors = request.collectDebug = collectOutput;
  worker_.Submit(std::move(request), how);
}

void CPadSession::Replay() {
  if (width_ < 1 || height_ < 1) return;
  if (penDown_) {
    replayWanted_ = true;
    return;
  }
  ++generation_;
  TJobRequest request;
  request.kind = EJob::kPadReplay;
  request.seed = static_cast<int32_t>(fixedSeed ? *fixedSeed : ClockSeed());
  request.strokes = strokes_;
  Submit(std::move(request), CWorkerClient::ESubmit::kSupersede);
  padValid_ = true;
}

void CPadSession::SendPiece(int32_t flags, TPadStroke points) {
  TJobRequest request;
  request.kind = EJob::kPadPiece;
  request.piece = flags;
  request.strokes.push_back(std::move(points));
  Submit(std::move(request), CWorkerClient::ESubmit::kQueue);
}

void CPadSession::PenDown(double x, double y, double pressure, uint32_t time) {
  if (width_ < 1 || height_ < 1 || penDown_) return;
  // A pad the worker lost (it was stopped, or died) is painted again before the new stroke.
  if (!padValid_) Replay();
  penDown_ = true;
  status_.clear();
  filter_ = pavo::CStroke();
  current_.clear();
  pavo::TStrokePoint point;
  point.x = x;
  point.y = y;
  point.pressure = pressure;
  point.time = time;
  filter_.AddPoint(point, 1.0, false, true);
  for (const pavo::TStrokePoint& p : filter_.points) current_.push_back(Kept(p));
  SendPiece(kPieceBegins, current_);
}

void CPadSession::PenMove(double x, double y, double pressure, uint32_t time) {
  if (!penDown_) return;
  pavo::TStrokePoint point;
  point.x = x;
  point.y = y;
  point.pressure = pressure;
  point.time = time;
  if (!filter_.AddPoint(point, 1.0, false, false)) return;
  current_.push_back(Kept(filter_.points.back()));
  SendPiece(0, {current_.back()});
}

void CPadSession::PenUp() {
  if (!penDown_) return;
  SendPiece(kPieceEnds, {});
  strokes_.push_back(std::move(current_));
  current_.clear();
  penDown_ = false;
  if (replayWanted_) {
    replayWanted_ = false;
    Replay();
  }
}

void CPadSession::Clear() {
  penDown_ = false;
  replayWanted_ = false;
  strokes_.clear();
  current_.clear();
  Replay();
}

void CPadSession::Undo() {
  if (penDown_ || strokes_.empty()) return;
  strokes_.pop_back();
  Replay();
}

void CPadSession::Load(const TStrokeFile& file) {
  penDown_ = false;
  replayWanted_ = false;
  current_.clear();
  width_ = file.width;
  height_ = file.height;
  strokes_ = file.strokes;
  Replay();
}

TStrokeFile CPadSession::File() const {
  TStrokeFile file;
  file.width = width_;
  file.height = height_;
  file.strokes = strokes_;
  return file;
}

void CPadSession::HandleEvents() {
  TJobResult result;
  while (worker_.Poll(result)) Apply(result);
}

void CPadSession::WaitIdle() {
  TJobResult result;
  while (Busy() && worker_.Wait(result)) Apply(result);
}

bool CPadSession::ResizeImage() {
  if (image_ == nullptr) return false;
  if (image_->pixels != nullptr && image_->width == width_ && image_->height == height_) {
    return true;
  }
  return image_->Resize(width_, height_) && image_->pixels != nullptr;
}

void CPadSession::Apply(TJobResult& result) {
  if (result.stopped) {
    status_ = result.message;
  } else if (result.kind == EJob::kPadReplay) {
    status_.clear();
  }
  output_ = std::move(result.output);
  if (result.kind == EJob::kPadReplay) {
    ++replays_;
    replaySeconds_ = result.seconds;
  }
  // A piece for a pad the worker no longer holds painted nothing: the pad is shown as it was
  // and painted again at the next stroke.
  if (result.workerLost) padValid_ = false;
  if (result.padLost) {
    padValid_ = false;
  } else if (const pavo::CImage32* painted = result.image.get();
             painted != nullptr && painted->pixels != nullptr && painted->width == width_ &&
             painted->height == height_ && ResizeImage()) {
    for (int32_t y = 0; y < height_; ++y) {
      std::memcpy(image_->RowAddress(y), painted->RowAddress(y), static_cast<size_t>(width_) * 4);
    }
  }
  if (onChanged) onChanged();
}

}  // namespace quarnel

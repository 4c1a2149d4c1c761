#include "preview/PadCanvas.h"

#include "geometry/Random.h"
#include "preview/TestStroke.h"
#include "script/DabScript.h"
#include "script/ScriptGuard.h"

namespace quarnel {

namespace {

constexpr int32_t kScriptBrush = 11;
constexpr int32_t kPadDpi = 150;
// Segment k of a stroke is known for good once point k + 3 is: see PadCanvas.h.
constexpr int32_t kPointsAhead = 3;

// The pad's own generator and stroke counter in place of the process's, for as long as a
// stroke runs.
class CPadState {
 public:
  explicit CPadState(CPadCanvas& pad)
      : pad_(pad), savedState_(pavo::RandomState()), savedCounter_(pavo::strokeCounter) {
    pavo::SetRandomState(pad.randomState);
    pavo::strokeCounter = pad.strokeCounter;
  }
  ~CPadState() {
    pad_.randomState = pavo::RandomState();
    pad_.strokeCounter = pavo::strokeCounter;
    pavo::SetRandomState(savedState_);
    pavo::strokeCounter = savedCounter_;
  }
  CPadState(const CPadState&) = delete;
  CPadState& operator=(const CPadState&) = delete;

 private:
  CPadCanvas& pad_;
  uint32_t savedState_;
  int32_t savedCounter_;
};

void Append(pavo::CBrushStroke& stroke, const TPadStroke& points) {
  for (const TPadPoint& p : points) {
    pavo::TStrokePoint point;
    point.x = p.x;
    point.y = p.y;
    point.pressure = p.pressure;
    point.time = p.time;
    stroke.points.push_back(point);
  }
}

}  // namespace

CPadCanvas::CPadCanvas() = default;
CPadCanvas::~CPadCanvas() { Finish(); }

bool CPadCanvas::Reset(int32_t w, int32_t h, uint32_t seed) {
  Finish();
  width_ = height_ = 0;
  if (!canvas_.Resize(w, h) || !base_.Resize(w, h) || !coverage_.Resize(w, h)) return false;
  width_ = w;
  height_ = h;
  const CPadState swap(*this);
  pavo::SeedRandom(seed);
  pavo::strokeCounter = 0;
  return true;
}

void CPadCanvas::Begin(const pavo::CBrushInfo& info) {
  Finish();
  if (width_ < 1 || height_ < 1) return;
  info_ = info;
  // The canvas as it is before the stroke is what the stroke's merges restore from.
  pavo::TBltInfo32 copy;
  copy.mode = 0;
  pavo::BltLayer(base_, copy, 0, 0, canvas_, 0, 0, width_, height_);
  coverage_.FreeTiles();

  stroke_ = std::make_unique<pavo::CBrushStroke>();
  stroke_->SetBrushInfo(&info_);
  brush_ = std::make_unique<pavo::CMangaBrush>();
  brush_->SetCanvasInfo(width_, height_, kPadDpi, 0.0);
  brush_->SetBrushType(info_.type);
  brush_->SetLayers(&canvas_, &base_, &coverage_, nullptr);
  brush_->continuePieces = true;
  options_ = pavo::TStrokeOptions();
  options_.width = info_.WidthAtPressure(1.0);
  options_.foreColor = 0xff000000;
  options_.backColor = 0xffffffff;
  options_.antiAlias = true;
  drawnTo_ = 0;
  stopped_ = false;
}

void CPadCanvas::DrawTo(int32_t end) {
  if (end <= drawnTo_ || stopped_) return;
  const CPadState swap(*this);
  pavo::NRECT painted;
  brush_->StrokeDraw(*stroke_, painted, options_, drawnTo_, end);
  drawnTo_ = end;
  stopped_ = pavo::ScriptJobStopped();
}

void CPadCanvas::Extend(const TPadStroke& points) {
  if (brush_ == nullptr) return;
  Append(*stroke_, points);
  DrawTo(stroke_->Count() - kPointsAhead);
}

void CPadCanvas::Finish() {
  if (brush_ == nullptr) return;
  const int32_t n = stroke_->Count();
  if (n > 0) {
    DrawTo(n - 1);
    if (info_.type == kScriptBrush && !stopped_) {
      const CPadState swap(*this);
      const pavo::TStrokePoint last = stroke_->PointAt(n - 1);
      pavo::RunLastScript(*brush_, *stroke_, last.x, last.y, last.pressure);
    }
  }
  {
    const CPadState swap(*this);
    brush_.reset();  // closes the script state
  }
  stroke_.reset();
}

void CPadCanvas::PaintStroke(const pavo::CBrushInfo& info, const TPadStroke& points) {
  Begin(info);
  if (brush_ == nullptr) return;
  Append(*stroke_, points);
  Finish();
}

void CPadCanvas::Compose(pavo::CImage32& image) const {
  if (image.pixels == nullptr) return;
  pavo::FillPreviewBackground(image);
  if (width_ < 1 || height_ < 1) return;
  pavo::TBltInfo32 blt;
  blt.mode = 28;  // normal over, straight alpha
  blt.opacity = 255;
  pavo::BltToImage(blt, image, 0, 0, const_cast<pavo::CImageTile32&>(canvas_));
}

}  // namespace quarnel

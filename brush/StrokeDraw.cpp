// Walking one stroke: a real-valued parameter t runs from the start index towards the end
// index; every step samples the spline, works out radius and opacity, measures the distance
// to the last dab that drew and hands the step to the dab renderer of the brush type.
#include <cmath>

#include "brush/BrushInfo.h"
#include "brush/MangaBrush.h"
#include "brush/StrokeStep.h"

namespace pavo {

namespace {

// trunc(v) for an opacity computation; NaN gives 0 and the result is held in int32.
inline int32_t TruncOpacity(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

bool CMangaBrush::StrokeDraw(CBrushStroke& stroke, NRECT& r, const TStrokeOptions& options,
                             int32_t start, int32_t end) {
  const bool resumes = continuePieces && start == lastEndIndex && walkResume >= start;
  const double resumeAt = walkResume;
  if (start < lastEndIndex) {
    firstDabPending = true;
    lastDrawRect = NRECT();
  }
  lastEndIndex = end;
  walkResume = -1.0;

  const CBrushInfo* info = stroke.GetBrushInfo();
  if (info == nullptr) {  // no settings, no radius: nothing can be drawn
    r = NRECT();
    return false;
  }

  if (firstDabPending && stroke.Count() > 0) {
    if (type == kBrushScript) ++strokeCounter;
    lastDabX = stroke.points[0].x;
    lastDabY = stroke.points[0].y;
  }

  const TScriptBrushHooks& script = ScriptBrushHooks();
  TDabState dab;
  if (resumes) {
    dab.sampleStepX = walkStepX;
    dab.sampleStepY = walkStepY;
  }
  dab.stroke = &stroke;
  dab.options = &options;
  dab.halfWidthMax = info->ApplyPressureToWidth(options.width, 1.0) * 0.5;
  dab.halfWidthMin = info->ApplyPressureToWidth(options.width, 0.0) * 0.5;

  // t advances by repeated addition, so the rounding of every addition carries into the
  // next step (a walk from 0 to 3 in steps of 0.01 makes 301 steps).
  double t = resumes ? resumeAt : start;
  bool result = false;
  while (t < end) {
    const int32_t i = static_cast<int32_t>(t);  // start <= t < end: inside int32
    const double f = t - i;
    double x = 0.0, y = 0.0, p = 0.0, len = 0.0;
    if (!stroke.SampleSpline(i, f, x, y, p, len)) return false;
    if (len < 0.1) len = 0.1;

    if (p < 0.0) p = 0.0;
    if (p > 1.0) p = 1.0;
    p = info->ApplyGamma(p);

    double hw = info->ApplyPressureToWidth(options.width, p) * 0.5;
    if (hw < 0.1) hw = 0.1;

    int32_t opacity = TruncOpacity(info->opacity * 255.0 + 0.45);
    if (info->pressureOpacity) opacity = TruncOpacity(opacity * p + 0.45);

    const double dx = x - lastDabX;
    const double dy = y - lastDabY;
    ChooseSampling(dab, std::fabs(dx), std::fabs(dy), hw);
    const double distance = std::sqrt(dx * dx + dy * dy);
    const double ratio = firstDabPending ? 1.0 : distance / hw;

    dab.halfWidth = hw;
    dab.x = x;
    dab.y = y;
    dab.opacity = opacity;
    bool drawn = false;
    if (type == kBrushPlain) {
      PaintCircularDab(dab, ratio, drawn);
    } else if (type == kBrushScript && script.renderDab != nullptr) {
      script.renderDab(*this, dab, i, ratio, t, drawn);
    }
    if (drawn) {
      firstDabPending = false;
      result = true;
    }

    // A step too small to change t (a chord of astronomic or infinite length) or a NaN
    // would walk forever; the walk ends instead.
    const double next = t + ParameterStep(dab.scriptStep, hw, len);
    if (drawn) {
      lastDabX = x;
      lastDabY = y;
    }
    if (!(next > t)) break;
    t = next;
  }
  if (t >= end) {
    walkResume = t;
    walkStepX = dab.sampleStepX;
    walkStepY = dab.sampleStepY;
  }

  NRECT painted = dab.rect;
  if (dab.scriptStep) {
    painted = dab.scriptRect;
    painted.Inflate(2, 2);
  }
  r = painted;
  if (painted.IsEmpty()) return false;

  if (targetDepth == 32 &&
      (type == kBrushPlain || (type == kBrushScript && drawMode == kDrawCoverage))) {
    MergeStrokeLayer(*this, painted, options);
  }
  stroke.dirtyRect.Union(painted);
  lastDrawRect = painted;
  return result;
}

}  // namespace pavo

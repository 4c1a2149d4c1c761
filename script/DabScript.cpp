// The dab callback of the script brush: prepares what the query functions report about the
// current dab and calls the script's main; after the stroke, its optional last.
#include "script/DabScript.h"

#include <cmath>

#include "brush/MangaBrush.h"
#include "script/ScriptCall.h"
#include "script/ScriptHost.h"
#include "script/ScriptLoad.h"

namespace pavo {

namespace {

constexpr double kQuarterTurn = 1.5707963267948966;
constexpr uint32_t kCrossColour = 0xFFFF0000;  // opaque red

void FillArm(CMangaBrush& brush, double x0, double y0, double x1, double y1, double x2, double y2,
             double x3, double y3) {
  try {
    TPolygon& crossArm = ScriptHost().scratch.crossArm;
    crossArm.clear();
    crossArm.emplace_back(x0, y0);
    crossArm.emplace_back(x1, y1);
    crossArm.emplace_back(x2, y2);
    crossArm.emplace_back(x3, y3);
    brush.FillShape(crossArm, kCrossColour, 255);
  } catch (...) {
  }
}

// The mark of a script that failed to load: a red X of size D = max(halfWidth, 20), painted
// at the first dab and then whenever the brush has moved more than 1.3 D since the last one.
void PaintFallbackCross(CMangaBrush& brush, const TDabState& dab, double x, double y, bool& drawn) {
  const double d = dab.halfWidth < 20.0 ? 20.0 : dab.halfWidth;
  const double dx = x - brush.lastDabX;
  const double dy = y - brush.lastDabY;
  if (!brush.firstDabPending && !(d * 1.3 < std::sqrt(dx * dx + dy * dy))) {
    drawn = false;
    return;
  }
  FillArm(brush, x + 0.3 * d, y - 0.5 * d, x + 0.5 * d, y - 0.3 * d, x - 0.3 * d, y + 0.5 * d,
          x - 0.5 * d, y + 0.3 * d);
  FillArm(brush, x - 0.3 * d, y - 0.5 * d, x - 0.5 * d, y - 0.3 * d, x + 0.3 * d, y + 0.5 * d,
          x + 0.5 * d, y + 0.3 * d);
}

// Calls the global `name` with (x, y, p) and one result, which is dropped; errors are
// swallowed (and handed to the error sink, if any).
void CallWithPoint(CMangaBrush& brush, const char* name, double x, double y, double p,
                   bool onlyFunction) {
  TScriptCall call;
  call.name = name;
  call.args[0] = x;
  call.args[1] = y;
  call.args[2] = p;
  call.argCount = 3;
  call.resultCount = 1;
  call.onlyFunction = onlyFunction;
  CallScriptGlobal(brush.lua, call, true);
}

}  // namespace

void RunDabScript(CMangaBrush& brush, TDabState& dab, int32_t segment, double ratio, double t,
                  bool& drawn) {
  if (brush.type != kBrushScript) return;
  dab.scriptStep = true;  // the loop then advances t by exactly 0.01
  if (!brush.firstDabPending && ratio < 0.01) return;
  if (dab.stroke == nullptr) return;
  CBrushStroke& stroke = *dab.stroke;

  const double f = t - std::trunc(t);
  double x = 0.0, y = 0.0, p = 0.0, length = 0.0;
  stroke.SampleSpline(segment, f, x, y, p, length);
  if (brush.firstDabPending) LoadScript(brush, stroke);

  // The direction comes from a second sample 0.01 further on, in the next segment when the
  // fraction wraps.
  const double t2 = t + 0.01;
  const double f2 = t2 - std::trunc(t2);
  double x2 = 0.0, y2 = 0.0, p2 = 0.0;
  stroke.SampleSpline(f2 < f ? segment + 1 : segment, f2, x2, y2, p2, length);
  double dx = x2 - x;
  double dy = y2 - y;
  const double squared = dx * dx + dy * dy;
  if (squared != 0.0) {
    const double l = std::sqrt(squared);
    if (l != 0.0) {
      dx /= l;
      dy /= l;
    }
  }
  brush.dirX = dx;
  brush.dirY = dy;
  // Turned a quarter clockwise on screen: (1, 0) becomes (0, 1), pointing down.
  const double c = std::cos(kQuarterTurn);
  const double s = std::sin(kQuarterTurn);
  brush.normalX = dx * c - dy * s;
  brush.normalY = dx * s + dy * c;

  if (dab.options != nullptr) {
    brush.foreColor = dab.options->foreColor;
    brush.backColor = dab.options->backColor;
    brush.antiAlias = dab.options->antiAlias;
  }
  if (const CBrushInfo* info = stroke.GetBrushInfo()) brush.dabOpacity = info->opacity;
  brush.dabOffsetX = brush.layerOffsetX;
  brush.dabOffsetY = brush.layerOffsetY;
  brush.dabWidth = 2.0 * dab.halfWidth;
  brush.dabWidthMax = 2.0 * dab.halfWidthMax;
  brush.dabWidthMin = 2.0 * dab.halfWidthMin;
  brush.dabRect = NRECT();
  drawn = true;

  if (brush.scriptLoaded) {
    // What main drew before an error stays, and the dab still counts as drawn.
    CallWithPoint(brush, "main", x, y, p, false);
  } else {
    PaintFallbackCross(brush, dab, x, y, drawn);
  }
  dab.scriptRect.Union(brush.dabRect);
}

// The script brush enters the brush engine here, when the program starts. Nothing else refers
// to this object, so every program linking the engine names this symbol as undefined
// (CMakeLists.txt), which keeps the object in the link.
extern "C" const bool pavoScriptBrushInstalled = [] {
  SetScriptBrushHooks({RunDabScript, CloseScript});
  return true;
}();

void RunLastScript(CMangaBrush& brush, CBrushStroke& stroke, double x, double y, double p) {
  if (brush.firstDabPending) LoadScript(brush, stroke);
  if (const CBrushInfo* info = stroke.GetBrushInfo()) {
    brush.dabWidth = info->WidthAtPressure(1.0);
    brush.dabWidthMax = brush.dabWidth;
    brush.dabWidthMin = info->WidthAtPressure(0.0);
    brush.dabOpacity = info->opacity;
  }
  if (!brush.scriptLoaded) return;
  CallWithPoint(brush, "last", x, y, p, true);
}

}  // namespace pavo

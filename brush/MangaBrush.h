// The brush engine object: bound to tiled layers, it walks one stroke (StrokeDraw), hands
// every step to the dab renderer of its type (the plain round brush, the script brush), holds
// the interpreter state of the loaded script and every value the script API reports.
//
// Life cycle: construct -> SetCanvasInfo, SetBrushType, SetLayers -> StrokeDraw (the script
// is loaded at the first dab) -> RunLastScript for a script brush -> destroy (closes the
// interpreter state). The layers belong to the caller and are never freed here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "brush/BrushInfo.h"
#include "brush/Stroke.h"
#include "geometry/Bezier.h"
#include "geometry/Rect.h"
#include "geometry/StringMerge.h"
#include "geometry/Vector2.h"
#include "imaging/ImageTile.h"

struct lua_State;

namespace pavo {

// The options of one stroke drawing call.
struct TStrokeOptions {
  double width = 10.0;  // stroke width before pressure
  uint32_t foreColor = 0xff000000;
  uint32_t backColor = 0xffffffff;
  bool antiAlias = true;
};

// Per-call dab state handed to the dab renderers.
struct TDabState {
  CBrushStroke* stroke = nullptr;
  const TStrokeOptions* options = nullptr;
  int32_t sampleGrid = 5;
  int32_t sampleStepX = 1;
  int32_t sampleStepY = 1;
  double halfWidth = 1.0;
  double halfWidthMax = 0.0;
  double halfWidthMin = 0.0;
  double x = 0.0;
  double y = 0.0;
  int32_t opacity = 255;
  NRECT rect;  // circular dabs painted during the call
  bool scriptStep = false;
  NRECT scriptRect;  // areas painted by the script during the call
};

class CMangaBrush {
 public:
  int32_t type = kBrushUnset;
  int32_t targetDepth = 0;
  CImageTile32* canvasLayer = nullptr;
  CImageTile32* baseLayer = nullptr;
  CImageTile8* strokeLayer = nullptr;
  CImageTile8* maskLayer = nullptr;
  int32_t layerOffsetX = 0;
  int32_t layerOffsetY = 0;
  double lastDabX = 0.0;
  double lastDabY = 0.0;
  NRECT lastDrawRect;
  int32_t lastEndIndex = 0;
  bool firstDabPending = true;
  // Drawing one stroke in pieces as its points arrive: when set, a StrokeDraw that starts where
  // the last one ended takes up the walk at the parameter where that one stopped (the first
  // step at or past its end) and with the disc sampling it had, instead of at the start index
  // afresh, so the pieces step exactly where one call over the whole range would. Off by
  // default: every call then starts at its start.
  bool continuePieces = false;
  double walkResume = -1.0;  // where the last walk stopped; below 0 when it cannot go on
  int32_t walkStepX = 1;     // and the disc sampling steps it had left there
  int32_t walkStepY = 1;
  lua_State* lua = nullptr;  // owned; closed by CloseScript
  bool scriptLoaded = false;
  NRECT dabRect;
  bool antiAlias = true;
  std::unique_ptr<CImageTile32> work32;
  std::unique_ptr<CImageTile8> work8;
  std::unique_ptr<CImageTile1> work1;
  double dirX = 0.0, dirY = 0.0;
  double normalX = 0.0, normalY = 0.0;
  TPolygon polygon;
  CBezierPath path;
  uint32_t foreColor = 0;
  uint32_t backColor = 0;
  int32_t canvasWidth = 1;
  int32_t canvasHeight = 1;
  int32_t canvasDpi = 600;
  double canvasAngle = 0.0;
  double dabWidth = 1.0;
  double dabWidthMax = 1.0;
  double dabWidthMin = 0.5;
  double dabOpacity = 1.0;
  int32_t paramValue[kParamSlots] = {};
  double baseX = -1.0;
  double baseY = -1.0;
  int32_t dabOffsetX = 0;
  int32_t dabOffsetY = 0;
  CStringMerge debugLog;
  std::string loadError;

  CMangaBrush();
  ~CMangaBrush();
  CMangaBrush(const CMangaBrush&) = delete;
  CMangaBrush& operator=(const CMangaBrush&) = delete;

  void SetCanvasInfo(int32_t width, int32_t height, int32_t dpi, double angle);
  void SetBrushType(int32_t t) { type = t; }
  int32_t GetBrushType() const { return type; }
  void SetLayerOffset(int32_t x, int32_t y);
  void SetLayers(CImageTile32* canvas, CImageTile32* base, CImageTile8* stroke, CImageTile8* mask);

  // Draws the stroke from point index start up to end; r receives the painted area with its
  // margins. False when nothing was painted.
  bool StrokeDraw(CBrushStroke& stroke, NRECT& r, const TStrokeOptions& options, int32_t start,
                  int32_t end);

  // Painting primitives (draw mode 0: into the canvas; 1: coverage into the stroke layer).
  void PaintCircularDab(TDabState& dab, double ratio, bool& drawn);
  void FillShape(const TPolygon& polygon, uint32_t colour, uint8_t opacity);
  void FillPath(const TContours& contours, uint32_t colour, uint8_t opacity);
  void PaintRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, uint8_t opacity);
  void PaintDisc(double cx, double cy, double r, uint32_t colour, uint8_t opacity, bool falloff,
                 double falloffPower);
  void PaintPixel(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue, int32_t opacity);
  uint32_t ReadPixel(int32_t x, int32_t y) const;
  uint32_t ReadPixelAlpha(int32_t x, int32_t y) const;
};

// The script brush lives in script/, above the engine, and hands the engine its two entry
// points when the program starts: the dab renderer of kBrushScript steps and the closing of a
// brush's interpreter state (run by the brush's destructor). Until then a script-brush step
// paints nothing.
struct TScriptBrushHooks {
  void (*renderDab)(CMangaBrush& brush, TDabState& dab, int32_t segment, double ratio, double t,
                    bool& drawn) = nullptr;
  void (*closeState)(CMangaBrush& brush) = nullptr;
};
void SetScriptBrushHooks(const TScriptBrushHooks& hooks);
const TScriptBrushHooks& ScriptBrushHooks();

// Re-composites the canvas inside r: restore from the base layer, then paint the stroke
// layer's coverage in options.foreColor.
void MergeStrokeLayer(CMangaBrush& brush, const NRECT& r, const TStrokeOptions& options);

// Where a script's shapes go (drawMode).
enum TDrawMode : int32_t {
  kDrawCanvas = 0,    // in their colour straight into the canvas layer
  kDrawCoverage = 1,  // as coverage into the stroke layer, merged after the stroke
};

// Process-wide script state, used by the thread that paints only.
extern CMangaBrush* currentBrush;  // the brush that loaded last; never cleared
extern int32_t drawMode;           // a TDrawMode; kDrawCanvas after every load
extern int32_t strokeCounter;      // script-brush strokes begun; never reset

}  // namespace pavo

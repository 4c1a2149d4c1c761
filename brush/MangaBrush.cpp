// The brush engine object: construction, destruction and binding. Every member's value after
// construction is given where the member is declared.
#include "brush/MangaBrush.h"

namespace pavo {

CMangaBrush* currentBrush = nullptr;
int32_t drawMode = kDrawCanvas;
int32_t strokeCounter = 0;

namespace {

TScriptBrushHooks scriptBrushHooks;

}  // namespace

void SetScriptBrushHooks(const TScriptBrushHooks& hooks) { scriptBrushHooks = hooks; }

const TScriptBrushHooks& ScriptBrushHooks() { return scriptBrushHooks; }

CMangaBrush::CMangaBrush() { SetLayerOffset(0, 0); }

// The interpreter state and the work layers are the brush's own; the bound layers belong to
// the caller and are left alone. The remaining members release themselves.
CMangaBrush::~CMangaBrush() {
  if (scriptBrushHooks.closeState != nullptr) scriptBrushHooks.closeState(*this);
}

void CMangaBrush::SetCanvasInfo(int32_t width, int32_t height, int32_t dpi, double angle) {
  canvasWidth = width;
  canvasHeight = height;
  canvasDpi = dpi;
  canvasAngle = angle;
}

void CMangaBrush::SetLayerOffset(int32_t x, int32_t y) {
  layerOffsetX = x;
  layerOffsetY = y;
}

// Unbinds everything first, so that no layer of an earlier binding survives a rebinding.
void CMangaBrush::SetLayers(CImageTile32* canvas, CImageTile32* base, CImageTile8* stroke,
                            CImageTile8* mask) {
  canvasLayer = nullptr;
  baseLayer = nullptr;
  strokeLayer = nullptr;
  maskLayer = nullptr;
  targetDepth = 0;

  targetDepth = 32;
  canvasLayer = canvas;
  baseLayer = base;
  strokeLayer = stroke;
  maskLayer = mask;
}

}  // namespace pavo

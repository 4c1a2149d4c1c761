// The window's controls as the renderer reproduces them: the size slider and the ten
// parameter sliders, set up from a discovery exactly as the window does after a drop, so
// that the renderer paints the repaint the window makes once its sliders have settled.
#pragma once

#include <cstdint>
#include <string>

#include "app/PreviewWorker.h"
#include "brush/BrushInfo.h"

namespace quarnel {

// A slider keeps its position inside its range.
struct TSlider {
  int32_t minimum = 0;
  int32_t maximum = 100;
  int32_t position = 0;
  bool enabled = false;

  void SetRange(int32_t lo, int32_t hi);
  void SetPosition(int64_t p);
};

struct TSliderPanel {
  TSlider size{2, 500, 15, true};  // the window's size slider at start
  TSlider params[pavo::kParamSlots];
};

// The size slider's position for a discovered size: truncated toward zero, kept in 2..500
// (a size that is not a number leaves it at the bottom of its range).
int32_t SizeSliderPosition(double size);

// The window's reload: path and type 11 into info, discovery, then the sliders set up from
// the answers (the first count sliders get their slot's range and value, the others are
// disabled at 0 with range 0..100, the size slider follows the discovered size). Returns the
// status text: "OK" or the interpreter's message, as bytes. Discovery runs under `limits`,
// in a worker process unless they say otherwise.
std::string DiscoverIntoPanel(pavo::CBrushInfo& info, const std::string& path, TSliderPanel& panel,
                              const TJobLimits& limits = TJobLimits(), bool* stopped = nullptr);

// The window's repaint step: width from the size slider, the pressure box, and the ten slot
// values from the slider positions.
void ApplyPanel(const TSliderPanel& panel, bool pressure, pavo::CBrushInfo& info);

}  // namespace quarnel

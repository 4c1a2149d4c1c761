#include "cli/Sliders.h"

#include <cmath>

#include "script/Discovery.h"

namespace quarnel {

void TSlider::SetRange(int32_t lo, int32_t hi) {
  minimum = lo;
  maximum = hi < lo ? lo : hi;
  SetPosition(position);
}

void TSlider::SetPosition(int64_t p) {
  if (p < minimum) p = minimum;
  if (p > maximum) p = maximum;
  position = static_cast<int32_t>(p);
}

int32_t SizeSliderPosition(double size) {
  if (std::isnan(size) || size < 2.0) return 2;
  if (size > 500.0) return 500;
  return static_cast<int32_t>(size);  // truncation toward zero
}

std::string DiscoverIntoPanel(pavo::CBrushInfo& info, const std::string& path, TSliderPanel& panel,
                              const TJobLimits& limits, bool* stopped) {
  info.SetType(11);
  info.scriptPath = path;
  std::string status = DiscoverInWorker(info, limits, stopped);
  if (status.empty()) status = "OK";
  const int32_t count = info.property.count;
  for (int32_t j = 0; j < pavo::kParamSlots; ++j) {
    TSlider& slider = panel.params[j];
    if (j < count) {
      slider.enabled = true;
      slider.SetRange(info.property.minimum[j], info.property.maximum[j]);
      slider.SetPosition(info.property.value[j]);
    } else {
      slider.enabled = false;
      slider.SetRange(0, 100);
      slider.SetPosition(0);
    }
  }
  panel.size.SetPosition(SizeSliderPosition(info.defaultWidth));
  return status;
}

void ApplyPanel(const TSliderPanel& panel, bool pressure, pavo::CBrushInfo& info) {
  info.width = panel.size.position;
  info.pressureSize = pressure;
  for (int32_t i = 0; i < pavo::kParamSlots; ++i) info.property.value[i] = panel.params[i].position;
}

}  // namespace quarnel

#include "preview/Slider.h"

#include <cmath>

namespace quarnel {

int32_t SizeSliderPosition(double size) {
  if (std::isnan(size) || size < kSizeSliderMin) return kSizeSliderMin;
  if (size > kSizeSliderMax) return kSizeSliderMax;
  return static_cast<int32_t>(size);  // truncation toward zero
}

}  // namespace quarnel

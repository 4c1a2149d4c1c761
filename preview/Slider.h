// A slider of the preview's controls as the session keeps it: its range, its position (always
// inside the range, as a track bar keeps it), whether it can be moved, and its label.
#pragma once

#include <cstdint>
#include <string>

namespace quarnel {

struct TSlider {
  int32_t minimum = 0;
  int32_t maximum = 100;
  int32_t position = 0;
  bool enabled = false;
  std::string label;  // the script's bytes; empty for a slider without a parameter

  // A reversed range collapses to its minimum.
  void SetRange(int32_t lo, int32_t hi) {
    minimum = lo;
    maximum = hi < lo ? lo : hi;
    SetPosition(position);
  }
  void SetPosition(int64_t p) {
    if (p < minimum) p = minimum;
    if (p > maximum) p = maximum;
    position = static_cast<int32_t>(p);
  }
};

// The size slider's range and its position at start.
constexpr int32_t kSizeSliderMin = 2;
constexpr int32_t kSizeSliderMax = 500;
constexpr int32_t kSizeSliderStart = 15;

// The size slider's position for a discovered size: truncated toward zero, kept in 2..500
// (a size that is not a number leaves it at the bottom of its range).
int32_t SizeSliderPosition(double size);

}  // namespace quarnel

#include "brush/BrushInfo.h"

#include <cmath>

namespace pavo {

void CBrushProperty::ResetSlot(int32_t i) {
  if (i < 0 || i >= kParamSlots) return;
  name[i] = "name";
  hint[i] = "hint";
  defaultValue[i] = 50;
  minimum[i] = 0;
  maximum[i] = 100;
  value[i] = defaultValue[i];
}

void CBrushProperty::ResetAll() {
  count = 0;
  for (int32_t i = 0; i < kParamSlots; ++i) ResetSlot(i);
}

void CBrushProperty::ClampValues() {
  // Raised first, lowered second: a slot whose minimum exceeds its maximum ends at the maximum.
  for (int32_t i = 0; i < kParamSlots; ++i) {
    if (value[i] < minimum[i]) value[i] = minimum[i];
    if (value[i] > maximum[i]) value[i] = maximum[i];
  }
}

void CBrushInfo::SetType(int32_t newType) {
  if (type == newType) return;  // the parameter count of the same kind survives
  type = newType;
  property.count = 0;
}

double CBrushInfo::ApplyPressureToWidth(double size, double pressure) const {
  if (!pressureSize) return size;
  // Linear from size * minWidthRatio at pressure 0 to size at pressure 1; not clamped.
  return (1.0 - minWidthRatio) * size * pressure + size * minWidthRatio;
}

double CBrushInfo::ApplyGamma(double pressure) const {
  if (pressure < 0.0) return 0.0;
  return std::pow(pressure, pressureGamma);
}

}  // namespace pavo

// The brush settings record and its table of ten script parameters. Text fields are byte
// strings as scripts produce them; the window decodes them for display.
#pragma once

#include <cstdint>
#include <string>

namespace pavo {

constexpr int kParamSlots = 10;

// The brush types of CBrushInfo::type and CMangaBrush::type.
enum TBrushType : int32_t {
  kBrushPlain = 0,    // circular dabs of coverage into the stroke layer
  kBrushScript = 11,  // a brush script paints every dab
  kBrushUnset = 16,   // a brush engine's type until one is set: its steps paint nothing
};

class CBrushProperty {
 public:
  int32_t count = 0;  // parameter functions that answered during the last discovery
  std::string name[kParamSlots];
  std::string hint[kParamSlots];
  int32_t value[kParamSlots];
  int32_t minimum[kParamSlots];
  int32_t maximum[kParamSlots];
  int32_t defaultValue[kParamSlots];

  CBrushProperty() { ResetAll(); }
  void ResetSlot(int32_t i);
  void ResetAll();
  // Each value raised to its minimum, then lowered to its maximum.
  void ClampValues();
};

class CBrushInfo {
 public:
  int32_t type = kBrushPlain;
  std::string name = "NONAME";
  double width = 10.0;
  double defaultWidth = 10.0;
  double opacity = 1.0;
  double minWidthRatio = 0.0;
  bool pressureSize = true;
  bool pressureOpacity = false;
  double pressureGamma = 1.0;
  CBrushProperty property;
  std::string scriptPath;
  bool useBase = false;

  // Changes the type and zeroes the parameter count only when the type differs.
  void SetType(int32_t newType);
  double WidthAtPressure(double pressure) const { return ApplyPressureToWidth(width, pressure); }
  // (1 - minWidthRatio) * size * pressure + size * minWidthRatio when pressureSize; else size.
  double ApplyPressureToWidth(double size, double pressure) const;
  // 0 below 0, else pressure ^ pressureGamma.
  double ApplyGamma(double pressure) const;
};

}  // namespace pavo

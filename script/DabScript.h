// The dab callback of the script brush (runs `main` once per dab) and the call of `last`
// after the stroke.
#pragma once

#include <cstdint>

namespace pavo {

class CMangaBrush;
class CBrushStroke;
struct TDabState;

// Does nothing unless brush.type is kBrushScript.
void RunDabScript(CMangaBrush& brush, TDabState& dab, int32_t segment, double ratio, double t,
                  bool& drawn);
void RunLastScript(CMangaBrush& brush, CBrushStroke& stroke, double x, double y, double p);

}  // namespace pavo

// The dab callback of the script brush.
#include "script/DabScript.h"

#include "brush/MangaBrush.h"

namespace pavo {

void RunDabScript(CMangaBrush& brush, TDabState& dab, int32_t segment, double ratio, double t,
                  bool& drawn) {
  (void)brush;
  (void)dab;
  (void)segment;
  (void)ratio;
  (void)t;
  (void)drawn;
}

void RunLastScript(CMangaBrush& brush, CBrushStroke& stroke, double x, double y, double p) {
  (void)brush;
  (void)stroke;
  (void)x;
  (void)y;
  (void)p;
}

}  // namespace pavo

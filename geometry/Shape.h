// Polygon outlines built from a geometric description (the script's non-circular ellipse).
#pragma once

#include "geometry/Rect.h"
#include "geometry/Vector2.h"

namespace pavo {

class CShape {
 public:
  TPolygon points;
  NRECT bounds;  // kept for layout; the ellipse construction does not use it

  // Replaces the points by 32..512 vertices on the ellipse centred on (cx, cy) with full
  // width and height, turned by angle (radians) about its centre.
  void SetEllipse(double cx, double cy, double width, double height, double angle);
};

}  // namespace pavo

// A 2-D point or vector. Polygons are ordered lists of these, closed implicitly.
#pragma once

#include <vector>

namespace pavo {

template <class T>
struct CVector2 {
  T x = T();
  T y = T();

  CVector2() = default;
  CVector2(T x_, T y_) : x(x_), y(y_) {}
  bool operator==(const CVector2&) const = default;
};

using TPolygon = std::vector<CVector2<double>>;
using TContours = std::vector<TPolygon>;

}  // namespace pavo

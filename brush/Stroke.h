// The stroke model: input points, the point filter, and the spline through the points.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Rect.h"

namespace pavo {

class CBrushInfo;

struct TStrokePoint {
  double x = 0.0;
  double y = 0.0;
  double pressure = 0.0;
  uint64_t reserved[3] = {0, 0, 0};
  uint32_t time = 0;
};

class CStroke {
 public:
  NRECT dirtyRect;
  std::vector<TStrokePoint> points;
  uint32_t minIntervalMs = 50;
  double minDistance = 5.0;

  // Filters and appends the point (it reads the millisecond clock once eight points are in);
  // false when rejected.
  bool AddPoint(const TStrokePoint& point, double scale, bool force, bool first);
  int32_t Count() const { return static_cast<int32_t>(points.size()); }
  // The point at index, clamped into 0 .. Count() - 1; a zero point for an empty stroke.
  TStrokePoint PointAt(int32_t index) const;
  // Position and pressure at fraction t of the segment from point segment to segment + 1,
  // and that segment's chord length. Always true.
  bool SampleSpline(int32_t segment, double t, double& x, double& y, double& pressure,
                    double& length) const;
};

class CBrushStroke : public CStroke {
 public:
  CBrushInfo* brushInfo = nullptr;  // not owned

  void SetBrushInfo(CBrushInfo* info) { brushInfo = info; }
  CBrushInfo* GetBrushInfo() const { return brushInfo; }
};

}  // namespace pavo

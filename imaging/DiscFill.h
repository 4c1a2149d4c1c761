// The anti-aliased disc rasteriser: coverage in eighths of a pixel for the edge
// classification, a caller-chosen sampling grid for partly covered pixels, an optional
// radial falloff table, and a threaded path for large 8-bit discs.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Rect.h"
#include "imaging/ImageTile.h"

namespace pavo {

struct TDiscInfo {
  uint8_t value = 255;  // painted into 8-bit layers
  uint32_t colour = 0;  // painted into 32-bit layers
  uint8_t opacity = 255;
  bool antiAlias = true;  // off: a partly covered pixel is full (coverage >= 128) or skipped
  int32_t grid = 4;       // samples per pixel side for partly covered pixels
  int32_t stepX = 1;
  int32_t stepY = 1;
  bool maxMode = false;  // 8-bit: keep the larger of old and new value
  bool falloff = false;
  double falloffPower = 1.0;  // clamped to 1..100 when the table is built
};

// Per-disc state shared by every row; TBpp is TBpp8 or TBpp32.
template <class TBpp>
struct CFillLineInfo {
  int32_t centreX8 = 0, centreY8 = 0;
  int32_t rowX8 = 0, rowY8 = 0;
  int32_t radiusSq8 = 0;
  int32_t innerSq8 = 0;
  int32_t grid = 0, stepX = 0, stepY = 0;
  // 64-bit: grid * r and grid * cx leave 32 bits for large grids and canvases.
  int64_t gridRadius = 0, gridRadiusSq = 0;
  int64_t gridCentreX = 0, gridCentreY = 0;
  bool maxMode = false;
  int32_t maxValue = 0;
  bool small = false;
  uint32_t paint = 0;
  std::vector<int32_t> falloffTable;
  int32_t tableScale = 0;
  TDiscInfo info;
  NRECT rect;
  // False for the workers of the threaded path: their tiles were made before they started,
  // and a tile still missing (no memory) is skipped rather than created concurrently.
  bool createTiles = true;
  // Optional, for sampling with stepY 1: entry (x - rect.x) * kx + k, kx = ceil(grid /
  // stepX), is the reach of sample column k of pixel x (px = grid * x + k * stepX -
  // gridCentreX): the largest m with px^2 + m^2 < gridRadiusSq, or -1. The fills make it
  // (the array outlives the fill's rows); a record without it samples by arithmetic alone.
  const int32_t* sampleReach = nullptr;
  // The reach of the last corner line the row kernel worked out (a row's bottom line is the
  // next row's top line), for the line reachLineDy of a disc of radiusSq8 reachLineRadiusSq8.
  int64_t reachLineDy = INT64_MIN, reachLine = 0;
  int32_t reachLineRadiusSq8 = -1;
};

// Radius 100 or more: FillDiscParallel, which splits the disc only where that is faster;
// otherwise FillDiscRows.
bool FillDisc(CImageTile8& layer, double cx, double cy, double r, const TDiscInfo& info);
// False when the radius (r <= 0 or r > 2000) or the clipping leaves nothing to paint.
bool FillDiscRows(CImageTile8& layer, double cx, double cy, double r, const TDiscInfo& info);
bool FillDiscRows(CImageTile32& layer, double cx, double cy, double r, const TDiscInfo& info);
// The same pixels, rows split into up to 8 bands painted by the caller and the kept worker
// threads. threads 0 leaves it to the machine: the disc is split only when measurements of
// this machine show splitting to be faster for discs of its size (imaging/BandWorkers.h),
// into one band per thread; otherwise into that many bands.
bool FillDiscParallel(CImageTile8& layer, double cx, double cy, double r, const TDiscInfo& info,
                      int threads = 0);
// Paints row y of line.rect. Safe on several threads at once for distinct rows of one layer
// only with line.createTiles false and a record of its own per thread.
void FillDiscRow(CImageTile8& layer, CFillLineInfo<TBpp8>& line, int32_t y);
void FillDiscRow(CImageTile32& layer, CFillLineInfo<TBpp32>& line, int32_t y);
// trunc((r + 5) * 4) entries, entry i for the normalised distance sqrt(i / trunc(r * 4)).
std::vector<int32_t> BuildFalloffTable(double r, int32_t opacity, double power);
// exp(-(s^power)^2 / (2 * 0.27027027027027023^2))
double Falloff(double s, double power);

}  // namespace pavo

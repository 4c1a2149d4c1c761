// The anti-aliased disc rasteriser.
//
// Pixels are classified in eighths of a pixel: a pixel whose top-left corner lies inside the
// disc shrunk by 2 pixels is full; otherwise its four corners are tested against the radius
// (4 inside: full, 1 to 3: partly covered, 0: skipped). Partly covered pixels, and every
// pixel of a disc of radius 3 or less, are sampled on a grid of grid x grid points.
#include "imaging/DiscFill.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "imaging/BandWorkers.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pavo {

namespace {

// Centres beyond this are far outside any layer the engine makes; refusing them keeps every
// coordinate in eighths of a pixel inside 32 bits.
constexpr double kMaxCentre = 1 << 27;

template <class TLayer>
constexpr bool kIs32 = std::is_same_v<TLayer, CImageTile32>;

template <class TBpp>
void InitLine(CFillLineInfo<TBpp>& line, double cx, double cy, double r, const TDiscInfo& info,
              const NRECT& rect) {
  line.centreX8 = static_cast<int32_t>(cx * 8);
  line.centreY8 = static_cast<int32_t>(cy * 8);
  const int32_t r8 = static_cast<int32_t>(r * 8);
  line.radiusSq8 = r8 * r8;
  const int32_t inner8 = r > 2 ? static_cast<int32_t>((r - 2) * 8) : 0;
  line.innerSq8 = inner8 * inner8;
  line.grid = std::max(1, info.grid);  // a grid or step below 1 would sample nothing
  line.stepX = std::max(1, info.stepX);
  line.stepY = std::max(1, info.stepY);
  line.gridRadius = static_cast<int64_t>(line.grid * r);
  line.gridRadiusSq = line.gridRadius * line.gridRadius;
  line.gridCentreX = static_cast<int64_t>(line.grid * cx);
  line.gridCentreY = static_cast<int64_t>(line.grid * cy);
  line.maxMode = info.maxMode;
  line.maxValue = static_cast<int32_t>(info.value) * info.opacity / 255;
  line.small = r <= 3;
  line.paint = std::is_same_v<TBpp, TBpp32> ? info.colour : info.value;
  line.falloffTable.clear();
  if (info.falloff) line.falloffTable = BuildFalloffTable(r, info.opacity, info.falloffPower);
  line.tableScale = static_cast<int32_t>(r * 4);
  line.info = info;
  line.rect = rect;
}

// The disc's bounding rectangle (trunc(cx - r), trunc(cy - r), trunc(2r + 2) square) clipped to
// the layer; false when the radius or the clipping leaves nothing.
template <class TLayer>
bool DiscRect(const TLayer& layer, double cx, double cy, double r, NRECT& rect) {
  if (!(r > 0) || r > 2000) return false;  // also refuses a NaN radius
  if (!(std::fabs(cx) < kMaxCentre) || !(std::fabs(cy) < kMaxCentre)) return false;
  const int32_t side = static_cast<int32_t>(2 * r + 2);
  rect = NRECT(static_cast<int32_t>(cx - r), static_cast<int32_t>(cy - r), side, side);
  return ClipRect(layer.width, layer.height, rect);
}

// The largest m with m * m <= v, for 0 <= v < 2^52 (where the double square root is off by
// at most one).
inline int64_t FloorSqrt(int64_t v) {
  int64_t m = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
  while (m * m > v) --m;
  while ((m + 1) * (m + 1) <= v) ++m;
  return m;
}

// How many of the n sample positions p0, p0 + 1, .. p0 + n - 1 along one sample line lie
// strictly inside the disc, given t = R^2 - (offset of the line)^2: those with p^2 < t.
inline int64_t InsideOnLine(int64_t t, int64_t p0, int64_t n) {
  if (t <= 0) return 0;
  const int64_t m = FloorSqrt(t - 1);  // p^2 < t exactly when |p| <= m
  const int64_t lo = std::max<int64_t>(0, -m - p0);
  const int64_t hi = std::min<int64_t>(n - 1, m - p0);
  return hi >= lo ? hi - lo + 1 : 0;
}

// How a record samples partly covered pixels: by lines of samples (one of the steps is 1 and
// the numbers are in range) or sample by sample; and the number of sample columns and rows.
struct TSampling {
  bool byLines = false;
  int64_t kx = 0, ky = 0;
};

template <class TBpp>
TSampling SamplingOf(const CFillLineInfo<TBpp>& line) {
  TSampling s;
  const int64_t grid = line.grid, stepX = line.stepX, stepY = line.stepY;
  s.byLines = grid >= 1 && grid <= 1024 && (stepX == 1 || stepY == 1) && stepX >= 1 && stepY >= 1 &&
              line.gridRadiusSq >= 0 && line.gridRadiusSq < (int64_t{1} << 50);
  if (s.byLines) {
    s.kx = (grid + stepX - 1) / stepX;
    s.ky = (grid + stepY - 1) / stepY;
  }
  return s;
}

// Coverage 0..255 of a partly covered pixel: the share of grid samples inside the disc.
// When one of the steps is 1 the samples along that axis are consecutive, and each line of
// samples across it is counted with one square root (or, with the record's reach table, a
// look-up) instead of one test per sample; a pixel of a small disc (not classified by its
// corners) whose samples are all inside or all outside is settled by its sample box alone.
// The count is the same as testing every sample.
template <class TBpp>
inline int32_t SampleCoverage(const CFillLineInfo<TBpp>& line, const TSampling& sampling, int32_t x,
                              int32_t y) {
  const int64_t gx = static_cast<int64_t>(line.grid) * x - line.gridCentreX;
  const int64_t gy = static_cast<int64_t>(line.grid) * y - line.gridCentreY;
  const int64_t grid = line.grid, stepX = line.stepX, stepY = line.stepY;
  const int64_t r2 = line.gridRadiusSq;
  constexpr int64_t kNear = int64_t{1} << 24;
  if (sampling.byLines && gx > -kNear && gx < kNear && gy > -kNear && gy < kNear) {
    const int64_t kx = sampling.kx, ky = sampling.ky;
    const int64_t x1 = gx + (kx - 1) * stepX, y1 = gy + (ky - 1) * stepY;
    if (line.small) {  // pixels not classified by their corners first
      const int64_t farX = std::max(gx * gx, x1 * x1), farY = std::max(gy * gy, y1 * y1);
      if (farX + farY < r2) return 255;  // every sample inside: count == total
      const int64_t nearX = gx > 0 ? gx : (x1 < 0 ? x1 : 0);
      const int64_t nearY = gy > 0 ? gy : (y1 < 0 ? y1 : 0);
      if (nearX * nearX + nearY * nearY >= r2) return 0;  // none inside
    }
    int64_t count = 0;
    if (line.sampleReach != nullptr) {
      // Sample column k holds the samples gy .. y1 that lie within its reach m.
      const int32_t* reach = line.sampleReach + static_cast<size_t>(x - line.rect.x) * kx;
      for (int64_t k = 0; k < kx; ++k)
        count += std::max<int64_t>(
            0, std::min<int64_t>(y1, reach[k]) - std::max<int64_t>(gy, -reach[k]) + 1);
    } else if (stepY == 1) {
      for (int64_t k = 0; k < kx; ++k) {
        const int64_t px = gx + k * stepX;
        count += InsideOnLine(r2 - px * px, gy, grid);
      }
    } else {
      for (int64_t j = 0; j < ky; ++j) {
        const int64_t py = gy + j * stepY;
        count += InsideOnLine(r2 - py * py, gx, grid);
      }
    }
    return static_cast<int32_t>(count) * 255 / static_cast<int32_t>(kx * ky);
  }
  int32_t count = 0, total = 0;
  for (int32_t sy = 0; sy < line.grid; sy += line.stepY) {
    const int64_t py = gy + sy;
    for (int32_t sx = 0; sx < line.grid; sx += line.stepX) {
      const int64_t px = gx + sx;
      ++total;
      if (px * px + py * py < line.gridRadiusSq) ++count;
    }
  }
  return count * 255 / total;
}

// Sample columns at most in a reach table: larger ones (huge discs on fine grids) sample by
// arithmetic.
constexpr int64_t kMaxSampleReach = int64_t{1} << 17;

// The reach table of the calling thread's discs, kept from disc to disc so that filling
// allocates nothing once the largest disc has been seen.
std::vector<int32_t>& SampleReachTable() {
  thread_local std::vector<int32_t> table;
  return table;
}

// Makes line.sampleReach in table for the rectangle's columns, where the record samples with
// stepY 1 on a sane grid; otherwise, or without memory, leaves the record without one.
template <class TBpp>
void MakeSampleReach(CFillLineInfo<TBpp>& line, std::vector<int32_t>& table) {
  line.sampleReach = nullptr;
  const int64_t grid = line.grid, stepX = line.stepX, r2 = line.gridRadiusSq;
  if (line.stepY != 1 || grid < 1 || grid > 1024 || stepX < 1 || r2 < 0 || r2 >= (int64_t{1} << 50))
    return;
  const int64_t kx = (grid + stepX - 1) / stepX;
  const int64_t n = static_cast<int64_t>(line.rect.width) * kx;
  if (n <= 0 || n > kMaxSampleReach) return;
  try {
    table.resize(static_cast<size_t>(n));
  } catch (...) {
    return;
  }
  // Below 2^50 the square root of a whole number, rounded to a double, is never rounded up
  // past the next whole number, so truncating it gives the floor exactly.
  for (int64_t i = 0; i < line.rect.width; ++i) {
    const int64_t gx = grid * (line.rect.x + i) - line.gridCentreX;
    for (int64_t k = 0; k < kx; ++k) {
      const int64_t px = gx + k * stepX;
      const int64_t t = r2 - px * px;
      table[static_cast<size_t>(i * kx + k)] =
          t > 0 ? static_cast<int32_t>(std::sqrt(static_cast<double>(t - 1))) : -1;
    }
  }
  line.sampleReach = table.data();
}

// The paint rule of a 32-bit span fill in mode 2, for one pixel at strength w.
inline void PaintDiscPixel32(uint32_t& d, uint32_t p, uint32_t w) {
  if (AlphaOf(p) == 255 && w == 255) {
    d = p;
  } else if (AlphaOf(d) == 0) {
    d = p;
    if (w != 255) d = (d & 0x00FFFFFFu) | (Div255(AlphaOf(p) * w) << 24);
  } else if (AlphaOf(d) == 255) {
    BlendOntoOpaque(d, p, w);
  } else {
    Over(d, p, w);
  }
}

// Columns start + lo .. start + hi, cut to [start, end), as [from, to); left as they are when
// nothing remains.
inline void ColumnsBetween(int64_t lo, int64_t hi, int32_t start, int32_t end, int32_t& from,
                           int32_t& to) {
  const int64_t first = std::max<int64_t>(lo, 0);
  const int64_t last = std::min<int64_t>(hi, static_cast<int64_t>(end) - start - 1);
  if (first > last) return;
  from = start + static_cast<int32_t>(first);
  to = start + static_cast<int32_t>(last) + 1;
}

// The reach of the corner line dy (in eighths, relative to the centre): corners (dx, dy)
// with dx * dx + dy * dy < radiusSq8 are those with |dx| <= the reach; -1 when there are
// none; past the exact root (huge hand-made records) the largest reach any column can need.
// The bottom line of one row is the top line of the next, so the last one is kept.
template <class TBpp>
int64_t CornerReach(CFillLineInfo<TBpp>& line, int64_t dy) {
  if (line.reachLineDy == dy && line.reachLineRadiusSq8 == line.radiusSq8) return line.reachLine;
  const int64_t q2 = static_cast<int64_t>(line.radiusSq8) - dy * dy;
  int64_t q = -1;
  if (q2 >= (int64_t{1} << 52)) {
    q = int64_t{1} << 40;
  } else if (q2 > 0) {
    q = FloorSqrt(q2 - 1);
  }
  line.reachLineRadiusSq8 = line.radiusSq8;
  line.reachLineDy = dy;
  line.reachLine = q;
  return q;
}

// The columns [from, to) whose corners at dx and dx + 8 (dx = dx0 + 8 (x - start)) both lie
// within reach q: dx from -q to q - 8, one interval.
inline void FullColumns(int64_t q, int64_t dx0, int32_t start, int32_t end, int32_t& from,
                        int32_t& to) {
  from = to = end;
  if (q < 4) return;
  // i from ceil((-q - dx0) / 8) to floor((q - 8 - dx0) / 8); >> 3 floors negative values too.
  ColumnsBetween(-((q + dx0) >> 3), (q - 8 - dx0) >> 3, start, end, from, to);
}

// The hull [from, to) of the columns with a corner at dx or dx + 8 within reach q: the
// columns outside it have no corner inside and are skipped by the edge classification.
inline void CornerColumns(int64_t q, int64_t dx0, int32_t start, int32_t end, int32_t& from,
                          int32_t& to) {
  from = to = end;
  if (q < 0) return;
  ColumnsBetween(-((q + 8 + dx0) >> 3), (q - dx0) >> 3, start, end, from, to);
}

// Full pixels in a run, as the per-pixel rule paints them: the larger of old and w in max
// mode, Lerp8 otherwise; 32-bit pixels take the span fill rule at w.
template <class TLayer, class TBpp>
void PaintFullRun(const CFillLineInfo<TBpp>& line, typename TLayer::TPixel* p, int32_t n) {
  if constexpr (kIs32<TLayer>) {
    const uint32_t w = line.info.opacity;
    for (int32_t i = 0; i < n; ++i) PaintDiscPixel32(p[i], line.paint, w);
  } else if (line.maxMode) {
    const uint8_t w = static_cast<uint8_t>(line.maxValue);
    int32_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time; the last block may overlap the one before it, which taking
    // the larger value again leaves unchanged.
    if (n >= 16) {
      const __m128i v = _mm_set1_epi8(static_cast<char>(w));
      for (; i + 16 <= n; i += 16) {
        __m128i* q = reinterpret_cast<__m128i*>(p + i);
        _mm_storeu_si128(q, _mm_max_epu8(_mm_loadu_si128(q), v));
      }
      if (i < n) {
        __m128i* q = reinterpret_cast<__m128i*>(p + n - 16);
        _mm_storeu_si128(q, _mm_max_epu8(_mm_loadu_si128(q), v));
        i = n;
      }
    }
#endif
    for (; i < n; ++i) p[i] = std::max(p[i], w);
  } else {
    const uint32_t w = line.info.opacity;
    for (int32_t i = 0; i < n; ++i) Lerp8(p[i], line.paint, w);
  }
}

// Whether an 8-bit max-mode pixel already holds the disc's value: it is then left as it is,
// before any test.
template <class TBpp>
inline bool AtMaximum(const CFillLineInfo<TBpp>& line, uint8_t pixel) {
  return line.maxMode && pixel >= line.maxValue;
}
template <class TBpp>
inline bool AtMaximum(const CFillLineInfo<TBpp>&, uint32_t) {
  return false;
}

// Writes strength w: the larger of old and w in max mode, Lerp8 otherwise; 32-bit pixels
// take the span fill rule.
template <class TBpp>
inline void WritePixel(const CFillLineInfo<TBpp>& line, uint8_t& pixel, int32_t w) {
  if (line.maxMode) {
    if (w > pixel) pixel = static_cast<uint8_t>(w);
  } else {
    Lerp8(pixel, line.paint, static_cast<uint32_t>(w));
  }
}
template <class TBpp>
inline void WritePixel(const CFillLineInfo<TBpp>& line, uint32_t& pixel, int32_t w) {
  PaintDiscPixel32(pixel, line.paint, static_cast<uint32_t>(w));
}

// A partly covered pixel at strength w: sampled, then w * coverage / 255 written (without
// anti-aliasing full strength from 128 on, nothing below).
template <class TBpp, class TPixel>
inline void PaintSampled(const CFillLineInfo<TBpp>& line, const TSampling& sampling, TPixel& pixel,
                         int32_t x, int32_t y, int32_t w) {
  int32_t coverage = SampleCoverage(line, sampling, x, y);
  if (!line.info.antiAlias) {
    if (coverage < 128) return;
    coverage = 255;
  }
  WritePixel(line, pixel, w * coverage / 255);
}

// The strength of a pixel without falloff: the opacity, or maxValue for an 8-bit max-mode
// disc.
template <class TBpp>
inline int32_t FlatStrength(const CFillLineInfo<TBpp>& line, bool depth32) {
  return depth32 || !line.maxMode ? line.info.opacity : line.maxValue;
}

// One pixel of a falloff disc: the table entry for its centre's squared distance, sampled
// for small discs.
template <class TBpp, class TPixel>
inline void PaintFalloffPixel(const CFillLineInfo<TBpp>& line, const TSampling& sampling,
                              TPixel& pixel, int32_t x, int32_t y, int32_t tableSize) {
  if (AtMaximum(line, pixel)) return;
  const int64_t ex = line.centreX8 - 8 * static_cast<int64_t>(x) - 4;
  const int64_t ey = line.centreY8 - 8 * static_cast<int64_t>(y) - 4;
  const int64_t d2 = ex * ex + ey * ey;
  if (d2 >= line.radiusSq8) return;
  // The index is proportional to the squared distance; both are shifted by 8 bits except
  // for small discs. 64-bit products: large radii would overflow 32 bits.
  int64_t i;
  if (line.small) {
    i = line.radiusSq8 == 0 ? 0 : line.tableScale * d2 / line.radiusSq8;
  } else {
    const int64_t div = line.radiusSq8 >> 8;
    i = div == 0 ? 0 : line.tableScale * (d2 >> 8) / div;
  }
  if (i < 0 || i >= tableSize) return;
  const int32_t w = line.falloffTable[static_cast<size_t>(i)];
  if (w == 0) return;
  if (line.small) {
    PaintSampled(line, sampling, pixel, x, y, w);
  } else {
    WritePixel(line, pixel, w);
  }
}

// The row kernel of both paths. Thread constraints: it writes only the pixels of row y and
// reads the record it is given, apart from the record's corner-line reach it keeps; with
// line.createTiles false it only looks tiles up, so workers painting distinct rows of one
// layer, each with its own record, need no lock. With createTiles true it may add tiles and
// must run alone on the layer.
// Tiles are looked up once per 128 columns. Without falloff a pixel is full when its four
// corners lie inside the disc (a pixel whose top-left corner lies inside the disc shrunk by
// 2 pixels is one of them), partly covered with one to three, skipped with none; the full
// columns are one run, painted at once, and of the others only those with some corner
// inside are looked at: their corners are tested against the reach of the row's two corner
// lines.
template <class TLayer, class TBpp>
void FillRowKernel(TLayer& layer, CFillLineInfo<TBpp>& line, int32_t y) {
  using TPixel = typename TLayer::TPixel;
  const NRECT& rect = line.rect;
  const bool falloff = !line.falloffTable.empty();
  const int32_t tableSize = static_cast<int32_t>(line.falloffTable.size());
  const int32_t dy = line.rowY8;
  // The fills hand in rectangles clipped to the layer; a row or columns outside it from any
  // other caller are left alone.
  if (y < 0 || y >= layer.height) return;
  const int32_t start = std::max(rect.x, 0);
  const int32_t end = std::min(rect.x + rect.width, layer.width);
  const int64_t dxStart = static_cast<int64_t>(line.rowX8) + (start - rect.x) * int64_t{8};
  int32_t runFrom = end, runTo = end;
  int32_t edgeFrom = start, edgeTo = end;  // the columns the per-pixel rule may paint
  int64_t top = 0, bottom = 0;
  if (!falloff && !line.small) {
    top = CornerReach(line, dy);
    bottom = CornerReach(line, dy + 8);
    FullColumns(std::min(top, bottom), dxStart, start, end, runFrom, runTo);
    CornerColumns(std::max(top, bottom), dxStart, start, end, edgeFrom, edgeTo);
  }
  const TSampling sampling = SamplingOf(line);
  const int32_t w = FlatStrength(line, kIs32<TLayer>);
  // Columns [a, b) of the run whose first column is `first`, at p, by the per-pixel rule;
  // columns outside [edgeFrom, edgeTo) are skipped.
  auto paintEdge = [&](TPixel* p, int32_t first, int32_t a, int32_t b) {
    const int32_t from = std::max(a, edgeFrom), to = std::min(b, edgeTo);
    if (falloff) {
      for (int32_t i = from; i < to; ++i)
        PaintFalloffPixel(line, sampling, p[i - first], i, y, tableSize);
      return;
    }
    for (int32_t i = from; i < to; ++i) {
      TPixel& pixel = p[i - first];
      if (AtMaximum(line, pixel)) continue;
      if (!line.small) {
        const int64_t dx = dxStart + (i - start) * int64_t{8};
        const int64_t left = dx < 0 ? -dx : dx, right = dx + 8 < 0 ? -dx - 8 : dx + 8;
        if (left > top && right > top && left > bottom && right > bottom) continue;  // none in
      }
      PaintSampled(line, sampling, pixel, i, y, w);
    }
  };
  layer.ForEachRowRun(y, start, end, line.createTiles, [&](TPixel* p, int32_t from, int32_t to) {
    const int32_t runA = std::clamp(runFrom, from, to);
    const int32_t runB = std::clamp(runTo, runA, to);
    paintEdge(p, from, from, runA);
    if (runB > runA) PaintFullRun<TLayer>(line, p + (runA - from), runB - runA);
    paintEdge(p, from, runB, to);
  });
}

// Rows y0 .. y1 - 1 of line.rect.
template <class TLayer, class TBpp>
void PaintRows(TLayer& layer, CFillLineInfo<TBpp>& line, int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y) {
    line.rowX8 = line.rect.x * 8 - line.centreX8;
    line.rowY8 = y * 8 - line.centreY8;
    FillDiscRow(layer, line, y);
  }
}

// The whole of rect on the calling thread.
template <class TLayer, class TBpp>
void PaintOnCaller(TLayer& layer, double cx, double cy, double r, const TDiscInfo& info,
                   const NRECT& rect) {
  CFillLineInfo<TBpp> line;
  InitLine(line, cx, cy, r, info, rect);
  MakeSampleReach(line, SampleReachTable());
  PaintRows(layer, line, rect.y, rect.y + rect.height);
}

template <class TLayer, class TBpp>
bool FillRowsOnCaller(TLayer& layer, double cx, double cy, double r, const TDiscInfo& info) {
  NRECT rect;
  if (!DiscRect(layer, cx, cy, r, rect)) return false;
  PaintOnCaller<TLayer, TBpp>(layer, cx, cy, r, info, rect);
  return true;
}

// The record of one thread, alone in its cache lines: a band writes its row position for
// every row, which must not disturb the threads painting the other bands.
struct alignas(64) TThreadLine {
  CFillLineInfo<TBpp8> line;
};

// The bands of one threaded disc. Bands run concurrently: each writes only its own rows,
// with the record of the thread painting it; every tile it can meet exists already (so the
// tile table is only read), and it allocates nothing.
class CDiscBands : public IBandJob {
 public:
  CDiscBands(CImageTile8& layer, TThreadLine* lines, const NRECT& rect, int32_t band)
      : layer_(layer), lines_(lines), top_(rect.y), bottom_(rect.y + rect.height), band_(band) {}

  void PaintBand(int32_t i, int32_t slot) const override {
    const int32_t y0 = top_ + i * band_;
    const int32_t y1 = std::min(top_ + (i + 1) * band_, bottom_);
    PaintRows(layer_, lines_[slot].line, y0, y1);
  }

 private:
  CImageTile8& layer_;
  TThreadLine* lines_;
  int32_t top_, bottom_, band_;
};

}  // namespace

double Falloff(double s, double power) {
  const double sp = std::pow(s, power);
  return std::exp(-(sp * sp) / (2 * 0.27027027027027023 * 0.27027027027027023));
}

std::vector<int32_t> BuildFalloffTable(double r, int32_t opacity, double power) {
  // The fills pass 0 < r <= 2000; anything not a number or absurdly large gets no table
  // rather than an undefined conversion.
  if (!(r > -5) || r > 1e6) return {};
  int32_t g = static_cast<int32_t>(r * 4);
  if (g < 1) g = 1;
  const int32_t n = static_cast<int32_t>((r + 5) * 4);
  if (!(power >= 1)) power = 1;  // also a NaN power
  if (power > 100) power = 100;
  std::vector<int32_t> table;
  if (n <= 0) return table;
  table.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / g;
    const double s = std::pow(t, 0.5);
    const double f = Falloff(s, power);
    double e = (opacity * f * (1.0 / 255)) * 255;
    e = std::clamp(e, 0.0, 255.0);
    table[static_cast<size_t>(i)] = static_cast<int32_t>(e);
  }
  return table;
}

void FillDiscRow(CImageTile8& layer, CFillLineInfo<TBpp8>& line, int32_t y) {
  FillRowKernel(layer, line, y);
}

void FillDiscRow(CImageTile32& layer, CFillLineInfo<TBpp32>& line, int32_t y) {
  FillRowKernel(layer, line, y);
}

bool FillDiscRows(CImageTile8& layer, double cx, double cy, double r, const TDiscInfo& info) {
  return FillRowsOnCaller<CImageTile8, TBpp8>(layer, cx, cy, r, info);
}

bool FillDiscRows(CImageTile32& layer, double cx, double cy, double r, const TDiscInfo& info) {
  return FillRowsOnCaller<CImageTile32, TBpp32>(layer, cx, cy, r, info);
}

bool FillDisc(CImageTile8& layer, double cx, double cy, double r, const TDiscInfo& info) {
  if (r >= 100) return FillDiscParallel(layer, cx, cy, r, info);
  return FillDiscRows(layer, cx, cy, r, info);
}

bool FillDiscParallel(CImageTile8& layer, double cx, double cy, double r, const TDiscInfo& info,
                      int threads) {
  NRECT rect;
  if (!DiscRect(layer, cx, cy, r, rect)) return false;
  // Left to the measurements, a disc is split only where that is faster than one thread.
  std::optional<CSplitChoice> choice;
  if (threads <= 0) {
    choice.emplace(static_cast<int64_t>(rect.width) * rect.height);
    if (!choice->Split()) {
      PaintOnCaller<CImageTile8, TBpp8>(layer, cx, cy, r, info, rect);
      return true;
    }
  }
  // Four bands per thread unless told otherwise, claimed one at a time: a worker still waking
  // up leaves its bands to the caller, and the last band anyone waits for is short.
  const int32_t slots = BandThreads();
  int32_t t = threads > 0 ? threads : 4 * slots;
  t = std::clamp(t, 1, 64);
  const int32_t h = t * ((rect.height + t - 1) / t);
  const int32_t band = h / t;
  // Every tile of the clipped rectangle, aligned outwards to 128, exists before the workers
  // start, so that none of them changes the tile table.
  for (int32_t ty = rect.y / kTileSize; ty <= (rect.y + rect.height - 1) / kTileSize; ++ty)
    for (int32_t tx = rect.x / kTileSize; tx <= (rect.x + rect.width - 1) / kTileSize; ++tx)
      layer.CreateTile(tx, ty);
  // One record per thread (each writes its record's row position); the falloff table is
  // built once and copied.
  TThreadLine lines[8];
  InitLine(lines[0].line, cx, cy, r, info, rect);
  lines[0].line.createTiles = false;
  MakeSampleReach(lines[0].line, SampleReachTable());
  for (int32_t i = 1; i < slots; ++i) lines[i].line = lines[0].line;
  const CDiscBands bands(layer, lines, rect, band);
  if (t == 1 || !RunOnWorkers(bands, t)) {
    for (int32_t i = 0; i < t; ++i) bands.PaintBand(i, 0);  // no workers to be had
    if (choice) choice->Unsplit();
  }
  return true;
}

}  // namespace pavo

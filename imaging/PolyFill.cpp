// Polygon scan conversion.
//
// Rows are scanned from one row above the outline to one row below it, clipped to the layer.
// Each row is sampled on one line (its top edge, y + 0.00123456789) or, anti-aliased, on four
// lines y + 0.125 .. y + 0.875; the crossings of a line are sorted and paired into spans by the
// non-zero winding rule (single polygon) or the even-odd rule (contours). Anti-aliased spans
// are kept as runs per sample line; the four lines are merged into the row's coverage, which
// is resolved into the layer one row at a time.
#include "imaging/PolyFill.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/CpuFeatures.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pavo {

namespace {

constexpr double kLineOffset = 0.00123456789;
constexpr int kMaxCrossings = 256;  // a line that would take its 256th crossing stops the fill
// Vertices beyond this are moved onto it (the outline is then no longer ordinary input);
// values converted to integers are first clamped to +-kMaxColumn, far outside any layer.
constexpr double kMaxCoordinate = 1e15;
constexpr double kMaxColumn = 1 << 30;

inline int32_t TruncToInt(double v) {
  return static_cast<int32_t>(std::clamp(v, -kMaxColumn, kMaxColumn));
}

struct TCrossing {
  double x;
  bool down;
};

// An edge as the crossing test reads it: its lower and upper end (the end with the smaller
// and the larger y), the slope and the direction. Horizontal edges cross no sample line
// and are left out.
struct TEdge {
  double lowY, highY, lowX, slope;
  bool down;
};

// Edges sorted by their upper end; the band of a 16-row block is kept by a sweep, so building
// it costs the edges near the block, not every edge of the outline. The order among edges
// with the same upper end is the outline's, as a stable sort leaves it. The arrays are kept
// per thread and reused, so a fill allocates nothing once the largest outline has been seen.
class CBandSweep {
 public:
  explicit CBandSweep(const CPolySides& all) : scratch_(Scratch()) {
    scratch_.edges.clear();
    scratch_.order.clear();
    scratch_.band.clear();
    for (const CPolySides::TPolySide& s : all.sides) {
      if (s.from->y == s.to->y) continue;
      const CVector2<double>* low = s.from->y < s.to->y ? s.from : s.to;
      const CVector2<double>* high = s.from->y < s.to->y ? s.to : s.from;
      scratch_.order.emplace_back(low->y, static_cast<uint32_t>(scratch_.order.size()));
      scratch_.edges.push_back(TEdge{low->y, high->y, low->x, s.slope, s.down});
    }
    // By upper end, then by position in the outline.
    std::sort(scratch_.order.begin(), scratch_.order.end());
  }

  // The edges whose vertical extent meets [top, top + 16]; tops only grow.
  const std::vector<TEdge>& Rebuild(double top) {
    const double bottom = top + 16;
    std::vector<TEdge>& band = scratch_.band;
    std::erase_if(band, [&](const TEdge& e) { return e.highY < top; });
    while (next_ < scratch_.order.size() && scratch_.order[next_].first <= bottom) {
      const TEdge& e = scratch_.edges[scratch_.order[next_++].second];
      if (e.highY >= top) band.push_back(e);
    }
    return band;
  }

 private:
  struct TScratch {
    std::vector<TEdge> edges;
    std::vector<std::pair<double, uint32_t>> order;  // (upper end, edge)
    std::vector<TEdge> band;
  };
  static TScratch& Scratch() {
    thread_local TScratch scratch;
    return scratch;
  }

  TScratch& scratch_;
  size_t next_ = 0;
};

// The crossings of one sample line, sorted by x.
struct TCrossings {
  TCrossing at[kMaxCrossings];
  int count;
};

// The crossings of kLines sample lines (at lineY[j] + 0.00123456789) with the band's edges,
// each table sorted by x as a bubble sort that swaps only when the left x is strictly greater
// sorts it (stable: crossings of equal x keep the band's order); false when a table would
// take its 256th crossing. The crossing of an edge is the one CPolySides::CrossingX gives.
template <int kLines>
bool CollectCrossings(const std::vector<TEdge>& band, const double (&lineY)[kLines],
                      TCrossings (&lines)[kLines]) {
  double ys[kLines];
  for (int j = 0; j < kLines; ++j) {
    ys[j] = lineY[j] + kLineOffset;
    lines[j].count = 0;
  }
  for (const TEdge& e : band) {
    for (int j = 0; j < kLines; ++j) {
      if (ys[j] < e.lowY || ys[j] > e.highY) continue;
      double x = e.slope * (ys[j] - e.lowY) + e.lowX;
      // A near-horizontal edge of far-away vertices can overflow; keep the crossing a number.
      if (!std::isfinite(x)) x = x > 0 ? kMaxCoordinate : -kMaxCoordinate;
      TCrossings& line = lines[j];
      if (line.count == kMaxCrossings - 1) return false;
      int k = line.count++;
      for (; k > 0 && line.at[k - 1].x > x; --k) line.at[k] = line.at[k - 1];
      line.at[k] = TCrossing{x, e.down};
    }
  }
  return true;
}

// Calls span(left, right) for every span of a sorted crossing table.
template <class TSpan>
void ForEachSpan(const TCrossing* table, int count, bool evenOdd, TSpan span) {
  if (evenOdd) {
    for (int k = 0; k + 1 < count; k += 2)
      if (table[k].x != table[k + 1].x) span(table[k].x, table[k + 1].x);
    return;
  }
  // Non-zero winding; a span whose left end equals the previous span's right end exactly
  // starts at the truncated left end, so abutting spans do not both blend the shared pixel.
  double previousEnd = -999.9;
  int winding = 0;
  for (int k = 0; k + 1 < count; ++k) {
    winding += table[k].down ? 1 : -1;
    if (table[k].x == table[k + 1].x || winding == 0) continue;
    double left = table[k].x;
    const double right = table[k + 1].x;
    if (left == previousEnd) left = std::trunc(std::clamp(left, -kMaxColumn, kMaxColumn));
    previousEnd = right;
    span(left, right);
  }
}

template <class TLayer>
void PaintSpanSolid(TLayer& layer, int32_t y, int32_t start, int32_t end,
                    typename TLayer::TPixel colour, uint8_t opacity) {
  if (y < 0 || y >= layer.height) return;
  if (end < start) return;
  const int32_t last = end > start ? end - 1 : start;
  if (last < 0 || start > layer.width - 1) return;
  const int32_t x0 = std::max(start, 0);
  const int32_t x1 = std::min(last, layer.width - 1);
  auto* buffer = layer.GatherRow(layer.rowBuffer.data(), x0, y, x1 - x0 + 1);
  if (buffer == nullptr) return;
  TBltInfo<typename TLayer::TPixel> info;
  info.mode = kFillPaint;
  info.colour = colour;
  info.opacity = opacity;
  if constexpr (std::is_same_v<TLayer, CImageTile32>) {
    RowFill32(info, buffer, x0, x1 - x0 + 1);
  } else {
    RowFill8(info, buffer, x0, x1 - x0 + 1);
  }
  layer.ScatterRow(buffer, x0, y, x1 - x0 + 1);
}

// A run of columns [from, to) holding one value.
struct TRun {
  int32_t from, to;
  uint32_t value;
};

// A sample line can meet at most 255 crossings, so it has fewer than 128 spans, each of
// which leaves at most three runs (its two end pixels and the columns between them); one
// more entry holds the end mark.
constexpr int32_t kMaxLineRuns = 3 * kMaxCrossings / 2 + 1;
constexpr TRun kEndMark{INT32_MAX, INT32_MAX, 0};

// Builds the runs of one sample line as RowFillAA8 would leave a scratch row cleared to zero:
// runs of one value in column order, zero between them. The spans of a line come sorted and
// apart, so each step of their walk starts at or right of the last column the steps before
// it reached: a step meets at most the last run.
struct TLineRuns {
  TRun* runs;
  int32_t count;
  uint32_t value;

  // Lerp8 of the value into column x at strength s.
  void Blend(int32_t x, uint32_t s) {
    uint8_t old = 0;
    if (count > 0 && runs[count - 1].to > x) {
      TRun& last = runs[count - 1];  // x is its last column
      old = static_cast<uint8_t>(last.value);
      Lerp8(old, value, s);
      if (last.to - last.from == 1) {
        last.value = old;
        return;
      }
      --last.to;
    } else {
      Lerp8(old, value, s);
    }
    runs[count++] = TRun{x, x + 1, old};
  }
  // The value set over [from, to).
  void Set(int32_t from, int32_t to) {
    while (count > 0 && runs[count - 1].to > from) {
      if (runs[count - 1].from >= from) {
        --count;
      } else {
        runs[count - 1].to = from;
      }
    }
    runs[count++] = TRun{from, to, value};
  }
};

// The four sample lines of an anti-aliased row, each ending in the end mark, and the row's
// coverage merged from them; kept per thread, as they are too large for the stack of every
// fill.
struct TRowScratch {
  TCrossings crossings[4];
  TCrossings crossings1[1];  // the one line of a row without anti-aliasing
  TRun lines[4][kMaxLineRuns];
  // Coverage (the sum of the four line values, divided by 4) over [0, end) as runs.
  TRun coverage[4 * kMaxLineRuns * 2];

  // Merges the lines into coverage runs from column 0 to end, each run ending where one of
  // the lines changes. Per line: the run at or after the column reached, whether the column
  // lies inside it, and the column where that changes.
  void Merge(int32_t end) {
    const TRun* at[4];
    bool inside[4] = {};
    int32_t next[4];
    for (int j = 0; j < 4; ++j) {
      at[j] = lines[j];
      next[j] = at[j]->from;
    }
    uint32_t sum = 0;
    TRun* out = coverage;
    *out = TRun{0, 0, UINT32_MAX};  // no run yet
    for (int32_t x = 0;;) {
      const int32_t b = std::min(std::min(next[0], next[1]), std::min(next[2], next[3]));
      if (b > x) {
        const int32_t to = std::min(b, end);
        const uint32_t c = sum >> 2;
        if (out->value == c) {
          out->to = to;
        } else {
          if (out->value != UINT32_MAX) ++out;
          *out = TRun{x, to, c};
        }
        if (b >= end) return;
        x = b;
      }
      for (int j = 0; j < 4; ++j) {
        if (next[j] != b) continue;
        if (inside[j]) {
          sum -= at[j]->value;
          ++at[j];  // the end mark stops the walk
          inside[j] = at[j]->from == b;
        } else {
          inside[j] = true;
        }
        if (inside[j]) sum += at[j]->value;
        next[j] = inside[j] ? at[j]->to : at[j]->from;
      }
    }
  }
};

// Coverage 0 on a 32-bit pixel: PaintOver at strength 0 keeps every pixel except an empty
// one, which takes the colour's channels with alpha floor(A / 256) = 0. Most such pixels
// already hold exactly that (the columns left of a shape that was filled before), so blocks
// are only read unless one of their pixels changes. A pixel d changes exactly when
// x = d XOR channels lies in 1 .. 0xFFFFFF (alpha 0, channels different).
inline void PaintUncoveredTail(uint32_t* row, int32_t i, int32_t n, uint32_t channels) {
  for (; i < n; ++i)
    if ((row[i] >> 24) == 0) row[i] = channels;
}

#ifdef QUARNEL_X86_DISPATCH
// All ones in the lanes of d that change: x - 1 <= 0xFFFFFE, unsigned.
QUARNEL_TARGET_AVX2 __attribute__((always_inline)) inline __m256i ChangedLanes(__m256i d,
                                                                               __m256i fill) {
  const __m256i top = _mm256_set1_epi32(0xFFFFFE);
  const __m256i t = _mm256_sub_epi32(_mm256_xor_si256(d, fill), _mm256_set1_epi32(1));
  return _mm256_cmpeq_epi32(_mm256_max_epu32(t, top), top);
}

// Thirty-two pixels per step with AVX2, where the processor has it.
QUARNEL_TARGET_AVX2 void PaintUncoveredAvx2(uint32_t* row, int32_t n, uint32_t channels) {
  const __m256i fill = _mm256_set1_epi32(static_cast<int32_t>(channels));
  int32_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i* p = reinterpret_cast<__m256i*>(row + i);
    const __m256i d0 = _mm256_loadu_si256(p), d1 = _mm256_loadu_si256(p + 1);
    const __m256i d2 = _mm256_loadu_si256(p + 2), d3 = _mm256_loadu_si256(p + 3);
    const __m256i c0 = ChangedLanes(d0, fill), c1 = ChangedLanes(d1, fill);
    const __m256i c2 = ChangedLanes(d2, fill), c3 = ChangedLanes(d3, fill);
    const __m256i any = _mm256_or_si256(_mm256_or_si256(c0, c1), _mm256_or_si256(c2, c3));
    if (_mm256_testz_si256(any, any)) continue;
    _mm256_storeu_si256(p, _mm256_blendv_epi8(d0, fill, c0));
    _mm256_storeu_si256(p + 1, _mm256_blendv_epi8(d1, fill, c1));
    _mm256_storeu_si256(p + 2, _mm256_blendv_epi8(d2, fill, c2));
    _mm256_storeu_si256(p + 3, _mm256_blendv_epi8(d3, fill, c3));
  }
  for (; i + 8 <= n; i += 8) {
    __m256i* p = reinterpret_cast<__m256i*>(row + i);
    const __m256i d = _mm256_loadu_si256(p);
    _mm256_storeu_si256(p, _mm256_blendv_epi8(d, fill, ChangedLanes(d, fill)));
  }
  PaintUncoveredTail(row, i, n, channels);
}

// n pixels set to colour, eight per step.
QUARNEL_TARGET_AVX2 void StoreRunAvx2(uint32_t* row, int32_t n, uint32_t colour) {
  const __m256i v = _mm256_set1_epi32(static_cast<int32_t>(colour));
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i), v);
  for (; i < n; ++i) row[i] = colour;
}
#endif

inline void PaintUncovered(uint32_t* row, int32_t n, uint32_t colour) {
  const uint32_t channels = colour & 0x00FFFFFFu;
#ifdef QUARNEL_X86_DISPATCH
  if (UseAvx2()) {
    PaintUncoveredAvx2(row, n, channels);
    return;
  }
#endif
  int32_t i = 0;
#ifdef __SSE2__
  // Sixteen pixels at a time: a lane changes when it is empty and differs from the channels.
  const __m128i fill = _mm_set1_epi32(static_cast<int32_t>(channels));
  const __m128i zero = _mm_setzero_si128();
  auto changes = [&](__m128i d) {
    return _mm_andnot_si128(_mm_cmpeq_epi32(d, fill), _mm_cmpeq_epi32(_mm_srli_epi32(d, 24), zero));
  };
  for (; i + 16 <= n; i += 16) {
    __m128i* p = reinterpret_cast<__m128i*>(row + i);
    const __m128i d0 = _mm_loadu_si128(p), d1 = _mm_loadu_si128(p + 1);
    const __m128i d2 = _mm_loadu_si128(p + 2), d3 = _mm_loadu_si128(p + 3);
    const __m128i c0 = changes(d0), c1 = changes(d1), c2 = changes(d2), c3 = changes(d3);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(c0, c1), _mm_or_si128(c2, c3))) == 0) continue;
    _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(c0, fill), _mm_andnot_si128(c0, d0)));
    _mm_storeu_si128(p + 1, _mm_or_si128(_mm_and_si128(c1, fill), _mm_andnot_si128(c1, d1)));
    _mm_storeu_si128(p + 2, _mm_or_si128(_mm_and_si128(c2, fill), _mm_andnot_si128(c2, d2)));
    _mm_storeu_si128(p + 3, _mm_or_si128(_mm_and_si128(c3, fill), _mm_andnot_si128(c3, d3)));
  }
#endif
  PaintUncoveredTail(row, i, n, channels);
}
// On an 8-bit pixel Lerp8 at strength 0 keeps the pixel.
inline void PaintUncovered(uint8_t*, int32_t, uint32_t) {}

inline void StoreRun(uint32_t* row, int32_t n, uint32_t colour) {
#ifdef QUARNEL_X86_DISPATCH
  if (UseAvx2()) {
    StoreRunAvx2(row, n, colour);
    return;
  }
#endif
  std::fill(row, row + n, colour);
}
inline void StoreRun(uint8_t* row, int32_t n, uint8_t value) { std::memset(row, value, n); }

// Coverage 255 of an opaque colour (PaintOver at full strength) or of a byte (Lerp8)
// stores the colour.
inline bool FullStores(uint32_t colour) { return AlphaOf(colour) == 255; }
inline bool FullStores(uint8_t) { return true; }

inline void PaintCovered(uint32_t& d, uint32_t colour, uint32_t coverage) {
  PaintOver(d, colour, coverage);
}
inline void PaintCovered(uint8_t& d, uint32_t value, uint32_t coverage) {
  Lerp8(d, value, coverage);
}

// Columns 0 .. end - 1 of row y blended with BlendPixel's rule at the merged coverage runs
// (coverage 0 included). Tiles are looked up once per 128 columns; an absent tile is made
// as BlendPixel makes it, only for a colour that is not zero.
template <class TLayer>
void ResolveRow(TLayer& layer, const TRowScratch& aa, int32_t y, int32_t end,
                typename TLayer::TPixel colour) {
  using TPixel = typename TLayer::TPixel;
  const bool fullStores = FullStores(colour);
  const TRun* run = aa.coverage;
  layer.ForEachRowRun(y, 0, end, colour != 0, [&](TPixel* row, int32_t from, int32_t to) {
    while (run->to <= from) ++run;
    for (const TRun* r = run; r->from < to; ++r) {
      const int32_t a = std::max(r->from, from), b = std::min(r->to, to);
      TPixel* p = row + (a - from);
      if (r->value == 0) {
        PaintUncovered(p, b - a, colour);
      } else if (r->value == 255 && fullStores) {
        StoreRun(p, b - a, colour);
      } else {
        for (int32_t i = 0; i < b - a; ++i) PaintCovered(p[i], colour, r->value);
      }
      if (r->to >= end) break;
    }
  });
}

// The scan shared by both fills and both depths; rows firstRow .. lastRow inclusive.
template <class TLayer>
bool Scan(TLayer& layer, const CPolySides& edges, int32_t firstRow, int32_t lastRow,
          typename TLayer::TPixel colour, uint8_t opacity, bool antiAlias, bool evenOdd) {
  if (layer.width <= 0 || layer.height <= 0) return true;
  // Rows outside the layer paint nothing; the one-row margin stays.
  firstRow = std::max(firstRow, -1);
  lastRow = std::min(lastRow, layer.height);
  CBandSweep sweep(edges);
  const std::vector<TEdge>* band = nullptr;
  thread_local TRowScratch aa;
  const int32_t width = layer.width;
  for (int32_t y = firstRow; y <= lastRow; ++y) {
    if (y == firstRow || y % 16 == 0) band = &sweep.Rebuild(y);
    if (!antiAlias) {
      const double lineY[1] = {static_cast<double>(y)};
      if (!CollectCrossings(*band, lineY, aa.crossings1)) return false;
      const TCrossings& line = aa.crossings1[0];
      if (line.count == 0 || (line.count & 1)) continue;
      ForEachSpan(line.at, line.count, evenOdd, [&](double left, double right) {
        if (!evenOdd) {
          left = std::max(left, 0.0);
          right = std::min(right, static_cast<double>(width));
        }
        PaintSpanSolid(layer, y, TruncToInt(left + 0.5), TruncToInt(right + 0.5), colour, opacity);
      });
      continue;
    }
    // Every row resolves from column 0 to its rightmost column (the largest truncated right
    // end of its spans; truncating the largest end gives the same), which starts at 0 as
    // well, so a row without spans still resolves column 0.
    double rightmost = 0;
    const double lineY[4] = {y + 0.5 * 0.25, y + 1.5 * 0.25, y + 2.5 * 0.25, y + 3.5 * 0.25};
    if (!CollectCrossings(*band, lineY, aa.crossings)) return false;
    for (int j = 0; j < 4; ++j) {
      TLineRuns line{aa.lines[j], 0, opacity};
      // The spans as RowFillAA8 at opacity 255 paints them: its runs are at full strength.
      auto blend = [&line](int32_t x, uint32_t s) { line.Blend(x, s); };
      ForEachSpan(aa.crossings[j].at, aa.crossings[j].count, evenOdd,
                  [&](double left, double right) {
                    WalkSpan(width, left, right, 255, blend, blend,
                             [&line](int32_t from, int32_t to, uint32_t) { line.Set(from, to); });
                    rightmost = std::max(rightmost, right);
                  });
      line.runs[line.count] = kEndMark;
    }
    if (y < 0 || y >= layer.height) continue;
    const int32_t end = std::clamp(TruncToInt(rightmost), 0, width - 1) + 1;
    aa.Merge(end);
    ResolveRow(layer, aa, y, end, colour);
  }
  return true;
}

// A vertex list the fills can use: null when a vertex is not finite; otherwise the caller's
// points, or a copy with coordinates beyond +-1e15 moved onto that bound.
const TPolygon* SafeVertices(const TPolygon& points, TPolygon& copy) {
  bool huge = false;
  for (const auto& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return nullptr;
    if (std::fabs(p.x) > kMaxCoordinate || std::fabs(p.y) > kMaxCoordinate) huge = true;
  }
  if (!huge) return &points;
  copy = points;
  for (auto& p : copy) {
    p.x = std::clamp(p.x, -kMaxCoordinate, kMaxCoordinate);
    p.y = std::clamp(p.y, -kMaxCoordinate, kMaxCoordinate);
  }
  return &copy;
}

// Adds the edges of one closed outline, leaving out those wholly above or below the layer.
void AddOutline(CPolySides& edges, const TPolygon& v, int32_t height) {
  const size_t n = v.size();
  for (size_t i = 0; i < n; ++i) {
    const CVector2<double>* a = &v[i];
    const CVector2<double>* b = &v[(i + 1) % n];
    if (a->y < 0 && b->y < 0) continue;
    if (a->y > height && b->y > height) continue;
    edges.AddSide(a, b);
  }
}

template <class TLayer>
bool FillPolygonT(TLayer& layer, const TPolygon& polygon, typename TLayer::TPixel colour,
                  uint8_t opacity, bool antiAlias) {
  if (polygon.size() < 3) return false;
  TPolygon copy;
  const TPolygon* v = SafeVertices(polygon, copy);
  if (v == nullptr) return false;
  double lo = (*v)[0].y, hi = (*v)[0].y;
  for (const auto& p : *v) {
    lo = std::min(lo, p.y);
    hi = std::max(hi, p.y);
  }
  int32_t ymin = TruncToInt(lo), ymax = TruncToInt(hi);
  thread_local CPolySides edges;  // reused: no allocation once the largest outline was seen
  edges.Clear();
  AddOutline(edges, *v, layer.height);
  if (ymin < 0) ymin = 0;
  if (ymin >= layer.height || ymax < 0) return false;
  if (ymax > layer.height - 1) ymax = layer.height - 1;
  edges.Prepare();
  return Scan(layer, edges, ymin - 1, ymax + 1, colour, opacity, antiAlias, false);
}

template <class TLayer>
bool FillContoursT(TLayer& layer, const TContours& contours, typename TLayer::TPixel colour,
                   uint8_t opacity, bool antiAlias) {
  std::vector<TPolygon> copies(contours.size());
  std::vector<const TPolygon*> safe(contours.size(), nullptr);
  for (size_t c = 0; c < contours.size(); ++c) {
    if (contours[c].size() <= 2) continue;
    safe[c] = SafeVertices(contours[c], copies[c]);
    if (safe[c] == nullptr) return true;  // a vertex that is not a number: nothing is painted
  }
  int32_t ymin = 0, ymax = 0;
  if (!contours.empty() && safe[0] != nullptr) ymin = ymax = TruncToInt((*safe[0])[0].y);
  thread_local CPolySides edges;
  edges.Clear();
  for (size_t c = 0; c < contours.size(); ++c) {
    if (safe[c] == nullptr) continue;
    for (const auto& p : *safe[c]) {
      ymin = std::min(ymin, TruncToInt(p.y));
      ymax = std::max(ymax, TruncToInt(p.y));
    }
    AddOutline(edges, *safe[c], layer.height);
    if (ymin < 0) ymin = 0;
    if (ymin < layer.height && ymax >= 0 && ymax > layer.height - 1) ymax = layer.height - 1;
  }
  edges.Prepare();
  return Scan(layer, edges, ymin - 1, ymax + 1, colour, opacity, antiAlias, true);
}

}  // namespace

void CPolySides::AddSide(const CVector2<double>* from, const CVector2<double>* to) {
  TPolySide side;
  side.from = from;
  side.to = to;
  sides.push_back(side);
}

void CPolySides::Prepare() {
  for (auto& s : sides) {
    const double dy = s.to->y - s.from->y;
    s.slope = dy == 0 ? 0.0 : (s.to->x - s.from->x) / dy;
    s.down = s.to->y > s.from->y;
  }
}

void CPolySides::CollectBand(const CPolySides& source, double top, double height) {
  for (const auto& s : source.sides) {
    if ((top <= s.from->y && top + height >= s.to->y) ||
        (top <= s.to->y && top + height >= s.from->y))
      sides.push_back(s);
  }
}

bool CPolySides::CrossingX(size_t index, double y, double& x) const {
  const TPolySide& s = sides[index];
  if (s.from->y == s.to->y) return false;
  const double ys = y + kLineOffset;
  const CVector2<double>* low = s.from->y < s.to->y ? s.from : s.to;
  const CVector2<double>* high = s.from->y < s.to->y ? s.to : s.from;
  if (ys < low->y || ys > high->y) return false;
  x = s.slope * (ys - low->y) + low->x;
  // A near-horizontal edge of far-away vertices can overflow; keep the crossing a number.
  if (!std::isfinite(x)) x = x > 0 ? kMaxCoordinate : -kMaxCoordinate;
  return true;
}

bool FillPolygon(CImageTile32& layer, const TPolygon& polygon, uint32_t colour, uint8_t opacity,
                 bool antiAlias) {
  return FillPolygonT(layer, polygon, colour, opacity, antiAlias);
}

bool FillPolygon(CImageTile8& layer, const TPolygon& polygon, uint8_t value, uint8_t opacity,
                 bool antiAlias) {
  return FillPolygonT(layer, polygon, value, opacity, antiAlias);
}

bool FillContours(CImageTile32& layer, const TContours& contours, uint32_t colour, uint8_t opacity,
                  bool antiAlias) {
  return FillContoursT(layer, contours, colour, opacity, antiAlias);
}

bool FillContours(CImageTile8& layer, const TContours& contours, uint8_t value, uint8_t opacity,
                  bool antiAlias) {
  return FillContoursT(layer, contours, value, opacity, antiAlias);
}

}  // namespace pavo

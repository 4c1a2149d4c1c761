// Polygon scan conversion.
//
// Rows are scanned from one row above the outline to one row below it, clipped to the layer.
// Each row is sampled on one line (its top edge, y + 0.00123456789) or, anti-aliased, on four
// lines y + 0.125 .. y + 0.875; the crossings of a line are sorted and paired into spans by the
// non-zero winding rule (single polygon) or the even-odd rule (contours). Anti-aliased spans
// are accumulated in a 4-row coverage scratch and resolved into the layer one row at a time.
#include "imaging/PolyFill.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// The crossings of one sample line (at lineY + 0.00123456789) with the band's edges, sorted
// by x; false on overflow. The crossing of an edge is the one CPolySides::CrossingX gives.
bool CollectCrossings(const std::vector<TEdge>& band, double lineY, TCrossing* table, int& count) {
  count = 0;
  const double ys = lineY + kLineOffset;
  for (const TEdge& e : band) {
    if (ys < e.lowY || ys > e.highY) continue;
    double x = e.slope * (ys - e.lowY) + e.lowX;
    // A near-horizontal edge of far-away vertices can overflow; keep the crossing a number.
    if (!std::isfinite(x)) x = x > 0 ? kMaxCoordinate : -kMaxCoordinate;
    if (count == kMaxCrossings - 1) return false;
    table[count++] = TCrossing{x, e.down};
  }
  // Bubble sort, swapping only when the left x is strictly greater.
  for (int pass = count - 1; pass > 0; --pass) {
    bool swapped = false;
    for (int k = 0; k < pass; ++k) {
      if (table[k].x > table[k + 1].x) {
        std::swap(table[k], table[k + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
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

// The four coverage rows of the anti-aliased scan, followed by one row of resolved
// coverage; kept per thread and reused by every fill, so a fill allocates no scratch once
// the widest layer has been filled. All five rows are zero between fills.
class CAaScratch {
 public:
  // Rows of at least `width` bytes; false when they cannot be had.
  bool Reserve(int32_t width) {
    if (width <= width_) return true;
    try {
      bytes_.assign(static_cast<size_t>(width) * 5, 0);
    } catch (...) {
      bytes_.clear();
      width_ = 0;
      return false;
    }
    width_ = width;
    return true;
  }
  uint8_t* Row(int j) { return bytes_.data() + static_cast<size_t>(j) * width_; }
  // After a fill that stopped half way through a row.
  void Clear() { std::fill(bytes_.begin(), bytes_.end(), uint8_t{0}); }

 private:
  std::vector<uint8_t> bytes_;
  int32_t width_ = 0;
};

// Coverage 0 on a 32-bit pixel: PaintOver at strength 0 keeps every pixel except an empty
// one, which takes the colour's channels with alpha floor(A / 256) = 0.
inline void PaintUncovered(uint32_t* row, int32_t n, uint32_t colour) {
  const uint32_t channels = colour & 0x00FFFFFFu;
  int32_t i = 0;
#ifdef __SSE2__
  // Four pixels at a time: empty lanes take the channels, the others stay.
  const __m128i fill = _mm_set1_epi32(static_cast<int32_t>(channels));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 4 <= n; i += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(row + i);
    const __m128i d = _mm_loadu_si128(p);
    const __m128i empty = _mm_cmpeq_epi32(_mm_srli_epi32(d, 24), zero);
    _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(empty, fill), _mm_andnot_si128(empty, d)));
  }
#endif
  for (; i < n; ++i)
    if ((row[i] >> 24) == 0) row[i] = channels;
}
// On an 8-bit pixel Lerp8 at strength 0 keeps the pixel.
inline void PaintUncovered(uint8_t*, int32_t, uint32_t) {}

// Coverage 255 of an opaque colour (PaintOver at full strength) or of a byte (Lerp8)
// stores the colour.
inline bool FullStores(uint32_t colour) { return AlphaOf(colour) == 255; }
inline bool FullStores(uint8_t) { return true; }

inline void PaintCovered(uint32_t& d, uint32_t colour, uint32_t coverage) {
  if (coverage == 0) {
    if (AlphaOf(d) == 0) d = colour & 0x00FFFFFFu;
  } else {
    PaintOver(d, colour, coverage);
  }
}
inline void PaintCovered(uint8_t& d, uint32_t value, uint32_t coverage) {
  Lerp8(d, value, coverage);
}

// The end of the run of bytes equal to c that starts at i (end exclusive, at most end).
inline int32_t RunEnd(const uint8_t* bytes, int32_t i, int32_t end, uint8_t c) {
  const uint64_t pattern = 0x0101010101010101ull * c;
  while (i + 8 <= end) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word != pattern) break;
    i += 8;
  }
  while (i < end && bytes[i] == c) ++i;
  return i;
}

// Columns from .. end - 1 of one tile row (row[i - base] is column i) at the given
// coverages: runs of 0 and, where it stores the colour, of 255 are painted as runs, other
// pixels one at a time.
template <class TPixel>
void PaintCoveredRun(TPixel* row, int32_t base, const uint8_t* coverage, int32_t from, int32_t end,
                     TPixel colour) {
  const bool fullStores = FullStores(colour);
  for (int32_t i = from; i < end;) {
    const uint8_t c = coverage[i];
    if (c == 0 || (c == 255 && fullStores)) {
      const int32_t j = RunEnd(coverage, i + 1, end, c);
      if (c == 0) {
        PaintUncovered(row + (i - base), j - i, colour);
      } else {
        std::fill(row + (i - base), row + (j - base), colour);
      }
      i = j;
    } else {
      PaintCovered(row[i - base], colour, c);
      ++i;
    }
  }
}

// Columns 0 .. to of row y blended with BlendPixel's rule (coverage 0 included), the
// coverage being the mean of the four sample rows, which are cleared. Columns before
// spanFrom were not touched by any span: their coverage is 0 without reading the rows.
// Tiles are looked up once per 128 columns; an absent tile is made as BlendPixel makes it,
// only for a colour that is not zero.
template <class TLayer>
void ResolveRow(TLayer& layer, CAaScratch& scratch, int32_t y, int32_t spanFrom, int32_t to,
                typename TLayer::TPixel colour) {
  uint8_t* s0 = scratch.Row(0);
  uint8_t* s1 = scratch.Row(1);
  uint8_t* s2 = scratch.Row(2);
  uint8_t* s3 = scratch.Row(3);
  uint8_t* coverage = scratch.Row(4);
  const size_t n = static_cast<size_t>(to + 1 - spanFrom);
  if (n > 0) {
    for (int32_t x = spanFrom; x <= to; ++x)
      coverage[x] = static_cast<uint8_t>((s0[x] + s1[x] + s2[x] + s3[x]) >> 2);
    std::memset(s0 + spanFrom, 0, n);
    std::memset(s1 + spanFrom, 0, n);
    std::memset(s2 + spanFrom, 0, n);
    std::memset(s3 + spanFrom, 0, n);
  }
  if (y >= 0 && y < layer.height) {
    layer.ForEachRowRun(
        y, 0, to + 1, colour != 0, [&](typename TLayer::TPixel* row, int32_t from, int32_t end) {
          const int32_t uncoveredEnd = std::min(end, spanFrom);
          if (from < uncoveredEnd) PaintUncovered(row, uncoveredEnd - from, colour);
          PaintCoveredRun(row, from, coverage, std::max(from, spanFrom), end, colour);
        });
  }
  if (n > 0) std::memset(coverage + spanFrom, 0, n);
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
  TCrossing table[kMaxCrossings];
  thread_local CAaScratch scratch;
  if (antiAlias && !scratch.Reserve(std::max(layer.width, 1)))
    return false;  // no scratch to be had: nothing painted
  const int32_t width = layer.width;
  for (int32_t y = firstRow; y <= lastRow; ++y) {
    if (y == firstRow || y % 16 == 0) band = &sweep.Rebuild(y);
    if (!antiAlias) {
      int count;
      if (!CollectCrossings(*band, y, table, count)) return false;
      if (count == 0 || (count & 1)) continue;
      ForEachSpan(table, count, evenOdd, [&](double left, double right) {
        if (!evenOdd) {
          left = std::max(left, 0.0);
          right = std::min(right, static_cast<double>(width));
        }
        PaintSpanSolid(layer, y, TruncToInt(left + 0.5), TruncToInt(right + 0.5), colour, opacity);
      });
      continue;
    }
    // Every row resolves from column 0 to its rightmost column, which starts at 0 as well,
    // so a row without spans still resolves column 0.
    double rightmost = 0;
    double spanLeft = kMaxColumn;  // the truncated left end of the leftmost span
    for (int j = 0; j < 4; ++j) {
      int count;
      if (!CollectCrossings(*band, y + (j + 0.5) * 0.25, table, count)) {
        scratch.Clear();
        return false;
      }
      uint8_t* scratchRow = scratch.Row(j);
      TBltInfo8 info;
      info.colour = opacity;
      info.opacity = 255;
      ForEachSpan(table, count, evenOdd, [&](double left, double right) {
        RowFillAA8(info, scratchRow, width, left, right);
        spanLeft = std::min(spanLeft, std::trunc(std::clamp(left, -kMaxColumn, kMaxColumn)));
        if (evenOdd) {
          rightmost = std::max(rightmost, right);
        } else {
          rightmost = std::max(rightmost, std::trunc(std::clamp(right, -kMaxColumn, kMaxColumn)));
        }
      });
    }
    const int32_t to = std::clamp(TruncToInt(rightmost), 0, width - 1);
    const int32_t spanFrom = std::clamp(TruncToInt(spanLeft), 0, to + 1);
    ResolveRow(layer, scratch, y, spanFrom, to, colour);
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

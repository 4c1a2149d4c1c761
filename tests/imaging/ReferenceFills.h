// Slow reference rasterisers, written step by step from the rules of the polygon and disc
// fills with nothing but the public pixel primitives: the fast fills are compared with them
// pixel for pixel on random scenes. Inputs are ordinary (finite, within a few thousand
// pixels of the layer); the fast fills' guards against absurd coordinates are not modelled.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "imaging/DiscFill.h"
#include "imaging/PolyFill.h"

namespace pavo::reference {

template <class TLayer>
constexpr bool kIs32 = std::is_same_v<TLayer, CImageTile32>;

struct TCrossing {
  double x;
  bool down;
};

// Columns start .. end - 1 (the single column start when end == start) of row y painted with
// the row fill in mode 2, through the layer's row buffer.
template <class TLayer>
void SolidSpan(TLayer& layer, int32_t y, int32_t start, int32_t end, typename TLayer::TPixel colour,
               uint8_t opacity) {
  if (y < 0 || y >= layer.height || end < start) return;
  const int32_t last = end > start ? end - 1 : start;
  if (last < 0 || start > layer.width - 1) return;
  const int32_t x0 = std::max(start, 0), x1 = std::min(last, layer.width - 1);
  auto* row = layer.GatherRow(layer.rowBuffer.data(), x0, y, x1 - x0 + 1);
  TBltInfo<typename TLayer::TPixel> info;
  info.mode = kFillPaint;
  info.colour = colour;
  info.opacity = opacity;
  if constexpr (kIs32<TLayer>) {
    RowFill32(info, row, x0, x1 - x0 + 1);
  } else {
    RowFill8(info, row, x0, x1 - x0 + 1);
  }
  layer.ScatterRow(row, x0, y, x1 - x0 + 1);
}

// Rows first .. last of the fill; false when a sample line reaches 256 crossings.
template <class TLayer>
bool Scan(TLayer& layer, const CPolySides& edges, int32_t first, int32_t last,
          typename TLayer::TPixel colour, uint8_t opacity, bool antiAlias, bool evenOdd) {
  const int32_t width = layer.width;
  CPolySides band;
  std::vector<uint8_t> scratch(static_cast<size_t>(std::max(width, 1)) * 4, 0);
  auto row = [&](int j) { return scratch.data() + static_cast<size_t>(j) * std::max(width, 1); };
  for (int32_t y = first; y <= last; ++y) {
    if (y == first || y % 16 == 0) {
      band.Clear();
      band.CollectBand(edges, y, 16);
      band.Prepare();
    }
    int32_t leftmost = 0, rightmost = 0;  // single polygon: truncated ends
    double leftEnd = 0, rightEnd = 0;     // contours: the ends themselves
    const int lines = antiAlias ? 4 : 1;
    for (int j = 0; j < lines; ++j) {
      const double lineY = antiAlias ? y + (j + 0.5) * 0.25 : y;
      std::vector<TCrossing> table;
      for (size_t i = 0; i < band.sides.size(); ++i) {
        double x;
        if (!band.CrossingX(i, lineY, x)) continue;
        if (table.size() == 255) return false;
        table.push_back({x, band.sides[i].down});
      }
      for (size_t pass = 0; pass < table.size(); ++pass)
        for (size_t k = 0; k + 1 < table.size(); ++k)
          if (table[k].x > table[k + 1].x) std::swap(table[k], table[k + 1]);
      const int count = static_cast<int>(table.size());
      if (!antiAlias && (count == 0 || count % 2 == 1)) continue;
      std::vector<std::pair<double, double>> spans;
      if (evenOdd) {
        for (int k = 0; k + 1 < count; k += 2)
          if (table[k].x != table[k + 1].x) spans.emplace_back(table[k].x, table[k + 1].x);
      } else {
        double previousEnd = -999.9;
        for (int k = 0; k + 1 < count; ++k) {
          int winding = 0;
          for (int i = 0; i <= k; ++i) winding += table[i].down ? 1 : -1;
          if (table[k].x == table[k + 1].x || winding == 0) continue;
          double left = table[k].x;
          if (left == previousEnd) left = std::trunc(left);
          previousEnd = table[k + 1].x;
          spans.emplace_back(left, table[k + 1].x);
        }
      }
      for (auto [left, right] : spans) {
        if (antiAlias) {
          TBltInfo8 info;
          info.colour = opacity;
          info.opacity = 255;
          RowFillAA8(info, row(j), width, left, right);
          if (evenOdd) {
            leftEnd = std::min(leftEnd, left);
            rightEnd = std::max(rightEnd, right);
          } else {
            leftmost = std::min(leftmost, static_cast<int32_t>(std::trunc(left)));
            rightmost = std::max(rightmost, static_cast<int32_t>(std::trunc(right)));
          }
        } else {
          if (!evenOdd) {
            left = std::max(left, 0.0);
            right = std::min(right, static_cast<double>(width));
          }
          SolidSpan(layer, y, static_cast<int32_t>(left + 0.5), static_cast<int32_t>(right + 0.5),
                    colour, opacity);
        }
      }
    }
    if (!antiAlias) continue;
    if (evenOdd) {
      leftmost = static_cast<int32_t>(leftEnd);
      rightmost = static_cast<int32_t>(rightEnd);
    }
    leftmost = std::clamp(leftmost, 0, width - 1);
    rightmost = std::clamp(rightmost, 0, width - 1);
    for (int32_t x = leftmost; x <= rightmost; ++x) {
      const uint32_t sum = row(0)[x] + row(1)[x] + row(2)[x] + row(3)[x];
      for (int j = 0; j < 4; ++j) row(j)[x] = 0;
      layer.BlendPixel(x, y, colour, sum / 4);
    }
  }
  return true;
}

template <class TLayer>
void AddOutline(CPolySides& edges, const TPolygon& v, int32_t height) {
  for (size_t i = 0; i < v.size(); ++i) {
    const CVector2<double>& a = v[i];
    const CVector2<double>& b = v[(i + 1) % v.size()];
    if ((a.y < 0 && b.y < 0) || (a.y > height && b.y > height)) continue;
    edges.AddSide(&a, &b);
  }
}

template <class TLayer>
bool FillPolygon(TLayer& layer, const TPolygon& v, typename TLayer::TPixel colour, uint8_t opacity,
                 bool antiAlias) {
  if (v.size() < 3) return false;
  double lo = v[0].y, hi = v[0].y;
  for (const auto& p : v) {
    lo = std::min(lo, p.y);
    hi = std::max(hi, p.y);
  }
  int32_t ymin = static_cast<int32_t>(lo), ymax = static_cast<int32_t>(hi);
  CPolySides edges;
  AddOutline<TLayer>(edges, v, layer.height);
  if (ymin < 0) ymin = 0;
  if (ymin >= layer.height || ymax < 0) return false;
  if (ymax > layer.height - 1) ymax = layer.height - 1;
  edges.Prepare();
  return Scan(layer, edges, ymin - 1, ymax + 1, colour, opacity, antiAlias, false);
}

template <class TLayer>
bool FillContours(TLayer& layer, const TContours& contours, typename TLayer::TPixel colour,
                  uint8_t opacity, bool antiAlias) {
  int32_t ymin = 0, ymax = 0;
  if (!contours.empty() && contours[0].size() > 2)
    ymin = ymax = static_cast<int32_t>(contours[0][0].y);
  CPolySides edges;
  for (const TPolygon& c : contours) {
    if (c.size() <= 2) continue;
    for (const auto& p : c) {
      ymin = std::min(ymin, static_cast<int32_t>(p.y));
      ymax = std::max(ymax, static_cast<int32_t>(p.y));
    }
    AddOutline<TLayer>(edges, c, layer.height);
    if (ymin < 0) ymin = 0;
    if (ymin < layer.height && ymax >= 0 && ymax > layer.height - 1) ymax = layer.height - 1;
  }
  edges.Prepare();
  return Scan(layer, edges, ymin - 1, ymax + 1, colour, opacity, antiAlias, true);
}

// The disc, row by row and pixel by pixel: tiles of the clipped box made as the rows meet
// them, the falloff index or the corner classification, sampling of partly covered pixels,
// and the write (maximum for an 8-bit max-mode layer, the mode-2 row fill for colour).
template <class TLayer>
bool FillDiscRows(TLayer& layer, double cx, double cy, double r, const TDiscInfo& info) {
  if (r > 2000 || r <= 0) return false;
  const int32_t side = static_cast<int32_t>(2 * r + 2);
  int32_t x0 = static_cast<int32_t>(cx - r), y0 = static_cast<int32_t>(cy - r);
  int32_t x1 = std::min(x0 + side, layer.width), y1 = std::min(y0 + side, layer.height);
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  if (x0 >= x1 || y0 >= y1) return false;
  const int64_t centreX8 = static_cast<int32_t>(cx * 8), centreY8 = static_cast<int32_t>(cy * 8);
  const int64_t r8 = static_cast<int32_t>(r * 8);
  const int64_t radiusSq8 = r8 * r8;
  const int64_t inner8 = r > 2 ? static_cast<int32_t>((r - 2) * 8) : 0;
  const int64_t grid = info.grid;
  const int64_t gridRadius = static_cast<int64_t>(grid * r);
  const int64_t gridCentreX = static_cast<int64_t>(grid * cx);
  const int64_t gridCentreY = static_cast<int64_t>(grid * cy);
  const int32_t maxValue = info.value * info.opacity / 255;
  const bool small = r <= 3;
  const int64_t tableScale = static_cast<int32_t>(r * 4);
  std::vector<int32_t> table;
  if (info.falloff) table = BuildFalloffTable(r, info.opacity, info.falloffPower);
  auto inside = [&](int64_t dx, int64_t dy) { return dx * dx + dy * dy < radiusSq8; };
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = x0; x < x1; ++x) {
      layer.CreateTile(x >> kTileShift, y >> kTileShift);
      if constexpr (!kIs32<TLayer>) {
        if (layer.GetPixel(x, y) >= maxValue) continue;
      }
      const int64_t dx = 8 * static_cast<int64_t>(x) - centreX8;
      const int64_t dy = 8 * static_cast<int64_t>(y) - centreY8;
      bool partial;
      int32_t w;
      if (info.falloff) {
        const int64_t ex = centreX8 - 8 * x - 4, ey = centreY8 - 8 * y - 4;
        const int64_t d2 = ex * ex + ey * ey;
        if (d2 >= radiusSq8) continue;
        int64_t i;
        if (small) {
          i = radiusSq8 == 0 ? 0 : tableScale * d2 / radiusSq8;
        } else {
          i = (radiusSq8 >> 8) == 0 ? 0 : tableScale * (d2 >> 8) / (radiusSq8 >> 8);
        }
        if (i < 0) continue;
        w = table[static_cast<size_t>(i)];
        if (w == 0) continue;
        partial = small;
      } else {
        if (small) {
          partial = true;
        } else if (dx * dx + dy * dy < inner8 * inner8) {
          partial = false;
        } else {
          const int n =
              inside(dx, dy) + inside(dx + 8, dy) + inside(dx, dy + 8) + inside(dx + 8, dy + 8);
          if (n == 0) continue;
          partial = n < 4;
        }
        w = kIs32<TLayer> ? info.opacity : maxValue;
      }
      if (partial) {
        int32_t count = 0, total = 0;
        for (int64_t sy = 0; sy < grid; sy += info.stepY)
          for (int64_t sx = 0; sx < grid; sx += info.stepX) {
            const int64_t px = sx + grid * x - gridCentreX, py = grid * y + sy - gridCentreY;
            ++total;
            if (px * px + py * py < gridRadius * gridRadius) ++count;
          }
        int32_t coverage = count * 255 / total;
        if (!info.antiAlias) {
          if (coverage < 128) continue;
          coverage = 255;
        }
        w = w * coverage / 255;
      }
      if constexpr (kIs32<TLayer>) {
        TBltInfo32 fill;
        fill.mode = kFillPaint;
        fill.colour = info.colour;
        fill.opacity = static_cast<uint8_t>(w);
        uint32_t pixel = layer.GetPixel(x, y);
        RowFill32(fill, &pixel, 0, 1);
        layer.SetPixel(x, y, pixel);
      } else if (w > layer.GetPixel(x, y)) {
        layer.SetPixel(x, y, static_cast<uint8_t>(w));
      }
    }
  }
  return true;
}

}  // namespace pavo::reference

// W2: the single-polygon fill (non-zero winding) of a star and a turned ellipse.
#include <algorithm>
#include <cmath>
#include <string>

#include "bench/BenchCommon.h"
#include "imaging/PolyFill.h"

namespace {

using namespace pavo;

constexpr double kCx = 512.3;
constexpr double kCy = 511.7;

TPolygon Star(double r) {
  TPolygon p;
  for (int k = 0; k < 5; ++k) {
    const double a = -M_PI / 2 + k * 4 * M_PI / 5;
    p.emplace_back(kCx + r * std::cos(a), kCy + r * std::sin(a));
  }
  return p;
}

TPolygon Ellipse(double r) {
  const double rx = r, ry = r / 2;
  int count = static_cast<int>(std::max(rx, ry) * 2 * M_PI * 0.125);
  count = std::clamp(count, 32, 512);
  TPolygon p;
  for (int i = 0; i < count; ++i) {
    const double theta = static_cast<double>(i) / count * 2 * M_PI;
    const double dx = std::cos(theta) * rx, dy = std::sin(theta) * ry;
    p.emplace_back(kCx + std::cos(0.3) * dx - std::sin(0.3) * dy,
                   kCy + std::sin(0.3) * dx + std::cos(0.3) * dy);
  }
  return p;
}

int FillCount(int r) { return r == 10 ? 20000 : (r == 50 ? 10000 : 1500); }

void W2_Fill(benchmark::State& state, bool star, int r, bool aa) {
  const TPolygon polygon = star ? Star(r) : Ellipse(r);
  const int n = FillCount(r);
  CImageTile32 layer;
  if (!layer.Resize(1024, 1024)) quarnel::bench::Fail("layer");
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) FillPolygon(layer, polygon, 0xff000000u, 255, aa);
    benchmark::ClobberMemory();
  }
  state.counters["us_per_fill"] = quarnel::bench::PerItem(n, 1e6);
}

// Registered by hand so that the shape is named in the benchmark's name.
const bool kRegistered = [] {
  for (const bool star : {true, false})
    for (const int r : {10, 50, 250})
      for (const bool aa : {true, false}) {
        const std::string name = std::string("W2_Fill/shape:") + (star ? "star" : "ellipse") +
                                 "/R:" + std::to_string(r) + "/aa:" + (aa ? "1" : "0");
        benchmark::RegisterBenchmark(name.c_str(), W2_Fill, star, r, aa);
      }
  return true;
}();

}  // namespace

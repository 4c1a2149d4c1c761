// W1: round dabs of the plain brush, through the disc fill entry point the circular dab uses.
#include <algorithm>
#include <cmath>
#include <vector>

#include "bench/BenchCommon.h"
#include "imaging/DiscFill.h"

namespace {

using namespace pavo;

struct TDabWalk {
  std::vector<double> xs, ys;
};

// The centres of the workload: a raster walk over the 2048 x 2048 layer.
TDabWalk MakeWalk(double r, int n) {
  TDabWalk walk;
  const double x0 = r + 8.5;
  const double y0 = r + 8.5;
  const double step = std::max(1.0, 0.25 * r);
  double x = x0, y = y0;
  for (int i = 0; i < n; ++i) {
    walk.xs.push_back(x);
    walk.ys.push_back(y);
    x += step;
    if (x + r + 8 > 2040) {
      x = x0;
      y += 2 * r + 16;
      if (y + r + 8 > 2040) y = y0;
    }
  }
  return walk;
}

int DabCount(int r) { return r <= 15 ? 4000 : (r == 50 ? 1000 : 200); }

void CheckWalk(int r, const TDabWalk& walk) {
  double sx = 0, sy = 0;
  for (size_t i = 0; i < walk.xs.size(); ++i) {
    sx += walk.xs[i];
    sy += walk.ys[i];
  }
  const bool bad2 = r == 2 && (walk.xs.back() != 1989.5 || walk.ys.back() != 30.5 ||
                               sx != 4040400 || sy != 81600);
  const bool bad250 = r == 250 && (walk.xs.back() != 1758.5 || walk.ys.back() != 774.5 ||
                                   sx != 201700 || sy != 142000);
  if (bad2 || bad250) quarnel::bench::Fail("W1 walk check values differ");
}

// The sampling setting the stepping loop picks for movement along x.
TDiscInfo DabInfo(double r) {
  TDiscInfo info;
  info.value = 255;
  info.opacity = 255;
  info.maxMode = true;
  info.antiAlias = true;
  info.falloff = false;
  if (2 * r < 250) {
    info.grid = 25;
    info.stepX = 5;
    info.stepY = 1;
  } else {
    info.grid = 16;
    info.stepX = 4;
    info.stepY = 1;
  }
  return info;
}

template <bool kSerial>
void RunDabs(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  const int n = DabCount(r);
  const TDabWalk walk = MakeWalk(r, n);
  CheckWalk(r, walk);
  const TDiscInfo info = DabInfo(r);
  CImageTile8 layer;
  if (!layer.Resize(2048, 2048)) quarnel::bench::Fail("layer");
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      if (kSerial) {
        FillDiscRows(layer, walk.xs[i], walk.ys[i], r, info);
      } else {
        FillDisc(layer, walk.xs[i], walk.ys[i], r, info);
      }
    }
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_dab"] = quarnel::bench::PerItem(n, 1e9);
  state.counters["ns_per_px"] = quarnel::bench::PerItem(n * M_PI * r * r, 1e9);
}

void W1_Dab(benchmark::State& state) { RunDabs<false>(state); }
void W1_DabSerial(benchmark::State& state) { RunDabs<true>(state); }

BENCHMARK(W1_Dab)
    ->ArgName("r")
    ->Arg(2)
    ->Arg(5)
    ->Arg(15)
    ->Arg(50)
    ->Arg(125)
    ->Arg(250)
    ->UseRealTime();
BENCHMARK(W1_DabSerial)->ArgName("r")->Arg(125)->Arg(250)->UseRealTime();

}  // namespace

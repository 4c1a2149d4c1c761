// The scratchpad as the author feels it, through its worker: the time from a pen point to its
// piece painted on the pad, and the time to paint ten kept strokes again when the brush
// changes. Timed in wall-clock time: the work happens in the worker.
#include <cmath>
#include <filesystem>
#include <vector>

#include "bench/BenchCommon.h"
#include "preview/PadSession.h"

namespace {

constexpr int32_t kPadW = 492;
constexpr int32_t kPadH = 296;

// Ten strokes across the pad: gentle waves of 40 points 12 pixels apart, pressure rising and
// falling, each a little lower than the one before.
std::vector<quarnel::TPadStroke> TenStrokes() {
  std::vector<quarnel::TPadStroke> strokes;
  for (int s = 0; s < 10; ++s) {
    quarnel::TPadStroke stroke;
    for (int i = 0; i < 40; ++i) {
      const double x = 10.0 + 12.0 * i;
      const double y = 30.0 + 24.0 * s + 10.0 * std::sin(i / 4.0 + s);
      const quarnel::TPadPoint p{x, y, std::sin(3.14159 * i / 39.0), static_cast<uint32_t>(16 * i)};
      stroke.push_back(p);
      if (i == 0) stroke.insert(stroke.end(), 6, p);
    }
    strokes.push_back(std::move(stroke));
  }
  return strokes;
}

void SetUp(quarnel::CPadSession& pad, pavo::CImage32& image, const std::string& path) {
  pad.fixedSeed = 0;
  pad.SetImage(&image);
  pad.SetViewSize(kPadW, kPadH);
  pad.SetBrush(quarnel::bench::SettledSettings(path));
  pad.WaitIdle();
}

// One stroke of 40 points per iteration, each point waited for until its piece is painted.
void PenToPaint(benchmark::State& state, const std::string& path) {
  quarnel::CPadSession pad;
  pavo::CImage32 image(pavo::CImage32::TNoSize{});
  SetUp(pad, image, path);
  const quarnel::TPadStroke points = TenStrokes()[4];
  for (auto _ : state) {
    pad.PenDown(points[0].x, points[0].y, points[0].pressure, 0);
    pad.WaitIdle();
    for (size_t i = 7; i < points.size(); ++i) {
      pad.PenMove(points[i].x, points[i].y, points[i].pressure, points[i].time);
      pad.WaitIdle();
    }
    pad.PenUp();
    pad.WaitIdle();
    if (!pad.Status().empty()) quarnel::bench::Fail(pad.Status().c_str());
    state.PauseTiming();
    pad.Clear();
    pad.WaitIdle();
    state.ResumeTiming();
  }
  state.counters["ms_per_point"] = quarnel::bench::PerItem(points.size() - 6 + 1, 1e3);
}

void Replay(benchmark::State& state, const std::string& path) {
  quarnel::CPadSession pad;
  pavo::CImage32 image(pavo::CImage32::TNoSize{});
  SetUp(pad, image, path);
  quarnel::TStrokeFile file;
  file.width = kPadW;
  file.height = kPadH;
  file.strokes = TenStrokes();
  pad.Load(file);
  pad.WaitIdle();
  for (auto _ : state) {
    pad.Replay();
    pad.WaitIdle();
    if (!pad.Status().empty()) quarnel::bench::Fail(pad.Status().c_str());
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

const bool kRegistered = [] {
  for (const std::string& path : quarnel::bench::EndToEndScripts()) {
    const std::string name = std::filesystem::path(path).filename().string();
    benchmark::RegisterBenchmark(("P1_PenToPaint/script:" + name).c_str(), PenToPaint, path)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("P2_PadReplay10/script:" + name).c_str(), Replay, path)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace

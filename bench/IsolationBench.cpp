// The cost of running discovery and repaints in a worker process: the same work as
// E1_Repaint and E2_Discover, each job forked, sent back through the pipe and reaped. The
// difference to those workloads is what the isolation adds. Timed in wall-clock time: the
// work happens in the worker, whose CPU time the caller's clock does not see.
#include <filesystem>
#include <vector>

#include "app/PreviewWorker.h"
#include "bench/BenchCommon.h"
#include "cli/Sliders.h"

namespace {

using namespace pavo;

void RepaintInWorker(benchmark::State& state, const std::string& path) {
  CBrushInfo info;
  quarnel::TSliderPanel panel;
  quarnel::DiscoverIntoPanel(info, path, panel);
  quarnel::ApplyPanel(panel, true, info);
  CImage32 preview(492, 296);
  const quarnel::TJobLimits limits;
  for (auto _ : state) {
    std::string stopped = quarnel::RepaintInWorker(info, preview, 0, nullptr, limits);
    if (!stopped.empty()) quarnel::bench::Fail(stopped.c_str());
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

void DiscoverInWorker(benchmark::State& state, const std::string& path) {
  CBrushInfo info;
  info.SetType(11);
  info.scriptPath = path;
  const quarnel::TJobLimits limits;
  for (auto _ : state) {
    std::string status = quarnel::DiscoverInWorker(info, limits);
    benchmark::DoNotOptimize(status);
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

const bool kRegistered = [] {
  for (const std::string& path : quarnel::bench::EndToEndScripts()) {
    const std::string name = std::filesystem::path(path).filename().string();
    benchmark::RegisterBenchmark(("E1_RepaintInWorker/script:" + name).c_str(), RepaintInWorker,
                                 path)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  for (const std::string& path : quarnel::bench::EndToEndScripts()) {
    const std::string name = std::filesystem::path(path).filename().string();
    benchmark::RegisterBenchmark(("E2_DiscoverInWorker/script:" + name).c_str(), DiscoverInWorker,
                                 path)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace

// E1 and E2: what the author waits for: a whole preview repaint, and a whole discovery.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "bench/BenchCommon.h"
#include "preview/PreviewSession.h"
#include "preview/TestStroke.h"
#include "script/Discovery.h"

namespace quarnel::bench {

std::vector<std::string> EndToEndScripts() {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("examples"))) {
    if (entry.path().extension() == ".bs") paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  paths.push_back(W3ChunkPath());
  return paths;
}

pavo::CBrushInfo SettledSettings(const std::string& path) {
  TJobLimits limits;
  limits.isolate = false;
  CPreviewSession session(limits);
  session.SetScript(path);
  session.DiscoverNow();
  return session.SettledSettings();
}

}  // namespace quarnel::bench

namespace {

using namespace pavo;

void RepaintPlain(benchmark::State& state) {
  CBrushInfo info;
  info.width = 15;
  info.pressureSize = true;
  CImage32 preview(492, 296);
  for (auto _ : state) DrawTestStroke(info, preview, 0);
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

// Sliders at the script's defaults, as the window has them once they have settled.
void RepaintScript(benchmark::State& state, const std::string& path) {
  CBrushInfo info = quarnel::bench::SettledSettings(path);
  CImage32 preview(492, 296);
  for (auto _ : state) DrawTestStroke(info, preview, 0);
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

void Discover(benchmark::State& state, const std::string& path) {
  CBrushInfo info;
  info.SetType(11);
  info.scriptPath = path;
  for (auto _ : state) {
    std::string status = DiscoverScript(info);
    benchmark::DoNotOptimize(status);
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

const bool kRegistered = [] {
  auto milliseconds = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
  milliseconds(benchmark::RegisterBenchmark("E1_Repaint/plain", RepaintPlain));
  quarnel::bench::RegisterPerScript("E1_Repaint", RepaintScript, milliseconds);
  quarnel::bench::RegisterPerScript("E2_Discover", Discover, milliseconds);
  return true;
}();

}  // namespace

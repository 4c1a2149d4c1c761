// Helpers shared by the benchmark workloads.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "brush/BrushInfo.h"

namespace quarnel::bench {

// The per-item counter of every workload: items per iteration, inverted into a time per item
// and scaled to the unit the counter's name gives (1e9 for ns, 1e6 for us, 1e3 for ms).
inline benchmark::Counter PerItem(double items, double scale) {
  return benchmark::Counter(
      items / scale, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

inline std::string SourcePath(const std::string& relative) {
  return std::string(QUARNEL_SOURCE_DIR) + "/" + relative;
}

// Where the shared workload script lives: beside the workload description, or a copy in bench/.
std::string W3ChunkPath();

// The end-to-end scripts: every .bs of examples/ in name order, then the W3 script.
std::vector<std::string> EndToEndScripts();
// The settings of a script as the window has them once its sliders have settled: discovered,
// the size slider at its size, each parameter at its default.
pavo::CBrushInfo SettledSettings(const std::string& path);

// Registers run(state, path) as PREFIX/script:NAME for every end-to-end script, NAME being the
// file name; each registration is handed to configure (units, timing).
template <class TRun, class TConfigure>
void RegisterPerScript(const std::string& prefix, TRun run, TConfigure configure) {
  for (const std::string& path : EndToEndScripts()) {
    const std::string name = std::filesystem::path(path).filename().string();
    configure(benchmark::RegisterBenchmark((prefix + "/script:" + name).c_str(), run, path));
  }
}

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "benchmark set-up failed: %s\n", what);
  std::abort();
}

}  // namespace quarnel::bench

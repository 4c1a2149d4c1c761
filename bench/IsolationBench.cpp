// The cost of running discovery and repaints in the worker program: the same work as
// E1_Repaint and E2_Discover, each job sent to the kept worker and its result read back. The
// difference to those workloads is what the isolation adds. Timed in wall-clock time: the
// work happens in the worker, whose CPU time the caller's clock does not see.
#include "bench/BenchCommon.h"
#include "preview/WorkerClient.h"

namespace {

using namespace pavo;

void RepaintInWorker(benchmark::State& state, const std::string& path) {
  quarnel::TJobRequest request;
  request.kind = quarnel::EJob::kRepaint;
  request.info = quarnel::bench::SettledSettings(path);
  request.width = 492;
  request.height = 296;
  quarnel::CWorkerClient worker;
  quarnel::TJobResult result;
  for (auto _ : state) {
    if (!worker.Run(request, result)) quarnel::bench::Fail("no result from the worker");
    if (result.stopped) quarnel::bench::Fail(result.message.c_str());
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

void DiscoverInWorker(benchmark::State& state, const std::string& path) {
  quarnel::TJobRequest request;
  request.kind = quarnel::EJob::kDiscovery;
  request.info.SetType(11);
  request.info.scriptPath = path;
  quarnel::CWorkerClient worker;
  quarnel::TJobResult result;
  for (auto _ : state) {
    if (!worker.Run(request, result)) quarnel::bench::Fail("no result from the worker");
    benchmark::DoNotOptimize(result.message);
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

const bool kRegistered = [] {
  auto inWallTime = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  quarnel::bench::RegisterPerScript("E1_RepaintInWorker", RepaintInWorker, inWallTime);
  quarnel::bench::RegisterPerScript("E2_DiscoverInWorker", DiscoverInWorker, inWallTime);
  return true;
}();

}  // namespace

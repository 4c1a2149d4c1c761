// E1_SliderToPreview: the window's path from a moved slider to new pixels, end to end: the
// preview session's Update, the repaint job in the worker program, the result read back and
// applied to the preview image. Beside E1_Repaint (the repaint alone, in the caller) and
// E1_RepaintInWorker (the job alone) it shows what the session and the worker add to what the
// author waits for. Each iteration moves the slider one step, to and fro, as a drag does.
// Timed in wall-clock time: the work happens in the worker.
#include "bench/BenchCommon.h"
#include "imaging/Image.h"
#include "preview/PreviewSession.h"

namespace {

// path empty: the plain brush, before any script is loaded.
void SliderToPreview(benchmark::State& state, const std::string& path) {
  quarnel::CPreviewSession session;  // the window's limits: jobs run in the worker program
  pavo::CImage32 preview(492, 296);
  session.SetPreview(&preview);
  session.fixedSeed = 0;
  if (!path.empty()) session.SetScript(path);
  session.Update(true);  // discovery and the first repaint, as after a drop
  session.WaitIdle();
  if (session.ScriptStopped()) quarnel::bench::Fail(session.Status().c_str());
  // The slider the author moves: the script's first parameter, or the size slider.
  quarnel::TSlider& slider = session.params[0].enabled ? session.params[0] : session.size;
  const int32_t from = slider.position;
  const int32_t to = from < slider.maximum ? from + 1 : from - 1;
  bool moved = false;
  for (auto _ : state) {
    moved = !moved;
    slider.SetPosition(moved ? to : from);
    const int before = session.RepaintCount();
    session.Update(false);
    session.WaitIdle();
    if (session.RepaintCount() == before) quarnel::bench::Fail("a slider move brought no repaint");
  }
  state.counters["ms_per_op"] = quarnel::bench::PerItem(1, 1e3);
}

const bool kRegistered = [] {
  auto inWallTime = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  inWallTime(
      benchmark::RegisterBenchmark("E1_SliderToPreview/plain", SliderToPreview, std::string()));
  quarnel::bench::RegisterPerScript("E1_SliderToPreview", SliderToPreview, inWallTime);
  return true;
}();

}  // namespace

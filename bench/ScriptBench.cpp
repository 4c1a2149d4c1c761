// W3: the script host: complete loads, and calls of main through the dab callback's call path.
#include <filesystem>
#include <memory>

#include "bench/BenchCommon.h"
#include "brush/MangaBrush.h"
#include "script/ScriptCall.h"
#include "script/ScriptLoad.h"

namespace quarnel::bench {

std::string W3ChunkPath() {
  const std::string shared = SourcePath("../shared/bench/w3_chunk.lua");
  if (std::filesystem::exists(shared)) return shared;
  return SourcePath("bench/w3_chunk.lua");
}

}  // namespace quarnel::bench

namespace {

using namespace pavo;

// Layers the size of the default preview, as the test stroke binds them.
struct TLayers {
  CImageTile32 canvas, base;
  CImageTile8 stroke;
  TLayers() {
    if (!canvas.Resize(492, 296) || !base.Resize(492, 296) || !stroke.Resize(492, 296))
      quarnel::bench::Fail("layers");
  }
};

struct TScriptRig {
  CBrushInfo info;
  CBrushStroke stroke;
  TScriptRig() {
    info.SetType(11);
    info.scriptPath = quarnel::bench::W3ChunkPath();
    stroke.SetBrushInfo(&info);
  }
};

void W3_Load(benchmark::State& state) {
  TScriptRig rig;
  TLayers layers;
  constexpr int kLoads = 1000;
  for (auto _ : state) {
    for (int i = 0; i < kLoads; ++i) {
      CMangaBrush brush;
      brush.SetCanvasInfo(492, 296, 150, 0.0);
      brush.SetBrushType(11);
      brush.SetLayers(&layers.canvas, &layers.base, &layers.stroke, nullptr);
      LoadScript(brush, rig.stroke);
      if (!brush.scriptLoaded) quarnel::bench::Fail("w3_chunk.lua did not load");
      CloseScript(brush);
    }
  }
  state.counters["us_per_load"] = quarnel::bench::PerItem(kLoads, 1e6);
}

// What the dab callback does around one call of main: an empty dab rectangle, then main(x, y,
// p) through the engine's protected call with one result, errors handed to the error sink.
void CallMain(CMangaBrush& brush, double x, double y, double p) {
  brush.dabRect = NRECT();
  TScriptCall call;
  call.name = "main";
  call.args[0] = x;
  call.args[1] = y;
  call.args[2] = p;
  call.argCount = 3;
  call.resultCount = 1;
  CallScriptGlobal(brush.lua, call, true);
}

void RunMain(benchmark::State& state, bool bound) {
  TScriptRig rig;
  TLayers layers;
  constexpr int kStrokes = 20;
  constexpr int kCalls = 301;
  for (auto _ : state) {
    for (int s = 0; s < kStrokes; ++s) {
      state.PauseTiming();
      auto brush = std::make_unique<CMangaBrush>();
      brush->SetCanvasInfo(492, 296, 150, 0.0);
      brush->SetBrushType(11);
      if (bound) {
        layers.canvas.FreeTiles();
        brush->SetLayers(&layers.canvas, &layers.base, &layers.stroke, nullptr);
      }
      LoadScript(*brush, rig.stroke);
      if (!brush->scriptLoaded) quarnel::bench::Fail("w3_chunk.lua did not load");
      brush->dabWidth = brush->dabWidthMax = 12.0;
      brush->dabWidthMin = 3.6;
      brush->foreColor = 0xff000000;
      brush->backColor = 0xffffffff;
      state.ResumeTiming();
      for (int i = 0; i < kCalls; ++i) CallMain(*brush, 100 + 2.0 * i, 100 + 1.0 * i, i / 300.0);
      state.PauseTiming();
      brush.reset();
      state.ResumeTiming();
    }
  }
  state.counters["ns_per_call"] = quarnel::bench::PerItem(kStrokes * kCalls, 1e9);
}

void W3_MainUnbound(benchmark::State& state) { RunMain(state, false); }
void W3_MainDrawing(benchmark::State& state) { RunMain(state, true); }

BENCHMARK(W3_Load)->Unit(benchmark::kMicrosecond);
BENCHMARK(W3_MainUnbound)->Unit(benchmark::kMicrosecond);
BENCHMARK(W3_MainDrawing)->Unit(benchmark::kMicrosecond);

}  // namespace

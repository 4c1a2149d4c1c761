// The renderer's command line: one table of options that both the parser and the usage text
// read, so the two can never disagree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarnel {

struct TParamOverride {
  int32_t slot = 1;  // 1..10, as the sliders are numbered
  int64_t position = 0;
};

struct TRenderOptions {
  std::string output = "preview.png";  // "-" is standard output
  int32_t width = 492;
  int32_t height = 296;
  std::optional<int64_t> size;         // size slider position before clamping
  std::vector<TParamOverride> params;  // in command-line order; a later one wins
  bool pressure = true;
  uint32_t seed = 0;
  double timeLimit = 2.0;        // seconds per discovery and per repaint; 0: none
  int64_t memoryLimitMiB = 512;  // per interpreter state; 0: none
  bool discover = false;
  bool log = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> script;
  std::optional<std::string> strokes;  // a stroke file painted instead of the test stroke
};

// Parses argv; false with a one-line message naming the problem for bad usage. --help and
// --version end the parse at once.
bool ParseOptions(int argc, const char* const* argv, TRenderOptions& options, std::string& error);
std::string UsageText();

}  // namespace quarnel

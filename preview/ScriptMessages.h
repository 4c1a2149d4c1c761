// A script's messages as the front ends show them to its author: locations named by the
// script's file instead of by its first line, the errors of a repaint counted, and a script
// without main told apart from one whose main fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "preview/WorkerJob.h"

namespace quarnel {

// The names the interpreter gives a chunk whose source is its own name, as the host loads a
// script: `[string "first line..."]`, the first line cut and "..." added when anything follows
// (a source starting with '=' or '@' is named as Lua 5.1 names those). The compiler cuts the
// name to fit 80 bytes, running code to fit 60, so a long first line has two names.
struct TChunkNames {
  std::string compiled;  // in syntax errors
  std::string running;   // in errors raised while the chunk runs
};
TChunkNames ChunkNamesOf(std::string_view source);
// The chunk names of the script file at `path` as the host loads it (its text up to the first
// zero byte); empty when the file cannot be read.
TChunkNames ScriptChunkNames(const std::string& path);
// `text` with every location "CHUNK:LINE:" of the chunk written "FILE:LINE:", so that
// "[string \"function param1()...\"]:7: 'then' expected" reads "brush.bs:7: 'then' expected".
// Empty names change nothing.
std::string ReadableLocations(std::string_view text, const TChunkNames& names,
                              std::string_view fileName);

struct TErrorCount {
  std::string_view text;
  uint64_t count = 0;
};
// The distinct errors of an output (the errors of main and last, one entry per failed call)
// with the number of calls that raised each, in the order they were first raised. The views
// point into the output.
std::vector<TErrorCount> DistinctErrors(const CScriptOutput& output);

// The error every dab of a script without main raises: the interpreter's message for a call
// of nil made by the host. Such a script is not broken; its dabs paint nothing.
bool IsMissingMain(std::string_view error);

}  // namespace quarnel

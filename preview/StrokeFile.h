// Stroke files: the scratchpad's strokes kept next to a script, painted again by the window
// and by quarnel-render --strokes. JSON (UTF-8):
//
//   {"format": "quarnel-strokes", "version": 1, "width": W, "height": H,
//    "strokes": [{"points": [[x, y, pressure, time], ...]}, ...]}
//
// W x H is the pad in pixels (whole numbers from 1 to 16384); each stroke holds its points as
// the stroke model accepted them, in order: x and y in pad pixels, the pen pressure (0 to 1),
// the time in milliseconds (a whole number from 0 to 4294967295). Other keys are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "preview/PadCanvas.h"

namespace quarnel {

constexpr int32_t kMaxPadSide = 16384;

struct TStrokeFile {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<TPadStroke> strokes;
};

// False with a message naming the problem ("strokes[1].points[4]: the pressure is not a
// number").
bool ParseStrokeFile(std::string_view text, TStrokeFile& file, std::string& error);
bool ReadStrokeFile(const std::string& path, TStrokeFile& file, std::string& error);
// The file's text: one stroke a line, so that a version control diff shows strokes.
std::string StrokeFileText(const TStrokeFile& file);
bool WriteStrokeFile(const std::string& path, const TStrokeFile& file, std::string& error);

}  // namespace quarnel

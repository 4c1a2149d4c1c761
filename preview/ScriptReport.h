// The report of what a script said while the preview was made, as --log prints it and the
// window's messages panel shows it: its print and bs_debug text in the order it was produced,
// and each distinct error raised by main or last with the number of calls that raised it, the
// discovery's part and the repaint's under headings of their own.
#pragma once

#include <cstddef>
#include <string>

#include "preview/ScriptMessages.h"
#include "preview/WorkerJob.h"

namespace quarnel {

struct TReportStyle {
  size_t maxPrinted = size_t{16} << 20;  // print text shown; the rest is counted
  // Locations of the script's chunk named by this file name (none when names are empty).
  TChunkNames names;
  std::string fileName;
  // The reading order of a panel: the repaint's part before the discovery's, and in each
  // part the errors before the output. Otherwise the order is the order of events.
  bool summaryFirst = false;
};

// Each part that has something to say is headed "--- discovery ---" or "--- repaint ---"; in
// it print text stands as the script wrote it and each bs_debug entry as a line
// "bs_debug: TEXT", in the order they came, a run of equal lines written once and followed by
// "(the line above N more times)"; then comes "error (N dabs): MESSAGE" per distinct error in
// order of first appearance, except for the error of a script without main, which is said
// once as a note. Script text is decoded as the window decodes it. `repaint` may be null.
std::string ScriptReport(const CScriptOutput& discovery, const CScriptOutput* repaint,
                         const TReportStyle& style);

// The note that stands for the errors of a script without main.
extern const char kNoMainNote[];

}  // namespace quarnel

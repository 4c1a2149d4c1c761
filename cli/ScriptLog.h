// What --log shows: the script's print and bs_debug text in the order it was produced, and
// each distinct error raised by main or last with the number of calls that raised it, the
// discovery's part and the repaint's under headings of their own.
#pragma once

#include <string>

#include "preview/WorkerJob.h"

namespace quarnel {

// The report for standard error. Each part that has something to say is headed
// "--- discovery ---" or "--- repaint ---"; in it print text stands as the script wrote it and
// each bs_debug entry as a line "bs_debug: TEXT", in the order they came; then comes
// "error (N dabs): MESSAGE" per distinct error in order of first appearance, except for the
// error of a script without main, which is said once as a note. Print text is shown up to
// 16 MiB; script text is decoded as the window decodes it. `repaint` may be null (--discover).
std::string LogReport(const CScriptOutput& discovery, const CScriptOutput* repaint);

}  // namespace quarnel

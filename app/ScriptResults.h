// What the window shows of a preview's results besides its pixels, gathered once from the
// session after every discovery and repaint: the status in readable form, the report of what
// the script said, how many errors and lines of output that report holds, and the cost of the
// last repaint.
#pragma once

#include <QString>
#include <cstdint>

namespace quarnel {

class CPreviewSession;

struct TScriptResults {
  QString fileName;        // the script's file name; empty before any script
  QString status;          // the status line's text, exactly as shown there
  QString readableStatus;  // the same with the script's locations named by its file name
  bool loaded = true;      // the status is "OK"
  QString report;          // discovery and repaint output (ScriptReport), readable, when asked
  int errors = 0;          // the load error and the distinct errors of main and last
  int lines = 0;           // lines of print and bs_debug text
  bool repainted = false;  // a repaint has been shown, so the cost below means something
  int64_t mainCalls = 0;
  double scriptSeconds = 0.0;
  double repaintSeconds = 0.0;  // from the request to the result
};

// The results of the session's last discovery and repaint for the script at `path` (empty
// before any script was loaded); the report only `withReport` (its print text kept to
// kMaxShownPrint bytes), as only the messages panel shows it.
TScriptResults CollectResults(const CPreviewSession& session, const QString& path, bool withReport);
constexpr size_t kMaxShownPrint = size_t{256} << 10;

// "2.1 ms", "14 ms", "1.25 s": a duration as the readouts show it.
QString DurationText(double seconds);
// "main: 301 calls, 2.1 ms in the script, 9.8 ms in all": the cost line of the last repaint.
QString CostText(const TScriptResults& results);

}  // namespace quarnel

// The report of a script's output as the window shows it: locations named by the file, the
// print text cut at the style's limit with the rest counted, a missing main said once.
#include "preview/ScriptReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace quarnel;
using K = CScriptOutput::EKind;

TEST(ScriptReport, ReadableLocationsCutPrintTextAndANoteForAMissingMain) {
  TReportStyle style;
  style.maxPrinted = 8;
  style.names = ChunkNamesOf("x = 1\nerror('boom')");
  style.fileName = "f.bs";
  const std::string where = style.names.running + ":2:";

  CScriptOutput discovery;
  discovery.Add(K::kPrint, "hello\n");
  discovery.Add(K::kDebug, "seen at " + where + " once");
  CScriptOutput repaint;
  repaint.Add(K::kError, "attempt to call a nil value");
  repaint.Add(K::kPrint, "world\n");  // 2 of 6 bytes still fit
  repaint.Add(K::kError, where + " boom");
  repaint.Add(K::kError, "attempt to call a nil value");
  repaint.Add(K::kError, where + " boom");

  EXPECT_EQ(ScriptReport(discovery, &repaint, style),
            "--- discovery ---\n"
            "hello\n"
            "bs_debug: seen at f.bs:2: once\n"
            "--- repaint ---\n"
            "wo\n"
            "note: the script defines no function main, so nothing is called for its dabs\n"
            "error (2 dabs): f.bs:2: boom\n"
            "(4 more bytes of script output dropped: 8 bytes of print text are kept)\n");
  EXPECT_EQ(ScriptReport(CScriptOutput(), nullptr, style), "");
}

// Runs of equal lines are written once and counted, across print calls and bs_debug entries
// alike; a panel reads the repaint first and each part's errors before its output.
TEST(ScriptReport, RepeatedLinesCountedAndThePanelsOrder) {
  CScriptOutput discovery;
  for (int load = 0; load < 12; ++load) discovery.Add(K::kPrint, "gap\t2\n");
  CScriptOutput repaint;
  repaint.Add(K::kDebug, "x");
  repaint.Add(K::kDebug, "x");
  repaint.Add(K::kPrint, "x\ny\ny\n");
  repaint.Add(K::kError, "bad");
  repaint.Add(K::kPrint, "z");  // no line break: a line all the same

  TReportStyle style;
  EXPECT_EQ(ScriptReport(discovery, &repaint, style),
            "--- discovery ---\n"
            "gap\t2\n"
            "(the line above 11 more times)\n"
            "--- repaint ---\n"
            "bs_debug: x\n"
            "(the line above 1 more time)\n"
            "x\n"
            "y\n"
            "(the line above 1 more time)\n"
            "z\n"
            "error (1 dab): bad\n");
  style.summaryFirst = true;
  EXPECT_EQ(ScriptReport(discovery, &repaint, style),
            "--- repaint ---\n"
            "error (1 dab): bad\n"
            "bs_debug: x\n"
            "(the line above 1 more time)\n"
            "x\n"
            "y\n"
            "(the line above 1 more time)\n"
            "z\n"
            "--- discovery ---\n"
            "gap\t2\n"
            "(the line above 11 more times)\n");
}

}  // namespace

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

}  // namespace

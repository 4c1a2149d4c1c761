#include "app/ScriptResults.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "preview/PreviewSession.h"
#include "preview/ScriptReport.h"
#include "preview/TextDecode.h"

namespace quarnel {

namespace {

QString Decoded(const std::string& bytes) {
  return QString::fromStdString(DecodeScriptText(bytes));
}

// Lines of print and bs_debug text; a print text not ended by a line break counts its last
// line too.
int OutputLines(const CScriptOutput& output) {
  int lines = 0;
  for (const CScriptOutput::TEntry& e : output.Entries()) {
    if (e.kind == CScriptOutput::EKind::kDebug) {
      ++lines;
    } else if (e.kind == CScriptOutput::EKind::kPrint) {
      lines += static_cast<int>(std::count(e.text.begin(), e.text.end(), '\n'));
      if (!e.text.empty() && e.text.back() != '\n') ++lines;
    }
  }
  return lines;
}

int RuntimeErrors(const CScriptOutput& output) {
  int errors = 0;
  for (const TErrorCount& e : DistinctErrors(output)) {
    if (!IsMissingMain(e.text)) ++errors;
  }
  return errors;
}

}  // namespace

TScriptResults CollectResults(const CPreviewSession& session, const QString& path,
                              bool withReport) {
  TScriptResults r;
  if (path.isEmpty()) return r;
  const std::string file = QFile::encodeName(path).toStdString();
  TReportStyle style;
  style.maxPrinted = kMaxShownPrint;
  style.summaryFirst = true;
  style.names = ScriptChunkNames(file);
  style.fileName = QFile::encodeName(QFileInfo(path).fileName()).toStdString();

  r.fileName = QFileInfo(path).fileName();
  r.status = Decoded(session.Status());
  r.readableStatus = Decoded(ReadableLocations(session.Status(), style.names, style.fileName));
  r.loaded = session.Status() == "OK";
  if (withReport) {
    r.report = Decoded(ScriptReport(session.LastDiscoveryOutput(), &session.LastOutput(), style));
  }
  r.errors = (r.loaded ? 0 : 1) + RuntimeErrors(session.LastOutput());
  r.lines = OutputLines(session.LastDiscoveryOutput()) + OutputLines(session.LastOutput());
  r.repainted = session.RepaintCount() > 0;
  r.mainCalls = session.LastMainCalls();
  r.scriptSeconds = session.LastScriptSeconds();
  r.repaintSeconds = session.LastRepaintSeconds();
  return r;
}

QString DurationText(double seconds) {
  const double ms = seconds * 1000.0;
  if (ms < 10.0) return QString::number(ms, 'f', 1) + QStringLiteral(" ms");
  if (ms < 1000.0) return QString::number(ms, 'f', 0) + QStringLiteral(" ms");
  return QString::number(seconds, 'f', 2) + QStringLiteral(" s");
}

QString CostText(const TScriptResults& results) {
  return QStringLiteral("main: %1 call%2, %3 in the script, %4 in all")
      .arg(results.mainCalls)
      .arg(results.mainCalls == 1 ? QString() : QStringLiteral("s"))
      .arg(DurationText(results.scriptSeconds))
      .arg(DurationText(results.repaintSeconds));
}

}  // namespace quarnel

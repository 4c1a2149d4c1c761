// The status bar's readouts besides the status line, in its permanent area, shown once a
// script is loaded (before that the status bar is as it always was): the script's file name
// (its path in the tooltip), the messages indicator ("2 errors", "5 lines"), which opens the
// messages panel, and the time the script took in the last repaint (the whole cost in the
// tooltip). The status line itself keeps the interpreter's exact message; its tooltip gives
// the readable form and the whole text, and its context menu copies it.
#pragma once

#include <QObject>
#include <QString>

#include "app/ScriptResults.h"

class QLabel;
class QStatusBar;
class QToolButton;

namespace quarnel {

class CStatusReadouts : public QObject {
  Q_OBJECT

 public:
  // Adds the readouts to the status bar's permanent area, before what is there already.
  explicit CStatusReadouts(QStatusBar* statusBar);

  void ShowResults(const TScriptResults& results, const QString& path);

  QLabel* LabelScript = nullptr;
  QToolButton* ButtonMessages = nullptr;
  QLabel* LabelScriptTime = nullptr;

 signals:
  void messagesClicked();

 private:
  QStatusBar* statusBar_;
  QString readableStatus_;
};

// "1 error", "3 errors", "1 line", "12 lines", "no messages".
QString IndicatorText(const TScriptResults& results);

}  // namespace quarnel

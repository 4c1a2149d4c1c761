// The messages panel: everything the script said in the last repaint and its discovery, for
// the author to read and copy. It is hidden at start; the window shows it below the preview
// (growing by its height, so that the preview keeps its size) from the indicator in the status
// bar or Ctrl+L.
//
// Its header gives the cost of the last repaint; its text the status in readable form (the
// script's locations named by its file, "brush.bs:7: 'then' expected near 'bs_ellipse'") and
// the report, the repaint's part first: each distinct error of main and last once with the
// number of dabs that raised it, then print and bs_debug text in the order the script
// produced it; the discovery's part after it.
#pragma once

#include <QWidget>

#include "app/ScriptResults.h"

class QLabel;
class QPlainTextEdit;
class QToolButton;

namespace quarnel {

class CMessagesPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 150;

  explicit CMessagesPanel(QWidget* parent = nullptr);

  void ShowResults(const TScriptResults& results);
  // The whole text, as Copy puts it on the clipboard.
  QString Text() const;

  QLabel* LabelCost = nullptr;
  QToolButton* ButtonCopy = nullptr;
  QToolButton* ButtonClose = nullptr;
  QPlainTextEdit* TextMessages = nullptr;

 signals:
  void closeClicked();

 private:
  void CopyAll();
};

}  // namespace quarnel

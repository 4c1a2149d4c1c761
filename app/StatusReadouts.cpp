#include "app/StatusReadouts.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>

namespace quarnel {

namespace {

// The widest the file name may be before it is cut.
constexpr int kScriptNameWidth = 160;

void CopyText(const QString& text) {
  if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(text);
}

QString Counted(int n, const char* one, const char* many) {
  return QString::number(n) + u' ' + QString::fromLatin1(n == 1 ? one : many);
}

}  // namespace

QString IndicatorText(const TScriptResults& results) {
  if (results.errors > 0) return Counted(results.errors, "error", "errors");
  if (results.lines > 0) return Counted(results.lines, "line", "lines");
  return QStringLiteral("no messages");
}

CStatusReadouts::CStatusReadouts(QStatusBar* statusBar)
    : QObject(statusBar), statusBar_(statusBar) {
  LabelScript = new QLabel(statusBar);
  LabelScript->setObjectName(QStringLiteral("LabelScript"));
  ButtonMessages = new QToolButton(statusBar);
  ButtonMessages->setObjectName(QStringLiteral("ButtonMessages"));
  ButtonMessages->setAutoRaise(true);
  ButtonMessages->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ButtonMessages->setIconSize(QSize(12, 12));
  ButtonMessages->setToolTip(QStringLiteral("Show the script's messages (Ctrl+L)"));
  LabelScriptTime = new QLabel(statusBar);
  LabelScriptTime->setObjectName(QStringLiteral("LabelScriptTime"));
  // In front of the widgets already there (the busy mark stays last).
  statusBar->insertPermanentWidget(0, LabelScript);
  statusBar->insertPermanentWidget(1, ButtonMessages);
  statusBar->insertPermanentWidget(2, LabelScriptTime);
  for (QWidget* w : {static_cast<QWidget*>(LabelScript), static_cast<QWidget*>(ButtonMessages),
                     static_cast<QWidget*>(LabelScriptTime)}) {
    w->setMaximumHeight(statusBar->height() > 0 ? statusBar->height() : 19);
    w->hide();
  }
  connect(ButtonMessages, &QToolButton::clicked, this, &CStatusReadouts::messagesClicked);

  statusBar->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(statusBar, &QStatusBar::customContextMenuRequested, this, [this](const QPoint& at) {
    // The readable form names a place the author can go to; the interpreter's own words are
    // offered too when they differ.
    const QString shown = statusBar_->currentMessage();
    const QString readable = readableStatus_.isEmpty() ? shown : readableStatus_;
    QMenu menu;
    QAction* copy = menu.addAction(QStringLiteral("Copy the message"));
    copy->setEnabled(!readable.isEmpty());
    connect(copy, &QAction::triggered, this, [readable] { CopyText(readable); });
    if (readable != shown && !shown.isEmpty()) {
      QAction* exact = menu.addAction(QStringLiteral("Copy the interpreter's message"));
      connect(exact, &QAction::triggered, this, [shown] { CopyText(shown); });
    }
    menu.exec(statusBar_->mapToGlobal(at));
  });
}

void CStatusReadouts::ShowResults(const TScriptResults& results, const QString& path) {
  const bool any = !results.fileName.isEmpty();
  LabelScript->setVisible(any);
  ButtonMessages->setVisible(any);
  LabelScriptTime->setVisible(any && results.repainted);
  if (!any) return;

  LabelScript->setText(
      LabelScript->fontMetrics().elidedText(results.fileName, Qt::ElideMiddle, kScriptNameWidth));
  LabelScript->setToolTip(path);
  ButtonMessages->setText(IndicatorText(results));
  ButtonMessages->setIcon(results.errors > 0
                              ? statusBar_->style()->standardIcon(QStyle::SP_MessageBoxWarning)
                              : QIcon());
  LabelScriptTime->setText(DurationText(results.scriptSeconds));
  LabelScriptTime->setToolTip(QStringLiteral("Last repaint: ") + CostText(results));
  readableStatus_ = results.readableStatus;
  statusBar_->setToolTip(readableStatus_);
}

}  // namespace quarnel

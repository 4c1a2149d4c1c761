#include "app/MessagesPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace quarnel {

CMessagesPanel::CMessagesPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PanelMessages"));
  setAutoFillBackground(true);

  LabelCost = new QLabel(this);
  LabelCost->setObjectName(QStringLiteral("LabelCost"));
  LabelCost->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ButtonCopy = new QToolButton(this);
  ButtonCopy->setObjectName(QStringLiteral("ButtonCopy"));
  ButtonCopy->setText(QStringLiteral("Copy"));
  ButtonCopy->setToolTip(QStringLiteral("Copy all the messages"));
  ButtonCopy->setAutoRaise(true);
  ButtonClose = new QToolButton(this);
  ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
  ButtonClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  ButtonClose->setToolTip(QStringLiteral("Hide the messages (Ctrl+L)"));
  ButtonClose->setAutoRaise(true);

  TextMessages = new QPlainTextEdit(this);
  TextMessages->setObjectName(QStringLiteral("TextMessages"));
  TextMessages->setReadOnly(true);
  TextMessages->setLineWrapMode(QPlainTextEdit::NoWrap);
  TextMessages->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  TextMessages->setPlaceholderText(QStringLiteral("No script loaded."));

  auto* header = new QHBoxLayout;
  header->setContentsMargins(4, 2, 2, 0);
  header->addWidget(LabelCost, 1);
  header->addWidget(ButtonCopy);
  header->addWidget(ButtonClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(header);
  layout->addWidget(TextMessages, 1);

  connect(ButtonCopy, &QToolButton::clicked, this, &CMessagesPanel::CopyAll);
  connect(ButtonClose, &QToolButton::clicked, this, &CMessagesPanel::closeClicked);
}

void CMessagesPanel::ShowResults(const TScriptResults& results) {
  if (results.fileName.isEmpty()) {
    LabelCost->clear();
    TextMessages->clear();
    return;
  }
  LabelCost->setText(results.repainted ? QStringLiteral("Last repaint: ") + CostText(results)
                                       : QString());
  QString text = results.fileName + QStringLiteral(": ") + results.readableStatus + u'\n';
  text += results.report.isEmpty() ? QStringLiteral("(no output)\n") : results.report;
  // Where the reader was stays in view from repaint to repaint.
  const int scrolled = TextMessages->verticalScrollBar()->value();
  TextMessages->setPlainText(text);
  TextMessages->verticalScrollBar()->setValue(scrolled);
}

QString CMessagesPanel::Text() const { return TextMessages->toPlainText(); }

void CMessagesPanel::CopyAll() {
  if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(Text());
}

}  // namespace quarnel

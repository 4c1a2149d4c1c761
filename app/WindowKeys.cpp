#include "app/WindowKeys.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QShortcut>
#include <QSlider>
#include <QWidget>

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "unknown"
#endif

namespace quarnel {

namespace {

QShortcut* Bind(QWidget* window, const QKeySequence& keys, QObject* receiver,
                std::function<void()> action) {
  auto* shortcut = new QShortcut(keys, window);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, receiver, std::move(action));
  return shortcut;
}

}  // namespace

QString HelpText() {
  return QStringLiteral(
             "<p><b>Quarnel Tester</b> %1</p>"
             "<p>Drop a brush script (<tt>.bs</tt>) on the window, or open one with Ctrl+O. "
             "The preview is repainted whenever a slider, the pressure box or the script "
             "changes: saving the script in your editor reloads it, keeping the slider "
             "positions of parameters whose labels did not change.</p>"
             "<table>"
             "<tr><td>F5, Ctrl+R&nbsp;&nbsp;</td><td>reload the script, sliders at their "
             "defaults (as the update button)</td></tr>"
             "<tr><td>Ctrl+O</td><td>open a script</td></tr>"
             "<tr><td>Ctrl+L</td><td>show or hide the messages: errors, print and bs_debug "
             "text, the cost of the last repaint</td></tr>"
             "<tr><td>Alt+1 .. Alt+0</td><td>parameter slider 1 .. 10 (then the arrow and "
             "page keys)</td></tr>"
             "<tr><td>Alt+S</td><td>the size slider</td></tr>"
             "<tr><td>F1</td><td>this help</td></tr>"
             "<tr><td>F2</td><td>the scratchpad: paint your own strokes with the brush</td></tr>"
             "<tr><td>Ctrl+wheel, Ctrl+1, 2, 4, 8</td><td>zoom the preview</td></tr>"
             "<tr><td>Ctrl+C, Ctrl+S</td><td>copy or save what the preview shows</td></tr>"
             "<tr><td>Ctrl+K</td><td>keep the seed of the picture shown</td></tr>"
             "</table>"
             "<p><tt>quarnel-render --help</tt> renders the same preview without the "
             "window.</p>")
      .arg(QStringLiteral(QUARNEL_VERSION));
}

CWindowKeys::CWindowKeys(QWidget* window, QSlider* size, const QVector<QSlider*>& params)
    : QObject(window), window_(window) {
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)}) {
    Bind(window, keys, this, [this] { emit reloadRequested(); });
  }
  Bind(window, QKeySequence(Qt::CTRL | Qt::Key_O), this,
       [this] { OpenDialog(currentScript ? currentScript() : QString()); });
  Bind(window, QKeySequence(Qt::CTRL | Qt::Key_L), this, [this] { emit messagesToggled(); });
  Bind(window, QKeySequence(Qt::Key_F1), this, [this] { ShowHelp(); });
  Bind(window, QKeySequence(Qt::ALT | Qt::Key_S), this, [size] { size->setFocus(); });
  for (int i = 0; i < params.size(); ++i) {
    const Qt::Key digit = static_cast<Qt::Key>(Qt::Key_0 + (i + 1) % 10);
    QSlider* slider = params[i];
    Bind(window, QKeySequence(Qt::ALT | digit), this, [slider] {
      if (slider->isEnabled()) slider->setFocus();
    });
  }
}

void CWindowKeys::OpenDialog(const QString& current) {
  const QString folder = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
  auto* dialog = new QFileDialog(window_, QStringLiteral("Open a brush script"), folder,
                                 QStringLiteral("Brush scripts (*.bs *.BS *.Bs *.bS)"));
  dialog->setObjectName(QStringLiteral("DialogOpen"));
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QFileDialog::fileSelected, this, &CWindowKeys::openRequested);
  dialog->open();
}

void CWindowKeys::ShowHelp() {
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Quarnel Tester help"),
                              HelpText(), QMessageBox::Close, window_);
  box->setObjectName(QStringLiteral("BoxHelp"));
  box->setTextFormat(Qt::RichText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace quarnel

// The window's keyboard and its two small dialogs: F5 and Ctrl+R reload the script (as the
// update button does), Ctrl+O opens a script through a file dialog (drops stay the main way),
// Ctrl+L shows or hides the messages panel, F1 shows a short help with the version (and the
// keys of the preview area and the scratchpad). The
// sliders are not tab stops; Alt+1 .. Alt+9 and Alt+0 put the focus on parameter slider
// 1 .. 10 and Alt+S on the size slider, whose arrow and page keys then move them.
#pragma once

#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

class QSlider;
class QWidget;

namespace quarnel {

class CWindowKeys : public QObject {
  Q_OBJECT

 public:
  // The shortcuts act anywhere in `window`; `params` are the ten parameter sliders in order.
  CWindowKeys(QWidget* window, QSlider* size, const QVector<QSlider*>& params);

  // The script whose folder the file dialog opens in (none: the home folder).
  std::function<QString()> currentScript;

  // Opens the file dialog (not waited for: a chosen file comes as openRequested), in the
  // folder of `current` when given.
  void OpenDialog(const QString& current);
  // Opens the help box (not waited for).
  void ShowHelp();

 signals:
  void reloadRequested();
  void openRequested(const QString& path);
  void messagesToggled();

 private:
  QWidget* window_;
};

// The help box's text.
QString HelpText();

}  // namespace quarnel

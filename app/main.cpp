// quarnel-tester [script.bs ...]: the tester window. Scripts named on the command line are
// opened in order as if they had been dropped on the window.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QSize>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/FormMain.h"

namespace {

// Not the application display name: Qt would append that to the window's caption.
const char* const kBoxTitle = "Quarnel Tester";

// The name of the menu entry, the AppStream metadata and the icon: the desktop matches the
// window to them by it (on Wayland, where the window's icon also comes from the entry).
const char* const kDesktopId = "org.quarnel.Tester";

// The icon's PNG copies compiled in (app/data/icons), so that the window has its icon also
// uninstalled and without Qt's optional SVG image plugin.
QIcon WindowIcon() {
  QIcon icon;
  for (int size : {48, 64, 128, 256}) {
    icon.addFile(
        QStringLiteral(":/icons/%1x%1/apps/%2.png").arg(size).arg(QLatin1String(kDesktopId)),
        QSize(size, size));
  }
  return icon;
}

// An exception that escapes an event handler is shown in a message box and the event loop
// goes on, instead of ending the program with the user's work in the window.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      QMessageBox::critical(activeWindow(), QString::fromLatin1(kBoxTitle),
                            QString::fromLocal8Bit(e.what()));
    } catch (...) {
      QMessageBox::critical(activeWindow(), QString::fromLatin1(kBoxTitle),
                            QStringLiteral("Unknown error"));
    }
    return false;
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before Qt looks for a display, so that it also works without one.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(
          "usage: quarnel-tester [script.bs ...]\n"
          "Opens the brush script tester window. Scripts named here are opened in order as if\n"
          "they had been dropped on the window; the last one stays. Files whose name does not\n"
          "end in .bs are ignored, as a drop ignores them.\n",
          stdout);
      return 0;
    }
  }
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quarnel-tester"));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
  QApplication::setWindowIcon(WindowIcon());

  // Qt has already taken its own options (-platform and the like) out of the list.
  const QStringList args = QApplication::arguments().mid(1);
  quarnel::TFormMain form;
  form.show();
  for (const QString& arg : args) {
    // A drop hands over absolute paths; so does the command line.
    form.OnDroppedFile(QFileInfo(arg).absoluteFilePath());
  }
  return QApplication::exec();
}

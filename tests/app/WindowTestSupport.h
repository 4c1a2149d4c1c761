// Shared pieces of the window's tests: registration of the test classes, the fixture
// folder, synthetic drops through Qt's routing, and a fixed millisecond clock.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace pavo {
class CImage32;
}
namespace quarnel {
class TFormMain;
}

namespace quarnel_test {

using TestFactory = QObject* (*)();
int RegisterWindowTest(const char* name, TestFactory factory);

// Absolute path of tests/app/fixtures/<name>.
QString Fixture(const char* name);
// Writes the file whole; false when it cannot.
bool WriteFile(const QString& path, const QByteArray& text);
// The first pixel of the top `rows` rows (all of them when rows is -1, the sizes then equal)
// where the two differ, as "x,y: a != b", or empty.
QByteArray FirstDifference(const pavo::CImage32& a, const QImage& b, int rows = -1);

// Drag enter, drag move and drop of the given local files on the preview area, sent to the
// window's QWindow so that Qt routes them to the widget the way it routes a real drop, then
// the event loop run until the scripts are loaded and painted (WaitIdle).
// Returns whether the drop was accepted.
bool DropFiles(quarnel::TFormMain& form, const QStringList& paths);

// Runs the event loop until the window has no job running or waiting; false after timeoutMs.
bool WaitIdle(quarnel::TFormMain& form, int timeoutMs = 30000);
// A timer tick given by hand, and its repaint waited for.
void Tick(quarnel::TFormMain& form);

// The millisecond clock stands still at `ms` until RestoreClock.
void FixClock(uint32_t ms);
void RestoreClock();

// A shown, exposed window with nothing loaded.
void ShowAndWait(quarnel::TFormMain& form);

}  // namespace quarnel_test

// Registers a QtTest class with the runner; the CMake file finds the class names by this line.
#define QUARNEL_WINDOW_TEST(Class)            \
  static const int quarnelRegistered##Class = \
      quarnel_test::RegisterWindowTest(#Class, []() -> QObject* { return new Class; });

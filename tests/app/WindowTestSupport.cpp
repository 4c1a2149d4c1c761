#include "WindowTestSupport.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include "app/FormMain.h"
#include "geometry/Clock.h"
#include "imaging/Image.h"

namespace quarnel_test {

namespace {
uint32_t g_fixedMs = 0;
uint32_t FixedClock() { return g_fixedMs; }
}  // namespace

QString Fixture(const char* name) {
  return QStringLiteral(QUARNEL_SOURCE_DIR "/tests/app/fixtures/") + QString::fromUtf8(name);
}

bool WriteFile(const QString& path, const QByteArray& text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

QByteArray FirstDifference(const pavo::CImage32& a, const QImage& b, int rows) {
  const bool whole = rows < 0;
  if (whole) rows = a.height;
  if (b.width() != a.width || b.height() < rows || a.height < rows ||
      (whole && b.height() != a.height)) {
    return "size " + QByteArray::number(b.width()) + "x" + QByteArray::number(b.height());
  }
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (a.GetPixel(x, y) != b.pixel(x, y)) {
        return QByteArray::number(x) + "," + QByteArray::number(y) + ": " +
               QByteArray::number(a.GetPixel(x, y), 16) +
               " != " + QByteArray::number(b.pixel(x, y), 16);
      }
    }
  }
  return {};
}

bool DropFiles(quarnel::TFormMain& form, const QStringList& paths) {
  QWindow* window = form.windowHandle();
  if (window == nullptr) return false;
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls.append(QUrl::fromLocalFile(p));
  data.setUrls(urls);
  const QPoint at = form.PreviewRect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &move);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  return drop.isAccepted() && WaitIdle(form);
}

bool WaitIdle(quarnel::TFormMain& form, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (form.Busy()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

void Tick(quarnel::TFormMain& form) {
  form.TimerTimer();
  QVERIFY(WaitIdle(form));
}

void FixClock(uint32_t ms) {
  g_fixedMs = ms;
  pavo::SetClockSource(&FixedClock);
}

void RestoreClock() { pavo::SetClockSource(nullptr); }

void ShowAndWait(quarnel::TFormMain& form) {
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QVERIFY(WaitIdle(form));
}

}  // namespace quarnel_test

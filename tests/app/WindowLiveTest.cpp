// The window never waits on a script: while a slow repaint runs, its event loop keeps
// answering, its controls work and it shows a busy mark; newer slider positions supersede a
// repaint still running instead of queueing behind it.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "WindowTestSupport.h"
#include "app/FormMain.h"

using quarnel::TFormMain;
using quarnel_test::WriteFile;

namespace {

// The longest the event loop may leave a zero-length timer waiting while a script paints.
// Measured well under 10 ms here; the bound leaves room for a loaded machine.
constexpr qint64 kStallBoundMs = 250;

// A script that spends `ms` milliseconds on every dab (about 300 of them) and marks the
// position of its first parameter in the top row.
QByteArray SlowScript(int ms) {
  return "function param1() return 'n', 0, 100, 0 end\n"
         "function main(x, y, p)\n"
         "  local t = bs_ms() while bs_ms() - t < " +
         QByteArray::number(ms) +
         " do end\n"
         "  bs_rect(bs_param1(), 0, 1, 1, 0, 0, 0, 255)\n"
         "end\n";
}

}  // namespace

class WindowLiveTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
    form_->Timer->stop();  // ticks are given by hand
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
  }

  // A drop of a script that paints for about 1.5 s: the event loop answers throughout, the
  // pressure box and a resize take effect at once, and the busy mark shows until the end.
  void eventLoopAnswersDuringASlowRepaint() {
    const QString path = dir_.filePath(QStringLiteral("slow.bs"));
    QVERIFY(WriteFile(path, SlowScript(5)));
    // Not about the budget: a loaded machine must not stop the script.
    quarnel::TJobLimits limits;
    limits.seconds = 20.0;
    form_->Session().Worker().SetLimits(limits);
    qint64 longest = 0;
    qint64 last = 0;
    QElapsedTimer clock;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
    });
    clock.start();
    probe.start();
    form_->OnDroppedFile(path);
    QTRY_VERIFY_WITH_TIMEOUT(form_->BusyMark->isVisible(), 1000);
    const bool pressure = form_->CheckBoxPressure->isChecked();
    QTest::mouseClick(form_->CheckBoxPressure, Qt::LeftButton);
    QCOMPARE(form_->CheckBoxPressure->isChecked(), !pressure);
    form_->resize(760, 360);
    QTRY_COMPARE(form_->Preview().width, 760 - 209);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    probe.stop();
    qInfo("slow repaint: longest event-loop stall %lld ms in %lld ms", longest, clock.elapsed());
    QVERIFY2(longest < kStallBoundMs, QByteArray::number(longest));
    QVERIFY(!form_->BusyMark->isVisible());
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    QCOMPARE(form_->Preview().width, 760 - 209);
  }

  // Twenty slider positions while a 300 ms repaint runs: the last one is painted, at most
  // three repaints are shown, and the last is there long before a queue of twenty repaints
  // (6 s) could have been worked off.
  void sliderPositionsSupersedeARunningRepaint() {
    const QString path = dir_.filePath(QStringLiteral("steady.bs"));
    QVERIFY(WriteFile(path, SlowScript(1)));
    QVERIFY(quarnel_test::DropFiles(*form_, {path}));
    quarnel_test::Tick(*form_);
    const int repaints = form_->RepaintCount();
    QElapsedTimer clock;
    clock.start();
    for (int position = 1; position <= 20; ++position) {
      form_->TrackBar[0]->setValue(position * 5);
      form_->TimerTimer();
      QTest::qWait(5);
    }
    QVERIFY(quarnel_test::WaitIdle(*form_));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(form_->Settings().property.value[0], 100);
    QCOMPARE(form_->Preview().GetPixel(100, 0), 0xff000000u);
    QVERIFY2(form_->RepaintCount() - repaints <= 3,
             QByteArray::number(form_->RepaintCount() - repaints));
    QVERIFY2(elapsed < 3000, QByteArray::number(elapsed));
  }

 private:
  QTemporaryDir dir_;
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowLiveTest)

#include "WindowLiveTest.moc"

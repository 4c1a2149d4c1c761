// The preview cycle: the change cache, the 250 ms timer, the reload order (the script's own
// size first, the slider's on the next tick), the pressure box, and the pixels shown.
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <vector>

#include "WindowTestSupport.h"
#include "app/FormMain.h"
#include "geometry/Random.h"
#include "preview/TestStroke.h"

using quarnel::TFormMain;
using quarnel_test::DropFiles;
using quarnel_test::FirstDifference;
using quarnel_test::Fixture;

namespace {

std::vector<uint32_t> Pixels(const pavo::CImage32& image) {
  std::vector<uint32_t> out;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) out.push_back(image.GetPixel(x, y));
  }
  return out;
}

}  // namespace

class WindowCycleTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
    form_->Timer->stop();  // ticks are given by hand unless a test starts the timer
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
    quarnel_test::RestoreClock();
  }

  // default_size 700: the repaint right after the reload paints with the script's 700; the
  // slider can only show 500, and since the cache still holds the old position the next
  // tick repaints with 500. The size caption lags one call behind the slider.
  void scriptSizeFirstThenTheSlider() {
    QSignalSpy repainted(form_, &TFormMain::previewRepainted);
    QVERIFY(DropFiles(*form_, {Fixture("default700.bs")}));
    QCOMPARE(repainted.count(), 1);
    QCOMPARE(repainted.at(0).at(0).toDouble(), 700.0);
    QCOMPARE(form_->TrackBarSize->value(), 500);
    QCOMPARE(form_->LabelSize->text(), QStringLiteral("15 [px]"));
    QVERIFY(QApplication::overrideCursor() == nullptr);  // the wait cursor is gone again

    quarnel_test::Tick(*form_);
    QCOMPARE(repainted.count(), 2);
    QCOMPARE(repainted.at(1).at(0).toDouble(), 500.0);
    QCOMPARE(form_->LabelSize->text(), QStringLiteral("500 [px]"));

    quarnel_test::Tick(*form_);
    QCOMPARE(repainted.count(), 2);
  }

  // Nothing changed: no repaint, but every tick copies the preview to the window again.
  void unchangedWindowIsCopiedNotRepainted() {
    quarnel_test::Tick(*form_);
    const int repaints = form_->RepaintCount();
    const int copies = form_->CopyCount();
    const int paints = form_->PaintCount();
    form_->Timer->start();
    QSignalSpy ticks(form_->Timer, &QTimer::timeout);
    QVERIFY(ticks.wait(2000));
    QVERIFY(ticks.wait(2000));
    QCOMPARE(form_->RepaintCount(), repaints);
    QVERIFY(form_->CopyCount() >= copies + 2);
    QTRY_VERIFY(form_->PaintCount() > paints);
  }

  // A slider move repaints at once, without waiting for the timer; the next tick then finds
  // nothing changed.
  void sliderMoveRepaintsAtOnce_data() {
    QTest::addColumn<int>("slider");  // 0 is the size slider, 1..10 the parameters
    QTest::addColumn<int>("position");
    QTest::newRow("size") << 0 << 40;
    QTest::newRow("parameter 1") << 1 << 60;
    QTest::newRow("parameter 2") << 2 << 3;
  }
  void sliderMoveRepaintsAtOnce() {
    QFETCH(int, slider);
    QFETCH(int, position);
    QVERIFY(DropFiles(*form_, {Fixture("two_params.bs")}));
    quarnel_test::Tick(*form_);  // settles after the reload
    const int repaints = form_->RepaintCount();
    QSlider* s = slider == 0 ? form_->TrackBarSize : form_->TrackBar[slider - 1];
    s->setValue(position);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->RepaintCount(), repaints + 1);
    if (slider == 0) {
      QCOMPARE(form_->LastRepaintWidth(), double(position));
      QCOMPARE(form_->LabelSize->text(), QStringLiteral("%1 [px]").arg(position));
    } else {
      QCOMPARE(form_->Settings().property.value[slider - 1], position);
    }
    quarnel_test::Tick(*form_);
    QCOMPARE(form_->RepaintCount(), repaints + 1);
  }

  // The pressure box repaints at once, with the new setting.
  void pressureBoxRepaintsAtOnce() {
    quarnel_test::Tick(*form_);
    const std::vector<uint32_t> before = Pixels(form_->Preview());
    const int repaints = form_->RepaintCount();
    QTest::mouseClick(form_->CheckBoxPressure, Qt::LeftButton);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QVERIFY(!form_->CheckBoxPressure->isChecked());
    QCOMPARE(form_->RepaintCount(), repaints + 1);
    QVERIFY(!form_->Settings().pressureSize);
    QVERIFY(Pixels(form_->Preview()) != before);  // the stroke no longer thins out

    QTest::mouseClick(form_->CheckBoxPressure, Qt::LeftButton);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->RepaintCount(), repaints + 2);
    QVERIFY(form_->Settings().pressureSize);
    QVERIFY(Pixels(form_->Preview()) == before);  // same seed sequence, same picture
  }

  // The preview holds exactly what DrawTestStroke paints for the window's settings and the
  // seed drawn from the clock, and the window shows those pixels unconverted.
  void previewPixelsAreTheTestStroke() {
    const uint32_t clock = 4321;
    quarnel_test::FixClock(clock);
    pavo::SeedRandom(clock);
    const int32_t seed = static_cast<int32_t>(pavo::DrawRandom() % 100);

    QVERIFY(DropFiles(*form_, {Fixture("random_dabs.bs")}));
    quarnel_test::Tick(*form_);  // the slider now holds the script's size 24
    QCOMPARE(form_->LastRepaintWidth(), 24.0);
    QCOMPARE(form_->LastRepaintSeed(), seed);

    pavo::CBrushInfo info = form_->Settings();
    pavo::CImage32 expected(492, 296);
    pavo::DrawTestStroke(info, expected, seed);
    QVERIFY(Pixels(form_->Preview()) == Pixels(expected));
    // A different seed paints a different picture, so the comparison above has teeth.
    pavo::CImage32 other(492, 296);
    pavo::DrawTestStroke(info, other, (seed + 1) % 100);
    QVERIFY(Pixels(other) != Pixels(expected));

    // What Qt paints at (209, 45); the rows under the status bar are hidden.
    const QRect shown = form_->PreviewRect().adjusted(0, 0, 0, -19);
    const QImage painted = form_->grab(shown).toImage().convertToFormat(QImage::Format_ARGB32);
    const QByteArray diff = FirstDifference(form_->Preview(), painted, shown.height());
    QVERIFY2(diff.isEmpty(), diff);
  }

  // The headless renderer paints the same preview for the same script, size, parameters
  // and seed.
  void previewEqualsTheRenderersPng() {
    const QString render = QStringLiteral(QUARNEL_BINARY_DIR "/cli/quarnel-render");
    if (!QFileInfo(render).isExecutable()) QSKIP("quarnel-render is not built");
    quarnel_test::FixClock(977);
    QVERIFY(DropFiles(*form_, {Fixture("random_dabs.bs")}));
    form_->TrackBarSize->setValue(31);
    form_->TrackBar[0]->setValue(25);
    quarnel_test::Tick(*form_);
    QCOMPARE(form_->LastRepaintWidth(), 31.0);

    QTemporaryDir dir;
    const QString png = dir.filePath("preview.png");
    QProcess process;
    process.start(render, {QStringLiteral("--size"), QStringLiteral("31"),
                           QStringLiteral("--param"), QStringLiteral("1=25"),
                           QStringLiteral("--seed"), QString::number(form_->LastRepaintSeed()),
                           QStringLiteral("-o"), png, Fixture("random_dabs.bs")});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError());
    QImage image(png);
    QVERIFY(!image.isNull());
    image = image.convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(492, 296));
    const QByteArray diff = FirstDifference(form_->Preview(), image, 296);
    QVERIFY2(diff.isEmpty(), diff);
  }

 private:
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowCycleTest)

#include "WindowCycleTest.moc"

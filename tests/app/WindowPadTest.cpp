// The scratchpad in the window: strokes painted with a tablet pen and with the mouse, live,
// equal the renderer's --strokes render of the points kept; the kept strokes are painted again
// when a slider moves; undo, clear, stroke files, and a script stopped on the pad. Also the
// preview area's zoom, pixel readout and saving.
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QProcess>
#include <QSlider>
#include <QStatusBar>
#include <QTabletEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <cmath>
#include <memory>

#include "WindowTestSupport.h"
#include "app/FormMain.h"
#include "app/PreviewArea.h"
#include "app/ScratchPad.h"
#include "preview/PadSession.h"

using quarnel::TFormMain;
using quarnel::TPreviewArea;
using quarnel_test::FirstDifference;
using quarnel_test::WriteFile;

namespace {

// Random jitter, a dab direction and a parameter: what a live painting must reproduce exactly.
const char* const kBrush =
    "function param1() return 'Jitter', 0, 10, 3 end\n"
    "function main(x, y, p)\n"
    "  local j = bs_param1()\n"
    "  local dx, dy = bs_dir()\n"
    "  bs_ellipse(x + math.random(-j, j), y + 3 * dy, bs_width() * p + 2, 3, bs_atan(dx, dy),\n"
    "             30, 90, 200, 220)\n"
    "end\n";

}  // namespace

class WindowPadTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    // The stroke model thins by the clock: it stands still, so thinning depends on distance.
    quarnel_test::FixClock(50000);
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
    form_->Timer->stop();
    script_ = dir_.filePath(QStringLiteral("pen.bs"));
    QVERIFY(WriteFile(script_, kBrush));
    QVERIFY(quarnel_test::DropFiles(*form_, {script_}));
    quarnel_test::Tick(*form_);
    form_->KeepSeed->setChecked(true);  // so that the renderer can be given the same seed
    form_->ScratchPad->ToggleAction()->trigger();
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QVERIFY(form_->ScratchPad->Active());
    QCOMPARE(form_->PreviewArea->Image(), &form_->ScratchPad->Image());
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
    pen_.reset();
    quarnel_test::RestoreClock();
  }

  // A tablet stroke (pressure from the pen) and a mouse stroke (pressure 1): the pad painted
  // live equals the renderer's --strokes render of the kept points.
  void tabletAndMouseStrokesEqualTheRenderersRender() {
    const quarnel::CPadSession& pad = form_->ScratchPad->Session();
    const int replays = pad.ReplayCount();
    TabletStroke({{30, 40, 0.1}, {80, 60, 0.5}, {140, 50, 0.9}, {200, 90, 0.6}, {260, 70, 0.2}});
    MouseStroke({{40, 160}, {120, 120}, {220, 180}, {320, 150}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(pad.Strokes().size(), size_t{2});
    QCOMPARE(pad.Strokes()[0][7].pressure, 0.5);
    QCOMPARE(pad.Strokes()[1][7].pressure, 1.0);
    QCOMPARE(pad.ReplayCount(), replays);  // what is shown was painted live
    CompareWithRenderer();
  }

  // Points that come close together are thinned as they come (the stroke model's rule), and
  // the kept points are painted again as they were kept, not thinned once more.
  void thinningAppliesLiveButNotOnReplay() {
    std::vector<QPointF> points;
    for (int i = 0; i < 40; ++i) points.push_back(QPointF(30 + 2.5 * i, 100 + (i % 3)));
    MouseStroke(points);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    const quarnel::TPadStroke kept = form_->ScratchPad->Session().Strokes()[0];
    // Seven repeats of the first point, the next seven as they came, then every other one.
    QVERIFY2(kept.size() < points.size() + 6, QByteArray::number(int(kept.size())));
    QVERIFY(kept.size() > 14);
    const QImage live = quarnel::WrapImage(form_->ScratchPad->Image()).copy();
    form_->ScratchPad->Session().Replay();
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->ScratchPad->Session().Strokes()[0], kept);
    const QByteArray diff = FirstDifference(form_->ScratchPad->Image(), live);
    QVERIFY2(diff.isEmpty(), diff);
    CompareWithRenderer();
  }

  // A slider moved: the kept strokes are painted again with the new value.
  void sliderChangeRepaintsTheKeptStrokes() {
    MouseStroke({{40, 100}, {140, 60}, {260, 120}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    const QImage before = quarnel::WrapImage(form_->ScratchPad->Image()).copy();
    const int replays = form_->ScratchPad->Session().ReplayCount();
    form_->TrackBar[0]->setValue(9);
    quarnel_test::Tick(*form_);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->ScratchPad->Session().ReplayCount(), replays + 1);
    QVERIFY(!FirstDifference(form_->ScratchPad->Image(), before).isEmpty());
    CompareWithRenderer({QStringLiteral("--param"), QStringLiteral("1=9")});
  }

  void undoAndClear() {
    MouseStroke({{40, 100}, {140, 60}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    const QImage one = quarnel::WrapImage(form_->ScratchPad->Image()).copy();
    MouseStroke({{40, 200}, {140, 160}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QTest::keyClick(form_, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->ScratchPad->Session().Strokes().size(), size_t{1});
    QVERIFY2(FirstDifference(form_->ScratchPad->Image(), one).isEmpty(),
             FirstDifference(form_->ScratchPad->Image(), one));
    QTest::keyClick(form_, Qt::Key_Backspace, Qt::ControlModifier);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QVERIFY(form_->ScratchPad->Session().Strokes().empty());
    const pavo::CImage32& pad = form_->ScratchPad->Image();
    for (int y = 0; y < pad.height; y += 7) {
      for (int x = 0; x < pad.width; x += 7) {
        QCOMPARE(pad.GetPixel(x, y), ((x >> 2) & 1) == ((y >> 2) & 1) ? 0xffffffffu : 0xffe8e8e8u);
      }
    }
  }

  // Saved strokes opened in a new window paint the same pad.
  void strokeFileRoundTrips() {
    TabletStroke({{30, 40, 0.3}, {90, 80, 0.8}, {150, 60, 0.4}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    const QString file = dir_.filePath(QStringLiteral("strokes.json"));
    QString error;
    QVERIFY2(form_->ScratchPad->SaveStrokes(file, &error), qPrintable(error));
    const QImage shown = quarnel::WrapImage(form_->ScratchPad->Image()).copy();
    const quarnel::TPadStroke kept = form_->ScratchPad->Session().Strokes()[0];

    form_->ScratchPad->Session().Clear();
    QVERIFY(form_->ScratchPad->OpenStrokes(file, &error));
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->ScratchPad->Session().Strokes()[0], kept);
    QVERIFY2(FirstDifference(form_->ScratchPad->Image(), shown).isEmpty(),
             FirstDifference(form_->ScratchPad->Image(), shown));
    QVERIFY(!form_->ScratchPad->OpenStrokes(dir_.filePath(QStringLiteral("none.json")), &error));
    QVERIFY(error.contains(QStringLiteral("none.json")));
  }

  // A stroke whose script runs too long stops with the message on the status line, keeps
  // what it painted, and the next stroke paints.
  void stoppedScriptOnThePad() {
    quarnel::TJobLimits limits;
    limits.seconds = 0.5;
    form_->ScratchPad->Session().Worker().SetLimits(limits);
    QVERIFY(WriteFile(script_,
                      "function main(x, y, p)\n"
                      "  if x > 200 and y < 30 then while true do end end\n"
                      "  bs_rect(x, y, 3, 3, 0, 0, 0, 255)\n"
                      "end\n"));
    form_->ButtonUpdateClick();
    QVERIFY(quarnel_test::WaitIdle(*form_));
    MouseStroke({{40, 20}, {150, 20}, {260, 20}, {300, 20}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QVERIFY2(form_->StatusBar->currentMessage().startsWith(
                 QStringLiteral("the script was stopped: it ran longer than the 0.5 s allowed "
                                "for the stroke on the scratchpad (in main, line 2)")),
             qPrintable(form_->StatusBar->currentMessage()));
    QCOMPARE(form_->ScratchPad->Image().GetPixel(100, 21), 0xff000000u);
    MouseStroke({{40, 200}, {150, 200}});
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->ScratchPad->Image().GetPixel(100, 201), 0xff000000u);
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
  }

  // The preview area: zoom about the cursor, nearest neighbour, the pixel readout, back to
  // the preview, and its PNG.
  void zoomReadoutAndSave() {
    form_->ScratchPad->ToggleAction()->trigger();  // back to the preview
    QVERIFY(!form_->ScratchPad->Active());
    TPreviewArea* area = form_->PreviewArea;
    QCOMPARE(area->Image(), &form_->Preview());
    QTest::keyClick(form_, Qt::Key_4, Qt::ControlModifier);
    QCOMPARE(area->Zoom(), 4);
    QTest::mouseMove(area, QPoint(9, 13));
    const QPointF at = area->ImagePosition(QPointF(9, 13));
    const QPoint pixel(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
    const uint32_t c = form_->Preview().GetPixel(pixel.x(), pixel.y());
    QVERIFY2(
        form_->PixelReadout->text().startsWith(
            QStringLiteral("4x  %1, %2: R %3").arg(pixel.x()).arg(pixel.y()).arg((c >> 16) & 0xFF)),
        qPrintable(form_->PixelReadout->text()));
    // Each image pixel is a 4 x 4 block on screen.
    const QImage shown =
        form_->grab(area->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
    const QPoint origin = area->Pan();
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 40; ++x) {
        QCOMPARE(shown.pixel(x, y),
                 form_->Preview().GetPixel(origin.x() + x / 4, origin.y() + y / 4));
      }
    }
    QTest::keyClick(form_, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(area->Zoom(), 1);
    QCOMPARE(area->Pan(), QPoint(0, 0));
    const QString png = dir_.filePath(QStringLiteral("shown.png"));
    QString error;
    QVERIFY2(area->SaveImage(png, &error), qPrintable(error));
    const QImage saved = QImage(png).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(FirstDifference(form_->Preview(), saved).isEmpty(),
             FirstDifference(form_->Preview(), saved));
  }

 private:
  // Pen events as a tablet sends them, in pad pixels (the area shows the pad at 1x from its
  // top left).
  void TabletStroke(const std::vector<std::array<double, 3>>& points) {
    if (!pen_) {
      pen_ = std::make_unique<QPointingDevice>(
          QStringLiteral("test pen"), 42, QInputDevice::DeviceType::Stylus,
          QPointingDevice::PointerType::Pen,
          QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    }
    TPreviewArea* area = form_->PreviewArea;
    for (size_t i = 0; i < points.size(); ++i) {
      const QPointF at(points[i][0], points[i][1]);
      const QEvent::Type type = i == 0 ? QEvent::TabletPress : QEvent::TabletMove;
      QTabletEvent event(type, pen_.get(), at, area->mapToGlobal(at), points[i][2], 0, 0, 0, 0, 0,
                         Qt::NoModifier, Qt::LeftButton, Qt::LeftButton);
      QCoreApplication::sendEvent(area, &event);
    }
    const QPointF end(points.back()[0], points.back()[1]);
    QTabletEvent release(QEvent::TabletRelease, pen_.get(), end, area->mapToGlobal(end), 0, 0, 0, 0,
                         0, 0, Qt::NoModifier, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::sendEvent(area, &release);
  }

  void MouseStroke(const std::vector<QPointF>& points) {
    TPreviewArea* area = form_->PreviewArea;
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, points.front().toPoint());
    for (size_t i = 1; i < points.size(); ++i) {
      QMouseEvent move(QEvent::MouseMove, points[i], area->mapToGlobal(points[i]), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(area, &move);
    }
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, points.back().toPoint());
  }

  // The pad as shown equals quarnel-render --strokes of its saved strokes, same seed.
  void CompareWithRenderer(const QStringList& more = {}) {
    const QString render = QStringLiteral(QUARNEL_BINARY_DIR "/cli/quarnel-render");
    if (!QFileInfo(render).isExecutable()) QSKIP("quarnel-render is not built");
    const QString file = dir_.filePath(QStringLiteral("compare.json"));
    QString error;
    QVERIFY2(form_->ScratchPad->SaveStrokes(file, &error), qPrintable(error));
    const QString png = dir_.filePath(QStringLiteral("compare.png"));
    QProcess process;
    process.start(render, QStringList{QStringLiteral("--strokes"), file, QStringLiteral("--seed"),
                                      QString::number(*form_->ScratchPad->Session().fixedSeed),
                                      QStringLiteral("-o"), png} +
                              more + QStringList{script_});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError());
    const QImage image = QImage(png).convertToFormat(QImage::Format_ARGB32);
    const QByteArray diff = FirstDifference(form_->ScratchPad->Image(), image);
    QVERIFY2(diff.isEmpty(), diff);
  }

  QTemporaryDir dir_;
  QString script_;
  TFormMain* form_ = nullptr;
  std::unique_ptr<QPointingDevice> pen_;
};

QUARNEL_WINDOW_TEST(WindowPadTest)

#include "WindowPadTest.moc"

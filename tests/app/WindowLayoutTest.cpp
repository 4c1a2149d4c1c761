// The window's components: names, kinds, places, sizes, ranges, captions; docking and
// anchoring on resize; the plain-brush preview before any script.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "WindowTestSupport.h"
#include "app/FormMain.h"
#include "brush/BrushInfo.h"

using quarnel::TFormMain;

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

// True when some pixel of the preview is darker than the checkerboard's light grey.
bool HasDarkPixel(const pavo::CImage32& image) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint32_t c = image.GetPixel(x, y);
      if (((c >> 16) & 0xff) < 0x80 && ((c >> 8) & 0xff) < 0x80 && (c & 0xff) < 0x80) return true;
    }
  }
  return false;
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
  }

  void formTitleSizeAndFont() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("Quarnel Tester (2015/03/15)"));
    QCOMPARE(form_->size(), QSize(701, 341));
    QCOMPARE(form_->font().pixelSize(), 11);
    QCOMPARE(form_->font().families(),
             (QStringList{QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK JP")}));
    QCOMPARE(form_->PreviewRect(), QRect(209, 45, 492, 296));
    QCOMPARE(form_->Preview().width, 492);
    QCOMPARE(form_->Preview().height, 296);
  }

  void sliders_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("tick");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("TrackBarSize") << "TrackBarSize"
                                  << "Panel" << QRect(8, 6, 250, 33) << 2 << 500 << 15 << 50
                                  << true;
    const int ys[] = {6, 30, 55, 79, 106, 143, 167, 191, 215, 242};
    for (int i = 0; i < 10; ++i) {
      const QString name = QStringLiteral("TrackBar%1").arg(i + 1);
      QTest::newRow(qPrintable(name))
          << name << "PanelParam" << QRect(100, ys[i], 100, 25) << 0 << 100 << 0 << 10 << true;
    }
  }
  void sliders() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(int, tick);
    auto* slider = form_->findChild<QSlider*>(name);
    QVERIFY(slider != nullptr);
    QCOMPARE(slider->parentWidget()->objectName(), parent);
    QCOMPARE(slider->geometry(), geometry);
    QCOMPARE(slider->orientation(), Qt::Horizontal);
    QCOMPARE(slider->minimum(), minimum);
    QCOMPARE(slider->maximum(), maximum);
    QCOMPARE(slider->value(), position);
    QCOMPARE(slider->tickInterval(), tick);
    QVERIFY(slider->tickPosition() != QSlider::NoTicks);
    QVERIFY(!(slider->focusPolicy() & Qt::TabFocus));  // not a tab stop
  }

  void parameterLabels() {
    const int ys[] = {6, 30, 55, 79, 106, 143, 167, 191, 215, 243};
    for (int i = 0; i < 10; ++i) {
      auto* label = form_->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 1));
      QVERIFY(label != nullptr);
      QCOMPARE(label->parentWidget()->objectName(), QStringLiteral("PanelParam"));
      QCOMPARE(label->pos(), QPoint(8, ys[i]));
      QCOMPARE(label->text(), QStringLiteral("---"));
      QVERIFY(!label->isEnabled());
    }
  }

  void topPanelAndStatusBar() {
    auto* panel = form_->findChild<QWidget*>(QStringLiteral("Panel"));
    auto* panelParam = form_->findChild<QWidget*>(QStringLiteral("PanelParam"));
    auto* status = form_->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    auto* box = form_->findChild<QCheckBox*>(QStringLiteral("CheckBoxPressure"));
    auto* button = form_->findChild<QPushButton*>(QStringLiteral("ButtonUpdate"));
    auto* labelSize = form_->findChild<QLabel*>(QStringLiteral("LabelSize"));
    auto* timer = form_->findChild<QTimer*>(QStringLiteral("Timer"));
    QVERIFY(panel && panelParam && status && box && button && labelSize && timer);
    QCOMPARE(panel->geometry(), QRect(0, 0, 701, 45));
    QCOMPARE(panelParam->geometry(), QRect(0, 45, 209, 341 - 45 - 19));
    QCOMPARE(status->geometry(), QRect(0, 322, 701, 19));
    QCOMPARE(status->currentMessage(),
             Utf8("テストしたいブラシスクリプトを、ドラッグ＆ドロップしてください"));
    QCOMPARE(box->parentWidget(), panel);
    // At (526, 15), 70 x 17, unless the caption needs more: then it grows to the left.
    QCOMPARE(box->geometry().right(), 526 + 70 - 1);
    QCOMPARE(box->y(), 15);
    QCOMPARE(box->height(), 17);
    QCOMPARE(box->width(), std::max(70, box->sizeHint().width()));
    QCOMPARE(box->text(), Utf8("筆圧サイズ"));
    QVERIFY(box->isChecked());
    QVERIFY(!(box->focusPolicy() & Qt::TabFocus));
    QCOMPARE(button->parentWidget(), panel);
    QCOMPARE(button->geometry().right(), 606 + 91 - 1);
    QCOMPARE(button->y(), 11);
    QCOMPARE(button->height(), 25);
    QCOMPARE(button->width(), std::max(91, button->sizeHint().width()));
    QCOMPARE(button->text(), Utf8("スクリプト更新"));
    QVERIFY(!button->isEnabled());
    QCOMPARE(labelSize->pos(), QPoint(264, 11));
    // The first UpdatePreview has replaced the design-time caption.
    QCOMPARE(labelSize->text(), QStringLiteral("15 [px]"));
    QCOMPARE(timer->interval(), 250);
    QVERIFY(timer->isActive());
  }

  // Panels stay docked, the check box and the button keep their distance from the right
  // edge, the preview fills the rest and is repainted at once.
  void resizeFollowsTheClientArea() {
    const int before = form_->RepaintCount();
    form_->resize(801, 400);
    QTRY_COMPARE(form_->PreviewRect(), QRect(209, 45, 592, 355));
    QCOMPARE(form_->Preview().width, 592);
    QCOMPARE(form_->Preview().height, 355);
    QCOMPARE(form_->CheckBoxPressure->geometry().right(), 100 + 526 + 70 - 1);
    QCOMPARE(form_->CheckBoxPressure->y(), 15);
    QCOMPARE(form_->ButtonUpdate->geometry().right(), 100 + 606 + 91 - 1);
    QCOMPARE(form_->ButtonUpdate->y(), 11);
    QCOMPARE(form_->Panel->geometry(), QRect(0, 0, 801, 45));
    QCOMPARE(form_->StatusBar->geometry(), QRect(0, 381, 801, 19));
    QCOMPARE(form_->PanelParam->geometry(), QRect(0, 45, 209, 336));
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->RepaintCount(), before + 1);  // the size slider did not move
  }

  // The window cannot be made smaller than the size at which its controls stand clear of each
  // other, and there the preview still has room.
  void tinyResizeStopsWhereNoControlOverlaps() {
    form_->resize(150, 30);
    QTRY_COMPARE(form_->size(), form_->minimumSize());
    const QWidget* panel = form_->PanelParam;
    QVERIFY(form_->TrackBarSize->geometry().right() < form_->LabelSize->x());
    const int widestCaption =
        form_->LabelSize->x() +
        form_->LabelSize->fontMetrics().horizontalAdvance(QStringLiteral("500 [px]"));
    QVERIFY(widestCaption < form_->CheckBoxPressure->x());
    QVERIFY(form_->CheckBoxPressure->geometry().right() < form_->ButtonUpdate->x());
    QVERIFY(form_->ButtonUpdate->geometry().right() < form_->width());
    QVERIFY(panel->geometry().bottom() < form_->StatusBar->y());
    for (int i = 0; i < 10; ++i) {
      QVERIFY(form_->TrackBar[i]->geometry().bottom() < panel->height());
      QVERIFY(form_->Label[i]->geometry().bottom() < panel->height());
    }
    QTRY_VERIFY(form_->Preview().width > 100 && form_->Preview().height > 100);
    form_->resize(701, 341);
    QTRY_COMPARE(form_->Preview().width, 492);
  }

  // Before any script the plain round brush paints the stroke at the slider's size.
  void plainBrushBeforeAnyScript() {
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->Settings().type, 0);
    QCOMPARE(form_->LastRepaintWidth(), 15.0);
    QVERIFY(form_->RepaintCount() >= 1);
    QVERIFY(HasDarkPixel(form_->Preview()));
  }

 private:
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowLayoutTest)

#include "WindowLayoutTest.moc"

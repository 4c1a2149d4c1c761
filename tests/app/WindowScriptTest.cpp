// What the window makes of a script's answers: the parameter sliders and labels, the status
// line for a broken script, labels and messages in UTF-8 and Shift_JIS, and the update
// button reading an edited script again.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "WindowTestSupport.h"
#include "app/FormMain.h"

using quarnel::TFormMain;
using quarnel_test::DropFiles;
using quarnel_test::Fixture;
using quarnel_test::WriteFile;

namespace {

struct TSliderState {
  bool enabled;
  int minimum, maximum, value;
  const char* label;  // UTF-8
};

void CheckSliders(const TFormMain& form, const TSliderState (&expected)[10]) {
  for (int i = 0; i < 10; ++i) {
    const TSliderState& e = expected[i];
    const QByteArray where = "slider " + QByteArray::number(i + 1);
    QVERIFY2(form.TrackBar[i]->isEnabled() == e.enabled, where);
    QVERIFY2(form.TrackBar[i]->minimum() == e.minimum, where);
    QVERIFY2(form.TrackBar[i]->maximum() == e.maximum, where);
    QVERIFY2(form.TrackBar[i]->value() == e.value, where);
    QVERIFY2(form.Label[i]->isEnabled() == e.enabled, where);
    QVERIFY2(form.Label[i]->text() == QString::fromUtf8(e.label),
             where + ": " + form.Label[i]->text().toUtf8());
  }
}

constexpr TSliderState kUnused = {false, 0, 100, 0, "---"};

}  // namespace

class WindowScriptTest : public QObject {
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

  // two_params.bs: Density 10..90 at 30; Spread -20..360 at 45 stored as 0..100 at 45.
  void twoParametersEnableTwoSliders() {
    QVERIFY(DropFiles(*form_, {Fixture("two_params.bs")}));
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    const TSliderState expected[10] = {{true, 10, 90, 30, "Density"},
                                       {true, 0, 100, 45, "Spread"},
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused};
    CheckSliders(*form_, expected);
    // The values painted with are the slider positions; disabled sliders give 0.
    const pavo::CBrushProperty& property = form_->Settings().property;
    QCOMPARE(property.count, 2);
    QCOMPARE(property.value[0], 30);
    QCOMPARE(property.value[1], 45);
    QCOMPARE(property.value[2], 0);
    QCOMPARE(property.value[9], 0);
  }

  // After a working script, a broken one shows the interpreter's message (the chunk is
  // named by its first line, shortened with dots as the script has more lines) and leaves
  // no slider enabled.
  void brokenScriptReportsAndDisablesEverySlider() {
    QVERIFY(DropFiles(*form_, {Fixture("two_params.bs")}));
    QVERIFY(form_->TrackBar[0]->isEnabled());
    QVERIFY(DropFiles(*form_, {Fixture("broken.bs")}));
    QCOMPARE(form_->StatusBar->currentMessage(),
             QStringLiteral("[string \"x = = 1...\"]:1: unexpected symbol near '='"));
    const TSliderState expected[10] = {kUnused, kUnused, kUnused, kUnused, kUnused,
                                       kUnused, kUnused, kUnused, kUnused, kUnused};
    CheckSliders(*form_, expected);
    QCOMPARE(form_->Settings().property.count, 0);
    QVERIFY(form_->ButtonUpdate->isEnabled());  // the user may fix the file and update
  }

  // The same labels saved by a UTF-8 editor and by a Shift_JIS one read the same.
  void labelsInUtf8AndShiftJis_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("UTF-8") << Fixture("labels_utf8.bs");
    QTest::newRow("Shift_JIS") << Fixture("labels_sjis.bs");
  }
  void labelsInUtf8AndShiftJis() {
    QFETCH(QString, script);
    QVERIFY(DropFiles(*form_, {script}));
    QCOMPARE(form_->Label[0]->text(), QString::fromUtf8("濃さ"));
    QCOMPARE(form_->Label[1]->text(), QString::fromUtf8("筆の太さ"));
    QCOMPARE(form_->TrackBar[1]->value(), 20);
  }

  void interpreterMessageInShiftJis() {
    QVERIFY(DropFiles(*form_, {Fixture("broken_sjis.bs")}));
    const QString status = form_->StatusBar->currentMessage();
    QVERIFY2(status.endsWith(QStringLiteral(":2: ") + QString::fromUtf8("壊れたスクリプト")),
             status.toUtf8());
    QVERIFY2(status.startsWith(QStringLiteral("[string \"-- Fails while loading")),
             status.toUtf8());
  }

  // The update button reads the edited file again; positions go back to the defaults.
  void updateButtonRereadsTheScript() {
    QTemporaryDir dir;
    const QString path = dir.filePath("edit.bs");
    QVERIFY(WriteFile(path, "function param1() return 'Before', 0, 100, 10 end\n"));
    QVERIFY(DropFiles(*form_, {path}));
    QCOMPARE(form_->Label[0]->text(), QStringLiteral("Before"));
    form_->TrackBar[0]->setValue(77);
    QVERIFY(WriteFile(path,
                      "function param1() return 'After', 0, 50, 20 end\n"
                      "function param2() return 'Second', 5, 60, 6 end\n"));
    QTest::mouseClick(form_->ButtonUpdate, Qt::LeftButton);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    const TSliderState expected[10] = {{true, 0, 50, 20, "After"},
                                       {true, 5, 60, 6, "Second"},
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused,
                                       kUnused};
    CheckSliders(*form_, expected);
  }

 private:
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowScriptTest)

#include "WindowScriptTest.moc"

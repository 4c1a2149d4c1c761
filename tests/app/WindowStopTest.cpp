// The window stays usable whatever a dropped script does: a discovery or a repaint that runs
// past the time budget is stopped and reported, is not run again for nothing, never strands
// the author at the value that made it run too long, and the next drop works as usual.
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
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

// The default budget is 2 s per job; the margin covers starting and reaping the worker on a
// loaded machine.
constexpr qint64 kBudgetMs = 2000;
constexpr qint64 kMarginMs = 1500;

struct THang {
  const char* name;
  const char* script;
  const char* status;  // start of the expected status line
  bool inRepaint;      // stopped in the repaint (discovery answered), not in discovery
};

// A Lua loop, which the count hook stops, and a C call that backtracks practically forever,
// which only killing the worker stops; once in discovery, once in the repaint.
const THang kHangs[] = {
    {"lua loop in param1", "function param1() while true do end end\n",
     "the script was stopped: it ran longer than the 2 s allowed for parameter discovery (in "
     "param1, line 1)",
     false},
    {"backtracking in param1",
     "function param1() string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b') end\n",
     "the script was stopped: it ran longer than the 2 s allowed for parameter discovery, inside "
     "a call that cannot be interrupted",
     false},
    {"lua loop in main",
     "function param1() return 'n', 0, 10, 5 end\n"
     "function main(x, y, p) while true do end end\n",
     "the script was stopped: it ran longer than the 2 s allowed for the repaint (in main, line "
     "2)",
     true},
    {"backtracking in main",
     "function param1() return 'n', 0, 10, 5 end\n"
     "function main(x, y, p) string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b') end\n",
     "the script was stopped: it ran longer than the 2 s allowed for the repaint, inside a call "
     "that cannot be interrupted",
     true},
};

}  // namespace

class WindowStopTest : public QObject {
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

  // A parameter that makes the script run too long: moving the slider off it runs the script
  // again, with the new value, and the status says OK again.
  void sliderMovesOffTheValueThatStoppedTheScript() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("steps.bs"));
    QVERIFY(WriteFile(path,
                      "function param1() return 'steps', 0, 10, 8 end\n"
                      "function main(x, y, p)\n"
                      "  if bs_param1() > 5 then while true do end end\n"
                      "  bs_rect(x, y, 3, 3, 0, 0, 0, 255)\n"
                      "end\n"));
    QVERIFY(DropFiles(*form_, {path}));
    QVERIFY(form_->StatusBar->currentMessage().startsWith(
        QStringLiteral("the script was stopped: it ran longer than the 2 s allowed for the "
                       "repaint (in main, line 3)")));
    QVERIFY(form_->TrackBar[0]->isEnabled());
    form_->TrackBar[0]->setValue(2);
    quarnel_test::Tick(*form_);
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    QCOMPARE(form_->Settings().property.value[0], 2);
    QVERIFY(!form_->Session().ScriptStopped());
  }

  void hangingScriptIsStoppedAndTheNextDropWorks_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < static_cast<int>(std::size(kHangs)); ++i) {
      QTest::newRow(kHangs[i].name) << i;
    }
  }

  void hangingScriptIsStoppedAndTheNextDropWorks() {
    QFETCH(int, index);
    const THang& hang = kHangs[index];
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("hang.bs"));
    QVERIFY(WriteFile(path, hang.script));

    QElapsedTimer timer;
    timer.start();
    QVERIFY(DropFiles(*form_, {path}));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed < kBudgetMs + kMarginMs, QByteArray::number(elapsed));
    const QString status = form_->StatusBar->currentMessage();
    QVERIFY2(status.startsWith(QString::fromUtf8(hang.status)), status.toUtf8());
    // A stop in discovery leaves nothing answered; a stop in the repaint keeps the slider the
    // script answered, so that the author can move it.
    QCOMPARE(form_->TrackBar[0]->isEnabled(), hang.inRepaint);
    QCOMPARE(form_->Label[0]->isEnabled(), hang.inRepaint);
    for (int i = 1; i < 10; ++i) {
      QVERIFY2(!form_->TrackBar[i]->isEnabled(), QByteArray::number(i + 1));
      QVERIFY2(!form_->Label[i]->isEnabled(), QByteArray::number(i + 1));
    }

    // Repaints of the stopped script at the same settings (the timer's, a resize's) do not
    // run it again, and show what it showed.
    const QImage shown = form_->Preview().Wrap().copy();
    timer.restart();
    quarnel_test::Tick(*form_);
    form_->ResetChangeCache();
    quarnel_test::Tick(*form_);
    QVERIFY2(timer.elapsed() < kMarginMs, QByteArray::number(timer.elapsed()));
    QVERIFY2(form_->StatusBar->currentMessage().startsWith(QString::fromUtf8(hang.status)),
             form_->StatusBar->currentMessage().toUtf8());
    QVERIFY(form_->Preview().Wrap() == shown);

    QVERIFY(DropFiles(*form_, {Fixture("two_params.bs")}));
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    QVERIFY(form_->TrackBar[0]->isEnabled());
    QVERIFY(form_->TrackBar[1]->isEnabled());
    QVERIFY(!form_->TrackBar[2]->isEnabled());
  }

 private:
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowStopTest)

#include "WindowStopTest.moc"

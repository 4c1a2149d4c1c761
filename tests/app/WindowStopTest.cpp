// The window stays usable whatever a dropped script does: a discovery or a repaint that runs
// past the time budget is stopped, shown as a script that fails to load, and the next drop
// works as usual.
#include <QElapsedTimer>
#include <QFile>
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

namespace {

// The default budget is 2 s per job; the margin covers starting and reaping the worker on a
// loaded machine.
constexpr qint64 kBudgetMs = 2000;
constexpr qint64 kMarginMs = 1500;

bool WriteFile(const QString& path, const QByteArray& text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

struct THang {
  const char* name;
  const char* script;
  const char* status;  // start of the expected status line
};

// A Lua loop, which the count hook stops, and a C call that backtracks practically forever,
// which only killing the worker stops; once in discovery, once in the repaint.
const THang kHangs[] = {
    {"lua loop in param1", "function param1() while true do end end\n",
     "the script was stopped: it ran longer than the 2 s allowed for parameter discovery (in "
     "param1, line 1)"},
    {"backtracking in param1",
     "function param1() string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b') end\n",
     "the script was stopped: it ran longer than the 2 s allowed for parameter discovery, inside "
     "a call that cannot be interrupted"},
    {"lua loop in main",
     "function param1() return 'n', 0, 10, 5 end\n"
     "function main(x, y, p) while true do end end\n",
     "the script was stopped: it ran longer than the 2 s allowed for the repaint (in main, line "
     "2)"},
    {"backtracking in main",
     "function param1() return 'n', 0, 10, 5 end\n"
     "function main(x, y, p) string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b') end\n",
     "the script was stopped: it ran longer than the 2 s allowed for the repaint, inside a call "
     "that cannot be interrupted"},
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
    for (int i = 0; i < 10; ++i) {
      QVERIFY2(!form_->TrackBar[i]->isEnabled(), QByteArray::number(i + 1));
      QVERIFY2(!form_->Label[i]->isEnabled(), QByteArray::number(i + 1));
    }

    // A repaint of the stopped script (the size slider moved) does not run it again.
    timer.restart();
    form_->TrackBarSize->setValue(form_->TrackBarSize->value() + 3);
    form_->UpdatePreview(false);
    QVERIFY2(timer.elapsed() < kMarginMs, QByteArray::number(timer.elapsed()));
    QVERIFY2(form_->StatusBar->currentMessage().startsWith(QString::fromUtf8(hang.status)),
             form_->StatusBar->currentMessage().toUtf8());

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

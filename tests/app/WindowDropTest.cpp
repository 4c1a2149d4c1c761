// Scripts arrive by drag and drop: local files in drop order, the ".bs" extension in any
// letter case, anything else ignored without a word.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "WindowTestSupport.h"
#include "app/FormMain.h"

using quarnel::TFormMain;

namespace {

// A script whose first parameter is labelled `label`.
bool WriteScript(const QString& path, const char* label) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write("function param1() return \"");
  f.write(label);
  f.write("\", 0, 100, 40 end\nfunction main(x, y, p) bs_rect(x, y, 2, 2, 0, 0, 0, 255) end\n");
  return f.error() == QFileDevice::NoError;
}

bool HasRedPixel(const pavo::CImage32& image) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.GetPixel(x, y) == 0xffff0000u) return true;
    }
  }
  return false;
}

const char* const kInitialStatus = "テストしたいブラシスクリプトを、ドラッグ＆ドロップしてください";

}  // namespace

class WindowDropTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
  }

  void extensionDecides_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("brush.bs") << "brush.bs" << true;
    QTest::newRow("brush.BS") << "brush.BS" << true;
    QTest::newRow("brush.Bs") << "brush.Bs" << true;
    QTest::newRow("two dots") << "my.brush.bs" << true;
    QTest::newRow("brush.bs.txt") << "brush.bs.txt" << false;
    QTest::newRow("no extension") << "brush" << false;
    QTest::newRow("brush.bsx") << "brush.bsx" << false;
    QTest::newRow("brush.b") << "brush.b" << false;
    // The dot of a folder name is not the file's extension.
    QTest::newRow("folder named .bs") << "scripts.bs/brush" << false;
  }
  void extensionDecides() {
    QFETCH(QString, relative);
    QFETCH(bool, accepted);
    const QString path = dir_.filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(WriteScript(path, "Width"));
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    const int repaints = form_->RepaintCount();

    QVERIFY(quarnel_test::DropFiles(*form_, {path}));

    if (accepted) {
      QCOMPARE(discovered.count(), 1);
      QCOMPARE(discovered.at(0).at(0).toString(), path);
      QCOMPARE(form_->ScriptPath(), path);
      QVERIFY(form_->ButtonUpdate->isEnabled());
      QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
      QCOMPARE(form_->Label[0]->text(), QStringLiteral("Width"));
      QCOMPARE(form_->Settings().type, 11);
      QCOMPARE(form_->RepaintCount(), repaints + 1);
    } else {
      QCOMPARE(discovered.count(), 0);
      QVERIFY(form_->ScriptPath().isEmpty());
      QVERIFY(!form_->ButtonUpdate->isEnabled());
      QCOMPARE(form_->StatusBar->currentMessage(), QString::fromUtf8(kInitialStatus));
      QCOMPARE(form_->Label[0]->text(), QStringLiteral("---"));
      QCOMPARE(form_->Settings().type, 0);
      QCOMPARE(form_->RepaintCount(), repaints);
    }
  }

  // Each file is loaded in turn (its own discovery and repaint); the last one stays.
  void threeFilesLoadInDropOrder() {
    const QString a = dir_.filePath("a.bs"), b = dir_.filePath("b.BS"), c = dir_.filePath("c.bs");
    QVERIFY(WriteScript(a, "first"));
    QVERIFY(WriteScript(b, "second"));
    QVERIFY(WriteScript(c, "third"));
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    QSignalSpy repainted(form_, &TFormMain::previewRepainted);

    QVERIFY(quarnel_test::DropFiles(*form_, {b, a, c}));

    QCOMPARE(discovered.count(), 3);
    QCOMPARE(discovered.at(0).at(0).toString(), b);
    QCOMPARE(discovered.at(1).at(0).toString(), a);
    QCOMPARE(discovered.at(2).at(0).toString(), c);
    QCOMPARE(repainted.count(), 3);
    QCOMPARE(form_->ScriptPath(), c);
    QCOMPARE(form_->Label[0]->text(), QStringLiteral("third"));
    QCOMPARE(form_->Settings().scriptPath, QFile::encodeName(c).toStdString());
  }

  // Files that are not scripts are skipped among the others without a message.
  void otherFilesInADropAreSkipped() {
    const QString text = dir_.filePath("notes.txt"), script = dir_.filePath("pen.bs");
    QVERIFY(WriteScript(text, "never"));
    QVERIFY(WriteScript(script, "pen"));
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    QVERIFY(quarnel_test::DropFiles(*form_, {text, script, text}));
    QCOMPARE(discovered.count(), 1);
    QCOMPARE(form_->ScriptPath(), script);
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
  }

  // A script that is not there fails to load: the status says why, no slider is enabled and
  // the preview shows the red crosses.
  void missingScriptShowsWhyAndTheCrosses() {
    const QString path = dir_.filePath("gone.bs");
    QVERIFY(quarnel_test::DropFiles(*form_, {path}));
    QCOMPARE(form_->ScriptPath(), path);
    QCOMPARE(form_->StatusBar->currentMessage(),
             QStringLiteral("cannot read '%1': No such file or directory").arg(path));
    QCOMPARE(form_->Settings().property.count, 0);
    QVERIFY(!form_->TrackBar[0]->isEnabled());
    QVERIFY(HasRedPixel(form_->Preview()));
  }

  // A drag without local files is refused at once.
  void dragWithoutFilesIsRefused() {
    QVERIFY(!quarnel_test::DropFiles(*form_, {}));
    QVERIFY(form_->ScriptPath().isEmpty());
  }

 private:
  QTemporaryDir dir_;
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowDropTest)

#include "WindowDropTest.moc"

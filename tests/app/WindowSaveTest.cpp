// Saving the loaded script reloads it without a click, once per save, however the editor
// saves; the author's slider positions survive; a file that goes away for good is reported,
// one that is only briefly missing during a save is not.
#include <unistd.h>
#include <QFile>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "WindowTestSupport.h"
#include "app/FormMain.h"

using quarnel::TFormMain;
using quarnel_test::WriteFile;

namespace {

// Longer than a save's events take to settle, so that a second reload would have come.
constexpr int kAfterSettleMs = 600;
// What a loaded machine may take to notice a save and reload.
constexpr int kReloadTimeoutMs = 10000;

const QByteArray kBefore =
    "function param1() return 'Gap', 0, 100, 10 end\n"
    "function param2() return 'Tilt', 0, 100, 20 end\n"
    "function main(x, y, p) bs_rect(x, y, 2, 2, 0, 0, 0, 255) end\n";
// Gap keeps its label with a narrower range, Tilt becomes Angle, Extra is new.
const QByteArray kAfter =
    "function param1() return 'Gap', 0, 50, 10 end\n"
    "function param2() return 'Angle', 0, 100, 20 end\n"
    "function param3() return 'Extra', 0, 100, 30 end\n"
    "function main(x, y, p) bs_rect(x, y, 3, 3, 0, 0, 0, 255) end\n";

enum class ESave { kInPlace, kRenameOver, kDeleteAndWrite, kDeleteWaitAndWrite };

// Saves `text` at `path` as an editor of that kind does.
bool Save(ESave how, const QString& path, const QByteArray& text) {
  switch (how) {
    case ESave::kInPlace:
      return WriteFile(path, text);
    case ESave::kRenameOver: {
      const QString temporary = path + QStringLiteral(".tmp~");
      return WriteFile(temporary, text) && ::rename(QFile::encodeName(temporary).constData(),
                                                    QFile::encodeName(path).constData()) == 0;
    }
    case ESave::kDeleteAndWrite:
      return QFile::remove(path) && WriteFile(path, text);
    case ESave::kDeleteWaitAndWrite:
      // Longer away than a save's events take to settle, shorter than a file gone for good.
      if (!QFile::remove(path)) return false;
      QTest::qWait(400);
      return WriteFile(path, text);
  }
  return false;
}

}  // namespace

class WindowSaveTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("brush.bs"));
    QVERIFY(WriteFile(path_, kBefore));
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
    QVERIFY(quarnel_test::DropFiles(*form_, {path_}));
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
  }

  // One reload per save, the positions of the slots that kept their labels kept (clamped
  // into a narrower range), the others at their defaults; the size slider stays. The status
  // never changes (never shows the file missing), the preview is painted once, with the
  // positions kept.
  void saveReloadsOnceKeepingPositions_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("in place") << int(ESave::kInPlace);
    QTest::newRow("rename over") << int(ESave::kRenameOver);
    QTest::newRow("delete and write") << int(ESave::kDeleteAndWrite);
    QTest::newRow("delete, wait, write") << int(ESave::kDeleteWaitAndWrite);
  }
  void saveReloadsOnceKeepingPositions() {
    QFETCH(int, how);
    form_->TrackBar[0]->setValue(70);
    form_->TrackBar[1]->setValue(80);
    form_->TrackBarSize->setValue(33);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    QSignalSpy repainted(form_, &TFormMain::previewRepainted);
    QStringList statuses;
    connect(form_->StatusBar, &QStatusBar::messageChanged, this,
            [&statuses](const QString& m) { statuses.append(m); });

    QVERIFY(Save(static_cast<ESave>(how), path_, kAfter));
    QTRY_COMPARE_WITH_TIMEOUT(discovered.count(), 1, kReloadTimeoutMs);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QTest::qWait(kAfterSettleMs);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(discovered.count(), 1);

    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses.join(u'|')));  // "OK" all along
    QCOMPARE(form_->TrackBar[0]->value(), 50);
    QCOMPARE(form_->TrackBar[0]->maximum(), 50);
    QCOMPARE(form_->TrackBar[1]->value(), 20);
    QCOMPARE(form_->TrackBar[2]->value(), 30);
    QVERIFY(form_->TrackBar[2]->isEnabled());
    QCOMPARE(form_->TrackBarSize->value(), 33);
    QCOMPARE(repainted.count(), 1);
    QCOMPARE(form_->LastRepaintWidth(), 33.0);
    const pavo::CBrushProperty& property = form_->Settings().property;
    QCOMPARE(property.value[0], 50);
    QCOMPARE(property.value[1], 20);
    QCOMPARE(property.value[2], 30);

    // The file is watched again after it was replaced: a save in place of what the first save
    // wrote reloads once more.
    form_->TrackBar[2]->setValue(35);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QVERIFY(Save(ESave::kInPlace, path_, kAfter + "-- saved again\n"));
    QTRY_COMPARE_WITH_TIMEOUT(discovered.count(), 2, kReloadTimeoutMs);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QTest::qWait(kAfterSettleMs);
    QCOMPARE(discovered.count(), 2);
    QCOMPARE(form_->TrackBar[2]->value(), 35);
  }

  // A file that stays away is reported as a script that fails to load; written again, it
  // loads, with the positions it had.
  void fileGoneForGoodIsReportedAndComesBack() {
    form_->TrackBar[0]->setValue(70);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    QVERIFY(QFile::remove(path_));
    QTRY_COMPARE_WITH_TIMEOUT(discovered.count(), 1, kReloadTimeoutMs);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->StatusBar->currentMessage(),
             QStringLiteral("cannot read '%1': No such file or directory").arg(path_));
    QVERIFY(!form_->TrackBar[0]->isEnabled());

    QVERIFY(WriteFile(path_, kBefore));
    QTRY_COMPARE_WITH_TIMEOUT(discovered.count(), 2, kReloadTimeoutMs);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    QCOMPARE(form_->TrackBar[0]->value(), 70);
  }

  // Other files of the folder coming and going reload nothing.
  void otherFilesInTheFolderReloadNothing() {
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    const QString other = dir_.filePath(QStringLiteral("notes.txt"));
    QVERIFY(WriteFile(other, "x"));
    QVERIFY(QFile::rename(other, other + QStringLiteral(".old")));
    QTest::qWait(kAfterSettleMs);
    QCOMPARE(discovered.count(), 0);
  }

  // The update button keeps its defaults, and a save it has already read is not read again.
  void updateButtonAfterASaveGivesTheDefaultsOnce() {
    form_->TrackBar[0]->setValue(70);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    QVERIFY(WriteFile(path_, kAfter));
    form_->ButtonUpdateClick();
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QTest::qWait(kAfterSettleMs);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(discovered.count(), 1);
    QCOMPARE(form_->TrackBar[0]->value(), 10);
  }

 private:
  QTemporaryDir dir_;
  QString path_;
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowSaveTest)

#include "WindowSaveTest.moc"

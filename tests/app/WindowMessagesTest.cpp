// What the window tells the author besides the preview: the messages panel (errors of main
// with file, line and dab count; print and bs_debug text in call order; the load error in
// readable form), the status bar's readouts and the status line's tooltip, the panel's place,
// and the keys.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "WindowTestSupport.h"
#include "app/FormMain.h"
#include "app/MessagesPanel.h"
#include "app/StatusReadouts.h"

using quarnel::CMessagesPanel;
using quarnel::TFormMain;
using quarnel_test::WriteFile;

class WindowMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    form_ = new TFormMain;
    quarnel_test::ShowAndWait(*form_);
    form_->Timer->stop();
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
  }

  // A misspelt function in main: the status stays "OK", the indicator counts one error, and
  // the panel names the file and line once with the number of dabs that raised it.
  void runtimeErrorShowsWithFileLineAndDabCount() {
    const QString path = Script("speck.bs",
                                "function param1() return 'n', 0, 9, 1 end\n"
                                "function main(x, y, p)\n"
                                "  bs_elipse(x, y, 4, 4, 0, 0, 0, 0, 255)\n"
                                "end\n");
    QVERIFY(quarnel_test::DropFiles(*form_, {path}));
    QCOMPARE(form_->StatusBar->currentMessage(), QStringLiteral("OK"));
    QCOMPARE(form_->Readouts->ButtonMessages->text(), QStringLiteral("1 error"));
    QVERIFY(form_->Readouts->ButtonMessages->isVisible());
    QCOMPARE(form_->Readouts->LabelScript->text(), QStringLiteral("speck.bs"));
    QCOMPARE(form_->Readouts->LabelScript->toolTip(), path);

    QTest::mouseClick(form_->Readouts->ButtonMessages, Qt::LeftButton);
    QVERIFY(form_->MessagesShown());
    const QString text = form_->PanelMessages->Text();
    QVERIFY2(text.startsWith(QStringLiteral("speck.bs: OK\n")), qPrintable(text));
    const QString line = QStringLiteral(
        "error (301 dabs): speck.bs:3: attempt to call global 'bs_elipse' (a nil value)\n");
    QVERIFY2(text.contains(QStringLiteral("--- repaint ---\n") + line), qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("bs_elipse")), 1);
  }

  // print and bs_debug text in the order the script gave it, the repaint's first and the
  // discovery's apart.
  void printAndDebugInCallOrder() {
    const QString path = Script("talk.bs",
                                "function param1() print('asked') return 'n', 0, 9, 1 end\n"
                                "function main(x, y, p)\n"
                                "  if not said then said = true\n"
                                "    print('one') bs_debug('two') print('three', 4)\n"
                                "  end\n"
                                "end\n");
    QVERIFY(quarnel_test::DropFiles(*form_, {path}));
    form_->ShowMessages(true);
    QCOMPARE(form_->PanelMessages->Text(),
             QStringLiteral("talk.bs: OK\n"
                            "--- repaint ---\none\nbs_debug: two\nthree\t4\n"
                            "--- discovery ---\nasked\n"));
    QCOMPARE(form_->Readouts->ButtonMessages->text(), QStringLiteral("4 lines"));
    // Copy puts the whole text on the clipboard.
    QTest::mouseClick(form_->PanelMessages->ButtonCopy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), form_->PanelMessages->Text());
  }

  // A syntax error: the status line keeps the interpreter's words; its tooltip and the panel
  // name the file and line.
  void syntaxErrorReadsAsFileAndLine() {
    const QString path = Script("typo.bs",
                                "function main(x, y, p)\n"
                                "  if p > 0.5 bs_ellipse(x, y, 4, 4, 0, 0, 0, 0, 255) end\n"
                                "end\n");
    QVERIFY(quarnel_test::DropFiles(*form_, {path}));
    QCOMPARE(form_->StatusBar->currentMessage(),
             QStringLiteral("[string \"function main(x, y, p)...\"]:2: 'then' expected near "
                            "'bs_ellipse'"));
    const QString readable = QStringLiteral("typo.bs:2: 'then' expected near 'bs_ellipse'");
    QCOMPARE(form_->StatusBar->toolTip(), readable);
    QCOMPARE(form_->Readouts->ButtonMessages->text(), QStringLiteral("1 error"));
    form_->ShowMessages(true);
    QVERIFY(form_->PanelMessages->Text().startsWith(QStringLiteral("typo.bs: ") + readable));
  }

  // A script without main is no error: the panel says so once.
  void missingMainIsANoteNotAnError() {
    QVERIFY(quarnel_test::DropFiles(
        *form_, {Script("params.bs", "function param1() return 'n', 0, 9, 1 end\n")}));
    QCOMPARE(form_->Readouts->ButtonMessages->text(), QStringLiteral("no messages"));
    form_->ShowMessages(true);
    QCOMPARE(form_->PanelMessages->Text().count(QStringLiteral("defines no function main")), 1);
    QVERIFY(!form_->PanelMessages->Text().contains(QStringLiteral("error (")));
  }

  // The cost of the last repaint: the time in the script in the status bar, the calls of
  // main and both times in its tooltip and the panel's header.
  void costOfTheLastRepaint() {
    QVERIFY(quarnel_test::DropFiles(
        *form_,
        {Script("dots.bs", "function main(x, y, p) bs_rect(x, y, 2, 2, 0, 0, 0, 255) end\n")}));
    QLabel* time = form_->Readouts->LabelScriptTime;
    QVERIFY(time->isVisible());
    QVERIFY2(
        time->text().endsWith(QStringLiteral(" ms")) || time->text().endsWith(QStringLiteral(" s")),
        qPrintable(time->text()));
    QVERIFY2(time->toolTip().contains(QStringLiteral("main: 301 calls, ")),
             qPrintable(time->toolTip()));
    form_->ShowMessages(true);
    QVERIFY(form_->PanelMessages->LabelCost->text().contains(QStringLiteral("main: 301 calls, ")));
  }

  // Before any script the status bar is as it always was: no readouts.
  void noReadoutsBeforeAScript() {
    QVERIFY(!form_->Readouts->LabelScript->isVisible());
    QVERIFY(!form_->Readouts->ButtonMessages->isVisible());
    QVERIFY(!form_->Readouts->LabelScriptTime->isVisible());
  }

  // The panel opens below the preview, the window growing by its height: the preview keeps
  // its size and is not repainted; the controls keep their places. Closing gives it back.
  void panelGrowsTheWindowAroundThePreview() {
    QVERIFY(quarnel_test::DropFiles(*form_, {Script("a.bs", "print('x')\n")}));
    const QRect preview = form_->PreviewRect();
    const QSize size = form_->size();
    const int repaints = form_->RepaintCount();
    QTest::keyClick(form_, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(form_->MessagesShown());
    QTRY_COMPARE(form_->height(), size.height() + CMessagesPanel::kHeight);
    QVERIFY(form_->PanelMessages->isVisible());
    QCOMPARE(form_->PanelMessages->geometry(),
             QRect(0, form_->height() - 19 - CMessagesPanel::kHeight, size.width(),
                   CMessagesPanel::kHeight));
    QCOMPARE(form_->StatusBar->geometry(), QRect(0, form_->height() - 19, size.width(), 19));
    QCOMPARE(form_->PanelParam->geometry(), QRect(0, 45, 209, size.height() - 45 - 19));
    QCOMPARE(form_->PreviewRect(), preview);
    QCOMPARE(form_->minimumHeight() - CMessagesPanel::kHeight, 331);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->RepaintCount(), repaints);

    QTest::mouseClick(form_->PanelMessages->ButtonClose, Qt::LeftButton);
    QVERIFY(!form_->MessagesShown());
    QTRY_COMPARE(form_->size(), size);
    QVERIFY(!form_->PanelMessages->isVisible());
    QCOMPARE(form_->PreviewRect(), preview);
    QCOMPARE(form_->minimumHeight(), 331);
  }

  // F5 and Ctrl+R reload with the defaults, as the update button; before a script, nothing.
  void reloadKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier);
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << int(Qt::ControlModifier);
  }
  void reloadKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QSignalSpy discovered(form_, &TFormMain::scriptDiscovered);
    QTest::keyClick(form_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(discovered.count(), 0);
    QVERIFY(quarnel_test::DropFiles(
        *form_, {Script("k.bs", "function param1() return 'n', 0, 9, 1 end\n")}));
    form_->TrackBar[0]->setValue(7);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QTest::keyClick(form_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(discovered.count(), 2);
    QCOMPARE(form_->TrackBar[0]->value(), 1);
  }

  // Ctrl+O opens a file dialog in the script's folder; the file chosen is loaded as a drop.
  void openKeyLoadsTheChosenScript() {
    const QString path = Script("chosen.bs", "function param1() return 'Chosen', 0, 9, 1 end\n");
    QVERIFY(quarnel_test::DropFiles(*form_, {Script("first.bs", "")}));
    QTest::keyClick(form_, Qt::Key_O, Qt::ControlModifier);
    auto* dialog = form_->findChild<QFileDialog*>(QStringLiteral("DialogOpen"));
    QVERIFY(dialog != nullptr);
    QCOMPARE(QFileInfo(dialog->directory().absolutePath()), QFileInfo(dir_.path()));
    emit dialog->fileSelected(path);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->ScriptPath(), path);
    QCOMPARE(form_->Label[0]->text(), QStringLiteral("Chosen"));
    dialog->reject();
  }

  // F1: a help box with the version and the keys.
  void helpKeyShowsTheVersion() {
    QTest::keyClick(form_, Qt::Key_F1);
    auto* box = form_->findChild<QMessageBox*>(QStringLiteral("BoxHelp"));
    QVERIFY(box != nullptr);
    QVERIFY(box->text().contains(QStringLiteral(QUARNEL_TEST_VERSION)));
    QVERIFY(box->text().contains(QStringLiteral("Ctrl+L")));
    box->reject();
  }

  // Alt+1 .. Alt+0 put the focus on a parameter slider, whose arrow keys then move it (and
  // repaint); Alt+S the size slider. The sliders stay out of the tab order.
  void slidersReachableFromTheKeyboard() {
    QVERIFY(
        quarnel_test::DropFiles(*form_, {Script("keys.bs",
                                                "function param1() return 'a', 0, 9, 1 end\n"
                                                "function param2() return 'b', 0, 9, 5 end\n")}));
    QApplication::setActiveWindow(form_);
    QTest::keyClick(form_, Qt::Key_2, Qt::AltModifier);
    QTRY_VERIFY(form_->TrackBar[1]->hasFocus());
    const int repaints = form_->RepaintCount();
    QTest::keyClick(form_->TrackBar[1], Qt::Key_Right);
    QVERIFY(quarnel_test::WaitIdle(*form_));
    QCOMPARE(form_->TrackBar[1]->value(), 6);
    QCOMPARE(form_->Settings().property.value[1], 6);
    QCOMPARE(form_->RepaintCount(), repaints + 1);
    QTest::keyClick(form_, Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(form_->TrackBarSize->hasFocus());
    QVERIFY(!(form_->TrackBar[1]->focusPolicy() & Qt::TabFocus));
  }

  // Each parameter slider tells its value; a label too long for its room is cut, the whole
  // text in its tooltip.
  void sliderValuesAndLongLabels() {
    const QByteArray longLabel = "Distance between the dots, in tenths of the width";
    QVERIFY(
        quarnel_test::DropFiles(*form_, {Script("labels.bs",
                                                "function param1() return 'Gap', 10, 90, 30 end\n"
                                                "function param2() return '" +
                                                    longLabel + "', 0, 100, 5 end\n")}));
    QCOMPARE(form_->TrackBar[0]->toolTip(), QStringLiteral("Gap: 30 (10..90)"));
    form_->TrackBar[0]->setValue(44);
    QCOMPARE(form_->TrackBar[0]->toolTip(), QStringLiteral("Gap: 44 (10..90)"));
    QCOMPARE(form_->TrackBarSize->toolTip(), QStringLiteral("Size: 10 px"));
    QCOMPARE(form_->Label[0]->text(), QStringLiteral("Gap"));
    QVERIFY(form_->Label[0]->toolTip().isEmpty());
    QLabel* cut = form_->Label[1];
    QVERIFY(cut->text().endsWith(QChar(0x2026)));
    QCOMPARE(cut->toolTip(), QString::fromUtf8(longLabel));
    QVERIFY(cut->geometry().right() < form_->TrackBar[1]->x());
    QVERIFY(form_->TrackBar[2]->toolTip().isEmpty());  // no parameter, nothing to tell
  }

 private:
  QString Script(const char* name, const QByteArray& text) {
    const QString path = dir_.filePath(QString::fromUtf8(name));
    return WriteFile(path, text) ? path : QString();
  }

  QTemporaryDir dir_;
  TFormMain* form_ = nullptr;
};

QUARNEL_WINDOW_TEST(WindowMessagesTest)

#include "WindowMessagesTest.moc"

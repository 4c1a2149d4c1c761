// The tester's one window: a size slider, the pressure check box and the update button on
// top, ten parameter sliders on the left, the status line at the bottom and the preview of
// the test stroke in the rest. Scripts arrive only by drag and drop (or on the command line,
// handled like a drop). The window binds its controls to a preview session, which decides
// when to repaint and runs discovery and repaints in the worker program without blocking:
// the window stays live while a script paints, shows a small busy mark, and shows each result
// when it comes. The preview is copied to the window on every call of UpdatePreview, so the
// 250 ms timer shows it again after the window was covered.
//
// Beyond that fixed layout, for the author at work: a slider move repaints at once (the timer
// stays as the fallback); the loaded script is reloaded whenever it is saved, keeping the
// slider positions; the status bar names the script, counts its messages and shows what the
// last repaint cost; a messages panel, hidden at start, shows everything the script said; and
// the keyboard reaches the reload, a file dialog, the panel, a help box and the sliders.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>

#include "app/PreviewView.h"
#include "brush/BrushInfo.h"
#include "preview/PreviewSession.h"

class QAction;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QSocketNotifier;
class QStatusBar;
class QTimer;

namespace quarnel {

class TPreviewArea;
class TScratchPad;
class CMessagesPanel;
class CScriptWatcher;
class CStatusReadouts;
class CWindowKeys;

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 701;
  static constexpr int kClientHeight = 341;
  static constexpr int kPanelHeight = 45;
  static constexpr int kPanelParamWidth = 209;
  static constexpr int kStatusBarHeight = 19;
  static constexpr int kTimerInterval = 250;  // ms

  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // Components, named (also as objectName) by kind and role.
  QWidget* Panel = nullptr;
  QSlider* TrackBarSize = nullptr;
  QLabel* LabelSize = nullptr;
  QCheckBox* CheckBoxPressure = nullptr;
  QPushButton* ButtonUpdate = nullptr;
  QStatusBar* StatusBar = nullptr;
  QWidget* PanelParam = nullptr;
  QLabel* Label[pavo::kParamSlots] = {};      // Label1 .. Label10
  QSlider* TrackBar[pavo::kParamSlots] = {};  // TrackBar1 .. TrackBar10
  QTimer* Timer = nullptr;
  QProgressBar* BusyMark = nullptr;  // in the status bar's permanent area while a job runs
  // The preview's area: zoom, pan, the pixel readout, copy and save; and the scratchpad shown
  // in it instead of the test stroke while it is on (F2).
  TPreviewArea* PreviewArea = nullptr;
  TScratchPad* ScratchPad = nullptr;
  QLabel* PixelReadout =
      nullptr;  // in the status bar's permanent area while the cursor is over the preview
  QAction* KeepSeed = nullptr;  // repaints keep the seed of the picture shown
  CMessagesPanel* PanelMessages = nullptr;  // below the preview when shown; hidden at start
  CStatusReadouts* Readouts = nullptr;      // the status bar's readouts of the script

  // Accepts the path when its file name ends in ".bs" in any letter case (the extension is
  // everything from the last dot of the file name); anything else is ignored silently.
  // Scripts are loaded one after the other: one dropped while another is still loading is
  // loaded once that one is discovered and painted.
  void OnDroppedFile(const QString& path);
  // The preview cycle; reload also rediscovers the script's parameters. The repaint it asks
  // for (if any) is shown when the worker has made it.
  void UpdatePreview(bool reload);
  // Forgets the positions seen at the last repaint, so the next UpdatePreview repaints.
  void ResetChangeCache();
  // Reloads the script as it was saved, keeping the slider positions of the parameters whose
  // labels did not change; the window calls it when the script's file changes.
  void ReloadOnSave();
  // Shows or hides the messages panel. The window grows or shrinks by the panel's height, so
  // that the preview keeps its size (a maximised window gives the panel the preview's rows).
  void ShowMessages(bool shown);
  bool MessagesShown() const { return messagesShown_; }

  // Where the preview is shown: (PanelParam width, Panel height), the size of the preview.
  QRect PreviewRect() const;

  // What the window has done, for inspection; none of it changes the behaviour.
  quarnel::CPreviewSession& Session() { return session_; }
  // A job is running or waiting (the preview's or the scratchpad's), or a dropped script is
  // still to be loaded.
  bool Busy() const;
  const pavo::CBrushInfo& Settings() const { return session_.Settings(); }
  const CImageViewQt& Preview() const { return preview_; }
  const QString& ScriptPath() const { return scriptPath_; }
  int RepaintCount() const { return repaintCount_; }  // DrawTestStroke calls
  double LastRepaintWidth() const { return lastRepaintWidth_; }
  int32_t LastRepaintSeed() const { return lastRepaintSeed_; }
  int CopyCount() const { return copyCount_; }  // copies of the preview requested
  int PaintCount() const;                       // preview images painted by Qt

 signals:
  // After every DrawTestStroke, with the brush width it painted with.
  void previewRepainted(double width);
  // After every discovery, with the script's path and the status text shown.
  void scriptDiscovered(const QString& path, const QString& status);

 public slots:
  void TimerTimer();
  void ButtonUpdateClick();
  void CheckBoxPressureClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateComponents();
  void FormCreate();
  void FormResize();
  void LayOut();
  void BlitToWindow();
  void LoadScript(const QString& path);
  void WorkerEvent();
  void ShowDiscovery();
  void ShowRepaint();
  void ShowBusy();
  void ShowScratchPad(bool on);
  void ShowPadBrush();
  void ShowStatus();
  void FollowControls();
  void AfterUpdate();
  void ShowResults();
  void SliderMoved(QSlider* slider, int slot);
  int LayoutHeight() const;
  void UpdateMinimumSize();

  CImageViewQt preview_;
  QString scriptPath_;
  quarnel::CPreviewSession session_;
  QSocketNotifier* workerNotifier_ = nullptr;
  CScriptWatcher* watcher_ = nullptr;
  CWindowKeys* keys_ = nullptr;
  bool messagesShown_ = false;
  QTimer* busyDelay_ = nullptr;
  QStringList dropQueue_;    // accepted scripts waiting for the one loading
  bool loading_ = false;     // a dropped script's discovery and repaint are not both shown
  bool discovered_ = false;  // the loading script's discovery is shown

  int repaintCount_ = 0;
  double lastRepaintWidth_ = 0.0;
  int32_t lastRepaintSeed_ = -1;
  int copyCount_ = 0;
  bool reloadedForPad_ = false;  // a discovery since the scratchpad last took the brush
};

}  // namespace quarnel

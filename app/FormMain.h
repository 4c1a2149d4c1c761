// The tester's one window: a size slider, the pressure check box and the update button on
// top, ten parameter sliders on the left, the status line at the bottom and the preview of
// the test stroke in the rest. Scripts arrive only by drag and drop (or on the command line,
// handled like a drop). The preview is repainted only when a control changed; it is copied
// to the window on every call of UpdatePreview, so the 250 ms timer shows it again after the
// window was covered.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "app/PreviewView.h"
#include "app/PreviewWorker.h"
#include "brush/BrushInfo.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QStatusBar;
class QTimer;

namespace quarnel {

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

  // Accepts the path when its file name ends in ".bs" in any letter case (the extension is
  // everything from the last dot of the file name); anything else is ignored silently.
  void OnDroppedFile(const QString& path);
  // The preview cycle; reload also rediscovers the script's parameters.
  void UpdatePreview(bool reload);
  // Forgets the positions seen at the last repaint, so the next UpdatePreview repaints.
  void ResetChangeCache();

  // Where the preview is shown: (PanelParam width, Panel height), the size of the preview.
  QRect PreviewRect() const;

  // What the window has done, for inspection; none of it changes the behaviour.
  const pavo::CBrushInfo& Settings() const { return settings_; }
  const CImageViewQt& Preview() const { return preview_; }
  const QString& ScriptPath() const { return scriptPath_; }
  int RepaintCount() const { return repaintCount_; }  // DrawTestStroke calls
  double LastRepaintWidth() const { return lastRepaintWidth_; }
  int32_t LastRepaintSeed() const { return lastRepaintSeed_; }
  int CopyCount() const { return copyCount_; }    // copies of the preview requested
  int PaintCount() const { return paintCount_; }  // preview images painted by Qt

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
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateComponents();
  void FormCreate();
  void FormResize();
  void LayOut();
  void BlitToWindow();

  CImageViewQt preview_;
  QString scriptPath_;
  // Discovery and repaints run in a worker process under these limits; a script stopped by
  // them (or dead in the worker) keeps its message here until it is reloaded.
  quarnel::TJobLimits limits_;
  std::string stopMessage_;
  pavo::CBrushInfo settings_;
  int32_t cachedSize_ = -1;
  int32_t cachedParams_[pavo::kParamSlots];

  int repaintCount_ = 0;
  double lastRepaintWidth_ = 0.0;
  int32_t lastRepaintSeed_ = -1;
  int copyCount_ = 0;
  int paintCount_ = 0;
};

}  // namespace quarnel

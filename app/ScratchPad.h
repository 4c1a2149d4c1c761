// The scratchpad in the window: the author's own strokes, painted with the scripted brush in a
// worker of its own and shown in the preview area in place of the test stroke while it is on.
// Strokes are painted live as the pen (or the mouse) moves; whenever the brush changes they
// are all painted again. Clear, undo, stroke files and the mouse's pressure are its actions.
#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "brush/BrushInfo.h"
#include "imaging/Image.h"
#include "preview/PadSession.h"

class QAction;
class QSocketNotifier;
class QWidget;

namespace quarnel {

class TPreviewArea;

class TScratchPad : public QObject {
  Q_OBJECT

 public:
  TScratchPad(TPreviewArea* area, QWidget* window);
  ~TScratchPad() override;

  CPadSession& Session() { return pad_; }
  const pavo::CImage32& Image() const { return image_; }

  // Shown in the preview area, pen input on; off: the area shows `preview` again.
  void SetActive(bool on, const pavo::CImage32* preview);
  bool Active() const { return active_; }
  // The brush changed (or the script was read again: `reloaded`); the strokes are painted
  // again when there are any.
  void SetBrush(const pavo::CBrushInfo& info, bool reloaded);
  // The size an empty pad takes.
  void SetViewSize(int w, int h) { pad_.SetViewSize(w, h); }

  bool OpenStrokes(const QString& path, QString* error);
  bool SaveStrokes(const QString& path, QString* error) const;

  QAction* ToggleAction() const { return toggle_; }

 signals:
  void toggled(bool on);
  // New pixels or a new status.
  void changed();

 private:
  void PenPressed(QPointF at, double pressure);
  void PenMoved(QPointF at, double pressure);

  TPreviewArea* area_;
  QWidget* window_;
  CPadSession pad_;
  pavo::CImage32 image_{pavo::CImage32::TNoSize{}};
  QSocketNotifier* notifier_ = nullptr;
  QAction* toggle_ = nullptr;
  bool active_ = false;
  std::string brush_;  // the settings painted with last, as their record's bytes
};

}  // namespace quarnel

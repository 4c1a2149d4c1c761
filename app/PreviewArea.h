// The area that shows the preview (or the scratchpad): the image painted unconverted at 1x,
// magnified without smoothing at 2x, 4x and 8x so that single pixels can be inspected, moved
// about when it does not fit, and the pixel under the cursor reported with its RGBA value. On
// the scratchpad it turns the mouse and the tablet pen into pen strokes.
//
// Zoom: Ctrl+wheel steps through 1x, 2x, 4x, 8x about the cursor; Ctrl+1, Ctrl+2, Ctrl+4,
// Ctrl+8 choose one. Pan: the wheel (Shift+wheel sideways), or dragging with the middle
// button (with the left button too, on the preview). Ctrl+C copies the image shown, Ctrl+S
// saves it as PNG.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QWidget>
#include <cstdint>

#include "imaging/Image.h"

namespace quarnel {

// A QImage over an image's pixels (no copy; valid while they are); null without pixels.
QImage WrapImage(const pavo::CImage32& image);

class TPreviewArea : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kZooms[] = {1, 2, 4, 8};

  explicit TPreviewArea(QWidget* parent = nullptr);

  // What is shown; null shows nothing. The image is only read, when painting.
  void SetImage(const pavo::CImage32* image);
  const pavo::CImage32* Image() const { return image_; }
  // Pen input: pressed, moved and released pens and mice become pen signals instead of panning.
  void SetPenInput(bool on) { penInput_ = on; }
  bool PenInput() const { return penInput_; }
  // The pressure a mouse stroke has (a tablet reports its own).
  void SetMousePressure(double pressure) { mousePressure_ = pressure; }
  double MousePressure() const { return mousePressure_; }

  int Zoom() const { return zoom_; }
  // Zooms to `factor` (one of kZooms) keeping the image pixel under `anchor` (a point of this
  // widget) where it is.
  void SetZoom(int factor, QPointF anchor);
  void SetZoom(int factor) { SetZoom(factor, QPointF(0, 0)); }
  // The image pixel shown at the top left.
  QPoint Pan() const { return pan_; }
  // The image position (in image pixels, fractional) under a point of this widget.
  QPointF ImagePosition(QPointF widgetPoint) const;

  int PaintCount() const { return paintCount_; }

  // The image as shown (unscaled) into the clipboard; into a PNG file (false with a message).
  void CopyImage() const;
  bool SaveImage(const QString& path, QString* error) const;

 signals:
  // The pixel under the cursor (inside the image) or none (inside false).
  void hovered(QPoint pixel, bool inside);
  void zoomed(int factor);
  // Pen strokes, in image pixels, pressure 0..1.
  void penPressed(QPointF at, double pressure);
  void penMoved(QPointF at, double pressure);
  void penReleased();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void tabletEvent(QTabletEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ClampPan();
  void Hover(QPointF widgetPoint);

  const pavo::CImage32* image_ = nullptr;
  int zoom_ = 1;
  QPoint pan_;
  bool penInput_ = false;
  bool penDown_ = false;
  bool tabletDown_ = false;
  double mousePressure_ = 1.0;
  bool panning_ = false;
  QPointF panFrom_;
  QPoint panStart_;
  int paintCount_ = 0;
};

}  // namespace quarnel

#include "app/PreviewArea.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QTabletEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace quarnel {

namespace {

// A wheel notch pans by this many screen pixels.
constexpr int kPanPerNotch = 48;

int NextZoom(int zoom, int steps) {
  const int count = static_cast<int>(std::size(TPreviewArea::kZooms));
  int at = 0;
  while (at < count && TPreviewArea::kZooms[at] != zoom) ++at;
  at = std::clamp(at + steps, 0, count - 1);
  return TPreviewArea::kZooms[at];
}

}  // namespace

QImage WrapImage(const pavo::CImage32& image) {
  if (image.pixels == nullptr) return QImage();
  return QImage(reinterpret_cast<const uchar*>(image.pixels), image.width, image.height,
                image.stride, QImage::Format_ARGB32);
}

TPreviewArea::TPreviewArea(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PreviewArea"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  for (int factor : kZooms) {
    auto* action = new QAction(QStringLiteral("Zoom %1x").arg(factor), this);
    action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + factor)));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this,
            [this, factor] { SetZoom(factor, QPointF(width() / 2.0, height() / 2.0)); });
    addAction(action);
  }
  auto* copy = new QAction(QStringLiteral("Copy Image"), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WindowShortcut);
  connect(copy, &QAction::triggered, this, &TPreviewArea::CopyImage);
  addAction(copy);
  auto* save = new QAction(QStringLiteral("Save Image as PNG..."), this);
  save->setShortcut(QKeySequence::Save);
  save->setShortcutContext(Qt::WindowShortcut);
  connect(save, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Image"),
                                                      QStringLiteral("preview.png"),
                                                      QStringLiteral("PNG images (*.png)"));
    QString error;
    if (!path.isEmpty() && !SaveImage(path, &error)) {
      QMessageBox::warning(this, QStringLiteral("Save Image"), error);
    }
  });
  addAction(save);
}

void TPreviewArea::SetImage(const pavo::CImage32* image) {
  image_ = image;
  ClampPan();
  update();
}

QPointF TPreviewArea::ImagePosition(QPointF p) const {
  return QPointF(p.x() / zoom_ + pan_.x(), p.y() / zoom_ + pan_.y());
}

void TPreviewArea::SetZoom(int factor, QPointF anchor) {
  const QPointF fixed = ImagePosition(anchor);
  zoom_ = factor;
  pan_ = QPoint(static_cast<int>(std::floor(fixed.x() - anchor.x() / zoom_)),
                static_cast<int>(std::floor(fixed.y() - anchor.y() / zoom_)));
  ClampPan();
  update();
  emit zoomed(zoom_);
}

// At 1x an image that fits shows from its top left, exactly as it is painted.
void TPreviewArea::ClampPan() {
  const int w = image_ != nullptr ? image_->width : 0;
  const int h = image_ != nullptr ? image_->height : 0;
  pan_.setX(std::clamp(pan_.x(), 0, std::max(0, w - width() / zoom_)));
  pan_.setY(std::clamp(pan_.y(), 0, std::max(0, h - height() / zoom_)));
}

void TPreviewArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage image = image_ != nullptr ? WrapImage(*image_) : QImage();
  if (image.isNull()) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  const QRect source =
      QRect(pan_, QSize((width() + zoom_ - 1) / zoom_, (height() + zoom_ - 1) / zoom_))
          .intersected(image.rect());
  const QRect target(0, 0, source.width() * zoom_, source.height() * zoom_);
  if (zoom_ == 1) {
    painter.drawImage(QPoint(0, 0), image, source);
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image, source);
  }
  // Beyond an image smaller than the area: the window's own background.
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (target.right() + 1 < width()) {
    painter.fillRect(QRect(target.right() + 1, 0, width() - target.right() - 1, height()),
                     palette().window());
  }
  if (target.bottom() + 1 < height()) {
    painter.fillRect(QRect(0, target.bottom() + 1, target.width(), height() - target.bottom() - 1),
                     palette().window());
  }
  ++paintCount_;
}

void TPreviewArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ClampPan();
}

void TPreviewArea::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  if (event->modifiers() & Qt::ControlModifier) {
    if (delta.y() != 0) SetZoom(NextZoom(zoom_, delta.y() > 0 ? 1 : -1), event->position());
  } else {
    const bool sideways = (event->modifiers() & Qt::ShiftModifier) || delta.y() == 0;
    const int notches = (sideways ? (delta.x() != 0 ? delta.x() : delta.y()) : delta.y()) / 120;
    const int step = kPanPerNotch / zoom_ + 1;
    if (sideways) {
      pan_.rx() -= notches * step;
    } else {
      pan_.ry() -= notches * step;
    }
    ClampPan();
    update();
  }
  Hover(event->position());
  event->accept();
}

void TPreviewArea::mousePressEvent(QMouseEvent* event) {
  if (penInput_ && event->button() == Qt::LeftButton) {
    penDown_ = true;
    emit penPressed(ImagePosition(event->position()), mousePressure_);
    return;
  }
  if (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton) {
    panning_ = true;
    panFrom_ = event->position();
    panStart_ = pan_;
    return;
  }
  QWidget::mousePressEvent(event);
}

void TPreviewArea::mouseMoveEvent(QMouseEvent* event) {
  if (penDown_) {
    emit penMoved(ImagePosition(event->position()), mousePressure_);
  } else if (panning_) {
    const QPointF moved = (event->position() - panFrom_) / zoom_;
    pan_ = panStart_ - QPoint(static_cast<int>(moved.x()), static_cast<int>(moved.y()));
    ClampPan();
    update();
  }
  Hover(event->position());
}

void TPreviewArea::mouseReleaseEvent(QMouseEvent* event) {
  if (penDown_ && event->button() == Qt::LeftButton) {
    penDown_ = false;
    emit penReleased();
    return;
  }
  if (panning_) {
    panning_ = false;
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

// A pen on a tablet: its pressure goes with its strokes. Accepted, so that Qt makes no mouse
// events of it.
void TPreviewArea::tabletEvent(QTabletEvent* event) {
  if (!penInput_) {
    event->ignore();
    return;
  }
  const QPointF at = ImagePosition(event->position());
  const double pressure = std::clamp(event->pressure(), 0.0, 1.0);
  switch (event->type()) {
    case QEvent::TabletPress:
      if (!tabletDown_) {
        tabletDown_ = true;
        emit penPressed(at, pressure);
      }
      break;
    case QEvent::TabletMove:
      if (tabletDown_) emit penMoved(at, pressure);
      break;
    case QEvent::TabletRelease:
      if (tabletDown_) {
        tabletDown_ = false;
        emit penReleased();
      }
      break;
    default:
      break;
  }
  Hover(event->position());
  event->accept();
}

void TPreviewArea::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  emit hovered(QPoint(), false);
}

void TPreviewArea::Hover(QPointF widgetPoint) {
  const QPointF at = ImagePosition(widgetPoint);
  const QPoint pixel(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
  const bool inside = image_ != nullptr && image_->pixels != nullptr && pixel.x() >= 0 &&
                      pixel.y() >= 0 && pixel.x() < image_->width && pixel.y() < image_->height;
  emit hovered(pixel, inside);
}

void TPreviewArea::CopyImage() const {
  if (image_ == nullptr || image_->pixels == nullptr) return;
  QGuiApplication::clipboard()->setImage(WrapImage(*image_).copy());
}

bool TPreviewArea::SaveImage(const QString& path, QString* error) const {
  if (image_ == nullptr || image_->pixels == nullptr) {
    if (error != nullptr) *error = QStringLiteral("There is no image to save.");
    return false;
  }
  // Written beside the file and renamed over it: a failed save keeps the old file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !WrapImage(*image_).save(&file, "PNG") ||
      !file.commit()) {
    if (error != nullptr) {
      *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    }
    return false;
  }
  return true;
}

}  // namespace quarnel

#include "app/ScratchPad.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QWidget>

#include "app/PreviewArea.h"
#include "geometry/Clock.h"
#include "preview/StrokeFile.h"
#include "preview/WireFormat.h"

namespace quarnel {

namespace {

QAction* MakeAction(QObject* parent, const QString& text, const QKeySequence& keys) {
  auto* action = new QAction(text, parent);
  action->setShortcut(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  return action;
}

const QString kStrokeFilter = QStringLiteral("Stroke files (*.json)");

}  // namespace

TScratchPad::TScratchPad(TPreviewArea* area, QWidget* window)
    : QObject(window), area_(area), window_(window) {
  pad_.SetImage(&image_);
  pad_.onChanged = [this] {
    if (active_) area_->update();
    emit changed();
  };
  if (pad_.EventFd() >= 0) {
    notifier_ = new QSocketNotifier(pad_.EventFd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { pad_.HandleEvents(); });
  }
  connect(area_, &TPreviewArea::penPressed, this, &TScratchPad::PenPressed);
  connect(area_, &TPreviewArea::penMoved, this, &TScratchPad::PenMoved);
  connect(area_, &TPreviewArea::penReleased, this, [this] {
    if (active_) pad_.PenUp();
  });

  toggle_ = MakeAction(this, QStringLiteral("Scratchpad"), QKeySequence(Qt::Key_F2));
  toggle_->setCheckable(true);
  connect(toggle_, &QAction::toggled, this, [this](bool on) { emit toggled(on); });
  area_->addAction(toggle_);

  QAction* undo = MakeAction(this, QStringLiteral("Undo Stroke"), QKeySequence::Undo);
  connect(undo, &QAction::triggered, this, [this] {
    if (active_) pad_.Undo();
  });
  QAction* clear = MakeAction(this, QStringLiteral("Clear Scratchpad"),
                              QKeySequence(Qt::CTRL | Qt::Key_Backspace));
  connect(clear, &QAction::triggered, this, [this] {
    if (active_) pad_.Clear();
  });
  QAction* open = MakeAction(this, QStringLiteral("Open Strokes..."),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  connect(open, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getOpenFileName(window_, QStringLiteral("Open Strokes"),
                                                      QString(), kStrokeFilter);
    QString error;
    if (!path.isEmpty() && !OpenStrokes(path, &error)) {
      QMessageBox::warning(window_, QStringLiteral("Open Strokes"), error);
    }
  });
  QAction* save = MakeAction(this, QStringLiteral("Save Strokes..."),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  connect(save, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getSaveFileName(
        window_, QStringLiteral("Save Strokes"), QStringLiteral("strokes.json"), kStrokeFilter);
    QString error;
    if (!path.isEmpty() && !SaveStrokes(path, &error)) {
      QMessageBox::warning(window_, QStringLiteral("Save Strokes"), error);
    }
  });
  QAction* pressure = new QAction(QStringLiteral("Mouse Pressure..."), this);
  connect(pressure, &QAction::triggered, this, [this] {
    bool ok = false;
    const double p = QInputDialog::getDouble(
        window_, QStringLiteral("Mouse Pressure"),
        QStringLiteral("Pressure of strokes painted with the mouse (0 to 1):"),
        area_->MousePressure(), 0.0, 1.0, 2, &ok);
    if (ok) area_->SetMousePressure(p);
  });
  for (QAction* a : {undo, clear, open, save, pressure}) area_->addAction(a);
}

TScratchPad::~TScratchPad() = default;

void TScratchPad::SetActive(bool on, const pavo::CImage32* preview) {
  if (!on && pad_.PenIsDown()) pad_.PenUp();
  active_ = on;
  area_->SetPenInput(on);
  area_->SetImage(on ? &image_ : preview);
  if (toggle_->isChecked() != on) toggle_->setChecked(on);
}

void TScratchPad::SetBrush(const pavo::CBrushInfo& info, bool reloaded) {
  std::string bytes;
  WriteRecord(bytes, info);
  if (!reloaded && bytes == brush_) return;
  brush_ = std::move(bytes);
  pad_.SetBrush(info);
}

void TScratchPad::PenPressed(QPointF at, double pressure) {
  if (active_) pad_.PenDown(at.x(), at.y(), pressure, pavo::MilliClock());
}

void TScratchPad::PenMoved(QPointF at, double pressure) {
  if (active_) pad_.PenMove(at.x(), at.y(), pressure, pavo::MilliClock());
}

bool TScratchPad::OpenStrokes(const QString& path, QString* error) {
  TStrokeFile file;
  std::string why;
  if (!ReadStrokeFile(QFile::encodeName(path).toStdString(), file, why)) {
    if (error != nullptr) *error = QString::fromStdString(why);
    return false;
  }
  pad_.Load(file);
  return true;
}

bool TScratchPad::SaveStrokes(const QString& path, QString* error) const {
  std::string why;
  if (!WriteStrokeFile(QFile::encodeName(path).toStdString(), pad_.File(), why)) {
    if (error != nullptr) *error = QString::fromStdString(why);
    return false;
  }
  return true;
}

}  // namespace quarnel

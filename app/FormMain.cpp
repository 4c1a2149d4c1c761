#include "app/FormMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <string>

#include "app/PreviewWorker.h"
#include "app/TestStroke.h"
#include "app/TextDecode.h"
#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "script/Discovery.h"

namespace quarnel {

namespace {

constexpr int kScriptBrushType = 11;
// Rows of the parameter labels and sliders in PanelParam.
constexpr int kLabelY[pavo::kParamSlots] = {6, 30, 55, 79, 106, 143, 167, 191, 215, 243};
constexpr int kTrackBarY[pavo::kParamSlots] = {6, 30, 55, 79, 106, 143, 167, 191, 215, 242};
// The top-right anchored controls: design sizes and the distance of their right edges from
// the right edge of the client area.
constexpr QSize kCheckBoxSize(70, 17);
constexpr QSize kButtonSize(91, 25);
constexpr int kCheckBoxRight = TFormMain::kClientWidth - (526 + 70);
constexpr int kButtonRight = TFormMain::kClientWidth - (606 + 91);

const char* const kTitle = "Quarnel Tester (2015/03/15)";
const char* const kPressureCaption = "筆圧サイズ";
const char* const kUpdateCaption = "スクリプト更新";
const char* const kInitialStatus = "テストしたいブラシスクリプトを、ドラッグ＆ドロップしてください";
const char* const kUnusedCaption = "---";

// Script text is bytes: UTF-8 when valid, otherwise Shift_JIS.
QString ScriptText(const std::string& bytes) {
  return QString::fromStdString(DecodeScriptText(bytes));
}

// Everything from the last dot of the file name, lower-cased; empty without a dot.
bool HasScriptExtension(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot >= 0 && name.mid(dot).toLower() == QStringLiteral(".bs");
}

bool HoldsLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  for (const QUrl& url : urls) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

QSlider* MakeSlider(QWidget* parent, const char* name, int x, int y, int w, int h, int minimum,
                    int maximum, int position, int tick) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setObjectName(QString::fromLatin1(name));
  slider->setGeometry(x, y, w, h);
  slider->setRange(minimum, maximum);
  slider->setValue(position);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(tick);
  slider->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  return slider;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, int x, int y, const QString& caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->move(x, y);
  label->adjustSize();
  return label;
}

void SetCaption(QLabel* label, const QString& caption) {
  label->setText(caption);
  label->adjustSize();
}

// The wait cursor for as long as the guard lives, if asked for.
class TWaitCursor {
 public:
  explicit TWaitCursor(bool show) : shown_(show) {
    if (shown_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (shown_) QApplication::restoreOverrideCursor();
  }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  bool shown_;
};

// Anchored to the top right: the right edge keeps its distance from the client area's right
// edge. A caption that needs more than the design width (the Japanese fallback font is wider
// than Tahoma) widens the control to the left instead of being clipped.
void AnchorTopRight(QWidget* control, QSize designSize, int clientWidth, int rightDistance) {
  const int w = std::max(designSize.width(), control->sizeHint().width());
  control->setGeometry(clientWidth - rightDistance - w, control->y(), w, designSize.height());
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
  for (int32_t& p : cachedParams_) p = -1;
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QString::fromUtf8(kTitle));
  // Tahoma's metrics where it is installed, otherwise a face that has the Japanese captions.
  QFont font;
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(11);
  setFont(font);
  CreateComponents();
  resize(kClientWidth, kClientHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - kClientWidth) / 2,
         area.y() + (area.height() - kClientHeight) / 2);
  }
  LayOut();
  FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::CreateComponents() {
  Panel = new QWidget(this);
  Panel->setObjectName(QStringLiteral("Panel"));
  TrackBarSize = MakeSlider(Panel, "TrackBarSize", 8, 6, 250, 33, 2, 500, 15, 50);
  LabelSize = MakeLabel(Panel, QStringLiteral("LabelSize"), 264, 11, QStringLiteral("xxx [px]"));
  CheckBoxPressure = new QCheckBox(QString::fromUtf8(kPressureCaption), Panel);
  CheckBoxPressure->setObjectName(QStringLiteral("CheckBoxPressure"));
  CheckBoxPressure->setGeometry(526, 15, kCheckBoxSize.width(), kCheckBoxSize.height());
  CheckBoxPressure->setChecked(true);
  CheckBoxPressure->setFocusPolicy(Qt::ClickFocus);
  ButtonUpdate = new QPushButton(QString::fromUtf8(kUpdateCaption), Panel);
  ButtonUpdate->setObjectName(QStringLiteral("ButtonUpdate"));
  ButtonUpdate->setGeometry(606, 11, kButtonSize.width(), kButtonSize.height());
  ButtonUpdate->setEnabled(false);

  PanelParam = new QWidget(this);
  PanelParam->setObjectName(QStringLiteral("PanelParam"));
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    const QString n = QString::number(i + 1);
    Label[i] = MakeLabel(PanelParam, QStringLiteral("Label") + n, 8, kLabelY[i],
                         QString::fromLatin1(kUnusedCaption));
    Label[i]->setEnabled(false);
  }
  // Created after the labels so that a long label runs under its slider, not over it.
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    const std::string name = "TrackBar" + std::to_string(i + 1);
    TrackBar[i] = MakeSlider(PanelParam, name.c_str(), 100, kTrackBarY[i], 100, 25, 0, 100, 0, 10);
  }

  // Last, so that it lies over the bottom rows of the preview.
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setAutoFillBackground(true);
  StatusBar->showMessage(QString::fromUtf8(kInitialStatus));

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(kTimerInterval);
  connect(Timer, &QTimer::timeout, this, &TFormMain::TimerTimer);
  connect(ButtonUpdate, &QPushButton::clicked, this, &TFormMain::ButtonUpdateClick);
  connect(CheckBoxPressure, &QCheckBox::toggled, this, &TFormMain::CheckBoxPressureClick);
  Timer->start();
}

void TFormMain::FormCreate() {
  ResetChangeCache();
  setAcceptDrops(true);
}

// The panels are docked (top, left below it, status bar at the bottom); the check box and
// the button keep their distance from the right edge.
void TFormMain::LayOut() {
  const int w = width();
  const int h = height();
  Panel->setGeometry(0, 0, w, kPanelHeight);
  AnchorTopRight(CheckBoxPressure, kCheckBoxSize, w, kCheckBoxRight);
  AnchorTopRight(ButtonUpdate, kButtonSize, w, kButtonRight);
  PanelParam->setGeometry(0, kPanelHeight, kPanelParamWidth,
                          std::max(0, h - kPanelHeight - kStatusBarHeight));
  StatusBar->setGeometry(0, h - kStatusBarHeight, w, kStatusBarHeight);
}

void TFormMain::FormResize() {
  LayOut();
  ResetChangeCache();
  preview_.Resize(width() - kPanelParamWidth, height() - kPanelHeight);
  UpdatePreview(false);
}

void TFormMain::TimerTimer() { UpdatePreview(false); }

void TFormMain::ButtonUpdateClick() {
  ResetChangeCache();
  UpdatePreview(true);
}

void TFormMain::CheckBoxPressureClick() {
  ResetChangeCache();
  UpdatePreview(false);
}

void TFormMain::ResetChangeCache() {
  cachedSize_ = -1;
  for (int32_t& p : cachedParams_) p = -1;
}

void TFormMain::OnDroppedFile(const QString& path) {
  if (!HasScriptExtension(path)) return;
  scriptPath_ = path;
  StatusBar->showMessage(path);
  ButtonUpdate->setEnabled(true);
  ResetChangeCache();
  UpdatePreview(true);
}

void TFormMain::UpdatePreview(bool reload) {
  SetCaption(LabelSize, QString::number(TrackBarSize->value()) + QStringLiteral(" [px]"));

  bool unchanged = cachedSize_ == TrackBarSize->value();
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    unchanged = unchanged && cachedParams_[i] == TrackBar[i]->value();
  }
  if (!unchanged) {
    cachedSize_ = TrackBarSize->value();
    for (int i = 0; i < pavo::kParamSlots; ++i) cachedParams_[i] = TrackBar[i]->value();

    settings_.width = TrackBarSize->value();
    settings_.pressureSize = CheckBoxPressure->isChecked();

    if (!scriptPath_.isEmpty()) {
      settings_.SetType(kScriptBrushType);
      settings_.scriptPath = QFile::encodeName(scriptPath_).toStdString();
      if (reload) {
        stopMessage_.clear();
        bool stopped = false;
        std::string status = quarnel::DiscoverInWorker(settings_, limits_, &stopped);
        if (stopped) stopMessage_ = status;
        if (status.empty()) status = "OK";
        const QString shown = ScriptText(status);
        StatusBar->showMessage(shown);

        const pavo::CBrushProperty& property = settings_.property;
        for (int j = 0; j < pavo::kParamSlots; ++j) {
          if (j < property.count) {
            TrackBar[j]->setEnabled(true);
            TrackBar[j]->setRange(property.minimum[j], property.maximum[j]);
            TrackBar[j]->setValue(property.value[j]);
            Label[j]->setEnabled(true);
            SetCaption(Label[j], ScriptText(property.name[j]));
          } else {
            TrackBar[j]->setEnabled(false);
            TrackBar[j]->setRange(0, 100);
            TrackBar[j]->setValue(0);
            SetCaption(Label[j], QString::fromLatin1(kUnusedCaption));
            Label[j]->setEnabled(false);
          }
        }
        // Truncated toward zero; the slider keeps it within its range.
        TrackBarSize->setValue(static_cast<int>(settings_.defaultWidth));
        emit scriptDiscovered(scriptPath_, shown);
      }
      for (int i = 0; i < pavo::kParamSlots; ++i)
        settings_.property.value[i] = TrackBar[i]->value();
    }

    pavo::SeedRandom(pavo::MilliClock());
    const int32_t seed = static_cast<int32_t>(pavo::DrawRandom() % 100);
    {
      const TWaitCursor wait(reload);
      if (settings_.type == kScriptBrushType && !stopMessage_.empty()) {
        // A script stopped before is not run again until it is reloaded.
        quarnel::RepaintAfterStop(settings_, preview_, seed, stopMessage_);
      } else {
        const std::string stopped =
            quarnel::RepaintInWorker(settings_, preview_, seed, nullptr, limits_);
        if (!stopped.empty()) {
          // Shown as a script that fails to load; the sliders keep their positions, so that
          // the change cache does not repaint over what the script painted before the stop.
          stopMessage_ = stopped;
          StatusBar->showMessage(ScriptText(stopped));
          for (int j = 0; j < pavo::kParamSlots; ++j) {
            TrackBar[j]->setEnabled(false);
            Label[j]->setEnabled(false);
          }
        }
      }
    }

    ++repaintCount_;
    lastRepaintWidth_ = settings_.width;
    lastRepaintSeed_ = seed;
    emit previewRepainted(settings_.width);
  }

  BlitToWindow();
}

QRect TFormMain::PreviewRect() const {
  return QRect(PanelParam->width(), Panel->height(), preview_.width, preview_.height);
}

// Qt paints only from paint events: the copy asks for the preview area to be painted, and
// paintEvent hands the view's memory to the painter as it is.
void TFormMain::BlitToWindow() {
  ++copyCount_;
  if (preview_.HasPixels()) update(PreviewRect());
}

void TFormMain::paintEvent(QPaintEvent*) {
  if (!preview_.HasPixels()) return;
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(PreviewRect().topLeft(), preview_.Wrap());
  ++paintCount_;
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  if (HoldsLocalFiles(event->mimeData())) event->acceptProposedAction();
}

void TFormMain::dragMoveEvent(QDragMoveEvent* event) {
  if (HoldsLocalFiles(event->mimeData())) event->acceptProposedAction();
}

// Every dropped file in drop order; the filter on the extension is OnDroppedFile's.
void TFormMain::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (!HoldsLocalFiles(data)) return;
  event->acceptProposedAction();
  const QList<QUrl> urls = data->urls();
  for (const QUrl& url : urls) {
    if (url.isLocalFile()) OnDroppedFile(url.toLocalFile());
  }
}

}  // namespace quarnel

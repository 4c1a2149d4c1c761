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
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <string>

#include "app/MessagesPanel.h"
#include "app/PreviewArea.h"
#include "app/ScratchPad.h"
#include "app/ScriptResults.h"
#include "app/ScriptWatcher.h"
#include "app/SliderCaptions.h"
#include "app/StatusReadouts.h"
#include "app/WindowKeys.h"
#include "preview/TextDecode.h"

namespace quarnel {

namespace {

// A job shorter than this shows no busy mark, so that quick repaints do not flicker it.
constexpr int kBusyDelayMs = 150;
// Rows of the parameter labels and sliders in PanelParam.
constexpr int kLabelY[pavo::kParamSlots] = {6, 30, 55, 79, 106, 143, 167, 191, 215, 243};
constexpr int kTrackBarY[pavo::kParamSlots] = {6, 30, 55, 79, 106, 143, 167, 191, 215, 242};
// The top-right anchored controls: design sizes and the distance of their right edges from
// the right edge of the client area.
constexpr QSize kCheckBoxSize(70, 17);
constexpr QSize kButtonSize(91, 25);
constexpr int kCheckBoxRight = TFormMain::kClientWidth - (526 + 70);
constexpr int kButtonRight = TFormMain::kClientWidth - (606 + 91);
// The room of a parameter label, left of its slider (at x 100) with a small gap; a longer
// label is cut there, so that it never runs under the slider.
constexpr int kLabelRoom = 100 - 8 - 4;
// Between the size caption and the check box at the smallest window.
constexpr int kCaptionGap = 8;

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

// Anchored to the top right: the right edge keeps its distance from the client area's right
// edge. A caption that needs more than the design width (the Japanese fallback font is wider
// than Tahoma) widens the control to the left instead of being clipped.
void AnchorTopRight(QWidget* control, QSize designSize, int clientWidth, int rightDistance) {
  const int w = std::max(designSize.width(), control->sizeHint().width());
  control->setGeometry(clientWidth - rightDistance - w, control->y(), w, designSize.height());
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
  session_.SetPreview(&preview_);
  // Everything a script says is shown in the messages panel.
  session_.collectPrint = true;
  session_.collectErrors = true;
  session_.collectDebug = true;
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
  UpdateMinimumSize();
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

  PreviewArea = new TPreviewArea(this);
  PreviewArea->SetImage(&preview_);
  ScratchPad = new TScratchPad(PreviewArea, this);
  connect(ScratchPad, &TScratchPad::toggled, this, &TFormMain::ShowScratchPad);
  connect(ScratchPad, &TScratchPad::changed, this, &TFormMain::ShowStatus);
  KeepSeed = new QAction(QStringLiteral("Keep Seed"), this);
  KeepSeed->setCheckable(true);
  KeepSeed->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  KeepSeed->setShortcutContext(Qt::WindowShortcut);
  connect(KeepSeed, &QAction::toggled, this, [this](bool on) {
    // The picture shown stays as it is: its seed is the one kept.
    std::optional<uint32_t> seed;
    if (on)
      seed = static_cast<uint32_t>(session_.LastRepaintSeed() < 0 ? 0 : session_.LastRepaintSeed());
    session_.fixedSeed = seed;
    ScratchPad->Session().fixedSeed = seed;
  });
  PreviewArea->addAction(KeepSeed);

  // Last, so that it lies over the bottom rows of the preview.
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setAutoFillBackground(true);
  StatusBar->showMessage(QString::fromUtf8(kInitialStatus));

  BusyMark = new QProgressBar(StatusBar);
  BusyMark->setObjectName(QStringLiteral("BusyMark"));
  BusyMark->setRange(0, 0);  // no known end: Qt shows it as busy
  BusyMark->setTextVisible(false);
  BusyMark->setFixedSize(48, 10);
  BusyMark->setToolTip(QStringLiteral("The script is running"));
  StatusBar->addPermanentWidget(BusyMark);
  BusyMark->hide();
  PixelReadout = new QLabel(StatusBar);
  PixelReadout->setObjectName(QStringLiteral("PixelReadout"));
  StatusBar->addPermanentWidget(PixelReadout);
  PixelReadout->hide();
  const auto readout = [this](QPoint pixel, bool inside) {
    const pavo::CImage32* shown = PreviewArea->Image();
    // What the area shows when it is not the test stroke at 1x, then the pixel.
    QString zoom = ScratchPad->Active() ? QStringLiteral("Scratchpad  ") : QString();
    if (PreviewArea->Zoom() != 1) zoom += QStringLiteral("%1x  ").arg(PreviewArea->Zoom());
    if (!inside || shown == nullptr) {
      PixelReadout->setText(zoom.trimmed());
      PixelReadout->setVisible(!zoom.isEmpty());
      return;
    }
    const uint32_t c = shown->GetPixel(pixel.x(), pixel.y());
    PixelReadout->setText(QStringLiteral("%1%2, %3: R %4 G %5 B %6 A %7")
                              .arg(zoom)
                              .arg(pixel.x())
                              .arg(pixel.y())
                              .arg((c >> 16) & 0xFF)
                              .arg((c >> 8) & 0xFF)
                              .arg(c & 0xFF)
                              .arg(c >> 24));
    PixelReadout->show();
  };
  connect(PreviewArea, &TPreviewArea::hovered, this, readout);
  connect(PreviewArea, &TPreviewArea::zoomed, this, [readout] { readout(QPoint(), false); });
  connect(ScratchPad, &TScratchPad::toggled, this, [readout] { readout(QPoint(), false); });
  Readouts = new CStatusReadouts(StatusBar);
  PanelMessages = new CMessagesPanel(this);
  PanelMessages->hide();
  busyDelay_ = new QTimer(this);
  busyDelay_->setSingleShot(true);
  busyDelay_->setInterval(kBusyDelayMs);
  connect(busyDelay_, &QTimer::timeout, this, &TFormMain::ShowBusy);

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(kTimerInterval);
  connect(Timer, &QTimer::timeout, this, &TFormMain::TimerTimer);
  connect(ButtonUpdate, &QPushButton::clicked, this, &TFormMain::ButtonUpdateClick);
  connect(CheckBoxPressure, &QCheckBox::toggled, this, &TFormMain::CheckBoxPressureClick);

  // The sliders are the session's controls; a move the user makes repaints at once.
  connect(TrackBarSize, &QSlider::valueChanged, this, [this] { SliderMoved(TrackBarSize, -1); });
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    connect(TrackBar[i], &QSlider::valueChanged, this, [this, i] { SliderMoved(TrackBar[i], i); });
  }
  ShowSliderValue(TrackBarSize, QString(), false);

  watcher_ = new CScriptWatcher(this);
  connect(watcher_, &CScriptWatcher::changed, this, &TFormMain::ReloadOnSave);
  keys_ = new CWindowKeys(this, TrackBarSize,
                          QVector<QSlider*>(TrackBar, TrackBar + pavo::kParamSlots));
  keys_->currentScript = [this] { return scriptPath_; };
  connect(keys_, &CWindowKeys::reloadRequested, this, [this] {
    if (ButtonUpdate->isEnabled()) ButtonUpdateClick();
  });
  connect(keys_, &CWindowKeys::openRequested, this, &TFormMain::OnDroppedFile);
  connect(keys_, &CWindowKeys::messagesToggled, this, [this] { ShowMessages(!messagesShown_); });
  connect(Readouts, &CStatusReadouts::messagesClicked, this,
          [this] { ShowMessages(!messagesShown_); });
  connect(PanelMessages, &CMessagesPanel::closeClicked, this, [this] { ShowMessages(false); });
  session_.onDiscovered = [this] { ShowDiscovery(); };
  session_.onRepainted = [this] { ShowRepaint(); };
  session_.onStatus = [this] {
    StatusBar->showMessage(ScriptText(session_.Status()));
    ShowResults();
  };
  if (session_.EventFd() >= 0) {
    workerNotifier_ = new QSocketNotifier(session_.EventFd(), QSocketNotifier::Read, this);
    connect(workerNotifier_, &QSocketNotifier::activated, this, &TFormMain::WorkerEvent);
  }
  Timer->start();
}

void TFormMain::FormCreate() {
  ResetChangeCache();
  setAcceptDrops(true);
}

// The panels are docked (top, left below it, status bar at the bottom); the check box and
// the button keep their distance from the right edge. The messages panel, when shown, takes
// its height above the status bar, and the rest is laid out as if the window ended there.
void TFormMain::LayOut() {
  const int w = width();
  const int h = LayoutHeight();
  Panel->setGeometry(0, 0, w, kPanelHeight);
  AnchorTopRight(CheckBoxPressure, kCheckBoxSize, w, kCheckBoxRight);
  AnchorTopRight(ButtonUpdate, kButtonSize, w, kButtonRight);
  PanelParam->setGeometry(0, kPanelHeight, kPanelParamWidth,
                          std::max(0, h - kPanelHeight - kStatusBarHeight));
  PreviewArea->setGeometry(kPanelParamWidth, kPanelHeight, std::max(0, w - kPanelParamWidth),
                           std::max(0, h - kPanelHeight));
  if (messagesShown_) {
    PanelMessages->setGeometry(0, h - kStatusBarHeight, w, height() - h);
  }
  StatusBar->setGeometry(0, height() - kStatusBarHeight, w, kStatusBarHeight);
}

int TFormMain::LayoutHeight() const {
  return height() - (messagesShown_ ? CMessagesPanel::kHeight : 0);
}

// The smallest window in which no control overlaps another: the size caption (at its widest,
// "500 [px]") clear of the check box, and the last parameter slider above the status bar (and
// the messages panel, when shown).
void TFormMain::UpdateMinimumSize() {
  const int caption =
      LabelSize->x() + LabelSize->fontMetrics().horizontalAdvance(QStringLiteral("500 [px]"));
  const int w = std::max(caption + kCaptionGap + CheckBoxPressure->width() + kCheckBoxRight,
                         kPanelParamWidth + 1);
  const int h = kPanelHeight + TrackBar[pavo::kParamSlots - 1]->geometry().bottom() + 1 +
                kStatusBarHeight + (messagesShown_ ? CMessagesPanel::kHeight : 0);
  // A minimum above the window's height would grow the window by itself, without the height
  // the messages panel asked for: until the window has grown, the minimum waits (FormResize
  // comes here again).
  setMinimumSize(w, std::min(h, std::max(height(), minimumHeight())));
}

// A resize that leaves the preview's size as it was (the messages panel opening or closing
// grows or shrinks the window around it) has nothing to repaint.
void TFormMain::FormResize() {
  LayOut();
  UpdateMinimumSize();
  const QSize before(preview_.width, preview_.height);
  session_.ResizePreview(width() - kPanelParamWidth, LayoutHeight() - kPanelHeight);
  ScratchPad->SetViewSize(PreviewArea->width(), PreviewArea->height());
  if (preview_.HasPixels() && QSize(preview_.width, preview_.height) == before) {
    BlitToWindow();
    return;
  }
  ResetChangeCache();
  UpdatePreview(false);
}

void TFormMain::ShowMessages(bool shown) {
  if (shown == messagesShown_) return;
  messagesShown_ = shown;
  PanelMessages->setVisible(shown);
  if (shown) ShowResults();
  if (isMaximized() || isFullScreen()) {
    UpdateMinimumSize();
    FormResize();
    return;
  }
  const int target = height() + (shown ? CMessagesPanel::kHeight : -CMessagesPanel::kHeight);
  UpdateMinimumSize();
  resize(width(), target);
  LayOut();
}

// The timer's update lets a repaint that has just begun land, as a slider move does: during a
// drag it would otherwise cancel one repaint in every few.
void TFormMain::TimerTimer() { FollowControls(); }

void TFormMain::FollowControls() {
  session_.pressure = CheckBoxPressure->isChecked();
  session_.Follow();
  AfterUpdate();
}

void TFormMain::ButtonUpdateClick() {
  watcher_->Rebase();  // the file as it is now is read here
  ResetChangeCache();
  UpdatePreview(true);
}

void TFormMain::CheckBoxPressureClick() {
  ResetChangeCache();
  UpdatePreview(false);
}

void TFormMain::ResetChangeCache() { session_.ResetChangeCache(); }

void TFormMain::OnDroppedFile(const QString& path) {
  if (!HasScriptExtension(path)) return;
  if (loading_) {
    dropQueue_.append(path);
    return;
  }
  LoadScript(path);
}

void TFormMain::LoadScript(const QString& path) {
  scriptPath_ = path;
  watcher_->Watch(path);
  session_.SetScript(QFile::encodeName(path).toStdString());
  StatusBar->showMessage(path);
  ButtonUpdate->setEnabled(true);
  loading_ = true;
  discovered_ = false;
  ResetChangeCache();
  UpdatePreview(true);
}

void TFormMain::UpdatePreview(bool reload) {
  session_.pressure = CheckBoxPressure->isChecked();
  session_.Update(reload);
  AfterUpdate();
}

void TFormMain::ReloadOnSave() {
  if (scriptPath_.isEmpty()) return;
  session_.pressure = CheckBoxPressure->isChecked();
  session_.ReloadKeepingPositions();
  AfterUpdate();
}

void TFormMain::SliderMoved(QSlider* slider, int slot) {
  if (slot < 0) {
    session_.size.SetPosition(slider->value());
    ShowSliderValue(slider, QString(), true);
  } else {
    session_.params[slot].SetPosition(slider->value());
    ShowSliderValue(slider, ScriptText(session_.params[slot].label), true);
  }
  FollowControls();
}

void TFormMain::AfterUpdate() {
  SetCaption(LabelSize, QString::fromStdString(session_.SizeCaption()));
  if (session_.Busy() && !busyDelay_->isActive() && BusyMark->isHidden()) busyDelay_->start();
  BlitToWindow();
}

void TFormMain::WorkerEvent() {
  session_.HandleEvents();
  if (!session_.Busy()) {
    busyDelay_->stop();
    BusyMark->hide();
  }
}

void TFormMain::ShowBusy() { BusyMark->setVisible(session_.Busy()); }

// After a discovery: the status, and the sliders set up from the script's answers.
void TFormMain::ShowDiscovery() {
  const QString shown = ScriptText(session_.Status());
  StatusBar->showMessage(shown);
  for (int j = 0; j < pavo::kParamSlots; ++j) {
    const quarnel::TSlider& slider = session_.params[j];
    const QSignalBlocker block(TrackBar[j]);
    TrackBar[j]->setEnabled(slider.enabled);
    TrackBar[j]->setRange(slider.minimum, slider.maximum);
    TrackBar[j]->setValue(slider.position);
    Label[j]->setEnabled(slider.enabled);
    const QString caption =
        slider.enabled ? ScriptText(slider.label) : QString::fromLatin1(kUnusedCaption);
    SetElidedCaption(Label[j], caption, kLabelRoom);
    if (slider.enabled) {
      ShowSliderValue(TrackBar[j], caption, false);
    } else {
      TrackBar[j]->setToolTip(QString());
    }
  }
  {
    const QSignalBlocker block(TrackBarSize);
    TrackBarSize->setValue(session_.size.position);
    ShowSliderValue(TrackBarSize, QString(), false);
  }
  discovered_ = true;
  reloadedForPad_ = true;
  ShowResults();
  emit scriptDiscovered(scriptPath_, shown);
}

// The readouts and the messages panel from the session's last results.
void TFormMain::ShowResults() {
  const TScriptResults results = CollectResults(session_, scriptPath_, messagesShown_);
  Readouts->ShowResults(results, scriptPath_);
  if (messagesShown_) PanelMessages->ShowResults(results);
}

void TFormMain::ShowRepaint() {
  ++repaintCount_;
  lastRepaintWidth_ = session_.LastRepaintWidth();
  lastRepaintSeed_ = session_.LastRepaintSeed();
  emit previewRepainted(lastRepaintWidth_);
  BlitToWindow();
  ShowPadBrush();
  ShowResults();
  if (loading_ && discovered_) {
    loading_ = false;
    if (!dropQueue_.isEmpty()) {
      // Loaded from the event loop, not from inside the session's callback.
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (!loading_ && !dropQueue_.isEmpty()) LoadScript(dropQueue_.takeFirst());
          },
          Qt::QueuedConnection);
    }
  }
}

QRect TFormMain::PreviewRect() const {
  return QRect(PanelParam->width(), Panel->height(), preview_.width, preview_.height);
}

// Qt paints only from paint events: the copy asks the preview area to be painted, which hands
// the view's memory to the painter as it is.
void TFormMain::BlitToWindow() {
  ++copyCount_;
  if (preview_.HasPixels()) PreviewArea->update();
}

int TFormMain::PaintCount() const { return PreviewArea->PaintCount(); }

bool TFormMain::Busy() const {
  return session_.Busy() || loading_ || !dropQueue_.isEmpty() || ScratchPad->Session().Busy();
}

// The scratchpad paints with the brush the preview paints with; it takes every change of it,
// and the script read again, once it is in use.
void TFormMain::ShowPadBrush() {
  if (!ScratchPad->Active() && ScratchPad->Session().Strokes().empty()) return;
  ScratchPad->SetBrush(session_.SettledSettings(), reloadedForPad_);
  reloadedForPad_ = false;
}

void TFormMain::ShowScratchPad(bool on) {
  if (on) {
    ScratchPad->SetViewSize(PreviewArea->width(), PreviewArea->height());
    reloadedForPad_ = true;
  }
  ScratchPad->SetActive(on, &preview_);
  if (on) ShowPadBrush();
  ShowStatus();
}

// The status line speaks of what is shown: the scratchpad's stop while it shows one, else the
// script's status.
void TFormMain::ShowStatus() {
  const std::string& pad = ScratchPad->Session().Status();
  if (ScratchPad->Active() && !pad.empty()) {
    StatusBar->showMessage(ScriptText(pad));
  } else if (!session_.Status().empty()) {
    StatusBar->showMessage(ScriptText(session_.Status()));
  } else if (scriptPath_.isEmpty()) {
    StatusBar->showMessage(QString::fromUtf8(kInitialStatus));
  }
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

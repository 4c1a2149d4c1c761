#include "app/SliderCaptions.h"

#include <QFontMetrics>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

namespace quarnel {

QString SliderValueText(const QString& label, int value, int minimum, int maximum) {
  if (label.isEmpty()) return QStringLiteral("Size: %1 px").arg(value);
  return QStringLiteral("%1: %2 (%3..%4)").arg(label).arg(value).arg(minimum).arg(maximum);
}

void ShowSliderValue(QSlider* slider, const QString& label, bool live) {
  const QString text =
      SliderValueText(label, slider->value(), slider->minimum(), slider->maximum());
  slider->setToolTip(text);
  if (!live || (!slider->isSliderDown() && !slider->hasFocus())) return;
  // Beside the handle, where the eye is while dragging.
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  const QRect handle =
      slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
  QToolTip::showText(slider->mapToGlobal(handle.bottomRight()), text, slider);
}

void SetElidedCaption(QLabel* label, const QString& caption, int width) {
  const QString shown = label->fontMetrics().elidedText(caption, Qt::ElideRight, width);
  label->setText(shown);
  label->setToolTip(shown == caption ? QString() : caption);
  label->adjustSize();
}

}  // namespace quarnel

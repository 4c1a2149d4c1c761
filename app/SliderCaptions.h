// What the parameter sliders tell about themselves: each slider's value in its tooltip (shown
// by the handle while the slider is dragged or moved from the keyboard), and labels too long
// for the room left of the sliders cut with an ellipsis, the whole text in their tooltips.
#pragma once

#include <QString>

class QLabel;
class QSlider;

namespace quarnel {

// "Density: 40 (10..90)"; `label` empty for the size slider, which reads "Size: 15 px".
QString SliderValueText(const QString& label, int value, int minimum, int maximum);
// Sets the slider's tooltip to its value text; when `live` (the user moved it) and the slider
// is being dragged or has the focus, shows the text at once beside the handle.
void ShowSliderValue(QSlider* slider, const QString& label, bool live);
// The caption cut to `width` pixels of the label's font ("Very long lab…"); the tooltip holds
// the whole caption when it was cut and is empty otherwise.
void SetElidedCaption(QLabel* label, const QString& caption, int width);

}  // namespace quarnel

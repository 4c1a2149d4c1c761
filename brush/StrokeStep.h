// The two per-step choices of the stroke walk that depend only on the step's geometry: the
// disc sampling of the circular dab and the advance of the stroke parameter.
#pragma once

#include "brush/MangaBrush.h"

namespace pavo {

// The disc sampling of the circular dab follows the dominant axis of the movement since the
// last dab. Below a dab width of 250: grid 25 with step 5 along the dominant axis (the other
// axis keeps the step an earlier step left), grid 11 when neither axis dominates. From 250 on:
// both steps reset to 1, grid 16 with step 4 along the dominant axis, grid 11 when none.
inline void ChooseSampling(TDabState& dab, double adx, double ady, double hw) {
  const int dominant = adx > ady ? 1 : (adx < ady ? 2 : 0);  // 1 x, 2 y, 0 none
  dab.sampleGrid = 25;
  if (dominant == 1) {
    dab.sampleStepX = 5;
  } else if (dominant == 2) {
    dab.sampleStepY = 5;
  } else {
    dab.sampleGrid = 11;
  }
  if (2.0 * hw >= 250.0) {
    dab.sampleStepX = 1;
    dab.sampleStepY = 1;
    dab.sampleGrid = 16;
    if (dominant == 1) {
      dab.sampleStepX = 4;
    } else if (dominant == 2) {
      dab.sampleStepY = 4;
    } else {
      dab.sampleGrid = 11;
    }
  }
}

// The parameter step after a dab of radius hw on a segment of chord length len: 0.01 for the
// script brush (it decides its own spacing); otherwise 0.01 * factor * max(hw, 0.2) / len with
// factor 20 below radius 15 and 2 from 15 on.
inline double ParameterStep(bool scriptStep, double hw, double len) {
  if (scriptStep) return 0.01;
  const double hs = hw < 0.2 ? 0.2 : hw;
  const double factor = hs < 15.0 ? 20.0 : 2.0;
  return 0.01 * factor * hs / len;
}

}  // namespace pavo

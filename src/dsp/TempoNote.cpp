#include "dsp/TempoNote.h"

void TempoNote::SetNote(double value) {
  static constexpr int kDenominators[] = {1, 2, 4, 8, 16, 32, 64};
  if (!(value > -1.0 && value < 7.0)) return;
  denominator = kDenominators[static_cast<int>(value)];
  cyclesPerWhole = denominator / factor;
}

void TempoNote::SetPrefix(double value) {
  static constexpr double kFactors[] = {1.0, 4.0 / 3.0, 2.0 / 3.0};
  if (!(value > -1.0 && value < 3.0)) return;
  factor = kFactors[static_cast<int>(value)];
  cyclesPerWhole = denominator / factor;
}

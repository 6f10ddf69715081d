#include "dsp/TempoNote.h"

namespace {

// Hosts send values as 32-bit fractions of the range: 5/6 of the note range
// comes back as 4.9999999, which must still be row 5. Truncation starts this
// far below each row, far above that rounding and far below any step a
// person sets.
constexpr double kRowTolerance = 1e-6;

int Row(double value) { return static_cast<int>(value + kRowTolerance); }

}  // namespace

void TempoNote::SetNote(double value) {
  static constexpr int kDenominators[] = {1, 2, 4, 8, 16, 32, 64};
  if (!(value > -1.0 && value < 7.0 - kRowTolerance)) return;
  denominator = kDenominators[Row(value)];
  cyclesPerWhole = denominator / factor;
}

void TempoNote::SetPrefix(double value) {
  static constexpr double kFactors[] = {1.0, 4.0 / 3.0, 2.0 / 3.0};
  if (!(value > -1.0 && value < 3.0 - kRowTolerance)) return;
  factor = kFactors[Row(value)];
  cyclesPerWhole = denominator / factor;
}

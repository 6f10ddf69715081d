#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct LP2Coefficients {
  double b, g, cx, cy1, cy2;  // g output scale, cx input, cy1 cy2 feedback

  // The only place the coefficient formulas live.
  static LP2Coefficients For(double fs, double fc, double q) {
    const double b = kPi * fc / q;
    const double c = k2Pi * fc / fs;
    return {b, 1.0 / (b / fs + 1.0), c * c, 2.0 - c * c, b / fs - 1.0};
  }
};
struct LP2History {
  double last = 0.0;  // last output
  double y1 = 0.0;
  double y2 = 0.0;
};
}  // namespace dsp

// Second-order resonant low-pass from a finite-difference design; unity
// gain at 0 Hz.
class FilterLP2 final : public dsp::FilterCore<FilterLP2, dsp::LP2Coefficients, dsp::LP2History> {
 public:
  static constexpr const char* kSizeError = "FilterLP2::GetFRProfile incompatible sizes";

  FilterLP2() : FilterCore(3000.0) {}

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = c.g * (c.cx * x + c.cy1 * h.y1 + c.cy2 * h.y2);
    h.y2 = h.y1;
    h.y1 = y;
    h.last = y;
    return y;
  }
  double Response(double f) const;
  Coefficients GetCoefficients() const { return c_; }
};

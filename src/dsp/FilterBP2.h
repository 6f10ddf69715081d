#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct BP2Coefficients {
  double b0, b2, a1, a2;

  // The only place the coefficient formulas live.
  static BP2Coefficients For(double fs, double fc, double q) {
    const double b = kPi * fc / q;
    const double c = k2Pi * fc / fs;
    const double b0 = b / (fs + b);
    return {b0, -b0, fs / (fs + b) * (2.0 - c * c), fs / (fs + b) * (b / fs - 1.0)};
  }
};
struct BP2History {
  double last = 0.0;  // last value, before the gain
  double y1 = 0.0;
  double y2 = 0.0;
  double x1 = 0.0;
  double x2 = 0.0;
};
}  // namespace dsp

// Second-order band-pass from a finite-difference design. The gain scales
// only the output, never the stored history.
class FilterBP2 final : public dsp::FilterCore<FilterBP2, dsp::BP2Coefficients, dsp::BP2History> {
 public:
  static constexpr const char* kSizeError = "FilterBP2::GetFRProfile incompatible sizes";

  // One sample with the given coefficients; the history moves on.
  double Step(const Coefficients& c, History& h, double x) const {
    const double v = c.b0 * x + c.b2 * h.x2 + c.a1 * h.y1 + c.a2 * h.y2;
    h.x2 = h.x1;
    h.x1 = x;
    h.y2 = h.y1;
    h.y1 = v;
    h.last = v;
    return gain_ * v;
  }
  // The output gain is part of the step, so it must match too.
  bool SharesCoefficients(const FilterBP2& other) const {
    return FilterCore::SharesCoefficients(other) && dsp::SameBits(gain_, other.gain_);
  }
  double Response(double f) const;
  double Gain() const { return gain_; }

 private:
  double gain_ = 2.5;
};

#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct LP2_BTCoefficients {
  double b0, b1, b2, a1, a2;  // a1, a2 carry their sign

  // The only place the coefficient formulas live.
  static LP2_BTCoefficients For(double fs, double fc, double q) {
    const BilinearTerms t = MakeBilinearTerms(fs, fc, q);
    const double b0 = t.w02 / t.d;
    return {b0, 2.0 * t.w02 / t.d, b0, t.a1, t.a2};
  }
};
struct LP2_BTHistory {
  double last = 0.0;  // last output
  double y1 = 0.0;
  double y2 = 0.0;
  double x1 = 0.0;
  double x2 = 0.0;
};
}  // namespace dsp

// Second-order resonant low-pass, bilinear transform of the analogue
// prototype without pre-warping.
class FilterLP2_BT final
    : public dsp::FilterCore<FilterLP2_BT, dsp::LP2_BTCoefficients, dsp::LP2_BTHistory> {
 public:
  static constexpr const char* kSizeError = "FilterLP2_BT::GetFRProfile incompatible sizes";

  FilterLP2_BT() : FilterCore(3000.0) {}

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = c.b0 * x + c.b1 * h.x1 + c.b2 * h.x2 + c.a1 * h.y1 + c.a2 * h.y2;
    h.x2 = h.x1;
    h.x1 = x;
    h.y2 = h.y1;
    h.y1 = y;
    h.last = y;
    return y;
  }
  double Response(double f) const;
};

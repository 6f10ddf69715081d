#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct BP_BTCoefficients {
  double b0, b2, a1, a2;  // a1, a2 carry their sign

  // The only place the coefficient formulas live.
  static BP_BTCoefficients For(double fs, double fc, double q) {
    const BilinearTerms t = MakeBilinearTerms(fs, fc, q);
    const double b0 = t.damp / t.d;
    return {b0, -b0, t.a1, t.a2};
  }
};
struct BP_BTHistory {
  double y1 = 0.0;
  double y2 = 0.0;
  double x1 = 0.0;
  double x2 = 0.0;
};
}  // namespace dsp

// Second-order band-pass, bilinear transform of the analogue prototype
// without pre-warping.
class FilterBP_BT final
    : public dsp::FilterCore<FilterBP_BT, dsp::BP_BTCoefficients, dsp::BP_BTHistory> {
 public:
  static constexpr const char* kSizeError = "FilterBP_BT::GetFRProfile incompatible sizes";

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = c.b0 * x + c.b2 * h.x2 + c.a1 * h.y1 + c.a2 * h.y2;
    h.y2 = h.y1;
    h.y1 = y;
    h.x2 = h.x1;
    h.x1 = x;
    return y;
  }
  double Response(double f) const;
};

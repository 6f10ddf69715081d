#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct HP1Coefficients {
  double k;  // feedback gain, 1/Denominator

  // The only place the coefficient formula lives; there is no Q. T is a
  // number or a vector of them.
  template <class T>
  static T Denominator(T fc, double twoPiOverFs) {
    return fc * twoPiOverFs + 1.0;
  }
  static HP1Coefficients For(double fs, double fc) { return {1.0 / Denominator(fc, k2Pi / fs)}; }
};
struct HP1History {
  double x1 = 0.0;  // previous input
  double y1 = 0.0;  // previous output
};
}  // namespace dsp

// First-order high-pass: y = (x + y1 - x1) * k.
class FilterHP1 final : public dsp::FilterCore<FilterHP1, dsp::HP1Coefficients, dsp::HP1History> {
 public:
  static constexpr const char* kSizeError = "FilterHP1::GetFRProfile incompatible sizes";

  FilterHP1() : FilterCore(3000.0) {}

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = (x + h.y1 - h.x1) * c.k;
    h.x1 = x;
    h.y1 = y;
    return y;
  }
  double Response(double f) const;
  double Feedback() const { return c_.k; }
};

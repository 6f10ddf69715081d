#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct BP2Coefficients {
  double b0, a1, a2;  // b2 is -b0

  // The only place the coefficient formulas live. With a = pi*fc/fs and
  // c = 2a, the design's b/(fs + b) is a/(q + a) and fs/(fs + b) is
  // q/(q + a); r = 1/(q + a) is the one division, made by the caller. T is
  // a number or a vector of them.
  template <class T, class Q>
  static T Denominator(T a, Q q) {
    return q + a;
  }
  template <class T, class Q>
  static void Terms(T a, Q q, T r, T& b0, T& a1, T& a2) {
    const T c = a + a;
    b0 = a * r;
    a1 = q * r * (2.0 - c * c);
    a2 = (a - q) * r;
  }
  static BP2Coefficients For(double fs, double fc, double q) {
    const double a = fc * (kPi / fs);
    BP2Coefficients k;
    Terms(a, q, 1.0 / Denominator(a, q), k.b0, k.a1, k.a2);
    return k;
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
    const double v = c.a1 * h.y1 + (c.a2 * h.y2 + c.b0 * (x - h.x2));
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

#pragma once

#include "dsp/FilterCore.h"

namespace dsp {
struct LP2Coefficients {
  double cx, cy1, cy2;  // input and feedback, the output scale folded in

  // The only place the coefficient formulas live. With a = pi*fc/fs and
  // c = 2a, the design's b/fs is a/q and its output scale 1/(a/q + 1) is
  // q/(q + a); r = 1/(q + a) is the one division, made by the caller so a
  // block can make it for many samples at once. T is a number or a vector
  // of them.
  template <class T, class Q>
  static T Denominator(T a, Q q) {
    return q + a;
  }
  template <class T, class Q>
  static void Terms(T a, Q q, T r, T& cx, T& cy1, T& cy2) {
    const T c = a + a;
    const T c2 = c * c;
    const T g = q * r;
    cx = g * c2;
    cy1 = g * (2.0 - c2);
    cy2 = (a - q) * r;
  }
  static LP2Coefficients For(double fs, double fc, double q) {
    const double a = fc * (kPi / fs);
    LP2Coefficients k;
    Terms(a, q, 1.0 / Denominator(a, q), k.cx, k.cy1, k.cy2);
    return k;
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
    // The older output's product last, so the chain from one output to the
    // next is one multiply and one add.
    const double y = c.cy1 * h.y1 + (c.cy2 * h.y2 + c.cx * x);
    h.y2 = h.y1;
    h.y1 = y;
    h.last = y;
    return y;
  }
  double Response(double f) const;
  Coefficients GetCoefficients() const { return c_; }
};

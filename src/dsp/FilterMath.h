#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// Constants and shared terms of the filter family. The literal values are
// fixed so every build produces the same coefficients bit for bit.
namespace dsp {
inline constexpr double kPi = 3.141592653589793;
inline constexpr double k2Pi = 6.283185307179586;
inline constexpr double k4Pi2 = 39.47841760435743;  // (2*pi)^2, for omega0^2

// Identical bit patterns: two inputs that compare this way give identical
// results (unlike ==, which equates 0 and -0 and never matches NaN).
inline bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// x limited to 0..1 (NaN stays NaN); T is a number or a vector of them.
template <class T>
T Clamp01(T x) {
  const T zero{};
  const T one = zero + 1.0;
  x = x < zero ? zero : x;
  return one < x ? one : x;
}

// Terms of the second-order bilinear designs (no pre-warping).
struct BilinearTerms {
  double w0;    // 2*pi*fc
  double w02;   // w0^2
  double fs4;   // 4*fs^2
  double damp;  // 2*fs*w0/Q
  double d;     // 4*fs^2 + w0^2 + 2*fs*w0/Q
  double a1;    // feedback coefficients, sign included
  double a2;
};

inline BilinearTerms MakeBilinearTerms(double fs, double fc, double q) {
  BilinearTerms t;
  t.w0 = k2Pi * fc;
  t.w02 = fc * fc * k4Pi2;
  t.fs4 = 4.0 * fs * fs;
  t.damp = 2.0 * fs * t.w0 / q;
  t.d = t.fs4 + t.w02 + t.damp;
  t.a1 = -2.0 * (t.w02 - t.fs4) / t.d;
  t.a2 = -(t.fs4 + t.w02 - t.damp) / t.d;
  return t;
}

// Denominator of the exact digital response at f: |den|^2 = re^2 + im^2.
struct BilinearDenominator {
  double re;
  double im;
  double cosTheta;
};

inline BilinearDenominator BilinearResponseDenominator(const BilinearTerms& t, double fs,
                                                       double f) {
  const double theta = k2Pi * f / fs;
  const double c = std::cos(theta);
  return {(t.fs4 + t.w02) * c + (t.w02 - t.fs4), t.damp * std::sin(theta), c};
}
}  // namespace dsp

#include "HighPass.h"

#include <cmath>
#include <complex>
#include <numbers>

HighPass::HighPass(double sampleRate, double cutoffHz) : sampleRate_(sampleRate) {
  constexpr double pi = std::numbers::pi;
  const double w0 = 2.0 * pi * cutoffHz / sampleRate;
  const double cosw = std::cos(w0);
  for (int k = 0; k < 4; ++k) {
    // Pole pair k of the 8th-order Butterworth prototype.
    const double q = 1.0 / (2.0 * std::cos((2.0 * k + 1.0) * pi / 16.0));
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    Section& s = sections_[static_cast<size_t>(k)];
    s.b0 = (1.0 + cosw) / 2.0 / a0;
    s.b1 = -(1.0 + cosw) / a0;
    s.b2 = s.b0;
    s.a1 = -2.0 * cosw / a0;
    s.a2 = (1.0 - alpha) / a0;
  }
}

void HighPass::Reset() {
  for (Section& s : sections_) s.z1 = s.z2 = 0.0;
}

double HighPass::Magnitude(double hz) const {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate_);
  const std::complex<double> z2 = z1 * z1;
  double gain = 1.0;
  for (const Section& s : sections_)
    gain *= std::abs((s.b0 + s.b1 * z1 + s.b2 * z2) / (1.0 + s.a1 * z1 + s.a2 * z2));
  return gain;
}

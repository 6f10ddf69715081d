#pragma once

#include <array>

// Eighth-order Butterworth high-pass: four biquads with the Butterworth
// pole-pair Q values, each the bilinear transform prewarped at the cutoff,
// so the cascade is -3 dB at the cutoff and falls 48 dB per octave below it.
// Runs in double precision: what it measures lies 150 dB down.
class HighPass {
 public:
  HighPass(double sampleRate, double cutoffHz);

  double Process(double x) {
    for (Section& s : sections_) {
      const double y = s.b0 * x + s.z1;
      s.z1 = s.b1 * x - s.a1 * y + s.z2;
      s.z2 = s.b2 * x - s.a2 * y;
      x = y;
    }
    return x;
  }
  void Reset();

  // Gain of the cascade at this frequency, from its coefficients.
  double Magnitude(double hz) const;

 private:
  struct Section {
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // a0 normalised to 1
    double z1 = 0, z2 = 0;                          // transposed direct form II
  };
  double sampleRate_;
  std::array<Section, 4> sections_;
};

#pragma once

#include <vector>

// Maps a block of oscillator values (0..1) to cutoff frequencies between the
// two sweep limits, bounded above.
struct CutoffModulator {
  static constexpr double kCeiling = 20000.0;  // Hz
  // The finite-difference filters turn unstable once the cutoff reaches
  // fs/pi; a quarter of the sample rate keeps every filter kind stable and
  // stays above the 4 kHz sweep limit from 16 kHz up.
  static constexpr double kMaxShareOfSampleRate = 0.25;

  double low = 400.0;      // Hz, at value 0
  double high = 3000.0;    // Hz, at value 1
  double limit = 11025.0;  // min(kCeiling, fs * kMaxShareOfSampleRate)
  std::vector<double> output;

  void SetSampleRate(double fs);
  // output[i] = min(low + (high - low) * values[i], limit); the output keeps
  // its storage while count does not change.
  void Map(const double* values, int count);

  // One cutoff: value v between the limits lo and hi, bounded above.
  double At(double lo, double hi, double v) const { return Bounded(lo, hi, v, limit); }
  static double Bounded(double lo, double hi, double v, double ceiling) {
    const double fc = lo + (hi - lo) * v;
    return fc < ceiling ? fc : ceiling;
  }
  // out[i] = At(lo, hi, values[i]).
  void MapSteady(const double* values, double lo, double hi, double* out, int count) const;
  // out[i] = At(lows[i], highs[i], values[i]): the same mapping while the
  // limits move sample by sample.
  void MapSwept(const double* values, const double* lows, const double* highs, double* out,
                int count) const;
};

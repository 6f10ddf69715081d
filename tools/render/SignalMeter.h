#pragma once

#include <cmath>
#include <cstdint>

// Peak and RMS over all channels of everything it was given.
class SignalMeter {
 public:
  template <typename Sample>
  void Add(const Sample* const* channels, int channelCount, int frames) {
    // Local accumulators in four lanes: keeps the loop free of stores and
    // lets the compiler overlap the additions.
    for (int c = 0; c < channelCount; ++c) {
      const Sample* x = channels[c];
      double sum[4] = {0, 0, 0, 0}, peak[4] = {0, 0, 0, 0};
      int i = 0;
      for (; i + 4 <= frames; i += 4) {
        for (int k = 0; k < 4; ++k) {
          const double v = static_cast<double>(x[i + k]);
          sum[k] += v * v;
          const double a = std::fabs(v);
          peak[k] = a > peak[k] ? a : peak[k];
        }
      }
      for (; i < frames; ++i) {
        const double v = static_cast<double>(x[i]);
        sum[0] += v * v;
        const double a = std::fabs(v);
        peak[0] = a > peak[0] ? a : peak[0];
      }
      sumSquares_ += (sum[0] + sum[1]) + (sum[2] + sum[3]);
      for (double p : peak) peak_ = p > peak_ ? p : peak_;
    }
    samples_ += static_cast<int64_t>(channelCount) * frames;
  }

  double Peak() const { return peak_; }
  double Rms() const {
    return samples_ ? std::sqrt(sumSquares_ / static_cast<double>(samples_)) : 0.0;
  }

  // Level in dBFS, or -inf for silence.
  static double Decibels(double linear) {
    return linear > 0 ? 20.0 * std::log10(linear) : -INFINITY;
  }

 private:
  double peak_ = 0.0;
  double sumSquares_ = 0.0;
  int64_t samples_ = 0;
};

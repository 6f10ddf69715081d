#pragma once

#include <cmath>
#include <cstdint>

// Peak and RMS over all channels of everything it was given.
class SignalMeter {
public:
  template <typename Sample>
  void Add(const Sample* const* channels, int channelCount, int frames) {
    for (int c = 0; c < channelCount; ++c) {
      const Sample* x = channels[c];
      for (int i = 0; i < frames; ++i) {
        const double v = static_cast<double>(x[i]);
        sumSquares_ += v * v;
        const double a = std::fabs(v);
        if (a > peak_) peak_ = a;
      }
    }
    samples_ += static_cast<int64_t>(channelCount) * frames;
  }

  double Peak() const { return peak_; }
  double Rms() const { return samples_ ? std::sqrt(sumSquares_ / static_cast<double>(samples_)) : 0.0; }

  // Level in dBFS, or -inf for silence.
  static double Decibels(double linear) {
    return linear > 0 ? 20.0 * std::log10(linear) : -INFINITY;
  }

private:
  double peak_ = 0.0;
  double sumSquares_ = 0.0;
  int64_t samples_ = 0;
};

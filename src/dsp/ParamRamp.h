#pragma once

#include <algorithm>
#include <cmath>

// Moves a value to a new target over a fixed number of samples. The path is
// a cubic that leaves with the value's current slope and arrives flat, so a
// new target during a ramp bends the line without a corner and steps that
// a host sends once per block join into one smooth curve. When the ramp
// ends the value is exactly the target. Values stay inside [low, high]
// (the cubic may overshoot when a ramp turns back).
class ParamRamp {
 public:
  ParamRamp(double value, double low, double high) : low_(low), high_(high) { Jump(value); }

  // Samples a ramp lasts (at least 1). A running ramp goes on along the
  // new length from as far as it had come, or ends there when that is
  // further than the new length.
  void SetLength(int samples) {
    const double done = remaining_ > 0 ? double(length_ - remaining_) / length_ : 0.0;
    length_ = std::max(samples, 1);
    step_ = 1.0 / length_;
    if (remaining_ > 0) remaining_ = std::max(1, length_ - int(done * length_));
  }
  int Length() const { return length_; }
  // Samples that seconds last at rate fs: at least 1, and at most 2^24 (a
  // rate no host uses must not overflow the count).
  static int LengthFor(double seconds, double fs) {
    const double n = std::round(seconds * fs);
    constexpr double kMax = 16777216.0;
    return n >= 1.0 ? static_cast<int>(n < kMax ? n : kMax) : 1;
  }

  // The value becomes v at once; any ramp ends.
  void Jump(double v) {
    value_ = target_ = start_ = v;
    startSlope_ = slope_ = 0.0;
    remaining_ = 0;
  }
  // Ends a running ramp on its target.
  void Settle() { Jump(target_); }

  // Starts a ramp from the current value and slope towards t.
  void SetTarget(double t) {
    if (t == target_ && remaining_ == 0) return;
    start_ = value_;
    startSlope_ = slope_ * length_;  // per ramp, the cubic's own unit
    target_ = t;
    remaining_ = length_;
  }

  bool Active() const { return remaining_ > 0; }
  int Remaining() const { return remaining_; }
  double Value() const { return value_; }
  double Target() const { return target_; }

  // The value one sample on.
  double Next() {
    if (remaining_ == 0) return value_;
    --remaining_;
    double v = target_;
    if (remaining_ > 0) {
      const double t = (length_ - remaining_) * step_;
      const double u = 1.0 - t;
      // start + (target - start)(3t^2 - 2t^3) + slope t(1 - t)^2
      v = start_ + (target_ - start_) * (t * t * (3.0 - 2.0 * t)) + startSlope_ * t * u * u;
      v = std::clamp(v, low_, high_);
    }
    slope_ = remaining_ > 0 ? v - value_ : 0.0;
    value_ = v;
    return v;
  }

  // Writes the next n values.
  void Fill(double* out, int n) {
    int i = 0;
    for (; i < n && remaining_ > 0; ++i) out[i] = Next();
    for (; i < n; ++i) out[i] = value_;
  }

 private:
  double low_, high_;
  double value_ = 0.0, target_ = 0.0, start_ = 0.0;
  double slope_ = 0.0;       // per sample, of the last step
  double startSlope_ = 0.0;  // slope at the ramp's start, per ramp length
  int length_ = 1;
  double step_ = 1.0;  // 1 / length_
  int remaining_ = 0;
};

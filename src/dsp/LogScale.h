#pragma once

#include <vector>

// Frequencies spaced evenly in decibels (geometrically) between two bounds.
// A plot spreads its samples evenly across its width, so samples taken at
// these points draw a logarithmic frequency axis.
class LogScale {
 public:
  // count points from low to high: point i = low * (high / low)^(i / (count - 1)).
  // Throws std::invalid_argument("invalid argument of log scale") and keeps
  // the previous points when a bound is not a positive finite number, low is
  // not below high, or count is below 2.
  void SetRange(float low, float high, int count);

  const std::vector<float>& Points() const { return points_; }
  float Low() const { return low_; }
  float High() const { return high_; }
  float LowDb() const { return lowDb_; }
  float HighDb() const { return highDb_; }
  float DbSpan() const { return dbSpan_; }

 private:
  std::vector<float> points_;
  float low_ = 0.0f, high_ = 0.0f;
  float lowDb_ = 0.0f, highDb_ = 0.0f;  // 20 * log10 of each bound
  float dbSpan_ = 0.0f;
};

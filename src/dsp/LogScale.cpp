#include "dsp/LogScale.h"

#include <cmath>
#include <stdexcept>

void LogScale::SetRange(float low, float high, int count) {
  // A zero or negative bound has no logarithm, one point has no spacing.
  const bool valid =
      std::isfinite(low) && std::isfinite(high) && low > 0.0f && low < high && count >= 2;
  if (!valid) throw std::invalid_argument("invalid argument of log scale");

  points_.resize(static_cast<size_t>(count), 0.0f);
  const float lowDb = 20.0f * std::log10(low);
  const float highDb = 20.0f * std::log10(high);
  const float span = highDb - lowDb;
  const float dbStep = span / static_cast<float>(count - 1);
  for (int i = 0; i < count; ++i)
    points_[i] = static_cast<float>(std::pow(10.0, (i * double(dbStep) + double(lowDb)) / 20.0));

  low_ = low;
  high_ = high;
  lowDb_ = lowDb;
  highDb_ = highDb;
  dbSpan_ = span;
}

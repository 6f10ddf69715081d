#include "dsp/FilterLP2.h"

#include <cmath>

// The analogue second-order low-pass divided by Q: 1 at fc, 1/Q at 0 Hz.
double FilterLP2::Response(double f) const {
  return (fc_ * fc_ / q_) / std::hypot(fc_ * fc_ - f * f, fc_ * f / q_);
}

#include "dsp/FilterBP2.h"

#include <cmath>

// The analogue second-order band-pass, 1 at fc; the output gain is left out.
double FilterBP2::Response(double f) const {
  return (fc_ * f / q_) / std::hypot(fc_ * fc_ - f * f, fc_ * f / q_);
}

#include "dsp/FilterHP1.h"

#include <cmath>

// The analogue first-order high-pass.
double FilterHP1::Response(double f) const { return f / std::hypot(f, fc_); }

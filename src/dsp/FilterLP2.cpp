#include "dsp/FilterLP2.h"

#include <cmath>

// The analogue second-order low-pass divided by Q: 1 at fc, 1/Q at 0 Hz.
double FilterLP2::Response(double f) const {
  return (fc_ * fc_ / q_) / std::hypot(fc_ * fc_ - f * f, fc_ * f / q_);
}

void FilterLP2::Process(const double* input, double* output, int count) {
  for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
}

void FilterLP2::GetFRProfile(std::vector<float>& profile,
                             const std::vector<float>& frequencies) const {
  FillProfile(profile, frequencies, "FilterLP2::GetFRProfile incompatible sizes",
              [this](double f) { return Response(f); });
}

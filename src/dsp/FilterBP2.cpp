#include "dsp/FilterBP2.h"

#include <cmath>

// The analogue second-order band-pass, 1 at fc; the output gain is left out.
double FilterBP2::Response(double f) const {
  return (fc_ * f / q_) / std::hypot(fc_ * fc_ - f * f, fc_ * f / q_);
}

void FilterBP2::Process(const double* input, double* output, int count) {
  for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
}

void FilterBP2::GetFRProfile(std::vector<float>& profile,
                             const std::vector<float>& frequencies) const {
  FillProfile(profile, frequencies, "FilterBP2::GetFRProfile incompatible sizes",
              [this](double f) { return Response(f); });
}

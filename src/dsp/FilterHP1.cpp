#include "dsp/FilterHP1.h"

#include <cmath>

// The analogue first-order high-pass.
double FilterHP1::Response(double f) const { return f / std::hypot(f, fc_); }

void FilterHP1::Process(const double* input, double* output, int count) {
  for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
}

void FilterHP1::GetFRProfile(std::vector<float>& profile,
                             const std::vector<float>& frequencies) const {
  FillProfile(profile, frequencies, "FilterHP1::GetFRProfile incompatible sizes",
              [this](double f) { return Response(f); });
}

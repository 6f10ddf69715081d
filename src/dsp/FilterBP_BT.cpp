#include "dsp/FilterBP_BT.h"

#include <cmath>

double FilterBP_BT::Response(double f) const {
  const dsp::BilinearTerms t = dsp::MakeBilinearTerms(fs_, fc_, q_);
  const dsp::BilinearDenominator den = dsp::BilinearResponseDenominator(t, fs_, f);
  return den.im / std::hypot(den.re, den.im);
}

void FilterBP_BT::Process(const double* input, double* output, int count) {
  for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
}

void FilterBP_BT::GetFRProfile(std::vector<float>& profile,
                               const std::vector<float>& frequencies) const {
  FillProfile(profile, frequencies, "FilterBP_BT::GetFRProfile incompatible sizes",
              [this](double f) { return Response(f); });
}

#include "dsp/FilterLP2_BT.h"

#include <cmath>

double FilterLP2_BT::Response(double f) const {
  const dsp::BilinearTerms t = dsp::MakeBilinearTerms(fs_, fc_, q_);
  const dsp::BilinearDenominator den = dsp::BilinearResponseDenominator(t, fs_, f);
  return t.w02 * (1.0 + den.cosTheta) / std::hypot(den.re, den.im);
}

void FilterLP2_BT::Process(const double* input, double* output, int count) {
  for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
}

void FilterLP2_BT::GetFRProfile(std::vector<float>& profile,
                                const std::vector<float>& frequencies) const {
  FillProfile(profile, frequencies, "FilterLP2_BT::GetFRProfile incompatible sizes",
              [this](double f) { return Response(f); });
}

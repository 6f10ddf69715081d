#include "dsp/FilterLP2_BT.h"

#include <cmath>

double FilterLP2_BT::Response(double f) const {
  const dsp::BilinearTerms t = dsp::MakeBilinearTerms(fs_, fc_, q_);
  const dsp::BilinearDenominator den = dsp::BilinearResponseDenominator(t, fs_, f);
  return t.w02 * (1.0 + den.cosTheta) / std::hypot(den.re, den.im);
}

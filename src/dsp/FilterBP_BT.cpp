#include "dsp/FilterBP_BT.h"

#include <cmath>

double FilterBP_BT::Response(double f) const {
  const dsp::BilinearTerms t = dsp::MakeBilinearTerms(fs_, fc_, q_);
  const dsp::BilinearDenominator den = dsp::BilinearResponseDenominator(t, fs_, f);
  return den.im / std::hypot(den.re, den.im);
}

#include "dsp/CutoffModulator.h"

#include <algorithm>

void CutoffModulator::SetSampleRate(double fs) {
  limit = std::min(kCeiling, fs * kMaxShareOfSampleRate);
}

void CutoffModulator::Map(const double* values, int count) {
  if (count < 0) count = 0;
  if (output.size() != static_cast<size_t>(count)) output.resize(static_cast<size_t>(count));
  double* out = output.data();
  const double lo = low, hi = high;
  for (int i = 0; i < count; ++i) out[i] = At(lo, hi, values[i]);
}

void CutoffModulator::MapSwept(const double* values, const double* lows, const double* highs,
                               double* out, int count) const {
  for (int i = 0; i < count; ++i) out[i] = At(lows[i], highs[i], values[i]);
}

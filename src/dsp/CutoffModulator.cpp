#include "dsp/CutoffModulator.h"

#include <algorithm>

void CutoffModulator::SetSampleRate(double fs) {
  limit = std::min(kCeiling, fs * kMaxShareOfSampleRate);
}

void CutoffModulator::Map(const double* values, int count) {
  if (count < 0) count = 0;
  if (output.size() != static_cast<size_t>(count)) output.resize(static_cast<size_t>(count));
  double* out = output.data();
  MapSteady(values, low, high, out, count);
}

// The ceiling is read once: out may alias this object as far as the
// compiler knows, and a load after every store keeps the loop scalar.
void CutoffModulator::MapSteady(const double* values, double lo, double hi, double* out,
                                int count) const {
  const double ceiling = limit;
  for (int i = 0; i < count; ++i) out[i] = Bounded(lo, hi, values[i], ceiling);
}

void CutoffModulator::MapSwept(const double* values, const double* lows, const double* highs,
                               double* out, int count) const {
  const double ceiling = limit;
  for (int i = 0; i < count; ++i) out[i] = Bounded(lows[i], highs[i], values[i], ceiling);
}

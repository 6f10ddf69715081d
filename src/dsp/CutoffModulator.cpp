#include "dsp/CutoffModulator.h"

#include <algorithm>

void CutoffModulator::SetSampleRate(double fs) {
  limit = std::min(kCeiling, fs * kMaxShareOfSampleRate);
}

void CutoffModulator::Map(const double* values, int count) {
  if (count < 0) count = 0;
  if (output.size() != static_cast<size_t>(count)) output.resize(static_cast<size_t>(count));
  const double span = high - low;
  for (int i = 0; i < count; ++i) {
    const double fc = low + span * values[i];
    output[static_cast<size_t>(i)] = fc < limit ? fc : limit;
  }
}

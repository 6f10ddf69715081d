// The oscillator's waveform for AVX2 with FMA: four lanes. This source alone
// (with the stereo sweeps') is built with those instructions; it runs only
// where the processor has them.
#include "dsp/LfoWaveKernels.h"

namespace dsp {
LfoWaveFill Avx2FmaLfoWaves() {
  using Lanes = double __attribute__((vector_size(32)));
  return &FillAny<Lanes>;
}
}  // namespace dsp

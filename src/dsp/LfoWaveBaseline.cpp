// The oscillator's waveform for the baseline instruction set: two lanes
// (SSE2).
#include "dsp/LfoWaveKernels.h"

namespace dsp {
LfoWaveFill BaselineLfoWaves() {
  using Lanes = double __attribute__((vector_size(16)));
  return &FillAny<Lanes>;
}

LfoWaveFill LfoWavesFor(SimdLevel level) {
  if (level == SimdLevel::kAvx2Fma && ProcessorHasAvx2Fma()) return Avx2FmaLfoWaves();
  return BaselineLfoWaves();
}

LfoWaveFill LfoWaves() {
  static const LfoWaveFill fill = LfoWavesFor(ActiveSimdLevel());
  return fill;
}
}  // namespace dsp

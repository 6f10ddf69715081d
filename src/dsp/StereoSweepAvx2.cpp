// The stereo sweeps for AVX2 with FMA: four lanes in the coefficient pass.
// This source alone is built with those instructions; it runs only where
// the processor has them.
#include "dsp/StereoSweepKernels.h"

namespace dsp {
const StereoSweepKernels& Avx2FmaStereoSweeps() {
  using Lanes = double __attribute__((vector_size(32)));
  return Kernels<Lanes>::kTable;
}
}  // namespace dsp

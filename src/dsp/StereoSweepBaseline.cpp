// The stereo sweeps for the baseline instruction set: two lanes (SSE2).
#include "dsp/StereoSweepKernels.h"

namespace dsp {
const StereoSweepKernels& BaselineStereoSweeps() {
  using Lanes = double __attribute__((vector_size(16)));
  return Kernels<Lanes>::kTable;
}
}  // namespace dsp

#include "dsp/StereoSweep.h"

namespace dsp {
const StereoSweepKernels& StereoSweepsFor(SimdLevel level) {
  if (level == SimdLevel::kAvx2Fma && ProcessorHasAvx2Fma()) return Avx2FmaStereoSweeps();
  return BaselineStereoSweeps();
}

const StereoSweepKernels& StereoSweeps() {
  static const StereoSweepKernels& kernels = StereoSweepsFor(ActiveSimdLevel());
  return kernels;
}
}  // namespace dsp

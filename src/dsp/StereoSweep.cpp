#include "dsp/StereoSweep.h"

#include <cstdlib>
#include <cstring>

namespace dsp {
namespace {
bool ProcessorHasAvx2Fma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

SimdLevel DetectSimdLevel() {
  const char* forced = std::getenv("QW_SIMD");
  if (forced && std::strcmp(forced, "baseline") == 0) return SimdLevel::kBaseline;
  return ProcessorHasAvx2Fma() ? SimdLevel::kAvx2Fma : SimdLevel::kBaseline;
}
}  // namespace

SimdLevel ActiveSimdLevel() {
  static const SimdLevel level = DetectSimdLevel();
  return level;
}

const StereoSweepKernels& StereoSweepsFor(SimdLevel level) {
  if (level == SimdLevel::kAvx2Fma && ProcessorHasAvx2Fma()) return Avx2FmaStereoSweeps();
  return BaselineStereoSweeps();
}

const StereoSweepKernels& StereoSweeps() {
  static const StereoSweepKernels& kernels = StereoSweepsFor(ActiveSimdLevel());
  return kernels;
}
}  // namespace dsp

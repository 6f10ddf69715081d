#include "dsp/SimdLevel.h"

#include <cstdlib>
#include <cstring>

namespace dsp {
namespace {
SimdLevel DetectSimdLevel() {
  const char* forced = std::getenv("QW_SIMD");
  if (forced && std::strcmp(forced, "baseline") == 0) return SimdLevel::kBaseline;
  return ProcessorHasAvx2Fma() ? SimdLevel::kAvx2Fma : SimdLevel::kBaseline;
}
}  // namespace

bool ProcessorHasAvx2Fma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

SimdLevel ActiveSimdLevel() {
  static const SimdLevel level = DetectSimdLevel();
  return level;
}
}  // namespace dsp

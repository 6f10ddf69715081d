#pragma once

namespace dsp {
// The instruction sets the audio path's kernels are built for.
enum class SimdLevel { kBaseline, kAvx2Fma };

// AVX2 with FMA when the processor and system offer both, unless the
// environment variable QW_SIMD is "baseline". Decided at the first call.
SimdLevel ActiveSimdLevel();
// True when the processor and system offer AVX2 and FMA.
bool ProcessorHasAvx2Fma();
}  // namespace dsp

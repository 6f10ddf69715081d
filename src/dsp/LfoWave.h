#pragma once

#include "dsp/SimdLevel.h"

// The oscillator's waveform evaluated over a run of evenly spaced phases,
// vector-wide: the generator fixes the terms for a block, the kernel of the
// active instruction set writes the values in 0..1.
namespace dsp {

enum class LfoWave { kCosine, kBlend, kTriangle, kSquare };

struct LfoWaveTerms {
  LfoWave wave;
  double period;   // radians
  double fallEnd;  // phase where the fall ends and the rise starts
  // The cosine's argument: phase * fallScale while falling,
  // (phase + riseShift) * riseScale while rising.
  double fallScale, riseShift, riseScale;
  // The triangle's segments, and its weight in the blend.
  double fallSlope, fallOffset, riseSlope, riseOffset;
  double shape;
  // Square: its falling and rising ramps; the rising ramp also reaches
  // back into the start of the period, the falling one past its end.
  double sqFallSlope, sqFallOffset, sqRiseSlope, sqRiseOffset;
  double sqRiseEndBefore;   // end of the rising ramp, one period back
  double sqFallStartAfter;  // start of the falling ramp, one period on
};

// values[j] = the waveform at phase start + j * step, j < count; the
// phases are computed exactly as written, and they all lie on one side of
// fallEnd (falling or rising).
using LfoWaveFill = void (*)(const LfoWaveTerms& terms, double start, double step, double* values,
                             int count);

// The fill of the active instruction set, and those of each set (the
// baseline one where the processor lacks the other).
LfoWaveFill LfoWaves();
LfoWaveFill LfoWavesFor(SimdLevel level);
LfoWaveFill BaselineLfoWaves();
LfoWaveFill Avx2FmaLfoWaves();
}  // namespace dsp

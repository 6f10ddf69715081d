#pragma once

#include "dsp/FilterBP2.h"
#include "dsp/FilterHP1.h"
#include "dsp/FilterLP2.h"
#include "dsp/SimdLevel.h"
#include "dsp/WahSimple.h"

// Both channels of a stereo path through one filter kind at the same cutoffs
// (so the same coefficients), each channel with its own history: the
// coefficients of a run of frames are computed together, vector-wide, with
// one division per frame, then both channels' recurrences step in one
// two-lane vector and are mixed with the dry signal. A version for the
// baseline instruction set (SSE2) and one for AVX2 with FMA are built; the
// processor picks one once per process.
namespace dsp {

struct StereoFrames {
  const double* cutoff;  // Hz, one per frame
  const double* in[2];
  double* out[2];  // each may be its own channel's input, never the other's
  const double* mixes;  // the mix of each frame, or null for mix throughout
  double mix;
  const double* pan;  // auto-pan: the modulation of each frame, or null
  int frames;
  // The resonance of each frame while it glides, or null for the kernel's
  // own (the wah's base Q).
  const double* resonance = nullptr;
};

struct WahTerms {
  WahShape shape;
  double piOverFs;
  double twoPiOverFs;
  double q2;                // the wide band's Q
  double gain1, gain2;      // the bands' output gains
};

struct StereoSweepKernels {
  void (*lowPass)(double piOverFs, double q, LP2History* h, const StereoFrames& f);
  void (*bandPass)(double piOverFs, double q, double gain, BP2History* h, const StereoFrames& f);
  void (*wah)(const WahTerms& t, HP1History* hp, BP2History* narrow, BP2History* wide,
              const StereoFrames& f);
};

// The kernels of the active level.
const StereoSweepKernels& StereoSweeps();
// The kernels of a given level; those of the baseline when the processor
// lacks the other.
const StereoSweepKernels& StereoSweepsFor(SimdLevel level);

// One per instruction set, each in its own source built for that set.
const StereoSweepKernels& BaselineStereoSweeps();
const StereoSweepKernels& Avx2FmaStereoSweeps();
}  // namespace dsp

#pragma once

#include <array>

#include "dsp/CutoffModulator.h"
#include "dsp/LfoGenerator.h"
#include "dsp/MultiBandFilterBT.h"
#include "dsp/ParamRamp.h"

// Per-sample work space of one slice; every array holds at least the
// slice's frames.
struct VoiceBuffers {
  double* modulation;  // oscillator values, 0..1
  double* cutoffs;     // Hz
  double* mix;
  double* low;
  double* high;
  double* resonance;
};

// One complete sound path: the oscillator with its slew, the sweep limits,
// resonance and mix with their ramps, the switches, and one filter holder
// per channel. A plain value without storage of its own, so the effect can
// keep a copy of the path it is leaving running while the new one fades in.
struct WahVoice {
  static constexpr int kChannels = 2;
  // Mix, sweep limits and resonance reach a new value over this time. A
  // resonant band swept much faster across the spectrum rings above it.
  static constexpr double kRampSeconds = 0.025;

  LfoGenerator lfo;
  std::array<MultiBandFilterBT, kChannels> filters;
  ParamRamp mix{0.5, 0.0, 1.0};
  ParamRamp low{400.0, 0.0, 1e9};   // Hz at modulation 0
  ParamRamp high{3000.0, 0.0, 1e9};  // Hz at modulation 1
  ParamRamp resonance{4.0, 0.0, 1e9};
  bool tremolo = false;
  bool bypass = false;
  bool curveChanged = false;  // the next slice slews onto the new curve
  bool slewing = false;       // on the way to the curve
  double lastValue = 0.0;     // last oscillator value of the previous slice

  WahVoice();

  // Oscillator, filters and ramp lengths.
  void SetSampleRate(double fs);
  // Every ramp on its target.
  void Settle();
  bool Ramping() const {
    return mix.Active() || low.Active() || high.Active() || resonance.Active();
  }

  // One slice of at most the buffers' length. Bypassed, the input is copied
  // and nothing else moves. Otherwise: the oscillator renders, slews after
  // a curve change by at most slewStep per sample, maps to cutoffs through
  // sweep, and each channel is filtered and mixed. in and out may alias.
  void Process(const double* const* in, double* const* out, int channels, int frames,
               double slewStep, const CutoffModulator& sweep, const VoiceBuffers& b);

 private:
  void Slew(double* v, int frames, double step);
  // mixMoves: the mix of each sample is in b.mix; resonanceMoves: the
  // resonance of each sample is in b.resonance.
  bool RunPair(const double* const* in, double* const* out, int frames, const VoiceBuffers& b,
               bool mixMoves, bool resonanceMoves);
  void RunChannel(int channel, int channels, const double* in, double* out, int frames,
                  const VoiceBuffers& b);
  void RunChannelRamped(int channel, int channels, const double* in, double* out, int frames,
                        bool resonanceMoves, const VoiceBuffers& b);
};

#pragma once

#include "dsp/LfoWave.h"

// The modulation oscillator: values in 0..1 from a waveform that morphs from
// a cosine (shape 0) through a triangle (shape 1) to a square with 8 ms ramps
// (shape 2). A plain record; the field order is part of its definition.
struct LfoGenerator {
  // Rates are capped here so the ramp share (minimum ramp time * rate) stays
  // below 1 and every slope stays finite; the free rate never gets close.
  static constexpr double kMaxRate = 120.0;

  double pi;          // half a period in radians; the period is 2*pi
  double rate = 8.0;  // Hz
  double sampleRate = 44100.0;
  double symmetry = 0.5;
  double shape = 0.0;
  double phaseCarry = 0.0;     // continues the real-time phase across blocks
  double phase = 0.0;          // offset in half-periods
  double syncPhase = 0.0;      // bar-aligned offset in periods (tempo sync)
  double increment;            // radians per sample
  double minRampTime = 0.008;  // seconds
  double fallSlope = 0.0;      // triangle, first segment
  double riseSlope = 0.0;      // triangle, second segment
  double fallOffset = 1.0;
  double riseOffset = 0.0;
  double sqFallSlope = 0.0;
  double sqRiseSlope = 0.0;
  double sqFallOffset = 0.0;
  double sqRiseOffset = 0.0;
  double sqFallStart = 0.0;  // phase where the square's falling ramp starts
  double sqRiseEnd = 0.0;    // phase where the square's rising ramp ends
  double turnPoint = 0.0;    // share of the period spent falling
  // Where the last real-time render ended, so that the next one starts on
  // exactly that phase (not on offsets + carry, which rounds differently
  // and would make the output depend on where blocks end) while neither
  // the offsets nor the carry were changed in between.
  double endPhase = 0.0;
  double endOffset = -1.0;
  double endCarry = 0.0;

  LfoGenerator();

  // rate, increment, then the symmetry and shape steps.
  void SetRate(double hz);
  // sample rate and increment; the slopes do not depend on it.
  void SetSampleRate(double fs);
  void SetSymmetry(double value) {
    symmetry = value;
    SymmetryStep();
  }
  void SetShape(double value) {
    shape = value;
    ShapeStep();
  }

  // Turn point and triangle slopes; runs the shape step too when shape > 1.
  void SymmetryStep();
  // Square-wave ramps (read only while shape > 1.01, but always computed).
  void ShapeStep();

  // The waveform's terms at the current shape, symmetry and rate: the one
  // place they are derived.
  dsp::LfoWaveTerms WaveTerms() const;

  // Real time: count values continuing the previous block's phase, with
  // phase, symmetry and sync phase acting as offsets. Plot: one period in
  // count points, first and last at the same phase; leaves the carry alone.
  void Render(double* buffer, int count, bool realTime);
};

#pragma once

#include <cstdint>

// A synthetic input for trying the effect without a recording: a bass riff
// of bright sawtooth notes (rich in harmonics, so a moving filter is easy to
// hear) at 100 beats per minute, slightly detuned between left and right.
// Deterministic: the same rate and length always give the same samples.
class TestSignal {
 public:
  TestSignal(double sampleRate, int channels);

  // Continues the signal with `frames` interleaved frames.
  void Render(float* interleaved, int64_t frames);

 private:
  double Voice(int channel, double frequency);

  double sampleRate_;
  int channels_;
  int64_t position_ = 0;
  double phase_[2][2] = {};  // [channel][saw, sub-octave]
};

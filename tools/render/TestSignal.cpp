#include "TestSignal.h"

#include <cmath>

namespace {

constexpr double kBeatsPerMinute = 100.0;
constexpr double kNoteBeats = 0.5;  // eighth notes
// MIDI note numbers of the riff, one per eighth note, looping.
constexpr int kRiff[] = {40, 40, 52, 40, 43, 40, 47, 45, 40, 40, 52, 40, 50, 48, 47, 43};
constexpr int kRiffLength = sizeof kRiff / sizeof kRiff[0];

// Band-limiting correction for a step at phase 0 (polynomial blep): keeps the
// sawtooth's top harmonics from folding back into the audible band.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

double Saw(double phase, double dt) { return 2.0 * phase - 1.0 - PolyBlep(phase, dt); }

}  // namespace

TestSignal::TestSignal(double sampleRate, int channels)
    : sampleRate_(sampleRate), channels_(channels < 1 ? 1 : (channels > 2 ? 2 : channels)) {}

double TestSignal::Voice(int channel, double frequency) {
  // The right channel is detuned by 4 cents so the stereo image is alive.
  const double f = channel == 0 ? frequency : frequency * 1.0023131618421738;
  double out = 0.0;
  const double freqs[2] = {f, f * 0.5};
  const double gains[2] = {0.2, 0.1};
  for (int v = 0; v < 2; ++v) {
    const double dt = freqs[v] / sampleRate_;
    double& ph = phase_[channel][v];
    out += gains[v] * Saw(ph, dt);
    ph += dt;
    if (ph >= 1.0) ph -= 1.0;
  }
  return out;
}

void TestSignal::Render(float* interleaved, int64_t frames) {
  const double noteSeconds = kNoteBeats * 60.0 / kBeatsPerMinute;
  const auto noteFrames = static_cast<int64_t>(noteSeconds * sampleRate_ + 0.5);
  for (int64_t i = 0; i < frames; ++i, ++position_) {
    const int64_t note = position_ / noteFrames;
    const double t = static_cast<double>(position_ - note * noteFrames) / sampleRate_;
    const int midi = kRiff[note % kRiffLength];
    const double frequency = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    // Plucked envelope: 3 ms attack, decay towards 40 %, 8 ms release at the
    // end of the note so consecutive notes do not click.
    const double attack = std::fmin(1.0, t / 0.003);
    const double decay = 0.4 + 0.6 * std::exp(-t / 0.12);
    const double remaining = noteSeconds - t;
    const double release = std::fmin(1.0, std::fmax(0.0, remaining / 0.008));
    const double env = attack * decay * release;
    for (int c = 0; c < channels_; ++c)
      interleaved[i * channels_ + c] = static_cast<float>(env * Voice(c, frequency));
  }
}

#include "quillwave/TempoFollow.h"

#include <cmath>

#include "dsp/LfoGenerator.h"
#include "dsp/TempoNote.h"

double TempoFollow::PhaseAt(const HostTimeInfo& time, double cyclesPerWhole) {
  const double quarters =
      time.ppqPosition >= 0.0 ? time.ppqPosition : time.ppqPosition - time.lastBarPosition;
  const double x = quarters * 0.25 * cyclesPerWhole;
  if (!std::isfinite(x)) return 0.0;
  const double phase = x - std::floor(x);
  return phase < 1.0 ? phase : 0.0;  // a tiny negative x rounds up to 1
}

bool TempoFollow::Update(const HostTimeInfo& time, int frames, TempoNote& note,
                         LfoGenerator& lfo) {
  // A tempo of zero, below or NaN is no tempo; it would stop or reverse the
  // oscillator.
  if (time.tempo > 0.0 && std::isfinite(time.tempo) && std::fabs(time.tempo - note.tempo) > 0.1) {
    note.tempo = time.tempo;
    lfo.SetRate(note.Rate());
    resyncNeeded = true;
  }
  if (!previousPlaying && time.playing) resyncNeeded = true;
  // The host moved on by the previous call's length unless it jumped; the
  // current call's length says nothing about where this one starts.
  if (time.playing &&
      std::fabs(previousSamplePosition + previousFrames - time.samplePosition) > 0.1)
    resyncNeeded = true;
  previousPlaying = time.playing;
  previousSamplePosition = time.samplePosition;
  previousFrames = frames;

  if (!resyncNeeded) return false;
  lfo.phaseCarry = 0.0;
  lfo.syncPhase = PhaseAt(time, note.cyclesPerWhole);
  resyncNeeded = false;
  return true;
}

#include "quillwave/TempoFollow.h"

#include <cmath>

#include "dsp/LfoGenerator.h"
#include "dsp/TempoNote.h"

void TempoFollow::Update(const HostTimeInfo& time, int frames, TempoNote& note, LfoGenerator& lfo) {
  // A tempo of zero, below or NaN is no tempo; it would stop or reverse the
  // oscillator.
  if (time.tempo > 0.0 && std::isfinite(time.tempo) && std::fabs(time.tempo - note.tempo) > 0.1) {
    note.tempo = time.tempo;
    lfo.SetRate(note.Rate());
    resyncNeeded = true;
  }
  if (!previousPlaying && time.playing) resyncNeeded = true;
  if (time.playing && std::fabs(frames + previousSamplePosition - time.samplePosition) > 0.1)
    resyncNeeded = true;
  previousPlaying = time.playing;
  previousSamplePosition = time.samplePosition;

  if (resyncNeeded) {
    lfo.phaseCarry = 0.0;
    const double x = (time.ppqPosition - time.lastBarPosition) * 0.25 * note.cyclesPerWhole;
    lfo.syncPhase = std::isfinite(x) ? x - std::trunc(x) : 0.0;
    resyncNeeded = false;
  }
}

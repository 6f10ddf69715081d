#pragma once

#include "core/HostTimeInfo.h"

struct LfoGenerator;
struct TempoNote;

// Follows the host's tempo and song position once per host call while
// tempo sync is on: rate changes beyond 0.1 BPM, and a phase re-alignment
// to the song position when the tempo changed, the transport started, the
// position jumped, or the note value changed while playing.
struct TempoFollow {
  bool resyncNeeded = false;
  double previousSamplePosition = 0.0;
  double previousFrames = 0.0;  // length of the previous call
  bool previousPlaying = false;

  // What the host left unset reads as tempo 120, positions -1, 4/4,
  // stopped; the host query overwrites what it knows.
  static HostTimeInfo Prefilled() { return HostTimeInfo{}; }

  // Applies one host call's time to the note record and the oscillator;
  // frames is the call's length. True when the phase was re-aligned.
  bool Update(const HostTimeInfo& time, int frames, TempoNote& note, LfoGenerator& lfo);

  // The oscillator's phase, in periods (0..1), at the song position: the
  // same position gives the same phase wherever playback started. Hosts
  // that give no musical position get the phase from the bar start.
  static double PhaseAt(const HostTimeInfo& time, double cyclesPerWhole);
};

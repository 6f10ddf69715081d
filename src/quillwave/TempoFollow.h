#pragma once

#include "core/HostTimeInfo.h"

struct LfoGenerator;
struct TempoNote;

// Follows the host's tempo and bar once per block while tempo sync is on:
// rate changes beyond 0.1 BPM, and a phase re-alignment to the bar when the
// tempo changed, the transport started, or the position jumped.
struct TempoFollow {
  bool resyncNeeded = false;
  double previousSamplePosition = 0.0;
  bool previousPlaying = false;

  // What the host left unset reads as tempo 120, positions -1, 4/4,
  // stopped; the host query overwrites what it knows.
  static HostTimeInfo Prefilled() { return HostTimeInfo{}; }

  // Applies one block's host time to the note record and the oscillator.
  void Update(const HostTimeInfo& time, int frames, TempoNote& note, LfoGenerator& lfo);
};

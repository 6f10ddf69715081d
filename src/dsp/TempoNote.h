#pragma once

#include "core/HostTimeInfo.h"

struct LfoGenerator;

// The note value the oscillator follows in tempo sync, and the tempo last
// read from the host.
struct TempoNote {
  int denominator = 4;          // 1 whole, 2 half, 4 quarter ... 64
  double factor = 1.0;          // 1 plain, 4/3, 2/3 triplet
  double cyclesPerWhole = 4.0;  // denominator / factor
  double tempo = 120.0;         // beats per minute

  // "Note" value truncated toward zero: rows 0..6 give 1..64; any other
  // value leaves the denominator unchanged.
  void SetNote(double value);
  // "Prefix" value truncated toward zero: rows 0..2; any other value leaves
  // the factor unchanged.
  void SetPrefix(double value);
  // tempo / 240 * cycles per whole note (a quarter at 120 BPM gives 2 Hz).
  double Rate() const { return tempo / 240.0 * cyclesPerWhole; }
};

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

#pragma once

// The note value the oscillator follows in tempo sync, and the tempo last
// read from the host.
struct TempoNote {
  int denominator = 4;          // 1 whole, 2 half, 4 quarter ... 64
  double factor = 1.0;          // 1 plain, 4/3, 2/3 triplet
  double cyclesPerWhole = 4.0;  // denominator / factor
  double tempo = 120.0;         // beats per minute

  // "Note" value truncated toward zero (a hair below a row counts as the
  // row): rows 0..6 give 1..64; any other value leaves the denominator
  // unchanged.
  void SetNote(double value);
  // "Prefix" value truncated likewise: rows 0..2; any other value leaves
  // the factor unchanged.
  void SetPrefix(double value);
  // tempo / 240 * cycles per whole note (a quarter at 120 BPM gives 2 Hz).
  double Rate() const { return tempo / 240.0 * cyclesPerWhole; }
};

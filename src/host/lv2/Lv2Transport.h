#pragma once

#include <cstdint>

#include "core/HostTimeInfo.h"

// The host's transport as an LV2 plug-in learns it: position objects at
// some frames, the plug-in carrying the position forward between them.
// Beats are the meter's (1/beatUnit notes); the effect counts quarter notes.
class Lv2Transport {
 public:
  // The fields one position object may carry; unset ones keep their value.
  struct Position {
    bool hasFrame = false, hasSpeed = false, hasBar = false, hasBarBeat = false,
         hasBeat = false, hasBeatUnit = false, hasBeatsPerBar = false, hasTempo = false;
    double frame = 0.0, speed = 0.0, barBeat = 0.0, beat = 0.0, beatsPerBar = 4.0,
           tempo = 120.0;
    int64_t bar = 0;
    int32_t beatUnit = 4;
  };

  // Takes what a position object says; values that are not numbers or lie
  // outside what a meter can be are ignored.
  void Apply(const Position& p);
  // frames at the sample rate later, at the current speed.
  void Advance(int64_t frames, double sampleRate);
  // What the host said so far; leaves info as it is before the first
  // position object.
  void Fill(HostTimeInfo& info) const;
  bool Known() const { return known_; }

 private:
  bool known_ = false;
  bool hasBar_ = false;   // bar and beat within it known, not only the beat
  double frame_ = 0.0;
  double speed_ = 0.0;
  int64_t bar_ = 0;
  double barBeat_ = 0.0;
  double beat_ = 0.0;     // beats from the start of the song
  double beatsPerBar_ = 4.0;
  int32_t beatUnit_ = 4;
  double tempo_ = 120.0;  // beats per minute
};

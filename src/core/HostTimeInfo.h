#pragma once

#include <cstdint>

// The host's transport as the plug-in sees it. A query overwrites only what
// the host reports as valid; everything else keeps these values.
struct HostTimeInfo {
  double tempo = 120.0;  // beats per minute
  double samplePosition = -1.0;
  double ppqPosition = -1.0;      // quarter notes
  double lastBarPosition = -1.0;  // quarter notes
  double cycleStart = -1.0;       // quarter notes
  double cycleEnd = -1.0;         // quarter notes
  int32_t numerator = 4;
  int32_t denominator = 4;
  bool playing = false;
  bool looping = false;
};

struct MidiMessage {
  int32_t offset = 0;  // sample offset in the block
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

struct SysExMessage {
  int32_t offset = 0;             // sample offset in the block
  int32_t size = 0;               // bytes
  const uint8_t* data = nullptr;  // owned by the caller
};

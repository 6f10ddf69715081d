#pragma once

#include "host/vst2/VstAbi.h"

#include <cstdint>
#include <optional>

// The transport this host reports to the plug-in. With a tempo it is playing
// in 4/4 (or the time signature set) from bar 1 (quarter-note position 0 at
// frame 0) and moves with the rendered frames; without one it is stopped at
// 120 beats per minute (positions still follow the render, as a stopped host
// reports its cursor).
class HostTransport {
 public:
  HostTransport(double sampleRate, std::optional<double> tempo);

  // Position of the next frame to be processed.
  void SetPosition(int64_t frame);
  // Starts (or restarts) playback at this frame: the reports until the first
  // block from there is done say the transport changed, as at frame 0.
  void StartAt(int64_t frame);
  // Beats per bar and the beat's note value (4 for quarters).
  void SetTimeSignature(int numerator, int denominator);
  int64_t Position() const { return position_; }

  // The answer to audioMasterGetTime for the current position.
  const vst::VstTimeInfo* TimeInfo();

 private:
  double sampleRate_;
  double tempo_;
  bool playing_;
  int64_t position_ = 0;
  int64_t start_ = 0;
  int numerator_ = 4;
  int denominator_ = 4;
  vst::VstTimeInfo info_{};
};

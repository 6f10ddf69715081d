#include "HostTransport.h"

#include <chrono>
#include <cmath>

HostTransport::HostTransport(double sampleRate, std::optional<double> tempo)
    : sampleRate_(sampleRate), tempo_(tempo.value_or(120.0)), playing_(tempo.has_value()) {}

void HostTransport::SetPosition(int64_t frame) { position_ = frame; }

void HostTransport::StartAt(int64_t frame) {
  position_ = frame;
  start_ = frame;
}

void HostTransport::SetTimeSignature(int numerator, int denominator) {
  numerator_ = numerator;
  denominator_ = denominator;
}

const vst::VstTimeInfo* HostTransport::TimeInfo() {
  using namespace vst;
  const double seconds = static_cast<double>(position_) / sampleRate_;
  const double ppq = seconds * tempo_ / 60.0;
  info_ = VstTimeInfo{};
  info_.samplePos = static_cast<double>(position_);
  info_.sampleRate = sampleRate_;
  info_.nanoSeconds = static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
  info_.ppqPos = ppq;
  info_.tempo = tempo_;
  const double barQuarters = 4.0 * numerator_ / denominator_;
  info_.barStartPos = std::floor(ppq / barQuarters) * barQuarters;
  info_.timeSigNumerator = numerator_;
  info_.timeSigDenominator = denominator_;
  info_.flags =
      kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
  if (playing_) info_.flags |= kVstTransportPlaying;
  // The transport starts with the first block: every report before that
  // block is done (at activation, in the block itself) says so.
  if (position_ == start_) info_.flags |= kVstTransportChanged;
  return &info_;
}

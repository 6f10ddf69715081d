#pragma once

#include <cstdint>

#include "core/HostTimeInfo.h"

// What an effect asks of the host that runs it, whatever the plug-in format:
// gestures and values the editor reports, the transport, and the few facts
// the format passes on. The format's adapter implements it and connects it
// to the effect it wraps; an effect without one (off-screen panels, tests)
// gets neutral answers.
class IHostLink {
 public:
  virtual void BeginParameterGesture(int32_t index) = 0;
  virtual void InformHostOfParameter(int32_t index, double normalized) = 0;
  virtual void EndParameterGesture(int32_t index) = 0;
  virtual void InformHostOfPresetChange() = 0;
  virtual bool HostRendersOffline() = 0;
  virtual int64_t HostSamplePosition() = 0;
  virtual double HostTempo() = 0;
  virtual void HostTimeSignature(int32_t& numerator, int32_t& denominator) = 0;
  // Fills what the host knows of its transport; leaves the rest as it was.
  virtual void ReadHostTime(HostTimeInfo& info) = 0;
  // Identifier of a known host (0 for another one).
  virtual int32_t HostIdentifier() = 0;
  // An editor was attached or its size changed.
  virtual void EditorResized() = 0;
  virtual void LatencyChanged(int32_t samples) = 0;
  virtual bool SendMidiMessage(const MidiMessage& message) = 0;
  virtual bool SendSystemExclusive(const SysExMessage& message) = 0;
  // Called after the outermost delivery of editor edits: a close the host
  // asked for from inside one of them happens here. True when the instance
  // was destroyed.
  virtual bool CloseAfterDelivery() = 0;

 protected:
  ~IHostLink() = default;
};

#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/IEffectCore.h"
#include "host/lv2/Lv2Transport.h"

// The LV2 face of a plug-in instance: owns the effect, takes its ports, and
// runs its blocks. Ports come in a fixed order: one control input per
// parameter, in the parameter's own units, then the audio inputs, the audio
// outputs, and one atom input for the host's transport.
class Lv2Adapter final : public IHostLink {
 public:
  // URIDs of what the transport port carries.
  struct Uris {
    uint32_t atomBlank = 0, atomObject = 0, atomSequence = 0, atomFloat = 0, atomDouble = 0,
             atomInt = 0, atomLong = 0, timePosition = 0, timeFrame = 0, timeSpeed = 0,
             timeBar = 0, timeBarBeat = 0, timeBeat = 0, timeBeatUnit = 0,
             timeBeatsPerBar = 0, timeBeatsPerMinute = 0;
  };

  // Null when the effect could not be made. A host without urid:map gets
  // no transport. Never throws.
  static Lv2Adapter* Create(double sampleRate, const LV2_Feature* const* features,
                            IEffectCore* (*make)());
  ~Lv2Adapter();
  Lv2Adapter(const Lv2Adapter&) = delete;
  Lv2Adapter& operator=(const Lv2Adapter&) = delete;

  IEffectCore& Core() const { return *core_; }
  uint32_t PortCount() const { return atomPort_ + 1; }

  void ConnectPort(uint32_t port, void* data);
  void Activate();
  void Deactivate();
  void Run(uint32_t frames);

  // ---- IHostLink: LV2 hosts hear nothing back from the audio side ----
  void BeginParameterGesture(int32_t) override {}
  void InformHostOfParameter(int32_t, double) override {}
  void EndParameterGesture(int32_t) override {}
  void InformHostOfPresetChange() override {}
  bool HostRendersOffline() override { return false; }
  int64_t HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int32_t& numerator, int32_t& denominator) override;
  void ReadHostTime(HostTimeInfo& info) override { transport_.Fill(info); }
  int32_t HostIdentifier() override { return 0; }
  void EditorResized() override {}
  void LatencyChanged(int32_t) override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }
  bool SendSystemExclusive(const SysExMessage&) override { return false; }
  bool CloseAfterDelivery() override { return false; }

  // A parameter value as a port carries it (own units), as the effect
  // takes it: stepped parameters take the nearest step. Shared with the UI.
  static double PortValue(const IParameter& p, double value);

 private:
  Lv2Adapter(std::unique_ptr<IEffectCore> core, const Uris& uris, int32_t maxBlock);

  // Takes changed control ports; every one on the first block after
  // activation.
  void ApplyControls();
  // frames from offset on, in slices the scratch buffers hold, as one host
  // call of the effect; the transport moves on by frames.
  void ProcessPart(uint32_t offset, uint32_t frames);
  void ReadPosition(const void* body, uint32_t size);

  std::unique_ptr<IEffectCore> core_;
  Uris uris_;
  uint32_t paramCount_ = 0, inputCount_ = 0, outputCount_ = 0, atomPort_ = 0;
  std::vector<const float*> controls_;
  std::vector<float> applied_;       // the control values the effect has
  std::vector<const float*> inputs_;
  std::vector<float*> outputs_;
  const void* atoms_ = nullptr;      // an LV2_Atom_Sequence
  bool applyAll_ = true;
  Lv2Transport transport_;
};

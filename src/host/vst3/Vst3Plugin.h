#pragma once

#include <atomic>
#include <memory>

#include "core/IEffectCore.h"
#include "core/StateChunk.h"
#include "host/vst3/Vst3Abi.h"

class Vst3View;

// The VST 3 face of a plug-in instance: one object that is both the
// component (with its audio processor) and the edit controller, around the
// effect it owns. Parameter IDs are the parameter indices. Every call takes
// the instance lock; host calls the effect makes reach the component handler
// without it, from the host's UI thread.
class Vst3Plugin final : public vst3::IComponent,
                         public vst3::IAudioProcessor,
                         public vst3::IProcessContextRequirements,
                         public vst3::IEditController,
                         public IHostLink {
 public:
  // Null when the effect could not be made. Starts with one reference.
  static Vst3Plugin* Create(IEffectCore* (*make)());

  IEffectCore& Core() const { return *core_; }
  // The state stream the host may hand over is read at most this long.
  static constexpr int64_t kMaxStateBytes = int64_t(16) << 20;

  // ---- FUnknown ----
  vst3::tresult queryInterface(const char* iid, void** obj) override;
  uint32_t addRef() override;
  uint32_t release() override;

  // ---- IPluginBase ----
  vst3::tresult initialize(vst3::FUnknown* context) override;
  vst3::tresult terminate() override;

  // ---- IComponent ----
  vst3::tresult getControllerClassId(char* classId) override;
  vst3::tresult setIoMode(int32_t mode) override;
  int32_t getBusCount(int32_t type, int32_t dir) override;
  vst3::tresult getBusInfo(int32_t type, int32_t dir, int32_t index, vst3::BusInfo* bus) override;
  vst3::tresult getRoutingInfo(vst3::RoutingInfo* inInfo, vst3::RoutingInfo* outInfo) override;
  vst3::tresult activateBus(int32_t type, int32_t dir, int32_t index, vst3::TBool state) override;
  vst3::tresult setActive(vst3::TBool state) override;
  vst3::tresult setState(vst3::IBStream* state) override;
  vst3::tresult getState(vst3::IBStream* state) override;

  // ---- IAudioProcessor ----
  vst3::tresult setBusArrangements(vst3::SpeakerArrangement* inputs, int32_t numIns,
                                   vst3::SpeakerArrangement* outputs, int32_t numOuts) override;
  vst3::tresult getBusArrangement(int32_t dir, int32_t index,
                                  vst3::SpeakerArrangement* arr) override;
  vst3::tresult canProcessSampleSize(int32_t symbolicSampleSize) override;
  uint32_t getLatencySamples() override;
  vst3::tresult setupProcessing(vst3::ProcessSetup* setup) override;
  vst3::tresult setProcessing(vst3::TBool state) override;
  vst3::tresult process(vst3::ProcessData* data) override;
  uint32_t getTailSamples() override;

  // ---- IProcessContextRequirements ----
  uint32_t getProcessContextRequirements() override;

  // ---- IEditController ----
  vst3::tresult setComponentState(vst3::IBStream* state) override;
  vst3::tresult setControllerState(vst3::IBStream* state) override;
  vst3::tresult getControllerState(vst3::IBStream* state) override;
  int32_t getParameterCount() override;
  vst3::tresult getParameterInfo(int32_t paramIndex, vst3::ParameterInfo* info) override;
  vst3::tresult getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                      char16_t* string) override;
  vst3::tresult getParamValueByString(vst3::ParamID id, char16_t* string,
                                      vst3::ParamValue* valueNormalized) override;
  vst3::ParamValue normalizedParamToPlain(vst3::ParamID id,
                                          vst3::ParamValue valueNormalized) override;
  vst3::ParamValue plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) override;
  vst3::ParamValue getParamNormalized(vst3::ParamID id) override;
  vst3::tresult setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult setComponentHandler(vst3::IComponentHandler* handler) override;
  vst3::IPlugView* createView(const char* name) override;

  // ---- IHostLink ----
  void BeginParameterGesture(int32_t index) override;
  void InformHostOfParameter(int32_t index, double normalized) override;
  void EndParameterGesture(int32_t index) override;
  void InformHostOfPresetChange() override;
  bool HostRendersOffline() override { return processMode_ == vst3::kOffline; }
  int64_t HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int32_t& numerator, int32_t& denominator) override;
  void ReadHostTime(HostTimeInfo& info) override;
  int32_t HostIdentifier() override { return 0; }
  void EditorResized() override;
  void LatencyChanged(int32_t) override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }
  bool SendSystemExclusive(const SysExMessage&) override { return false; }
  bool CloseAfterDelivery() override { return false; }

  // The view, while one is open, tells the plug-in it went away.
  void ViewClosed(Vst3View* view);
  // Edits the editor made reach the component handler: from the view's
  // timer, on the host's UI thread.
  void DeliverEdits();

 private:
  explicit Vst3Plugin(std::unique_ptr<IEffectCore> core);
  ~Vst3Plugin();

  // Applies one host value (normalised) as a host's automation does.
  void ApplyNormalized(int32_t index, double value);
  // The host's changes of this block, each at its offset, and the audio in
  // between.
  void ProcessBlock(const vst3::ProcessData& data);
  void ProcessPart(const vst3::ProcessData& data, int32_t offset, int32_t frames);
  template <class Sample>
  void ProcessSamples(const vst3::ProcessData& data, int32_t offset, int32_t frames);

  std::atomic<uint32_t> references_{1};
  std::unique_ptr<IEffectCore> core_;
  vst3::IComponentHandler* handler_ = nullptr;
  Vst3View* view_ = nullptr;
  int32_t inputChannels_ = 2, outputChannels_ = 2;
  int32_t sampleSize_ = vst3::kSample32;
  int32_t processMode_ = vst3::kRealtime;
  const vst3::ProcessContext* context_ = nullptr;  // during a process call
  StateChunk chunk_;
};

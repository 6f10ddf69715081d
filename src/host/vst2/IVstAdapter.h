#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/IEffectCore.h"
#include "core/StateChunk.h"
#include "host/vst2/VstAbi.h"

// The VST 2.4 face of a plug-in instance: owns the effect and the AEffect
// record the host keeps, answers the dispatcher, runs the process and
// parameter callbacks and makes every call back into the host. The record's
// `object` field leads back to the adapter, so each callback finds it from
// the record alone.
class IVstAdapter final : public IHostLink {
 public:
  using Factory = IEffectCore* (*)();

  static constexpr int32_t kDefaultBlockFrames = 1024;
  static constexpr int32_t kChunkGranularity = 4096;
  // The largest state chunk a host may hand over.
  static constexpr vst::VstIntPtr kMaxChunkBytes = vst::VstIntPtr(16) << 20;

  // Builds one instance under the library-wide construction lock, fills the
  // presets the effect left undefined with the current (default) values and
  // returns its record; null when construction failed. Never throws.
  static vst::AEffect* CreateInstance(vst::audioMasterCallback host, Factory make) noexcept;

  // Takes the effect (never null) and connects itself as its host.
  IVstAdapter(vst::audioMasterCallback host, std::unique_ptr<IEffectCore> core);
  ~IVstAdapter();
  IVstAdapter(const IVstAdapter&) = delete;
  IVstAdapter& operator=(const IVstAdapter&) = delete;

  // The adapter behind a record the host holds; null for none.
  static IVstAdapter* FromEffect(vst::AEffect* effect) {
    return effect ? static_cast<IVstAdapter*>(effect->object) : nullptr;
  }

  IEffectCore& Core() const { return *core_; }
  vst::AEffect* Effect() { return &effect_; }
  const vst::ERect& EditorRect() const { return editorRect_; }
  const vst::VstSpeakerArrangement& InputArrangement() const { return inputArrangement_; }
  const vst::VstSpeakerArrangement& OutputArrangement() const { return outputArrangement_; }

  // The host's identifier (see IHostLink) and its version word, asked once.
  int32_t HostIdentifier() override;
  int32_t HostVersion() const { return hostVersion_; }

  // ---- calls into the host ----
  void BeginParameterGesture(int32_t index) override;
  void InformHostOfParameter(int32_t index, double normalized) override;
  void EndParameterGesture(int32_t index) override;
  void InformHostOfPresetChange() override;
  bool HostRendersOffline() override;
  int64_t HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int32_t& numerator, int32_t& denominator) override;
  void ReadHostTime(HostTimeInfo& info) override;
  bool SendMidiMessage(const MidiMessage& message) override;
  bool SendSystemExclusive(const SysExMessage& message) override;

  // A close the host asked for from inside an edit callback.
  bool CloseAfterDelivery() override;
  void EditorResized() override;
  void LatencyChanged(int32_t samples) override;

  // The request that follows the record's `dispatcher` (under the lock).
  vst::VstIntPtr Dispatch(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                          void* ptr, float opt);

 private:
  // The functions stored in the AEffect record.
  static vst::VstIntPtr VSTDispatcher(vst::AEffect* effect, vst::VstInt32 opcode,
                                      vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                      float opt);
  static void VSTProcessAccumulating(vst::AEffect* effect, float** inputs, float** outputs,
                                     vst::VstInt32 frames);
  static void VSTProcessFloats(vst::AEffect* effect, float** inputs, float** outputs,
                               vst::VstInt32 frames);
  static void VSTProcessDoubles(vst::AEffect* effect, double** inputs, double** outputs,
                                vst::VstInt32 frames);
  static void VSTSetParameter(vst::AEffect* effect, vst::VstInt32 index, float value);
  static float VSTGetParameter(vst::AEffect* effect, vst::VstInt32 index);

  // A request the host made from inside a process call that would move or
  // free what the block in progress uses: kept, in order, until the
  // outermost process call returns. Speaker arrangements keep their channel
  // counts (-1 where none was given).
  struct DeferredRequest {
    vst::VstInt32 opcode = 0;
    vst::VstIntPtr value = 0;
    float opt = 0.0f;
    vst::VstInt32 inputs = -1, outputs = -1;
  };
  static constexpr int kMaxDeferred = 16;

  // One process call under the lock; afterwards, when no other process call
  // of this thread is running, the deferred requests are applied and a
  // close asked for meanwhile ends the instance.
  template <class Block>
  static void RunProcess(vst::AEffect* effect, Block block);
  // Ends the instance behind the record: waits for a call still running on
  // another thread, then deletes it.
  static void Destroy(vst::AEffect* effect);
  // The result the request would have had, or 0 when no room is left.
  vst::VstIntPtr Defer(vst::VstInt32 opcode, vst::VstIntPtr value, void* ptr, float opt);
  void ApplyDeferredRequests();

  vst::VstIntPtr CallHost(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f);
  const vst::VstTimeInfo* QueryTime(vst::VstInt32 wanted);
  // Host-specific channel handling, once, when the host opens the instance.
  void PrepareForHost();
  void UpdateEditorRect();

  // The process paths, run by RunProcess under the lock. A process call
  // made from inside another one (through a host callback) is not run: it
  // would overwrite the buffers of the block in progress; replacing calls
  // then hand back silence.
  template <class Sample>
  void SilenceHostOutputs(Sample** outputs, int32_t frames);
  // 32-bit audio through the 64-bit scratch buffers, in slices that fit them.
  void ProcessFloatBlock(float** inputs, float** outputs, int32_t frames, bool accumulate);
  void ProcessFloatSlice(float** inputs, float** outputs, int32_t offset, int32_t frames,
                         bool accumulate);
  void ProcessDoubleBlock(double** inputs, double** outputs, int32_t frames);
  // Points the data slots at the host's 64-bit buffers from frame offset on.
  void BindDoubles(double** inputs, double** outputs, int32_t offset);

  // Dispatcher pieces.
  vst::VstIntPtr GetChunk(bool bank, void* ptr);
  vst::VstIntPtr SetChunk(bool bank, vst::VstIntPtr size, const void* data);
  vst::VstIntPtr String2Parameter(int32_t index, const char* text);
  vst::VstIntPtr PinProperties(bool input, int32_t index, vst::VstPinProperties* pin);
  void ApplyArrangement(const vst::VstSpeakerArrangement* arrangement, bool input);
  vst::VstIntPtr VendorSpecific(int32_t index, vst::VstIntPtr value, void* ptr, float opt);
  vst::VstIntPtr ProcessEvents(const vst::VstEvents* events);
  static vst::VstIntPtr CanDo(const char* text, bool usesMidi);

  std::unique_ptr<IEffectCore> core_;
  vst::ERect editorRect_{};
  vst::audioMasterCallback host_ = nullptr;
  int32_t hostIdentifier_ = -1;  // not asked yet
  int32_t hostVersion_ = 0;
  vst::VstSpeakerArrangement inputArrangement_{};
  vst::VstSpeakerArrangement outputArrangement_{};
  bool hostPrepared_ = false;
  int32_t processDepth_ = 0;  // process calls running (only the lock's owner changes it)
  bool closeDeferred_ = false;
  bool closeAfterDelivery_ = false;  // effClose from inside an edit callback
  std::atomic<bool> destroying_{false};
  DeferredRequest deferred_[kMaxDeferred];
  int32_t deferredCount_ = 0;
  StateChunk programChunk_;
  StateChunk bankChunk_;
  vst::AEffect effect_{};
};

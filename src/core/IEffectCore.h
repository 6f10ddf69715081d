#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/ChannelBinding.h"
#include "base/GrowBuffer.h"
#include "core/HostEditQueue.h"
#include "core/HostTimeInfo.h"
#include "core/IEditorLink.h"
#include "core/IHostLink.h"
#include "core/IParameter.h"
#include "core/IPresetSlot.h"
#include "base/OwnedPtrList.h"
#include "core/StateChunk.h"

// Packs four characters with the first in the most significant byte.
constexpr int32_t FourCC(char a, char b, char c, char d) {
  return static_cast<int32_t>(uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 |
                              uint32_t(uint8_t(c)) << 8 | uint32_t(uint8_t(d)));
}

// The host-independent core of a plug-in instance: identity, parameters,
// presets, channel configurations and bindings, stream format, the editor
// link and the one re-entrant lock that serialises everything done to the
// instance. The effect overrides Reset, ParamChanged and ProcessDoubles; the
// host-facing operations go to the host link the format's adapter connects.
class IEffectCore {
 public:
  static constexpr int kNameSize = 128;
  static constexpr int kDefaultParameterCount = 14;
  static constexpr int kDefaultPresetCount = 5;
  static constexpr const char* kDefaultChannelIO = "1-1 2-2";
  static constexpr const char* kEffectName = "Quillwave";
  static constexpr const char* kProductName = "";
  static constexpr const char* kVendorName = "korvanta";
  static constexpr int32_t kUniqueId = FourCC('Q', 'l', 'w', 'v');
  static constexpr int32_t kManufacturerCode = FourCC('K', 'v', 'n', 't');
  static constexpr int32_t kVersion = 0x10000;  // 1.0.0
  // The longest block processed in one piece (per-channel buffers of
  // 512 KiB); hosts may announce and send longer ones.
  static constexpr int32_t kMaxBlockFrames = 65536;

  explicit IEffectCore(int32_t parameterCount = kDefaultParameterCount,
                       int32_t presetCount = kDefaultPresetCount,
                       const char* channelIOConfigs = kDefaultChannelIO);
  IEffectCore(const IEffectCore&) = delete;
  IEffectCore& operator=(const IEffectCore&) = delete;

  // ---- virtual operations, in slot order ----
  virtual ~IEffectCore();                    // 0
  virtual void Reset();                      // 1
  virtual void ParamChanged(int32_t index);  // 2
  // Arrays hold one pointer per binding; a null pointer is skipped.
  virtual void ProcessDoubles(double** inputs, double** outputs, int32_t frames);  // 3
  virtual void ProcessFloats(float** inputs, float** outputs, int32_t frames);     // 4
  virtual void OnEditorOpen() {}                                                   // 5
  virtual void OnEditorClose() {}                                                  // 6
  virtual void UnusedHook() {}                                                     // 7
  virtual void ActivationChanged(bool active);                                     // 8
  virtual void ProcessMidiMessage(const MidiMessage& message);                     // 9
  virtual void ProcessSystemExclusive(const SysExMessage& /*message*/) {}          // 10
  // text holds at least one character; it is emptied.
  virtual bool MidiNoteName(int32_t note, char* text);                   // 11
  virtual bool SaveState(StateChunk& chunk);                             // 12
  virtual int32_t LoadState(const StateChunk& chunk, int32_t position);  // 13
  virtual bool StateEquals(const double* values, int32_t first);         // 14
  virtual void OnEditorResized() {}                                      // 15
  virtual bool UnusedQuery() { return false; }                           // 16
  virtual void AfterHostPreparation() {}                                 // 17
  virtual void HostContextMenuForParameter(int32_t /*index*/, int32_t /*x*/, int32_t /*y*/) {
  }                                                                              // 18
  virtual void SetParameterFromEditor(int32_t index, double normalized);         // 19
  virtual void BeginParameterGesture(int32_t index);                             // 20
  virtual void InformHostOfParameter(int32_t index, double normalized);          // 21
  virtual void EndParameterGesture(int32_t index);                               // 22
  virtual void InformHostOfPresetChange();                                       // 23
  virtual bool HostRendersOffline();                                             // 24
  virtual int64_t HostSamplePosition();                                          // 25
  virtual double HostTempo();                                                    // 26
  virtual void HostTimeSignature(int32_t& numerator, int32_t& denominator);      // 27
  virtual void ReadHostTime(HostTimeInfo& info);                                 // 28
  virtual int32_t HostIdentifier();                                              // 29
  virtual int32_t HostInterfaceKind() { return hostInterfaceKind_; }             // 30
  virtual void NotifyEditorResized(int32_t width, int32_t height);               // 31
  // Takes ownership of graphics (a previously attached editor is deleted).
  virtual void AttachEditor(IEditorLink* graphics);                              // 33
  virtual void SetLatencySamples(int32_t samples);                               // 34
  virtual bool SendMidiMessage(const MidiMessage& message);                      // 35
  virtual bool SendSystemExclusive(const SysExMessage& message);                 // 36
  virtual void RefreshParameterControls();                                             // 37
  virtual void UnusedHook2() {}                                                        // 38
  virtual void OnPresetChanged() {}                                                    // 39
  // Resizes every scratch buffer to frames zeroed samples, at most
  // kMaxBlockFrames; the block size becomes what the buffers hold. A
  // negative size changes nothing.
  virtual void SetBlockFrames(int32_t frames);  // 40
  // Called after the outermost delivery of editor edits on this thread: a
  // close the host asked for from inside one of them happens here. True
  // when the instance was destroyed.
  virtual bool CloseAfterDelivery();  // 43
  // Around the values of a program or saved state being applied, one
  // ParamChanged per parameter in between. Batches nest: a bank's is
  // around those of its programs.
  virtual void BeginParameterBatch() {}  // 41
  virtual void EndParameterBatch() {}    // 42

  // Where the frames handed to ProcessDoubles lie in the host's process
  // call: a call longer than the buffers arrives in slices. hostFrames is
  // the call's length, -1 when the frames are the whole call.
  struct HostSlice {
    int32_t offset = 0;
    int32_t hostFrames = -1;
  };
  HostSlice CurrentHostSlice() const { return hostSlice_; }

  // ---- for the format's adapter ----
  // The host the operations above reach; null for none. The link must
  // outlive the effect or be disconnected first.
  void ConnectHost(IHostLink* link) { hostLink_ = link; }
  void SetSampleRate(double rate) { sampleRate_ = rate; }
  void SetHostSlice(HostSlice slice) { hostSlice_ = slice; }

  // ---- instance lock (re-entrant for its owning thread) ----
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }
  std::recursive_mutex& Mutex() { return lock_; }
  // Holds the lock for its scope; a null core holds nothing (an editor
  // built without a plug-in).
  class Hold {
   public:
    explicit Hold(IEffectCore& core) : core_(&core) { core_->Lock(); }
    explicit Hold(IEffectCore* core) : core_(core) {
      if (core_) core_->Lock();
    }
    ~Hold() {
      if (core_) core_->Unlock();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    IEffectCore* core_;
  };

  // Diagnostic hook at fixed points; produces no output.
  static void TraceHook(const char* function, int line, const char* format, ...);

  // ---- edits the editor reports to the host ----
  // The editor queues its gestures and values here, with the lock held or
  // not. They reach the host without the instance lock held, so a host that
  // takes locks of its own in these callbacks, or answers them on another
  // thread, cannot deadlock with the editor.
  void PostBeginEdit(int32_t index) { edits_.Push({HostEdit::kBegin, index, 0.0}); }
  void PostAutomate(int32_t index, double normalized) {
    edits_.Push({HostEdit::kAutomate, index, normalized});
  }
  void PostEndEdit(int32_t index) { edits_.Push({HostEdit::kEnd, index, 0.0}); }
  bool HostEditsPending() const { return !edits_.Empty(); }
  // Delivers the queued edits on the calling thread, which must not hold
  // the instance lock; a delivery running on another thread is left to do
  // it. False when the host closed the instance from inside one of these
  // callbacks: the instance has been destroyed since, and the caller must
  // not touch it or anything it owned.
  bool DeliverHostEdits();
  // For the editor's own thread: delivers only while the host does not
  // call the editor's idle request, which delivers on the host's thread.
  bool DeliverHostEditsFromEditor();
  // The host called the editor's idle request (or opened the editor, which
  // gives it time for a first idle call).
  void NoteHostIdle() { lastIdle_.store(Clock::now().time_since_epoch().count()); }
  // True on the thread that is delivering edits, while it does.
  bool DeliveringOnThisThread() const { return deliverer_.load() == std::this_thread::get_id(); }

  // ---- channels ----
  // True when a legal configuration matches; a negative count matches any.
  bool LegalIO(int32_t inputs, int32_t outputs) const;
  int32_t ChannelIOConfigCount() const { return channelIO_.Count(); }
  const ChannelIOConfig* GetChannelIOConfig(int32_t i) const { return channelIO_.Get(i); }
  int32_t InputCount() const { return inputBindings_.Count(); }
  int32_t OutputCount() const { return outputBindings_.Count(); }
  ChannelBinding* InputBinding(int32_t i) const { return inputBindings_.Get(i); }
  ChannelBinding* OutputBinding(int32_t i) const { return outputBindings_.Get(i); }
  // The block view handed to ProcessDoubles: one slot per binding.
  double** InputData() const { return static_cast<double**>(inputData_.Data()); }
  double** OutputData() const { return static_cast<double**>(outputData_.Data()); }

  // ---- parameters and presets ----
  int32_t ParameterCount() const { return parameters_.Count(); }
  IParameter* GetParameter(int32_t index) const { return parameters_.Get(index); }
  int32_t PresetCount() const { return presets_.Count(); }
  IPresetSlot* GetPreset(int32_t index) const { return presets_.Get(index); }
  int32_t CurrentPresetIndex() const { return currentPreset_; }

  // Pushes normalised value n of parameter index into every control bound to
  // it (and the first linked secondary parameter bound to it); nothing
  // without an editor.
  void PushNormalizedToControls(int32_t index, double n);
  IEditorLink* Editor() const { return editor_; }

  // ---- state and presets ----
  // The current program's state as every format hands it to hosts: the
  // chunk header, then SaveState.
  bool SaveProgramState(StateChunk& chunk);
  // Reads such a state; the new position, or -1 when it is refused (the
  // values are then as they were).
  int32_t LoadProgramState(const StateChunk& chunk);
  // The parameter hosts may use as their bypass switch (1 bypasses); -1 for
  // none.
  virtual int32_t BypassParameter() const { return -1; }
  bool SerializeParams(StateChunk& chunk);
  // New position, or -1 when the data ran out.
  int32_t UnserializeParams(const StateChunk& chunk, int32_t position);
  bool SerializePresets(StateChunk& chunk);
  int32_t UnserializePresets(const StateChunk& chunk, int32_t position);
  bool LoadPreset(int32_t index);
  // Stores the current values in the current preset; renames it when name
  // is given and not empty.
  void ModifyCurrentPreset(const char* name = nullptr);
  // Marks every preset the effect did not define as "Empty" with the
  // current (default) values.
  void InitializeUndefinedPresets();

  // ---- identity and stream format ----
  const char* EffectName() const { return effectName_; }
  const char* ProductName() const { return productName_; }
  const char* VendorName() const { return vendorName_; }
  int32_t UniqueId() const { return uniqueId_; }
  int32_t ManufacturerCode() const { return manufacturerCode_; }
  int32_t VersionWord() const { return version_; }
  bool KeepsStateInChunks() const { return keepsStateInChunks_; }
  bool IsInstrument() const { return isInstrument_; }
  bool UsesMidi() const { return usesMidi_; }
  double SampleRate() const { return sampleRate_; }
  int32_t BlockSize() const { return blockSize_; }
  int32_t Latency() const { return latency_; }
  int32_t TailSize() const { return tailSize_; }

 protected:
  OwnedPtrList<ChannelIOConfig> channelIO_;
  std::recursive_mutex lock_;
  char effectName_[kNameSize];
  char productName_[kNameSize];
  char vendorName_[kNameSize];
  int32_t uniqueId_ = kUniqueId;
  int32_t manufacturerCode_ = kManufacturerCode;
  int32_t version_ = kVersion;
  int32_t hostInterfaceKind_ = 0;
  bool keepsStateInChunks_ = false;
  bool isInstrument_ = false;
  bool usesMidi_ = false;
  int32_t currentPreset_ = 0;
  double sampleRate_ = 44100.0;
  int32_t blockSize_ = 0;
  int32_t latency_ = 0;
  int32_t tailSize_ = 0;
  IEditorLink* editor_ = nullptr;
  HostSlice hostSlice_;  // set by the adapter around each ProcessDoubles
  IHostLink* hostLink_ = nullptr;
  OwnedPtrList<IParameter> parameters_;
  OwnedPtrList<IPresetSlot> presets_;
  GrowBuffer inputData_{4096};
  GrowBuffer outputData_{4096};
  OwnedPtrList<ChannelBinding> inputBindings_;
  OwnedPtrList<ChannelBinding> outputBindings_;

 private:
  using Clock = std::chrono::steady_clock;
  HostEditQueue edits_;
  std::atomic<std::thread::id> deliverer_{};  // the thread delivering edits, if any
  int deliveryDepth_ = 0;                     // its nested deliveries
  std::atomic<Clock::rep> lastIdle_{0};       // when the host last called idle; 0: never

  void ParseChannelIO(const char* text, int32_t* maxInputs, int32_t* maxOutputs);
  void CreateBindings(GrowBuffer& data, OwnedPtrList<ChannelBinding>& list, int32_t count,
                      ChannelBinding::Form form);
};

#pragma once

// A scripted VST 2.4 host for tests: loads the plug-in library, creates
// instances through its exported entry point and drives them only through
// the AEffect record. The host callback answers product string, vendor
// version, process level and time queries from values the test controls and
// records every request it receives.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "DynamicLibrary.h"
#include "host/vst2/VstAbi.h"

namespace qwtest {

// Path of the built plug-in library (QW_PLUGIN_PATH in the environment wins).
std::string PluginPath();

struct RecordedEvent {
  int32_t type = 0;
  int32_t byteSize = 0;
  int32_t deltaFrames = 0;
  int32_t flags = 0;
  uint8_t midi[4] = {0, 0, 0, 0};
  std::vector<uint8_t> sysex;
};

struct HostCall {
  vst::AEffect* effect = nullptr;
  int32_t opcode = 0;
  int32_t index = 0;
  intptr_t value = 0;
  float opt = 0.0f;
  bool hadPtr = false;
  std::vector<RecordedEvent> events;  // audioMasterProcessEvents only
};

class TestHost {
 public:
  explicit TestHost(const std::string& libraryPath = PluginPath());
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  bool Loaded() const { return library_.Loaded(); }
  const std::string& Error() const { return library_.Error(); }
  void* Symbol(const char* name) const { return library_.Symbol(name); }

  // Calls the named entry point with this host's callback; the returned
  // record's `user` field leads back to this host.
  vst::AEffect* Create(const char* entry = "VSTPluginMain");
  // The same with an entry point linked into the test program itself (the
  // plug-in's code built in, where the test can see its process-wide
  // state).
  vst::AEffect* Create(vst::PluginEntryProc entry);

  // Script of the answers.
  void SetProductString(const std::string& s);
  void SetVendorVersion(intptr_t v);
  void SetProcessLevel(intptr_t level);
  void SetProcessEventsAnswer(intptr_t answer);
  // Transport handed out for audioMasterGetTime; null answers when disabled.
  void SetTransport(const vst::VstTimeInfo& info, bool answer = true);
  // A host that calls back into the plug-in while answering a time query
  // (for example from inside a process call): the hook runs, outside this
  // host's own lock, before the record is handed out. An empty hook ends it.
  void SetTimeQueryHook(std::function<void(vst::AEffect*)> hook);
  // A host that reacts to the editor's edit calls (begin-edit, automate,
  // end-edit): the hook runs, outside this host's own lock, after the call
  // was recorded and before it returns to the plug-in. An empty hook ends it.
  void SetEditHook(std::function<void(vst::AEffect*, vst::VstInt32 opcode)> hook);

  // Recorded requests, in arrival order.
  std::vector<HostCall> Calls() const;
  std::vector<HostCall> CallsOf(int32_t opcode, const vst::AEffect* effect = nullptr) const;
  void ClearCalls();

  static vst::VstIntPtr Callback(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                                 vst::VstIntPtr value, void* ptr, float opt);

 private:
  vst::VstIntPtr Answer(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                        vst::VstIntPtr value, void* ptr, float opt);

  DynamicLibrary library_;
  mutable std::mutex mutex_;
  std::vector<HostCall> calls_;
  std::string product_ = "Quillwave Test Host";
  intptr_t vendorVersion_ = 10203;
  intptr_t processLevel_ = vst::kVstProcessLevelRealtime;
  intptr_t processEventsAnswer_ = 1;
  bool answerTime_ = true;
  vst::VstTimeInfo transport_{};
  std::function<void(vst::AEffect*)> timeQueryHook_;
  std::function<void(vst::AEffect*, vst::VstInt32)> editHook_;
};

// One plug-in instance driven through its AEffect record; closes it on
// destruction unless the test closed it.
class Instance {
 public:
  explicit Instance(TestHost& host, const char* entry = "VSTPluginMain");
  Instance(TestHost& host, vst::PluginEntryProc entry);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  vst::AEffect* Effect() const { return effect_; }
  explicit operator bool() const { return effect_ != nullptr; }

  vst::VstIntPtr Dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f);
  // effOpen, sample rate, block size, activation: what a host does first.
  void Start(float sampleRate = 44100.0f, int32_t blockSize = 1024);
  // A text request into a large zero-filled buffer.
  std::string Text(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr* result = nullptr);

  void SetParameter(int32_t index, float value);
  float GetParameter(int32_t index);

  // Channel-major buffers; every channel holds at least `frames` samples.
  void ProcessReplacing(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                        int32_t frames);
  void ProcessAccumulating(std::vector<std::vector<float>>& in,
                           std::vector<std::vector<float>>& out, int32_t frames);
  void ProcessDouble(std::vector<std::vector<double>>& in, std::vector<std::vector<double>>& out,
                     int32_t frames);

  // The editor as a host asks for it: its rectangle (all zero when none is
  // reported), opening it in the host's window (an X window id or a window
  // handle) and closing it. OpenEditor is true when the plug-in said so.
  vst::ERect EditorRect();
  bool OpenEditor(void* parent);
  void CloseEditor();

  std::vector<uint8_t> GetChunk(bool bank);
  vst::VstIntPtr SetChunk(const std::vector<uint8_t>& data, bool bank);

  void Close();
  // The plug-in was closed by other means (from inside a callback): the
  // record is no longer this object's to close.
  void Forget() { effect_ = nullptr; }

 private:
  vst::AEffect* effect_ = nullptr;
};

// The host's edit calls for parameter param of fx since the host's calls
// were last cleared, as letters: B begin-edit, A automate, E end-edit.
std::string EditsOf(const TestHost& host, const Instance& fx, int param);
// The value of the last automate call for param of fx; -1 when none came.
float LastAutomated(const TestHost& host, const Instance& fx, int param);

}  // namespace qwtest

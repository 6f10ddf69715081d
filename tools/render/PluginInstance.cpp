#include "PluginInstance.h"

#include "RenderError.h"

#include <chrono>
#include <cstring>

using namespace vst;

namespace {

constexpr const char* kHostVendor = "korvanta";
constexpr const char* kHostProduct = "quillwave-render";
constexpr VstIntPtr kHostVersion = 10000;

// The instance whose entry call is running: a plug-in may call back before
// the host has had a chance to tag its record.
thread_local PluginInstance* tConstructing = nullptr;

void CopyText(void* ptr, const char* text, size_t capacity) {
  if (!ptr) return;
  std::strncpy(static_cast<char*>(ptr), text, capacity - 1);
  static_cast<char*>(ptr)[capacity - 1] = '\0';
}

}  // namespace

PluginInstance::PluginInstance(const PluginLibrary& library, double sampleRate, int maxBlockFrames,
                               HostTransport* transport)
    : transport_(transport), sampleRate_(sampleRate), blockFrames_(maxBlockFrames) {
  tConstructing = this;
  AEffect* effect = library.Entry()(&PluginInstance::HostCallback);
  tConstructing = nullptr;
  if (!effect) throw RenderError("plug-in '" + library.Path() + "' returned no instance");
  if (effect->magic != kEffectMagic)
    throw RenderError("plug-in '" + library.Path() +
                      "' returned a record that is not a VST 2.4 instance");
  effect_ = effect;
  // resvd1 belongs to the host: it leads the callback back to this object.
  effect_->resvd1 = reinterpret_cast<VstIntPtr>(this);
  Dispatch(effOpen);
}

PluginInstance::~PluginInstance() {
  if (!effect_) return;
  if (resumed_) Suspend();
  Dispatch(effClose);
}

VstIntPtr PluginInstance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::ParamName(int index) {
  char buf[256] = {};
  Dispatch(effGetParamName, index, 0, buf);
  return buf;
}

std::string PluginInstance::ParamDisplay(int index) {
  char buf[256] = {};
  Dispatch(effGetParamDisplay, index, 0, buf);
  return buf;
}

std::string PluginInstance::ParamLabel(int index) {
  char buf[256] = {};
  Dispatch(effGetParamLabel, index, 0, buf);
  return buf;
}

std::string PluginInstance::EffectName() {
  char buf[256] = {};
  Dispatch(effGetEffectName, 0, 0, buf);
  return buf;
}

void PluginInstance::SetStreamFormat(double sampleRate, int maxBlockFrames) {
  sampleRate_ = sampleRate;
  blockFrames_ = maxBlockFrames;
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, maxBlockFrames);
}

std::vector<uint8_t> PluginInstance::GetProgramChunk() {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 1, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool PluginInstance::SetProgramChunk(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> copy = data;  // the plug-in may keep the pointer only during the call
  return Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(copy.size()), copy.data()) != 0;
}

void PluginInstance::Resume() {
  Dispatch(effMainsChanged, 0, 1);
  Dispatch(effStartProcess);
  resumed_ = true;
}

void PluginInstance::Suspend() {
  Dispatch(effStopProcess);
  Dispatch(effMainsChanged, 0, 0);
  resumed_ = false;
}

void PluginInstance::Process(float** inputs, float** outputs, int frames) {
  processing_ = true;
  const auto t0 = std::chrono::steady_clock::now();
  effect_->processReplacing(effect_, inputs, outputs, frames);
  processSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  processing_ = false;
  if (transport_) transport_->SetPosition(transport_->Position() + frames);
}

void PluginInstance::Process(double** inputs, double** outputs, int frames) {
  processing_ = true;
  const auto t0 = std::chrono::steady_clock::now();
  effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
  processSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  processing_ = false;
  if (transport_) transport_->SetPosition(transport_->Position() + frames);
}

VstIntPtr PluginInstance::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                       VstIntPtr value, void* ptr, float opt) {
  PluginInstance* self = nullptr;
  if (effect && effect->resvd1)
    self = reinterpret_cast<PluginInstance*>(effect->resvd1);
  else
    self = tConstructing;
  if (self) return self->OnRequest(opcode, index, value, ptr, opt);
  // No instance known (a call with a foreign record): answer what needs none.
  if (opcode == audioMasterVersion) return kVstVersion;
  return 0;
}

VstIntPtr PluginInstance::OnRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
  (void)index;
  (void)value;
  (void)opt;
  switch (opcode) {
    case audioMasterVersion:
      return kVstVersion;
    case audioMasterCurrentId:
      return 0;
    case audioMasterIdle:
      return 0;
    case audioMasterGetTime:
      return transport_ ? reinterpret_cast<VstIntPtr>(transport_->TimeInfo()) : 0;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize:
      return blockFrames_;
    case audioMasterGetInputLatency:
    case audioMasterGetOutputLatency:
      return 0;
    case audioMasterGetCurrentProcessLevel:
      return processing_ ? kVstProcessLevelOffline : kVstProcessLevelUser;
    case audioMasterGetAutomationState:
      return 1;  // automation off
    case audioMasterGetVendorString:
      CopyText(ptr, kHostVendor, kVstMaxVendorStrLen);
      return 1;
    case audioMasterGetProductString:
      CopyText(ptr, kHostProduct, kVstMaxProductStrLen);
      return 1;
    case audioMasterGetVendorVersion:
      return kHostVersion;
    case audioMasterGetLanguage:
      return 1;  // English
    case audioMasterCanDo: {
      if (!ptr) return 0;
      const char* what = static_cast<const char*>(ptr);
      if (std::strcmp(what, "sendVstTimeInfo") == 0) return 1;
      if (std::strcmp(what, "sizeWindow") == 0 || std::strcmp(what, "openFileSelector") == 0)
        return -1;
      return 0;
    }
    // Accepted and ignored: nobody watches automation, edit gestures or a
    // display; MIDI the plug-in sends goes nowhere.
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
    case audioMasterIOChanged:
      return 1;
    case audioMasterProcessEvents:
      return 0;
    default:
      return 0;
  }
}

#include "TestHost.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace qwtest {

namespace {
// The host whose entry call is running on this thread: requests made before
// the instance record exists arrive with a null record.
thread_local TestHost* t_creating = nullptr;

template <typename T>
std::vector<T*> Pointers(std::vector<std::vector<T>>& channels) {
  std::vector<T*> p;
  for (auto& c : channels) p.push_back(c.data());
  return p;
}
}  // namespace

std::string PluginPath() {
  if (const char* env = std::getenv("QW_PLUGIN_PATH"); env && *env) return env;
  return QW_PLUGIN_PATH;
}

TestHost::TestHost(const std::string& libraryPath) : library_(libraryPath) {}
TestHost::~TestHost() = default;

vst::AEffect* TestHost::Create(const char* entry) {
  return Create(reinterpret_cast<vst::PluginEntryProc>(library_.Symbol(entry)));
}

vst::AEffect* TestHost::Create(vst::PluginEntryProc entry) {
  if (!entry) return nullptr;
  TestHost* previous = t_creating;
  t_creating = this;
  vst::AEffect* e = entry(&TestHost::Callback);
  t_creating = previous;
  if (e) e->user = this;
  return e;
}

void TestHost::SetProductString(const std::string& s) {
  std::lock_guard lock(mutex_);
  product_ = s;
}
void TestHost::SetVendorVersion(intptr_t v) {
  std::lock_guard lock(mutex_);
  vendorVersion_ = v;
}
void TestHost::SetProcessLevel(intptr_t level) {
  std::lock_guard lock(mutex_);
  processLevel_ = level;
}
void TestHost::SetProcessEventsAnswer(intptr_t answer) {
  std::lock_guard lock(mutex_);
  processEventsAnswer_ = answer;
}
void TestHost::SetTransport(const vst::VstTimeInfo& info, bool answer) {
  std::lock_guard lock(mutex_);
  transport_ = info;
  answerTime_ = answer;
}

void TestHost::SetTimeQueryHook(std::function<void(vst::AEffect*)> hook) {
  std::lock_guard lock(mutex_);
  timeQueryHook_ = std::move(hook);
}

void TestHost::SetEditHook(std::function<void(vst::AEffect*, vst::VstInt32)> hook) {
  std::lock_guard lock(mutex_);
  editHook_ = std::move(hook);
}

std::vector<HostCall> TestHost::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<HostCall> TestHost::CallsOf(int32_t opcode, const vst::AEffect* effect) const {
  std::lock_guard lock(mutex_);
  std::vector<HostCall> out;
  for (const auto& c : calls_)
    if (c.opcode == opcode && (!effect || c.effect == effect)) out.push_back(c);
  return out;
}

void TestHost::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

vst::VstIntPtr TestHost::Callback(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                                  vst::VstIntPtr value, void* ptr, float opt) {
  TestHost* host = (effect && effect->user) ? static_cast<TestHost*>(effect->user) : t_creating;
  if (!host) return 0;
  if (opcode == vst::audioMasterGetTime) {
    // The hook may call the plug-in, which may call back here: it runs
    // without the host's lock held.
    std::function<void(vst::AEffect*)> hook;
    {
      std::lock_guard lock(host->mutex_);
      hook = host->timeQueryHook_;
    }
    if (hook) hook(effect);
  }
  const vst::VstIntPtr answer = host->Answer(effect, opcode, index, value, ptr, opt);
  if (opcode == vst::audioMasterBeginEdit || opcode == vst::audioMasterAutomate ||
      opcode == vst::audioMasterEndEdit) {
    std::function<void(vst::AEffect*, vst::VstInt32)> hook;
    {
      std::lock_guard lock(host->mutex_);
      hook = host->editHook_;
    }
    if (hook) hook(effect, opcode);
  }
  return answer;
}

vst::VstIntPtr TestHost::Answer(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                                vst::VstIntPtr value, void* ptr, float opt) {
  std::lock_guard lock(mutex_);
  HostCall call;
  call.effect = effect;
  call.opcode = opcode;
  call.index = index;
  call.value = value;
  call.opt = opt;
  call.hadPtr = ptr != nullptr;
  if (opcode == vst::audioMasterProcessEvents && ptr) {
    auto* list = static_cast<vst::VstEvents*>(ptr);
    for (int i = 0; i < list->numEvents; ++i) {
      const vst::VstEvent* ev = list->events[i];
      if (!ev) continue;
      RecordedEvent r;
      r.type = ev->type;
      r.byteSize = ev->byteSize;
      r.deltaFrames = ev->deltaFrames;
      r.flags = ev->flags;
      if (ev->type == vst::kVstMidiType) {
        auto* m = reinterpret_cast<const vst::VstMidiEvent*>(ev);
        std::memcpy(r.midi, m->midiData, 4);
      } else if (ev->type == vst::kVstSysExType) {
        auto* s = reinterpret_cast<const vst::VstMidiSysexEvent*>(ev);
        if (s->sysexDump && s->dumpBytes > 0)
          r.sysex.assign(s->sysexDump, s->sysexDump + s->dumpBytes);
      }
      call.events.push_back(std::move(r));
    }
  }
  calls_.push_back(std::move(call));

  switch (opcode) {
    case vst::audioMasterVersion:
      return vst::kVstVersion;
    case vst::audioMasterGetProductString:
      if (ptr) {
        std::strncpy(static_cast<char*>(ptr), product_.c_str(), vst::kVstMaxProductStrLen - 1);
        static_cast<char*>(ptr)[vst::kVstMaxProductStrLen - 1] = 0;
      }
      return ptr ? 1 : 0;
    case vst::audioMasterGetVendorVersion:
      return vendorVersion_;
    case vst::audioMasterGetCurrentProcessLevel:
      return processLevel_;
    case vst::audioMasterProcessEvents:
      return processEventsAnswer_;
    case vst::audioMasterGetTime:
      if (!answerTime_) return 0;
      {
        // One record per asking thread, valid until that thread asks again.
        thread_local vst::VstTimeInfo handedOut;
        handedOut = transport_;
        return reinterpret_cast<vst::VstIntPtr>(&handedOut);
      }
    case vst::audioMasterAutomate:
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit:
    case vst::audioMasterUpdateDisplay:
      return 1;
    default:
      return 0;
  }
}

Instance::Instance(TestHost& host, const char* entry) : effect_(host.Create(entry)) {}

Instance::Instance(TestHost& host, vst::PluginEntryProc entry) : effect_(host.Create(entry)) {}

Instance::~Instance() { Close(); }

vst::VstIntPtr Instance::Dispatch(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                                  void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Instance::Start(float sampleRate, int32_t blockSize) {
  Dispatch(vst::effOpen);
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, sampleRate);
  Dispatch(vst::effSetBlockSize, 0, blockSize);
  Dispatch(vst::effMainsChanged, 0, 1);
}

std::string Instance::Text(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr* result) {
  char buffer[512] = {};
  vst::VstIntPtr r = Dispatch(opcode, index, 0, buffer);
  if (result) *result = r;
  buffer[sizeof buffer - 1] = 0;
  return buffer;
}

vst::ERect Instance::EditorRect() {
  vst::ERect* rect = nullptr;
  if (Dispatch(vst::effEditGetRect, 0, 0, &rect) != 1 || !rect) return {};
  return *rect;
}

bool Instance::OpenEditor(void* parent) { return Dispatch(vst::effEditOpen, 0, 0, parent) == 1; }

void Instance::CloseEditor() { Dispatch(vst::effEditClose); }

void Instance::SetParameter(int32_t index, float value) {
  effect_->setParameter(effect_, index, value);
}

float Instance::GetParameter(int32_t index) { return effect_->getParameter(effect_, index); }

void Instance::ProcessReplacing(std::vector<std::vector<float>>& in,
                                std::vector<std::vector<float>>& out, int32_t frames) {
  auto i = Pointers(in);
  auto o = Pointers(out);
  effect_->processReplacing(effect_, i.data(), o.data(), frames);
}

void Instance::ProcessAccumulating(std::vector<std::vector<float>>& in,
                                   std::vector<std::vector<float>>& out, int32_t frames) {
  auto i = Pointers(in);
  auto o = Pointers(out);
  effect_->process(effect_, i.data(), o.data(), frames);
}

void Instance::ProcessDouble(std::vector<std::vector<double>>& in,
                             std::vector<std::vector<double>>& out, int32_t frames) {
  auto i = Pointers(in);
  auto o = Pointers(out);
  effect_->processDoubleReplacing(effect_, i.data(), o.data(), frames);
}

std::vector<uint8_t> Instance::GetChunk(bool bank) {
  void* data = nullptr;
  vst::VstIntPtr size = Dispatch(vst::effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return {};
  auto* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}

vst::VstIntPtr Instance::SetChunk(const std::vector<uint8_t>& data, bool bank) {
  // A private copy, as a host hands over its own buffer; never a null
  // pointer, even for an empty chunk.
  std::vector<uint8_t> copy = data;
  copy.reserve(1);
  return Dispatch(vst::effSetChunk, bank ? 0 : 1, static_cast<vst::VstIntPtr>(copy.size()),
                  copy.data());
}

void Instance::Close() {
  if (effect_) {
    effect_->dispatcher(effect_, vst::effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
  }
}

std::string EditsOf(const TestHost& host, const Instance& fx, int param) {
  std::string s;
  for (const HostCall& c : host.Calls()) {
    if (c.effect != fx.Effect() || c.index != param) continue;
    if (c.opcode == vst::audioMasterBeginEdit) s += 'B';
    if (c.opcode == vst::audioMasterAutomate) s += 'A';
    if (c.opcode == vst::audioMasterEndEdit) s += 'E';
  }
  return s;
}

float LastAutomated(const TestHost& host, const Instance& fx, int param) {
  float v = -1.0f;
  for (const HostCall& c : host.CallsOf(vst::audioMasterAutomate, fx.Effect()))
    if (c.index == param) v = c.opt;
  return v;
}

}  // namespace qwtest

#include "Vst3TestHost.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace vst3;

namespace qwtest {

std::string Vst3ModulePath() {
  if (const char* env = std::getenv("QW_VST3_MODULE_PATH"); env && *env) return env;
  return QW_VST3_MODULE_PATH;
}

std::string Narrow(const char16_t* text) {
  std::string s;
  for (; text && *text; ++text) s += *text < 0x80 ? char(*text) : '?';
  return s;
}

void Widen(const char* text, char16_t* out) {
  size_t n = 0;
  for (; text[n] && n < 127; ++n) out[n] = char16_t(static_cast<unsigned char>(text[n]));
  out[n] = 0;
}

// ---- host application ----

tresult HostApplication::getName(char16_t* name) {
  if (!name) return kInvalidArgument;
  Widen(kName, name);
  return kResultOk;
}

tresult HostApplication::createInstance(char*, char*, void** obj) {
  if (obj) *obj = nullptr;
  return kNoInterface;
}

// ---- component handler ----

void ComponentHandler::Record(Call::Kind kind, ParamID id, double value) {
  std::lock_guard lock(mutex_);
  calls_.push_back({kind, id, value, std::this_thread::get_id()});
}

tresult ComponentHandler::beginEdit(ParamID id) {
  Record(Call::kBegin, id, 0.0);
  return kResultOk;
}

tresult ComponentHandler::performEdit(ParamID id, ParamValue value) {
  Record(Call::kPerform, id, value);
  return kResultOk;
}

tresult ComponentHandler::endEdit(ParamID id) {
  Record(Call::kEnd, id, 0.0);
  return kResultOk;
}

tresult ComponentHandler::restartComponent(int32_t flags) {
  Record(Call::kRestart, 0, flags);
  return kResultOk;
}

std::vector<ComponentHandler::Call> ComponentHandler::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void ComponentHandler::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

// ---- memory stream ----

int32_t MemoryStream::Transfer(int32_t wanted) const {
  return limit_ > 0 ? std::min(wanted, limit_) : wanted;
}

tresult MemoryStream::read(void* buffer, int32_t numBytes, int32_t* numBytesRead) {
  if (numBytesRead) *numBytesRead = 0;
  if (!buffer || numBytes < 0) return kInvalidArgument;
  const int64_t left = std::max<int64_t>(int64_t(bytes_.size()) - position_, 0);
  const int32_t n = Transfer(int32_t(std::min<int64_t>(numBytes, left)));
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, size_t(n));
  position_ += n;
  if (numBytesRead) *numBytesRead = n;
  return kResultOk;
}

tresult MemoryStream::write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) {
  if (numBytesWritten) *numBytesWritten = 0;
  if (!buffer || numBytes < 0) return kInvalidArgument;
  const int32_t n = Transfer(numBytes);
  if (size_t(position_) + size_t(n) > bytes_.size()) bytes_.resize(size_t(position_) + size_t(n));
  std::memcpy(bytes_.data() + position_, buffer, size_t(n));
  position_ += n;
  if (numBytesWritten) *numBytesWritten = n;
  return kResultOk;
}

tresult MemoryStream::seek(int64_t pos, int32_t mode, int64_t* result) {
  int64_t base = 0;
  if (mode == kSeekCur) base = position_;
  if (mode == kSeekEnd) base = int64_t(bytes_.size());
  if (mode < kSeekSet || mode > kSeekEnd || base + pos < 0) return kInvalidArgument;
  position_ = base + pos;
  if (result) *result = position_;
  return kResultOk;
}

tresult MemoryStream::tell(int64_t* pos) {
  if (!pos) return kInvalidArgument;
  *pos = position_;
  return kResultOk;
}

// ---- parameter changes ----

tresult ParamValueQueue::getPoint(int32_t index, int32_t* sampleOffset, ParamValue* value) {
  if (index < 0 || index >= count_ || !sampleOffset || !value) return kInvalidArgument;
  *sampleOffset = points_[index].offset;
  *value = points_[index].value;
  return kResultOk;
}

tresult ParamValueQueue::addPoint(int32_t sampleOffset, ParamValue value, int32_t* index) {
  int32_t at = 0;
  while (at < count_ && points_[at].offset < sampleOffset) ++at;
  if (at < count_ && points_[at].offset == sampleOffset) {
    points_[at].value = value;
  } else {
    if (count_ == kCapacity) return kResultFalse;
    for (int32_t i = count_; i > at; --i) points_[i] = points_[i - 1];
    points_[at] = {sampleOffset, value};
    ++count_;
  }
  if (index) *index = at;
  return kResultOk;
}

IParamValueQueue* ParameterChanges::getParameterData(int32_t index) {
  return index >= 0 && index < count_ ? &queues_[index] : nullptr;
}

IParamValueQueue* ParameterChanges::addParameterData(const ParamID* id, int32_t* index) {
  if (!id) return nullptr;
  int32_t at = 0;
  while (at < count_ && queues_[at].getParameterId() != *id) ++at;
  if (at == count_) {
    if (count_ == kCapacity) return nullptr;
    queues_[count_++].Reset(*id);
  }
  if (index) *index = at;
  return &queues_[at];
}

bool ParameterChanges::Add(ParamID id, int32_t offset, double value) {
  IParamValueQueue* queue = addParameterData(&id, nullptr);
  return queue && queue->addPoint(offset, value, nullptr) == kResultOk;
}

// ---- frame and run loop ----

tresult HostFrame::queryInterface(const char* iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (iid::kFUnknown.Is(iid) || iid::kPlugFrame.Is(iid)) *obj = static_cast<IPlugFrame*>(this);
#ifndef _WIN32
  if (iid::kRunLoop.Is(iid)) *obj = static_cast<IRunLoop*>(this);
#endif
  if (!*obj) return kNoInterface;
  addRef();
  return kResultOk;
}

tresult HostFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (!view || !newSize) return kInvalidArgument;
  // The host's window takes the size, then tells the view.
  return view->onSize(newSize);
}

tresult HostFrame::registerEventHandler(IEventHandler* handler, int fd) {
  if (!handler || fd < 0) return kInvalidArgument;
  handler->addRef();
  handlers_.push_back(handler);
  fds_.push_back(fd);
  return kResultOk;
}

tresult HostFrame::unregisterEventHandler(IEventHandler* handler) {
  const auto it = std::find(handlers_.begin(), handlers_.end(), handler);
  if (!handler || it == handlers_.end()) return kInvalidArgument;
  fds_.erase(fds_.begin() + (it - handlers_.begin()));
  handlers_.erase(it);
  handler->release();
  return kResultOk;
}

tresult HostFrame::registerTimer(ITimerHandler* handler, uint64_t milliseconds) {
  if (!handler || milliseconds == 0) return kInvalidArgument;
  for (const Timer& t : timers_)
    if (t.handler == handler) return kInvalidArgument;
  handler->addRef();
  timers_.push_back({handler, milliseconds});
  ++timerRegistrations_;
  return kResultOk;
}

tresult HostFrame::unregisterTimer(ITimerHandler* handler) {
  const auto it = std::find_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return t.handler == handler; });
  if (!handler || it == timers_.end()) return kInvalidArgument;
  timers_.erase(it);
  handler->release();
  return kResultOk;
}

void HostFrame::FireTimers() {
  // A handler may unregister itself or another from inside its call.
  const std::vector<vst3::IEventHandler*> handlers = handlers_;
  for (vst3::IEventHandler* h : handlers) h->addRef();
  for (size_t i = 0; i < handlers.size(); ++i) handlers[i]->onFDIsSet(fds_[i]);
  for (vst3::IEventHandler* h : handlers) h->release();
  const std::vector<Timer> now = timers_;
  for (const Timer& t : now) t.handler->addRef();
  for (const Timer& t : now) t.handler->onTimer();
  for (const Timer& t : now) t.handler->release();
}

// ---- module ----

Vst3Module::Vst3Module(const std::string& path) : library_(path) {
  if (!library_.Loaded()) {
    error_ = library_.Error();
    return;
  }
#ifdef _WIN32
  const char* entryName = "InitDll";
  auto entry = reinterpret_cast<bool (*)()>(library_.Symbol(entryName));
  auto exit = reinterpret_cast<bool (*)()>(library_.Symbol("ExitDll"));
#else
  const char* entryName = "ModuleEntry";
  auto entry = reinterpret_cast<bool (*)(void*)>(library_.Symbol(entryName));
  auto exit = reinterpret_cast<bool (*)()>(library_.Symbol("ModuleExit"));
#endif
  auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(library_.Symbol("GetPluginFactory"));
  if (!entry || !getFactory || !exit) {
    error_ = "the module lacks an entry point";
    return;
  }
#ifdef _WIN32
  const bool entered = entry();
#else
  const bool entered = entry(library_.Handle());
#endif
  if (!entered) {
    error_ = std::string(entryName) + " refused";
    return;
  }
  exit_ = exit;
  factory_ = getFactory();
  if (!factory_) {
    error_ = "no factory";
    return;
  }
  void* f3 = nullptr;
  if (factory_->queryInterface(iid::kPluginFactory3.Data(), &f3) == kResultOk)
    factory3_ = static_cast<IPluginFactory3*>(f3);
  PClassInfo info{};
  if (factory_->countClasses() > 0 && factory_->getClassInfo(0, &info) == kResultOk)
    std::memcpy(classId_, info.cid, sizeof classId_);
}

// The library itself is unloaded after this, as the member goes.
Vst3Module::~Vst3Module() {
  if (factory3_) factory3_->release();
  if (factory_) factory_->release();
  if (exit_) exit_();
}

// ---- instance ----

Vst3Instance::Vst3Instance(Vst3Module& module) {
  if (!module.Loaded()) return;
  void* obj = nullptr;
  if (module.Factory()->createInstance(module.ClassId(), iid::kComponent.Data(), &obj) !=
          kResultOk ||
      !obj)
    return;
  component_ = static_cast<IComponent*>(obj);
  if (component_->initialize(&host_) != kResultOk) {
    // A refused initialize is not followed by terminate.
    lastCount_ = component_->release();
    component_ = nullptr;
    return;
  }
  if (component_->queryInterface(iid::kAudioProcessor.Data(), &obj) == kResultOk)
    processor_ = static_cast<IAudioProcessor*>(obj);
  if (component_->queryInterface(iid::kEditController.Data(), &obj) == kResultOk)
    controller_ = static_cast<IEditController*>(obj);
  if (!controller_) return;
  controller_->setComponentHandler(&handler_);
  MemoryStream state;
  if (component_->getState(&state) == kResultOk) {
    state.seek(0, IBStream::kSeekSet, nullptr);
    controller_->setComponentState(&state);
  }
}

Vst3Instance::~Vst3Instance() { Close(); }

bool Vst3Instance::Start(double sampleRate, int32_t maxBlock, int32_t sampleSize) {
  if (!Ok()) return false;
  bool ok = component_->activateBus(kAudio, kInput, 0, 1) == kResultOk &&
            component_->activateBus(kAudio, kOutput, 0, 1) == kResultOk;
  ProcessSetup setup{kRealtime, sampleSize, maxBlock, sampleRate};
  ok = processor_->setupProcessing(&setup) == kResultOk && ok;
  ok = component_->setActive(1) == kResultOk && ok;
  ok = processor_->setProcessing(1) == kResultOk && ok;
  started_ = true;
  context_.sampleRate = sampleRate;
  return ok;
}

void Vst3Instance::Stop() {
  if (!started_) return;
  processor_->setProcessing(0);
  component_->setActive(0);
  started_ = false;
}

template <class Sample>
tresult Vst3Instance::Run(Sample** in, Sample** out, int32_t channels, int32_t frames,
                          int32_t sampleSize) {
  AudioBusBuffers input{}, output{};
  input.numChannels = output.numChannels = channels;
  if constexpr (sizeof(Sample) == sizeof(float)) {
    input.channelBuffers32 = in;
    output.channelBuffers32 = out;
  } else {
    input.channelBuffers64 = in;
    output.channelBuffers64 = out;
  }
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = sampleSize;
  data.numSamples = frames;
  data.numInputs = in ? 1 : 0;
  data.numOutputs = out ? 1 : 0;
  data.inputs = in ? &input : nullptr;
  data.outputs = out ? &output : nullptr;
  data.inputParameterChanges = &changes_;
  data.processContext = useContext_ ? &context_ : nullptr;
  const tresult result = processor_->process(&data);
  changes_.Clear();
  return result;
}

tresult Vst3Instance::Process(float** in, float** out, int32_t channels, int32_t frames) {
  return Run(in, out, channels, frames, kSample32);
}

tresult Vst3Instance::Process(double** in, double** out, int32_t channels, int32_t frames) {
  return Run(in, out, channels, frames, kSample64);
}

tresult Vst3Instance::Flush() { return Run<float>(nullptr, nullptr, 0, 0, kSample32); }

std::vector<uint8_t> Vst3Instance::State() {
  MemoryStream stream;
  if (component_->getState(&stream) != kResultOk) return {};
  return stream.Bytes();
}

tresult Vst3Instance::SetState(const std::vector<uint8_t>& bytes) {
  MemoryStream stream(bytes);
  const tresult result = component_->setState(&stream);
  if (result == kResultOk) {
    stream.seek(0, IBStream::kSeekSet, nullptr);
    controller_->setComponentState(&stream);
  }
  return result;
}

uint32_t Vst3Instance::Close() {
  if (!component_) return lastCount_;
  Stop();
  if (controller_) controller_->setComponentHandler(nullptr);
  component_->terminate();
  if (controller_) controller_->release();
  if (processor_) processor_->release();
  lastCount_ = component_->release();
  component_ = nullptr;
  processor_ = nullptr;
  controller_ = nullptr;
  return lastCount_;
}

}  // namespace qwtest

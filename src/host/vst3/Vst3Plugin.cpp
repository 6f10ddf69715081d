#include "host/vst3/Vst3Plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "host/DenormalGuard.h"
#include "host/vst3/Vst3Text.h"
#include "host/vst3/Vst3View.h"

using namespace vst3;

namespace {

// A block's changes of one parameter, read point by point. No member
// initialisers: a block's array of them is filled only as far as used.
struct ChangeCursor {
  IParamValueQueue* queue;
  int32_t index;  // parameter index
  int32_t points;
  int32_t next;   // the next point to apply
  int32_t offset; // its sample offset
  double value;

  bool Load() {
    while (next < points) {
      int32_t at = 0;
      double v = 0.0;
      if (queue->getPoint(next, &at, &v) == kResultOk) {
        offset = at;
        value = v;
        return true;
      }
      ++next;
    }
    return false;
  }
};

constexpr int kMaxQueues = 64;

}  // namespace

Vst3Plugin* Vst3Plugin::Create(IEffectCore* (*make)()) {
  if (!make) return nullptr;
  try {
    std::unique_ptr<IEffectCore> core(make());
    if (!core) return nullptr;
    core->InitializeUndefinedPresets();
    return new Vst3Plugin(std::move(core));
  } catch (...) {
    return nullptr;
  }
}

Vst3Plugin::Vst3Plugin(std::unique_ptr<IEffectCore> core) : core_(std::move(core)) {
  for (int32_t i = 0; i < core_->InputCount(); ++i) core_->InputBinding(i)->connected = true;
  for (int32_t i = 0; i < core_->OutputCount(); ++i) core_->OutputBinding(i)->connected = true;
  core_->SetBlockFrames(1024);
  core_->ConnectHost(this);
}

Vst3Plugin::~Vst3Plugin() {
  core_->ConnectHost(nullptr);
  core_.reset();
}

// ---- FUnknown ----

tresult Vst3Plugin::queryInterface(const char* id, void** obj) {
  if (!obj) return kInvalidArgument;
  void* found = nullptr;
  if (iid::kFUnknown.Is(id) || iid::kPluginBase.Is(id) || iid::kComponent.Is(id)) {
    found = static_cast<IComponent*>(this);
  } else if (iid::kAudioProcessor.Is(id)) {
    found = static_cast<IAudioProcessor*>(this);
  } else if (iid::kProcessContextRequirements.Is(id)) {
    found = static_cast<IProcessContextRequirements*>(this);
  } else if (iid::kEditController.Is(id)) {
    found = static_cast<IEditController*>(this);
  }
  *obj = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32_t Vst3Plugin::addRef() { return ++references_; }

uint32_t Vst3Plugin::release() {
  const uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

// ---- IPluginBase ----

tresult Vst3Plugin::initialize(FUnknown*) {
  // The values apply once, as an opened plug-in has them.
  IEffectCore::Hold hold(*core_);
  core_->AfterHostPreparation();
  for (int32_t i = 0; i < core_->ParameterCount(); ++i) core_->ParamChanged(i);
  return kResultOk;
}

tresult Vst3Plugin::terminate() {
  setComponentHandler(nullptr);
  return kResultOk;
}

// ---- IComponent ----

tresult Vst3Plugin::getControllerClassId(char*) { return kNotImplemented; }

tresult Vst3Plugin::setIoMode(int32_t) { return kResultOk; }

int32_t Vst3Plugin::getBusCount(int32_t type, int32_t dir) {
  return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult Vst3Plugin::getBusInfo(int32_t type, int32_t dir, int32_t index, BusInfo* bus) {
  if (!bus || type != kAudio || index != 0 || (dir != kInput && dir != kOutput))
    return kInvalidArgument;
  std::memset(bus, 0, sizeof *bus);
  bus->mediaType = kAudio;
  bus->direction = dir;
  IEffectCore::Hold hold(*core_);
  bus->channelCount = dir == kInput ? inputChannels_ : outputChannels_;
  CopyUtf16(bus->name, dir == kInput ? "Input" : "Output", 128);
  bus->busType = kMain;
  bus->flags = kDefaultActive;
  return kResultOk;
}

tresult Vst3Plugin::getRoutingInfo(RoutingInfo*, RoutingInfo*) { return kNotImplemented; }

tresult Vst3Plugin::activateBus(int32_t type, int32_t, int32_t index, TBool) {
  return type == kAudio && index == 0 ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::setActive(TBool state) {
  IEffectCore::Hold hold(*core_);
  if (state) {
    core_->ActivationChanged(true);
  } else {
    core_->ActivationChanged(false);
    core_->Reset();
  }
  return kResultOk;
}

tresult Vst3Plugin::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  IEffectCore::Hold hold(*core_);
  if (!core_->SaveProgramState(chunk_)) return kInternalError;
  int32_t done = 0;
  while (done < chunk_.Size()) {
    int32_t written = 0;
    if (state->write(chunk_.Data() + done, chunk_.Size() - done, &written) != kResultOk ||
        written <= 0)
      return kInternalError;
    done += written;
  }
  return kResultOk;
}

tresult Vst3Plugin::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  // Read whole before anything changes; a stream beyond any state of ours
  // is not one.
  StateChunk chunk;
  char buffer[4096];
  int64_t total = 0;
  while (true) {
    int32_t got = 0;
    if (state->read(buffer, int32_t(sizeof buffer), &got) != kResultOk || got <= 0) break;
    total += got;
    if (total > kMaxStateBytes || chunk.Put(buffer, got) != total) return kResultFalse;
  }
  IEffectCore::Hold hold(*core_);
  return core_->LoadProgramState(chunk) < 0 ? kResultFalse : kResultOk;
}

// ---- IAudioProcessor ----

tresult Vst3Plugin::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                       SpeakerArrangement* outputs, int32_t numOuts) {
  if (numIns != 1 || numOuts != 1 || !inputs || !outputs) return kResultFalse;
  const auto channels = [](SpeakerArrangement a) {
    return a == kSpeakerStereo ? 2 : (a == kSpeakerMono ? 1 : 0);
  };
  const int32_t in = channels(inputs[0]), out = channels(outputs[0]);
  IEffectCore::Hold hold(*core_);
  if (in == 0 || out == 0 || !core_->LegalIO(in, out)) {
    inputChannels_ = outputChannels_ = 2;
    return kResultFalse;
  }
  inputChannels_ = in;
  outputChannels_ = out;
  return kResultTrue;
}

tresult Vst3Plugin::getBusArrangement(int32_t dir, int32_t index, SpeakerArrangement* arr) {
  if (!arr || index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
  IEffectCore::Hold hold(*core_);
  *arr = (dir == kInput ? inputChannels_ : outputChannels_) == 1 ? kSpeakerMono : kSpeakerStereo;
  return kResultOk;
}

tresult Vst3Plugin::canProcessSampleSize(int32_t size) {
  return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
}

uint32_t Vst3Plugin::getLatencySamples() {
  IEffectCore::Hold hold(*core_);
  return uint32_t(std::max(core_->Latency(), 0));
}

tresult Vst3Plugin::setupProcessing(ProcessSetup* setup) {
  if (!setup) return kInvalidArgument;
  IEffectCore::Hold hold(*core_);
  processMode_ = setup->processMode;
  sampleSize_ = setup->symbolicSampleSize;
  // A rate that is not a positive number, or far beyond any audio rate,
  // keeps the one we have.
  if (std::isfinite(setup->sampleRate) && setup->sampleRate > 0.0 && setup->sampleRate <= 1e7)
    core_->SetSampleRate(setup->sampleRate);
  core_->SetBlockFrames(std::clamp(setup->maxSamplesPerBlock, 1, IEffectCore::kMaxBlockFrames));
  core_->Reset();
  return kResultOk;
}

tresult Vst3Plugin::setProcessing(TBool) { return kResultOk; }

uint32_t Vst3Plugin::getTailSamples() {
  IEffectCore::Hold hold(*core_);
  return uint32_t(std::max(core_->TailSize(), 0));
}

uint32_t Vst3Plugin::getProcessContextRequirements() {
  return kNeedProjectTimeMusic | kNeedBarPositionMusic | kNeedCycleMusic | kNeedTempo |
         kNeedTimeSignature | kNeedTransportState;
}

void Vst3Plugin::ApplyNormalized(int32_t index, double value) {
  IParameter* p = core_->GetParameter(index);
  // Not a number is no value; host values are normalised.
  if (!p || !std::isfinite(value)) return;
  value = std::clamp(value, 0.0, 1.0);
  core_->PushNormalizedToControls(index, value);
  p->SetFromNormalized(value);
  core_->ParamChanged(index);
}

tresult Vst3Plugin::process(ProcessData* data) {
  if (!data) return kInvalidArgument;
  try {
    DenormalGuard denormals;
    IEffectCore::Hold hold(*core_);
    // Hosts switch to and from offline rendering per call, not only
    // through setupProcessing.
    processMode_ = data->processMode;
    context_ = data->processContext;
    ProcessBlock(*data);
    context_ = nullptr;
  } catch (...) {
    context_ = nullptr;
    return kInternalError;
  }
  return kResultOk;
}

void Vst3Plugin::ProcessBlock(const ProcessData& data) {
  const int32_t frames = std::max(data.numSamples, 0);
  ChangeCursor cursors[kMaxQueues];
  int32_t count = 0;
  if (IParameterChanges* changes = data.inputParameterChanges) {
    const int32_t queues = changes->getParameterCount();
    for (int32_t q = 0; q < queues; ++q) {
      IParamValueQueue* queue = changes->getParameterData(q);
      if (!queue) continue;
      const ParamID id = queue->getParameterId();
      if (id >= ParamID(core_->ParameterCount())) continue;
      ChangeCursor c{queue, int32_t(id), queue->getPointCount(), 0, 0, 0.0};
      if (!c.Load()) continue;
      if (count < kMaxQueues) {
        cursors[count++] = c;
      } else {
        // More queues than parameters: only the last value counts.
        c.next = c.points - 1;
        if (c.Load()) ApplyNormalized(c.index, c.value);
      }
    }
  }
  int32_t done = 0;
  while (true) {
    // Every point at or before the current frame applies now.
    // Points beyond the block apply at its end.
    int32_t nextOffset = frames;
    for (int32_t i = 0; i < count; ++i) {
      ChangeCursor& c = cursors[i];
      while (c.next < c.points && std::min(c.offset, frames) <= done) {
        ApplyNormalized(c.index, c.value);
        ++c.next;
        if (!c.Load()) break;
      }
      if (c.next < c.points) nextOffset = std::min(nextOffset, std::min(c.offset, frames));
    }
    if (done >= frames) break;
    ProcessPart(data, done, nextOffset - done);
    done = nextOffset;
  }
  // A block of no frames is the host delivering values; the effect runs only
  // with audio.
}

void Vst3Plugin::ProcessPart(const ProcessData& data, int32_t offset, int32_t frames) {
  if (data.symbolicSampleSize == kSample64) {
    ProcessSamples<double>(data, offset, frames);
  } else {
    ProcessSamples<float>(data, offset, frames);
  }
}

namespace {
template <class Sample>
Sample** Channels(const AudioBusBuffers* bus);
template <>
float** Channels<float>(const AudioBusBuffers* bus) {
  return bus ? bus->channelBuffers32 : nullptr;
}
template <>
double** Channels<double>(const AudioBusBuffers* bus) {
  return bus ? bus->channelBuffers64 : nullptr;
}
}  // namespace

template <class Sample>
void Vst3Plugin::ProcessSamples(const ProcessData& data, int32_t offset, int32_t frames) {
  const AudioBusBuffers* inBus = data.numInputs > 0 ? data.inputs : nullptr;
  AudioBusBuffers* outBus = data.numOutputs > 0 ? data.outputs : nullptr;
  Sample** in = Channels<Sample>(inBus);
  Sample** out = Channels<Sample>(outBus);
  const int32_t inChannels = inBus ? std::min(inBus->numChannels, core_->InputCount()) : 0;
  const int32_t outChannels = outBus ? std::min(outBus->numChannels, core_->OutputCount()) : 0;

  int32_t capacity = core_->BlockSize();
  for (int32_t i = 0; i < core_->InputCount(); ++i)
    capacity = std::min(capacity, core_->InputBinding(i)->ScratchFrames());
  for (int32_t i = 0; i < core_->OutputCount(); ++i)
    capacity = std::min(capacity, core_->OutputBinding(i)->ScratchFrames());
  if (capacity <= 0) return;

  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(capacity, frames - done);
    const int32_t at = offset + done;
    for (int32_t i = 0; i < core_->InputCount(); ++i) {
      ChannelBinding* b = core_->InputBinding(i);
      const Sample* source = (in && i < inChannels) ? in[i] : nullptr;
      double* scratch = b->Scratch();
      if constexpr (sizeof(Sample) == sizeof(double)) {
        // The host's own 64-bit buffer, read where it lies; a channel it
        // left out reads silence.
        if (source) {
          *b->slot = const_cast<double*>(source) + at;
          continue;
        }
      }
      if (source) {
        for (int32_t f = 0; f < n; ++f) scratch[f] = source[at + f];
      } else {
        std::fill(scratch, scratch + n, 0.0);
      }
      *b->slot = scratch;
    }
    for (int32_t i = 0; i < core_->OutputCount(); ++i) {
      ChannelBinding* b = core_->OutputBinding(i);
      Sample* target = (out && i < outChannels) ? out[i] : nullptr;
      if constexpr (sizeof(Sample) == sizeof(double)) {
        if (target) {
          *b->slot = target + at;
          continue;
        }
      }
      *b->slot = b->Scratch();
    }
    core_->SetHostSlice({at, std::max(data.numSamples, 0)});
    core_->ProcessDoubles(core_->InputData(), core_->OutputData(), n);
    if constexpr (sizeof(Sample) != sizeof(double)) {
      for (int32_t i = 0; i < outChannels; ++i) {
        Sample* target = out ? out[i] : nullptr;
        const double* result = *core_->OutputBinding(i)->slot;
        if (!target) continue;
        if (result) {
          for (int32_t f = 0; f < n; ++f) target[at + f] = static_cast<Sample>(result[f]);
        } else {
          std::fill(target + at, target + at + n, Sample(0));
        }
      }
    }
    done += n;
  }
  core_->SetHostSlice({});
  if (outBus) outBus->silenceFlags = 0;
}

// ---- IEditController ----

tresult Vst3Plugin::setComponentState(IBStream*) {
  // The component and the controller share one set of values, which the
  // component's setState has set already.
  return kResultOk;
}

tresult Vst3Plugin::setControllerState(IBStream*) { return kResultOk; }

tresult Vst3Plugin::getControllerState(IBStream*) { return kResultOk; }

int32_t Vst3Plugin::getParameterCount() { return core_->ParameterCount(); }

tresult Vst3Plugin::getParameterInfo(int32_t index, ParameterInfo* info) {
  if (!info) return kInvalidArgument;
  IEffectCore::Hold hold(*core_);
  const IParameter* p = core_->GetParameter(index);
  if (!p) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  info->id = ParamID(index);
  CopyUtf16(info->title, p->Name(), 128);
  CopyUtf16(info->shortTitle, p->Name(), 128);
  CopyUtf16(info->units, p->Label(), 128);
  info->stepCount = p->StepCount();
  info->defaultNormalizedValue = p->NormalizedOf(p->Default());
  info->unitId = 0;
  info->flags = ParameterInfo::kCanAutomate;
  if (index == core_->BypassParameter()) info->flags |= ParameterInfo::kIsBypass;
  return kResultOk;
}

tresult Vst3Plugin::getParamStringByValue(ParamID id, ParamValue value, char16_t* string) {
  if (!string) return kInvalidArgument;
  IEffectCore::Hold hold(*core_);
  const IParameter* p = core_->GetParameter(int32_t(id));
  if (!p || !std::isfinite(value)) return kInvalidArgument;
  char text[IParameter::kTextSize];
  p->DisplayForHostNormalized(std::clamp(value, 0.0, 1.0), text, sizeof text);
  CopyUtf16(string, text, 128);
  return kResultOk;
}

tresult Vst3Plugin::getParamValueByString(ParamID id, char16_t* string, ParamValue* value) {
  if (!string || !value) return kInvalidArgument;
  IEffectCore::Hold hold(*core_);
  const IParameter* p = core_->GetParameter(int32_t(id));
  if (!p) return kInvalidArgument;
  char text[IParameter::kTextSize];
  CopyFromUtf16(text, string, sizeof text);
  double v = 0.0;
  if (!p->ValueFromText(text, &v)) return kResultFalse;
  *value = p->NormalizedOf(v);
  return kResultOk;
}

ParamValue Vst3Plugin::normalizedParamToPlain(ParamID id, ParamValue value) {
  IEffectCore::Hold hold(*core_);
  const IParameter* p = core_->GetParameter(int32_t(id));
  return p && std::isfinite(value) ? p->ValueFromNormalized(std::clamp(value, 0.0, 1.0)) : 0.0;
}

ParamValue Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plain) {
  IEffectCore::Hold hold(*core_);
  const IParameter* p = core_->GetParameter(int32_t(id));
  return p && std::isfinite(plain) ? p->NormalizedOf(plain) : 0.0;
}

ParamValue Vst3Plugin::getParamNormalized(ParamID id) {
  IEffectCore::Hold hold(*core_);
  const IParameter* p = core_->GetParameter(int32_t(id));
  return p ? p->NormalizedFromValue() : 0.0;
}

tresult Vst3Plugin::setParamNormalized(ParamID id, ParamValue value) {
  IEffectCore::Hold hold(*core_);
  if (!core_->GetParameter(int32_t(id)) || !std::isfinite(value)) return kInvalidArgument;
  ApplyNormalized(int32_t(id), value);
  return kResultOk;
}

tresult Vst3Plugin::setComponentHandler(IComponentHandler* handler) {
  IComponentHandler* old = nullptr;
  {
    IEffectCore::Hold hold(*core_);
    if (handler == handler_) return kResultOk;
    if (handler) handler->addRef();
    old = handler_;
    handler_ = handler;
  }
  if (old) old->release();
  return kResultOk;
}

IPlugView* Vst3Plugin::createView(const char* name) {
  if (!name || std::strcmp(name, "editor") != 0) return nullptr;
  IEffectCore::Hold hold(*core_);
  if (!core_->Editor() || view_) return nullptr;
  view_ = new Vst3View(*this);
  return view_;
}

void Vst3Plugin::ViewClosed(Vst3View* view) {
  IEffectCore::Hold hold(*core_);
  if (view_ == view) view_ = nullptr;
}

void Vst3Plugin::DeliverEdits() {
  // A host may release the plug-in from inside one of these calls.
  addRef();
  core_->NoteHostIdle();
  core_->DeliverHostEdits();
  release();
}

// ---- IHostLink ----

void Vst3Plugin::BeginParameterGesture(int32_t index) {
  if (handler_) handler_->beginEdit(ParamID(index));
}

void Vst3Plugin::InformHostOfParameter(int32_t index, double normalized) {
  if (handler_) handler_->performEdit(ParamID(index), normalized);
}

void Vst3Plugin::EndParameterGesture(int32_t index) {
  if (handler_) handler_->endEdit(ParamID(index));
}

void Vst3Plugin::InformHostOfPresetChange() {
  if (handler_) handler_->restartComponent(kParamValuesChanged);
}

void Vst3Plugin::ReadHostTime(HostTimeInfo& info) {
  const ProcessContext* t = context_;
  if (!t) return;
  info.samplePosition = double(t->projectTimeSamples);
  if ((t->state & ProcessContext::kProjectTimeMusicValid) && t->projectTimeMusic >= 0.0)
    info.ppqPosition = t->projectTimeMusic;
  if ((t->state & ProcessContext::kTempoValid) && t->tempo > 0.0) info.tempo = t->tempo;
  if ((t->state & ProcessContext::kBarPositionValid) && t->barPositionMusic >= 0.0)
    info.lastBarPosition = t->barPositionMusic;
  if ((t->state & ProcessContext::kCycleValid) && t->cycleStartMusic >= 0.0 &&
      t->cycleEndMusic >= 0.0) {
    info.cycleStart = t->cycleStartMusic;
    info.cycleEnd = t->cycleEndMusic;
  }
  if ((t->state & ProcessContext::kTimeSigValid) && t->timeSigNumerator > 0 &&
      t->timeSigDenominator > 0) {
    info.numerator = t->timeSigNumerator;
    info.denominator = t->timeSigDenominator;
  }
  info.playing = (t->state & ProcessContext::kPlaying) != 0;
  info.looping = (t->state & ProcessContext::kCycleActive) != 0;
}

int64_t Vst3Plugin::HostSamplePosition() {
  return context_ ? std::max<int64_t>(context_->projectTimeSamples, 0) : 0;
}

double Vst3Plugin::HostTempo() {
  return context_ && (context_->state & ProcessContext::kTempoValid) && context_->tempo > 0.0
             ? context_->tempo
             : 0.0;
}

void Vst3Plugin::HostTimeSignature(int32_t& numerator, int32_t& denominator) {
  numerator = denominator = 0;
  if (context_ && (context_->state & ProcessContext::kTimeSigValid) &&
      context_->timeSigNumerator > 0 && context_->timeSigDenominator > 0) {
    numerator = context_->timeSigNumerator;
    denominator = context_->timeSigDenominator;
  }
}

void Vst3Plugin::EditorResized() {
  if (view_) view_->EditorResized();
}

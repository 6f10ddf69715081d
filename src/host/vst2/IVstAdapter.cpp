#include "host/vst2/IVstAdapter.h"

#include <cstring>
#include <limits>
#include <mutex>

#include "host/vst2/HostIdentity.h"

namespace {

// One lock for the whole library, created on first use (thread-safe local
// static) and gone when the library unloads.
std::mutex& ConstructionLock() {
  static std::mutex lock;
  return lock;
}

vst::VstInt32 ArrangementType(int32_t channels) {
  switch (channels) {
    case 0:
      return vst::kSpeakerArrEmpty;
    case 1:
      return vst::kSpeakerArrMono;
    case 2:
      return vst::kSpeakerArrStereo;
    default:
      return vst::kSpeakerArrUserDefined;
  }
}

}  // namespace

vst::AEffect* IVstAdapter::CreateInstance(vst::audioMasterCallback host, Factory make) noexcept {
  std::lock_guard<std::mutex> lock(ConstructionLock());
  IVstAdapter* plug = nullptr;
  try {
    std::unique_ptr<IEffectCore> core(make ? make() : nullptr);
    if (!core) return nullptr;
    core->InitializeUndefinedPresets();
    plug = new IVstAdapter(host, std::move(core));
  } catch (...) {
    return nullptr;
  }
  if (plug->effect_.numPrograms < 1) plug->effect_.numPrograms = 1;
  return &plug->effect_;
}

IVstAdapter::IVstAdapter(vst::audioMasterCallback host, std::unique_ptr<IEffectCore> core)
    : core_(std::move(core)), host_(host) {
  std::memset(&effect_, 0, sizeof effect_);
  effect_.magic = vst::kEffectMagic;
  effect_.dispatcher = &VSTDispatcher;
  effect_.process = &VSTProcessAccumulating;
  effect_.setParameter = &VSTSetParameter;
  effect_.getParameter = &VSTGetParameter;
  effect_.processReplacing = &VSTProcessFloats;
  effect_.processDoubleReplacing = &VSTProcessDoubles;
  effect_.numPrograms = core_->PresetCount();
  effect_.numParams = core_->ParameterCount();
  effect_.numInputs = core_->InputCount();
  effect_.numOutputs = core_->OutputCount();
  effect_.flags = vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing;
  if (core_->LegalIO(1, -1)) effect_.flags |= vst::effFlagsCanMono;
  effect_.initialDelay = core_->Latency();
  effect_.ioRatio = 1.0f;
  effect_.object = this;
  effect_.uniqueID = core_->UniqueId();
  effect_.version = host_identity::DecimalFromVersionWord(core_->VersionWord());

  std::memset(&inputArrangement_, 0, sizeof inputArrangement_);
  std::memset(&outputArrangement_, 0, sizeof outputArrangement_);
  inputArrangement_.numChannels = core_->InputCount();
  inputArrangement_.type = ArrangementType(core_->InputCount());
  outputArrangement_.numChannels = core_->OutputCount();
  outputArrangement_.type = ArrangementType(core_->OutputCount());

  for (int32_t i = 0; i < core_->InputCount(); ++i) core_->InputBinding(i)->connected = true;
  for (int32_t i = 0; i < core_->OutputCount(); ++i) core_->OutputBinding(i)->connected = true;
  core_->SetBlockFrames(kDefaultBlockFrames);
  UpdateEditorRect();
  core_->ConnectHost(this);
}

IVstAdapter::~IVstAdapter() {
  // The effect goes first, and asks nothing of the host on its way out.
  core_->ConnectHost(nullptr);
  core_.reset();
}

// ---- calls into the host ----

vst::VstIntPtr IVstAdapter::CallHost(vst::VstInt32 opcode, vst::VstInt32 index,
                                     vst::VstIntPtr value, void* ptr, float opt) {
  return host_ ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
}

void IVstAdapter::BeginParameterGesture(int32_t index) {
  CallHost(vst::audioMasterBeginEdit, index);
}

void IVstAdapter::InformHostOfParameter(int32_t index, double normalized) {
  CallHost(vst::audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IVstAdapter::EndParameterGesture(int32_t index) { CallHost(vst::audioMasterEndEdit, index); }

void IVstAdapter::InformHostOfPresetChange() { CallHost(vst::audioMasterUpdateDisplay); }

bool IVstAdapter::HostRendersOffline() {
  return CallHost(vst::audioMasterGetCurrentProcessLevel) == vst::kVstProcessLevelOffline;
}

const vst::VstTimeInfo* IVstAdapter::QueryTime(vst::VstInt32 wanted) {
  return reinterpret_cast<const vst::VstTimeInfo*>(CallHost(vst::audioMasterGetTime, 0, wanted));
}

int64_t IVstAdapter::HostSamplePosition() {
  const vst::VstTimeInfo* t = QueryTime(0);
  // Not a number is no position; one beyond the integer range is the
  // largest position there is (2^63 itself no longer fits).
  if (!t || !(t->samplePos >= 0.0)) return 0;
  const double rounded = t->samplePos + 0.5;
  if (rounded >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(rounded);
}

double IVstAdapter::HostTempo() {
  const vst::VstTimeInfo* t = QueryTime(vst::kVstTempoValid);
  if (t && (t->flags & vst::kVstTempoValid) && t->tempo >= 0.0) return t->tempo;
  return 0.0;
}

void IVstAdapter::HostTimeSignature(int32_t& numerator, int32_t& denominator) {
  numerator = 0;
  denominator = 0;
  const vst::VstTimeInfo* t = QueryTime(vst::kVstTimeSigValid);
  if (t && (t->flags & vst::kVstTimeSigValid) && t->timeSigNumerator >= 0 &&
      t->timeSigDenominator >= 0) {
    numerator = t->timeSigNumerator;
    denominator = t->timeSigDenominator;
  }
}

void IVstAdapter::ReadHostTime(HostTimeInfo& info) {
  constexpr vst::VstInt32 kWanted = vst::kVstPpqPosValid | vst::kVstTempoValid |
                                    vst::kVstBarsValid | vst::kVstCyclePosValid |
                                    vst::kVstTimeSigValid;
  const vst::VstTimeInfo* t = QueryTime(kWanted);
  if (!t || !(t->flags & kWanted)) return;
  info.samplePosition = t->samplePos;
  if ((t->flags & vst::kVstPpqPosValid) && t->ppqPos >= 0.0) info.ppqPosition = t->ppqPos;
  if ((t->flags & vst::kVstTempoValid) && t->tempo > 0.0) info.tempo = t->tempo;
  if ((t->flags & vst::kVstBarsValid) && t->barStartPos >= 0.0)
    info.lastBarPosition = t->barStartPos;
  if ((t->flags & vst::kVstCyclePosValid) && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0) {
    info.cycleStart = t->cycleStartPos;
    info.cycleEnd = t->cycleEndPos;
  }
  if ((t->flags & vst::kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
    info.numerator = t->timeSigNumerator;
    info.denominator = t->timeSigDenominator;
  }
  info.playing = (t->flags & vst::kVstTransportPlaying) != 0;
  info.looping = (t->flags & vst::kVstTransportCycleActive) != 0;
}

bool IVstAdapter::SendMidiMessage(const MidiMessage& message) {
  vst::VstMidiEvent event{};
  event.type = vst::kVstMidiType;
  event.byteSize = sizeof(vst::VstMidiEvent);
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  vst::VstEvents list{};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<vst::VstEvent*>(&event);
  return CallHost(vst::audioMasterProcessEvents, 0, 0, &list) == 1;
}

bool IVstAdapter::SendSystemExclusive(const SysExMessage& message) {
  vst::VstMidiSysexEvent event{};
  event.type = vst::kVstSysExType;
  event.byteSize = sizeof(vst::VstMidiSysexEvent);
  event.deltaFrames = message.offset;
  event.dumpBytes = message.size;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.data));
  vst::VstEvents list{};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<vst::VstEvent*>(&event);
  return CallHost(vst::audioMasterProcessEvents, 0, 0, &list) == 1;
}

// ---- host identification and preparation ----

int32_t IVstAdapter::HostIdentifier() {
  if (hostIdentifier_ != -1) return hostIdentifier_;
  char product[256] = {};
  CallHost(vst::audioMasterGetProductString, 0, 0, product);
  product[sizeof product - 1] = 0;  // a host that fills the whole buffer
  int32_t version = 0;
  if (product[0]) {
    version = host_identity::VersionWordFromDecimal(CallHost(vst::audioMasterGetVendorVersion));
  }
  hostVersion_ = version;
  hostIdentifier_ = host_identity::IdentifyHostByName(product);
  return hostIdentifier_;
}

void IVstAdapter::PrepareForHost() {
  if (hostPrepared_) return;
  hostPrepared_ = true;
  const int32_t id = HostIdentifier();
  if (id == 15 || id == 17 || id == 20) {
    // These hosts hand over channels beyond the second in their own way.
    for (int32_t i = 2; i < core_->InputCount(); ++i) {
      ChannelBinding* b = core_->InputBinding(i);
      b->connected = false;
      *b->slot = b->Scratch();
    }
    for (int32_t i = 2; i < core_->OutputCount(); ++i) core_->OutputBinding(i)->connected = true;
  }
  inputArrangement_.numChannels = effect_.numInputs = core_->InputCount();
  outputArrangement_.numChannels = effect_.numOutputs = core_->OutputCount();
  core_->AfterHostPreparation();
}

// ---- editor and latency ----

void IVstAdapter::UpdateEditorRect() {
  const IEditorLink* editor = core_->Editor();
  if (!editor) return;
  effect_.flags |= vst::effFlagsHasEditor;
  editorRect_.top = 0;
  editorRect_.left = 0;
  editorRect_.right = static_cast<vst::VstInt16>(editor->Width());
  editorRect_.bottom = static_cast<vst::VstInt16>(editor->Height());
}

void IVstAdapter::EditorResized() { UpdateEditorRect(); }

void IVstAdapter::LatencyChanged(int32_t samples) { effect_.initialDelay = samples; }

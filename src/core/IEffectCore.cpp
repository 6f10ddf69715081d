#include "core/IEffectCore.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/ChunkHeader.h"

namespace {

void CopyName(char* dst, const char* src) {
  std::snprintf(dst, IEffectCore::kNameSize, "%s", src ? src : "");
}

// Reads a decimal count as "%d" would (leading blanks, optional sign);
// returns false when there is none. Out-of-range values are limited.
bool ReadCount(const char*& p, int32_t* out) {
  char* end = nullptr;
  const long v = std::strtol(p, &end, 10);
  if (end == p) return false;
  p = end;
  *out = v > std::numeric_limits<int32_t>::max()   ? std::numeric_limits<int32_t>::max()
         : v < std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::min()
                                                   : static_cast<int32_t>(v);
  return true;
}

}  // namespace

IEffectCore::IEffectCore(int32_t parameterCount, int32_t presetCount,
                         const char* channelIOConfigs) {
  TraceHook(__func__, __LINE__, "parameters %d presets %d", parameterCount, presetCount);
  for (int32_t i = 0; i < parameterCount; ++i) parameters_.Add(new IParameter);
  for (int32_t i = 0; i < presetCount; ++i) presets_.Add(new IPresetSlot);

  CopyName(effectName_, kEffectName);
  CopyName(productName_, kProductName);
  CopyName(vendorName_, kVendorName);

  int32_t maxInputs = 0, maxOutputs = 0;
  ParseChannelIO(channelIOConfigs, &maxInputs, &maxOutputs);
  CreateBindings(inputData_, inputBindings_, maxInputs, ChannelBinding::kInput);
  CreateBindings(outputData_, outputBindings_, maxOutputs, ChannelBinding::kOutput);
}

IEffectCore::~IEffectCore() {
  delete editor_;
  editor_ = nullptr;
  parameters_.Clear();
  presets_.Clear();
  inputBindings_.Clear();
  outputBindings_.Clear();
  channelIO_.Clear();
}

void IEffectCore::TraceHook(const char*, int, const char*, ...) {}

void IEffectCore::ParseChannelIO(const char* text, int32_t* maxInputs, int32_t* maxOutputs) {
  const char* p = text ? text : "";
  while (true) {
    auto* config = new ChannelIOConfig;
    const char* q = p;
    if (ReadCount(q, &config->inputs) && *q == '-') {
      ++q;
      if (!ReadCount(q, &config->outputs)) config->outputs = 0;
    }
    if (config->inputs > *maxInputs) *maxInputs = config->inputs;
    if (config->outputs > *maxOutputs) *maxOutputs = config->outputs;
    channelIO_.Add(config);
    p = std::strchr(p, ' ');
    if (!p) break;
    ++p;
  }
}

void IEffectCore::CreateBindings(GrowBuffer& data, OwnedPtrList<ChannelBinding>& list,
                                 int32_t count, ChannelBinding::Form form) {
  // The slots are fixed from here on: bindings keep pointers into them.
  const int64_t bytes = int64_t(count) * int64_t(sizeof(double*));
  if (count <= 0 || bytes > std::numeric_limits<int32_t>::max()) return;
  auto* slots = static_cast<double**>(data.Resize(static_cast<int32_t>(bytes), false));
  if (!slots || data.Size() != bytes) {
    data.Resize(0, true);
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    slots[i] = nullptr;
    list.Add(new ChannelBinding(form, &slots[i]));
  }
}

bool IEffectCore::LegalIO(int32_t inputs, int32_t outputs) const {
  for (int32_t i = 0, n = channelIO_.Count(); i < n; ++i) {
    const ChannelIOConfig* c = channelIO_.Get(i);
    if ((inputs < 0 || inputs == c->inputs) && (outputs < 0 || outputs == c->outputs)) {
      TraceHook(__func__, __LINE__, "%d-%d legal", inputs, outputs);
      return true;
    }
  }
  TraceHook(__func__, __LINE__, "%d-%d not legal", inputs, outputs);
  return false;
}

void IEffectCore::Reset() { Hold hold(*this); }

void IEffectCore::ParamChanged(int32_t) { Hold hold(*this); }

void IEffectCore::ActivationChanged(bool) { Hold hold(*this); }

namespace {

template <class Sample>
void PassThrough(Sample** inputs, Sample** outputs, int32_t nIn, int32_t nOut, int32_t frames) {
  if (frames <= 0 || !outputs) return;
  const size_t bytes = size_t(frames) * sizeof(Sample);
  for (int32_t i = 0; i < nOut; ++i) {
    Sample* out = outputs[i];
    if (!out) continue;
    const Sample* in = inputs && i < nIn ? inputs[i] : nullptr;
    if (in) {
      if (in != out) std::memmove(out, in, bytes);
    } else {
      std::memset(out, 0, bytes);
    }
  }
}

}  // namespace

void IEffectCore::ProcessDoubles(double** inputs, double** outputs, int32_t frames) {
  PassThrough(inputs, outputs, InputCount(), OutputCount(), frames);
}

void IEffectCore::ProcessFloats(float** inputs, float** outputs, int32_t frames) {
  PassThrough(inputs, outputs, InputCount(), OutputCount(), frames);
}

void IEffectCore::ProcessMidiMessage(const MidiMessage& message) { SendMidiMessage(message); }

// ---- calls into the host, through its link ----

void IEffectCore::BeginParameterGesture(int32_t index) {
  if (hostLink_) hostLink_->BeginParameterGesture(index);
}

void IEffectCore::InformHostOfParameter(int32_t index, double normalized) {
  if (hostLink_) hostLink_->InformHostOfParameter(index, normalized);
}

void IEffectCore::EndParameterGesture(int32_t index) {
  if (hostLink_) hostLink_->EndParameterGesture(index);
}

void IEffectCore::InformHostOfPresetChange() {
  if (hostLink_) hostLink_->InformHostOfPresetChange();
}

bool IEffectCore::HostRendersOffline() { return hostLink_ && hostLink_->HostRendersOffline(); }

int64_t IEffectCore::HostSamplePosition() {
  return hostLink_ ? hostLink_->HostSamplePosition() : 0;
}

double IEffectCore::HostTempo() { return hostLink_ ? hostLink_->HostTempo() : 0.0; }

void IEffectCore::HostTimeSignature(int32_t& numerator, int32_t& denominator) {
  numerator = 0;
  denominator = 0;
  if (hostLink_) hostLink_->HostTimeSignature(numerator, denominator);
}

void IEffectCore::ReadHostTime(HostTimeInfo& info) {
  if (hostLink_) hostLink_->ReadHostTime(info);
}

int32_t IEffectCore::HostIdentifier() { return hostLink_ ? hostLink_->HostIdentifier() : -1; }

void IEffectCore::NotifyEditorResized(int32_t, int32_t) {
  // The editor's own size counts, not the numbers passed along.
  if (hostLink_) hostLink_->EditorResized();
  OnEditorResized();
}

void IEffectCore::SetLatencySamples(int32_t samples) {
  latency_ = samples;
  if (hostLink_) hostLink_->LatencyChanged(samples);
}

bool IEffectCore::SendMidiMessage(const MidiMessage& message) {
  return hostLink_ && hostLink_->SendMidiMessage(message);
}

bool IEffectCore::SendSystemExclusive(const SysExMessage& message) {
  return hostLink_ && hostLink_->SendSystemExclusive(message);
}

bool IEffectCore::CloseAfterDelivery() { return hostLink_ && hostLink_->CloseAfterDelivery(); }

bool IEffectCore::MidiNoteName(int32_t, char* text) {
  if (text) text[0] = 0;
  return false;
}

bool IEffectCore::SaveState(StateChunk& chunk) { return SerializeParams(chunk); }

bool IEffectCore::SaveProgramState(StateChunk& chunk) {
  Hold hold(*this);
  return chunk_header::Write(chunk) && SaveState(chunk) && chunk.Size() > 0;
}

int32_t IEffectCore::LoadProgramState(const StateChunk& chunk) {
  Hold hold(*this);
  // Reading stops at the first value a state cut short lacks, with the
  // values before it already taken: a refused state puts them back.
  std::vector<double> before(static_cast<size_t>(ParameterCount()));
  for (int32_t i = 0; i < ParameterCount(); ++i) before[size_t(i)] = GetParameter(i)->Value();
  const int32_t position = LoadState(chunk, chunk_header::StatePosition(chunk));
  if (position < 0) {
    BeginParameterBatch();
    for (int32_t i = 0; i < ParameterCount(); ++i) {
      GetParameter(i)->SetClamped(before[size_t(i)]);
      ParamChanged(i);
    }
    EndParameterBatch();
    return position;
  }
  ModifyCurrentPreset();
  RefreshParameterControls();
  return position;
}

int32_t IEffectCore::LoadState(const StateChunk& chunk, int32_t position) {
  return UnserializeParams(chunk, position);
}

bool IEffectCore::StateEquals(const double* values, int32_t first) {
  if (!values) return false;
  for (int32_t j = 0, n = ParameterCount(); j < n; ++j) {
    const float mine = static_cast<float>(GetParameter(j)->Value());
    const float theirs = static_cast<float>(values[int64_t(first) + j]);
    if (!(std::fabs(mine - theirs) < 0.00001f)) return false;
  }
  return true;
}

void IEffectCore::SetParameterFromEditor(int32_t index, double normalized) {
  Hold hold(*this);
  IParameter* p = GetParameter(index);
  // A non-finite value is not a value: neither the parameter nor the host
  // gets it.
  if (!p || !std::isfinite(normalized)) return;
  p->SetFromNormalized(normalized);
  PostAutomate(index, normalized);
  ParamChanged(index);
}

bool IEffectCore::DeliverHostEdits() {
  const std::thread::id me = std::this_thread::get_id();
  std::thread::id none{};
  if (deliverer_.load() != me && !deliverer_.compare_exchange_strong(none, me)) return true;
  ++deliveryDepth_;
  HostEdit e;
  while (edits_.Pop(e)) {
    switch (e.kind) {
      case HostEdit::kBegin: BeginParameterGesture(e.index); break;
      case HostEdit::kAutomate: InformHostOfParameter(e.index, e.value); break;
      case HostEdit::kEnd: EndParameterGesture(e.index); break;
    }
  }
  if (--deliveryDepth_ > 0) return true;
  deliverer_.store(std::thread::id{});
  return !CloseAfterDelivery();
}

bool IEffectCore::DeliverHostEditsFromEditor() {
  // A host that calls idle does so every few tens of milliseconds; one
  // silent for longer is taken not to call it.
  constexpr auto kIdleGap = std::chrono::milliseconds(250);
  const Clock::rep last = lastIdle_.load();
  if (last != 0 && Clock::now() - Clock::time_point(Clock::duration(last)) < kIdleGap) return true;
  return DeliverHostEdits();
}

void IEffectCore::PushNormalizedToControls(int32_t index, double n) {
  if (!editor_) return;
  for (int c = 0, count = editor_->ControlCount(); c < count; ++c) {
    IEditorControlLink* control = editor_->GetControlLink(c);
    if (!control) continue;
    if (control->ParamIndex() == index) control->ApplyValueFromPlugin(n);
    for (int k = 0, links = control->LinkedParamCount(); k < links; ++k) {
      if (control->LinkedParamIndex(k) == index) {
        control->ApplyLinkedValueFromPlugin(k, n);
        break;
      }
    }
  }
}

void IEffectCore::AttachEditor(IEditorLink* graphics) {
  if (!graphics) return;
  Hold hold(*this);
  if (editor_ && editor_ != graphics) delete editor_;
  editor_ = graphics;
  for (int32_t i = 0, n = ParameterCount(); i < n; ++i)
    PushNormalizedToControls(i, GetParameter(i)->NormalizedFromValue());
  if (hostLink_) hostLink_->EditorResized();
}

void IEffectCore::RefreshParameterControls() {
  if (!editor_) return;
  for (int32_t i = 0, n = ParameterCount(); i < n; ++i)
    editor_->PushParameterToControls(i, GetParameter(i)->Value(), false);
}

void IEffectCore::SetBlockFrames(int32_t frames) {
  if (frames < 0) return;
  // A host may announce any size; longer blocks are processed in slices of
  // what the buffers hold.
  if (frames > kMaxBlockFrames) frames = kMaxBlockFrames;
  if (frames == blockSize_) return;
  const int64_t bytes = int64_t(frames) * int64_t(sizeof(double));
  int32_t held = frames;
  auto resize = [&](ChannelBinding* b) {
    auto* data = b->scratch.Resize(static_cast<int32_t>(bytes), true);
    if (data) std::memset(data, 0, size_t(b->scratch.Size()));
    if (b->ScratchFrames() < held) held = b->ScratchFrames();
  };
  for (int32_t i = 0; i < InputCount(); ++i) resize(InputBinding(i));
  for (int32_t i = 0; i < OutputCount(); ++i) resize(OutputBinding(i));
  // Should a buffer fail to grow, the block size stays what every buffer holds.
  blockSize_ = held;
}

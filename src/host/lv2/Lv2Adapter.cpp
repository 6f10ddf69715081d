#include "host/lv2/Lv2Adapter.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "host/DenormalGuard.h"

namespace {

// The host's data for feature uri, or null.
const void* Feature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; ++features)
    if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  return nullptr;
}

// The longest block the host announced through its options; 0 for none.
int32_t AnnouncedBlock(const LV2_Feature* const* features, LV2_URID_Map* map) {
  const auto* options = static_cast<const LV2_Options_Option*>(Feature(features, LV2_OPTIONS__options));
  if (!options) return 0;
  const LV2_URID maxLength = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID nominal = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
  const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
  int32_t found = 0;
  for (; options->key; ++options) {
    if ((options->key == maxLength || options->key == nominal) && options->type == intType &&
        options->size == sizeof(int32_t) && options->value)
      found = std::max(found, *static_cast<const int32_t*>(options->value));
  }
  return found;
}

// The value of a numeric atom of size bytes; false for another type.
bool Number(const Lv2Adapter::Uris& u, const LV2_Atom* a, double* value) {
  if (a->type == u.atomFloat && a->size >= sizeof(float)) {
    *value = reinterpret_cast<const LV2_Atom_Float*>(a)->body;
  } else if (a->type == u.atomDouble && a->size >= sizeof(double)) {
    *value = reinterpret_cast<const LV2_Atom_Double*>(a)->body;
  } else if (a->type == u.atomInt && a->size >= sizeof(int32_t)) {
    *value = reinterpret_cast<const LV2_Atom_Int*>(a)->body;
  } else if (a->type == u.atomLong && a->size >= sizeof(int64_t)) {
    *value = double(reinterpret_cast<const LV2_Atom_Long*>(a)->body);
  } else {
    return false;
  }
  return std::isfinite(*value);
}

constexpr uint32_t Padded(uint32_t size) { return (size + 7u) & ~7u; }

}  // namespace

Lv2Adapter* Lv2Adapter::Create(double sampleRate, const LV2_Feature* const* features,
                               IEffectCore* (*make)()) {
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(Feature(features, LV2_URID__map)));
  if (map && !map->map) map = nullptr;
  if (!make) return nullptr;
  try {
    std::unique_ptr<IEffectCore> core(make());
    if (!core) return nullptr;
    // Without a map no transport can be read: the atom port is then ignored
    // (every URID stays 0, which no atom carries).
    auto id = [map](const char* uri) { return map ? map->map(map->handle, uri) : 0u; };
    Uris u;
    u.atomBlank = id(LV2_ATOM__Blank);
    u.atomObject = id(LV2_ATOM__Object);
    u.atomSequence = id(LV2_ATOM__Sequence);
    u.atomFloat = id(LV2_ATOM__Float);
    u.atomDouble = id(LV2_ATOM__Double);
    u.atomInt = id(LV2_ATOM__Int);
    u.atomLong = id(LV2_ATOM__Long);
    u.timePosition = id(LV2_TIME__Position);
    u.timeFrame = id(LV2_TIME__frame);
    u.timeSpeed = id(LV2_TIME__speed);
    u.timeBar = id(LV2_TIME__bar);
    u.timeBarBeat = id(LV2_TIME__barBeat);
    u.timeBeat = id(LV2_TIME__beat);
    u.timeBeatUnit = id(LV2_TIME__beatUnit);
    u.timeBeatsPerBar = id(LV2_TIME__beatsPerBar);
    u.timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
    // A rate that is not a positive number, or far beyond any audio rate,
    // keeps the effect's own.
    if (std::isfinite(sampleRate) && sampleRate > 0.0 && sampleRate <= 1e7)
      core->SetSampleRate(sampleRate);
    auto* adapter =
        new Lv2Adapter(std::move(core), u, map ? AnnouncedBlock(features, map) : 0);
    return adapter;
  } catch (...) {
    return nullptr;
  }
}

Lv2Adapter::Lv2Adapter(std::unique_ptr<IEffectCore> core, const Uris& uris, int32_t maxBlock)
    : core_(std::move(core)), uris_(uris) {
  core_->InitializeUndefinedPresets();
  paramCount_ = uint32_t(core_->ParameterCount());
  inputCount_ = uint32_t(core_->InputCount());
  outputCount_ = uint32_t(core_->OutputCount());
  atomPort_ = paramCount_ + inputCount_ + outputCount_;
  controls_.assign(paramCount_, nullptr);
  applied_.assign(paramCount_, 0.0f);
  inputs_.assign(inputCount_, nullptr);
  outputs_.assign(outputCount_, nullptr);
  for (uint32_t i = 0; i < inputCount_; ++i) core_->InputBinding(int32_t(i))->connected = true;
  for (uint32_t i = 0; i < outputCount_; ++i) core_->OutputBinding(int32_t(i))->connected = true;
  // Longer blocks than the buffers hold run in slices.
  core_->SetBlockFrames(std::clamp(maxBlock, 1024, IEffectCore::kMaxBlockFrames));
  core_->Reset();
  core_->ConnectHost(this);
}

Lv2Adapter::~Lv2Adapter() {
  core_->ConnectHost(nullptr);
  core_.reset();
}

double Lv2Adapter::PortValue(const IParameter& p, double value) {
  if (!std::isfinite(value)) return p.Value();
  // Parameters of whole steps are integer ports: the nearest step.
  if (p.StepCount() > 0) value = std::floor(value / p.Step() + 0.5) * p.Step();
  return p.Clamp(value);
}

int64_t Lv2Adapter::HostSamplePosition() {
  HostTimeInfo info;
  transport_.Fill(info);
  return info.samplePosition >= 0.0 ? int64_t(info.samplePosition + 0.5) : 0;
}

double Lv2Adapter::HostTempo() {
  if (!transport_.Known()) return 0.0;
  HostTimeInfo info;
  transport_.Fill(info);
  return info.tempo;
}

void Lv2Adapter::HostTimeSignature(int32_t& numerator, int32_t& denominator) {
  numerator = 0;
  denominator = 0;
  if (!transport_.Known()) return;
  HostTimeInfo info;
  transport_.Fill(info);
  numerator = info.numerator;
  denominator = info.denominator;
}

void Lv2Adapter::ConnectPort(uint32_t port, void* data) {
  if (port < paramCount_) {
    controls_[port] = static_cast<const float*>(data);
  } else if (port < paramCount_ + inputCount_) {
    inputs_[port - paramCount_] = static_cast<const float*>(data);
  } else if (port < atomPort_) {
    outputs_[port - paramCount_ - inputCount_] = static_cast<float*>(data);
  } else if (port == atomPort_) {
    atoms_ = data;
  }
}

void Lv2Adapter::Activate() {
  IEffectCore::Hold hold(*core_);
  applyAll_ = true;
  core_->ActivationChanged(true);
}

void Lv2Adapter::Deactivate() {
  IEffectCore::Hold hold(*core_);
  core_->ActivationChanged(false);
  core_->Reset();
}

void Lv2Adapter::ApplyControls() {
  for (uint32_t i = 0; i < paramCount_; ++i) {
    if (!controls_[i]) continue;
    const float v = *controls_[i];
    if (!applyAll_ && (v == applied_[i] || !std::isfinite(v))) continue;
    applied_[i] = v;
    IParameter* p = core_->GetParameter(int32_t(i));
    p->SetClamped(PortValue(*p, v));
    core_->ParamChanged(int32_t(i));
  }
  applyAll_ = false;
}

void Lv2Adapter::Run(uint32_t frames) {
  DenormalGuard denormals;
  IEffectCore::Hold hold(*core_);
  ApplyControls();
  uint32_t done = 0;
  const auto* seq = static_cast<const LV2_Atom_Sequence*>(atoms_);
  if (seq && uris_.atomSequence != 0 && seq->atom.type == uris_.atomSequence &&
      seq->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
    // Each event is read only as far as the sequence's stated size goes.
    const auto* base = reinterpret_cast<const uint8_t*>(&seq->body);
    const uint32_t end = seq->atom.size;
    uint32_t at = sizeof(LV2_Atom_Sequence_Body);
    while (at + sizeof(LV2_Atom_Event) <= end) {
      const auto* ev = reinterpret_cast<const LV2_Atom_Event*>(base + at);
      const uint32_t bodySize = ev->body.size;
      if (bodySize > end - at - sizeof(LV2_Atom_Event)) break;
      const int64_t when = ev->time.frames;
      const uint32_t frame = when <= 0 ? 0 : (when >= int64_t(frames) ? frames : uint32_t(when));
      if (frame > done) {
        ProcessPart(done, frame - done);
        done = frame;
      }
      if ((ev->body.type == uris_.atomObject || ev->body.type == uris_.atomBlank) &&
          bodySize >= sizeof(LV2_Atom_Object_Body))
        ReadPosition(&ev->body + 1, bodySize);
      at += uint32_t(sizeof(LV2_Atom_Event)) + Padded(bodySize);
    }
  }
  if (frames > done || frames == 0) ProcessPart(done, frames - done);
}

void Lv2Adapter::ReadPosition(const void* body, uint32_t size) {
  const auto* object = static_cast<const LV2_Atom_Object_Body*>(body);
  if (object->otype != uris_.timePosition) return;
  Lv2Transport::Position p;
  const auto* base = static_cast<const uint8_t*>(body);
  uint32_t at = sizeof(LV2_Atom_Object_Body);
  while (at + sizeof(LV2_Atom_Property_Body) <= size) {
    const auto* prop = reinterpret_cast<const LV2_Atom_Property_Body*>(base + at);
    const uint32_t valueSize = prop->value.size;
    if (valueSize > size - at - sizeof(LV2_Atom_Property_Body)) break;
    double v = 0.0;
    if (Number(uris_, &prop->value, &v)) {
      const uint32_t k = prop->key;
      if (k == uris_.timeFrame) {
        p.hasFrame = true;
        p.frame = v;
      } else if (k == uris_.timeSpeed) {
        p.hasSpeed = true;
        p.speed = v;
      } else if (k == uris_.timeBar && std::fabs(v) < 9e15) {
        p.hasBar = true;
        p.bar = int64_t(v);
      } else if (k == uris_.timeBarBeat) {
        p.hasBarBeat = true;
        p.barBeat = v;
      } else if (k == uris_.timeBeat) {
        p.hasBeat = true;
        p.beat = v;
      } else if (k == uris_.timeBeatUnit && v >= 1.0 && v <= 1024.0) {
        p.hasBeatUnit = true;
        p.beatUnit = int32_t(v);
      } else if (k == uris_.timeBeatsPerBar) {
        p.hasBeatsPerBar = true;
        p.beatsPerBar = v;
      } else if (k == uris_.timeBeatsPerMinute) {
        p.hasTempo = true;
        p.tempo = v;
      }
    }
    at += uint32_t(sizeof(LV2_Atom_Property_Body)) + Padded(valueSize);
  }
  transport_.Apply(p);
}

void Lv2Adapter::ProcessPart(uint32_t offset, uint32_t frames) {
  int32_t capacity = core_->BlockSize();
  for (uint32_t i = 0; i < inputCount_; ++i)
    capacity = std::min(capacity, core_->InputBinding(int32_t(i))->ScratchFrames());
  for (uint32_t i = 0; i < outputCount_; ++i)
    capacity = std::min(capacity, core_->OutputBinding(int32_t(i))->ScratchFrames());
  if (capacity <= 0) return;
  uint32_t done = 0;
  do {
    const int32_t n = int32_t(std::min<uint32_t>(uint32_t(capacity), frames - done));
    for (uint32_t i = 0; i < inputCount_; ++i) {
      ChannelBinding* b = core_->InputBinding(int32_t(i));
      double* scratch = b->Scratch();
      if (const float* in = inputs_[i]) {
        // From a pointer to the part, so the loop reads consecutive samples
        // (an unsigned index might wrap, which keeps it scalar).
        const float* source = in + offset + done;
        for (int32_t f = 0; f < n; ++f) scratch[f] = source[f];
      } else {
        std::fill(scratch, scratch + n, 0.0);
      }
      *b->slot = scratch;
    }
    for (uint32_t i = 0; i < outputCount_; ++i) {
      ChannelBinding* b = core_->OutputBinding(int32_t(i));
      *b->slot = b->Scratch();
    }
    core_->SetHostSlice({int32_t(done), int32_t(frames)});
    core_->ProcessDoubles(core_->InputData(), core_->OutputData(), n);
    for (uint32_t i = 0; i < outputCount_; ++i) {
      const double* result = *core_->OutputBinding(int32_t(i))->slot;
      float* out = outputs_[i];
      if (!out) continue;
      out += offset + done;
      if (result) {
        for (int32_t f = 0; f < n; ++f) out[f] = static_cast<float>(result[f]);
      } else {
        std::fill(out, out + n, 0.0f);
      }
    }
    done += uint32_t(n);
  } while (done < frames);
  core_->SetHostSlice({});
  transport_.Advance(frames, core_->SampleRate());
}

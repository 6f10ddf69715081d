// IEffectCore: program state, preset bank and preset operations.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/GrowText.h"
#include "core/IEffectCore.h"

bool IEffectCore::SerializeParams(StateChunk& chunk) {
  Hold hold(*this);
  TraceHook(__func__, __LINE__, "%d parameters", ParameterCount());
  for (int32_t i = 0, n = ParameterCount(); i < n; ++i) {
    chunk.PutDouble(GetParameter(i)->Value());
    if (chunk.Size() == 0) return false;
  }
  return true;
}

int32_t IEffectCore::UnserializeParams(const StateChunk& chunk, int32_t position) {
  Hold hold(*this);
  TraceHook(__func__, __LINE__, "from %d of %d", position, chunk.Size());
  const int32_t n = ParameterCount();
  for (int32_t i = 0; i < n && position >= 0; ++i) {
    IParameter* p = GetParameter(i);
    double v = 0.0;
    const int32_t next = chunk.GetDouble(&v, position);
    if (next >= 0) {
      // Bytes that are no number give the parameter its default.
      p->SetClamped(std::isfinite(v) ? v : p->Default());
      position = next;
    } else {
      position = -1;
      p->SetClamped(0.0);
    }
  }
  BeginParameterBatch();
  for (int32_t i = 0; i < n; ++i) ParamChanged(i);
  EndParameterBatch();
  return position;
}

bool IEffectCore::SerializePresets(StateChunk& chunk) {
  Hold hold(*this);
  TraceHook(__func__, __LINE__, "%d presets", PresetCount());
  for (int32_t i = 0, n = PresetCount(); i < n; ++i) {
    const IPresetSlot* preset = GetPreset(i);
    chunk.PutString(preset->Name());
    chunk.PutByte(preset->Initialized() ? 1 : 0);
    if (preset->Initialized()) {
      chunk.Put(preset->State().Data(), preset->State().Size());
      if (chunk.Size() == 0) return false;
    }
  }
  return true;
}

int32_t IEffectCore::UnserializePresets(const StateChunk& chunk, int32_t position) {
  Hold hold(*this);
  TraceHook(__func__, __LINE__, "from %d of %d", position, chunk.Size());
  GrowText name;  // kept across records: a record without a name reuses it
  const int64_t size = chunk.Size();
  BeginParameterBatch();
  for (int32_t i = 0, n = PresetCount(); i < n && position >= 0; ++i) {
    IPresetSlot* preset = GetPreset(i);
    int64_t end = -1;  // where the initialised byte lies
    int32_t length = 0;
    if (chunk.GetInt32(&length, position) >= 0 && length >= 0) {
      end = int64_t(position) + 4 + length;
      if (length == 0) {
        name.Set("");
      } else if (end <= size) {
        const auto* chars = reinterpret_cast<const char*>(chunk.Data()) + position + 4;
        const void* zero = std::memchr(chars, 0, size_t(length));
        name.Set(chars, zero ? int32_t(static_cast<const char*>(zero) - chars) : length);
      }
    }
    preset->SetName(name.Get());
    if (end < 0 || end >= size) {
      // The flag stays; an initialised preset still hands the (failed)
      // position to LoadState, so the effect hears of every parameter.
      position = -1;
    } else {
      preset->SetInitialized(chunk.Data()[end] != 0);
      position = static_cast<int32_t>(end + 1);
    }
    if (preset->Initialized()) {
      position = LoadState(chunk, position);
      if (position > 0) {
        preset->State().Clear();
        SaveState(preset->State());
      }
    }
  }
  LoadPreset(currentPreset_);
  EndParameterBatch();
  return position;
}

bool IEffectCore::LoadPreset(int32_t index) {
  Hold hold(*this);
  IPresetSlot* preset = GetPreset(index);
  if (!preset) return false;
  bool ok;
  if (preset->Initialized()) {
    ok = LoadState(preset->State(), 0) > 0;
  } else {
    preset->SetInitialized(true);
    static const char kUserPreset[] = "user preset";
    int32_t count = 0;
    for (int32_t i = 0, n = PresetCount(); i < n; ++i)
      if (std::strstr(GetPreset(i)->Name(), kUserPreset)) ++count;
    char name[IPresetSlot::kNameSize];
    std::snprintf(name, sizeof name, "%s %d", kUserPreset, count + 1);
    preset->SetName(name);
    // Whatever an earlier state left behind must not come before the values.
    preset->State().Clear();
    ok = SaveState(preset->State());
  }
  if (ok) {
    currentPreset_ = index;
    OnPresetChanged();
    RefreshParameterControls();
  }
  return ok;
}

void IEffectCore::ModifyCurrentPreset(const char* name) {
  Hold hold(*this);
  IPresetSlot* preset = GetPreset(currentPreset_);
  if (!preset) return;
  preset->State().Clear();
  SaveState(preset->State());
  if (name && name[0]) preset->SetName(name);
}

void IEffectCore::InitializeUndefinedPresets() {
  Hold hold(*this);
  for (int32_t i = 0, n = PresetCount(); i < n; ++i) {
    IPresetSlot* preset = GetPreset(i);
    if (preset->Initialized()) continue;
    preset->SetInitialized(true);
    preset->SetName("Empty");
    preset->State().Clear();
    SaveState(preset->State());
  }
}

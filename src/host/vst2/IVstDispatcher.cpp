// The dispatcher: every host request other than audio and parameter
// transfer, answered under the instance lock.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/TextCut.h"
#include "core/ChunkHeader.h"
#include "host/vst2/HostIdentity.h"
#include "host/vst2/IVstAdapter.h"

namespace {

constexpr vst::VstIntPtr kVendorAnswer = 0xBEEF;
constexpr vst::VstIntPtr kCockosAnswer = 0xBEEF0000;
// Hosts show parameter names in automation lanes and give them more room
// than the standard's 8 bytes; our names are short enough to go whole.
constexpr size_t kParamNameBytes = 16;

// The host's buffers have the standard's sizes (bytes with the zero);
// a longer text is cut between characters.
void CopyText(void* destination, const char* text, size_t bytes) {
  CopyTextCut(static_cast<char*>(destination), text, bytes);
}

}  // namespace

vst::VstIntPtr IVstAdapter::VSTDispatcher(vst::AEffect* effect, vst::VstInt32 opcode,
                                          vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                          float opt) {
  IVstAdapter* plug = effect ? static_cast<IVstAdapter*>(effect->object) : nullptr;
  if (!plug) return 0;
  try {
    if (opcode == vst::effClose) {
      if (plug->destroying_) return 0;
      if (plug->core_->DeliveringOnThisThread()) {
        // Asked from inside an edit callback: the delivery in progress
        // still runs on the instance, which ends when it returns.
        plug->closeAfterDelivery_ = true;
        return 0;
      }
      {
        IEffectCore::Hold hold(*plug->core_);
        if (plug->processDepth_ > 0) {
          // Asked from inside a process call: the block in progress still
          // needs the instance, which ends when that call returns.
          plug->closeDeferred_ = true;
          return 0;
        }
      }
      Destroy(effect);
      return 0;
    }
    if (opcode == vst::effEditIdle) {
      // The host's own thread, without the lock: the editor's edits reach
      // the host here.
      plug->core_->NoteHostIdle();
      plug->core_->DeliverHostEdits();
      return 0;
    }
    vst::VstIntPtr result;
    {
      IEffectCore::Hold hold(*plug->core_);
      result = plug->Dispatch(opcode, index, value, ptr, opt);
    }
    // Closing the editor ends a gesture in progress: the host hears it now,
    // on its own thread, not at some later idle call it may never make.
    if (opcode == vst::effEditClose && plug->core_->HostEditsPending()) plug->core_->DeliverHostEdits();
    return result;
  } catch (...) {
    return 0;
  }
}

bool IVstAdapter::CloseAfterDelivery() {
  if (!closeAfterDelivery_ || destroying_) return false;
  closeAfterDelivery_ = false;
  Destroy(&effect_);
  return true;
}

void IVstAdapter::Destroy(vst::AEffect* effect) {
  auto* plug = static_cast<IVstAdapter*>(effect->object);
  plug->destroying_ = true;
  // Take and release the lock so a call still running finishes first; the
  // host makes no further call on this instance. An editor the host left
  // open closes first, while the whole plug-in still exists (its window's
  // thread may be drawing it), and the host hears the end of a gesture it
  // cut short.
  plug->core_->Lock();
  if (IEditorLink* editor = plug->core_->Editor()) editor->CloseWindow();
  plug->core_->Unlock();
  plug->core_->DeliverHostEdits();
  effect->object = nullptr;
  delete plug;
}

vst::VstIntPtr IVstAdapter::Dispatch(vst::VstInt32 opcode, vst::VstInt32 index,
                                     vst::VstIntPtr value, void* ptr, float opt) {
  IEffectCore::Hold hold(*core_);
  if (processDepth_ > 0) {
    // A host callback during processing (a time query, say) answered with
    // a request: what would move or free the buffers and state of the block
    // in progress waits until the block is done; a chunk, which would have
    // to be copied to wait, is refused.
    switch (opcode) {
      case vst::effOpen:
      case vst::effSetProgram:
      case vst::effSetSampleRate:
      case vst::effSetBlockSize:
      case vst::effMainsChanged:
      case vst::effSetSpeakerArrangement:
        return Defer(opcode, value, ptr, opt);
      case vst::effSetChunk:
        return 0;
      default:
        break;
    }
  }
  const bool validParam = index >= 0 && index < core_->ParameterCount();
  switch (opcode) {
    case vst::effOpen:
      PrepareForHost();
      for (int32_t i = 0; i < core_->ParameterCount(); ++i) core_->ParamChanged(i);
      return 0;

    case vst::effSetProgram:
      if (!core_->KeepsStateInChunks()) core_->ModifyCurrentPreset();
      if (value >= 0 && value < core_->PresetCount()) core_->LoadPreset(static_cast<int32_t>(value));
      return 0;
    case vst::effGetProgram:
      return core_->CurrentPresetIndex();
    case vst::effSetProgramName:
      if (ptr) {
        core_->ModifyCurrentPreset(static_cast<const char*>(ptr));
        core_->OnPresetChanged();
      }
      return 0;
    case vst::effGetProgramName:
      if (ptr) {
        const IPresetSlot* preset = core_->GetPreset(core_->CurrentPresetIndex());
        CopyText(ptr, preset ? preset->Name() : "", vst::kVstMaxProgNameLen);
      }
      return 0;
    case vst::effGetProgramNameIndexed: {
      if (!ptr) return 0;
      const IPresetSlot* preset = core_->GetPreset(index);
      CopyText(ptr, preset ? preset->Name() : "", vst::kVstMaxProgNameLen);
      return static_cast<char*>(ptr)[0] ? 1 : 0;
    }

    case vst::effGetParamLabel:
      if (validParam && ptr)
        CopyText(ptr, core_->GetParameter(index)->LabelForHost(), vst::kVstMaxParamStrLen);
      return 0;
    case vst::effGetParamDisplay:
      if (validParam && ptr) {
        char display[IParameter::kTextSize];
        core_->GetParameter(index)->DisplayForHost(display, sizeof display);
        CopyText(ptr, display, vst::kVstMaxParamStrLen);
      }
      return 0;
    case vst::effGetParamName:
      if (validParam && ptr) CopyText(ptr, core_->GetParameter(index)->NameForHost(), kParamNameBytes);
      return 0;
    case vst::effCanBeAutomated:
      return 1;
    case vst::effString2Parameter:
      return String2Parameter(index, static_cast<const char*>(ptr));

    case vst::effSetSampleRate:
      // A rate that is not a positive number, or far beyond any audio rate,
      // would turn every coefficient into garbage (at 1e16 Hz the filters'
      // poles sit on the unit circle and a leftover slope grows without
      // bound); keep the one we have.
      if (std::isfinite(opt) && opt > 0.0f && opt <= 1e7f) core_->SetSampleRate(opt);
      core_->Reset();
      return 0;
    case vst::effSetBlockSize:
      core_->SetBlockFrames(value < 0 ? 0 : (value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value)));
      core_->Reset();
      return 0;
    case vst::effMainsChanged:
      if (value != 0) {
        core_->ActivationChanged(true);
      } else {
        core_->ActivationChanged(false);
        core_->Reset();
      }
      return 0;

    case vst::effEditGetRect:
      if (!ptr || !core_->Editor()) return 0;
      *static_cast<vst::ERect**>(ptr) = &editorRect_;
      return 1;
    case vst::effEditOpen:
      // A host that calls idle gets its first call in before the editor's
      // thread would take over delivering its edits.
      core_->NoteHostIdle();
      if (core_->Editor() && core_->Editor()->OpenWindow(ptr)) {
        core_->OnEditorOpen();
        return 1;
      }
      return 0;
    case vst::effEditClose:
      if (!core_->Editor()) return 0;
      core_->OnEditorClose();
      core_->Editor()->CloseWindow();
      return 1;
    case vst::effIdle:
      return 0;

    case vst::effIdentify:
      return vst::kEffectIdentifyAnswer;
    case vst::effGetChunk:
      return GetChunk(index == 0, ptr);
    case vst::effSetChunk:
      return SetChunk(index == 0, value, ptr);
    case vst::effProcessEvents:
      return ProcessEvents(static_cast<const vst::VstEvents*>(ptr));

    case vst::effGetInputProperties:
      return PinProperties(true, index, static_cast<vst::VstPinProperties*>(ptr));
    case vst::effGetOutputProperties:
      return PinProperties(false, index, static_cast<vst::VstPinProperties*>(ptr));
    case vst::effGetPlugCategory:
      return core_->IsInstrument() ? vst::kPlugCategSynth : vst::kPlugCategEffect;
    case vst::effProcessVarIo:
      return 0;
    case vst::effSetSpeakerArrangement:
      ApplyArrangement(reinterpret_cast<const vst::VstSpeakerArrangement*>(value), true);
      ApplyArrangement(static_cast<const vst::VstSpeakerArrangement*>(ptr), false);
      return 1;
    case vst::effGetSpeakerArrangement:
      if (value) *reinterpret_cast<vst::VstSpeakerArrangement**>(value) = &inputArrangement_;
      if (ptr) *static_cast<vst::VstSpeakerArrangement**>(ptr) = &outputArrangement_;
      return 1;

    case vst::effGetEffectName:
      if (!ptr) return 0;
      CopyText(ptr, core_->EffectName(), vst::kVstMaxEffectNameLen);
      return 1;
    case vst::effGetVendorString:
      if (!ptr) return 0;
      CopyText(ptr, core_->VendorName(), vst::kVstMaxVendorStrLen);
      return 1;
    case vst::effGetProductString:
      if (!ptr) return 0;
      CopyText(ptr, core_->ProductName(), vst::kVstMaxProductStrLen);
      return 1;
    case vst::effGetVendorVersion:
      return host_identity::DecimalFromVersionWord(core_->VersionWord());
    case vst::effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case vst::effCanDo:
      return CanDo(static_cast<const char*>(ptr), core_->UsesMidi());
    case vst::effGetTailSize:
      return core_->TailSize();
    case vst::effGetVstVersion:
      return vst::kVstVersion;
    case vst::effGetMidiKeyName: {
      if (!ptr) return 0;
      auto* key = static_cast<vst::MidiKeyName*>(ptr);
      key->keyName[0] = 0;
      return core_->MidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }
    default:
      // Deprecated, offline, MIDI-program, process start/stop, precision and
      // everything newer: nothing to do.
      return 0;
  }
}

vst::VstIntPtr IVstAdapter::Defer(vst::VstInt32 opcode, vst::VstIntPtr value, void* ptr,
                                  float opt) {
  if (deferredCount_ >= kMaxDeferred) return 0;
  DeferredRequest& r = deferred_[deferredCount_++];
  r = DeferredRequest{opcode, value, opt};
  if (opcode != vst::effSetSpeakerArrangement) return 0;
  // The host's records need not outlive this call: keep their counts.
  if (const auto* in = reinterpret_cast<const vst::VstSpeakerArrangement*>(value))
    r.inputs = std::max<vst::VstInt32>(in->numChannels, 0);
  if (const auto* out = static_cast<const vst::VstSpeakerArrangement*>(ptr))
    r.outputs = std::max<vst::VstInt32>(out->numChannels, 0);
  r.value = 0;
  return 1;
}

void IVstAdapter::ApplyDeferredRequests() {
  const int32_t count = deferredCount_;
  deferredCount_ = 0;
  for (int32_t i = 0; i < count; ++i) {
    const DeferredRequest r = deferred_[i];
    if (r.opcode != vst::effSetSpeakerArrangement) {
      Dispatch(r.opcode, 0, r.value, nullptr, r.opt);
      continue;
    }
    vst::VstSpeakerArrangement in{}, out{};
    in.numChannels = r.inputs;
    out.numChannels = r.outputs;
    Dispatch(r.opcode, 0, r.inputs >= 0 ? reinterpret_cast<vst::VstIntPtr>(&in) : 0,
             r.outputs >= 0 ? &out : nullptr, 0.0f);
  }
}

vst::VstIntPtr IVstAdapter::GetChunk(bool bank, void* ptr) {
  if (!ptr) return 0;
  StateChunk& chunk = bank ? bankChunk_ : programChunk_;
  bool ok;
  if (bank) {
    if (!chunk_header::Write(chunk)) return 0;
    core_->ModifyCurrentPreset();
    ok = core_->SerializePresets(chunk);
  } else {
    ok = core_->SaveProgramState(chunk);
  }
  if (!ok || chunk.Size() <= 0) return 0;
  *static_cast<void**>(ptr) = chunk.Data();
  return chunk.Size();
}

vst::VstIntPtr IVstAdapter::SetChunk(bool bank, vst::VstIntPtr size, const void* data) {
  // Our chunks are a few kilobytes; a size far beyond that is not ours and
  // is not read at all.
  if (!data || size > kMaxChunkBytes) return 0;
  StateChunk& chunk = bank ? bankChunk_ : programChunk_;
  // A host may hand back the block it got from us: emptying the buffer would
  // free what is about to be read, so read from a copy.
  std::vector<uint8_t> copy;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const auto held = reinterpret_cast<std::uintptr_t>(chunk.Data());
  if (held && at >= held && at < held + uintptr_t(chunk.Size()) && size > 0) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    copy.assign(bytes, bytes + std::min<uintptr_t>(uintptr_t(size), held + chunk.Size() - at));
    data = copy.data();
    size = static_cast<vst::VstIntPtr>(copy.size());
  }
  chunk.Clear();
  if (size > 0) {
    // A chunk we cannot hold whole is not read at all.
    if (chunk.Put(data, static_cast<int32_t>(size)) != size) {
      chunk.Clear();
      return 0;
    }
  }
  const int32_t start = chunk_header::StatePosition(chunk);
  uint32_t version = 0;
  if (start == chunk_header::kSize) chunk.GetUInt32(&version, 4);
  if (!bank || version < chunk_header::kVersion) return core_->LoadProgramState(chunk) < 0 ? 0 : 1;
  if (core_->UnserializePresets(chunk, start) < 0) return 0;
  core_->RefreshParameterControls();
  return 1;
}

vst::VstIntPtr IVstAdapter::String2Parameter(int32_t index, const char* text) {
  IParameter* p = core_->GetParameter(index);
  if (!p) return 0;
  if (!text) return 1;
  double v;
  if (!p->ValueFromText(text, &v)) return 0;
  if (core_->Editor()) core_->Editor()->PushParameterToControls(index, v, false);
  p->SetClamped(v);
  core_->ParamChanged(index);
  return 1;
}

vst::VstIntPtr IVstAdapter::PinProperties(bool input, int32_t index, vst::VstPinProperties* pin) {
  const int32_t count = input ? core_->InputCount() : core_->OutputCount();
  if (!pin || index < 0 || index >= count) return 0;
  const ChannelBinding* b = input ? core_->InputBinding(index) : core_->OutputBinding(index);
  pin->flags = vst::kVstPinIsActive;
  if (index % 2 == 0 && index + 1 < count) pin->flags |= vst::kVstPinIsStereo;
  const char* label = b->label.Get();
  if (label && label[0]) {
    std::snprintf(pin->label, sizeof pin->label, "%s", label);
  } else {
    std::snprintf(pin->label, sizeof pin->label, input ? "Input %d" : "Output %d", index + 1);
  }
  return 1;
}

void IVstAdapter::ApplyArrangement(const vst::VstSpeakerArrangement* arrangement, bool input) {
  if (!arrangement) return;
  const int32_t count = input ? core_->InputCount() : core_->OutputCount();
  const int32_t n = arrangement->numChannels < 0 ? 0 : arrangement->numChannels;
  for (int32_t i = 0; i < count; ++i) {
    ChannelBinding* b = input ? core_->InputBinding(i) : core_->OutputBinding(i);
    if (i < n) {
      b->connected = true;
    } else {
      // The effect then reads or writes the binding's own buffer.
      b->connected = false;
      *b->slot = b->Scratch();
    }
  }
}

vst::VstIntPtr IVstAdapter::VendorSpecific(int32_t index, vst::VstIntPtr value, void* ptr,
                                           float opt) {
  const bool validParam = value >= 0 && value < core_->ParameterCount();
  if (index == vst::effGetParamDisplay) {
    if (!ptr) return 0;
    if (validParam) {
      char display[IParameter::kTextSize];
      core_->GetParameter(static_cast<int32_t>(value))
          ->DisplayForHostNormalized(opt, display, sizeof display);
      CopyText(ptr, display, vst::kVstMaxParamStrLen);
    }
    return kVendorAnswer;
  }
  if (index == vst::effGetParamName) {
    if (validParam &&
        core_->GetParameter(static_cast<int32_t>(value))->GetKind() != IParameter::kContinuous)
      return kVendorAnswer;
    return 0;
  }
  return 0;
}

vst::VstIntPtr IVstAdapter::ProcessEvents(const vst::VstEvents* events) {
  if (!events) return 0;
  // An event is read only as far as its stated size goes: one that ends
  // before the fields of its type is skipped.
  constexpr size_t kMidiEnd = offsetof(vst::VstMidiEvent, midiData) + sizeof(char[4]);
  constexpr size_t kSysExEnd = offsetof(vst::VstMidiSysexEvent, sysexDump) + sizeof(char*);
  auto reaches = [](const vst::VstEvent* e, size_t end) {
    return e->byteSize >= 0 && size_t(e->byteSize) >= end;
  };
  // The host's list runs on past the two entries the record declares.
  const vst::VstEvent* const* list = events->events;
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const vst::VstEvent* e = list[i];
    if (!e) continue;
    if (e->type == vst::kVstMidiType && reaches(e, kMidiEnd)) {
      const auto* m = reinterpret_cast<const vst::VstMidiEvent*>(e);
      MidiMessage message;
      message.offset = m->deltaFrames;
      message.status = static_cast<uint8_t>(m->midiData[0]);
      message.data1 = static_cast<uint8_t>(m->midiData[1]);
      message.data2 = static_cast<uint8_t>(m->midiData[2]);
      core_->ProcessMidiMessage(message);
    } else if (e->type == vst::kVstSysExType && reaches(e, kSysExEnd)) {
      const auto* s = reinterpret_cast<const vst::VstMidiSysexEvent*>(e);
      SysExMessage message;
      message.offset = s->deltaFrames;
      message.size = s->dumpBytes;
      message.data = reinterpret_cast<const uint8_t*>(s->sysexDump);
      core_->ProcessSystemExclusive(message);
    }
  }
  return 1;
}

vst::VstIntPtr IVstAdapter::CanDo(const char* text, bool usesMidi) {
  if (!text) return 0;
  IEffectCore::TraceHook(__func__, __LINE__, "%s", text);
  if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
  if (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
      !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent"))
    return usesMidi ? 1 : 0;
  if (!std::strcmp(text, "hasCockosExtensions") || !std::strcmp(text, "hasCockosViewAsConfig"))
    return kCockosAnswer;
  return 0;
}
